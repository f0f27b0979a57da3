// The generated game folder and the system's data files, read back through
// the client's own loaders: nothing may land in "_error.txt".
#include <gtest/gtest.h>

#include <set>

#include "ColorFiles.h"
#include "DataFolder.h"
#include "DreamArchive.h"
#include "FloorShapes.h"
#include "QuilDataManager.h"
#include "QuilGfxLoader.h"
#include "SampleCharacters.h"
#include "SampleFolder.h"
#include "SampleLayout.h"
#include "SamplePalette.h"
#include "TestUtil.h"
#include "WorldMap.h"

namespace {

class SampleFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(GenerateSampleFolder("."));
        TestUtil::ClearLog("_error.txt");
    }
    void TearDown() override { EXPECT_EQ(TestUtil::ReadFile("_error.txt"), ""); }
    TestUtil::ScopedFolder folder{"samplegen"};
};

TEST_F(SampleFolderTest, CharactersLoadWithAllFiveKeys) {
    for (const SampleCharacter& c : SampleCharacters()) {
        ASSERT_TRUE(LoadPlayerIni(c.fileName)) << c.fileName;
        EXPECT_EQ(ThePlayerRecord.Name, c.name);
        EXPECT_EQ(ThePlayerRecord.Password, c.password);
        for (char code : ThePlayerRecord.Colors) EXPECT_TRUE(code >= 32 && code < 96) << "colour numbers stay below 64";
    }
}

TEST_F(SampleFolderTest, VillageMapLoadsWithWallsObjectsAndWater) {
    ASSERT_TRUE(LoadMapFile(SampleLayout::VillageMap));
    ASSERT_GE(TheWorldMap.W, 60);
    ASSERT_GE(TheWorldMap.H, 120);
    int floors = 0, walls = 0, objects = 0, water = 0;
    std::set<uint16_t> kinds;
    for (int y = 0; y < TheWorldMap.N; ++y)
        for (int x = 0; x < TheWorldMap.N; ++x) {
            uint16_t f = TheWorldMap.GetFloor(x, y);
            if (f == MapCell::NoFloor) continue;
            ++floors;
            EXPECT_LT(f, uint16_t(Floor::Count)) << x << "," << y;
            water += IsWaterFloor(f);
            walls += TheWorldMap.GetWallX(x, y) != 0;
            walls += TheWorldMap.GetWallY(x, y) != 0;
            objects += TheWorldMap.GetObject(x, y) != 0;
            kinds.insert(TheWorldMap.GetObject(x, y));
        }
    EXPECT_EQ(floors, TheWorldMap.W * TheWorldMap.H) << "every server cell lands on its own grid cell";
    EXPECT_GT(walls, 150);
    EXPECT_GT(objects, 400);
    EXPECT_GT(water, 300);
    EXPECT_GE(kinds.size(), 17u) << "the village shows most kinds of object";
    ASSERT_TRUE(LoadMapFile(SampleLayout::IslandMap));
    EXPECT_EQ(TheWorldMap.W, SampleLayout::IslandWidth);
    ASSERT_TRUE(LoadMapFile("hlcn_tmp\\meadow\\default.map"));
    EXPECT_EQ(TheWorldMap.W, SampleLayout::DreamWidth);
}

TEST_F(SampleFolderTest, FloorShapesAreDiamondsWithTransparentCorners) {
    ShapeList shapes;
    ASSERT_TRUE(LoadShapeFile(shapes, "patches\\default\\floors.fsh"));
    ASSERT_GE(shapes.size(), 40u);
    for (size_t i = 0; i < shapes.size(); ++i) {
        const Shape& s = shapes[i];
        ASSERT_EQ(s.rows.size(), size_t(FloorShapeHeight)) << i;
        ASSERT_EQ(s.rows[0].size(), size_t(FloorShapeWidth)) << i;
        EXPECT_EQ(s.transparent, TransparentIndex) << i;
        EXPECT_EQ(s.rows.back().back(), TransparentIndex) << i;
        EXPECT_NE(s.rows[FloorShapeHeight / 2][FloorShapeWidth / 2], TransparentIndex) << "the centre is painted " << i;
    }
}

TEST_F(SampleFolderTest, DreamArchivesGiveBothOutcomes) {
    EXPECT_EQ(TestUtil::ReadFile("dreams/meadow.dream").size(), 28u);
    EXPECT_TRUE(UnpackDream("dreams\\meadow.dream"));
    EXPECT_FALSE(UnpackDream("dreams\\vault.dream"));
    EXPECT_NE(TestUtil::ReadFile("_error.txt").find("Unsupported compression method in dream file: 0"), std::string::npos);
    TestUtil::ClearLog("_error.txt");
}

TEST(DataFiles, ColourTablesLoadAndCommittedFilesAreReproducible) {
    TestUtil::ScopedFolder folder{"datafiles"};
    ASSERT_TRUE(WriteDataFolder("data"));
    TestUtil::ClearLog("_error.txt");
    LoadColorTables();
    EXPECT_EQ(TestUtil::ReadFile("_error.txt"), "");
    const NamedColor& first = PaletteOfNames()[(0 + 7 * Vest) % 64];
    EXPECT_EQ(PartColorTables[Vest].colors[0].red, first.red);
    EXPECT_EQ(PartColorTables[Vest].colors[0].blue, first.blue);
    const char* files[] = {"pickINI.bmp", "ui/sbar0.png", "ui/sbar1.png", "walls/stone1.bmp", "misc/dream0.png",
                           "colors/colors.txt", "colors/vest.txt", "quil_ip.txt", "quilfile_ip.txt"};
    for (const char* f : files)
        EXPECT_EQ(TestUtil::ReadFile(std::string("data/") + f), TestUtil::ReadFile(TestUtil::SourceDir() + "/data/" + f))
            << f << " differs from what makedata writes";
}

}  // namespace
