// Floor textures from shapes: every texel against a separate, literal
// working of the resampling, the clamps at the image's edges, and the
// textures BuildFloorTextures hands out.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "GLTestContext.h"
#include "LogFile.h"
#include "QuilGfxLoader.h"
#include "TestUtil.h"

namespace {

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
        {"3 x 2, transparent corner", MakeShape({{9, 200, 31}, {77, 140, 250}})},
        {"5 x 4 gradient", MakeShape({{0, 10, 20, 30, 40}, {50, 60, 70, 80, 90}, {100, 110, 120, 130, 140},
                                      {150, 160, 170, 180, 190}})},
        {"one pixel wide", MakeShape({{5}, {60}, {120}})},
        {"one pixel high", MakeShape({{5, 60, 120, 180}})},
    };
    for (const auto& c : cases)
        for (bool full : {true, false})
            for (int ty = 0; ty < 64; ++ty)
                for (int tx = 0; tx < 64; ++tx)
                    ASSERT_EQ(FloorTexel(c.shape, tx, ty, full ? 32 : 16), ExpectedTexel(c.shape, tx, ty, full))
                        << c.what << " at " << tx << "," << ty << (full ? " (32 bits)" : " (16 bits)");
}

TEST_F(FloorTextures, CentreCornersAndDegenerateShapes) {
    float u = 0, v = 0;
    DiamondToSquare(0.5f, 0.5f, u, v);
    EXPECT_EQ(u, 0.5f);
    EXPECT_EQ(v, 0.5f);
    // The square's corner lands just inside the diamond's top point.
    DiamondToSquare(0, 0, u, v);
    EXPECT_NEAR(u, 0.5f, 1e-6f);
    EXPECT_NEAR(v, 0.5f - 0.5f / 1.025f, 1e-6f);

    const Shape allTransparent = MakeShape({{7, 7}, {7, 7}});
    const Shape single = MakeShape({{42}});
    Shape opaqueSingle = single;
    opaqueSingle.transparent = 0;
    const Shape empty;
    for (int t : {0, 32, 63}) {
        EXPECT_EQ(FloorTexel(allTransparent, t, t, 32), 0xFF000000u);
        EXPECT_EQ(FloorTexel(single, t, 63 - t, 32), 0xFF000000u);
        EXPECT_EQ(FloorTexel(opaqueSingle, t, 63 - t, 32), 0xFF2AD512u);
        EXPECT_EQ(FloorTexel(opaqueSingle, t, 63 - t, 16), 0xF2D1u);
        EXPECT_EQ(FloorTexel(empty, t, t, 32), 0xFF000000u);
    }
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

}  // namespace
