// The item models, their textures and the item table: what makeitems writes
// is what the repository holds, every model keeps to the .mbm grammar (read
// here by a strict checker of its own, independent of the generator), and
// every object number of the sample maps has a model, and each model shows
// its outside to the game's camera under the item renderer's cull mode.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <sstream>

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

struct Vertex {
    double p[3], n[3];
};

// Reads one .mbm text by the grammar and notes every departure from it.
class MbmChecker {
public:
    MbmChecker(const std::string& text, const std::string& folder) : folder(folder) {
        std::istringstream in(text);
        for (std::string t; in >> t;) tokens.push_back(t);
    }

    void Check() {
        if (Word() != "RandomID" || !Open() || Float() == 0 || !Close()) Problem("RandomID is not the first construct");
        while (pos < tokens.size() && problems.empty()) {
            const std::string keyword = Word();
            if (keyword == "Mesh") CheckMesh();
            else if (keyword == "Bone") CheckBone();
            else Problem("unknown construct " + keyword);
        }
        CheckTree();
    }

    std::vector<std::string> problems;
    int triangles = 0;
    std::set<std::string> vertexTypes, textures;
    std::map<std::string, std::vector<std::string>> children;  // bone -> child names

private:
    std::string Word() { return pos < tokens.size() ? tokens[pos++] : ""; }
    bool Open() { return Word() == "{" || (Problem("expected {"), false); }
    bool Close() { return Word() == "}" || (Problem("expected }"), false); }
    bool AtClose() { return pos < tokens.size() && tokens[pos] == "}"; }
    void Problem(const std::string& what) { problems.push_back(what + " at token " + std::to_string(pos)); }
    std::string Name() {
        Open();
        std::string name = Word();
        if (name.find_first_of("{}") != std::string::npos) Problem("a brace as a name");
        Close();
        return name;
    }
    long Int() {
        const std::string t = Word();
        if (t.empty() || t.find_first_not_of("0123456789-") != std::string::npos) Problem("not an integer: " + t);
        return std::strtol(t.c_str(), nullptr, 10);
    }
    double Float() {
        const std::string t = Word();
        char* end = nullptr;
        const double value = std::strtod(t.c_str(), &end);
        if (t.empty() || t.find_first_not_of("0123456789.-e") != std::string::npos || *end) Problem("not a float: " + t);
        return value;
    }

    void CheckMesh() {
        Open();
        std::string name;
        while (!AtClose() && problems.empty()) {
            const std::string item = Word();
            if (item == "Name") name = Name();
            else if (item == "Chunk") CheckChunk();
            else Problem("unknown mesh item " + item);
        }
        Close();
        if (name.empty() || !meshes.insert(name).second) Problem("mesh without a name of its own");
    }

    void CheckChunk() {
        Open();
        std::vector<long> indices;
        std::vector<Vertex> vertices;
        while (!AtClose() && problems.empty()) {
            const std::string item = Word();
            if (item == "TextureC" || item == "TextureB") {
                Open();
                if (Int() != 0) Problem("texture stage");
                const std::string file = Word();
                textures.insert(file);
                if (!fs::exists(folder + "/" + file)) Problem("missing texture " + file);
                Close();
            } else if (item == "Indices") {
                Open();
                for (long n = Int(); n > 0; --n) indices.push_back(Int());
                Close();
            } else if (item == "Vertices") {
                Open();
                const std::string type = Word();
                const int colours = type == "PNC" ? 4 : type == "PNT2" ? 2 : (Problem("vertex type " + type), 0);
                vertexTypes.insert(type);
                for (long n = Int(); n > 0; --n) {
                    Vertex v;
                    for (double& c : v.p) c = Float();
                    for (double& c : v.n) c = Float();
                    if (std::fabs(std::hypot(v.n[0], v.n[1], v.n[2]) - 1) > 0.01) Problem("normal not of unit length");
                    for (int k = 0; k < colours; ++k) {
                        const double c = Float();
                        if (type == "PNC" && (c < 0 || c > 1)) Problem("colour outside 0..1");
                    }
                    vertices.push_back(v);
                }
                Close();
            } else {
                Problem("unknown chunk item " + item);
            }
        }
        Close();
        CheckTriangles(indices, vertices);
    }

