// Dream downloads: the getter's exchange fed byte for byte as a file server (or
// a broken one) would send it, the archive's checks, QuilFileGetter against the
// file server tool (which can be told to misbehave) over loopback, and the
// transfer operations that start a download and finish it with the game
// server's reply or the player's answer.
#include <gtest/gtest.h>

#include "CMemMan.h"
#include "DreamArchive.h"
#include "FileGetterExchange.h"
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

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

using NetTest::TakeTexts;
using NetTest::WaitUntil;
using std::filesystem::exists;
using TestUtil::CountOf;
using TestUtil::ReadFile;
using TestUtil::WriteFile;

namespace {

const std::string Request = "RC Bob secret d1 0 2 4096\n";
const std::string Path = "hlcn_tmp\\d1\\d1.dream";
const std::string DiskPath = "hlcn_tmp/d1/d1.dream";
const std::string Accepted = "44 10000 0 4096\n";

std::string Log() {
    return ReadFile(ErrorLog.FileName());
}

struct RecordingLink : FileGetterLink {
    std::vector<std::string> sent, told;
    void Send(const std::string& line) override { sent.push_back(line); }
    void Tell(const std::string& text) override { told.push_back(text); }
};

// One block on the wire: tag, little-endian index, four unread bytes, payload
// padded to the block size.
std::string Block(int32_t index, const std::string& payload, size_t blockSize = 4096, const char* tag = "SC") {
    std::string block = tag;
    for (int i = 0; i < 4; ++i)
        block += static_cast<char>((static_cast<uint32_t>(index) >> (8 * i)) & 0xFF);
    block += "\xEE\xEE\xEE\xEE" + payload;
    block.resize(blockSize, '\x5A');
    return block;
}

class ExchangeTest : public ::testing::Test {
  protected:
    TestUtil::ScopedFolder folder{"dream_exchange"};
    FileGetterExchange exchange{"d1", Path, Request};
    RecordingLink link;

    void SetUp() override { TestUtil::ClearLog(ErrorLog.FileName()); }
    void Feed(const std::string& bytes) { exchange.Append(bytes.data(), bytes.size()); }
    void FeedAndStep(const std::string& bytes) {
        Feed(bytes);
        exchange.Step(link);
    }
    void Accept(const std::string& line = Accepted) {
        FeedAndStep("10 welcome to the file server\n");
        FeedAndStep(line);
    }
    std::string Progress() {
        int32_t got = -1, total = -1;
        exchange.GetProgress(got, total);
        return std::to_string(got) + "/" + std::to_string(total);
    }
};

TEST_F(ExchangeTest, AnomalousWelcomesRepliesAndBlocksFailWithoutWriting) {
    const std::string welcome = "Anomolous message recieved in response to file server connect.\n";
    const std::string reply = "Anomolous response recieved to RC request.\n";
    struct Case {
        std::vector<std::string> feeds;
        std::string message;
    };
    std::vector<Case> cases{
        {{"10 \n", Accepted, Block(1, "abc")},
         "Out of order data block received from file server... aborting. (I know, I should handle this better.... "
         "later!)\n"},
        {{"10 \n", Accepted, Block(0, "abc", 4096, "CS")},
         "Non-data block recieved while downloading file... aborting.\n"}};
    for (const std::string& line :
         {std::string("10\n"), std::string("\n"), std::string("1\n"), std::string("11 x\n"), std::string("10\0x\n", 5)})
        cases.push_back({{line}, welcome});
    // Fewer than four words, a block too small to carry a byte or too large, a negative size.
    for (const char* line : {"\n", " 44x 100 0 4096\n", "45 100 0 4096\n", "44 100 0\n", "44 100 0 10\n",
                             "44 100 0 -4096\n", "44 100 0 2000000\n", "44 -5 0 4096\n"})
        cases.push_back({{"10 \n", line}, reply});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.feeds.back());
        TestUtil::ClearLog(ErrorLog.FileName());
        FileGetterExchange fresh("d1", Path, Request);
        RecordingLink freshLink;
        for (const std::string& bytes : c.feeds) {
            fresh.Append(bytes.data(), bytes.size());
            fresh.Step(freshLink);
        }
        EXPECT_EQ(fresh.State(), Failed);
        EXPECT_EQ(freshLink.told.back(), "> FAILED");
        EXPECT_EQ(freshLink.sent.size(), c.feeds.size() > 1 ? 1u : 0u); // the request at most, no PKOK
        EXPECT_EQ(Log(), c.message);
        fresh.CloseFile();
        EXPECT_EQ(ReadFile(DiskPath), "");
    }
}

