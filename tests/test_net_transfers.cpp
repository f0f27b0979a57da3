// The transfer operations end to end over loopback: the protocol's dream line
// starts a download from the file server tool, and ProcessFinishedDownloads
// finishes it with the game server's reply (or the player's answer).
#include <gtest/gtest.h>

#include "CMemMan.h"
#include "FileServer.h"
#include "GameHooks.h"
#include "GameProtocol.h"
#include "LogFile.h"
#include "NetServer.h"
#include "QuilDataManager.h"
#include "QuilFileGetter.h"
#include "QuilTransfers.h"
#include "TestUtil.h"
#include "WorldMap.h"
#include "platform/PlatformSystem.h"

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

using TestUtil::CountOf;
using TestUtil::ReadFile;
using TestUtil::WriteFile;

namespace {

bool WaitFor(const std::function<bool()>& done, int milliseconds = 20000) {
    for (int waited = 0; waited < milliseconds; waited += 5) {
        if (done()) return true;
        Platform::SleepMilliseconds(5);
    }
    return done();
}

const std::string EmptyArchive = "FR01" + std::string(24, '\0');
// A 2 x 2 map: 4 x 4 grid cells, every layer zero.
const std::string SmallMap = "MAP V01.10 Quillmor\nheight=2\nwidth=2\nBODY\n" + std::string(24, '\0');
const char* const FailureText = ">  Error loading dream... sequence aborted.  (note: encrypted dreams not supported yet)";

struct Question {
    std::string text, caption;
    bool yesNo = false;
};

class TransferTest : public ::testing::Test {
protected:
    TestUtil::ScopedFolder folder{"transfers"};
    FileServer files{"served"};
    NetServer gameServer;
    NET::Client connection;
    NET::Client* peer = nullptr;
    std::vector<Question> questions;
    bool answer = true;

    void SetUp() override {
        TestUtil::ClearLog(ErrorLog.FileName());
        TheTextQueue.Clear();
        ThePlayerRecord.Name = "Bob";
        ThePlayerRecord.Password = "pw";
        ASSERT_TRUE(files.Start(0));
        WriteFile("data/quilfile_ip.txt", "127.0.0.1 " + std::to_string(files.Port()));
        ASSERT_TRUE(gameServer.Listen(0));
        ASSERT_TRUE(connection.Connect("127.0.0.1", gameServer.Port()));
        ASSERT_TRUE(WaitFor([&] { return (peer = gameServer.TakeClient()) != nullptr; }));
        ResetGameProtocol();
        SetServerConnection(&connection);
        Platform::SetMessageBoxHook([this](const std::string& text, const std::string& caption, bool yesNo) {
            questions.push_back({text, caption, yesNo});
            return answer;
        });
    }
    void TearDown() override {
        while (!TheTransferList.empty()) EndTransfer(TheTransferList.front());
        SetServerConnection(nullptr);
        Platform::SetMessageBoxHook([](const std::string&, const std::string&, bool yesNo) { return !yesNo; });
        if (peer) delete2(peer);
    }

