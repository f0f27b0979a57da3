// Dream downloads over loopback: QuilFileGetter against the file server tool,
// which can be told to misbehave.
#include <gtest/gtest.h>

#include "CMemMan.h"
#include "FileServer.h"
#include "LogFile.h"
#include "NetTestFixture.h"
#include "QuilDataManager.h"
#include "QuilFileGetter.h"
#include "TestUtil.h"
#include "platform/PlatformSystem.h"

#include <filesystem>
#include <string>
#include <vector>

using NetTest::TakeTexts;
using NetTest::WaitFor;
using TestUtil::CountOf;
using TestUtil::ReadFile;

namespace {

// A server with one fault.
template <class T>
FileServerFaults Fault(T FileServerFaults::*member, T value) {
    FileServerFaults faults;
    faults.*member = value;
    return faults;
}

bool Exists(const std::string& path) { return std::filesystem::exists(path); }

int32_t Received(QUIL::FileGetter& getter) {
    int32_t received = 0, size = 0;
    getter.GetProgress(received, size);
    return size == 10000 ? received : -1;
}

class FileGetterTest : public ::testing::Test {
protected:
    TestUtil::ScopedFolder folder{"filegetter"};
    FileServer server{"served"};
    std::string dream = NetTest::Pattern(10000);

    void SetUp() override {
        TestUtil::ClearLog(ErrorLog.FileName());
        TestUtil::ClearLog(NetLog.FileName());
        TheTextQueue.Clear();
        ThePlayerRecord.Name = "Bob";
        ThePlayerRecord.Password = "hunter2secret";
        TestUtil::WriteFile("served/d1.dream", dream);
    }
    void Listen(FileServer& files, const FileServerFaults& faults = {}) {
        files.SetFaults(faults);
        ASSERT_TRUE(files.Start(0));
        NetTest::UseFileServer(files.Port());
    }
    QUIL::FileGetter* Start(const std::string& id = "d1", unsigned stallSeconds = QUIL::FileGetter::StallSeconds) {
        return new2(QUIL::FileGetter, QUIL::FileGetter(id, "hlcn_tmp\\" + id, stallSeconds));
    }
    // Downloads `id` to the end and deletes the getter; true when it succeeded.
    bool Download(const std::string& id = "d1") {
        QUIL::FileGetter* getter = Start(id);
        EXPECT_TRUE(WaitFor([&] { return getter->IsDone(); }));
        bool succeeded = getter->Succeeded();
        delete2(getter);
        return succeeded;
    }
    std::string Log() { return ReadFile(ErrorLog.FileName()); }
};

TEST_F(FileGetterTest, DreamArrivesByteForByteAndTheRequestIsLoggedRedacted) {
    Listen(server);
    EXPECT_TRUE(Download());
    EXPECT_EQ(ReadFile("hlcn_tmp/d1/d1.dream"), dream);
    std::vector<std::string> lines{"RC Bob hunter2secret d1 0 2 4096", "PKOK 0", "PKOK 1", "PKOK 2", "BYE"};
    EXPECT_TRUE(WaitFor([&] { return server.ReceivedLines().size() >= lines.size(); }));
    EXPECT_EQ(server.ReceivedLines(), lines);
    std::vector<std::string> texts{"> File Server welcome received.  Requesting transfer...",
                                   "> Transfer request accepted.  Download beginning.", "> Download Complete."};
    EXPECT_EQ(TakeTexts(), texts);
    EXPECT_EQ(Log(), "");

    std::string netlog = ReadFile(NetLog.FileName());
    EXPECT_EQ(CountOf(netlog, "hunter2secret"), 0) << netlog;
    EXPECT_EQ(CountOf(netlog, "RC Bob"), 0);
    EXPECT_EQ(CountOf(netlog, "{SENT TO SERVER}RC (NAME/PASS REMOVED FOR SECURITY) d1 0 2 4096\n"), 1) << netlog;
}

TEST_F(FileGetterTest, LocalCopyOfTheSameSizeIsKept) {
    Listen(server);
    std::string local(dream.size(), 'L');
    TestUtil::WriteFile("hlcn_tmp/d1/d1.dream", local);
    QUIL::FileGetter* getter = Start();
    ASSERT_TRUE(WaitFor([&] { return getter->IsDone(); }));
    EXPECT_TRUE(getter->Succeeded());
    EXPECT_EQ(Received(*getter), 10000);
    // The server goes on sending blocks; the getter answers none of them.
    Platform::SleepMilliseconds(150);
    delete2(getter);
    EXPECT_EQ(server.ReceivedLines(), std::vector<std::string>{"RC Bob hunter2secret d1 0 2 4096"});
    EXPECT_EQ(TakeTexts().back(), "> Already have file, cancelling download and using local copy.");
    EXPECT_EQ(ReadFile("hlcn_tmp/d1/d1.dream"), local);
}

TEST_F(FileGetterTest, MisbehavingServersFailWithoutPartialFile) {
    struct Case {
        const char* id;
        FileServerFaults faults;
        std::string message, text;
    };
    const std::string anomalousReply = "Anomolous response recieved to RC request.\n";
    std::vector<Case> cases{
        {"d1", Fault(&FileServerFaults::outOfOrderBlock, 1),
         "Out of order data block received from file server... aborting. (I know, I should handle this better.... "
         "later!)\n",
         "> FAILED"},
        {"d1", Fault(&FileServerFaults::nonDataBlock, 1), "Non-data block recieved while downloading file... aborting.\n", "> FAILED"},
        {"d1", Fault(&FileServerFaults::closeAfterBlocks, 1), "warning: file download ended early: d1\n", "> CONNECTION SEVERED"},
        {"d1", Fault(&FileServerFaults::wrongWelcome, true), "Anomolous message recieved in response to file server connect.\n", "> FAILED"},
        {"d1", Fault(&FileServerFaults::acceptLine, std::string("44 10000 0\n")), anomalousReply, "> FAILED"},
        {"nosuch", {}, anomalousReply, "> FAILED"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        FileServer faulty("served");
        Listen(faulty, c.faults);
        TestUtil::ClearLog(ErrorLog.FileName());
        TheTextQueue.Clear();
        EXPECT_FALSE(Download(c.id));
        EXPECT_EQ(CountOf(Log(), c.message), 1) << Log();
        EXPECT_EQ(TakeTexts().back(), c.text);
        const std::string id = c.id;
        EXPECT_EQ(CountOf(Log(), "Note: deleting incompletely transfered file \"hlcn_tmp\\" + id + "\\" + id + ".dream\"\n"), 1);
        EXPECT_FALSE(Exists("hlcn_tmp/" + id + "/" + id + ".dream"));
    }
}

// A server that sends its last block and hangs up at once: the blocks that
// came before the close complete the download.
TEST_F(FileGetterTest, ServerHangingUpAfterTheLastBlockStillCompletes) {
    Listen(server, Fault(&FileServerFaults::closeAfterBlocks, 3));
    EXPECT_TRUE(Download());
    EXPECT_EQ(ReadFile("hlcn_tmp/d1/d1.dream"), dream);
    EXPECT_EQ(TakeTexts().back(), "> Download Complete.");
    EXPECT_EQ(Log(), "");
}

TEST_F(FileGetterTest, DownloadWithNothingComingForTheStallLimitFails) {
    Listen(server, Fault(&FileServerFaults::blockDelayMs, 60000u));
    QUIL::FileGetter* getter = Start("d1", 2);
    ASSERT_TRUE(WaitFor([&] { return getter->IsDone(); }));
    EXPECT_FALSE(getter->Succeeded());
    delete2(getter);
    EXPECT_EQ(TakeTexts().back(), "> DOWNLOAD STALLED: nothing came from the file server for 2 seconds");
    EXPECT_EQ(CountOf(Log(), "warning: file download stalled: d1: nothing came from the file server for 2 seconds\n"), 1)
        << Log();
    EXPECT_FALSE(Exists("hlcn_tmp/d1/d1.dream"));
}

TEST_F(FileGetterTest, DeletingARunningDownloadRemovesItsFile) {
    Listen(server, Fault(&FileServerFaults::blockDelayMs, 400u));
    QUIL::FileGetter* getter = Start();
    ASSERT_TRUE(WaitFor([&] { return Received(*getter) == 4086; }));
    EXPECT_FALSE(getter->IsDone());
    EXPECT_TRUE(Exists("hlcn_tmp/d1/d1.dream"));
    delete2(getter);
    EXPECT_FALSE(Exists("hlcn_tmp/d1/d1.dream"));
    EXPECT_EQ(Log(), "Note: deleting incompletely transfered file \"hlcn_tmp\\d1\\d1.dream\"\n");
}

TEST_F(FileGetterTest, UnsafeIdsAreRefusedBeforeAnythingIsCreated) {
    Listen(server);
    using namespace std::string_literals;
    for (const std::string& id : {""s, ".."s, "..."s, "a\\b"s, "..\\..\\evil"s, "x/y"s, "C:evil"s, "a\nb"s, "a\0b"s, "\x7F"s}) {
        SCOPED_TRACE(id);
        TestUtil::ClearLog(ErrorLog.FileName());
        TheTextQueue.Clear();
        QUIL::FileGetter* getter = Start(id);
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

TEST(DreamIds, PlainNamesPassAndEachUnsafeKindIsNamed) {
    const std::pair<const char*, const char*> cases[] = {
        {"d1", ""}, {"Brisken-Dream_2", ""}, {"a.b", ""}, {".hidden", ""}, {"with space", ""},
        {"", "it is empty"}, {"a/b", "it contains a path separator"}, {"a\\b", "it contains a path separator"},
        {"C:x", "it contains a drive letter"}, {"a\tb", "it contains a control character"},
        {". .", "it is a \".\" or \"..\" component"},
    };
    for (const auto& [id, reason] : cases) EXPECT_EQ(UnsafeDreamIdReason(id), reason) << id;
}

TEST_F(FileGetterTest, UnreachableServerFailsAtOnce) {
    QUIL::FileGetter* getter = Start();  // no address file at all
    ASSERT_TRUE(WaitFor([&] { return getter->IsDone(); }));
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
