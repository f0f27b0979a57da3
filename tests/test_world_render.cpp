// The game's graphics files, the floor textures made from shapes, and the
// world renderer on a small known map judged by the pixels it draws: every
// floor cell in its own colour, so that where each cell lands is read back
// from the picture rather than worked out again with the matrices that drew it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>

#include "GLRender.h"
#include "GameHooks.h"
#include "QuilDataManager.h"
#include "QuilGfxLoader.h"
#include "QuilRenderer.h"
#include "TestImages.h"
#include "TestUtil.h"
#include "TextTestGL.h"
#include "WorldMap.h"

using GLTest::BlueOf;
using GLTest::GreenOf;
using GLTest::RedOf;
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
    for (int i = 0; i < 256; ++i) file += {char(i), char(255 - i), char(i ^ 0x55)};
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
        file += {char(s.width), char(s.height), '\x07', '\x09'};
        file.append(s.fileRows.begin(), s.fileRows.end());
    }
    return file;
}

// The resampling written out step by step from its description, sharing no
// code with the loader: corners rotated onto the diamond, bilinear weights,
// transparent samples left out.
uint32_t ExpectedTexel(const Shape& shape, int tx, int ty, bool full) {
    const int height = int(shape.rows.size()), width = int(shape.rows[0].size());
    const float pi = 3.1415927f, c = std::cos(pi / 4), d = std::sin(pi / 4);
    const float k = float(1.0 / (std::sqrt(2.0) * 1.025));
    const float px = float(tx) * 0.015625f - 0.5f, py = float(ty) * 0.015625f - 0.5f;
    const float u = k * (c * px - d * py) + 0.5f, v = k * (d * px + c * py) + 0.5f;
    const float xf = u * float(width) - 0.5f, yf = v * float(height) - 0.5f;
    int ix = int(std::floor(xf)), iy = int(std::floor(yf));
    float wx = float(1 - std::fmod(double(xf), 1.0)), wy = float(1 - std::fmod(double(yf), 1.0));
    if (ix < 0) ix = 0, wx = 0;
    if (ix > width - 2) ix = width - 2, wx = 1;
    if (iy < 0) iy = 0, wy = 0;
    if (iy > height - 2) iy = height - 2, wy = 1;
    float r = 0, g = 0, b = 0, w = 0;
    auto sample = [&](int x, int y, float weight) {
        x = std::min(std::max(x, 0), width - 1);
        y = std::min(std::max(y, 0), height - 1);
        uint8_t index = shape.rows[y][x];
        if (index == shape.transparent) return;
        r += GamePalette[index].red * weight, g += GamePalette[index].green * weight;
        b += GamePalette[index].blue * weight, w += weight;
    };
    sample(ix, iy, wx * wy);
    sample(ix + 1, iy, (1 - wx) * wy);
    sample(ix, iy + 1, wx * (1 - wy));
    sample(ix + 1, iy + 1, (1 - wx) * (1 - wy));
    if (w > 0) r /= w, g /= w, b /= w;
    if (full) return 0xFF000000u | uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b);
    return 0xF000u | uint32_t(r * 0.0625f) << 8 | uint32_t(g * 0.0625f) << 4 | uint32_t(b * 0.0625f);
}

Shape MakeShape(std::vector<std::vector<uint8_t>> rows) {
    Shape shape;
    shape.rows = std::move(rows);
    shape.transparent = shape.rows[0][0];
    return shape;
}

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
        std::replace(file.begin(), file.end(), '\\', '/');
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

// Before the window opens no texture can be made: the first shape stops the run.
TEST(FloorTexturesWithoutGraphics, ReportAndStop) {
    TestUtil::ClearLog("_error.txt");
    std::vector<G::Texture> textures;
    EXPECT_FALSE(BuildFloorTextures({MakeShape({{1, 2}, {3, 4}}), MakeShape({{1}})}, textures));
    EXPECT_TRUE(textures.empty());
    EXPECT_EQ(TestUtil::CountOf(TestUtil::ReadFile("_error.txt"),
                                "Texture create failed while doing floor tile conversion.\n"), 1);
}

