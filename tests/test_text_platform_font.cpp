// The font rasteriser of the platform layer: which face a name gets, and
// where a character's ink lands in the canvas.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "platform/PlatformFont.h"

namespace {

struct Ink {
    int left = -1, right = -1, top = -1, bottom = -1, maximum = 0;
    bool Any() const { return left >= 0; }
};

struct Face {
    Face(const std::string& name, int height, bool fixed) { face = Platform::OpenFont(name, height, fixed, error); }
    ~Face() { Platform::CloseFont(face); }
    Platform::FontFace* face = nullptr;
    std::string error;
};

// Draws over garbage, which drawing must clear, and finds the ink.
Ink Draw(Platform::FontFace* face, unsigned char code, int x, int y, int size, std::vector<uint8_t>& canvas) {
    canvas.assign(size_t(size * size), 0x5A);
    Platform::DrawCharacter(face, code, x, y, canvas.data(), size);
    Ink ink;
    for (int row = 0; row < size; ++row)
        for (int col = 0; col < size; ++col)
            if (int v = canvas[size_t(row * size + col)]) {
                if (ink.left < 0 || col < ink.left) ink.left = col;
                ink.right = std::max(ink.right, col);
                if (ink.top < 0) ink.top = row;
                ink.bottom = row;
                ink.maximum = std::max(ink.maximum, v);
            }
    return ink;
}

class PlatformFontDrawing : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(f.face, nullptr) << f.error; }
    Face f{"Arial", 15, false};
    std::vector<uint8_t> canvas;
};

}  // namespace

TEST(PlatformFontChoice, DesktopNamesGetStandInsInstalledFamiliesTheirOwnAndUnknownsFallBackByPitch) {
    const struct {
        const char* name;
        bool fixed;
        const char* family;
    } cases[] = {
#ifndef _WIN32  // Windows' own font mapper chooses there, from the faces that system has
        {"Arial", false, "Liberation Sans"}, {"Ariel", false, "Liberation Sans"},  // the default font's name
        {"Times New Roman", false, "Liberation Serif"}, {"Courier New", true, "Liberation Mono"},
#endif
        {"liberation serif", true, "Liberation Serif"},  // the flag does not override a family that exists
        {"No Such Face", true, "Liberation Mono"},
    };
    for (const auto& c : cases) {
        Face face(c.name, 15, c.fixed);
        ASSERT_NE(face.face, nullptr) << face.error;
        EXPECT_EQ(Platform::FontFamily(face.face), c.family) << c.name;
    }
    Face proportional("No Such Face", 15, false);
    ASSERT_NE(proportional.face, nullptr) << proportional.error;
    EXPECT_NE(Platform::FontFamily(proportional.face), "Liberation Mono");
    Face none("Arial", 0, false);
    EXPECT_EQ(none.face, nullptr);
    EXPECT_FALSE(none.error.empty());
}

TEST_F(PlatformFontDrawing, InkSitsInsideTheCellBelowItsTopLeftAndMovesWithThePen) {
    for (unsigned char c : {'g', 'j', 'W', '|'}) {
        // A roomy canvas, so that ink leaving the cell would be seen.
        Ink ink = Draw(f.face, c, 4, 1, 32, canvas);
        ASSERT_TRUE(ink.Any()) << c;
        EXPECT_GE(ink.top, 1) << c;
        EXPECT_LE(ink.bottom, 15) << c;
        EXPECT_GE(ink.left, 3) << c;       // a 'j' may hang one pixel left of its pen
        EXPECT_GT(ink.maximum, 200) << c;  // coverage, not a faint smear
    }
    Ink at1 = Draw(f.face, 'M', 1, 1, 32, canvas);
    std::vector<uint8_t> first = canvas;
    Ink at4 = Draw(f.face, 'M', 4, 3, 32, canvas);
    EXPECT_EQ(at4.right, at1.right + 3);
    for (int y = 0; y < 29; ++y)
        for (int x = 0; x < 28; ++x) ASSERT_EQ(first[size_t(y * 32 + x)], canvas[size_t((y + 2) * 32 + x + 3)]);
    // Capitals stand on the baseline, descenders go below it.
    EXPECT_GT(Draw(f.face, 'g', 1, 1, 16, canvas).bottom, Draw(f.face, 'A', 1, 1, 16, canvas).bottom);
}

TEST_F(PlatformFontDrawing, InkOutsideTheCanvasIsClipped) {
    EXPECT_FALSE(Draw(f.face, 'W', -100, 1, 16, canvas).Any());
    EXPECT_FALSE(Draw(f.face, 'W', 1, 100, 16, canvas).Any());
    EXPECT_EQ(Draw(f.face, 'W', 10, 1, 16, canvas).right, 15);
    EXPECT_FALSE(Draw(nullptr, 'A', 1, 1, 16, canvas).Any()) << "no face: a clear canvas";
    Platform::CloseFont(nullptr);
}

TEST_F(PlatformFontDrawing, HighBytesAreWindows1252) {
    // 0x81, 0x8D, 0x8F, 0x90 and 0x9D are holes in the code page.
    const std::pair<unsigned char, uint32_t> codes[] = {{0x80, 0x20AC}, {0x9F, 0x0178}, {0xE9, 0xE9}, {'A', 'A'},
                                                        {0x81, 0},      {0x8D, 0},      {0x8F, 0},    {0x90, 0},
                                                        {0x9D, 0}};
    for (auto [byte, unicode] : codes) EXPECT_EQ(Platform::Windows1252ToUnicode(byte), unicode) << int(byte);
    EXPECT_TRUE(Draw(f.face, 0x80, 1, 1, 16, canvas).Any());   // euro sign
    EXPECT_FALSE(Draw(f.face, 0x81, 1, 1, 16, canvas).Any());  // unassigned: blank, not a box
}

TEST(PlatformFontSizes, TallerCellsDrawTallerGlyphs) {
    // A capital of the stand-in for Arial takes about 0.62 of the cell.
    std::vector<uint8_t> canvas;
    for (int height : {12, 31}) {
        Face face("Arial", height, false);
        ASSERT_NE(face.face, nullptr);
        Ink ink = Draw(face.face, 'H', 1, 1, 64, canvas);
        EXPECT_NEAR(ink.bottom - ink.top + 1, height * 0.62, 1.5) << height;
    }
}