TEST_F(ExchangeTest, EndlessLineWithoutFeedIsAnomalous) {
    FeedAndStep(std::string(FileGetterExchange::MaxLineLength, 'x'));
    EXPECT_FALSE(exchange.IsDone()); // still a possible line
    FeedAndStep("xx");
    EXPECT_EQ(exchange.State(), Failed);
    EXPECT_EQ(Log(), "Anomolous message recieved in response to file server connect.\n");
}

TEST_F(ExchangeTest, WelcomeRequestAndThreeBlocksArriveByteForByte) {
    EXPECT_EQ(Progress(), "0/1"); // until the server answers
    FeedAndStep("10");
    EXPECT_TRUE(link.sent.empty()); // no line feed yet
    FeedAndStep(" hello\n");
    FeedAndStep(Accepted);
    std::string dream = NetTest::Pattern(10000);
    // All three blocks at once: one block per step.
    FeedAndStep(Block(0, dream.substr(0, 4086)) + Block(1, dream.substr(4086, 4086)) + Block(2, dream.substr(8172)));
    EXPECT_EQ(Progress(), "4086/10000");
    exchange.Step(link);
    exchange.Step(link);
    EXPECT_EQ(exchange.State(), Complete);
    EXPECT_EQ(Progress(), "10000/10000"); // the last block wrote 1828 bytes
    EXPECT_EQ(ReadFile(DiskPath), dream); // readable in full while the exchange still exists
}

TEST_F(ExchangeTest, SmallestUsableBlockAndOddWordsAreAccepted) {
    // Block size 11 carries one byte; words may be separated by tabs and runs.
    Accept("44\t3  x 11 trailing words\n");
    ASSERT_EQ(exchange.State(), Receiving);
    FeedAndStep(Block(0, "a", 11) + Block(1, "b", 11) + Block(2, "c", 11));
    exchange.Step(link);
    exchange.Step(link);
    EXPECT_EQ(exchange.State(), Complete);
    EXPECT_EQ(ReadFile(DiskPath), "abc");
}

TEST_F(ExchangeTest, LocalCopyOfTheAnnouncedSizeIsUsed) {
    WriteFile(DiskPath, NetTest::Pattern(10000));
    Accept();
    EXPECT_EQ(exchange.State(), Complete);
    EXPECT_EQ(link.told.back(), "> Already have file, cancelling download and using local copy.");
    EXPECT_EQ(Progress(), "10000/10000");
    FeedAndStep(Block(0, "late")); // the server goes on sending; nothing is answered or written
    EXPECT_EQ(link.sent.size(), 1u);
    EXPECT_EQ(ReadFile(DiskPath), NetTest::Pattern(10000));
}

// Any other local file: the empty dream replaces it at once, no block awaited.
TEST_F(ExchangeTest, EmptyDreamNeedsNoBlock) {
    WriteFile(DiskPath, "an older dream");
    Accept("44 0 0 4096\n");
    EXPECT_EQ(exchange.State(), Complete);
    EXPECT_EQ(link.sent, (std::vector<std::string>{Request, "BYE\n"}));
    EXPECT_EQ(link.told.back(), "> Download Complete.");
    EXPECT_EQ(ReadFile(DiskPath), "");
}

// The plain request is the download test's.
TEST(FileRequest, NameAndPasswordAreKeptOutOfTheLog) {
    const std::pair<const char*, const char*> cases[] = {
        // A name or password with spaces is removed whole: only the last four words stay.
        {"RC Ann Lee pass word dream 0 2 4096\n", "RC (NAME/PASS REMOVED FOR SECURITY) dream 0 2 4096\n"},
        {"RC short line\n", "RC (NAME/PASS REMOVED FOR SECURITY)\n"},
        {"PKOK 0\nRC a b c 0 2 4096\nBYE\n", "PKOK 0\nRC (NAME/PASS REMOVED FOR SECURITY) c 0 2 4096\nBYE\n"}};
    for (const auto& [text, logged] : cases)
        EXPECT_EQ(HideRequestSecrets(text), logged);
}

