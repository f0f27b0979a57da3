// Dream downloads over loopback against the file server tool, which can be
// told to misbehave: QuilFileGetter on its own, then the transfer operations
// (the protocol's dream line starts a download, ProcessFinishedDownloads
// finishes it with the game server's reply or the player's answer).
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

#include <filesystem>
#include <string>
#include <vector>

using NetTest::TakeTexts;
using NetTest::WaitFor;
using TestUtil::CountOf;
using TestUtil::ReadFile;
using TestUtil::WriteFile;

namespace {

// A server with one fault.
template <class T> FileServerFaults Fault(T FileServerFaults::*member, T value) {
    FileServerFaults faults;
    faults.*member = value;
    return faults;
}

bool Exists(const std::string& path) {
    return std::filesystem::exists(path);
}

int32_t Received(QUIL::FileGetter& getter) {
    int32_t received = 0, size = 0;
    getter.GetProgress(received, size);
    return size == 10000 ? received : -1;
}

// The loopback connection is the game server's, for the transfer operations.
class FileGetterTest : public NetTest::Loopback {
  protected:
    TestUtil::ScopedFolder folder{"downloads"};
    FileServer files{"served"};
    std::string dream = NetTest::Pattern(10000);

    void SetUp() override {
        NetTest::Loopback::SetUp();
        if (HasFatalFailure()) return;
        TheTextQueue.Clear();
        ThePlayerRecord.Name = "Bob";
        ThePlayerRecord.Password = "hunter2secret";
        WriteFile("served/d1.dream", dream);
    }
    void Listen(const FileServerFaults& faults = {}) {
        files.SetFaults(faults);
        ASSERT_TRUE(files.Start(0));
        NetTest::UseFileServer(files.Port());
    }
    QUIL::FileGetter* Start(const std::string& id = "d1", unsigned stallSeconds = QUIL::FileGetter::StallSeconds) {
        return new2(QUIL::FileGetter, QUIL::FileGetter(id, "hlcn_tmp\\" + id, stallSeconds));
    }
    // Downloads `id` to the end and deletes the getter; true when it succeeded.
    bool Download(const std::string& id = "d1", unsigned stallSeconds = QUIL::FileGetter::StallSeconds) {
        QUIL::FileGetter* getter = Start(id, stallSeconds);
        EXPECT_TRUE(WaitFor([&] { return getter->IsDone(); }));
        bool succeeded = getter->Succeeded();
        delete2(getter);
        return succeeded;
    }
    std::string Log() { return ReadFile(ErrorLog.FileName()); }
};

TEST_F(FileGetterTest, DreamArrivesByteForByteAndTheRequestIsLoggedRedacted) {
    Listen();
    EXPECT_TRUE(Download());
    EXPECT_EQ(ReadFile("hlcn_tmp/d1/d1.dream"), dream);
    std::vector<std::string> lines{"RC Bob hunter2secret d1 0 2 4096", "PKOK 0", "PKOK 1", "PKOK 2", "BYE"};
    EXPECT_TRUE(WaitFor([&] { return files.ReceivedLines().size() >= lines.size(); }));
    EXPECT_EQ(files.ReceivedLines(), lines);
    std::vector<std::string> texts{"> File Server welcome received.  Requesting transfer...",
                                   "> Transfer request accepted.  Download beginning.", "> Download Complete."};
    EXPECT_EQ(TakeTexts(), texts);
    EXPECT_EQ(Log(), "");

    std::string netlog = ReadFile(NetLog.FileName());
    EXPECT_EQ(CountOf(netlog, "hunter2secret"), 0) << netlog;
    EXPECT_EQ(CountOf(netlog, "{SENT TO SERVER}RC (NAME/PASS REMOVED FOR SECURITY) d1 0 2 4096\n"), 1) << netlog;
}

TEST_F(FileGetterTest, MisbehavingServersFailWithoutPartialFile) {
    struct Case {
        const char* id;
        FileServerFaults faults;
        std::string message, text;
    };
    // The protocol's other faults are the exchange's own tests.
    std::vector<Case> cases{{"d1", Fault(&FileServerFaults::closeAfterBlocks, 1),
                             "warning: file download ended early: d1\n", "> CONNECTION SEVERED"},
                            {"nosuch", {}, "Anomolous response recieved to RC request.\n", "> FAILED"}};
    Listen();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        files.SetFaults(c.faults);
        TestUtil::ClearLog(ErrorLog.FileName());
        TheTextQueue.Clear();
        EXPECT_FALSE(Download(c.id));
        EXPECT_EQ(CountOf(Log(), c.message), 1) << Log();
        EXPECT_EQ(TakeTexts().back(), c.text);
        const std::string id = c.id;
        EXPECT_EQ(
            CountOf(Log(), "Note: deleting incompletely transfered file \"hlcn_tmp\\" + id + "\\" + id + ".dream\"\n"),
            1);
        EXPECT_FALSE(Exists("hlcn_tmp/" + id + "/" + id + ".dream"));
    }
}