    // Serves `archive` as the dream `id`; `map` (when not empty) is already in
    // the dream's folder, where an unpacked dream keeps it.
    void Prepare(const std::string& id, const std::string& archive, const std::string& map) {
        WriteFile("served/" + id + ".dream", archive);
        if (!map.empty()) WriteFile("hlcn_tmp/" + id + "/default.map", map);
    }
    bool AllDone() {
        for (const TransferRecord& record : TheTransferList)
            if (!record.getter->IsDone()) return false;
        return true;
    }
    // What the game server has received so far.
    std::string GameServerGot() {
        std::string got;
        WaitFor([&] {
            std::vector<char> bytes;
            if (peer->ReceivedByteCount() > 0 && peer->ReceiveData(bytes)) got.append(bytes.begin(), bytes.end());
            return false;
        }, 100);
        return got;
    }
    std::vector<std::string> Texts() {
        std::vector<std::string> texts;
        for (std::string text; TakeText(text);) texts.push_back(text);
        return texts;
    }
};

TEST_F(TransferTest, ProtocolDreamLineEndsInTidewatcher) {
    Prepare("d1", EmptyArchive, SmallMap);
    InstallTransferHooks();
    // The greeting, the login marker and the dream line, each in a batch of its own.
    for (LoginPhase next : {LoginPhase::AwaitingLogin, LoginPhase::LoggedIn}) {
        std::string line = next == LoginPhase::AwaitingLogin ? "Welcome END\n" : "&&&&&&&&&&&&&\n";
        ASSERT_TRUE(peer->SendData(line.data(), static_cast<int>(line.size())));
        ASSERT_TRUE(WaitFor([&] {
            PumpServerInput();
            return CurrentLoginPhase() == next;
        }));
    }
    ASSERT_TRUE(peer->SendData("]q d1 extra\n", 12));
    ASSERT_TRUE(WaitFor([&] {
        PumpServerInput();
        return !TheTransferList.empty();
    }));
    EXPECT_EQ(Texts().back(), "> Downloading Dream...");
    EXPECT_EQ(TheTransferList.front().id, "d1");
    EXPECT_EQ(TheTransferList.front().type, TransferDream);
    ASSERT_TRUE(WaitFor([&] { return AllDone(); }));
    ProcessFinishedDownloads();
    EXPECT_TRUE(TheTransferList.empty());
    EXPECT_TRUE(TheWorldMap.MapLoaded);
    EXPECT_EQ(TheWorldMap.N, 4);
    std::string got = GameServerGot();
    EXPECT_EQ(got.substr(got.size() - 12), "tidewatcher\n") << got;
    EXPECT_EQ(CountOf(got, "tidewatcher"), 1);
    EXPECT_TRUE(questions.empty());
    EXPECT_EQ(ReadFile("hlcn_tmp/d1/d1.dream"), EmptyArchive);  // a finished download stays
}

TEST_F(TransferTest, FailuresAskAndAnswerDecides) {
    struct Case {
        const char* name;
        std::string archive, map;
        bool answer;
        const char* reply;
    };
    std::string withEntry = EmptyArchive + "FZ" + std::string(56, '\0') + std::string("\x08\0\0\0", 4);
    std::vector<Case> cases{
        {"archive with an entry, yes", withEntry, SmallMap, true, "goback\n"},
        {"no default.map, no", EmptyArchive, "", false, "tidewatcher\n"},
        {"no default.map, yes", EmptyArchive, "", true, "goback\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all("hlcn_tmp");
        Prepare("d1", c.archive, c.map);
        questions.clear();
        answer = c.answer;
        StartDreamDownload("d1", TransferDream, "hlcn_tmp\\d1");
        ASSERT_TRUE(WaitFor([&] { return AllDone(); }));
        ProcessFinishedDownloads();
        EXPECT_TRUE(TheTransferList.empty());
        ASSERT_EQ(questions.size(), 1u);
        EXPECT_EQ(questions[0].text,
                  "Dream download failed.  Reset to brisken island?\n(If you choose no, you may be stuck in the dream)");
        EXPECT_EQ(questions[0].caption, "Erp");
        EXPECT_TRUE(questions[0].yesNo);
        EXPECT_EQ(GameServerGot(), c.reply);
        EXPECT_EQ(Texts().back(), FailureText);
    }
}

TEST_F(TransferTest, TwoFinishedDownloadsTakeTwoFramesNewestFirst) {
    Prepare("older", EmptyArchive, SmallMap);
    Prepare("newer", EmptyArchive, "");  // fails: asked, answered yes
    StartDreamDownload("older", TransferDream, "hlcn_tmp\\older");
    StartDreamDownload("newer", TransferDream, "hlcn_tmp\\newer");
    ASSERT_TRUE(WaitFor([&] { return AllDone(); }));
    ProcessFinishedDownloads();
    ASSERT_EQ(TheTransferList.size(), 1u);
    EXPECT_EQ(TheTransferList.front().id, "older");
    EXPECT_EQ(GameServerGot(), "goback\n");
    ProcessFinishedDownloads();
    EXPECT_TRUE(TheTransferList.empty());
    EXPECT_EQ(GameServerGot(), "tidewatcher\n");
    EXPECT_EQ(questions.size(), 1u);
    ProcessFinishedDownloads();  // nothing left: nothing sent
    EXPECT_EQ(GameServerGot(), "");
}

TEST_F(TransferTest, RunningDownloadIsNotFinished) {
    Prepare("d1", std::string(200000, 'x'), SmallMap);
    FileServerFaults slow;
    slow.blockDelayMs = 1000;
    FileServer slowFiles("served");
    slowFiles.SetFaults(slow);
    ASSERT_TRUE(slowFiles.Start(0));
    WriteFile("data/quilfile_ip.txt", "127.0.0.1 " + std::to_string(slowFiles.Port()));
    StartDreamDownload("d1", TransferDream, "hlcn_tmp\\d1");
    Platform::SleepMilliseconds(100);
    ProcessFinishedDownloads();
    EXPECT_EQ(TheTransferList.size(), 1u);
    EXPECT_EQ(GameServerGot(), "");
    EndTransfer(TheTransferList.front());
    EXPECT_TRUE(TheTransferList.empty());
    EXPECT_FALSE(std::filesystem::exists("hlcn_tmp/d1/d1.dream"));
}

TEST_F(TransferTest, RefusedIdIsAFailedDownload) {
    InstallTransferHooks();
    TheGameHooks.startDreamDownload("..", TransferDream, "hlcn_tmp\\..");
    ASSERT_EQ(TheTransferList.size(), 1u);
    ProcessFinishedDownloads();
    EXPECT_TRUE(TheTransferList.empty());
    EXPECT_EQ(questions.size(), 1u);
    EXPECT_EQ(GameServerGot(), "goback\n");
    EXPECT_EQ(Texts(), (std::vector<std::string>{"> FAILED", FailureText}));
    EXPECT_FALSE(std::filesystem::exists("hlcn_tmp"));
    EXPECT_EQ(files.ServedConnections(), 0);
}

TEST_F(TransferTest, EndingAnUnknownTransferOnlyReports) {
    Prepare("d1", EmptyArchive, SmallMap);
    StartDreamDownload("d1", TransferDream, "hlcn_tmp\\d1");
    TransferRecord stranger = TheTransferList.front();
    stranger.getter = nullptr;  // same id, another getter
    stranger.direction = TransferUpload;
    stranger.type = TransferPortrait;
    TestUtil::ClearLog(ErrorLog.FileName());
    EndTransfer(stranger);
    EXPECT_EQ(TheTransferList.size(), 1u);
    std::string log = ReadFile(ErrorLog.FileName());
    EXPECT_EQ(log.rfind("Attempt to end a transfer that doesn't exist.\n"
                        "  -transfer type: upload portrait\n"
                        "  -transfer ID: d1\n"
                        "  -call stack:\n",
                        0),
              0u)
        << log;
    EXPECT_NE(log.find("EndingAnUnknownTransferOnlyReports"), std::string::npos);
}

}  // namespace
