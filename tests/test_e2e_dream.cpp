// Dream visits end to end: the real program downloads the sample dreams from
// the file server while the scripted game server sends it into them; the
// progress line is drawn, an open dream ends with "tidewatcher", and a sealed
// one asks the player in the game window, answered by real keys and clicks
// while the game goes on.
#include <gtest/gtest.h>

#include <cstdlib>

#include "FileServer.h"
#include "GameRun.h"

using namespace GameRun;

namespace {

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
    ::testing::AssertionResult AskedAfterVault(int count = 1) {
        std::string lines;
        for (int i = 0; i < count; ++i)
            lines += "]q vault\n";
        if (!server.Send(lines)) return ::testing::AssertionFailure() << "the server could not send";
        if (!WaitUntil(20, [&] { return Question().up; })) return ::testing::AssertionFailure() << "no question drawn";
        return ::testing::AssertionSuccess();
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

bool IsStarPink(int r, int g, int b) {
    return r > 200 && g > 110 && g < 215 && b > 110 && b < 215 && r - g > 35;
}

} // namespace

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
    EXPECT_TRUE(client->Terminate(10));
    EXPECT_EQ(client->Log("_error.txt").find("memory leaks"), std::string::npos);
}

// While the question is up the frame and the connection go on: the server's
// speech is drawn under it.
TEST_F(DreamVisit, SealedDreamAsksInTheWindowAndReturnGoesBack) {
    ASSERT_TRUE(AskedAfterVault());
    ASSERT_TRUE(server.Send("(*Still talking while you decide\n"));
    EXPECT_TRUE(WaitUntil(20, [&] { return client->Screenshot("asked").Count(40, 500, 700, 56, IsStarPink) > 20; }));
    EXPECT_TRUE(Question().up);
    client->Keys("Return");
    ASSERT_TRUE(Replied("goback", 1)) << server.Received();
    EXPECT_TRUE(WaitUntil(20, [&] { return !Question().up; }));
    EXPECT_EQ(server.Received().find("tidewatcher"), std::string::npos);
}

TEST_F(DreamVisit, EscapeAndClicksOnTheButtonsAnswer) {
    int gobacks = 0, tidewatchers = 0;
    for (const std::string answer : {"Escape", "No", "Yes"}) {
        SCOPED_TRACE(answer);
        ASSERT_TRUE(AskedAfterVault());
        if (answer == "Escape") {
            client->Keys("Escape");
        } else {
            Drawn drawn = Question();
            ASSERT_GT(drawn.noX, drawn.yesX);
            client->Click(answer == "Yes" ? drawn.yesX : drawn.noX, drawn.buttonY);
        }
        bool yes = answer == "Yes";
        ASSERT_TRUE(Replied(yes ? "goback" : "tidewatcher", yes ? ++gobacks : ++tidewatchers)) << server.Received();
        ASSERT_TRUE(WaitUntil(20, [&] { return !Question().up; }));
    }
    EXPECT_EQ(TestUtil::CountOf(server.Received(), "goback\n"), 1);
    EXPECT_EQ(TestUtil::CountOf(server.Received(), "tidewatcher\n"), 2);
}

// Three failed dreams raise one question; its answer goes out once for each.
// Quitting while a question is up is a normal end.
TEST_F(DreamVisit, FailedDreamsShareOneQuestionAndQuittingUnderItEndsNormally) {
    ASSERT_TRUE(AskedAfterVault(3));
    // The other two downloads finish within moments over loopback.
    WaitUntil(3, [] { return false; });
    client->Keys("Return");
    ASSERT_TRUE(Replied("goback", 3)) << server.Received();
    EXPECT_TRUE(WaitUntil(20, [&] { return !Question().up; }));
    EXPECT_EQ(TestUtil::CountOf(server.Received(), "goback\n"), 3);
    ASSERT_TRUE(AskedAfterVault());
    ASSERT_TRUE(client->Terminate(10));
    EXPECT_EQ(client->ExitCode(), 0);
    EXPECT_EQ(client->Log("_error.txt").find("memory leaks"), std::string::npos) << client->Log("_error.txt");
}
