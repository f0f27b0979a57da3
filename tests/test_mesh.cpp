// Bones and their world matrices, the vertex weld, the model cache and the
// load statistics.
#include <gtest/gtest.h>

#include <map>
#include <random>

#include "CMemMan.h"
#include "GBMesh.h"
#include "GLTestContext.h"
#include "LogFile.h"
#include "MeshTestModels.h"
#include "TestUtil.h"

namespace {

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
    EXPECT_FALSE(child->IsSavedAsChild());

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
    TestUtil::WriteFile("box.mbm", MeshTest::MeshText("box", MeshTest::BoxChunk({}, false, 1, 0, 0)) +
                                       MeshTest::BoneText("root", "box", {"a", "empty"}) +
                                       MeshTest::BoneText("a", "box") + MeshTest::BoneText("empty", ""));
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
    const G::MeshData* data = model.GetTopBone()->mesh.Data();
    ASSERT_EQ(data->positions.size(), 8u);
    EXPECT_EQ(data->positionIndices.size(), 36u);
    EXPECT_TRUE(data->chunks[0].vertices.IsWriteOnly());
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
    TestUtil::WriteFile("box.MBM", MeshTest::ColouredBoxModel(1, 1, 1));
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

}  // namespace
