// The scene stack: switching, time steps, deferred deletion and statistics.
#include <gtest/gtest.h>

#include "CMemMan.h"
#include "FoundationTest.h"
#include "MainGame.h"
#include "SceneManager.h"
#include "TestUtil.h"

#include <functional>
#include <string>
#include <vector>

using FoundationTest::StartsWith;

namespace {

std::vector<std::string> journal;

// The journal line of an update.
std::string Updated(const std::string& scene, float s) { return scene + ".Update(" + std::to_string(s) + ")"; }

// Records every call it gets; its Update runs an optional action.
class JournalScene : public Scene {
public:
    explicit JournalScene(std::string name) : name(std::move(name)) {}
    ~JournalScene() override { journal.push_back(name + ".deleted"); }
    void Update(float seconds) override {
        journal.push_back(Updated(name, seconds));
        if (onUpdate) onUpdate();
    }
    void Draw() override { journal.push_back(name + ".Draw"); }
    void OnActivate() override { journal.push_back(name + ".OnActivate"); }
    void OnDeactivate() override { journal.push_back(name + ".OnDeactivate"); }
    std::string GetName() override { return name; }

    std::function<void()> onUpdate;

private:
    std::string name;
};

JournalScene* Make(const char* name) { return new2(JournalScene, JournalScene(name)); }

// The manager is one per process: every test ends with an empty stack.
class SceneStack : public FoundationTest::ErrorLogTest {
protected:
    void SetUp() override {
        ErrorLogTest::SetUp();
        journal.clear();
        RunningFlag = true;
    }
    void TearDown() override {
        while (SceneManager::CurrentSceneName() != "none") SceneManager::RemoveScene();
        SceneManager::Update(0.01f);  // deletes what was removed
    }
};

}  // namespace

// The frame rate takes every frame unclamped: four of 0.1 s (10 fps) and one of 2 s (0.5 fps) show (40 + 0.5) / 5.
TEST_F(SceneStack, FirstUpdateAfterAChangeIsZeroAndLaterOnesAreClamped) {
    SceneManager::AddScene(Make("A"));
    SceneManager::Update(3.0f);  // loading took long: still zero
    for (int i = 0; i < 4; ++i) SceneManager::Update(0.1f);
    SceneManager::Update(2.0f);
    EXPECT_EQ(journal, (std::vector<std::string>{"A.OnActivate", Updated("A", 0), Updated("A", 0.1f), Updated("A", 0.1f),
                                                 Updated("A", 0.1f), Updated("A", 0.1f), Updated("A", 0.25f)}));
    EXPECT_EQ(SceneManager::FpsLabel(), "FPS: 8");
}

TEST_F(SceneStack, OnlyTheTopSceneRunsAndReplaceAllEmptiesTheStackFirst) {
    for (const char* name : {"A", "B", "C"}) SceneManager::AddScene(Make(name));
    SceneManager::Update(0.1f);
    journal.clear();
    SceneManager::Draw();
    SceneManager::RemoveScene();
    SceneManager::Update(0.1f);  // the uncovered scene gets no activation, just the next frame
    SceneManager::ReplaceAllScenes(Make("D"));
    EXPECT_EQ(journal, (std::vector<std::string>{"C.Draw", "C.OnDeactivate", Updated("B", 0.1f), "C.deleted",
                                                 "B.OnDeactivate", "A.OnDeactivate", "D.OnActivate"}));
    EXPECT_EQ(SceneManager::CurrentSceneName(), "D");
}

TEST_F(SceneStack, RemoveAndAddInsideOneUpdate) {
    JournalScene* chooser = Make("Chooser");
    SceneManager::AddScene(chooser);
    SceneManager::Update(0.1f);
    chooser->onUpdate = [] {
        SceneManager::RemoveScene();
        SceneManager::AddScene(Make("Game"));
        journal.push_back("after add");
    };
    journal.clear();
    SceneManager::Update(0.1f);
    // The old scene lives until the update step ends; the new one waits for the next frame.
    EXPECT_EQ(journal, (std::vector<std::string>{Updated("Chooser", 0.1f), "Chooser.OnDeactivate",
                                                 "Game.OnActivate", "after add", "Chooser.deleted"}));
    journal.clear();
    SceneManager::Update(0.1f);
    EXPECT_EQ(journal, (std::vector<std::string>{Updated("Game", 0)}));
    EXPECT_TRUE(RunningFlag);
}

TEST_F(SceneStack, RemovalFromAnEmptyStackAndANullSceneAreReportedAndChangeNothing) {
    SceneManager::RemoveScene();
    EXPECT_TRUE(StartsWith(ErrorText(), "Bad.. attempt to remove a scene when none exist.\n  -attempt made from:\n"));
    EXPECT_EQ(SceneManager::CurrentSceneName(), "none");
    SceneManager::AddScene(Make("A"));
    SceneManager::Update(0.1f);
    journal.clear();
    TestUtil::ClearLog("_error.txt");
    SceneManager::AddScene(nullptr);
    EXPECT_TRUE(StartsWith(ErrorText(), "Bad.. attempt to add null pointer as a scene.\n  -attempt made from:\n"));
    SceneManager::Update(0.1f);  // no zero step: nothing changed
    EXPECT_EQ(journal, (std::vector<std::string>{Updated("A", 0.1f)}));
}
