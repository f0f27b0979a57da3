// The program's entry point, its frame loop and window procedure, run for real on a window under Xvfb.
#include <gtest/gtest.h>

#include "CMemMan.h"
#include "GLDevice.h"
#include "MainGame.h"
#include "SceneManager.h"
#include "TestUtil.h"
#include "platform/PlatformSystem.h"
#include "platform/PlatformWindow.h"

#include <sys/resource.h>

namespace {

int framesRun = 0;
float firstStep = -1;
int windowWidth = 0, windowHeight = 0;
unsigned char centrePixel[4] = {};

// Clears to green for a few frames, looks at its window, then removes itself.
class ShortScene : public Scene {
public:
    void Update(float seconds) override {
        if (framesRun == 0) firstStep = seconds;
        if (++framesRun == 5) {
            Platform::MainWindowSize(windowWidth, windowHeight);
            SceneManager::RemoveScene();
        }
    }
    void Draw() override {
        glClearColor(0, 1, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glReadPixels(400, 300, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, centrePixel);
    }
    std::string GetName() override { return "ShortScene"; }
};

Scene* MakeShortScene() { return new2(ShortScene, ShortScene); }

}  // namespace

TEST(EntryPoint, RunsFramesAndEndsWhenTheSceneRemovesItself) {
    TestUtil::InstallDataFiles();  // the frame-rate text's shader
    TestUtil::ClearLog("_stat.txt");
    TestUtil::ClearLog("_error.txt");
    size_t live = MemTrack::LiveAllocationCount();
    EXPECT_EQ(RunGame(&MakeShortScene), 0);
    EXPECT_EQ(framesRun, 5);
    EXPECT_EQ(firstStep, 0.0f);
    EXPECT_EQ(windowWidth, 800);
    EXPECT_EQ(windowHeight, 600);
    EXPECT_EQ(centrePixel[1], 255);
    EXPECT_EQ(centrePixel[0], 0);
    EXPECT_FALSE(G::IsInited());
    EXPECT_EQ(Platform::MainWindow(), nullptr);
    EXPECT_EQ(MemTrack::LiveAllocationCount(), live);

    // The driver and extension lines themselves are the device's; here only their place in the run.
    std::string stat = TestUtil::ReadFile("_stat.txt");
    EXPECT_EQ(stat.rfind("OS Version: ", 0), 0u) << stat;
    size_t info = stat.find("\nOpenGL info:\n  vender: ");
    size_t fps = stat.find("average FPS for invididual scenes:\n  -ShortScene (over 0 seconds): ");
    ASSERT_NE(fps, std::string::npos) << stat;
    EXPECT_LT(info, fps) << stat;
    EXPECT_EQ(TestUtil::ReadFile("_error.txt"), "");
}

TEST(FrameTiming, NoFrameWithinTheThresholdAndSkippedTimeCarriesOver) {
    FrameClock clock;
    clock.Start(1000000, 1000000);  // microsecond ticks
    float seconds = -1;
    EXPECT_FALSE(clock.FrameDue(1000000 + 504, seconds));  // 1/1982 s is 504.5 ticks
    EXPECT_FALSE(clock.FrameDue(1000000 + 300, seconds));
    EXPECT_EQ(seconds, -1.0f);
    ASSERT_TRUE(clock.FrameDue(1000000 + 505, seconds));
    EXPECT_FLOAT_EQ(seconds, 0.000505f);
    // The next frame counts from the frame just run, not from the skipped looks.
    EXPECT_FALSE(clock.FrameDue(1000505 + 400, seconds));
    ASSERT_TRUE(clock.FrameDue(1000505 + 2000000, seconds));
    EXPECT_FLOAT_EQ(seconds, 2.0f);
}

TEST(WindowProcedure, DeactivationLowersThePriorityAndActivationRestoresIt) {
    // Start from a niceness of our own, which activation must not "normalise" away.
    ASSERT_EQ(setpriority(PRIO_PROCESS, 0, 2), 0);
    Platform::WindowMessage message;
    message.kind = Platform::MessageKind::Deactivate;
    MainWindowProc(message);
    EXPECT_EQ(getpriority(PRIO_PROCESS, 0), 5);  // below normal: the system class is above 5
    message.kind = Platform::MessageKind::Activate;
    MainWindowProc(message);
    EXPECT_EQ(getpriority(PRIO_PROCESS, 0), 2);
}
