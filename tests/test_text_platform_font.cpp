// The font rasteriser of the platform layer: which face a name gets, and
// where a character's ink lands in the canvas.
#include <gtest/gtest.h>

#include <vector>

#include "platform/PlatformFont.h"

namespace {

struct Ink {
    int left = -1, right = -1, top = -1, bottom = -1;
    int maximum = 0;
    bool Any() const { return left >= 0; }
};

Ink FindInk(const std::vector<uint8_t>& canvas, int size) {
    Ink ink;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            int v = canvas[size_t(y * size + x)];
            if (!v) continue;
            if (ink.left < 0 || x < ink.left) ink.left = x;
            if (x > ink.right) ink.right = x;
            if (ink.top < 0) ink.top = y;
            ink.bottom = y;
            if (v > ink.maximum) ink.maximum = v;
        }
    return ink;
}

class Face {
public:
    Face(const std::string& name, int height, bool fixed) {
        face = Platform::OpenFont(name, height, fixed, error);
    }
    ~Face() { Platform::CloseFont(face); }
    Platform::FontFace* face = nullptr;
    std::string error;
};

Ink Draw(Platform::FontFace* face, unsigned char code, int x, int y, int size, std::vector<uint8_t>& canvas) {
    canvas.assign(size_t(size * size), 0x5A);  // garbage that drawing must clear
    Platform::DrawCharacter(face, code, x, y, canvas.data(), size);
    return FindInk(canvas, size);
}

}  // namespace

// Windows' own font mapper chooses there, from the faces that system has.
#ifndef _WIN32
TEST(PlatformFontChoice, DesktopFacesGetTheirMetricCompatibleStandIns) {
    Face arial("Arial", 15, false), times("Times New Roman", 15, false), courier("Courier New", 15, true);
    Face ariel("Ariel", 15, false);  // the default font's name
    ASSERT_NE(arial.face, nullptr) << arial.error;
    ASSERT_NE(ariel.face, nullptr) << ariel.error;
    EXPECT_EQ(Platform::FontFamily(ariel.face), "Liberation Sans");
    ASSERT_NE(times.face, nullptr) << times.error;
    ASSERT_NE(courier.face, nullptr) << courier.error;
    EXPECT_EQ(Platform::FontFamily(arial.face), "Liberation Sans");
    EXPECT_EQ(Platform::FontFamily(times.face), "Liberation Serif");
    EXPECT_EQ(Platform::FontFamily(courier.face), "Liberation Mono");
}
#endif

TEST(PlatformFontChoice, InstalledFamilyIsTakenAsNamedIgnoringCase) {
    Face exact("liberation serif", 15, true);
    ASSERT_NE(exact.face, nullptr) << exact.error;
    // The fixed-pitch flag does not override a family that exists.
    EXPECT_EQ(Platform::FontFamily(exact.face), "Liberation Serif");
}

TEST(PlatformFontChoice, UnknownNamesFallBackByPitch) {
    Face fixed("No Such Face", 15, true), proportional("No Such Face", 15, false), empty("", 15, false);
    ASSERT_NE(fixed.face, nullptr) << fixed.error;
    ASSERT_NE(proportional.face, nullptr) << proportional.error;
    ASSERT_NE(empty.face, nullptr) << empty.error;
    EXPECT_EQ(Platform::FontFamily(fixed.face), "Liberation Mono");
    EXPECT_NE(Platform::FontFamily(proportional.face), "Liberation Mono");
    EXPECT_FALSE(Platform::FontFamily(proportional.face).empty());
    EXPECT_EQ(Platform::FontFamily(empty.face), Platform::FontFamily(proportional.face));
}

TEST(PlatformFontChoice, ZeroHeightIsRefusedWithAReason) {
    Face none("Arial", 0, false);
    EXPECT_EQ(none.face, nullptr);
    EXPECT_FALSE(none.error.empty());
}

TEST(PlatformFontDrawing, InkSitsInsideTheCellBelowItsTopLeft) {
    Face f("Arial", 15, false);
    ASSERT_NE(f.face, nullptr) << f.error;
    std::vector<uint8_t> canvas;
    for (unsigned char c : {'A', 'g', 'j', 'W', '|'}) {
        // A roomy canvas, so that ink leaving the cell would be seen.
        Ink ink = Draw(f.face, c, 4, 1, 32, canvas);
        ASSERT_TRUE(ink.Any()) << c;
        EXPECT_GE(ink.top, 1) << c;
        EXPECT_LE(ink.bottom, 15) << c;
        EXPECT_GE(ink.left, 3) << c;  // a 'j' may hang one pixel left of its pen
        EXPECT_GT(ink.maximum, 200) << c;  // coverage, not a faint smear
    }
    // Capitals stand on the baseline, descenders go below it.
    Ink a = Draw(f.face, 'A', 1, 1, 16, canvas), g = Draw(f.face, 'g', 1, 1, 16, canvas);
    EXPECT_GT(g.bottom, a.bottom);
}