    // Indices stay inside the chunk, and each triangle is wound the way its
    // normals face (clockwise seen from the front, as the item renderer keeps).
    void CheckTriangles(const std::vector<long>& indices, const std::vector<Vertex>& vertices) {
        if (indices.empty() || indices.size() % 3 != 0 || vertices.empty()) return Problem("chunk without triangles");
        for (long i : indices)
            if (i < 0 || i >= static_cast<long>(vertices.size())) return Problem("index outside the chunk");
        for (size_t t = 0; t < indices.size(); t += 3) {
            const Vertex &a = vertices[indices[t]], &b = vertices[indices[t + 1]], &c = vertices[indices[t + 2]];
            double u[3], w[3], cross[3], normal = 0, area = 0;
            for (int k = 0; k < 3; ++k) u[k] = b.p[k] - a.p[k], w[k] = c.p[k] - a.p[k];
            for (int k = 0; k < 3; ++k) cross[k] = u[(k + 1) % 3] * w[(k + 2) % 3] - u[(k + 2) % 3] * w[(k + 1) % 3];
            for (int k = 0; k < 3; ++k) normal += cross[k] * (a.n[k] + b.n[k] + c.n[k]), area += cross[k] * cross[k];
            if (area > 1e-10 && normal >= 0) return Problem("triangle wound against its normals");
        }
        triangles += static_cast<int>(indices.size() / 3);
    }

    void CheckBone() {
        Open();
        std::string name, mesh;
        std::vector<std::string> kids;
        while (!AtClose() && problems.empty()) {
            const std::string item = Word();
            if (item == "Name") name = Name();
            else if (item == "Mesh") mesh = Name();
            else if (item == "Child") kids.push_back(Name());
            else if (item == "ConnectPos") Open(), Float(), Float(), Float(), Close();
            else if (item == "ConnectRot") CheckRotation();
            else Problem("unknown bone item " + item);
        }
        Close();
        if (!mesh.empty() && !meshes.count(mesh)) Problem("bone asks for a missing mesh " + mesh);
        if (name.empty() || children.count(name)) Problem("bone without a name of its own");
        children[name] = kids;
    }

    void CheckRotation() {
        Open();
        double m[9];
        for (double& v : m) v = Float();
        Close();
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) {
                double dot = 0;
                for (int k = 0; k < 3; ++k) dot += m[i * 3 + k] * m[j * 3 + k];
                if (std::fabs(dot - (i == j)) > 0.001) Problem("rotation not orthonormal");
            }
    }

    // One top bone; every child named once and existing.
    void CheckTree() {
        std::map<std::string, int> parents;
        for (const auto& [bone, kids] : children)
            for (const std::string& kid : kids) {
                if (!children.count(kid)) Problem("missing child " + kid);
                ++parents[kid];
            }
        int tops = 0;
        for (const auto& [bone, kids] : children) {
            tops += parents[bone] == 0;
            if (parents[bone] > 1) Problem("bone with two parents");
        }
        if (tops != 1) Problem("not exactly one top bone");
    }

    std::string folder;
    std::vector<std::string> tokens;
    size_t pos = 0;
    std::set<std::string> meshes;
};

class ItemFiles : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(WriteItemsFolder("items")); }
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

TEST_F(ItemFiles, EveryModelKeepsToTheGrammarAndTheBudget) {
    std::set<std::string> types;
    int models = 0, textured = 0, jointed = 0;
    for (const std::string& name : FilesIn("items")) {
        if (fs::path(name).extension() != ".mbm") continue;
        MbmChecker check(TestUtil::ReadFile("items/" + name), "items");
        check.Check();
        EXPECT_EQ(check.problems, std::vector<std::string>()) << name;
        EXPECT_GT(check.triangles, 0) << name;
        EXPECT_LE(check.triangles, 400) << name;
        types.insert(check.vertexTypes.begin(), check.vertexTypes.end());
        ++models;
        textured += !check.textures.empty();
        jointed += check.children.size() > 1;
    }
    EXPECT_GE(models, 15) << "a placeholder and at least fourteen objects";
    EXPECT_GT(textured * 3, models * 2) << "most models are textured";
    EXPECT_GE(jointed, 4);
    EXPECT_EQ(types, (std::set<std::string>{"PNC", "PNT2"}));
}

TEST_F(ItemFiles, CheckerCatchesBrokenModels) {
    const std::string good = TestUtil::ReadFile("items/fence.mbm");
    auto replaced = [&](const std::string& from, const std::string& to) {
        std::string text = good;
        const size_t at = text.find(from);
        if (at == std::string::npos) ADD_FAILURE() << "the fence model no longer holds: " << from;
        return at == std::string::npos ? text : text.replace(at, from.size(), to);
    };
    const std::string broken[] = {
        replaced("RandomID { ", "Mesh { "),             // no RandomID first
        replaced("Indices { 21\n      0 ", "Indices { 21\n      999 "),  // index past the chunk
        replaced("Indices { 21\n      0 2 1", "Indices { 21\n      0 1 2"),  // wound backwards
        replaced("ConnectRot { 1 0", "ConnectRot { 2 0"),  // a scaled rotation
        replaced("Mesh { fence_fence }", "Mesh { gate }"),  // a missing mesh
        replaced(" }\n", "}\n"),                          // a brace glued to a word
    };
    for (const std::string& text : broken) {
        MbmChecker check(text, "items");
        check.Check();
        EXPECT_FALSE(check.problems.empty()) << text.substr(0, 200);
    }
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
