#include <gtest/gtest.h>

#include "CProfiler.h"
#include "FoundationTest.h"
#include "TestUtil.h"

#include <cstdlib>
#include <filesystem>

using FoundationTest::Contains;
using FoundationTest::StartsWith;

namespace {

int64_t fakeNow = 0;
int64_t FakeCounter() { return fakeNow; }
int64_t Milliseconds() { return 1000; }  // one tick is one millisecond

class ProfilerTest : public ::testing::Test {
protected:
    void SetUp() override { fakeNow = 1000; }
    TestUtil::ScopedFolder folder{::testing::UnitTest::GetInstance()->current_test_info()->name()};
    std::string Report() { return TestUtil::ReadFile("_profile.txt"); }
    // Times one sample of `name` lasting `ticks`.
    static void Sample(CProfiler& profiler, const char* name, int64_t ticks) {
        profiler.Start(name, "loader.cpp");
        fakeNow += ticks;
        profiler.Stop(name, "loader.cpp");
    }
};

}  // namespace

// A stop without its start warns and changes nothing; a start without its stop is listed with no samples.
TEST_F(ProfilerTest, ReportListsEveryProfileLargestTotalFirstAndWarnsOfUnmatchedStops) {
    {
        CProfiler profiler(FakeCounter, Milliseconds);
        EXPECT_EQ(Report(), "Profile File Started.\n\n");
        profiler.Stop("never started", "a.cpp");
        // The minimum is the shortest sample, although the first sets it.
        Sample(profiler, "Load Mesh (mbm or bmbm)", 30);
        Sample(profiler, "Load Mesh (mbm or bmbm)", 10);
        Sample(profiler, "Load Mesh (mbm or bmbm)", 20);
        profiler.Stop("Load Mesh (mbm or bmbm)", "b.cpp");  // its start is 0 again
        profiler.Start("Generate floor textures from .fsh", "floors.cpp");
        fakeNow += 100;
        profiler.Stop("Generate floor textures from .fsh", "other.cpp");
        profiler.Start("open", "c.cpp");
        fakeNow += 840;
    }
    const std::string warning = "Warning: ProfileStop called without a matching ProfileStart\n  Name: ";
    EXPECT_TRUE(
        StartsWith(Report(), "Profile File Started.\n\n" + warning + "never started\n  File: a.cpp\n\n" + warning +
                                 "Load Mesh (mbm or bmbm)\n  File: b.cpp\n\n"
                                 "Total program execution time: 1 seconds.\n\n"
                                 " -- Profiles --\n\n"
                                 "Generate floor textures from .fsh - floors.cpp\n"
                                 " Average time: 100 ms\n Max time: 100 ms\n Min time: 100 ms\n"
                                 " Total time: 0.1 seconds\n Samples taken: 1\n Percentage of total time: 10%\n\n"
                                 "Load Mesh (mbm or bmbm) - loader.cpp\n"
                                 " Average time: 20 ms\n Max time: 30 ms\n Min time: 10 ms\n"
                                 " Total time: 0.06 seconds\n Samples taken: 3\n Percentage of total time: 6%\n\n"
                                 "open - c.cpp\n Average time: "));
    EXPECT_TRUE(Contains(Report(), " Total time: 0 seconds\n Samples taken: 0\n Percentage of total time: 0%\n\n"));
    EXPECT_EQ(Report().find("never started -"), std::string::npos);
}

TEST_F(ProfilerTest, AZeroCounterOrAnUnwritableReportDisablesProfiling) {
    fakeNow = 0;
    {
        CProfiler profiler(FakeCounter, Milliseconds);
        Sample(profiler, "ignored", 5);
        profiler.Stop("no warning either", "d.cpp");
    }
    EXPECT_EQ(Report(),
              "Profile File Started.\n\nError: System doesn't support high resolution time.  Profiling disabled.\n");
    std::filesystem::remove("_profile.txt");
    TestUtil::WriteFile("_profile.txt/blocker", "");  // a folder where the file would be
    { CProfiler unwritable(FakeCounter, Milliseconds); }
    EXPECT_EQ(TestUtil::ReadFile("_profile.txt/blocker"), "");
}

// The program's own profiler writes its report when the program ends.
TEST_F(ProfilerTest, ProgramProfilerReportsAtExit) {
    EXPECT_EXIT(
        {
            for (int i = 0; i < 3; ++i) {
                ProfileStart("Program stretch", "program.cpp");
                ProfileStop("Program stretch", "program.cpp");
            }
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_TRUE(Contains(Report(), "Program stretch - program.cpp\n Average time: "));
    EXPECT_TRUE(Contains(Report(), " Samples taken: 3\n"));
}
