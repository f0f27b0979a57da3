#include <gtest/gtest.h>

#include "CMemMan.h"
#include "CThread.h"
#include "LogFile.h"
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

void ReturnAtOnce(CThread* thread, void* parameter) { static_cast<Shared*>(parameter)->seen = thread; }

void LoopUntilStopped(CThread* thread, void* parameter) {
    Shared* shared = static_cast<Shared*>(parameter);
    while (!thread->StopRequested()) {
        ++shared->rounds;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    shared->sawStop = true;
}

const char* const StuckWarning =
    "Warning: Thread still going ~15 seconds after termination request.  It may be stuck.\n";

// Ignores the stop request until the destructor has warned, then keeps on
// for another second to show that the warning is not repeated.
void IgnoreTheStopRequest(CThread* thread, void* parameter) {
    Shared* shared = static_cast<Shared*>(parameter);
    while (!thread->StopRequested()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    while (TestUtil::ReadFile("_error.txt").find(StuckWarning) == std::string::npos)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::this_thread::sleep_for(std::chrono::seconds(1));
    shared->sawStop = true;
}

class ThreadTest : public ::testing::Test {
protected:
    void SetUp() override { TestUtil::ClearLog("_error.txt"); }
};

}  // namespace

TEST_F(ThreadTest, ProcedureGetsItsThreadAndParameterAndReleasesItsRecord) {
    size_t live = MemTrack::LiveAllocationCount();
    Shared shared;
    CThread* thread = new2(CThread, CThread(ReturnAtOnce, "quick", &shared));
    delete2(thread);
    EXPECT_EQ(shared.seen, thread);
    EXPECT_EQ(MemTrack::LiveAllocationCount(), live);  // ParamData went with the thread
    EXPECT_EQ(TestUtil::ReadFile("_error.txt"), "");
}

TEST_F(ThreadTest, DestructorStopsALoopingProcedure) {
    Shared shared;
    {
        CThread thread(LoopUntilStopped, "NetClient", &shared);
        while (shared.rounds < 3) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        EXPECT_FALSE(thread.StopRequested());
        EXPECT_TRUE(thread.IsRunning());
    }
    EXPECT_TRUE(shared.sawStop);
    EXPECT_EQ(TestUtil::ReadFile("_error.txt"), "");
}

TEST_F(ThreadTest, ManyThreadsComeAndGoTogether) {
    size_t live = MemTrack::LiveAllocationCount();
    std::vector<Shared> shared(8);
    std::vector<CThread*> threads;
    for (Shared& s : shared) threads.push_back(new2(CThread, CThread(LoopUntilStopped, "worker", &s)));
    for (CThread* t : threads) delete2(t);
    for (Shared& s : shared) EXPECT_TRUE(s.sawStop);
    EXPECT_EQ(MemTrack::LiveAllocationCount(), live);
}

TEST_F(ThreadTest, SuspendAndResumeReportFailure) {
    Shared shared;
    CThread thread(LoopUntilStopped, "plain", &shared);
    EXPECT_EQ(thread.Suspend(), -1);
    EXPECT_EQ(thread.Resume(), -1);
    EXPECT_FALSE(thread.SetPriority(1));
}

TEST_F(ThreadTest, CriticalSectionIsReentrantAndExclusive) {
    CriticalSection section;
    {
        ScopedLock outer(section);
        ScopedLock inner(section);  // the same thread may enter again
    }
    long counter = 0;  // deliberately not atomic: the lock alone guards it
    std::atomic<bool> go{false};
    std::vector<std::thread> workers;
    for (int w = 0; w < 4; ++w)
        workers.emplace_back([&] {
            while (!go) std::this_thread::yield();
            for (int i = 0; i < 20000; ++i) {
                ScopedLock guard(section);
                ScopedLock again(section);
                ++counter;
            }
        });
    go = true;
    for (std::thread& worker : workers) worker.join();
    EXPECT_EQ(counter, 80000);
}

// Takes about 16 seconds: the warning comes after 600 rounds of 25 ms.
TEST_F(ThreadTest, AStuckThreadIsReportedOnceAndWaitedFor) {
    Shared shared;
    {
        CThread thread(IgnoreTheStopRequest, "Stubborn", &shared);
    }
    EXPECT_TRUE(shared.sawStop);  // the destructor waited for it
    std::string log = TestUtil::ReadFile("_error.txt");
    EXPECT_EQ(TestUtil::CountOf(log, StuckWarning), 1) << log;
    EXPECT_EQ(log.rfind(std::string(StuckWarning) + "  -Thread name: Stubborn\nCall stack of dtor waiting loop:\n"
                                                    "   test_thread: CallStackText",
                        0),
              0u)
        << log;
    EXPECT_NE(log.find("CThread::~CThread()"), std::string::npos) << log;
}
