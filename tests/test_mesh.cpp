// Bones, the vertex weld, the model cache and statistics; the text model format
// and its binary cache, every report for broken input; and the item renderer
// (items.txt, models on their cells, texture replacement), checked by pixels.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <sstream>

#include "CMemMan.h"
#include "GBMesh.h"
#include "GBMesh_BMBM.h"
#include "GBMesh_LoadMBM.h"
#include "GLRender.h"
#include "GLTestContext.h"
#include "LogFile.h"
#include "Math3D.h"
#include "QuilRenderObjects.h"
#include "TestImages.h"
#include "TestUtil.h"
#include "WorldMap.h"

namespace {

// Small ".mbm" texts: boxes, one chunk each, coloured (PNC) or textured
// (PNT2), and the bones that carry them.
struct Box {
    float cx = 0, cy = 0, cz = 0.5f;  // centre
    float hx = 0.3f, hy = 0.3f, hz = 0.5f;  // half sizes
};

std::string Num(float v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

// Six faces, four vertices each, wound clockwise seen from outside: through
// the game's camera that is what the item renderer keeps. Corner k of the box
// takes x, y and z from its bits 0, 1 and 2; each face lists its corners
// counter-clockwise seen from outside.
std::string BoxChunk(const Box& b, bool textured, float r, float g, float bl, const std::string& texture = "") {
    const int faces[6][4] = {{1, 3, 7, 5}, {4, 6, 2, 0}, {2, 6, 7, 3}, {1, 5, 4, 0}, {4, 5, 7, 6}, {2, 3, 1, 0}};
    const char* const normals[6] = {"1 0 0", "-1 0 0", "0 1 0", "0 -1 0", "0 0 1", "0 0 -1"};
    std::string vertices, indices;
    for (int f = 0; f < 6; ++f) {
        for (int c = 0; c < 4; ++c) {
            const int k = faces[f][c];
            vertices += Num(b.cx + (k & 1 ? b.hx : -b.hx)) + " " + Num(b.cy + (k & 2 ? b.hy : -b.hy)) + " " +
                        Num(b.cz + (k & 4 ? b.hz : -b.hz)) + " " + normals[f] + " ";
            vertices += textured ? Num(c == 1 || c == 2) + " " + Num(c >= 2) + "\n"
                                 : Num(r) + " " + Num(g) + " " + Num(bl) + " 1\n";
        }
        for (int k : {0, 2, 1, 0, 3, 2})
            indices += std::to_string(4 * f + k) + " ";
    }
    std::string chunk = "Chunk {\n";
    if (!texture.empty()) chunk += "TextureC { 0 " + texture + " }\n";
    chunk += "Vertices { " + std::string(textured ? "PNT2" : "PNC") + " 24\n" + vertices + "}\n";
    return chunk + "Indices { 36 " + indices + "}\n}\n";
}

std::string MeshText(const std::string& name, const std::string& chunks) {
    return "Mesh {\nName { " + name + " }\n" + chunks + "}\n";
}

std::string BoneText(const std::string& name, const std::string& mesh, const std::vector<std::string>& children = {},
                     float x = 0, float y = 0, float z = 0) {
    std::string text = "Bone {\nName { " + name + " }\n";
    if (!mesh.empty()) text += "Mesh { " + mesh + " }\n";
    for (const std::string& child : children)
        text += "Child { " + child + " }\n";
    text += "ConnectPos { " + Num(x) + " " + Num(y) + " " + Num(z) + " }\n}\n";
    return text;
}

std::string ColouredBoxModel(float r, float g, float b) {
    return MeshText("box", BoxChunk({}, false, r, g, b)) + BoneText("root", "box");
}

// The weld by a map from each record's bytes to its first occurrence.
uint32_t MapWeld(const uint8_t* records, uint32_t count, uint32_t size, std::vector<uint16_t>& indices,
                 std::vector<uint8_t>& unique) {
    std::map<std::string, uint16_t> first;
    std::vector<uint16_t> target;
    for (uint32_t i = 0; i < count; ++i) {
        const auto [at, fresh] = first.emplace(std::string(records + i * size, records + (i + 1) * size), first.size());
        if (fresh) unique.insert(unique.end(), records + i * size, records + (i + 1) * size);
        target.push_back(at->second);
    }
    for (uint16_t& index : indices) index = index < count ? target[index] : index;
    return uint32_t(first.size());
}

// First occurrences are kept in order and every index moves to the first equal record.
TEST(Weld, AgreesWithAMapOfFirstOccurrencesOnRecordsThatDifferInOneByte) {
    std::mt19937 random(5);
    const uint32_t count = 3000, size = 28;
    std::vector<uint8_t> records(count * size, 0);
    for (uint32_t i = 0; i < count; ++i) records[i * size + random() % size] = uint8_t(random() % 3);
    std::vector<uint16_t> indices(6000);
    for (uint16_t& index : indices) index = uint16_t(random() % count);
    indices.back() = count + 4;  // no such record: kept as it is
    std::vector<uint8_t> unique, expectedUnique;
    std::vector<uint16_t> remapped, expected = indices;
    const uint32_t kept = G::Weld(records.data(), count, size, indices.data(), uint32_t(indices.size()), unique,
                                  remapped);
    EXPECT_EQ(kept, MapWeld(records.data(), count, size, expected, expectedUnique));
    EXPECT_EQ(unique, expectedUnique);
    EXPECT_EQ(remapped, expected);
}

void ExpectPlace(const Matrix& m, float x, float y, float z) {
    EXPECT_NEAR(m[3], x, 1e-5);
    EXPECT_NEAR(m[7], y, 1e-5);
    EXPECT_NEAR(m[11], z, 1e-5);
}

struct BoneTree {
    G::Bone* top = new2(G::Bone, G::Bone);
    ~BoneTree() { delete2(top); }
};

TEST(Bones, WorldMatricesFollowParentsAndAttachingCanKeepThePlace) {
    BoneTree tree;
    G::Bone* child = new2(G::Bone, G::Bone);
    child->name = "child";
    tree.top->AddChild(child);
    const float quarterTurn[9] = {0, -1, 0, 1, 0, 0, 0, 0, 1};  // x becomes y
    tree.top->SetRotation(quarterTurn, false);
    tree.top->SetPosition(1, 2, 3);
    child->SetPosition(1, 0, 0);
    ExpectPlace(child->GetWorldMatrix(), 1, 3, 3);
    tree.top->SetPosition(0, 0, 0);  // the child follows
    ExpectPlace(child->GetWorldMatrix(), 0, 1, 0);
    EXPECT_EQ(tree.top->BaseRotation()[1], 0.0f);

    child->Detach(true);
    ExpectPlace(child->GetWorldMatrix(), 0, 1, 0);
    EXPECT_TRUE(tree.top->Children().empty());
    child->AttachTo(tree.top, false, true);
    ExpectPlace(child->GetWorldMatrix(), 0, 1, 0);
    EXPECT_NEAR(child->Position().x, 1, 1e-5);  // back in the parent's turned frame

    Matrix world = Matrix::Identity();
    world[3] = 4;
    child->SetWorldMatrix(world);
    ExpectPlace(child->GetWorldMatrix(), 4, 0, 0);
}

TEST(Bones, FindChildSearchesDepthFirstAndCopiesShareMeshes) {
    BoneTree tree;
    tree.top->name = "top";
    G::Bone* a = new2(G::Bone, G::Bone);
    G::Bone* deep = new2(G::Bone, G::Bone);
    G::Bone* b = new2(G::Bone, G::Bone);
    a->name = "a";
    deep->name = "twin";
    b->name = "twin";
    deep->SetPosition(7, 0, 0);
    tree.top->AddChild(a);
    a->AddChild(deep);
    tree.top->AddChild(b);
    EXPECT_EQ(tree.top->FindChild("twin"), deep);
    EXPECT_EQ(tree.top->FindChild("top"), tree.top);
    EXPECT_EQ(tree.top->FindChild("none"), nullptr);

    deep->mesh.Create();
    BoneTree copy;
    delete2(copy.top);
    copy.top = new2(G::Bone, G::Bone(*tree.top));
    G::Bone* copied = copy.top->FindChild("twin");
    ASSERT_NE(copied, nullptr);
    EXPECT_NE(copied, deep);
    EXPECT_EQ(copied->Parent()->name, "a");
    EXPECT_EQ(copied->mesh.Data(), deep->mesh.Data());
    ExpectPlace(copied->GetWorldMatrix(), 7, 0, 0);
}

class Models : public GLTest::Suite {
protected:
    void SetUp() override {
        GLTest::Suite::SetUp();
        TestUtil::ClearLog("_meshStats.txt");
    }
    void TearDown() override { G::EmptyModelCache(); }
    TestUtil::ScopedFolder folder{"models"};
};

TEST_F(Models, StatisticsCountWeldedVerticesTrianglesAndBones) {
    // Two bones share the box; the third carries nothing.
    TestUtil::WriteFile("box.mbm", MeshText("box", BoxChunk({}, false, 1, 0, 0)) +
                                       BoneText("root", "box", {"a", "empty"}) +
                                       BoneText("a", "box") + BoneText("empty", ""));
    G::Model model;
    ASSERT_TRUE(model.Load("box.mbm", false, true));
    EXPECT_EQ(TestUtil::ReadFile("_meshStats.txt"),
              "Model: box.mbm\n"
              " >Total:\n"
              "    -POSITION, original verts: 24\n"
              "    -POSITION, optimized verts: 8\n"
              "    -GRAPHIC, original verts: 24\n"
              "    -GRAPHIC, optimized verts: 24\n"
              "    -Triangle Count: 12\n"
              "    -Total Bones: 3\n"
              "    -Wasted Bones: 1\n\n");
    EXPECT_TRUE(model.GetTopBone()->mesh.Data()->chunks[0].vertices.IsWriteOnly());
}

TEST_F(Models, WeldingMergesOnlyVerticesEqualInEveryAttribute) {
    TestUtil::WriteFile("tri.mbm", "Mesh { Name { m } Chunk { Vertices { PNC 4 "
                                   "0 0 0 0 0 1 1 0 0 1  1 0 0 0 0 1 1 0 0 1  0 0 0 0 0 1 1 0 0 1 "
                                   "0 0 0 0 0 1 0 1 0 1 } Indices { 6 0 1 2 2 1 3 } } } "
                                   "Bone { Name { b } Mesh { m } }");
    G::Model model;
    ASSERT_TRUE(model.Load("tri.mbm", true, true));
    G::MeshChunk& chunk = model.GetTopBone()->mesh.Data()->chunks[0];
    EXPECT_EQ(chunk.vertices.GetVertexCount(), 3u);
    G::IndexBufferLock lock(chunk.indices);
    uint16_t* indices = nullptr;
    ASSERT_TRUE(lock.GetPointer(indices));
    EXPECT_EQ(std::vector<uint16_t>(indices, indices + 6), std::vector<uint16_t>({0, 1, 0, 0, 1, 2}));
}

TEST_F(Models, TheCacheSharesMeshesAndIsEmptiedOnRequest) {
    TestUtil::WriteFile("box.MBM", ColouredBoxModel(1, 1, 1));
    G::Model first, second;
    ASSERT_TRUE(first.Load("box.MBM", false, true));
    ASSERT_TRUE(second.Load("box.MBM", false, true));
    EXPECT_NE(first.GetTopBone(), second.GetTopBone());
    EXPECT_EQ(first.GetTopBone()->mesh.Data(), second.GetTopBone()->mesh.Data());
    EXPECT_EQ(TestUtil::CountOf(TestUtil::ReadFile("_meshStats.txt"), "Model: "), 1);
    EXPECT_EQ(G::ModelCacheSize(), 1u);
    G::EmptyModelCache();
    G::Model third;
    ASSERT_TRUE(third.Load("box.MBM", false, true));
    EXPECT_NE(third.GetTopBone()->mesh.Data(), first.GetTopBone()->mesh.Data());
}

TEST_F(Models, LoadRefusalsAreReported) {
    TestUtil::WriteFile("nobones.mbm", "Mesh { Name { m } }");
    struct Case {
        const char* file;
        bool readable, optimize;
        const char* message;
    };
    const Case cases[] = {
        {"x.mbm", false, false,
         "No.  If optimize is false, then readableMeshes must be true.  Read the comment in GBMesh.h ... ...\n"},
        {"x.bmbm", true, true, "Cannot load mesh (x.bmbm).  Unrecognized file extension.\n  -call stack:\n"},
        {"nobones.mbm", true, true, "Failed to load mesh: nobones.mbm\n  -No bones found...\n  -call stack:\n"},
        {"missing.mbm", true, true, "Failed to open file: missing.mbm\nFailed to load mesh: missing.mbm\n  -call"},
    };
    for (const Case& c : cases) {
        TestUtil::ClearLog("_error.txt");
        G::Model model;
        EXPECT_FALSE(model.Load(c.file, c.readable, c.optimize));
        EXPECT_NE(TestUtil::ReadFile("_error.txt").find(c.message), std::string::npos) << c.file;
    }
}

std::string ErrorText() { return TestUtil::ReadFile("_error.txt"); }

TEST_F(Models, BrokenTextGetsItsReport) {
    struct Case {
        const char* text;
        bool loads;
        const char* message;
    };
    const Case cases[] = {
        {"Mesh { Name { m } } }", false, "Error parsing mesh: unexpected }\n"},
        {"Bone { Name { { } }", false, "Error parsing mesh: unexpected {\n"},
        {"Bone { Name { b } ConnectPos { 1 x 2 } }", false, "Error parsing mesh: expected float... but found: x\n"},
        {"Mesh { Name { m } Chunk { Indices { 2 0 y } } }", false,
         "Error parsing mesh: expected integer... but found: y\nErrors occured parsing the file t.mbm\n"
         "  error stack: Indices Chunk Mesh(name=m)    \n"},
        {"Bone Name", false, "Error parsing mesh: expected {... but found: Name\n"},
        {"Bone { Name { b c } }", false, "Error parsing mesh: expected }... but found: c\n"},
        {"Bone { Name { b }", false, "Error parsing mesh: expected }... but found: \n"},
        {"Thing }", false, "Error parsing mesh: unexpected } while trying to skip scope.\n"},
        {"Thing", false, "Error parsing mesh: never found opening {, trying to skip scope.\n"},
        {"Mesh { Name { m } Chunk { Vertices { XYZ 2 1 2 3 } } } Bone { Name { b } Mesh { m } }", true,
         "Unsupported vertex type in Mesh.Chunk.Vertices: XYZ\n"},
        {"Mesh { Name { m } Chunk { Vertices { PNC 1 0 0 0 0 0 1 1 1 1 1 } Indices { 3 0 0 70000 } } }", false,
         "Bad.. loading index list from mesh.. an index is out of range (must be 0 to 65535).\n"
         "  -index value: 70000\n  -curMesh name: m\n"
         "Error: index 4464 in a chunk of Mesh(m) of model t.mbm is past the chunk's 1 vertices.\n"},
        {"Mesh { Name { m } Chunk { Indices { 1000000 1 } } }", false,
         "Error parsing mesh: count 1000000 in Indices of model t.mbm is negative, above 65535 or more than the "
         "rest of the file holds.\nErrors occured parsing the file t.mbm\n  error stack: Indices Chunk"},
        {"Mesh { Name { m } Chunk { Vertices { PNT2 3 0 0 0 0 0 0 0 0 } } }", false,
         "Error parsing mesh: count 3 in Vertices"},
        {"Mesh { Name { m } Chunk { TextureC { 2 wood.bmp } } } Bone { Name { b } Mesh { m } }", true,
         "Bad texture stage in TextureC for texture wood.bmp: 2\n"},
        {"Mesh { Name { m } Chunk { TextureB { 0 none.bmp } } } Bone { Name { b } Mesh { m } }", true,
         "Note: mesh(t.mbm) failed to load texture: none.bmp\n"},
        {"Mesh { Name { m } Chunk { TextureC { 0 ..\\x.bmp } } } Bone { Name { b } Mesh { m } }", true,
         "Warning: mesh(t.mbm) names a texture outside its folder: ..\\x.bmp\n"},
        {"Mesh { Name { m } Chunk { Foo { 1 } } } Bone { Name { b } Mesh { m } }", true,
         "Warning parsing mesh: unknown Mesh.Chunk sub-construct: Foo\n"},
        {"Mesh { Name { m } Foo { } } Bone { Name { b } Mesh { m } }", true,
         "Warning parsing mesh: unknown Mesh sub-construct: Foo\n"},
        {"Bone { Name { b } Foo { 1 } }", true, "Warning parsing mesh: unknown Bone sub-construct: Foo\n"},
        {"Thing { 1 } Bone { Name { b } }", true, "Warning parsing mesh(t.mbm): unrecognized base construct: Thing\n"},
        {"Bone { Name { b } } RandomID { 1 }", true,
         "Warning: .mbm file (t.mbm), first construct is not RandomID.  Binary version will not be cached.  Quit "
         "being lazy if you want the game to load faster...\n"
         "Warning: .mbm file (t.mbm), RandomID is only valid as first construct in the file.\n"},
        {"Bone { Name { b } ConnectRot { 2 0 0 0 1 0 0 0 1 } }", true,
         "Warning: Bone \"b\" in model \"t.mbm\" has a scale component in its rotation.\n"},
        {"Bone { Name { a } Child { c } }", false,
         "Bone(a) asked for child \"c\" that doesn't exist.\nErrors in bones of model file: t.mbm\n"},
        {"Bone { Name { r } Child { a } Child { c } } Bone { Name { a } Child { c } } Bone { Name { c } }", false,
         "Bone(a) asked for child \"c\", but that child already has a parent(c)\nErrors in bones of model file"},
        {"Bone { Name { a } Child { a } }", false, "Bone(a) asked for child \"a\", which would close a loop of bones.\n"},
        {"Bone { Name { a } } Bone { Name { b } }", false,
         "Error arranging bones: more than one bone with no parent was found.\n"
         "  -previosly found top-bone name: a\n  -other top bone found: b\n"},
        {"Mesh { Chunk { } } Bone { Name { b } }", false,
         "Error: A Mesh has no name (and hence no way for a bone to use it) in model: t.mbm\n"
         "Errors in meshes of model file: t.mbm\n"},
        {"Bone { Name { b } Mesh { q } }", false,
         "Error attaching meshes to bones: Bone(b) asked for Mesh(q) that couldn't be found.\n"},
    };
    for (const Case& c : cases) {
        TestUtil::WriteFile("t.mbm", c.text);
        TestUtil::ClearLog("_error.txt");
        G::Model model;
        EXPECT_EQ(G::LoadMeshMBM("t.mbm", true, model, true), c.loads) << c.text;
        EXPECT_EQ(model.GetTopBone() != nullptr, c.loads) << c.text;
        EXPECT_NE(ErrorText().find(c.message), std::string::npos) << c.text << "\n" << ErrorText();
    }
    EXPECT_FALSE(std::filesystem::exists("gen"));
}

// A root bone, turned, with a coloured box, and two children: a textured
// lid and a knob that shares the root's mesh.
void WriteChest(float randomID) {
    TestImages::WriteSolidBitmap("m/wood.bmp", 4, 4, 0xFF996633);
    Box lid;
    lid.hz = 0.1f;
    TestUtil::WriteFile("m/chest.mbm",
                        "RandomID { " + Num(randomID) + " }\n" +
                            MeshText("body", BoxChunk({}, false, 0.8f, 0.5f, 0.2f)) +
                            MeshText("lid", BoxChunk(lid, true, 0, 0, 0, "wood.bmp") + BoxChunk(lid, false, 1, 1, 1)) +
                            "Bone { Name { root } Mesh { body } Child { lidbone } Child { knobbone } "
                            "ConnectRot { 0 1 0 -1 0 0 0 0 1 } }\n" +
                            BoneText("lidbone", "lid", {}, 0, 0, 1) +
                            BoneText("knobbone", "body", {}, 0.2f, 0, 1.2f));
}

const char* const ChestPath = "m\\chest.mbm";
const char* const CachePath = "gen\\m\\chest.bmbm";

std::string BufferBytes(G::MeshChunk& chunk) {
    G::VertexBufferLock vertices(chunk.vertices);
    G::IndexBufferLock indices(chunk.indices);
    uint16_t* index = nullptr;
    if (!vertices.GetPointer() || !indices.GetPointer(index)) return "unreadable";
    const char* v = static_cast<const char*>(vertices.GetPointer());
    return std::string(v, chunk.vertices.GetVertexCount() * chunk.vertices.GetVertexSize()) +
           std::string(reinterpret_cast<const char*>(index), 2 * chunk.indices.GetIndexCount());
}

// Everything the cache must keep of a tree, floats to the last bit.
std::string Tree(G::Bone* bone) {
    if (!bone) return "none";
    std::ostringstream out;
    out << std::hexfloat << bone->name << " " << bone->mesh.Name() << " " << bone->Position().x << " "
        << bone->Position().y << " " << bone->Position().z;
    for (int i = 0; i < 9; ++i)
        out << " " << bone->Rotation()[i];
    for (size_t i = 0; i < bone->mesh.ChunkCount(); ++i) {
        G::MeshChunk& chunk = bone->mesh.Data()->chunks[i];
        out << " [" << chunk.textures[0].GetName() << " " << chunk.vertices.GetVertexSize() << " " << BufferBytes(chunk)
            << "]";
    }
    if (const G::MeshData* data = bone->mesh.Data())
        out << " " << data->positions.size() << testing::PrintToString(data->positionIndices);
    for (G::Bone* child : bone->Children())
        out << " (" << Tree(child) << ")";
    return out.str();
}

GLTest::Pixels Drawn(G::Model& model) {
    G::Clear(0xFF000000, true, true, false);
    G::SetPerspectiveView(0, 0, 800, 600, 0.1f, 100.0f);
    SmoothCamera camera(Vector3(0, -3, 3), Vector3(0, 0, 0.5f), Vector3(0, 0, 1));
    G::Apply(camera);
    model.Draw();
    return GLTest::ReadPixels(0, 0, 800, 600);
}

// The cache is read while its RandomID matches the text's and it is whole; it
// is rewritten when not.
TEST_F(Models, TheCacheStandsForTheTextWhileItsRandomIDMatchesAndItIsWhole) {
    WriteChest(0.25f);
    G::Model text, binary, cached, reparsed;
    ASSERT_TRUE(G::LoadMeshMBM(ChestPath, true, text, true));
    const std::string bytes = TestUtil::ReadFile("gen/m/chest.bmbm");
    ASSERT_GT(bytes.size(), 5u);
    // Post-order: children's records (each mesh just before its bone) first.
    EXPECT_EQ(bytes[4], 1);
    EXPECT_EQ(bytes.back(), 0);
    EXPECT_LT(bytes.find("\x07lidbone"), bytes.find("\x08knobbone"));
    EXPECT_LT(bytes.find("\x08knobbone"), bytes.find("\x04root"));
    ASSERT_TRUE(G::LoadMeshBMBM(CachePath, true, binary));
    EXPECT_EQ(Tree(text.GetTopBone()), Tree(binary.GetTopBone()));
    const GLTest::Pixels fromText = Drawn(text);
    EXPECT_TRUE(GLTest::LitBox(fromText).Any());
    EXPECT_TRUE(Drawn(binary).data == fromText.data);

    EXPECT_EQ(G::ReadStoredRandomID(CachePath), 0.25f);
    // The text after a matching RandomID is never read.
    TestUtil::WriteFile("m/chest.mbm", "RandomID { 0.25 } garbage }");
    ASSERT_TRUE(G::LoadMeshMBM(ChestPath, true, cached, true));
    EXPECT_EQ(Tree(text.GetTopBone()), Tree(cached.GetTopBone()));
    WriteChest(0.75f);
    ASSERT_TRUE(G::LoadMeshMBM(ChestPath, true, reparsed, true));
    EXPECT_EQ(G::ReadStoredRandomID(CachePath), 0.75f);
    EXPECT_LT(G::ReadStoredRandomID("gen\\none.bmbm"), 0.0f);

    const std::string cache = TestUtil::ReadFile("gen/m/chest.bmbm");
    struct Case {
        std::string cache;
        const char* message;
    };
    std::string badType = cache, badChild = cache, badFormat = cache, badComponent = cache;
    badType[4] = 7;
    badChild[badChild.rfind("lidbone")] = 'x';
    // The vertex size of the first "body" chunk (after the name, the chunk
    // count, two empty texture names, the format size, three components and
    // the vertex count) no longer matches its format.
    badFormat[cache.find("body") + 4 + 1 + 2 + 1 + 24 + 2] ^= 1;
    badComponent[cache.find("body") + 4 + 1 + 2 + 1] = 9;  // no such component type
    const Case cases[] = {
        {cache.substr(0, 4), "Binary mesh data ends without its end byte.\n"},
        {cache.substr(0, 40), "Problem during loading a binary mesh...\n"},
        {cache.substr(0, cache.size() - 1), "Binary mesh data ends without its end byte.\n"},
        {badType, "Bad TYPE byte in DoLoadBMBMHierarchy.\n"},
        {badChild, "Bone root asked for child xidbone but it wasn't found...\n"},
        {badFormat, "Problem during loading a binary mesh...\n"},
        {badComponent, "Problem during loading a binary mesh...\n"},
    };
    for (const Case& c : cases) {
        TestUtil::WriteFile("gen/m/chest.bmbm", c.cache);
        TestUtil::ClearLog("_error.txt");
        G::Model model;
        ASSERT_TRUE(G::LoadMeshMBM(ChestPath, true, model, true));
        EXPECT_EQ(Tree(reparsed.GetTopBone()), Tree(model.GetTopBone()));
        EXPECT_NE(ErrorText().find(std::string(c.message) + "Failed to load gen\\m\\chest.bmbm\n"), std::string::npos)
            << ErrorText();
        EXPECT_TRUE(TestUtil::ReadFile("gen/m/chest.bmbm") == cache);
    }
}

TEST_F(Models, ModelsTheFormatCannotHoldAreNotCached) {
    const std::string longName(256, 'n');
    TestUtil::WriteFile("long.mbm", "RandomID { 1 } Bone { Name { " + longName + " } }");
    G::Model model;
    ASSERT_TRUE(G::LoadMeshMBM("long.mbm", true, model, true));
    EXPECT_NE(ErrorText().find("Name too long for the binary mesh format (256 bytes): "), std::string::npos);
    EXPECT_NE(ErrorText().find("An error occured trying to save gen\\long.bmbm\n"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists("gen/long.bmbm"));
}

std::string BoneRecord(const std::string& name, const std::string& mesh) {
    std::string record("\x02\0\0\0\0", 5);
    record += char(name.size()) + name + char(mesh.size()) + mesh + '\0';
    return record + std::string(48, '\0');
}

TEST_F(Models, OddBinaryRecordsAndUnreadableModelsAreReported) {
    const std::string mesh("\x01\x01m\0\0\0\0\0", 8); // a mesh "m" without chunks
    auto load = [](const std::string& bytes) {
        TestUtil::ClearLog("_error.txt");
        G::Model model;
        return G::DoLoadBMBMHierarchy(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), true, model);
    };
    EXPECT_TRUE(load(mesh + mesh + BoneRecord("b", "m") + '\0'));
    EXPECT_EQ(ErrorText(), "Note: a mesh went unused in DoLoadBMBMHierarchy.\n");
    EXPECT_FALSE(load(BoneRecord("a", "") + BoneRecord("b", "") + '\0'));
    EXPECT_EQ(ErrorText(), "Too many parent bones after DoLoadBMBMHierarchy finished.\n");
    TestUtil::ClearLog("_error.txt");
    G::Model none;
    EXPECT_FALSE(G::LoadMeshBMBM("none.bmbm", true, none));
    EXPECT_EQ(ErrorText(), "Could not open file \"none.bmbm\" for LoadMeshBMBM.\n");

    // Buffers made write-only can be neither welded, nor read for positions, nor saved.
    TestUtil::WriteFile("box.mbm", ColouredBoxModel(1, 0, 0));
    G::Model model;
    ASSERT_TRUE(G::LoadMeshMBM("box.mbm", false, model, true));
    TestUtil::ClearLog("_error.txt");
    G::Optimize(model.GetTopBone()->mesh);
    G::RebuildPositionsMesh(model.GetTopBone()->mesh);
    EXPECT_FALSE(G::SaveMeshBMBM("box.bmbm", model));
    const std::string log = ErrorText();
    EXPECT_EQ(log.find("Cannot optimize mesh chunk.  Vertex/Index buffer not readable.\n  -call stack:\n"), 0u);
    EXPECT_NE(log.find("RebuildPositionsMesh failing... some ib/vb are write-only.\n  -Call stack:\n"),
              std::string::npos);
    EXPECT_NE(log.find("Bad: VB is write only... not readable... but attempt to save it.\n"
                       "An error occured trying to save box.bmbm\n"),
              std::string::npos);
    std::filesystem::create_directory("taken.bmbm");
    G::Model empty;
    EXPECT_FALSE(G::SaveMeshBMBM("taken.bmbm", empty));
    EXPECT_NE(ErrorText().find("Could not open \"taken.bmbm\" to write to.\n"), std::string::npos);
}

const uint32_t Red = 0x0000FF, Green = 0x00FF00, Blue = 0xFF0000;

class Items : public GLTest::Suite {
protected:
    void SetUp() override {
        GLTest::Suite::SetUp();
        TestUtil::InstallDataFiles();
        Write("placeholder.mbm", ColouredBoxModel(0, 1, 0));
        Write("red.mbm", ColouredBoxModel(1, 0, 0));
        Write("blue.mbm", ColouredBoxModel(0, 0, 1));
        TestImages::WriteSolidBitmap("data/items/oak.bmp", 4, 4, 0xFFFF0000);
        TestImages::WriteSolidBitmap("data/items/pine.bmp", 4, 4, 0xFF0000FF);
        Write("chest.mbm", MeshText("chest", BoxChunk({}, true, 0, 0, 0, "oak.bmp")) +
                               BoneText("root", "chest"));
        TheWorldMap.Reset(8, 8);
    }
    void TearDown() override {
        renderer.reset();
        G::EmptyModelCache();
    }
    static void Write(const std::string& name, const std::string& text) {
        TestUtil::WriteFile("data/items/" + name, text);
    }
    void Make(const std::string& itemsText) {
        Write("items.txt", itemsText);
        renderer.reset();
        renderer.reset(new2(QUIL::RenderObjects, QUIL::RenderObjects));
    }
    // A camera above cell (5, 5), the view window the whole map.
    void DrawFrame() {
        G::Clear(0xFF000000, true, true, false);
        G::SetPerspectiveView(0, 0, 800, 600, 0.1f, 100.0f);
        SmoothCamera camera(Vector3(5, 1, 7), Vector3(5, 5, 0), Vector3(0, 0, 1));
        G::Apply(camera);
        renderer->SetWindow(0, TheWorldMap.N - 1, 0, TheWorldMap.N - 1);
        renderer->Draw();
        G::SetCullMode(G::CullMode::None);
        G::UnsetShader();
    }
    // The window pixels around where a cell's object stands.
    GLTest::HueCount HueAt(int x, int y, uint32_t hue) {
        Vector3 at;
        G::Project(at, Vector3(float(x), float(y), 0.5f));
        const int px = int(at.x), py = 600 - int(at.y);
        return GLTest::CountHue(GLTest::ReadPixels(px - 8, py - 8, 16, 16), px - 8, py - 8, px + 8, py + 8, hue);
    }
    void ExpectShows(int x, int y, uint32_t hue) {
        const GLTest::HueCount count = HueAt(x, y, hue);
        EXPECT_GT(count.lit, 200) << x << "," << y;
        EXPECT_EQ(count.wrong, 0) << x << "," << y;
    }
    void ExpectEmpty(int x, int y) { EXPECT_EQ(HueAt(x, y, Red).lit, 0) << x << "," << y; }

    TestUtil::ScopedFolder folder{"items"};
    struct Deleter {
        void operator()(QUIL::RenderObjects* r) const { delete2(r); }
    };
    std::unique_ptr<QUIL::RenderObjects, Deleter> renderer;
};

TEST_F(Items, TableLinesAreCheckedAndReported) {
    Make("10\n"
         "1\n"
         "\n"
         "2 red.mbm oak.bmp\n"
         "0 red.mbm\n"
         "abc red.mbm\n"
         "11 red.mbm\n"
         "3 ..\\red.mbm\n"
         "4 missing.mbm\n"
         "5 red.mbm\n"
         "5 chest.mbm nothere.bmp pine.bmp oak.bmp new.bmp\n");
    const std::string log = TestUtil::ReadFile("_error.txt");
    for (const char* expected : {
             "Error in line 1 of items.txt: missing model name?\n",
             "Error in line 2 of items.txt: mismatched texture replacement pair?\n",
             "Error in line 3 of items.txt: object number must be >=1\n",
             "Error in line 4 of items.txt: object number must be >=1\n",
             "Error in line 5 of items.txt: an object number greater than the max number was specified.\n",
             "Error in line 6 of items.txt: the model ..\\red.mbm lies outside data\\items\\\n",
             "Warning: Texture replacement operation failed, in loading an item: items.txt, line 9, name: "
             "nothere.bmp\n",
             "Warning: Texture replacement failed to load, in loading an item: items.txt, line 9, name: "
             "data\\items\\new.bmp\n"})
        EXPECT_NE(log.find(expected), std::string::npos) << expected << log;
    ASSERT_EQ(renderer->TableSize(), 11u);
    EXPECT_EQ(renderer->Entry(0).GetTopBone(), nullptr);
    // Failed lines and models leave the placeholder; the later of two lines wins.
    EXPECT_EQ(renderer->Entry(4).GetTopBone()->mesh.Data(), renderer->Entry(10).GetTopBone()->mesh.Data());
    EXPECT_EQ(renderer->Entry(5).GetTopBone()->mesh.Name(), "chest");
}

// The camera looks along the column x = 5; cells on it project where
// G::Project says.
TEST_F(Items, ModelsStandOnTheirCellsUnlistedNumbersShowThePlaceholderAndTexturesAreReplaced) {
    Make("10\n1 chest.mbm\n2 chest.mbm oak.bmp pine.bmp\n3 red.mbm\n");
    TheWorldMap.SetObject(5, 5, 3);
    TheWorldMap.SetObject(5, 8, 7);   // unlisted: placeholder
    TheWorldMap.SetObject(5, 3, 11);  // above the maximum: nothing
    DrawFrame();
    ExpectShows(5, 5, Red);
    ExpectShows(5, 8, Green);
    ExpectEmpty(5, 3);
    // Culling keeps the outside: the sunlit top face is among what shows.
    const GLTest::Pixels all = GLTest::ReadPixels(0, 0, 800, 600);
    int brightest = 0;
    for (uint32_t c : all.data) brightest = std::max(brightest, GLTest::RedOf(c));
    EXPECT_GT(brightest, 230);

    TheWorldMap.SetObject(5, 5, 1);
    TheWorldMap.SetObject(5, 8, 2);
    DrawFrame();
    ExpectShows(5, 5, Red);
    ExpectShows(5, 8, Blue);
}

// Reading the files again once the model cache is emptied is the model cache test's.
TEST_F(Items, AnEmptyTableDrawsNothing) {
    Make("");
    EXPECT_EQ(renderer->TableSize(), 1u);
    TheWorldMap.SetObject(5, 5, 1);
    DrawFrame();
    ExpectEmpty(5, 5);
}

}  // namespace
