#include <gtest/gtest.h>

#include "CMemMan.h"
#include "CThread.h"
#include "FoundationTest.h"
#include "QuilDataManager.h"
#include "TestUtil.h"

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Shared {
    std::atomic<int> rounds{0};
    std::atomic<bool> sawStop{false};
    CThread* seen = nullptr;
};

void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

void ReturnAtOnce(CThread* thread, void* parameter) { static_cast<Shared*>(parameter)->seen = thread; }

void LoopUntilStopped(CThread* thread, void* parameter) {
    Shared* shared = static_cast<Shared*>(parameter);
    shared->seen = thread;
    for (; !thread->StopRequested(); Pause(1)) ++shared->rounds;
    shared->sawStop = true;
}

const char* const StuckWarning =
    "Warning: Thread still going ~15 seconds after termination request.  It may be stuck.\n";

// Ignores the stop request until the destructor has warned, then keeps on
// for another second to show that the warning is not repeated.
void IgnoreTheStopRequest(CThread* thread, void* parameter) {
    while (!thread->StopRequested()) Pause(5);
    while (TestUtil::ReadFile("_error.txt").find(StuckWarning) == std::string::npos) Pause(50);
    Pause(1000);
    static_cast<Shared*>(parameter)->sawStop = true;
}

using ThreadTest = FoundationTest::ErrorLogTest;

}  // namespace

// A thread that returns at once and one that loops until asked to stop;
// deleting each joins it and releases its parameter record.
TEST_F(ThreadTest, DestructorStopsTheProcedureAndReleasesItsRecord) {
    size_t live = MemTrack::LiveAllocationCount();
    Shared looping, returning;
    CThread* loop = new2(CThread, CThread(LoopUntilStopped, "worker", &looping));
    CThread* once = new2(CThread, CThread(ReturnAtOnce, "worker", &returning));
    while (looping.rounds < 3) Pause(1);
    EXPECT_FALSE(loop->StopRequested());
    EXPECT_TRUE(loop->IsRunning());
    delete2(loop);
    delete2(once);
    EXPECT_EQ(looping.seen, loop);
    EXPECT_EQ(returning.seen, once);
    EXPECT_TRUE(looping.sawStop);
    EXPECT_FALSE(returning.sawStop);
    EXPECT_EQ(MemTrack::LiveAllocationCount(), live);
    EXPECT_EQ(ErrorText(), "");
}

TEST_F(ThreadTest, CriticalSectionIsReentrantAndExclusive) {
    CriticalSection section;
    long counter = 0;  // deliberately not atomic: the lock alone guards it
    auto work = [&] {
        for (int i = 0; i < 20000; ++i) {
            ScopedLock guard(section);
            ScopedLock again(section);  // the same thread may enter again
            ++counter;
        }
    };
    std::thread other(work);
    work();
    other.join();
    EXPECT_EQ(counter, 40000);
}

// Takes about 16 seconds: the warning comes after 600 rounds of 25 ms.
TEST_F(ThreadTest, AStuckThreadIsReportedOnceAndWaitedFor) {
    Shared shared;
    { CThread thread(IgnoreTheStopRequest, "Stubborn", &shared); }
    EXPECT_TRUE(shared.sawStop);  // the destructor waited for it
    std::string log = ErrorText();
    EXPECT_EQ(TestUtil::CountOf(log, StuckWarning), 1) << log;
    EXPECT_TRUE(FoundationTest::StartsWith(log, std::string(StuckWarning) +
                                                    "  -Thread name: Stubborn\nCall stack of dtor waiting loop:\n"
                                                    "   test_thread: CallStackText"));
    EXPECT_TRUE(FoundationTest::Contains(log, "~CThread"));
}

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
