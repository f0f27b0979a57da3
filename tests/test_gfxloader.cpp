#include <gtest/gtest.h>

#include "QuilGfxLoader.h"
#include "TestUtil.h"

using TestUtil::ReadFile;
using TestUtil::WriteFile;

namespace {

class GfxLoaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        GamePalette.fill(ColorWord());
        for (PartColorTable& t : PartColorTables) t.colors.fill(ColorWord());
        TestUtil::ClearLog("_error.txt");
    }
    std::string Log() { return ReadFile("_error.txt"); }
    // Each case in a folder of its own, so files of one case never feed another.
    TestUtil::ScopedFolder folder{::testing::UnitTest::GetInstance()->current_test_info()->name()};
};

// A PCX-like file: some image bytes, the marker, then 256 triples where
// entry i is (i, 255 - i, i ^ 0x55).
std::string PcxWithPalette(size_t imageBytes) {
    std::string file(imageBytes, '\x11');
    file += '\x0C';
    for (int i = 0; i < 256; ++i) {
        file += char(i);
        file += char(255 - i);
        file += char(i ^ 0x55);
    }
    return file;
}

// A shape file: count, the unused table, then each shape's record.
struct ShapeData {
    uint8_t width, height;
    std::vector<uint8_t> fileRows;  // row by row as stored
};
std::string ShapeFile(const std::vector<ShapeData>& shapes) {
    std::string file;
    auto u16 = [&file](uint16_t v) { file += char(v & 0xFF), file += char(v >> 8); };
    u16(uint16_t(shapes.size()));
    for (size_t i = 0; i < shapes.size(); ++i) u16(uint16_t(0xBEEF));
    for (const ShapeData& s : shapes) {
        file += char(s.width);
        file += char(s.height);
        file += "\x07\x09";
        file.append(s.fileRows.begin(), s.fileRows.end());
    }
    return file;
}

}  // namespace

TEST_F(GfxLoaderTest, PaletteComesFromTheFilesTailAndABrokenFileKeepsThePreviousOne) {
    GamePalette[5].zero = 77;  // byte 0 is left alone
    WriteFile("pal.pcx", PcxWithPalette(1000));
    LoadPcxPalette("pal.pcx");
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(GamePalette[i], (ColorWord{uint8_t(i == 5 ? 77 : 0), uint8_t(i), uint8_t(255 - i), uint8_t(i ^ 0x55)}))
            << i;

    GamePalette.fill(ColorWord());
    WriteFile("exact.pcx", PcxWithPalette(0));  // exactly the marker and 768 bytes
    LoadPcxPalette("exact.pcx");
    EXPECT_EQ(GamePalette[1].red, 1);
    EXPECT_EQ(Log(), "");
    const Palette before = GamePalette;
    LoadPcxPalette("nothere.pcx");
    WriteFile("short.pcx", std::string(767, '\x40'));
    LoadPcxPalette("short.pcx");
    EXPECT_EQ(Log(), "Failed to open file to read pcx palette (nothere.pcx)\n"
                     "Warning: pcx file too short to hold a palette (short.pcx), palette left as it was.\n");
    EXPECT_TRUE(GamePalette == before);
}

TEST_F(GfxLoaderTest, ColorPairsAndIndicesFillTheTables) {
    WriteFile("data/colors/colors.txt", "red 255 0 0\nsky 10 20 300\nred 1 1 1\nEnd\n");
    ColorNameMap map;
    LoadColorPairs(map);
    ASSERT_EQ(map.size(), 2u);
    EXPECT_EQ(map["red"], (ColorWord{0, 255, 0, 0}));  // the first colour of a name stays
    EXPECT_EQ(map["sky"], (ColorWord{0, 10, 20, 300 & 0xFF}));
    EXPECT_EQ(Log(), "");

    WriteFile("data/colors/vest.txt", "0 red\n63 sky\n64 red\n5 mauve\n-1\n7 red\n");
    PartColorTable table;
    table.colors[9] = ColorWord{0, 9, 9, 9};  // cleared by the load
    LoadColorIndices("data\\colors\\vest.txt", map, table);
    EXPECT_EQ(table.colors[0], map["red"]);
    EXPECT_EQ(table.colors[63], map["sky"]);
    EXPECT_EQ(table.colors[5], ColorWord());
    EXPECT_EQ(table.colors[9], ColorWord());
    EXPECT_EQ(table.colors[7], ColorWord());  // after the terminator
    EXPECT_EQ(Log(),
              "Color index too high (64) in file data\\colors\\vest.txt...  ignoring it.\n"
              "No such color (mauve), referanced in file data\\colors\\vest.txt\n");
}