class FloorTextures : public GLTest::Suite {
protected:
    void SetUp() override {
        GLTest::Suite::SetUp();
        for (int i = 0; i < 256; ++i) GamePalette[i] = ColorWord{0, uint8_t(i), uint8_t(255 - i), uint8_t(i * 37)};
    }
};

TEST_F(FloorTextures, EveryTexelFollowsTheResampling) {
    const struct {
        const char* what;
        Shape shape;
    } cases[] = {
        {"5 x 4 gradient", MakeShape({{0, 10, 20, 30, 40}, {50, 60, 70, 80, 90}, {100, 110, 120, 130, 140},
                                      {150, 160, 170, 180, 190}})},
        {"one pixel wide", MakeShape({{5}, {60}, {120}})},
        {"one pixel high", MakeShape({{5, 60, 120, 180}})},
        {"all transparent", MakeShape({{7, 7}, {7, 7}})},
        {"one opaque pixel", Shape{0, {{42}}}},
    };
    for (const auto& c : cases)
        for (bool full : {true, false})
            for (int ty = 0; ty < 64; ++ty)
                for (int tx = 0; tx < 64; ++tx)
                    ASSERT_EQ(FloorTexel(c.shape, tx, ty, full ? 32 : 16), ExpectedTexel(c.shape, tx, ty, full))
                        << c.what << " at " << tx << "," << ty << (full ? " (32 bits)" : " (16 bits)");
    EXPECT_EQ(FloorTexel(Shape(), 0, 0, 32), 0xFF000000u) << "an empty shape";
}

TEST_F(FloorTextures, OneTexturePerShapeHoldingItsTexels) {
    const ShapeList shapes = {MakeShape({{9, 200, 31}, {77, 140, 250}}), MakeShape({{1, 2}, {3, 4}})};
    std::vector<G::Texture> textures(3);
    ASSERT_TRUE(BuildFloorTextures(shapes, textures));
    ASSERT_EQ(textures.size(), 2u);
    for (size_t i = 0; i < shapes.size(); ++i) {
        ASSERT_EQ(textures[i].GetWidth(), 64u);
        G::TextureLock lock(textures[i], 0, false);
        uint32_t pitch = 0;
        const uint32_t* texels = GLTest::LockedTexels(lock, &pitch);
        ASSERT_NE(texels, nullptr);
        for (int ty = 0; ty < 64; ty += 9)
            for (int tx = 0; tx < 64; tx += 7)
                EXPECT_EQ(texels[ty * pitch + tx], ExpectedTexel(shapes[i], tx, ty, true)) << i;
    }
    EXPECT_TRUE(BuildFloorTextures(ShapeList(), textures));
    EXPECT_TRUE(textures.empty());
    EXPECT_EQ(TestUtil::ReadFile("_error.txt"), "");
}

// --- the world ----------------------------------------------------------------

const int Side = 12;  // map cells per side; the view cell is in the middle
const int CentreCell = 6;
const uint8_t VestRed = 1, VestBlue = 2, PastTheVestTable = 90;

int FloorOf(int x, int y) { return y * Side + x; }

// 256 different colours, none darker than 40 in any channel.
ColorWord FloorColor(int f) {
    return ColorWord{0, uint8_t(40 + f % 8 * 30), uint8_t(40 + f / 8 % 8 * 30), uint8_t(40 + f / 64 * 60)};
}
uint32_t Packed(const ColorWord& c) { return uint32_t(c.blue) << 16 | uint32_t(c.green) << 8 | c.red; }

struct Cell {
    int x = -1, y = -1;
    bool operator==(const Cell&) const = default;
};