TEST_F(ExchangeTest, UnwritableFileFailsWithItsMessage) {
    WriteFile("hlcn_tmp/d1", "a file where the folder should be");
    Accept();
    EXPECT_EQ(exchange.State(), Failed);
    EXPECT_EQ(Log(), "Failed to open output file, to download dream into.\n");
}

TEST_F(ExchangeTest, BytesBeyondTheLastBlockAreDropped) {
    Accept("44 5000 x 4096\n"); // two blocks
    Feed(std::string(5 * 4096, 'S'));
    EXPECT_EQ(exchange.BufferedBytes(), 2u * 4096);
    FeedAndStep("");
    EXPECT_EQ(exchange.State(), Failed); // "SS" is not a data block
}

// An archive header followed by a first entry header whose compression
// method is `method`; `length` cuts or pads the result.
std::string Archive(const std::string& magic, size_t length, const std::string& entryMagic = "FZ", int32_t method = 0) {
    std::string bytes = magic + std::string(24, '\x11') + entryMagic + std::string(56, '\x22');
    for (int i = 0; i < 4; ++i)
        bytes += static_cast<char>((static_cast<uint32_t>(method) >> (8 * i)) & 0xFF);
    bytes.resize(length, '\x33');
    return bytes;
}

TEST(DreamArchive, EachCheckRefusesWithItsMessageAndLeavesTheFile) {
    TestUtil::ScopedFolder folder{"dream_archive"};
    const std::string cannotBegin = "Unable to begin decompression of file: " + Path + "\n";
    const std::string badHeader = "Error decompressing dream file (" + Path + "): dream header ID is invalid.\n";
    const std::string badEntry = "Error in file entry header, in dream file: " + Path + "\n";
    const struct {
        std::string bytes;
        bool accepted;
        std::string message;
    } cases[] = {
        {"", false, cannotBegin},
        {"FR0", false, badHeader},
        {Archive("fr01", 28), false, badHeader},
        {"FR01", true, ""}, // no entry at all
        {Archive("FR01", 28), true, ""},
        {Archive("FR01", 89), false, badEntry}, // one byte short of the method's end
        {Archive("FR01", 90, "FY", 8), false, badEntry},
        {Archive("FR01", 500, "FZ", -3), false, "Unsupported compression method in dream file: -3\n"},
        {Archive("FR01", 90, "FZ", 0x01020304), false, "Unsupported compression method in dream file: 16909060\n"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        TestUtil::ClearLog(ErrorLog.FileName());
        WriteFile(DiskPath, c.bytes);
        EXPECT_EQ(UnpackDream(Path), c.accepted);
        EXPECT_EQ(Log(), c.message);
        EXPECT_EQ(ReadFile(DiskPath), c.bytes);
    }
    TestUtil::ClearLog(ErrorLog.FileName());
    EXPECT_FALSE(UnpackDream("hlcn_tmp\\none\\none.dream"));
    EXPECT_EQ(Log(), "Unable to begin decompression of file: hlcn_tmp\\none\\none.dream\n");
}

// A file server that closes the connection after some blocks (-1: never) and
// pauses before each block.
FileServerFaults Faults(int closeAfterBlocks, unsigned blockDelayMs = 0) {
    FileServerFaults faults;
    faults.closeAfterBlocks = closeAfterBlocks;
    faults.blockDelayMs = blockDelayMs;
    return faults;
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
        WriteFile("data/quilfile_ip.txt", "127.0.0.1 " + std::to_string(files.Port()) + "\n");
    }
    // Downloads `id` to the end and deletes the getter; true when it succeeded.
    bool Download(const std::string& id = "d1", unsigned stallSeconds = QUIL::FileGetter::StallSeconds) {
        auto* getter = new2(QUIL::FileGetter, QUIL::FileGetter(id, "hlcn_tmp\\" + id, stallSeconds));
        EXPECT_TRUE(WaitUntil(20, [&] { return getter->IsDone(); }));
        bool succeeded = getter->Succeeded();
        delete2(getter);
        return succeeded;
    }
};

