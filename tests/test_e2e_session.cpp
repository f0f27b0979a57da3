// The halcyon program end to end: started in a sample game folder on the
// test's display, driven by real keys and clicks, against a scripted game
// server that records what the client sends.
#include <gtest/gtest.h>

#include "GameRun.h"
#include "TestUtil.h"

using namespace GameRun;

namespace {

// Pink of the lines that start with "*".
bool IsStarPink(int r, int g, int b) { return r > 200 && g > 110 && g < 215 && b > 110 && b < 215 && r - g > 35; }
bool IsBright(int r, int g, int b) { return r > 150 && g > 150 && b > 150; }

class Session : public ::testing::Test {
protected:
    void SetUp() override {
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = MakeGameFolder(info->name(), server.Port(), 1);
        ASSERT_FALSE(folder.empty());
        client = std::make_unique<Client>(folder);
        ASSERT_TRUE(client->Started()) << client->Log("halcyon.out");
    }
    void TearDown() override { client.reset(); }

    // The second character of the chooser, logged in.
    void LogInSecond() {
        client->Keys("Down Return");
        ASSERT_TRUE(server.LogIn(10)) << server.Received();
    }

    ScriptServer server;
    std::string folder;
    std::unique_ptr<Client> client;
};

}  // namespace

TEST_F(Session, DownAndEnterLogInTheSecondCharacterWithoutLoggingThePassword) {
    LogInSecond();
    EXPECT_NE(server.Received().find("connect Bramble thornberry\n"), std::string::npos);
    EXPECT_TRUE(server.WaitFor("desc A gardener who talks to the hedges.\ncolor 08<@DHLPTX", 5)) << server.Received();
    EXPECT_TRUE(client->Terminate(10));
    std::string netlog = client->Log("_netlog.txt");
    EXPECT_NE(netlog.find("connect (NAME/PASS REMOVED FOR SECURITY)"), std::string::npos) << netlog;
    EXPECT_EQ(netlog.find("thornberry"), std::string::npos);
}

TEST_F(Session, TypedLinesAndMovementKeysReachTheServer) {
    LogInSecond();
    size_t loginBytes = server.Received().size();
    client->Type("hello");
    client->Keys("Return");
    ASSERT_TRUE(server.WaitFor("\"hello\n\n", 5)) << server.Received();
    client->Type("/Bob hi");
    client->Keys("Return");
    ASSERT_TRUE(server.WaitFor("wh Bob hi\n\n", 5)) << server.Received();
    client->Keys("Up Left Down Right Delete Insert Prior Home End Next");
    ASSERT_TRUE(server.WaitFor("m 3\n", 5));
    EXPECT_EQ(server.Received().substr(loginBytes),
              "\"hello\n\nwh Bob hi\n\nm 9\nm 7\nm 1\nm 3\n<\n>\nm 9\nm 7\nm 1\nm 3\n");
}

TEST_F(Session, ServerSpeechIsDrawnInTheTextWindow) {
    LogInSecond();
    Picture before = client->Screenshot("before_speech");
    ASSERT_TRUE(before.Loaded());
    EXPECT_EQ(before.Count(40, 300, 700, 250, IsStarPink), 0);
    ASSERT_TRUE(server.Send("(*Hello from the server, in pink\n"));
    int pink = 0;
    WaitUntil(5, [&] {
        pink = client->Screenshot("speech").Count(40, 500, 700, 56, IsStarPink);
        return pink > 20;
    });
    EXPECT_GT(pink, 20) << "newest line at the bottom of the window";
    // The panel stays dark where no text is, and the scroll thumb sits at the end.
    Picture after = client->Screenshot("speech");
    EXPECT_EQ(after.Count(40, 300, 700, 120, IsStarPink), 0);
    EXPECT_GT(after.Count(744, 510, 16, 40, [](int r, int g, int b) { return r > 40 && g > 40 && b > 40; }), 0);
}

TEST_F(Session, WheelAndScrollBarMoveTheText) {
    LogInSecond();
    std::string lines;
    for (int i = 0; i < 40; ++i) lines += "(line " + std::to_string(i) + "\n";
    lines += "(*Newest line\n";
    ASSERT_TRUE(server.Send(lines));
    ASSERT_TRUE(WaitUntil(5, [&] { return client->Screenshot("scroll").Count(40, 500, 700, 56, IsStarPink) > 20; }));
    client->Wheel(4, 4);  // away from the user: back through older lines
    EXPECT_TRUE(WaitUntil(5, [&] { return client->Screenshot("scrolled").Count(40, 300, 700, 256, IsStarPink) == 0; }));
    client->Click(750, 540);  // on the bar's bottom: back to the newest
    EXPECT_TRUE(WaitUntil(5, [&] { return client->Screenshot("dragged").Count(40, 500, 700, 56, IsStarPink) > 20; }));
}

TEST_F(Session, ClosedConnectionLeavesTheClientRunningAndEnterDoesNothing) {
    LogInSecond();
    client->Type("first");
    client->Keys("Return");
    ASSERT_TRUE(server.WaitFor("\"first\n\n", 5));
    server.Close();
    client->Type("kept");
    client->Keys("Return Up");
    // Not connected: the typed line stays in the input line at (50, 555).
    EXPECT_TRUE(WaitUntil(5, [&] { return client->Screenshot("closed").Count(45, 553, 200, 22, IsBright) > 10; }));
    EXPECT_TRUE(client->Running());
    EXPECT_FALSE(server.HasSecondConnection());
    EXPECT_EQ(TestUtil::CountOf(client->Log("_netlog.txt"), "\"kept"), 0);
    EXPECT_TRUE(client->Terminate(10));
    EXPECT_EQ(client->ExitCode(), 0);
}

TEST_F(Session, QuittingWritesTheFrameRatesOnceAndNoLeaks) {
    LogInSecond();
    ASSERT_TRUE(client->Terminate(10));
    EXPECT_EQ(client->ExitCode(), 0);
    std::string stat = client->Log("_stat.txt");
    EXPECT_EQ(TestUtil::CountOf(stat, "average FPS for invididual scenes:\n"), 1) << stat;
    EXPECT_NE(stat.find("  -CChooseINI (over "), std::string::npos);
    EXPECT_NE(stat.find("  -CMain (over "), std::string::npos);
    std::string errors = client->Log("_error.txt");
    EXPECT_EQ(errors.find("memory leaks"), std::string::npos) << errors;
    EXPECT_EQ(errors.find("Memory Leaks"), std::string::npos) << errors;
}
