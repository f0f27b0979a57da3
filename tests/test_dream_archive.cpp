#include <gtest/gtest.h>

#include "DreamArchive.h"
#include "LogFile.h"
#include "TestUtil.h"

#include <cstdint>
#include <string>

namespace {

const std::string Path = "hlcn_tmp\\d1\\d1.dream";
const std::string DiskPath = "hlcn_tmp/d1/d1.dream";

// An archive header followed by a first entry header whose compression
// method is `method`; `length` cuts or pads the result.
std::string Archive(const std::string& magic, size_t length, const std::string& entryMagic = "FZ",
                    int32_t method = 0) {
    std::string bytes = magic + std::string(24, '\x11') + entryMagic + std::string(56, '\x22');
    for (int i = 0; i < 4; ++i) bytes += static_cast<char>((static_cast<uint32_t>(method) >> (8 * i)) & 0xFF);
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
        {Archive("FR02", 28), false, badHeader},
        {Archive("fr01", 28), false, badHeader},
        {"FR01", true, ""},  // no entry at all
        {Archive("FR01", 28), true, ""},
        {Archive("FR01", 29), false, badEntry},
        {Archive("FR01", 89), false, badEntry},  // one byte short of the method's end
        {Archive("FR01", 90, "FY", 8), false, badEntry},
        {Archive("FR01", 90, "FZ", 8), false, "Unsupported compression method in dream file: 8\n"},
        {Archive("FR01", 500, "FZ", -3), false, "Unsupported compression method in dream file: -3\n"},
        {Archive("FR01", 90, "FZ", 0x01020304), false, "Unsupported compression method in dream file: 16909060\n"},
    };
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
    EXPECT_EQ(TestUtil::ReadFile(ErrorLog.FileName()), "Unable to begin decompression of file: hlcn_tmp\\none\\none.dream\n");
}

}  // namespace