TEST_F(FileGetterTest, DreamArrivesByteForByteAndTheRequestIsLoggedRedacted) {
    Listen();
    EXPECT_TRUE(Download());
    EXPECT_EQ(ReadFile("hlcn_tmp/d1/d1.dream"), dream);
    std::vector<std::string> lines{"RC Bob hunter2secret d1 0 2 4096", "PKOK 0", "PKOK 1", "PKOK 2", "BYE"};
    EXPECT_TRUE(WaitUntil(20, [&] { return files.ReceivedLines().size() >= lines.size(); }));
    EXPECT_EQ(files.ReceivedLines(), lines);
    std::vector<std::string> texts{"> File Server welcome received.  Requesting transfer...",
                                   "> Transfer request accepted.  Download beginning.", "> Download Complete."};
    EXPECT_EQ(TakeTexts(), texts);
    EXPECT_EQ(Log(), "");

    std::string netlog = ReadFile(NetLog.FileName());
    EXPECT_EQ(CountOf(netlog, "hunter2secret"), 0) << netlog;
    EXPECT_EQ(CountOf(netlog, "{SENT TO SERVER}RC (NAME/PASS REMOVED FOR SECURITY) d1 0 2 4096\n"), 1) << netlog;
}

// A failed download leaves no partial file. The protocol's other faults are
// the exchange's own tests.
TEST_F(FileGetterTest, MisbehavingServersFailWithoutPartialFileAndALateCloseStillCompletes) {
    const std::string stalled = "nothing came from the file server for 2 seconds";
    const struct {
        const char* id;
        FileServerFaults faults;
        unsigned stallSeconds;
        std::string message, text; // no message: the download succeeds
    } cases[] = {{"d1", Faults(1), 60, "warning: file download ended early: d1\n", "> CONNECTION SEVERED"},
                 {"nosuch", {}, 60, "Anomolous response recieved to RC request.\n", "> FAILED"},
                 // The last block and the hang-up at once: the blocks before the close complete it.
                 {"d1", Faults(3), 60, "", "> Download Complete."},
                 {"d1", Faults(-1, 60000), 2, "warning: file download stalled: d1: " + stalled + "\n",
                  "> DOWNLOAD STALLED: " + stalled}};
    Listen();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        files.SetFaults(c.faults);
        TestUtil::ClearLog(ErrorLog.FileName());
        std::filesystem::remove_all("hlcn_tmp");
        EXPECT_EQ(Download(c.id, c.stallSeconds), c.message.empty());
        EXPECT_EQ(TakeTexts().back(), c.text);
        const std::string id = c.id, file = "hlcn_tmp/" + id + "/" + id + ".dream";
        if (c.message.empty()) {
            EXPECT_EQ(ReadFile(file), dream);
            EXPECT_EQ(Log(), "");
            continue;
        }
        const std::string note =
            "Note: deleting incompletely transfered file \"hlcn_tmp\\" + id + "\\" + id + ".dream\"\n";
        EXPECT_EQ(CountOf(Log(), c.message + note), 1) << Log();
        EXPECT_FALSE(exists(file));
    }
}

TEST_F(FileGetterTest, DeletingARunningDownloadRemovesItsFile) {
    Listen(Faults(-1, 400));
    auto* getter = new2(QUIL::FileGetter, QUIL::FileGetter("d1", "hlcn_tmp\\d1"));
    int32_t received = 0, size = 0;
    ASSERT_TRUE(WaitUntil(20, [&] { return getter->GetProgress(received, size), received == 4086; }));
    EXPECT_FALSE(getter->IsDone());
    EXPECT_TRUE(exists("hlcn_tmp/d1/d1.dream"));
    delete2(getter);
    EXPECT_FALSE(exists("hlcn_tmp/d1/d1.dream"));
    EXPECT_EQ(Log(), "Note: deleting incompletely transfered file \"hlcn_tmp\\d1\\d1.dream\"\n");
}

