// The halcyon program end to end, driven by real keys and clicks. What the
// game scene does with its input is the scene test's part; here the real
// keys, the drawing, dream visits with the file server tool, and the
// program's start and end.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "FileServer.h"
#include "GameProtocol.h"
#include "GameRun.h"

using namespace GameRun;

namespace {

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

// The file server serves the game folder's own dreams; the first character is logged in.
class DreamVisit : public GameRunTest {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(GameRunTest::SetUp());
        files = std::make_unique<FileServer>(folder + "/dreams", 64);
        ASSERT_TRUE(files->Start(0));
        ASSERT_NO_FATAL_FAILURE(StartClient(files->Port()));
        client->Keys("Return");
        ASSERT_TRUE(server.LogIn(10)) << server.Received();
    }

    // Sends the sealed dream `count` times and waits for the question in the window.
    bool AskedAfterVault(int count = 1) {
        std::string lines;
        for (int i = 0; i < count; ++i)
            lines += "]q vault\n";
        return server.Send(lines) && WaitUntil(20, [&] { return Question().up; });
    }
    // Waits until the server has `count` replies `reply` since the login.
    bool Replied(const std::string& reply, int count) {
        return WaitUntil(20, [&] { return TestUtil::CountOf(server.Received(), reply + "\n") >= count; });
    }

    // The question as drawn: its caption bar, and the middle of each button
    // (Yes on the left, No on the right).
    struct Drawn {
        bool up = false;
        int yesX = 0, noX = 0, buttonY = 0;
    };
    Drawn Question() {
        Picture p = client->Screenshot("question");
        auto near = [](int r, int g, int b, int R, int G, int B) {
            return std::abs(r - R) < 8 && std::abs(g - G) < 8 && std::abs(b - B) < 8;
        };
        Drawn drawn;
        drawn.up = p.Count(150, 100, 500, 400, [&](int r, int g, int b) { return near(r, g, b, 48, 82, 122); }) > 2000;
        long sums[2][3] = {};
        for (int y = 100; y < 500 && y < p.height; ++y)
            for (int x = 150; x < 650 && x < p.width; ++x) {
                const uint8_t* c = &p.rgb[(size_t(y) * p.width + x) * 3];
                if (!near(c[0], c[1], c[2], 72, 80, 90)) continue;
                long* side = sums[x < 400 ? 0 : 1];
                side[0] += x, side[1] += y, ++side[2];
            }
        if (sums[0][2]) drawn.yesX = int(sums[0][0] / sums[0][2]), drawn.buttonY = int(sums[0][1] / sums[0][2]);
        if (sums[1][2]) drawn.noX = int(sums[1][0] / sums[1][2]);
        return drawn;
    }

    std::unique_ptr<FileServer> files;
};

} // namespace

// Quitting also writes the frame rates once and no leaks.
TEST_F(Session, DownAndEnterLogInTheSecondCharacterWithoutLoggingThePassword) {
    EXPECT_NE(server.Received().find("connect Bramble thornberry\n"), std::string::npos);
    EXPECT_TRUE(server.WaitFor("desc A gardener who talks to the hedges.\ncolor 08<@DHLPTX", 20)) << server.Received();
    ASSERT_TRUE(client->QuitsCleanly(10));
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
    client->Type("/Bob hi");
    client->Keys("Return Up Left Down Right Delete Insert Prior Home End Next");
    const std::string expected = "wh Bob hi\n\nm 9\nm 7\nm 1\nm 3\n<\n>\nm 9\nm 7\nm 1\nm 3\n";
    EXPECT_TRUE(server.WaitFor(expected, 20));
    EXPECT_EQ(server.Received().substr(loginBytes), expected);
}

