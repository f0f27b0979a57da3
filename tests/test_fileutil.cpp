#include <gtest/gtest.h>

#include "FileUtil.h"
#include "TestUtil.h"

#include <filesystem>
#include <string>

namespace fs = std::filesystem;

class FileUtilTest : public ::testing::Test {
protected:
    TestUtil::ScopedFolder folder{::testing::UnitTest::GetInstance()->current_test_info()->name()};
};

TEST_F(FileUtilTest, PathsTextAndBits) {
    EXPECT_EQ(DirectoryOf("hlcn_tmp\\42\\42.dream"), "hlcn_tmp\\42\\");
    EXPECT_EQ(DirectoryOf("plain.txt"), "");
    EXPECT_EQ(FileNameOf("data\\items\\items.txt"), "items.txt");
    EXPECT_EQ(FileNameOf("items.txt"), "items.txt");
    EXPECT_EQ(ExtensionOf("model.v2.mbm"), "mbm");
    EXPECT_EQ(ExtensionOf("noext"), "");
    EXPECT_EQ(StripExtension("model.v2.mbm"), "model.v2");
    EXPECT_EQ(StripExtension("noext"), "noext");
    EXPECT_EQ(StripExtension(".hidden"), "");
    EXPECT_EQ(ToLower("Data\\ITEMS.Txt@[\xC4"), "data\\items.txt@[\xC4");
    EXPECT_TRUE(IsPrintable(' '));
    EXPECT_TRUE(IsPrintable('~'));
    EXPECT_FALSE(IsPrintable(127));
    EXPECT_FALSE(IsPrintable('\x1f'));
    EXPECT_FALSE(IsPrintable(static_cast<char>(200)));
    EXPECT_EQ(BitCount(0xFF00FF01u), 17u);
    EXPECT_EQ(HighestBit(1), 0);
    EXPECT_EQ(HighestBit(0x80000000u), 31);
    EXPECT_EQ(HighestBit(0), -1);
    const unsigned char le[] = {0xFE, 0xFF, 0xFF, 0xFF, 0x01, 0x02, 0x03, 0x04};
    EXPECT_EQ(ReadInt32(le), -2);
    EXPECT_EQ(ReadInt32(le + 4), 0x04030201);
}

TEST_F(FileUtilTest, SplitStringDropsEmptyPieces) {
    StringList out{"stale"};
    SplitString("a,,b,", out, ",");
    EXPECT_EQ(out, (StringList{"a", "b"}));
    SplitString(" \tx y\t\tz ", out, " \t");
    EXPECT_EQ(out, (StringList{"x", "y", "z"}));
    SplitString(",,,", out, ",");
    EXPECT_TRUE(out.empty());
}

TEST_F(FileUtilTest, ReadWholeFileLinesAndStringLists) {
    TestUtil::WriteFile("crlf.txt", "one\r\ntwo\r\n\r\nthree\rfour\r\n");
    StringList lines;
    ReadLines(lines, "crlf.txt");
    EXPECT_EQ(lines, (StringList{"one", "two", "three\rfour"}));

    // Text: each 2048-byte block, counted after the line ends are turned,
    // stops at its own first NUL. Binary keeps every byte.
    std::string text = std::string(10, 'a') + '\0' + std::string(2036, 'b') + "\r\nd" + '\0' + "e";
    TestUtil::WriteFile("zeros.bin", text);
    EXPECT_EQ(ReadWholeFile("zeros.bin", false), std::string(10, 'a') + "d");
    EXPECT_EQ(ReadWholeFile("zeros.bin", true), text);

    std::string contents = "stale";
    EXPECT_FALSE(ReadWholeFile("missing.txt", true, contents));
    EXPECT_EQ(contents, "");
    TestUtil::WriteFile("empty.txt", "");
    EXPECT_TRUE(ReadWholeFile("empty.txt", true, contents));
    // A bound refuses a longer file whole.
    EXPECT_TRUE(ReadWholeFile("zeros.bin", true, contents, text.size()));
    EXPECT_FALSE(ReadWholeFile("zeros.bin", true, contents, text.size() - 1));
    EXPECT_EQ(contents, "");
    lines = {"stale"};
    ReadLines(lines, "missing.txt");
    EXPECT_TRUE(lines.empty());
    EXPECT_EQ(FileLength("zeros.bin"), text.size());
    EXPECT_EQ(FileLength("missing.txt"), 0u);
    // A string list stops at its first empty line.
    TestUtil::WriteFile("layers.t3d", "a.png\r\nb.png\r\n\r\nnot read.png\r\n");
    StringList list{"kept"};
    EXPECT_TRUE(ReadStringList(list, "layers.t3d"));
    EXPECT_EQ(list, (StringList{"kept", "a.png", "b.png"}));
    EXPECT_EQ(TestUtil::ReadFile("_error.txt"), "");
    EXPECT_FALSE(ReadStringList(list, "data\\none.t3d"));
    EXPECT_EQ(TestUtil::ReadFile("_error.txt"), "Failed to open string list: data\\none.t3d\n");
}