TEST(DreamIds, PlainNamesPassAndEachUnsafeKindIsNamed) {
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        {"", {"d1", "Brisken-Dream_2", ".hidden", "with space"}},
        {"it is empty", {""}},
        {"it contains a path separator", {"a/b", "a\\b"}},
        {"it contains a drive letter", {"C:x"}},
        {"it contains a control character", {"a\x1F", "\x7F"}},
        {"it is a \".\" or \"..\" component", {". .", "..."}}};
    for (const auto& [reason, ids] : cases)
        for (const std::string& id : ids)
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
    EXPECT_FALSE(exists("hlcn_tmp"));
}

const std::string EmptyArchive = "FR01" + std::string(24, '\0');
// A 2 x 2 map: 4 x 4 grid cells, every layer zero.
const std::string SmallMap = "MAP V01.10 Quillmor\nheight=2\nwidth=2\nBODY\n" + std::string(24, '\0');
const char* const FailureText =
    ">  Error loading dream... sequence aborted.  (note: encrypted dreams not supported yet)";

class TransferTest : public FileGetterTest {
  protected:
    std::vector<std::string> questions;

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
    // The player answers yes to every question that is up, as the game scene lets them.
    void AnswerQuestions() {
        while (const GameQuestion* question = TheGameDialog.Current()) {
            questions.push_back(question->caption + (question->yesNo ? " (yes/no): " : ": ") + question->text);
            TheGameDialog.Answer(true);
        }
    }
    // What the game server has received within a short wait, the questions answered first.
    std::string GameServerGot() {
        AnswerQuestions();
        std::string got;
        WaitUntil(0.1, [&] { return got += NetTest::Drain(*peer), false; });
        return got;
    }
};

// The protocol's dream line and the player's answers end to end are the
// end-to-end test's part.
TEST_F(TransferTest, TwoFinishedDownloadsTakeTwoFramesNewestFirst) {
    Prepare("older", EmptyArchive, SmallMap);
    Prepare("newer", EmptyArchive, ""); // no default.map: fails, asked, answered yes
    StartDreamDownload("older", TransferDream, "hlcn_tmp\\older");
    StartDreamDownload("newer", TransferDream, "hlcn_tmp\\newer");
    // Both downloads end; a frame finishes one.
    ASSERT_TRUE(WaitUntil(20, [] {
        return std::all_of(TheTransferList.begin(), TheTransferList.end(),
                           [](const TransferRecord& r) { return !r.getter || r.getter->IsDone(); });
    }));
    ProcessFinishedDownloads();
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
    EXPECT_FALSE(exists("hlcn_tmp"));
    EXPECT_EQ(files.ServedConnections(), 0);
    EXPECT_EQ(CountOf(Log(), "Error: Refused to download dream \""), 4);
}

// Beyond the running limit, and for a name already downloading (in any
// case), a dream line is a failed download at once: answered, not queued.
TEST_F(TransferTest, SurplusDownloadsFailAtOnceAndAreAnswered) {
    files.SetFaults(Faults(-1, 60000));
    for (const char* id : {"a", "b", "A", "c", "d", "e"}) {
        Prepare(id, EmptyArchive, SmallMap);
        StartDreamDownload(id, TransferDream, std::string("hlcn_tmp\\") + id);
    }
    std::string running;
    for (const TransferRecord& record : TheTransferList)
        if (record.getter) running += record.id;
    EXPECT_EQ(running, "dcba");
    std::string log = Log();
    EXPECT_NE(log.find("Error: Refused to download dream \"A\": it is already being downloaded.\n"), std::string::npos);
    EXPECT_NE(log.find("Error: Refused to download dream \"e\": 4 downloads are already running.\n"),
              std::string::npos);
    for (int frame = 0; frame < 3; ++frame) // the running ones are not finished
        ProcessFinishedDownloads();
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
    EXPECT_EQ(Log().find("Attempt to end a transfer that doesn't exist.\n  -transfer type: upload portrait\n"
                         "  -transfer ID: d1\n  -call stack:\n"),
              0u)
        << Log();
}

} // namespace