// Every map cell in view has a colour of its own; this finds it again.
Cell CellOfColor(uint32_t packed) {
    static std::map<uint32_t, Cell> cells;
    if (cells.empty())
        for (int y = 0; y < Side; ++y)
            for (int x = 0; x < Side; ++x) cells[Packed(FloorColor(FloorOf(x, y)))] = {x, y};
    auto found = cells.find(packed);
    return found == cells.end() ? Cell() : found->second;
}

GLTest::Pixels Frame() {
    G::Clear(0, true, true, false);
    G::SetViewportFull();
    RenderWorld();
    return GLTest::ReadPixels(0, 0, 800, 600);
}

struct Centroid {
    double x = 0, y = 0;
    int count = 0;
};

Centroid CentroidOf(const GLTest::Pixels& p, Cell cell) {
    Centroid c;
    const uint32_t colour = Packed(FloorColor(FloorOf(cell.x, cell.y)));
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x)
            if (p.At(x, y) == colour) c.x += x, c.y += y, ++c.count;
    if (c.count) c.x /= c.count, c.y /= c.count;
    return c;
}

// Bounds of the pixels that differ between two pictures, in the rows from top up to bottom.
GLTest::Box Changed(const GLTest::Pixels& a, const GLTest::Pixels& b, int top = 0, int bottom = 600) {
    GLTest::Pixels diff = a;
    for (size_t i = 0; i < a.data.size(); ++i)
        diff.data[i] = a.data[i] != b.data[i] && int(i) / 800 >= top && int(i) / 800 < bottom ? 0xFFFFFF : 0;
    return GLTest::LitBox(diff);
}

class World : public TextTest::SceneSuite {
protected:
    void SetUp() override {
        GLTest::Suite::SetUp();
        for (int i = 0; i < 256; ++i) GamePalette[i] = FloorColor(i);
        PartColorTables[Vest].colors[VestRed] = ColorWord{0, 255, 0, 0};
        PartColorTables[Vest].colors[VestBlue] = ColorWord{0, 0, 0, 255};
        TestImages::WriteSolidBitmap("data/walls/stone1.bmp", 4, 4, 0xFF00FF00);  // plain green walls
        MakeMap(Side / 2);
        TheAvatarList.Clear();
        TheDreamPortalList.Clear();
        TheViewCell.Set(CentreCell, CentreCell);
        ASSERT_TRUE(InitRenderers());
        InstallRendererHooks();
        ASSERT_TRUE(TheGameHooks.installFloorTextures(UniformShapes()));
        SetHighlightCell(-100, -100);
        UpdateRenderers(999);
    }
    void TearDown() override { ShutdownRenderers(); }

    static void MakeMap(int half) {
        TheWorldMap.Reset(half, half);
        for (int y = 0; y < TheWorldMap.N; ++y)
            for (int x = 0; x < TheWorldMap.N; ++x) TheWorldMap.SetFloor(x, y, uint16_t(FloorOf(x, y) % 256));
    }
    // Shape f is all colour f but for its transparent corner, which the
    // diamond never reaches.
    static ShapeList UniformShapes() {
        ShapeList shapes(256);
        for (int f = 0; f < 256; ++f) {
            shapes[f].rows.assign(8, std::vector<uint8_t>(8, uint8_t(f)));
            shapes[f].rows[0][0] = shapes[f].transparent = uint8_t(f + 1);
        }
        return shapes;
    }
    static void Settle() { UpdateCamera(999, CameraKeys()); }
};