// The view follows the cell the server names and the camera looks down on
// it from above: the middle of the window shows that cell, and a click
// there looks at it. No map is loaded, so the server's rows count from 0.
TEST_F(Session, AClickOnTheWorldLooksAtTheClickedCell) {
    const GridCell view = GridToServer(10, 12, 0);
    const std::string at = EncodeBase95(view.x, true) + EncodeBase95(view.y, true);
    ASSERT_TRUE(server.Send("@" + at + "\n"));
    std::this_thread::sleep_for(std::chrono::seconds(3)); // the camera glides there
    size_t before = server.Received().size();
    client->Click(400, 300);
    ASSERT_TRUE(server.WaitFor("l " + at + "\n", 20)) << server.Received().substr(before);
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

TEST_F(DreamVisit, OpenDreamShowsItsProgressAndEndsWithTidewatcher) {
    FileServerFaults slow;
    slow.blockDelayMs = 4000; // the progress line stays long enough for a few screenshots
    files->SetFaults(slow);
    ASSERT_TRUE(server.Send("]q meadow\n"));
    // "File Transfer (meadow): n / total" at (250, 280) while the blocks come.
    bool shown = WaitUntil(10, [&] { return client->Screenshot("progress").Count(250, 280, 300, 20, IsBright) > 20; });
    EXPECT_TRUE(shown);
    ASSERT_TRUE(server.WaitFor("tidewatcher\n", 30)) << server.Received();
    EXPECT_EQ(server.Received().find("goback"), std::string::npos);
    // The line goes with the finished transfer.
    EXPECT_TRUE(WaitUntil(20, [&] { return client->Screenshot("done").Count(250, 280, 300, 20, IsBright) == 0; }));
    std::vector<std::string> requests = files->ReceivedLines();
    ASSERT_FALSE(requests.empty());
    EXPECT_NE(requests.front().find("meadow"), std::string::npos);
    EXPECT_EQ(client->Log("_netlog.txt").find("emberglow"), std::string::npos);
    EXPECT_TRUE(client->QuitsCleanly(10));
    EXPECT_EQ(client->Log("_error.txt").find("memory leaks"), std::string::npos);
}

// A real Escape is the hostile-server test's.
TEST_F(DreamVisit, ClicksOnTheDrawnButtonsAnswer) {
    for (const bool yes : {false, true}) {
        ASSERT_TRUE(AskedAfterVault());
        Drawn drawn = Question();
        ASSERT_GT(drawn.noX, drawn.yesX);
        client->Click(yes ? drawn.yesX : drawn.noX, drawn.buttonY);
        ASSERT_TRUE(Replied(yes ? "goback" : "tidewatcher", 1)) << server.Received();
        ASSERT_TRUE(WaitUntil(20, [&] { return !Question().up; }));
    }
    EXPECT_EQ(TestUtil::CountOf(server.Received(), "goback\n"), 1);
    EXPECT_EQ(TestUtil::CountOf(server.Received(), "tidewatcher\n"), 1);
}

// Three failed dreams raise one question; its answer goes out once for each.
// While it is up the frame and the connection go on, and quitting under it is
// a normal end.
TEST_F(DreamVisit, FailedDreamsShareOneQuestionWhileTheGameGoesOn) {
    ASSERT_TRUE(AskedAfterVault(3));
    ASSERT_TRUE(server.Send("(*Still talking while you decide\n"));
    EXPECT_TRUE(WaitUntil(20, [&] { return client->Screenshot("asked").Count(40, 500, 700, 56, IsStarPink) > 20; }));
    WaitUntil(3, [] { return false; }); // the other two downloads finish within moments over loopback
    EXPECT_TRUE(Question().up);
    client->Keys("Return");
    ASSERT_TRUE(Replied("goback", 3)) << server.Received();
    EXPECT_TRUE(WaitUntil(20, [&] { return !Question().up; }));
    EXPECT_EQ(TestUtil::CountOf(server.Received(), "goback\n"), 3);
    EXPECT_EQ(server.Received().find("tidewatcher"), std::string::npos);
    ASSERT_TRUE(AskedAfterVault());
    ASSERT_TRUE(client->QuitsCleanly(10));
    EXPECT_EQ(client->Log("_error.txt").find("memory leaks"), std::string::npos) << client->Log("_error.txt");
}