TEST_F(FileUtilTest, ServerAddressFileNeedsAHostAndAPort) {
    const struct {
        const char* contents;
        bool read;
        const char* host;
        int port;
    } cases[] = {{"quil.example 6500", true, "quil.example", 6500},
                 {"\r\n  127.0.0.1\t\t22\r\nextra words\n", true, "127.0.0.1", 22},
                 {"onlyahost\n", false, "kept", 1},
                 {"host -5", false, "kept", 1},
                 {"host 65x", false, "kept", 1},
                 {"host 123456", false, "kept", 1},
                 {nullptr, false, "kept", 1}};  // no file
    for (const auto& c : cases) {
        const char* file = c.contents ? "address.txt" : "missing.txt";
        if (c.contents) TestUtil::WriteFile(file, c.contents);
        std::string host = "kept";
        int port = 1;
        EXPECT_EQ(ReadServerAddress(file, host, port), c.read) << c.contents;
        EXPECT_EQ(host, c.host);
        EXPECT_EQ(port, c.port);
    }
}

TEST_F(FileUtilTest, BackslashPathsIgnoreCaseWhereTheFileSystemDoesNot) {
    MakeDirectories("gen\\data\\items\\model.bmbm");  // every folder before a backslash
    EXPECT_TRUE(fs::is_directory("gen/data/items"));
    EXPECT_FALSE(fs::exists("gen/data/items/model.bmbm"));
    TestUtil::WriteFile("Patches/Default/Floors.FSH", "shapes");
    EXPECT_EQ(ReadWholeFile("patches\\default\\floors.fsh", true), "shapes");
    EXPECT_EQ(FileLength("PATCHES\\DEFAULT\\FLOORS.FSH"), 6u);
    // A new file in an existing folder lands in that folder, named as written.
    FILE* f = OpenFile("patches\\default\\New.txt", "wb");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    EXPECT_TRUE(fs::exists("Patches/Default/New.txt"));
    MakeDirectories("PATCHES\\extra\\");
    EXPECT_TRUE(fs::is_directory("Patches/extra"));
    EXPECT_TRUE(DeleteFile("patches\\DEFAULT\\new.TXT"));
    EXPECT_FALSE(fs::exists("Patches/Default/New.txt"));
    EXPECT_FALSE(DeleteFile("patches\\default\\new.txt"));
    EXPECT_EQ(OpenFile("nowhere\\at\\all.txt", "rb"), nullptr);
}

TEST_F(FileUtilTest, ReadBoundedLineCutsLongLines) {
    TestUtil::WriteFile("long.txt", std::string(100, 'x') + "\r\nshort\n\nend\r\n");
    for (bool keep : {false, true}) {
        FILE* f = OpenFile("long.txt", "rb");
        ASSERT_NE(f, nullptr);
        std::string line;
        for (std::string expected : {"xxxxxxxxxx", "short", "", "end\r"}) {
            if (!keep && expected.back() == '\r') expected.pop_back();
            ASSERT_TRUE(ReadBoundedLine(f, line, 10, keep));
            EXPECT_EQ(line, expected);
        }
        EXPECT_FALSE(ReadBoundedLine(f, line, 10, keep));
        std::fclose(f);
    }
}
