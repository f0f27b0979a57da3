#include <gtest/gtest.h>

#include "DreamArchive.h"
#include "LogFile.h"
#include "TestUtil.h"

#include <cstdint>
#include <string>

namespace {

const std::string Path = "hlcn_tmp\\d1\\d1.dream";
const std::string DiskPath = "hlcn_tmp/d1/d1.dream";

// An archive header followed, when asked, by a first entry header whose
// compression method is `method`; `length` cuts or pads the result.
std::string Archive(const std::string& magic, size_t length, const std::string& entryMagic = "FZ",
                    int32_t method = 0) {
    std::string bytes = magic + std::string(24, '\x11');
    std::string entry = entryMagic + std::string(56, '\x22');
    uint32_t m = static_cast<uint32_t>(method);
    for (int i = 0; i < 4; ++i) entry += static_cast<char>((m >> (8 * i)) & 0xFF);
    bytes += entry;
    bytes.resize(length, '\x33');
    return bytes;
}

class DreamArchiveTest : public ::testing::Test {
protected:
    TestUtil::ScopedFolder folder{"dream_archive"};
    void SetUp() override { TestUtil::ClearLog(ErrorLog.FileName()); }
    std::string Log() { return TestUtil::ReadFile(ErrorLog.FileName()); }
    bool Unpack(const std::string& bytes) {
        TestUtil::WriteFile(DiskPath, bytes);
        return UnpackDream(Path);
    }
};

TEST_F(DreamArchiveTest, EmptyOrMissingFileCannotBegin) {
    EXPECT_FALSE(Unpack(""));
    EXPECT_EQ(Log(), "Unable to begin decompression of file: " + Path + "\n");
    TestUtil::ClearLog(ErrorLog.FileName());
    EXPECT_FALSE(UnpackDream("hlcn_tmp\\none\\none.dream"));
    EXPECT_EQ(Log(), "Unable to begin decompression of file: hlcn_tmp\\none\\none.dream\n");
}

TEST_F(DreamArchiveTest, HeaderMagicMustBeFR01) {
    EXPECT_FALSE(Unpack("FR0"));
    EXPECT_FALSE(Unpack(Archive("FR02", 28)));
    EXPECT_FALSE(Unpack(Archive("fr01", 28)));
    std::string message = "Error decompressing dream file (" + Path + "): dream header ID is invalid.\n";
    EXPECT_EQ(Log(), message + message + message);
}

TEST_F(DreamArchiveTest, ArchiveWithoutEntryIsAccepted) {
    EXPECT_TRUE(Unpack("FR01"));
    EXPECT_TRUE(Unpack(Archive("FR01", 28)));
    EXPECT_EQ(Log(), "");
}

TEST_F(DreamArchiveTest, ShortOrMisnamedEntryHeaderIsRefused) {
    EXPECT_FALSE(Unpack(Archive("FR01", 29)));
    EXPECT_FALSE(Unpack(Archive("FR01", 89)));           // one byte short of the method's end
    EXPECT_FALSE(Unpack(Archive("FR01", 90, "FY", 8)));  // full length, wrong entry magic
    std::string message = "Error in file entry header, in dream file: " + Path + "\n";
    EXPECT_EQ(Log(), message + message + message);
}

TEST_F(DreamArchiveTest, EveryEntryIsAnUnsupportedMethod) {
    EXPECT_FALSE(Unpack(Archive("FR01", 90, "FZ", 8)));
    EXPECT_FALSE(Unpack(Archive("FR01", 500, "FZ", -3)));
    EXPECT_FALSE(Unpack(Archive("FR01", 90, "FZ", 0x01020304)));
    EXPECT_EQ(Log(),
              "Unsupported compression method in dream file: 8\n"
              "Unsupported compression method in dream file: -3\n"
              "Unsupported compression method in dream file: 16909060\n");
}

TEST_F(DreamArchiveTest, RefusedArchiveStaysOnDisk) {
    std::string bytes = Archive("FR01", 90, "FZ", 8);
    EXPECT_FALSE(Unpack(bytes));
    EXPECT_EQ(TestUtil::ReadFile(DiskPath), bytes);
}

}  // namespace