TEST_F(World, EveryDrawnCellIsTheCellPickedThereAndTheViewIsUpright) {
    const GLTest::Pixels p = Frame();
    EXPECT_EQ(CellOfColor(p.At(400, 300)), (Cell{CentreCell, CentreCell}));
    std::map<int, int> cellsSeen;
    int mismatches = 0;
    for (int y = 2; y < 598; y += 6)
        for (int x = 2; x < 798; x += 6) {
            const uint32_t c = p.At(x, y);
            Cell drawn = CellOfColor(c);
            // Pixels on a cell's border may go either way.
            if (drawn.x < 0 || p.At(x - 1, y) != c || p.At(x + 1, y) != c || p.At(x, y - 1) != c || p.At(x, y + 1) != c)
                continue;
            Cell picked;
            PickCell(x, y, picked.x, picked.y);
            mismatches += !(picked == drawn);
            ++cellsSeen[FloorOf(drawn.x, drawn.y)];
        }
    EXPECT_EQ(mismatches, 0);
    EXPECT_GT(cellsSeen.size(), 100u);
    // The camera stands off toward +x +y looking down: nearer cells lower on
    // the window, and the camera's right is toward -x +y.
    Centroid far = CentroidOf(p, {4, 4}), near = CentroidOf(p, {8, 8});
    Centroid left = CentroidOf(p, {8, 4}), right = CentroidOf(p, {4, 8});
    ASSERT_TRUE(far.count && near.count && left.count && right.count);
    EXPECT_LT(far.y, near.y - 100);
    EXPECT_LT(left.x, right.x - 100);
}

TEST_F(World, WallMarkersAndHighlight) {
    const GLTest::Pixels before = Frame();
    TheWorldMap.SetWallX(CentreCell + 1, CentreCell, 1);
    TheWorldMap.SetWallY(CentreCell + 2, CentreCell - 1, 1);
    AvatarRecord dressed, unknown;
    dressed.colours[5] = VestRed, dressed.colours[0] = VestBlue;
    dressed.cellX = CentreCell - 1, dressed.cellY = CentreCell;
    unknown.colours[5] = unknown.colours[0] = PastTheVestTable;
    unknown.cellX = unknown.cellY = CentreCell + 1;
    TheAvatarList.Append(dressed);
    TheAvatarList.Append(unknown);
    SetHighlightCell(CentreCell - 1, CentreCell + 1);
    const GLTest::Pixels after = Frame();

    G::SetPerspectiveView(0, 0, 800, 600, 1, 100);
    Vector3 marker, blackMarker, lit;
    ASSERT_TRUE(G::Project(marker, Vector3(CentreCell - 1, CentreCell, 0.5f)));
    ASSERT_TRUE(G::Project(blackMarker, Vector3(CentreCell + 1, CentreCell + 1, 0.5f)));
    ASSERT_TRUE(G::Project(lit, Vector3(CentreCell - 1, CentreCell + 1, 0)));
    auto at = [&](const GLTest::Pixels& p, const Vector3& w) { return p.At(int(w.x), 599 - int(w.y)); };
    // Near the corners of both walls: one across x = 6.5, one across y = 4.5.
    const Vector3 onWalls[] = {{6.5f, 5.6f, 0.1f}, {6.5f, 6.4f, 0.9f}, {7.6f, 4.5f, 0.1f}, {8.4f, 4.5f, 0.9f}};
    for (const Vector3& point : onWalls) {
        Vector3 w;
        ASSERT_TRUE(G::Project(w, point));
        EXPECT_EQ(at(after, w), 0x00FF00u) << point.x << "," << point.y << "," << point.z;
        EXPECT_NE(at(before, w), 0x00FF00u);
    }
    // Each wall is one cell long.
    for (const Vector3& point : {Vector3(6.5f, 7.0f, 0.5f), Vector3(9.0f, 4.5f, 0.5f)}) {
        Vector3 w;
        ASSERT_TRUE(G::Project(w, point));
        EXPECT_NE(at(after, w), 0x00FF00u) << point.x << "," << point.y;
    }

    int reddish = 0, bluish = 0, black = 0;
    for (int dy = -30; dy <= 30; ++dy)
        for (int dx = -30; dx <= 30; ++dx) {
            uint32_t c = after.At(int(marker.x) + dx, 599 - int(marker.y) + dy);
            reddish += RedOf(c) > 200 && BlueOf(c) < 60;
            bluish += BlueOf(c) > RedOf(c) + 60;
            uint32_t k = after.At(int(blackMarker.x) + dx, 599 - int(blackMarker.y) + dy);
            black += RedOf(k) < 15 && GreenOf(k) < 15 && BlueOf(k) < 15;
        }
    EXPECT_GT(reddish, 0);
    EXPECT_GT(bluish, 0);
    EXPECT_GT(black, 0);

    // Black at a quarter, then white at a fifth, over the floor.
    const uint32_t floor = at(before, lit), shaded = at(after, lit);
    for (int shift : {0, 8, 16}) {
        const double c = (floor >> shift) & 0xFF;
        EXPECT_NEAR((shaded >> shift) & 0xFF, c * 0.75 * 0.8 + 255 * 0.2, 3) << shift;
    }
}