TEST(PlatformFontDrawing, MovingThePenMovesTheInkExactly) {
    Face f("Arial", 15, false);
    ASSERT_NE(f.face, nullptr) << f.error;
    std::vector<uint8_t> canvas;
    Ink at1 = Draw(f.face, 'M', 1, 1, 32, canvas);
    std::vector<uint8_t> first = canvas;
    Ink at4 = Draw(f.face, 'M', 4, 3, 32, canvas);
    EXPECT_EQ(at4.left, at1.left + 3);
    EXPECT_EQ(at4.right, at1.right + 3);
    EXPECT_EQ(at4.top, at1.top + 2);
    for (int y = 0; y < 29; ++y)
        for (int x = 0; x < 28; ++x) ASSERT_EQ(first[size_t(y * 32 + x)], canvas[size_t((y + 2) * 32 + x + 3)]);
}

TEST(PlatformFontDrawing, InkOutsideTheCanvasIsClipped) {
    Face f("Arial", 15, false);
    ASSERT_NE(f.face, nullptr) << f.error;
    std::vector<uint8_t> canvas;
    EXPECT_FALSE(Draw(f.face, 'W', -100, 1, 16, canvas).Any());
    EXPECT_FALSE(Draw(f.face, 'W', 1, 100, 16, canvas).Any());
    Ink cut = Draw(f.face, 'W', 10, 1, 16, canvas);
    ASSERT_TRUE(cut.Any());
    EXPECT_EQ(cut.right, 15);
}

TEST(PlatformFontDrawing, HighBytesAreWindows1252) {
    EXPECT_EQ(Platform::Windows1252ToUnicode(0x80), 0x20ACu);
    EXPECT_EQ(Platform::Windows1252ToUnicode(0x99), 0x2122u);
    EXPECT_EQ(Platform::Windows1252ToUnicode(0x9F), 0x0178u);
    EXPECT_EQ(Platform::Windows1252ToUnicode(0xE9), 0xE9u);
    EXPECT_EQ(Platform::Windows1252ToUnicode('A'), uint32_t('A'));
    for (unsigned char hole : {0x81, 0x8D, 0x8F, 0x90, 0x9D}) EXPECT_EQ(Platform::Windows1252ToUnicode(hole), 0u);

    Face f("Arial", 15, false);
    ASSERT_NE(f.face, nullptr) << f.error;
    std::vector<uint8_t> canvas;
    EXPECT_TRUE(Draw(f.face, 0x80, 1, 1, 16, canvas).Any());   // euro sign
    EXPECT_TRUE(Draw(f.face, 0xE9, 1, 1, 16, canvas).Any());   // e acute
    EXPECT_FALSE(Draw(f.face, 0x81, 1, 1, 16, canvas).Any());  // unassigned: blank, not a box
    EXPECT_FALSE(Draw(f.face, ' ', 1, 1, 16, canvas).Any());
}

TEST(PlatformFontDrawing, TallerCellsDrawTallerGlyphs) {
    Face small("Arial", 12, false), large("Arial", 31, false);
    ASSERT_NE(small.face, nullptr);
    ASSERT_NE(large.face, nullptr);
    std::vector<uint8_t> canvas;
    Ink s = Draw(small.face, 'H', 1, 1, 64, canvas), l = Draw(large.face, 'H', 1, 1, 64, canvas);
    int smallHeight = s.bottom - s.top + 1, largeHeight = l.bottom - l.top + 1;
    // A capital of the stand-in for Arial takes about 0.62 of the cell.
    EXPECT_NEAR(smallHeight, 12 * 0.62, 1.5);
    EXPECT_NEAR(largeHeight, 31 * 0.62, 1.5);
}

TEST(PlatformFontDrawing, DrawingWithoutAFaceLeavesAClearCanvas) {
    std::vector<uint8_t> canvas;
    EXPECT_FALSE(Draw(nullptr, 'A', 1, 1, 16, canvas).Any());
    Platform::CloseFont(nullptr);
}
