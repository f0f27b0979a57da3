// The item models, their textures and the item table: what makeitems writes
// is what the repository holds, every model loads through the game's loader
// without a report and keeps what the loader does not check (winding against
// the normals, the triangle budget), every object number of the sample maps
// has a model, and each model shows its outside to the game's camera under
// the item renderer's cull mode.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <sstream>

#include "GBMesh.h"
#include "GLRender.h"
#include "GLTestContext.h"
#include "ItemModels.h"
#include "ItemsFolder.h"
#include "Math3D.h"
#include "SampleLayout.h"
#include "SampleWorld.h"
#include "TestUtil.h"

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
    out.vertexSizes.insert(size);
    out.textured |= !chunk.textures[0].GetName().empty();
    if (count == 0 || count % 3) return void(out.problem = "chunk without whole triangles");
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
    EXPECT_GT(textured * 3, models * 2) << "most models are textured";
    EXPECT_GE(jointed, 4);
    EXPECT_EQ(sizes, (std::set<uint32_t>{28, 32})) << "coloured and textured vertices";
    // The winding check itself: one triangle of the fence turned round.
    std::string fence = TestUtil::ReadFile("items/fence.mbm");
    const size_t at = fence.find("Indices { 21\n      0 2 1");
    ASSERT_NE(at, std::string::npos);
    TestUtil::WriteFile("items/turned.mbm", fence.replace(at, 25, "Indices { 21\n      0 1 2"));
    EXPECT_EQ(Load("items\\turned.mbm").problem, "triangle wound against its normals");
}

TEST_F(ItemFiles, EveryObjectOfTheSampleMapsHasAModel) {
    std::vector<std::string> lines;
    std::istringstream table(TestUtil::ReadFile("items/items.txt"));
    for (std::string line; std::getline(table, line);) lines.push_back(line);
    ASSERT_FALSE(lines.empty());
    const int highest = std::atoi(lines[0].c_str());
    std::map<int, std::vector<std::string>> entries;
    for (size_t i = 1; i < lines.size(); ++i) {
        std::istringstream words(lines[i]);
        int number = 0;
        words >> number;
        std::vector<std::string>& tokens = entries[number];
        for (std::string w; words >> w;) tokens.push_back(w);
        ASSERT_TRUE(number >= 1 && number <= highest && tokens.size() % 2 == 1) << lines[i];
        EXPECT_TRUE(fs::exists("items/" + tokens[0])) << lines[i];
        for (size_t k = 1; k < tokens.size(); k += 2) {
            EXPECT_NE(TestUtil::ReadFile("items/" + tokens[0]).find(" " + tokens[k] + " "), std::string::npos) << lines[i];
            EXPECT_TRUE(fs::exists("items/" + tokens[k + 1])) << lines[i];
        }
    }
    EXPECT_EQ(entries[int(Item::WalnutChest)].size(), 7u) << "the walnut chest swaps all three oak textures";
    for (const SampleMap& map : {BuildVillage(), BuildIsland(), BuildMeadowDream()})
        for (int y = 0; y < map.GridSize(); ++y)
            for (int x = 0; x < map.GridSize(); ++x)
                if (const int object = map.ObjectAt(x, y)) {
                    EXPECT_TRUE(entries.count(object)) << "object " << object;
                }
}

// Draws a model at the origin with its bones placed, each vertex coloured by
// its normal, so that an inside face looks unlike the outside one before it.
void DrawByNormals(const Model& model) {
    std::map<std::string, Frame> world;
    std::function<void(const std::string&, const Frame&)> place = [&](const std::string& name, const Frame& parent) {
        for (const ModelBone& bone : model.bones)
            if (bone.name == name) {
                world[name] = Compose(parent, bone.local);
                for (const std::string& child : bone.children) place(child, world[name]);
            }
    };
    place(model.bones.front().name, Frame{});
    G::IMBegin(G::IMPrimitive::Triangles);
    for (const ModelBone& bone : model.bones)
        for (const ModelMesh& mesh : model.meshes)
            for (const ModelChunk& chunk : mesh.chunks)
                for (uint16_t i : chunk.indices) {
                    if (mesh.name != bone.mesh) continue;
                    const Vec3 n = ApplyDirection(world[bone.name], chunk.vertices[i].normal);
                    const Vec3 p = Apply(world[bone.name], chunk.vertices[i].position);
                    G::IMColor(0.5f + 0.5f * n.x, 0.5f + 0.5f * n.y, 0.5f + 0.5f * n.z);
                    G::IMVertex(p.x, p.y, p.z);
                }
    G::IMEnd();
}

// The camera of the world view at its starting angle, looking at cell (0, 0).
GLTest::Pixels Render(const Model& model, G::CullMode cull) {
    G::Clear(0xFF000000, true, true, false);
    SmoothCamera camera;
    camera.SetUp({0, 0, 1}, true);
    camera.SetTarget({0, 0, 0}, true);
    camera.SetPosition({6.8f * std::cos(0.7853982f), 6.8f * std::sin(0.7853982f), 7.9f}, true);
    G::SetPerspectiveView(0, 0, 800, 600, 1, 100);
    G::Apply(camera);
    G::SetCullMode(cull);
    DrawByNormals(model);
    return GLTest::ReadPixels(200, 100, 400, 400);
}

using ItemView = GLTest::Suite;

// With culling off a closed model shows its outside anyway; culling back
// faces as the item renderer does must then change next to nothing. A face
// wound the wrong way would leave a hole or show the inside.
TEST_F(ItemView, ModelsShowTheirOutsideWhenBackFacesAreCulled) {
    for (const ItemModel& item : ItemModels()) {
        const Model model = item.make();
        const GLTest::Pixels all = Render(model, G::CullMode::None), culled = Render(model, G::CullMode::FrontCW);
        int lit = 0, changed = 0;
        for (size_t i = 0; i < all.data.size(); ++i) {
            lit += all.data[i] != 0;
            changed += !GLTest::Near(all.data[i], culled.data[i], 8);
        }
        EXPECT_GT(lit, 400) << item.fileName << " is in view";
        EXPECT_LE(changed * 100, lit) << item.fileName << " shows holes or its inside with back faces culled: the"
                                      << " models' winding and the camera's handedness disagree";
    }
}

}  // namespace