TEST_F(World, EachFacingTurnsTheMarkerItsOwnWayWithinItsSquare) {
    const GLTest::Pixels empty = Frame();
    // The window box of what a marker may cover: 0.2 round its cell, 0.1 to 0.9 up.
    G::SetPerspectiveView(0, 0, 800, 600, 1, 100);
    ASSERT_NE(CurrentCamera(), nullptr);
    G::Apply(*CurrentCamera());
    float left = 800, right = 0, top = 600, bottom = 0;
    for (int corner = 0; corner < 8; ++corner) {
        Vector3 w;
        ASSERT_TRUE(G::Project(w, Vector3(CentreCell + (corner & 1 ? 0.2f : -0.2f),
                                          CentreCell + (corner & 2 ? 0.2f : -0.2f), corner & 4 ? 0.9f : 0.1f)));
        left = std::min(left, w.x), right = std::max(right, w.x);
        top = std::min(top, 599 - w.y), bottom = std::max(bottom, 599 - w.y);
    }
    std::set<std::vector<uint32_t>> frames;
    AvatarRecord avatar;
    avatar.cellX = avatar.cellY = CentreCell;
    for (avatar.facing = 0; avatar.facing < 4; ++avatar.facing) {
        TheAvatarList.Clear();
        TheAvatarList.Append(avatar);
        const GLTest::Pixels p = Frame();
        frames.insert(p.data);
        const GLTest::Box marker = Changed(empty, p);
        ASSERT_TRUE(marker.Any()) << avatar.facing;
        EXPECT_TRUE(marker.left >= left - 1 && marker.right <= right + 1 && marker.top >= top - 1 &&
                    marker.bottom <= bottom + 1)
            << avatar.facing;
    }
    EXPECT_EQ(frames.size(), 4u) << "every facing draws differently";
}

TEST_F(World, PortalLabelIsCentredOverItsPortal) {
    const GLTest::Pixels empty = Frame();
    DreamPortal portal;
    portal.cellX = CentreCell - 2, portal.cellY = CentreCell + 1;
    TheDreamPortalList.Append(portal);
    const GLTest::Pixels unlabelled = Frame();
    TheDreamPortalList.Clear();
    portal.name = "abc", portal.text = "de|fghij";
    TheDreamPortalList.Append(portal);
    const GLTest::Pixels labelled = Frame();

    const GLTest::Box cylinder = Changed(empty, unlabelled), label = Changed(unlabelled, labelled);
    ASSERT_TRUE(cylinder.Any() && label.Any());
    // The label stands on the portal's axis at 1.5 units: compare with the
    // cylinder's width on the row just under the label.
    const GLTest::Box row = Changed(empty, unlabelled, label.bottom + 3, label.bottom + 4);
    EXPECT_NEAR(label.left + label.right, row.left + row.right, 12) << label.left << ".." << label.right;
    EXPECT_GT(label.right - label.left, 50) << "eight characters of 8 pixels";
    EXPECT_GT(label.top, cylinder.top - 50);
    EXPECT_LT(label.bottom, (cylinder.top + cylinder.bottom) / 2);
}

