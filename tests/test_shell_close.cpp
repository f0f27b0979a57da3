// Ending the program from outside: a termination signal closes the window
// like the user would, with one statistics report and the normal shut-down.
#include <gtest/gtest.h>

#include "CMemMan.h"
#include "GLDevice.h"
#include "LogFile.h"
#include "MainGame.h"
#include "SceneManager.h"
#include "TestUtil.h"

#include <csignal>

namespace {

int updates = 0;
int deactivations = 0;

class EndlessScene : public Scene {
public:
    void Update(float) override {
        if (++updates == 3) std::raise(SIGTERM);
    }
    void Draw() override {}
    void OnDeactivate() override { ++deactivations; }
    std::string GetName() override { return "EndlessScene"; }
};

Scene* MakeEndlessScene() { return new2(EndlessScene, EndlessScene); }

}  // namespace

TEST(CloseWindow, TerminationEndsTheLoopWithOneStatisticsReport) {
    TestUtil::ClearLog("_stat.txt");
    size_t live = MemTrack::LiveAllocationCount();
    EXPECT_EQ(RunGame(&MakeEndlessScene), 0);
    EXPECT_GE(updates, 3);
    EXPECT_LE(updates, 4);  // the signal is seen by the next look at the messages
    EXPECT_EQ(deactivations, 1);
    EXPECT_EQ(MemTrack::LiveAllocationCount(), live);
    EXPECT_FALSE(G::IsInited());
    std::string stat = TestUtil::ReadFile("_stat.txt");
    EXPECT_EQ(TestUtil::CountOf(stat, "average FPS for invididual scenes:\n  -EndlessScene (over 0 seconds): "), 1)
        << stat;
}
