// The transfer operations end to end over loopback: the protocol's dream line
// starts a download from the file server tool, and ProcessFinishedDownloads
// finishes it with the game server's reply (or the player's answer).
#include <gtest/gtest.h>

#include "CMemMan.h"
#include "FileServer.h"
#include "GameDialog.h"
#include "GameHooks.h"
#include "GameProtocol.h"
#include "LogFile.h"
#include "NetTestFixture.h"
#include "QuilDataManager.h"
#include "QuilFileGetter.h"
#include "QuilTransfers.h"
#include "TestUtil.h"
#include "WorldMap.h"
#include "platform/PlatformSystem.h"

#include <filesystem>
#include <string>
#include <vector>

using NetTest::TakeTexts;
using NetTest::WaitFor;
using TestUtil::ReadFile;
using TestUtil::WriteFile;

namespace {

const std::string EmptyArchive = "FR01" + std::string(24, '\0');
// A 2 x 2 map: 4 x 4 grid cells, every layer zero.
const std::string SmallMap = "MAP V01.10 Quillmor\nheight=2\nwidth=2\nBODY\n" + std::string(24, '\0');
const char* const FailureText = ">  Error loading dream... sequence aborted.  (note: encrypted dreams not supported yet)";

class TransferTest : public NetTest::Loopback {
protected:
    TestUtil::ScopedFolder folder{"transfers"};
    FileServer files{"served"};
    std::vector<std::string> questions;
    bool answer = true;

    void SetUp() override {
        NetTest::Loopback::SetUp();
        if (HasFatalFailure()) return;
        TheTextQueue.Clear();
        ThePlayerRecord.Name = "Bob";
        ThePlayerRecord.Password = "pw";
        ASSERT_TRUE(files.Start(0));
        NetTest::UseFileServer(files.Port());
        ResetGameProtocol();
        SetServerConnection(&client);
        TheGameDialog.DropAll();
    }
    void TearDown() override {
        while (!TheTransferList.empty()) EndTransfer(TheTransferList.front());
        SetServerConnection(nullptr);
        TheGameDialog.DropAll();
        NetTest::Loopback::TearDown();
    }