TEST_F(World, KeypadFourAndSixOrbitOppositeWaysAndFiveComesBack) {
    const GLTest::Pixels start = Frame();
    const Centroid home = CentroidOf(start, {4, 4});
    UpdateCamera(0.2f, CameraKeys{true, false, false});
    Settle();
    const Centroid turnedFour = CentroidOf(Frame(), {4, 4});
    UpdateCamera(0.4f, CameraKeys{false, true, false});
    Settle();
    const Centroid turnedSix = CentroidOf(Frame(), {4, 4});
    ASSERT_TRUE(home.count && turnedFour.count && turnedSix.count);
    EXPECT_LT((turnedFour.x - home.x) * (turnedSix.x - home.x), -100);

    UpdateCamera(0.3f, CameraKeys{true, false, true});
    Settle();
    const GLTest::Pixels back = Frame();
    EXPECT_EQ(back.data, start.data);
}

TEST_F(World, FloorsAreRebuiltOnlyWhenTheViewChanges) {
    MakeMap(20);
    TheGameHooks.installFloorTextures(UniformShapes());
    UpdateRenderers(0.02f);
    const uint32_t first = FloorRebuildCount();
    Frame();
    Frame();
    EXPECT_EQ(FloorRebuildCount(), first + 1);
    const int steps = 4;
    for (int i = 1; i <= steps; ++i) {
        TheViewCell.Set(CentreCell + i, CentreCell);
        UpdateRenderers(0.02f);
        Frame();
    }
    EXPECT_EQ(FloorRebuildCount(), first + 1 + steps);
    // The window now spans x 0..25 and y 0..21.
    TheGameHooks.markFloorDirty(30, 10);
    TheGameHooks.markFloorDirty(10, 22);
    Frame();
    EXPECT_EQ(FloorRebuildCount(), first + 1 + steps);
    TheGameHooks.markFloorDirty(25, 21);
    Frame();
    EXPECT_EQ(FloorRebuildCount(), first + 2 + steps);
}

TEST_F(World, TheViewWindowStaysInsideTheMap) {
    const struct {
        RenderViewRecord view;
        ViewWindow window;
    } cases[] = {
        {{100, 100, 0, 0}, {0, 15, 0, 15}},
        {{100, 100, 50, 99}, {35, 65, 84, 99}},
        {{10, 10, -40, 3}, {0, -25, 0, 9}},
    };
    for (const auto& c : cases) {
        ViewWindow w = ViewWindowOf(c.view);
        EXPECT_EQ(std::vector<int>({w.x0, w.x1, w.y0, w.y1}),
                  std::vector<int>({c.window.x0, c.window.x1, c.window.y0, c.window.y1}));
    }
    // A map smaller than the view shows every cell, the last row and column
    // too; floor numbers past the 256 textures leave their cell bare.
    MakeMap(2);
    TheWorldMap.SetFloor(0, 0, 256);
    TheWorldMap.SetFloor(3, 0, MapCell::NoFloor);
    TheViewCell.Set(1, 1);
    UpdateRenderers(999);
    const GLTest::Pixels small = Frame();
    std::map<int, int> shown;
    for (uint32_t c : small.data)
        if (Cell cell = CellOfColor(c); cell.x >= 0) ++shown[FloorOf(cell.x, cell.y)];
    EXPECT_EQ(shown.size(), 14u);
    EXPECT_EQ(shown.count(FloorOf(0, 0)) + shown.count(FloorOf(3, 0)), 0u);
    EXPECT_EQ(shown.count(FloorOf(3, 3)), 1u);
    // A view cell far off the map (a server may send one) draws nothing,
    // not even the highlight of the cell under the pointer.
    TheViewCell.Set(-40, 70);
    SetHighlightCell(-40, 70);
    UpdateRenderers(999);
    const GLTest::Pixels off = Frame();
    EXPECT_EQ(std::count(off.data.begin(), off.data.end(), 0u), long(off.data.size()));
}

}  // namespace
