// Dream downloads over loopback: QuilFileGetter against the file server tool,
// which can be told to misbehave.
#include <gtest/gtest.h>

#include "CMemMan.h"
#include "FileServer.h"
#include "LogFile.h"
#include "QuilDataManager.h"
#include "QuilFileGetter.h"
#include "TestUtil.h"
#include "platform/PlatformSystem.h"

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

using TestUtil::CountOf;
using TestUtil::ReadFile;

namespace {

// Polls until `done` holds; the bound only keeps a broken build from hanging.
bool WaitFor(const std::function<bool()>& done, int milliseconds = 20000) {
    for (int waited = 0; waited < milliseconds; waited += 5) {
        if (done()) return true;
        Platform::SleepMilliseconds(5);
    }
    return done();
}

std::string Pattern(size_t length) {
    std::string bytes(length, '\0');
    for (size_t i = 0; i < length; ++i) bytes[i] = static_cast<char>((i * 13 + i / 4086) & 0xFF);
    return bytes;
}

std::vector<std::string> TakeTexts() {
    std::vector<std::string> texts;
    for (std::string text; TakeText(text);) texts.push_back(text);
    return texts;
}

bool Exists(const std::string& path) { return std::filesystem::exists(path); }

class FileGetterTest : public ::testing::Test {
protected:
    TestUtil::ScopedFolder folder{"filegetter"};
    FileServer server{"served"};
    std::string dream = Pattern(10000);