TEST_F(GfxLoaderTest, BrokenColorFilesAreReported) {
    ColorNameMap map;
    LoadColorPairs(map);
    EXPECT_TRUE(map.empty());
    WriteFile("data/colors/colors.txt", "red 255 0 0\nblue 0 0 End\n");
    LoadColorPairs(map);
    EXPECT_EQ(map.size(), 1u);
    WriteFile("data/colors/cape.txt", "1 red\n2 red\n");
    PartColorTable table;
    LoadColorIndices("data\\colors\\cape.txt", map, table);
    EXPECT_EQ(table.colors[2], map["red"]);
    LoadColorIndices("data\\colors\\none.txt", map, table);
    EXPECT_EQ(table.colors[2], map["red"]);  // kept
    EXPECT_EQ(Log(), "Failed to open data\\colors\\colors.txt to load color pairs.\n"
                     "Error in file data\\colors\\colors.txt, some colors may be wrong...\n"
                     "Error in file data\\colors\\cape.txt\n"
                     "Failed to open data\\colors\\none.txt to load color indices from.\n");
}

// An empty colour map leaves every table as it was; a full one fills each
// part from its own file.
TEST_F(GfxLoaderTest, LoadColorTablesFillsEachPartFromItsFile) {
    WriteFile("data/colors/colors.txt", "End\n");
    WriteFile("data/colors/badge.txt", "0 red\n-1\n");
    PartColorTables[Badge].colors[0] = ColorWord{0, 1, 2, 3};
    LoadColorTables();
    EXPECT_EQ(PartColorTables[Badge].colors[0], (ColorWord{0, 1, 2, 3}));

    WriteFile("data/colors/colors.txt", "c0 1 0 0\nc1 2 0 0\nc2 3 0 0\nc3 4 0 0\nc4 5 0 0\n"
                                        "c5 6 0 0\nc6 7 0 0\nc7 8 0 0\nc8 9 0 0\nc9 10 0 0\nEnd\n");
    for (int part = 0; part < ColorPartCount; ++part) {
        std::string file = PartColorFile(ColorPart(part));
        for (char& c : file)
            if (c == '\\') c = '/';
        WriteFile(file, std::to_string(part) + " c" + std::to_string(part) + "\n-1\n");
    }
    LoadColorTables();
    for (int part = 0; part < ColorPartCount; ++part)
        EXPECT_EQ(PartColorTables[part].colors[part].red, part + 1) << PartColorFile(ColorPart(part));
    EXPECT_EQ(Log(), "");
}

TEST_F(GfxLoaderTest, ShapeRowsAreReversedAndTheTransparentIndexIsTaken) {
    WriteFile("floors.fsh", ShapeFile({{3, 2, {1, 2, 3, 4, 5, 6}}, {1, 1, {9}}}));
    ShapeList shapes;
    ASSERT_TRUE(LoadShapeFile(shapes, "floors.fsh"));
    ASSERT_EQ(shapes.size(), 2u);
    EXPECT_EQ(shapes[0].rows, (std::vector<std::vector<uint8_t>>{{4, 5, 6}, {1, 2, 3}}));
    EXPECT_EQ(shapes[0].transparent, 4);
    EXPECT_EQ(shapes[1].rows, (std::vector<std::vector<uint8_t>>{{9}}));
    EXPECT_EQ(shapes[1].transparent, 9);
    EXPECT_EQ(Log(), "");

    WriteFile("none.fsh", ShapeFile({}));
    ASSERT_TRUE(LoadShapeFile(shapes, "none.fsh"));
    EXPECT_TRUE(shapes.empty());
}

TEST_F(GfxLoaderTest, AShortShapeFileLeavesZerosAndAMissingOneIsReported) {
    std::string file = ShapeFile({{2, 2, {1, 2, 3, 4}}, {4, 4, std::vector<uint8_t>(16, 8)}});
    WriteFile("cut.fsh", file.substr(0, file.size() - 10));  // the second shape keeps 6 pixels
    ShapeList shapes;
    ASSERT_TRUE(LoadShapeFile(shapes, "cut.fsh"));
    ASSERT_EQ(shapes.size(), 2u);
    EXPECT_EQ(shapes[0].rows, (std::vector<std::vector<uint8_t>>{{3, 4}, {1, 2}}));
    // File rows 0 and 1 arrived (partly); they are rows 3 and 2.
    EXPECT_EQ(shapes[1].rows[3], (std::vector<uint8_t>{8, 8, 8, 8}));
    EXPECT_EQ(shapes[1].rows[2], (std::vector<uint8_t>{8, 8, 0, 0}));
    EXPECT_EQ(shapes[1].rows[0], (std::vector<uint8_t>{0, 0, 0, 0}));
    EXPECT_EQ(Log(), "Warning: shape file ended early: cut.fsh\n");

    // A count far larger than the file: the missing shapes are empty.
    WriteFile("lying.fsh", std::string("\xFF\xFF", 2));
    ASSERT_TRUE(LoadShapeFile(shapes, "lying.fsh"));
    EXPECT_EQ(shapes.size(), 65535u);
    EXPECT_TRUE(shapes.back().rows.empty());

    TestUtil::ClearLog("_error.txt");
    EXPECT_FALSE(LoadShapeFile(shapes, "absent.fsh"));
    EXPECT_TRUE(shapes.empty());
    EXPECT_EQ(Log(), "Unable to open absent.fsh to load FSH data.\n");
}
