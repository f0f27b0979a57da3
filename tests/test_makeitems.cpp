// What the generators write, read back through the client's own loaders
// without a report: the sample game folder, the data files and the item
// models, which also keep what the loader does not check (winding against the
// normals, the triangle budget). The committed files are what they write.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <set>

#include "ColorFiles.h"
#include "DataFolder.h"
#include "FloorShapes.h"
#include "GBMesh.h"
#include "GLTestContext.h"
#include "ItemsFolder.h"
#include "QuilDataManager.h"
#include "QuilGfxLoader.h"
#include "SampleCharacters.h"
#include "SampleFolder.h"
#include "SampleLayout.h"
#include "SamplePalette.h"
#include "SampleWorld.h"
#include "TestUtil.h"
#include "WorldMap.h"

namespace {

namespace fs = std::filesystem;

// What a loaded model holds, and the first fault found in it.
struct Loaded {
    std::string problem;
    int triangles = 0, bones = 0;
    bool textured = false;
    std::set<uint32_t> vertexSizes;
};

// Each triangle is wound the way its unit normals face: clockwise seen from
// the front, as the item renderer keeps.
void CheckChunk(G::MeshChunk& chunk, Loaded& out) {
    G::VertexBufferLock vertices(chunk.vertices);
    G::IndexBufferLock indices(chunk.indices);
    uint16_t* index = nullptr;
    const auto* v = static_cast<const uint8_t*>(vertices.GetPointer());
    if (!v || !indices.GetPointer(index)) return void(out.problem = "unreadable chunk");
    const uint32_t size = chunk.vertices.GetVertexSize(), count = chunk.indices.GetIndexCount();
    if (count == 0 || count % 3) return void(out.problem = "chunk without whole triangles");
    out.vertexSizes.insert(size);
    out.textured |= !chunk.textures[0].GetName().empty();
    auto read = [&](uint16_t i, int offset, float (&to)[3]) { std::memcpy(to, v + size_t(i) * size + offset, 12); };
    for (uint32_t t = 0; t < count; t += 3) {
        float p[3][3], n[3][3], u[3], w[3], cross[3];
        double facing = 0, area = 0;
        for (int k = 0; k < 3; ++k) {
            read(index[t + k], 0, p[k]);
            read(index[t + k], 12, n[k]);
            if (std::fabs(std::hypot(n[k][0], n[k][1], n[k][2]) - 1) > 0.01) return void(out.problem = "normal");
        }
        for (int k = 0; k < 3; ++k) u[k] = p[1][k] - p[0][k], w[k] = p[2][k] - p[0][k];
        for (int k = 0; k < 3; ++k) cross[k] = u[(k + 1) % 3] * w[(k + 2) % 3] - u[(k + 2) % 3] * w[(k + 1) % 3];
        for (int k = 0; k < 3; ++k) facing += cross[k] * (n[0][k] + n[1][k] + n[2][k]), area += cross[k] * cross[k];
        if (area > 1e-10 && facing >= 0) return void(out.problem = "triangle wound against its normals");
    }
    out.triangles += int(count / 3);
}

void CheckBone(G::Bone* bone, Loaded& out) {
    ++out.bones;
    for (size_t i = 0; i < bone->mesh.ChunkCount(); ++i) CheckChunk(bone->mesh.Data()->chunks[i], out);
    for (G::Bone* child : bone->Children()) CheckBone(child, out);
}

// A bone sharing a mesh counts that mesh again, as the renderer draws it again.
Loaded Load(const std::string& path) {
    Loaded out;
    TestUtil::ClearLog("_error.txt");
    G::Model model;
    if (!model.Load(path, true, false)) out.problem = "not loaded";
    else CheckBone(model.GetTopBone(), out);
    const std::string log = TestUtil::ReadFile("_error.txt");
    if (!log.empty()) out.problem += log;
    G::EmptyModelCache();
    return out;
}

class ItemFiles : public GLTest::Suite {
protected:
    void SetUp() override {
        GLTest::Suite::SetUp();
        ASSERT_TRUE(WriteItemsFolder("items"));
    }
    TestUtil::ScopedFolder folder{"makeitems"};
};

std::set<std::string> FilesIn(const std::string& path) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(path)) names.insert(entry.path().filename().string());
    return names;
}

TEST_F(ItemFiles, CommittedFilesAreWhatTheGeneratorWrites) {
    const std::string committed = TestUtil::SourceDir() + "/data/items";
    ASSERT_EQ(FilesIn("items"), FilesIn(committed));
    for (const std::string& name : FilesIn("items"))
        EXPECT_EQ(TestUtil::ReadFile("items/" + name), TestUtil::ReadFile(committed + "/" + name))
            << name << " differs from what makeitems writes";
}

