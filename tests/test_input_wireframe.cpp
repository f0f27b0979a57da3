// Holding F11 (a real key press through xdotool) draws the scene in wireframe.
#include <gtest/gtest.h>

#include "CMemMan.h"
#include "GLRender.h"
#include "GLTestContext.h"
#include "InputState.h"
#include "SceneManager.h"
#include "ShellInputTest.h"

namespace {

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

// Sends the key change and draws one frame; the pixel off the diagonal where
// the two triangles meet.
uint32_t CentreAfter(const std::string& xdotoolArguments) {
    ShellInputTest::Shell("xdotool " + xdotoolArguments);
    ShellInputTest::Pump(300);
    KeyboardState::Update();
    SceneManager::Draw();
    return GLTest::ReadPixel(400, 307);
}

}  // namespace

TEST(Wireframe, HoldingF11DrawsTheSceneAsLinesAndReleasingItFillsAgain) {
    ASSERT_TRUE(GLTest::Start());
    ASSERT_FALSE(ShellInputTest::FocusMainWindow("gfx test").empty());
    ASSERT_TRUE(KeyboardState::Start(Platform::MainWindow(), false));
    SceneManager::AddScene(new2(WhiteScene, WhiteScene));

    EXPECT_EQ(CentreAfter("keydown F11"), 0u);
    EXPECT_TRUE(KeyboardState::IsKeyDown(0x57));
    EXPECT_EQ(GLTest::ReadPixel(0, 599), 0xFFFFFFu); // an edge is still drawn
    EXPECT_EQ(CentreAfter("keyup F11"), 0xFFFFFFu);

    SceneManager::ShutdownScenes();
    KeyboardState::Release();
    GLTest::Stop();
}
