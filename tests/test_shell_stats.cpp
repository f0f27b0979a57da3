// The per-scene frame-rate statistics, written once per run (so this program has the run to itself).
#include <gtest/gtest.h>

#include "CMemMan.h"
#include "MainGame.h"
#include "SceneManager.h"
#include "TestUtil.h"

namespace {

class NamedScene : public Scene {
public:
    explicit NamedScene(const char* name) : name(name) {}
    void Update(float) override {}
    void Draw() override {}
    std::string GetName() override { return name; }

private:
    const char* name;
};

}  // namespace

TEST(SceneStatistics, SharedNamesClampedSecondsAndWrittenOnce) {
    TestUtil::ClearLog("_stat.txt");
    RunningFlag = true;
    // Zero-time first updates are not counted; two "Alpha" scenes share an entry.
    SceneManager::AddScene(new2(NamedScene, NamedScene("Beta")));
    SceneManager::Update(0.125f);
    for (int i = 0; i < 4; ++i) SceneManager::Update(2.0f);  // counted as 0.25 s each
    SceneManager::AddScene(new2(NamedScene, NamedScene("Alpha")));
    for (int i = 0; i < 3; ++i) SceneManager::Update(0.125f);
    SceneManager::RemoveScene();
    SceneManager::AddScene(new2(NamedScene, NamedScene("Alpha")));
    for (int i = 0; i < 2; ++i) SceneManager::Update(0.125f);

    // The window's destruction writes them; the shut-down after the loop does not again.
    MainWindowProc(Platform::WindowMessage{Platform::MessageKind::Destroy});
    SceneManager::ShutdownScenes();
    EXPECT_EQ(TestUtil::ReadFile("_stat.txt"), "average FPS for invididual scenes:\n"
                                               "  -Alpha (over 0 seconds): 8 frames/sec\n"
                                               "  -Beta (over 1 seconds): 4 frames/sec\n\n");
    EXPECT_EQ(SceneManager::CurrentSceneName(), "none");

    EXPECT_EQ(MemTrack::LiveAllocationCount(), 0u);
}