TEST_F(ItemFiles, EveryModelLoadsCleanlyWoundOutwardAndWithinTheBudget) {
    std::set<uint32_t> sizes;
    int models = 0, textured = 0, jointed = 0;
    for (const std::string& name : FilesIn("items")) {
        if (fs::path(name).extension() != ".mbm") continue;
        const Loaded model = Load("items\\" + name);
        EXPECT_EQ(model.problem, "") << name;
        EXPECT_GT(model.triangles, 0) << name;
        EXPECT_LE(model.triangles, 400) << name;
        sizes.insert(model.vertexSizes.begin(), model.vertexSizes.end());
        ++models;
        textured += model.textured;
        jointed += model.bones > 1;
    }
    EXPECT_GE(models, 15) << "a placeholder and at least fourteen objects";
    EXPECT_GE(jointed, 4);
    EXPECT_GT(textured * 3, models * 2) << "most models are textured";
    EXPECT_EQ(sizes, (std::set<uint32_t>{28, 32})) << "coloured and textured vertices";
    // The winding check itself: one triangle of the fence turned round.
    std::string fence = TestUtil::ReadFile("items/fence.mbm");
    const size_t at = fence.find("\n      0 2 1 ");
    ASSERT_NE(at, std::string::npos);
    TestUtil::WriteFile("items/turned.mbm", fence.replace(at + 7, 5, "0 1 2"));
    EXPECT_EQ(Load("items\\turned.mbm").problem, "triangle wound against its normals");
}

// items.txt is EncodeItemTable's text, as the committed files show.
TEST_F(ItemFiles, EveryObjectOfTheSampleMapsHasAModel) {
    std::set<int> listed;
    const int highest = std::stoi(TestUtil::ReadFile("items/items.txt"));  // the table's first line
    for (const ItemEntry& entry : ItemTable()) {
        listed.insert(entry.number);
        EXPECT_TRUE(entry.number >= 1 && entry.number <= highest) << entry.model;
        const std::string model = TestUtil::ReadFile("items/" + entry.model);
        EXPECT_FALSE(model.empty()) << entry.model;
        for (const auto& [used, instead] : entry.replacements) {
            EXPECT_NE(model.find(" " + used + " "), std::string::npos) << entry.model << " " << used;
            EXPECT_TRUE(fs::exists("items/" + instead)) << instead;
        }
    }
    for (const SampleMap& map : {BuildVillage(), BuildIsland(), BuildMeadowDream()})
        for (int y = 0; y < map.GridSize(); ++y)
            for (int x = 0; x < map.GridSize(); ++x)
                if (const int object = map.ObjectAt(x, y)) {
                    EXPECT_TRUE(listed.count(object)) << "object " << object;
                }
}

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

// Its walls are the server session test's: they block the walks there. The
// dream's map is the end-to-end test's: the client loads it before it answers.
TEST_F(SampleFolderTest, VillageMapLoadsWithObjectsAndWater) {
    ASSERT_TRUE(LoadMapFile(SampleLayout::VillageMap));
    int floors = 0, objects = 0, water = 0;
    std::set<uint16_t> kinds;
    for (int y = 0; y < TheWorldMap.N; ++y)
        for (int x = 0; x < TheWorldMap.N; ++x) {
            uint16_t f = TheWorldMap.GetFloor(x, y);
            if (f == MapCell::NoFloor) continue;
            ++floors;
            EXPECT_LT(f, uint16_t(Floor::Count)) << x << "," << y;
            water += IsWaterFloor(f);
            objects += TheWorldMap.GetObject(x, y) != 0;
            kinds.insert(TheWorldMap.GetObject(x, y));
        }
    EXPECT_EQ(floors, TheWorldMap.W * TheWorldMap.H) << "every server cell lands on its own grid cell";
    EXPECT_GT(objects, 400);
    EXPECT_GT(water, 300);
    EXPECT_GE(kinds.size(), 17u) << "the village shows most kinds of object";
    ASSERT_TRUE(LoadMapFile(SampleLayout::IslandMap));
    EXPECT_EQ(TheWorldMap.W, SampleLayout::IslandWidth);
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

TEST(DataFiles, ColourTablesLoadAndCommittedFilesAreReproducible) {
    TestUtil::ScopedFolder folder{"datafiles"};
    ASSERT_TRUE(WriteDataFolder("data"));
    TestUtil::ClearLog("_error.txt");
    LoadColorTables();
    EXPECT_EQ(TestUtil::ReadFile("_error.txt"), "");
    const char* files[] = {"pickINI.bmp", "ui/sbar0.png", "ui/sbar1.png", "walls/stone1.bmp", "misc/dream0.png",
                           "colors/colors.txt", "colors/vest.txt", "quil_ip.txt", "quilfile_ip.txt"};
    for (const char* f : files)
        EXPECT_EQ(TestUtil::ReadFile(std::string("data/") + f), TestUtil::ReadFile(TestUtil::SourceDir() + "/data/" + f))
            << f << " differs from what makedata writes";
}

}  // namespace