// A server that sends its last block and hangs up at once: the blocks that
// came before the close complete the download.
TEST_F(FileGetterTest, ServerHangingUpAfterTheLastBlockStillCompletes) {
    Listen(Fault(&FileServerFaults::closeAfterBlocks, 3));
    EXPECT_TRUE(Download());
    EXPECT_EQ(ReadFile("hlcn_tmp/d1/d1.dream"), dream);
    EXPECT_EQ(TakeTexts().back(), "> Download Complete.");
    EXPECT_EQ(Log(), "");
}

TEST_F(FileGetterTest, DownloadWithNothingComingForTheStallLimitFails) {
    Listen(Fault(&FileServerFaults::blockDelayMs, 60000u));
    EXPECT_FALSE(Download("d1", 2));
    EXPECT_EQ(TakeTexts().back(), "> DOWNLOAD STALLED: nothing came from the file server for 2 seconds");
    EXPECT_EQ(CountOf(Log(), "warning: file download stalled: d1: nothing came from the file server for 2 seconds\n"),
              1)
        << Log();
    EXPECT_FALSE(Exists("hlcn_tmp/d1/d1.dream"));
}

TEST_F(FileGetterTest, DeletingARunningDownloadRemovesItsFile) {
    Listen(Fault(&FileServerFaults::blockDelayMs, 400u));
    QUIL::FileGetter* getter = Start();
    ASSERT_TRUE(WaitFor([&] { return Received(*getter) == 4086; }));
    EXPECT_FALSE(getter->IsDone());
    EXPECT_TRUE(Exists("hlcn_tmp/d1/d1.dream"));
    delete2(getter);
    EXPECT_FALSE(Exists("hlcn_tmp/d1/d1.dream"));
    EXPECT_EQ(Log(), "Note: deleting incompletely transfered file \"hlcn_tmp\\d1\\d1.dream\"\n");
}

TEST(DreamIds, PlainNamesPassAndEachUnsafeKindIsNamed) {
    const std::pair<const char*, const char*> cases[] = {{"d1", ""},
                                                         {"Brisken-Dream_2", ""},
                                                         {"a.b", ""},
                                                         {".hidden", ""},
                                                         {"with space", ""},
                                                         {"", "it is empty"},
                                                         {"a/b", "it contains a path separator"},
                                                         {"a\\b", "it contains a path separator"},
                                                         {"C:x", "it contains a drive letter"},
                                                         {"a\x1F", "it contains a control character"},
                                                         {"\x7F", "it contains a control character"},
                                                         {". .", "it is a \".\" or \"..\" component"},
                                                         {"...", "it is a \".\" or \"..\" component"}};
    for (const auto& [id, reason] : cases)
        EXPECT_EQ(UnsafeDreamIdReason(id), reason) << id;
}

TEST_F(FileGetterTest, UnreachableServerFailsAtOnce) {
    EXPECT_FALSE(Download()); // no address file at all
    std::string log = Log();
    EXPECT_EQ(CountOf(log, "Failed to load quil's file-server ip and port from \\data\\quilfile_ip.txt file.\n"), 1);
    EXPECT_EQ(CountOf(log, "Failed to connect to quil file server.\n"), 1);
    EXPECT_EQ(CountOf(log, "Note: deleting incompletely transfered file \"hlcn_tmp\\d1\\d1.dream\"\n"
                           "Failed to delete file \"hlcn_tmp\\d1\\d1.dream\"\n"),
              1)
        << log;
    EXPECT_FALSE(Exists("hlcn_tmp"));
}

const std::string EmptyArchive = "FR01" + std::string(24, '\0');
// A 2 x 2 map: 4 x 4 grid cells, every layer zero.
const std::string SmallMap = "MAP V01.10 Quillmor\nheight=2\nwidth=2\nBODY\n" + std::string(24, '\0');
const char* const FailureText =
    ">  Error loading dream... sequence aborted.  (note: encrypted dreams not supported yet)";

