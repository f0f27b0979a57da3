#include <gtest/gtest.h>

#include "QuilDataManager.h"

#include <atomic>
#include <string>
#include <thread>
#include <vector>

// Worker threads queue texts while the main thread takes them: nothing is
// lost or duplicated, and each thread's texts come out in their own order.
TEST(TextQueueThreads, WritersAndOneReaderKeepEveryThreadsOrder) {
    const int writers = 4, perWriter = 2000;
    TextQueue queue;
    std::vector<std::thread> threads;
    for (int w = 0; w < writers; ++w)
        threads.emplace_back([&queue, w] {
            for (int i = 0; i < perWriter; ++i) queue.QueueText(std::to_string(w) + ":" + std::to_string(i));
        });
    std::vector<int> next(writers, 0);
    int taken = 0;
    std::string text;
    while (taken < writers * perWriter) {
        if (!queue.TakeText(text)) {
            std::this_thread::yield();
            continue;
        }
        const size_t colon = text.find(':');
        const int w = std::stoi(text.substr(0, colon)), i = std::stoi(text.substr(colon + 1));
        ASSERT_EQ(i, next[w]) << "texts of writer " << w << " out of order";
        ++next[w];
        ++taken;
    }
    for (std::thread& t : threads) t.join();
    EXPECT_FALSE(queue.TakeText(text));
    for (int w = 0; w < writers; ++w) EXPECT_EQ(next[w], perWriter);
}
