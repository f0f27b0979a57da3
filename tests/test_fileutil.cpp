#include <gtest/gtest.h>

#include "FileUtil.h"
#include "TestUtil.h"

#include <filesystem>
#include <string>

namespace fs = std::filesystem;

// Each case runs in a fresh folder of its own name.
class FileUtilTest : public ::testing::Test {
protected:
    TestUtil::ScopedFolder folder{::testing::UnitTest::GetInstance()->current_test_info()->name()};
};

TEST_F(FileUtilTest, PathsApart) {
    EXPECT_EQ(DirectoryOf("hlcn_tmp\\42\\42.dream"), "hlcn_tmp\\42\\");
    EXPECT_EQ(DirectoryOf("plain.txt"), "");
    EXPECT_EQ(FileNameOf("data\\items\\items.txt"), "items.txt");
    EXPECT_EQ(FileNameOf("items.txt"), "items.txt");
    EXPECT_EQ(FileNameOf("data\\"), "");
    EXPECT_EQ(ExtensionOf("model.v2.mbm"), "mbm");
    EXPECT_EQ(ExtensionOf("noext"), "");
    EXPECT_EQ(ExtensionOf("trailing."), "");
    EXPECT_EQ(StripExtension("model.v2.mbm"), "model.v2");
    EXPECT_EQ(StripExtension("noext"), "noext");
    EXPECT_EQ(StripExtension(".hidden"), "");
}

TEST_F(FileUtilTest, TextAndBits) {
    EXPECT_EQ(ToLower("Data\\ITEMS.Txt \xC4"), "data\\items.txt \xC4");
    EXPECT_TRUE(IsPrintable(' '));
    EXPECT_TRUE(IsPrintable('~'));
    EXPECT_FALSE(IsPrintable(127));
    EXPECT_FALSE(IsPrintable('\x1f'));
    EXPECT_FALSE(IsPrintable(static_cast<char>(200)));
    EXPECT_EQ(BitCount(0), 0u);
    EXPECT_EQ(BitCount(0xFF00FF01u), 17u);
    EXPECT_EQ(BitCount(0xFFFFFFFFu), 32u);
    EXPECT_EQ(HighestBit(1), 0);
    EXPECT_EQ(HighestBit(0x80000000u), 31);
    EXPECT_EQ(HighestBit(0x00F00001u), 23);
    EXPECT_EQ(HighestBit(0), -1);
}

TEST_F(FileUtilTest, SplitStringDropsEmptyPieces) {
    StringList out{"stale"};
    SplitString("a,,b,", out, ",");
    EXPECT_EQ(out, (StringList{"a", "b"}));
    SplitString(" \tx y\t\tz ", out, " \t");
    EXPECT_EQ(out, (StringList{"x", "y", "z"}));
    SplitString(",,,", out, ",");
    EXPECT_TRUE(out.empty());
    SplitString("whole", out, "");
    EXPECT_EQ(out, (StringList{"whole"}));
}

TEST_F(FileUtilTest, ReadWholeFileAndLines) {
    TestUtil::WriteFile("crlf.txt", "one\r\ntwo\r\n\r\nthree\rfour\r\n");
    StringList lines;
    ReadLines(lines, "crlf.txt");
    EXPECT_EQ(lines, (StringList{"one", "two", "three\rfour"}));
    EXPECT_EQ(ReadWholeFile("crlf.txt", true), "one\r\ntwo\r\n\r\nthree\rfour\r\n");
    EXPECT_EQ(ReadWholeFile("crlf.txt", false), "one\ntwo\n\nthree\rfour\n");

    // Each 2048-byte block counts up to its own first NUL.
    std::string bytes = std::string(10, 'a') + '\0' + std::string(2037, 'b') + "tail" + '\0' + "gone";
    TestUtil::WriteFile("zeros.bin", bytes);
    EXPECT_EQ(ReadWholeFile("zeros.bin", true), std::string(10, 'a') + "tail");
    // In text mode the blocks are counted after the line ends are turned.
    std::string text = std::string(2047, 'c') + "\r\nd" + '\0' + "e";
    TestUtil::WriteFile("zeros.txt", text);
    EXPECT_EQ(ReadWholeFile("zeros.txt", false), std::string(2047, 'c') + "\nd");

    EXPECT_EQ(ReadWholeFile("missing.txt", false), "");
    lines = {"stale"};
    ReadLines(lines, "missing.txt");
    EXPECT_TRUE(lines.empty());
    EXPECT_EQ(FileLength("zeros.bin"), bytes.size());
    EXPECT_EQ(FileLength("missing.txt"), 0u);
}

TEST_F(FileUtilTest, ReadStringListStopsAtTheFirstEmptyLine) {
    TestUtil::WriteFile("layers.t3d", "a.png\r\nb.png\r\n\r\nnot read.png\r\n");
    StringList list{"kept"};
    EXPECT_TRUE(ReadStringList(list, "layers.t3d"));
    EXPECT_EQ(list, (StringList{"kept", "a.png", "b.png"}));
    TestUtil::WriteFile("last.txt", "x\ny");
    EXPECT_TRUE(ReadStringList(list, "last.txt"));
    EXPECT_EQ(list.back(), "y");
    EXPECT_EQ(TestUtil::ReadFile("_error.txt"), "");

    EXPECT_FALSE(ReadStringList(list, "data\\none.t3d"));
    EXPECT_EQ(TestUtil::ReadFile("_error.txt"), "Failed to open string list: data\\none.t3d\n");
}

TEST_F(FileUtilTest, MakeDirectoriesCreatesEveryFolderBeforeABackslash) {
    MakeDirectories("gen\\data\\items\\model.bmbm");
    EXPECT_TRUE(fs::is_directory("gen/data/items"));
    EXPECT_FALSE(fs::exists("gen/data/items/model.bmbm"));
    MakeDirectories("hlcn_tmp\\42\\");
    MakeDirectories("hlcn_tmp\\42\\");  // existing folders are fine
    EXPECT_TRUE(fs::is_directory("hlcn_tmp/42"));
    MakeDirectories("nofolder.txt");
    EXPECT_FALSE(fs::exists("nofolder.txt"));
}

TEST_F(FileUtilTest, BackslashPathsIgnoreCaseWhereTheFileSystemDoesNot) {
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
    TestUtil::WriteFile("long.txt", std::string(100, 'x') + "\r\nshort\n\nend");
    FILE* f = OpenFile("long.txt", "rb");
    ASSERT_NE(f, nullptr);
    std::string line;
    for (const char* expected : {"xxxxxxxxxx", "short", "", "end"}) {
        ASSERT_TRUE(ReadBoundedLine(f, line, 10));
        EXPECT_EQ(line, expected);
    }
    EXPECT_FALSE(ReadBoundedLine(f, line, 10));
    std::fclose(f);
}