    // Serves `archive` as the dream `id`; `map` (when not empty) is already in
    // the dream's folder, where an unpacked dream keeps it.
    void Prepare(const std::string& id, const std::string& archive, const std::string& map) {
        WriteFile("served/" + id + ".dream", archive);
        if (!map.empty()) WriteFile("hlcn_tmp/" + id + "/default.map", map);
    }
    bool AllDone() {
        for (const TransferRecord& record : TheTransferList)
            if (record.getter && !record.getter->IsDone()) return false;
        return true;
    }
    // The player answers every question that is up, as the game scene lets them.
    void AnswerQuestions() {
        while (const GameQuestion* question = TheGameDialog.Current()) {
            questions.push_back(question->caption + (question->yesNo ? " (yes/no): " : ": ") + question->text);
            TheGameDialog.Answer(answer);
        }
    }
    // What the game server has received within a short wait, the questions answered first.
    std::string GameServerGot() {
        AnswerQuestions();
        std::string got;
        WaitFor([&] {
            got += NetTest::Drain(*peer);
            return false;
        }, 100);
        return got;
    }
    // Waits for the downloads and finishes one, as a frame does.
    void FinishOne() {
        ASSERT_TRUE(WaitFor([&] { return AllDone(); }));
        ProcessFinishedDownloads();
    }
};

TEST_F(TransferTest, ProtocolDreamLineEndsInTidewatcher) {
    Prepare("d1", EmptyArchive, SmallMap);
    InstallTransferHooks();
    // The greeting, the login marker and the dream line, each in a batch of its own.
    const std::pair<const char*, LoginPhase> steps[] = {{"Welcome END\n", LoginPhase::AwaitingLogin},
                                                        {"&&&&&&&&&&&&&\n", LoginPhase::LoggedIn}};
    for (const auto& [line, next] : steps) {
        ASSERT_TRUE(NetTest::Send(*peer, line));
        ASSERT_TRUE(WaitFor([&] {
            PumpServerInput();
            return CurrentLoginPhase() == next;
        }));
    }
    ASSERT_TRUE(NetTest::Send(*peer, "]q d1 extra\n"));
    ASSERT_TRUE(WaitFor([&] {
        PumpServerInput();
        return !TheTransferList.empty();
    }));
    EXPECT_EQ(TakeTexts().back(), "> Downloading Dream...");
    EXPECT_EQ(TheTransferList.front().id, "d1");
    EXPECT_EQ(TheTransferList.front().type, TransferDream);
    FinishOne();
    EXPECT_TRUE(TheTransferList.empty());
    EXPECT_TRUE(TheWorldMap.MapLoaded);
    EXPECT_EQ(TheWorldMap.N, 4);
    std::string got = GameServerGot();
    EXPECT_EQ(got.substr(got.size() - 12), "tidewatcher\n") << got;
    EXPECT_EQ(TestUtil::CountOf(got, "tidewatcher"), 1);
    EXPECT_TRUE(questions.empty());
    EXPECT_EQ(ReadFile("hlcn_tmp/d1/d1.dream"), EmptyArchive);  // a finished download stays
}

TEST_F(TransferTest, FailuresAskAndAnswerDecides) {
    struct Case {
        std::string archive, map;
        bool answer;
        const char* reply;
    };
    std::string withEntry = EmptyArchive + "FZ" + std::string(56, '\0') + std::string("\x08\0\0\0", 4);
    const Case cases[] = {
        {withEntry, SmallMap, true, "goback\n"},
        {EmptyArchive, "", false, "tidewatcher\n"},  // no default.map
        {EmptyArchive, "", true, "goback\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply);
        std::filesystem::remove_all("hlcn_tmp");
        Prepare("d1", c.archive, c.map);
        questions.clear();
        answer = c.answer;
        StartDreamDownload("d1", TransferDream, "hlcn_tmp\\d1");
        FinishOne();
        EXPECT_TRUE(TheTransferList.empty());
        EXPECT_EQ(GameServerGot(), c.reply);
        EXPECT_EQ(questions, std::vector<std::string>{"Erp (yes/no): Dream download failed.  Reset to brisken island?\n"
                                                      "(If you choose no, you may be stuck in the dream)"});
        EXPECT_EQ(TakeTexts().back(), FailureText);
    }
}

TEST_F(TransferTest, TwoFinishedDownloadsTakeTwoFramesNewestFirst) {
    Prepare("older", EmptyArchive, SmallMap);
    Prepare("newer", EmptyArchive, "");  // fails: asked, answered yes
    StartDreamDownload("older", TransferDream, "hlcn_tmp\\older");
    StartDreamDownload("newer", TransferDream, "hlcn_tmp\\newer");
    FinishOne();
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
    FileServer slowFiles("served");
    FileServerFaults slow;
    slow.blockDelayMs = 1000;
    slowFiles.SetFaults(slow);
    ASSERT_TRUE(slowFiles.Start(0));
    NetTest::UseFileServer(slowFiles.Port());
    StartDreamDownload("d1", TransferDream, "hlcn_tmp\\d1");
    Platform::SleepMilliseconds(100);
    ProcessFinishedDownloads();
    EXPECT_EQ(TheTransferList.size(), 1u);
    EXPECT_EQ(GameServerGot(), "");
    EndTransfer(TheTransferList.front());
    EXPECT_TRUE(TheTransferList.empty());
    EXPECT_FALSE(std::filesystem::exists("hlcn_tmp/d1/d1.dream"));
}

// Names that cannot be a folder are failed downloads like any other: the
// player is asked and the server answered, nothing is created.
TEST_F(TransferTest, UnsafeDreamNamesAreAnsweredAsFailedDownloads) {
    InstallTransferHooks();
    ResetGameProtocol(LoginPhase::LoggedIn);
    for (const char* line : {"]q a/b", "]q C:x", "]q    ", "]q ..\\..\\evil"}) {
        SCOPED_TRACE(line);
        questions.clear();
        HandleServerLine(line);
        ProcessFinishedDownloads();
        EXPECT_EQ(TakeTexts(), (std::vector<std::string>{"> FAILED", "> Downloading Dream...", FailureText}));
        EXPECT_TRUE(TheTransferList.empty());
        AnswerQuestions();
        EXPECT_EQ(questions.size(), 1u);
        EXPECT_EQ(NetTest::Collect(*peer, 7), "goback\n");
    }
    EXPECT_FALSE(std::filesystem::exists("hlcn_tmp"));
    EXPECT_EQ(files.ServedConnections(), 0);
}

// Beyond the running limit, and for a name already downloading (in any
// case), a dream line is a failed download at once: answered, not queued.
TEST_F(TransferTest, SurplusDownloadsFailAtOnceAndAreAnswered) {
    FileServer slowFiles("served");
    FileServerFaults slow;
    slow.blockDelayMs = 60000;
    slowFiles.SetFaults(slow);
    ASSERT_TRUE(slowFiles.Start(0));
    NetTest::UseFileServer(slowFiles.Port());
    for (const char* id : {"a", "b", "A", "c", "d", "e"}) {
        Prepare(id, EmptyArchive, SmallMap);
        StartDreamDownload(id, TransferDream, std::string("hlcn_tmp\\") + id);
    }
    std::string running;
    for (const TransferRecord& record : TheTransferList)
        if (record.getter) running += record.id;
    EXPECT_EQ(running, "dcba");
    std::string log = ReadFile(ErrorLog.FileName());
    EXPECT_NE(log.find("Error: Refused to download dream \"A\": it is already being downloaded.\n"), std::string::npos);
    EXPECT_NE(log.find("Error: Refused to download dream \"e\": 4 downloads are already running.\n"), std::string::npos);
    ProcessFinishedDownloads();
    ProcessFinishedDownloads();
    ProcessFinishedDownloads();  // the running ones are not finished
    EXPECT_EQ(TheTransferList.size(), 4u);
    AnswerQuestions();
    EXPECT_EQ(questions.size(), 1u) << "the same question twice is asked once";
    EXPECT_EQ(NetTest::Collect(*peer, 14), "goback\ngoback\n");
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
