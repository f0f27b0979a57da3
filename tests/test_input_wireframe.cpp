// Holding F11 (a real key press through xdotool) draws the scene in wireframe.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "CMemMan.h"
#include "GLRender.h"
#include "GLTestContext.h"
#include "InputState.h"
#include "MainGame.h"
#include "SceneManager.h"
#include "platform/PlatformSystem.h"
#include "platform/PlatformWindow.h"

namespace {

std::string Shell(const std::string& command) {
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        while (fgets(buffer, sizeof buffer, pipe)) out += buffer;
        pclose(pipe);
    }
    while (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
}

// Fills the whole window white: filled, the centre is white; in wireframe
// only the two triangles' edges are drawn and the centre stays clear.
class WhiteScene : public Scene {
public:
    void Update(float) override {}
    void Draw() override {
        G::Clear(0, true, true, false);
        G::Set2D();
        G::DrawRect(0, 0, 800, 600, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF);
    }
    std::string GetName() override { return "WhiteScene"; }
};

void PumpMessages(int ms) {
    int64_t end = Platform::PerfCounter() + Platform::PerfFrequency() * ms / 1000;
    while (Platform::PerfCounter() < end) {
        Platform::WindowMessage message;
        while (Platform::PeekWindowMessage(message)) MainWindowProc(message);
        Platform::SleepMilliseconds(5);
    }
}

}  // namespace

TEST(Wireframe, HoldingF11DrawsTheSceneAsLinesAndReleasingItFillsAgain) {
    ASSERT_TRUE(GLTest::Start());
    Platform::ShowMainWindow();
    std::string window = Shell("timeout 10 xdotool search --sync --name 'gfx test' | head -1");
    ASSERT_FALSE(window.empty());
    ASSERT_TRUE(KeyboardState::Start(Platform::MainWindow(), false));
    Shell("xdotool windowfocus --sync " + window);
    PumpMessages(300);
    SceneManager::AddScene(new2(WhiteScene, WhiteScene));
    const int centre = 300 + 7;  // off the diagonal where the two triangles meet

    Shell("xdotool keydown F11");
    PumpMessages(300);
    KeyboardState::Update();
    ASSERT_TRUE(KeyboardState::IsKeyDown(0x57));
    SceneManager::Draw();
    uint32_t held = GLTest::ReadPixel(400, centre);
    EXPECT_EQ(GLTest::ReadPixel(0, 599) & 0xFFFFFF, 0xFFFFFFu);  // an edge is still drawn

    Shell("xdotool keyup F11");
    PumpMessages(300);
    KeyboardState::Update();
    SceneManager::Draw();
    uint32_t released = GLTest::ReadPixel(400, centre);

    EXPECT_EQ(held, 0u);
    EXPECT_EQ(released, 0xFFFFFFu);
    SceneManager::ShutdownScenes();
    KeyboardState::Release();
    GLTest::Stop();
}
