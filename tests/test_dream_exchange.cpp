// A downloaded dream: the getter's exchange fed directly, byte for byte, as a
// file server (or a broken one) would send it, and the archive's checks.
#include <gtest/gtest.h>

#include "DreamArchive.h"
#include "FileGetterExchange.h"
#include "LogFile.h"
#include "NetTestFixture.h"
#include "TestUtil.h"

#include <cstdint>
#include <string>
#include <vector>

using TestUtil::ReadFile;

namespace {

const std::string Request = "RC Bob secret d1 0 2 4096\n";
const std::string Path = "hlcn_tmp\\d1\\d1.dream";
const std::string DiskPath = "hlcn_tmp/d1/d1.dream";
const std::string Accepted = "44 10000 0 4096\n";

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
    std::string Log() { return ReadFile(ErrorLog.FileName()); }
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
        EXPECT_TRUE(fresh.IsDone());
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
    EXPECT_EQ(exchange.State(), AwaitReply);
    FeedAndStep(Accepted);
    EXPECT_EQ(exchange.State(), Receiving);
    std::string dream = NetTest::Pattern(10000);
    // All three blocks at once: one block per step.
    FeedAndStep(Block(0, dream.substr(0, 4086)) + Block(1, dream.substr(4086, 4086)) + Block(2, dream.substr(8172)));
    EXPECT_EQ(Progress(), "4086/10000");
    EXPECT_EQ(link.sent.back(), "PKOK 0\n");
    exchange.Step(link);
    exchange.Step(link);
    EXPECT_EQ(exchange.State(), Complete);
    EXPECT_EQ(Progress(), "10000/10000"); // the last block wrote 1828 bytes
    EXPECT_EQ(link.sent, (std::vector<std::string>{Request, "PKOK 0\n", "PKOK 1\n", "PKOK 2\n", "BYE\n"}));
    EXPECT_EQ(ReadFile(DiskPath), dream); // readable in full while the exchange still exists
    EXPECT_EQ(Log(), "");
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
    TestUtil::WriteFile(DiskPath, NetTest::Pattern(10000));
    Accept();
    EXPECT_EQ(exchange.State(), Complete);
    EXPECT_EQ(link.told.back(), "> Already have file, cancelling download and using local copy.");
    EXPECT_EQ(Progress(), "10000/10000");
    FeedAndStep(Block(0, "late")); // the server goes on sending; nothing is answered or written
    EXPECT_EQ(link.sent.size(), 1u);
    EXPECT_EQ(ReadFile(DiskPath), NetTest::Pattern(10000));
}

TEST_F(ExchangeTest, EmptyDreamWithoutLocalFileIsComplete) {
    Accept("44 0 x 4096\n");
    EXPECT_EQ(exchange.State(), Complete);
    EXPECT_EQ(link.told.back(), "> Already have file, cancelling download and using local copy.");
    EXPECT_EQ(ReadFile(DiskPath), "");
}

// Any other local file: the empty dream replaces it at once, no block awaited.
TEST_F(ExchangeTest, EmptyDreamNeedsNoBlock) {
    TestUtil::WriteFile(DiskPath, "an older dream");
    Accept("44 0 0 4096\n");
    EXPECT_EQ(exchange.State(), Complete);
    EXPECT_EQ(link.sent, (std::vector<std::string>{Request, "BYE\n"}));
    EXPECT_EQ(link.told.back(), "> Download Complete.");
    EXPECT_EQ(ReadFile(DiskPath), "");
}

TEST(FileRequest, NameAndPasswordAreKeptOutOfTheLog) {
    EXPECT_EQ(FileRequestLine("Ann", "pw", "mydream"), "RC Ann pw mydream 0 2 4096\n");
    const std::pair<const char*, const char*> cases[] = {
        {"RC Ann pw mydream 0 2 4096\n", "RC (NAME/PASS REMOVED FOR SECURITY) mydream 0 2 4096\n"},
        // A name or password with spaces is removed whole: only the last four words stay.
        {"RC Ann Lee pass word dream 0 2 4096\n", "RC (NAME/PASS REMOVED FOR SECURITY) dream 0 2 4096\n"},
        {"RC short line\n", "RC (NAME/PASS REMOVED FOR SECURITY)\n"},
        {"PKOK 0\nRC a b c 0 2 4096\nBYE\n", "PKOK 0\nRC (NAME/PASS REMOVED FOR SECURITY) c 0 2 4096\nBYE\n"}};
    for (const auto& [text, logged] : cases)
        EXPECT_EQ(HideRequestSecrets(text), logged);
}

TEST_F(ExchangeTest, UnwritableFileFailsWithItsMessage) {
    TestUtil::WriteFile("hlcn_tmp/d1", "a file where the folder should be");
    Accept();
    EXPECT_EQ(exchange.State(), Failed);
    EXPECT_EQ(Log(), "Failed to open output file, to download dream into.\n");
}

TEST_F(ExchangeTest, LostConnectionFailsOnlyWhileRunning) {
    Accept();
    exchange.ConnectionLost(link);
    EXPECT_EQ(exchange.State(), Failed);
    EXPECT_EQ(link.told.back(), "> CONNECTION SEVERED");
    exchange.ConnectionLost(link);
    EXPECT_EQ(Log(), "warning: file download ended early: d1\n");
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
        {Archive("FR01", 29), false, badEntry},
        {Archive("FR01", 89), false, badEntry}, // one byte short of the method's end
        {Archive("FR01", 90, "FY", 8), false, badEntry},
        {Archive("FR01", 500, "FZ", -3), false, "Unsupported compression method in dream file: -3\n"},
        {Archive("FR01", 90, "FZ", 0x01020304), false, "Unsupported compression method in dream file: 16909060\n"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        TestUtil::ClearLog(ErrorLog.FileName());
        TestUtil::WriteFile(DiskPath, c.bytes);
        EXPECT_EQ(UnpackDream(Path), c.accepted);
        EXPECT_EQ(TestUtil::ReadFile(ErrorLog.FileName()), c.message);
        EXPECT_EQ(TestUtil::ReadFile(DiskPath), c.bytes);
    }
    TestUtil::ClearLog(ErrorLog.FileName());
    EXPECT_FALSE(UnpackDream("hlcn_tmp\\none\\none.dream"));
    EXPECT_EQ(TestUtil::ReadFile(ErrorLog.FileName()),
              "Unable to begin decompression of file: hlcn_tmp\\none\\none.dream\n");
}

} // namespace
