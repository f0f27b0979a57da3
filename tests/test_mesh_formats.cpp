// The text model format and its binary cache: every report for broken
// input, the round trip text -> binary -> model, the RandomID rule and the
// fall-back to the text when the cache is damaged.
#include <gtest/gtest.h>

#include <filesystem>

#include "GBMesh.h"
#include "GBMesh_BMBM.h"
#include "GBMesh_LoadMBM.h"
#include "GLRender.h"
#include "GLTestContext.h"
#include "LogFile.h"
#include "MeshTestModels.h"
#include "TestImages.h"
#include "TestUtil.h"

namespace {

std::string ErrorText() { return TestUtil::ReadFile("_error.txt"); }

class Formats : public GLTest::Suite {
protected:
    TestUtil::ScopedFolder folder{"formats"};
};

TEST_F(Formats, BrokenTextGetsItsReport) {
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
    using namespace MeshTest;
    TestImages::WriteSolidBitmap("m/wood.bmp", 4, 4, 0xFF996633);
    MeshTest::Box lid;
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

std::vector<uint8_t> BufferBytes(G::MeshChunk& chunk) {
    G::VertexBufferLock vertices(chunk.vertices);
    G::IndexBufferLock indices(chunk.indices);
    uint16_t* index = nullptr;
    if (!vertices.GetPointer() || !indices.GetPointer(index)) return {};
    const uint8_t* v = static_cast<const uint8_t*>(vertices.GetPointer());
    std::vector<uint8_t> bytes(v, v + chunk.vertices.GetVertexCount() * chunk.vertices.GetVertexSize());
    const uint8_t* i = reinterpret_cast<const uint8_t*>(index);
    bytes.insert(bytes.end(), i, i + 2 * chunk.indices.GetIndexCount());
    return bytes;
}

void ExpectSameTree(G::Bone* a, G::Bone* b) {
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(a->name, b->name);
    EXPECT_EQ(std::vector<float>(a->Rotation(), a->Rotation() + 9), std::vector<float>(b->Rotation(), b->Rotation() + 9));
    EXPECT_EQ(a->Position().z, b->Position().z);
    EXPECT_EQ(a->Position().x, b->Position().x);
    EXPECT_EQ(a->mesh.Name(), b->mesh.Name());
    ASSERT_EQ(a->mesh.ChunkCount(), b->mesh.ChunkCount());
    for (size_t i = 0; i < a->mesh.ChunkCount(); ++i) {
        G::MeshChunk& ca = a->mesh.Data()->chunks[i];
        G::MeshChunk& cb = b->mesh.Data()->chunks[i];
        EXPECT_EQ(ca.textures[0].GetName(), cb.textures[0].GetName());
        EXPECT_EQ(ca.vertices.GetVertexSize(), cb.vertices.GetVertexSize());
        EXPECT_EQ(BufferBytes(ca), BufferBytes(cb));
    }
    if (a->mesh.Data()) {
        EXPECT_EQ(a->mesh.Data()->positionIndices, b->mesh.Data()->positionIndices);
        EXPECT_EQ(a->mesh.Data()->positions.size(), b->mesh.Data()->positions.size());
    }
    ASSERT_EQ(a->Children().size(), b->Children().size());
    for (size_t i = 0; i < a->Children().size(); ++i) ExpectSameTree(a->Children()[i], b->Children()[i]);
}

GLTest::Pixels Drawn(G::Model& model) {
    G::Clear(0xFF000000, true, true, false);
    G::SetPerspectiveView(0, 0, 800, 600, 0.1f, 100.0f);
    SmoothCamera camera(Vector3(0, -3, 3), Vector3(0, 0, 0.5f), Vector3(0, 0, 1));
    G::Apply(camera);
    model.Draw();
    return GLTest::ReadPixels(0, 0, 800, 600);
}

// The cache is read while its RandomID matches the text's and rewritten when not.
TEST_F(Formats, TextSavedAsBinaryLoadsBackTheSameModelWhileTheRandomIDMatches) {
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
    ExpectSameTree(text.GetTopBone(), binary.GetTopBone());
    const GLTest::Pixels fromText = Drawn(text);
    EXPECT_TRUE(GLTest::LitBox(fromText).Any());
    EXPECT_TRUE(Drawn(binary).data == fromText.data);

    EXPECT_EQ(G::ReadStoredRandomID(CachePath), 0.25f);
    // The text after a matching RandomID is never read.
    TestUtil::WriteFile("m/chest.mbm", "RandomID { 0.25 } garbage }");
    ASSERT_TRUE(G::LoadMeshMBM(ChestPath, true, cached, true));
    ExpectSameTree(text.GetTopBone(), cached.GetTopBone());
    WriteChest(0.75f);
    ASSERT_TRUE(G::LoadMeshMBM(ChestPath, true, reparsed, true));
    EXPECT_EQ(G::ReadStoredRandomID(CachePath), 0.75f);
    EXPECT_LT(G::ReadStoredRandomID("gen\\none.bmbm"), 0.0f);
}

TEST_F(Formats, ADamagedCacheFallsBackToTheTextAndIsRewritten) {
    WriteChest(0.5f);
    G::Model good;
    ASSERT_TRUE(G::LoadMeshMBM(ChestPath, true, good, true));
    const std::string bytes = TestUtil::ReadFile("gen/m/chest.bmbm");
    struct Case {
        std::string cache;
        const char* message;
    };
    std::string badType = bytes, badChild = bytes, badFormat = bytes, badComponent = bytes;
    badType[4] = 7;
    badChild[badChild.rfind("lidbone")] = 'x';
    // The vertex size of the first "body" chunk (after the name, the chunk
    // count, two empty texture names, the format size, three components and
    // the vertex count) no longer matches its format.
    badFormat[bytes.find("body") + 4 + 1 + 2 + 1 + 24 + 2] ^= 1;
    badComponent[bytes.find("body") + 4 + 1 + 2 + 1] = 9;  // no such component type
    const Case cases[] = {
        {bytes.substr(0, 4), "Binary mesh data ends without its end byte.\n"},
        {bytes.substr(0, 40), "Problem during loading a binary mesh...\n"},
        {bytes.substr(0, bytes.size() - 1), "Binary mesh data ends without its end byte.\n"},
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
        ExpectSameTree(good.GetTopBone(), model.GetTopBone());
        EXPECT_NE(ErrorText().find(std::string(c.message) + "Failed to load gen\\m\\chest.bmbm\n"), std::string::npos)
            << ErrorText();
        EXPECT_TRUE(TestUtil::ReadFile("gen/m/chest.bmbm") == bytes);
    }
}

TEST_F(Formats, ModelsTheFormatCannotHoldAreNotCached) {
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

TEST_F(Formats, OddBinaryRecordsAndUnreadableModelsAreReported) {
    const std::string mesh("\x01\x01m\0\0\0\0\0", 8);  // a mesh "m" without chunks
    struct Case {
        std::string bytes;
        bool loads;
        const char* message;
    };
    const Case cases[] = {
        {mesh + mesh + BoneRecord("b", "m") + '\0', true, "Note: a mesh went unused in DoLoadBMBMHierarchy.\n"},
        {BoneRecord("a", "") + BoneRecord("b", "") + '\0', false,
         "Too many parent bones after DoLoadBMBMHierarchy finished.\n"},
    };
    for (const Case& c : cases) {
        TestUtil::ClearLog("_error.txt");
        G::Model model;
        EXPECT_EQ(G::DoLoadBMBMHierarchy(reinterpret_cast<const uint8_t*>(c.bytes.data()), c.bytes.size(), true,
                                         model),
                  c.loads);
        EXPECT_EQ(ErrorText(), c.message);
    }
    TestUtil::ClearLog("_error.txt");
    G::Model none;
    EXPECT_FALSE(G::LoadMeshBMBM("none.bmbm", true, none));
    EXPECT_EQ(ErrorText(), "Could not open file \"none.bmbm\" for LoadMeshBMBM.\n");

    // Buffers made write-only can be neither welded, nor read for positions, nor saved.
    TestUtil::WriteFile("box.mbm", MeshTest::ColouredBoxModel(1, 0, 0));
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

}  // namespace
