// The item renderer: items.txt, the models standing on their cells, texture
// replacement, the placeholder and the reload after the model cache is
// emptied, checked by the pixels drawn.
#include <gtest/gtest.h>

#include <memory>

#include "CMemMan.h"
#include "GBMesh.h"
#include "GLRender.h"
#include "GLTestContext.h"
#include "LogFile.h"
#include "Math3D.h"
#include "MeshTestModels.h"
#include "QuilRenderObjects.h"
#include "TestImages.h"
#include "TestUtil.h"
#include "WorldMap.h"

using GLTest::CountHue;
using GLTest::ReadPixels;

namespace {

const uint32_t Red = 0x0000FF, Green = 0x00FF00, Blue = 0xFF0000;

class Items : public GLTest::Suite {
protected:
    void SetUp() override {
        GLTest::Suite::SetUp();
        folder = std::make_unique<TestUtil::ScopedFolder>("items");
        TestUtil::InstallDataFiles();
        Write("placeholder.mbm", MeshTest::ColouredBoxModel(0, 1, 0));
        Write("red.mbm", MeshTest::ColouredBoxModel(1, 0, 0));
        Write("blue.mbm", MeshTest::ColouredBoxModel(0, 0, 1));
        TestImages::WriteSolidBitmap("data/items/oak.bmp", 4, 4, 0xFFFF0000);
        TestImages::WriteSolidBitmap("data/items/pine.bmp", 4, 4, 0xFF0000FF);
        Write("chest.mbm", MeshTest::MeshText("chest", MeshTest::BoxChunk({}, true, 0, 0, 0, "oak.bmp")) +
                               MeshTest::BoneText("root", "chest"));
        TheWorldMap.Reset(8, 8);
    }
    void TearDown() override {
        renderer.reset();
        G::EmptyModelCache();
        folder.reset();
    }
    static void Write(const std::string& name, const std::string& text) {
        TestUtil::WriteFile("data/items/" + name, text);
    }
    QUIL::RenderObjects& Make(const std::string& itemsText) {
        Write("items.txt", itemsText);
        renderer.reset();
        renderer.reset(new2(QUIL::RenderObjects, QUIL::RenderObjects));
        return *renderer;
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
        return CountHue(ReadPixels(px - 8, py - 8, 16, 16), px - 8, py - 8, px + 8, py + 8, hue);
    }
    void ExpectShows(int x, int y, uint32_t hue) {
        const GLTest::HueCount count = HueAt(x, y, hue);
        EXPECT_GT(count.lit, 200) << x << "," << y;
        EXPECT_EQ(count.wrong, 0) << x << "," << y;
    }
    void ExpectEmpty(int x, int y) { EXPECT_EQ(HueAt(x, y, Red).lit, 0) << x << "," << y; }

    std::unique_ptr<TestUtil::ScopedFolder> folder;
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
             "Failed to open file: data\\items\\missing.mbm\n",
             "Warning: Texture replacement operation failed, in loading an item: items.txt, line 9, name: "
             "nothere.bmp\n",
             "Warning: Texture replacement failed to load, in loading an item: items.txt, line 9, name: "
             "data\\items\\new.bmp\n"})
        EXPECT_NE(log.find(expected), std::string::npos) << expected << log;
    ASSERT_EQ(renderer->TableSize(), 11u);
    EXPECT_EQ(renderer->Entry(0).GetTopBone(), nullptr);
    // Failed lines leave the placeholder; the later of two lines wins.
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
    const GLTest::Pixels all = ReadPixels(0, 0, 800, 600);
    int brightest = 0;
    for (uint32_t c : all.data) brightest = std::max(brightest, GLTest::RedOf(c));
    EXPECT_GT(brightest, 230);

    TheWorldMap.SetObject(5, 5, 1);
    TheWorldMap.SetObject(5, 8, 2);
    DrawFrame();
    ExpectShows(5, 5, Red);
    ExpectShows(5, 8, Blue);
}

TEST_F(Items, AnEmptyTableDrawsNothingAndARendererMadeAfterTheCacheIsEmptiedDrawsTheFilesAsTheyAreNow) {
    Make("");
    EXPECT_EQ(renderer->TableSize(), 1u);
    TheWorldMap.SetObject(5, 5, 1);
    TheWorldMap.SetObject(5, 8, 2);
    DrawFrame();
    ExpectEmpty(5, 5);
    Make("10\n1 red.mbm\n");
    Write("red.mbm", MeshTest::ColouredBoxModel(0, 0, 1));
    renderer.reset();
    G::EmptyModelCache();
    Make("10\n1 red.mbm\n2 red.mbm\n");
    DrawFrame();
    ExpectShows(5, 5, Blue);
    ExpectShows(5, 8, Blue);
}

}  // namespace
