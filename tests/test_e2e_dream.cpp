// Dream visits end to end: the real program downloads the sample dreams from
// the file server while the scripted game server sends it into them; the
// progress line is drawn, an open dream ends with "tidewatcher", and a sealed
// one asks the player through the real dialog.
#include <gtest/gtest.h>

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

    std::unique_ptr<FileServer> files;
};

}  // namespace

TEST_F(DreamVisit, OpenDreamShowsItsProgressAndEndsWithTidewatcher) {
    FileServerFaults slow;
    slow.blockDelayMs = 4000;  // the progress line stays long enough for a few screenshots
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

TEST_F(DreamVisit, SealedDreamAsksAndYesGoesBack) {
    ASSERT_TRUE(server.Send("]q vault\n"));
    ASSERT_TRUE(AnswerMessageBox("Erp", "Return", 20));
    ASSERT_TRUE(server.WaitFor("goback\n", 20)) << server.Received();
    EXPECT_EQ(server.Received().find("tidewatcher"), std::string::npos);
    EXPECT_TRUE(client->Running());
}

TEST_F(DreamVisit, SealedDreamAsksAndNoStays) {
    ASSERT_TRUE(server.Send("]q vault\n"));
    ASSERT_TRUE(AnswerMessageBox("Erp", "Escape", 20));
    ASSERT_TRUE(server.WaitFor("tidewatcher\n", 20)) << server.Received();
    EXPECT_EQ(server.Received().find("goback"), std::string::npos);
}
