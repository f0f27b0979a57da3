// The halcyon program end to end: started in a sample game folder on the
// test's display, driven by real keys and clicks, against a scripted game
// server that records what the client sends.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "GameProtocol.h"
#include "GameRun.h"

using namespace GameRun;

namespace {

// Pink of the lines that start with "*".
bool IsStarPink(int r, int g, int b) { return r > 200 && g > 110 && g < 215 && b > 110 && b < 215 && r - g > 35; }

// The second character of the chooser, logged in.
class Session : public GameRunTest {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(GameRunTest::SetUp());
        ASSERT_NO_FATAL_FAILURE(StartClient(1));
        client->Keys("Down Return");
        ASSERT_TRUE(server.LogIn(10)) << server.Received();
    }
};

}  // namespace

// Quitting also writes the frame rates once and no leaks.
TEST_F(Session, DownAndEnterLogInTheSecondCharacterWithoutLoggingThePassword) {
    EXPECT_NE(server.Received().find("connect Bramble thornberry\n"), std::string::npos);
    EXPECT_TRUE(server.WaitFor("desc A gardener who talks to the hedges.\ncolor 08<@DHLPTX", 20)) << server.Received();
    ASSERT_TRUE(client->Terminate(10));
    EXPECT_EQ(client->ExitCode(), 0);
    std::string netlog = client->Log("_netlog.txt");
    EXPECT_NE(netlog.find("connect (NAME/PASS REMOVED FOR SECURITY)"), std::string::npos) << netlog;
    EXPECT_EQ(netlog.find("thornberry"), std::string::npos);
    std::string stat = client->Log("_stat.txt");
    EXPECT_EQ(TestUtil::CountOf(stat, "average FPS for invididual scenes:\n"), 1) << stat;
    EXPECT_NE(stat.find("  -CChooseINI (over "), std::string::npos);
    EXPECT_NE(stat.find("  -CMain (over "), std::string::npos);
    EXPECT_EQ(client->Log("_error.txt").find("memory leaks"), std::string::npos) << client->Log("_error.txt");
}

TEST_F(Session, TypedLinesAndMovementKeysReachTheServer) {
    size_t loginBytes = server.Received().size();
    client->Type("hello");
    client->Keys("Return");
    ASSERT_TRUE(server.WaitFor("\"hello\n\n", 20)) << server.Received();
    client->Type("/Bob hi");
    client->Keys("Return");
    ASSERT_TRUE(server.WaitFor("wh Bob hi\n\n", 20)) << server.Received();
    client->Keys("Up Left Down Right Delete Insert Prior Home End Next");
    ASSERT_TRUE(server.WaitFor("m 3\n", 20));
    EXPECT_EQ(server.Received().substr(loginBytes),
              "\"hello\n\nwh Bob hi\n\nm 9\nm 7\nm 1\nm 3\n<\n>\nm 9\nm 7\nm 1\nm 3\n");
}

TEST_F(Session, ServerSpeechIsDrawnAndTheWheelAndScrollBarMoveIt) {
    Picture before = client->Screenshot("before_speech");
    ASSERT_TRUE(before.Loaded());
    EXPECT_EQ(before.Count(40, 300, 700, 250, IsStarPink), 0);
    std::string lines;
    for (int i = 0; i < 40; ++i) lines += "(line " + std::to_string(i) + "\n";
    ASSERT_TRUE(server.Send(lines + "(*Hello from the server, in pink\n"));
    // The newest line at the bottom of the window, and the scroll thumb at the end.
    ASSERT_TRUE(WaitUntil(20, [&] { return client->Screenshot("speech").Count(40, 500, 700, 56, IsStarPink) > 20; }));
    Picture speech = client->Screenshot("speech");
    EXPECT_EQ(speech.Count(40, 300, 700, 120, IsStarPink), 0);
    EXPECT_GT(speech.Count(744, 510, 16, 40, [](int r, int g, int b) { return r > 40 && g > 40 && b > 40; }), 0);
    client->Wheel(4, 4);  // away from the user: back through older lines
    EXPECT_TRUE(WaitUntil(20, [&] { return client->Screenshot("scrolled").Count(40, 300, 700, 256, IsStarPink) == 0; }));
    client->Click(750, 540);  // on the bar's bottom: back to the newest
    EXPECT_TRUE(WaitUntil(20, [&] { return client->Screenshot("dragged").Count(40, 500, 700, 56, IsStarPink) > 20; }));
}

// The view follows the cell the server names and the camera looks down on
// it from above: the middle of the window shows that cell, and a click
// there looks at it. No map is loaded, so the server's rows count from 0.
TEST_F(Session, AClickOnTheWorldLooksAtTheClickedCell) {
    const GridCell view = GridToServer(10, 12, 0);
    const std::string at = EncodeBase95(view.x, true) + EncodeBase95(view.y, true);
    ASSERT_TRUE(server.Send("@" + at + "\n"));
    std::this_thread::sleep_for(std::chrono::seconds(3));  // the camera glides there
    size_t before = server.Received().size();
    client->Click(400, 300);
    ASSERT_TRUE(server.WaitFor("l " + at + "\n", 20)) << server.Received().substr(before);
}

TEST_F(Session, ClosedConnectionLeavesTheClientRunningAndEnterDoesNothing) {
    client->Type("first");
    client->Keys("Return");
    ASSERT_TRUE(server.WaitFor("\"first\n\n", 20));
    server.Close();
    client->Type("kept");
    client->Keys("Return Up");
    // Not connected: the typed line stays in the input line at (50, 555).
    EXPECT_TRUE(WaitUntil(20, [&] { return client->Screenshot("closed").Count(45, 553, 200, 22, IsBright) > 10; }));
    EXPECT_TRUE(client->Running());
    EXPECT_FALSE(server.HasSecondConnection());
    EXPECT_EQ(TestUtil::CountOf(client->Log("_netlog.txt"), "\"kept"), 0);
    EXPECT_TRUE(client->Terminate(10));
    EXPECT_EQ(client->ExitCode(), 0);
}

// A display that cannot be reached is a failed start, not a program running
// unseen: SDL would otherwise fall back to drawing into memory.
TEST(Start, DisplayWithoutAServerExitsWithTheWindowClassMessage) {
    TestUtil::ScopedFolder folder("no_display");
    std::string code = Shell("DISPLAY=:97 WAYLAND_DISPLAY= timeout 30 " + Quoted(TestUtil::BinaryDir() + "/halcyon") +
                             " >halcyon.out 2>&1; echo $?");
    EXPECT_EQ(code, "1") << TestUtil::ReadFile("halcyon.out");
    EXPECT_EQ(TestUtil::ReadFile("_error.txt"), "couldn't register window class");
}