    void SetUp() override {
        TestUtil::ClearLog(ErrorLog.FileName());
        TestUtil::ClearLog(NetLog.FileName());
        TheTextQueue.Clear();
        ThePlayerRecord.Name = "Bob";
        ThePlayerRecord.Password = "hunter2secret";
        TestUtil::WriteFile("served/d1.dream", dream);
    }
    void Listen(const FileServerFaults& faults = {}) {
        server.SetFaults(faults);
        ASSERT_TRUE(server.Start(0));
        TestUtil::WriteFile("data/quilfile_ip.txt", "127.0.0.1 " + std::to_string(server.Port()) + "\n");
    }
    // Downloads d1 to the end and deletes the getter; true when it succeeded.
    bool Download(const std::string& id = "d1") {
        QUIL::FileGetter* getter = new2(QUIL::FileGetter, QUIL::FileGetter(id, "hlcn_tmp\\" + id));
        EXPECT_TRUE(WaitFor([&] { return getter->IsDone(); }));
        bool succeeded = getter->Succeeded();
        delete2(getter);
        return succeeded;
    }
    std::string Log() { return ReadFile(ErrorLog.FileName()); }
};

TEST_F(FileGetterTest, DreamArrivesByteForByte) {
    Listen();
    EXPECT_TRUE(Download());
    EXPECT_EQ(ReadFile("hlcn_tmp/d1/d1.dream"), dream);
    std::vector<std::string> lines{"RC Bob hunter2secret d1 0 2 4096", "PKOK 0", "PKOK 1", "PKOK 2", "BYE"};
    EXPECT_TRUE(WaitFor([&] { return server.ReceivedLines().size() >= lines.size(); }));
    EXPECT_EQ(server.ReceivedLines(), lines);
    std::vector<std::string> texts{"> File Server welcome received.  Requesting transfer...",
                                   "> Transfer request accepted.  Download beginning.", "> Download Complete."};
    EXPECT_EQ(TakeTexts(), texts);
    EXPECT_EQ(Log(), "");
}

TEST_F(FileGetterTest, RequestIsLoggedWithoutNameOrPassword) {
    Listen();
    EXPECT_TRUE(Download());
    std::string netlog = ReadFile(NetLog.FileName());
    EXPECT_EQ(CountOf(netlog, "hunter2secret"), 0) << netlog;
    EXPECT_EQ(CountOf(netlog, "RC Bob"), 0);
    EXPECT_EQ(CountOf(netlog, "{SENT TO SERVER}RC (NAME/PASS REMOVED FOR SECURITY) d1 0 2 4096\n"), 1) << netlog;
    EXPECT_EQ(CountOf(netlog, "{SENT TO SERVER}PKOK 2\n"), 1);
}

TEST_F(FileGetterTest, LocalCopyOfTheSameSizeIsKept) {
    Listen();
    std::string local(dream.size(), 'L');
    TestUtil::WriteFile("hlcn_tmp/d1/d1.dream", local);
    QUIL::FileGetter* getter = new2(QUIL::FileGetter, QUIL::FileGetter("d1", "hlcn_tmp\\d1"));
    ASSERT_TRUE(WaitFor([&] { return getter->IsDone(); }));
    EXPECT_TRUE(getter->Succeeded());
    int32_t received = 0, size = 0;
    getter->GetProgress(received, size);
    EXPECT_EQ(received, 10000);
    EXPECT_EQ(size, 10000);
    // The server goes on sending blocks; the getter answers none of them.
    Platform::SleepMilliseconds(150);
    delete2(getter);
    EXPECT_EQ(server.ReceivedLines(), std::vector<std::string>{"RC Bob hunter2secret d1 0 2 4096"});
    EXPECT_EQ(TakeTexts().back(), "> Already have file, cancelling download and using local copy.");
    EXPECT_EQ(ReadFile("hlcn_tmp/d1/d1.dream"), local);
}

TEST_F(FileGetterTest, MisbehavingServersFailWithoutPartialFile) {
    struct Case {
        const char* name;
        FileServerFaults faults;
        std::string message, text;
    };
    FileServerFaults outOfOrder, nonData, earlyClose, wrongWelcome, unknownReply;
    outOfOrder.outOfOrderBlock = 1;
    nonData.nonDataBlock = 1;
    earlyClose.closeAfterBlocks = 1;
    wrongWelcome.wrongWelcome = true;
    unknownReply.acceptLine = "44 10000 0\n";
    std::vector<Case> cases{
        {"out of order", outOfOrder,
         "Out of order data block received from file server... aborting. (I know, I should handle this better.... "
         "later!)\n",
         "> FAILED"},
        {"non-data", nonData, "Non-data block recieved while downloading file... aborting.\n", "> FAILED"},
        {"early close", earlyClose, "warning: file download ended early: d1\n", "> CONNECTION SEVERED"},
        {"welcome 10", wrongWelcome, "Anomolous message recieved in response to file server connect.\n", "> FAILED"},
        {"three-word accept", unknownReply, "Anomolous response recieved to RC request.\n", "> FAILED"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FileServer faulty("served");
        faulty.SetFaults(c.faults);
        ASSERT_TRUE(faulty.Start(0));
        TestUtil::WriteFile("data/quilfile_ip.txt", "127.0.0.1 " + std::to_string(faulty.Port()) + "\n");
        TestUtil::ClearLog(ErrorLog.FileName());
        TheTextQueue.Clear();
        EXPECT_FALSE(Download());
        EXPECT_EQ(CountOf(Log(), c.message), 1) << Log();
        EXPECT_EQ(TakeTexts().back(), c.text);
        EXPECT_EQ(CountOf(Log(), "Note: deleting incompletely transfered file \"hlcn_tmp\\d1\\d1.dream\"\n"), 1);
        EXPECT_FALSE(Exists("hlcn_tmp/d1/d1.dream"));
    }
}

TEST_F(FileGetterTest, DeletingARunningDownloadRemovesItsFile) {
    FileServerFaults slow;
    slow.blockDelayMs = 400;
    Listen(slow);
    QUIL::FileGetter* getter = new2(QUIL::FileGetter, QUIL::FileGetter("d1", "hlcn_tmp\\d1"));
    ASSERT_TRUE(WaitFor([&] {
        int32_t received = 0, size = 0;
        getter->GetProgress(received, size);
        return received == 4086 && size == 10000;
    }));
    EXPECT_FALSE(getter->IsDone());
    EXPECT_TRUE(Exists("hlcn_tmp/d1/d1.dream"));
    delete2(getter);
    EXPECT_FALSE(Exists("hlcn_tmp/d1/d1.dream"));
    EXPECT_EQ(Log(), "Note: deleting incompletely transfered file \"hlcn_tmp\\d1\\d1.dream\"\n");
}

TEST_F(FileGetterTest, UnsafeIdsAreRefusedBeforeAnythingIsCreated) {
    Listen();
    for (const std::string& id : std::vector<std::string>{"", "..", "...", "a\\b", "..\\..\\evil", "x/y", "C:evil", std::string("a\nb"),
                           std::string("a\0b", 3), std::string("\x7F")}) {
        SCOPED_TRACE(id);
        TestUtil::ClearLog(ErrorLog.FileName());
        TheTextQueue.Clear();
        QUIL::FileGetter* getter = new2(QUIL::FileGetter, QUIL::FileGetter(id, "hlcn_tmp\\" + id));
        EXPECT_TRUE(getter->IsDone());
        EXPECT_FALSE(getter->Succeeded());
        delete2(getter);
        EXPECT_EQ(CountOf(Log(), "Error: Refused to download dream \""), 1) << Log();
        EXPECT_EQ(CountOf(Log(), "Note: deleting"), 0);
        EXPECT_EQ(TakeTexts(), std::vector<std::string>{"> FAILED"});
    }
    EXPECT_FALSE(Exists("hlcn_tmp"));
    EXPECT_EQ(server.ServedConnections(), 0);
}

TEST_F(FileGetterTest, UnknownDreamIsAnAnomalousReply) {
    Listen();
    EXPECT_FALSE(Download("nosuch"));
    EXPECT_EQ(CountOf(Log(), "Anomolous response recieved to RC request.\n"), 1);
    EXPECT_FALSE(Exists("hlcn_tmp/nosuch/nosuch.dream"));
}

TEST(DreamIds, PlainNamesPassAndEachUnsafeKindIsNamed) {
    for (const char* id : {"d1", "Brisken-Dream_2", "a.b", ".hidden", "with space"})
        EXPECT_EQ(UnsafeDreamIdReason(id), "") << id;
    EXPECT_EQ(UnsafeDreamIdReason(""), "it is empty");
    EXPECT_EQ(UnsafeDreamIdReason("a/b"), "it contains a path separator");
    EXPECT_EQ(UnsafeDreamIdReason("a\\b"), "it contains a path separator");
    EXPECT_EQ(UnsafeDreamIdReason("C:x"), "it contains a drive letter");
    EXPECT_EQ(UnsafeDreamIdReason("a\tb"), "it contains a control character");
    EXPECT_EQ(UnsafeDreamIdReason(". ."), "it is a \".\" or \"..\" component");
}

TEST_F(FileGetterTest, UnreachableServerFailsAtOnce) {
    // No address file at all.
    QUIL::FileGetter* getter = new2(QUIL::FileGetter, QUIL::FileGetter("d1", "hlcn_tmp\\d1"));
    EXPECT_TRUE(getter->IsDone());
    EXPECT_FALSE(getter->Succeeded());
    delete2(getter);
    std::string log = Log();
    EXPECT_EQ(CountOf(log, "Failed to load quil's file-server ip and port from \\data\\quilfile_ip.txt file.\n"), 1);
    EXPECT_EQ(CountOf(log, "Failed to connect to quil file server.\n"), 1);
    EXPECT_EQ(CountOf(log, "Note: deleting incompletely transfered file \"hlcn_tmp\\d1\\d1.dream\"\n"
                           "Failed to delete file \"hlcn_tmp\\d1\\d1.dream\"\n"),
              1)
        << log;
    EXPECT_FALSE(Exists("hlcn_tmp"));
}

}  // namespace