class TransferTest : public FileGetterTest {
  protected:
    std::vector<std::string> questions;
    bool answer = true;

    void SetUp() override {
        FileGetterTest::SetUp();
        if (HasFatalFailure()) return;
        Listen();
        ResetGameProtocol();
        SetServerConnection(&client);
        TheGameDialog.DropAll();
    }
    void TearDown() override {
        while (!TheTransferList.empty())
            EndTransfer(TheTransferList.front());
        SetServerConnection(nullptr);
        TheGameDialog.DropAll();
        FileGetterTest::TearDown();
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
        WaitFor(
            [&] {
                got += NetTest::Drain(*peer);
                return false;
            },
            100);
        return got;
    }
    // Waits for the downloads and finishes one, as a frame does.
    void FinishOne() {
        ASSERT_TRUE(WaitFor([&] { return AllDone(); }));
        ProcessFinishedDownloads();
    }
};

// The protocol's dream line and the player's answers end to end are the
// end-to-end test's part.
TEST_F(TransferTest, TwoFinishedDownloadsTakeTwoFramesNewestFirst) {
    Prepare("older", EmptyArchive, SmallMap);
    Prepare("newer", EmptyArchive, ""); // no default.map: fails, asked, answered yes
    StartDreamDownload("older", TransferDream, "hlcn_tmp\\older");
    StartDreamDownload("newer", TransferDream, "hlcn_tmp\\newer");
    FinishOne();
    ASSERT_EQ(TheTransferList.size(), 1u);
    EXPECT_EQ(TheTransferList.front().id, "older");
    EXPECT_EQ(GameServerGot(), "goback\n");
    EXPECT_EQ(questions, std::vector<std::string>{"Erp (yes/no): Dream download failed.  Reset to brisken island?\n"
                                                  "(If you choose no, you may be stuck in the dream)"});
    EXPECT_EQ(TakeTexts().back(), FailureText);
    ProcessFinishedDownloads();
    EXPECT_TRUE(TheTransferList.empty());
    EXPECT_EQ(GameServerGot(), "tidewatcher\n");
    EXPECT_EQ(questions.size(), 1u);
    EXPECT_EQ(ReadFile("hlcn_tmp/older/older.dream"), EmptyArchive); // a finished download stays
    ProcessFinishedDownloads();                                      // nothing left: nothing sent
    EXPECT_EQ(GameServerGot(), "");
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
    EXPECT_FALSE(Exists("hlcn_tmp"));
    EXPECT_EQ(files.ServedConnections(), 0);
    EXPECT_EQ(CountOf(ReadFile(ErrorLog.FileName()), "Error: Refused to download dream \""), 4);
}

// Beyond the running limit, and for a name already downloading (in any
// case), a dream line is a failed download at once: answered, not queued.
TEST_F(TransferTest, SurplusDownloadsFailAtOnceAndAreAnswered) {
    FileServerFaults slow;
    slow.blockDelayMs = 60000;
    files.SetFaults(slow);
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
    EXPECT_NE(log.find("Error: Refused to download dream \"e\": 4 downloads are already running.\n"),
              std::string::npos);
    ProcessFinishedDownloads();
    ProcessFinishedDownloads();
    ProcessFinishedDownloads(); // the running ones are not finished
    EXPECT_EQ(TheTransferList.size(), 4u);
    EXPECT_EQ(GameServerGot(), "goback\ngoback\n");
    EXPECT_EQ(questions.size(), 1u) << "the same question twice is asked once";
}

TEST_F(TransferTest, EndingAnUnknownTransferOnlyReports) {
    Prepare("d1", EmptyArchive, SmallMap);
    StartDreamDownload("d1", TransferDream, "hlcn_tmp\\d1");
    TransferRecord stranger = TheTransferList.front();
    stranger.getter = nullptr; // same id, another getter
    stranger.direction = TransferUpload;
    stranger.type = TransferPortrait;
    TestUtil::ClearLog(ErrorLog.FileName());
    EndTransfer(stranger);
    EXPECT_EQ(TheTransferList.size(), 1u);
    std::string log = ReadFile(ErrorLog.FileName());
    EXPECT_EQ(log.find("Attempt to end a transfer that doesn't exist.\n  -transfer type: upload portrait\n"
                       "  -transfer ID: d1\n  -call stack:\n"),
              0u)
        << log;
    EXPECT_NE(log.find("EndingAnUnknownTransferOnlyReports"), std::string::npos);
}

} // namespace
