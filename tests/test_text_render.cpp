// Text from the platform's font rasteriser to the screen: faces and ink; lines,
// colour runs and glyph quads with made-up advances, so that every width is
// known; then fonts, texts and the text window on a real context (Xvfb).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <vector>

#include "CMemMan.h"
#include "GBTextLayout.h"
#include "GLDevice.h"
#include "GLRender.h"
#include "SceneManager.h"
#include "TestUtil.h"
#include "TextTestGL.h"
#include "platform/PlatformFont.h"
#include "platform/PlatformWindow.h"

using namespace G;
using namespace GLTest;

namespace {

const uint32_t Red = 0xFF0000FF, Green = 0xFF00FF00, Blue = 0xFFFF0000, White = 0xFFFFFFFF;

const std::array<int, 256> kWidths = [] {
    std::array<int, 256> w;
    w.fill(12);
    w[' '] = 5;
    w['W'] = 30;
    return w;
}();

GlyphMetrics Metrics(float size = 16) {
    GlyphMetrics m;
    m.size = size;
    m.widths = kWidths.data();
    return m;
}

// The code's bytes: alpha, red, green, blue.
std::string Code(uint32_t color) {
    return {ColorCode, char(color >> 24), char(color & 0xFF), char(color >> 8 & 0xFF), char(color >> 16 & 0xFF)};
}

std::vector<std::string> Lines(const std::string& text, float wrap, const ColorRunList& runs = {},
                               bool colors = false) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (int guard = 0; guard < 100; ++guard) {
        TextLine line = GetTextLine(text, runs, start, Metrics(), wrap, colors);
        lines.push_back(line.text);
        start += line.consumed;
        if (!line.more) return lines;
    }
    ADD_FAILURE() << "no end after 100 lines";
    return lines;
}

using RunPairs = std::vector<std::pair<size_t, uint32_t>>;
RunPairs Pairs(const ColorRunList& runs) {
    RunPairs pairs;
    for (const auto& run : runs) pairs.emplace_back(run.start, run.color);
    return pairs;
}

// Draws over garbage, which drawing must clear, and finds the ink and its
// strongest coverage.
Box Draw(Platform::FontFace* face, unsigned char code, int x, int y, int size, std::vector<uint8_t>& canvas,
         int* strongest = nullptr) {
    canvas.assign(size_t(size * size), 0x5A);
    Platform::DrawCharacter(face, code, x, y, canvas.data(), size);
    Pixels ink{0, 0, size, size, std::vector<uint32_t>(canvas.size())};
    for (size_t i = 0; i < canvas.size(); ++i) ink.data[i] = canvas[i] ? 0xFFFFFF : 0;
    if (strongest) *strongest = *std::max_element(canvas.begin(), canvas.end());
    return LitBox(ink);
}

struct Face {
    Face(const std::string& name, int height, bool fixed) { face = Platform::OpenFont(name, height, fixed, error); }
    ~Face() { Platform::CloseFont(face); }
    Platform::FontFace* face = nullptr;
    std::string error;
};

class PlatformFontDrawing : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(f.face, nullptr) << f.error; }
    Face f{"Arial", 15, false};
    std::vector<uint8_t> canvas;
};

class TextRender : public TextTest::SceneSuite {
protected:
    static void SetUpTestSuite() {
        TestUtil::InstallDataFiles();
        SceneSuite::SetUpTestSuite();
    }
};

// Ink bounds of one cell of a font's glyph texture, in cell pixels.
Box CellInk(G::FontRecord& font, int code) {
    G::TextureLock lock(font.texture, 0, false);
    uint32_t pitch = 0;
    const uint32_t* texels = LockedTexels(lock, &pitch);
    if (!texels) return Box();
    const int cell = int(pitch) / 16;
    Pixels ink{0, 0, cell, cell, std::vector<uint32_t>(size_t(cell * cell))};
    for (int y = 0; y < cell; ++y)
        for (int x = 0; x < cell; ++x) {
            uint32_t texel = texels[size_t((code / 16 * cell + y) * int(pitch) + code % 16 * cell + x)];
            EXPECT_TRUE(texel >> 24 == 0 || (texel & 0xFFFFFF) == 0xFFFFFF) << "glyphs are white";
            ink.data[size_t(y * cell + x)] = texel >> 24 ? 0xFFFFFF : 0;
        }
    return LitBox(ink);
}

G::Text Colored(std::initializer_list<std::pair<uint32_t, const char*>> parts) {
    G::Text text;
    for (const auto& part : parts) {
        text.AddColor(part.first);
        text += G::Text(part.second);
    }
    return text;
}

G::TextWindow GameWindow(float width = 700) {
    return G::TextWindow(40, 300, width, 250, 60, 16, "Arial", false, 0.5f);
}

class BlueScene : public Scene {
public:
    void Update(float) override {}
    void Draw() override { G::DrawRect(0, 0, 800, 600, Blue, Blue, Blue, Blue); }
    std::string GetName() override { return "BlueScene"; }
};

}  // namespace

TEST(TextLineWrapping, LinesOfEveryBreakRule) {
    using L = std::vector<std::string>;
    const struct Case {
        std::string text;
        float wrap;
        ColorRunList runs;
        L lines;
    } cases[] = {
        // A long word is cut before the character that does not fit; reaching
        // the width exactly counts as not fitting; the break is the last blank.
        {"abcdefg", 40, {}, L{"abc", "def", "g"}},
        {"abcd", 36, {}, L{"ab", "cd"}},
        {"ab cd efgh", 80, {}, L{"ab cd ", "efgh"}},
        {"abcd efgh", 100, {}, L{"abcd ", "efgh"}}, // "abcd " is 53 wide; the 'h' brings the line to 101
        {"a\tb\x02\r\ncd", 0, {}, L{"ab", "cd"}}, // control characters are not drawn
        {"WWa", 20, {}, L{"W", "W", "a"}}, // a glyph wider than the width still makes progress
        {std::string(500, 'x'), 0, {}, L{std::string(500, 'x')}},
        // Colour codes after the break move to the next line; the code of the
        // character that did not fit goes with it.
        {"abcd efgh", 100, {{5, Red}}, L{"abcd ", Code(Red) + "efgh"}},
        {"abcd efgh", 100, {{6, Red}}, L{"abcd ", "e" + Code(Red) + "fgh"}},
        {"abcdef", 40, {{3, Red}}, L{"abc", Code(Red) + "def"}},
    };
    for (const Case& c : cases) EXPECT_EQ(Lines(c.text, c.wrap, c.runs, !c.runs.empty()), c.lines) << c.text;
    TextLine last = GetTextLine("ab\n", {}, 0, Metrics(), 0, false);
    EXPECT_EQ(last.consumed, 3u);
    EXPECT_FALSE(last.more); // nothing after the newline
    EXPECT_EQ(last.width, 24);
}

TEST(TextLineWrapping, FixedPitchAdvancesBySizeTimesFactor) {
    GlyphMetrics m = Metrics(20);
    m.fixedPitch = true;
    m.fixedPitchFactor = 0.5f;
    EXPECT_EQ(GetTextLine("W i", {}, 0, m, 0, false).width, 30);
    EXPECT_EQ(GetTextLine("WWWWW", {}, 0, m, 30, false).text, "WW");
}

TEST(TextLineColors, RunsBecomeColorCodesBeforeTheirCharacter) {
    ColorRunList runs = {{0, Green}, {2, Red}};
    EXPECT_EQ(GetTextLine("abcd", runs, 0, Metrics(), 0, true).text, Code(Green) + "ab" + Code(Red) + "cd");
    // Without colours the same line is plain; runs before the start are passed over.
    EXPECT_EQ(GetTextLine("abcd", runs, 0, Metrics(), 0, false).text, "abcd");
    EXPECT_EQ(GetTextLine("abcd", runs, 3, Metrics(), 0, true).text, "d");
}

TEST(TextMeasure, HeightCountsVisualLinesAndWidthTheWidest) {
    // The empty middle line counts; a trailing newline adds none.
    const struct {
        const char* text;
        float wrap, width, height;
    } cases[] = {{"abcd efgh", 100, 100, 32}, {"ab\n\nabcd", 0, 48, 48}, {"ab\n", 0, 24, 16},
                 {"", 0, 0, 0},               {"\x02", 0, 0, 0},           {"a\tb\x02\rc", 0, 36, 16}};
    for (const auto& c : cases) {
        float w = -1, h = -1;
        MeasureText(c.text, Metrics(), c.wrap, w, h);
        EXPECT_EQ(std::pair(w, h), std::pair(c.width, c.height)) << c.text;
    }
}

TEST(TextColorRuns, AddAssignAndAppend) {
    // A new colour replaces a run that colours nothing yet.
    ColorRunList runs = {{0, Red}, {3, Green}};
    AddColorRun(runs, 3, Blue);
    AddColorRun(runs, 5, White);
    EXPECT_EQ(Pairs(runs), (RunPairs{{0, Red}, {3, Blue}, {5, White}}));
    AddColorRun(runs, 0, Red); // an empty text forgets its old runs
    EXPECT_EQ(Pairs(runs), (RunPairs{{0, Red}}));
    // Assignment keeps only a leading run, in the default colour.
    ColorRunList leading = {{0, Red}, {4, Green}}, later = {{2, Red}};
    ResetColorRuns(leading);
    ResetColorRuns(later);
    EXPECT_EQ(Pairs(leading), (RunPairs{{0, DefaultTextColor}}));
    EXPECT_TRUE(later.empty());
    // Appending drops an empty trailing run and shifts the others.
    runs = {{0, Red}, {2, Blue}}; // "ab", then blue for what follows
    AppendColorRuns(runs, 2, {{0, Green}, {1, White}});
    EXPECT_EQ(Pairs(runs), (RunPairs{{0, Red}, {2, Green}, {3, White}}));
    ColorRunList kept = {{0, Red}, {1, Blue}}; // the blue run colours a character: it stays
    AppendColorRuns(kept, 2, {{0, Green}});
    EXPECT_EQ(Pairs(kept), (RunPairs{{0, Red}, {1, Blue}, {2, Green}}));
    ColorRunList plain;
    AppendColorRuns(plain, 4, {{1, Green}});
    EXPECT_EQ(Pairs(plain), (RunPairs{{5, Green}}));
}

TEST(TextVertices, QuadsSitOnPixelEdgesWithTheirCellsCoordinates) {
    std::vector<TextVertex> v(6 * 3);
    ASSERT_EQ(BuildTextVertices(std::string("a") + char(200) + "\n", {}, Metrics(), 0, 10, 20, v.data()), 12u);
    // Quads are one font size square, the next advanced by the glyph width;
    // 'a' = 97 is column 1, row 6 of the grid, 200 column 8, row 12.
    EXPECT_EQ(std::vector<float>({v[0].x, v[0].y, v[5].x, v[5].y, v[6].x}), std::vector<float>({10, 20, 26, 36, 22}));
    EXPECT_EQ(std::vector<float>({v[0].u, v[0].v, v[5].u, v[5].v, v[6].u, v[6].v}),
              std::vector<float>({1 / 16.f, 6 / 16.f, 2 / 16.f, 7 / 16.f, 8 / 16.f, 12 / 16.f}));
}

TEST(TextVertices, AColourSetBeforeAWrapHoldsOnTheNextLineUntilTheNextRun) {
    // "abcd " | "efgh"; red from 'c' on, blue from 'g' on.
    std::vector<TextVertex> v(6 * 9);
    size_t n = BuildTextVertices("abcd efgh", {{2, Red}, {7, Blue}}, Metrics(), 100, 0, 0, v.data());
    ASSERT_EQ(n, 6u * 9);
    const uint32_t expected[9] = {DefaultTextColor, DefaultTextColor, Red, Red, Red, Red, Red, Blue, Blue};
    for (int glyph = 0; glyph < 9; ++glyph)
        for (int corner = 0; corner < 6; ++corner) EXPECT_EQ(v[size_t(glyph * 6 + corner)].color, expected[glyph]);
    EXPECT_FLOAT_EQ(v[5 * 6].x, 0.0f);   // 'e' starts the second line
    EXPECT_FLOAT_EQ(v[5 * 6].y, 16.0f);
}

TEST(TextVertices, ColorCodeBytesOfAnyValueAreNotGlyphs) {
    // Colour bytes equal to the code byte or a newline must not confuse the reader.
    uint32_t odd = 0x010A0120;
    std::vector<TextVertex> v(6 * 2);
    ASSERT_EQ(BuildTextVertices("ab", {{1, odd}}, Metrics(), 0, 0, 0, v.data()), 12u);
    EXPECT_EQ(v[6].color, odd);
}

// Widths of 12: eight characters reach 96, the ninth crosses the wrap width of 100.
TEST(TextRows, LengthOfRowsStopsAfterTheRowsAndAtTheLengthBound) {
    const std::string text = std::string(40, 'a') + "\n" + std::string(5, 'b');
    struct Case {
        size_t rows, maxLength, length;
    } cases[] = {{1, 1000, 8}, {2, 1000, 16}, {5, 1000, 41}, {6, 1000, 46}, {9, 1000, 46}, {6, 30, 30}, {1, 3, 3}};
    for (const Case& c : cases)
        EXPECT_EQ(LengthOfRows(text, Metrics(), 100, c.rows, c.maxLength), c.length) << c.rows << " " << c.maxLength;
}

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

TEST_F(PlatformFontDrawing, InkSitsInsideTheCellBelowItsTopLeft) {
    for (unsigned char c : {'g', 'j', 'W', '|'}) {
        // A roomy canvas, so that ink leaving the cell would be seen.
        int strongest = 0;
        Box ink = Draw(f.face, c, 4, 1, 32, canvas, &strongest);
        ASSERT_TRUE(ink.Any()) << c;
        EXPECT_GE(ink.top, 1) << c;
        EXPECT_LE(ink.bottom, 15) << c;
        EXPECT_GE(ink.left, 3) << c;     // a 'j' may hang one pixel left of its pen
        EXPECT_GT(strongest, 200) << c;  // coverage, not a faint smear
    }
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

TEST_F(TextRender, FontRecordsAreSharedByPixelHeightNameAndPitch) {
    const std::pair<float, int> heights[] = {{12, 12}, {100, 64}, {3, 5}};
    for (auto [size, height] : heights) EXPECT_EQ(G::FontPixelHeight(size), height) << size;

    G::FontRecord* sixteen = G::FindOrCreateFont("Arial", 16, false);
    ASSERT_NE(sixteen, nullptr);
    EXPECT_EQ(G::FindOrCreateFont("Arial", 20, false), sixteen);
    EXPECT_NE(G::FindOrCreateFont("Arial", 16, true), sixteen);
    EXPECT_NE(G::FindOrCreateFont("arial", 16, false), sixteen); // names compare exactly
    G::FontRecord* unnamed = G::FindOrCreateFont("", 16, false);
    ASSERT_NE(unnamed, nullptr);
    EXPECT_EQ(unnamed->name, "Ariel");
    EXPECT_EQ(sixteen->texture.GetWidth(), 256u);
    EXPECT_EQ(G::FindOrCreateFont("Arial", 100, false)->texture.GetWidth(), 1024u);

    // Requests outside the limits are refused with their messages.
    EXPECT_NE(G::FindOrCreateFont(std::string(31, 'x'), 16, false), nullptr);
    EXPECT_EQ(G::FindOrCreateFont(std::string(32, 'x'), 16, false), nullptr);
    EXPECT_EQ(G::FindOrCreateFont("Arial", 1.9f, false), nullptr);
    std::string log = TestUtil::ReadFile("_error.txt");
    EXPECT_EQ(TestUtil::CountOf(log, "Font name too long.  Can be 31 chars max.\n  -call stack:\n"), 1)
        << log;
    EXPECT_EQ(TestUtil::CountOf(log, "Requested font size too small.  Must be at least 2.\n  call stack:\n"), 1);
}

TEST_F(TextRender, GlyphWidthsAndPlacingFollowTheInk) {
    G::FontRecord* font = G::FindOrCreateFont("Arial", 16, false);
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->widths[' '], 4); // 16 x 0.3
    for (int code = 0; code < 32; ++code) EXPECT_EQ(font->widths[code], 0) << code;
    EXPECT_FALSE(CellInk(*font, 'A' - 64).Any()) << "control codes have blank cells";
    for (int code : {int('H'), int('W'), int('i'), int('g'), 0xC9}) {
        Box ink = CellInk(*font, code);
        ASSERT_TRUE(ink.Any()) << code;
        EXPECT_EQ(ink.left, 1) << "ink starts in column 1: " << code;
        EXPECT_EQ(font->widths[code], ink.right - ink.left + 2) << code;
    }
    G::FontRecord* fixed = G::FindOrCreateFont("Courier New", 16, true);
    ASSERT_NE(fixed, nullptr);
    for (int code : {int('i'), int('W'), int('.')}) {
        Box ink = CellInk(*fixed, code);
        ASSERT_TRUE(ink.Any()) << code;
        EXPECT_LE(std::abs(ink.left - (15 - ink.right)), 1) << "centred in the cell: " << code;
    }
}

TEST_F(TextRender, TextDrawsGlyphPixelsOfItsColourAtItsPosition) {
    // Red as asked, then light grey by default.
    for (G::Text text : {Colored({{Red, "HHHH"}}), G::Text("HHHH")}) {
        const uint32_t hue = text.GetColorRuns().empty() ? White : text.GetColorRuns()[0].color;
        G::Clear(0xFF000000, true, true, false);
        text.SetFont("Arial");
        text.SetPosition(200, 150);
        text.Render();
        Pixels p = ReadPixels(150, 100, 200, 120);
        HueCount count = CountHue(p, 150, 100, 350, 220, hue);
        EXPECT_GT(count.lit, 40);
        EXPECT_EQ(count.wrong, 0) << std::hex << hue;
        Box box = LitBox(p);
        EXPECT_GE(box.left, 200);
        EXPECT_LE(box.right, 201 + 4 * text.GetFont()->widths['H']);
        EXPECT_GE(box.top, 150);
        EXPECT_LE(box.bottom, 166);
    }
}

TEST_F(TextRender, TheBufferIsRebuiltOnlyWhenSomethingChanged) {
    G::Text text("0123456789");
    text.SetPosition(10, 10);
    text.Render();
    EXPECT_EQ(text.GetVertexCount(), 60u);
    EXPECT_EQ(text.GetVertexCapacity(), 6u * 42); // 32 characters of slack
    text.Render();
    text.SetPosition(10, 10); // the same position is no change
    text.Render();
    EXPECT_EQ(text.GetBuildCount(), 1u);
    text.SetPosition(20, 10);
    text.Render();
    text.AddColor(Red);
    text += G::Text(std::string(32, 'x')); // 42 characters: still fits
    text.Render();
    EXPECT_EQ(text.GetVertexCapacity(), 6u * 42);
    text += G::Text("y");
    text.Render();
    EXPECT_EQ(text.GetVertexCapacity(), 6u * (43 + 32));
    text = "short";
    text.Render();
    EXPECT_EQ(text.GetVertexCapacity(), 6u * (43 + 32)) << "never shrinks";
    text.SetFontSize(20); // the same record, but larger quads
    text.Render();
    EXPECT_EQ(text.GetBuildCount(), 6u);
    EXPECT_EQ(TestUtil::ReadFile("_error.txt"), "");
}

TEST_F(TextRender, ATextWithoutAFontDrawsNothingAndMeasuresAsAPoint) {
    G::Text text("Hello");
    text.SetFont(std::string(40, 'n'));
    text.SetPosition(30, 40);
    float left, top, right, bottom;
    text.Measure(left, top, right, bottom);
    EXPECT_EQ(std::vector<float>({left, top, right, bottom}), std::vector<float>({30, 40, 30, 40}));
    text.Render();
    text.Render();
    EXPECT_FALSE(LitBox(ReadPixels(0, 0, 200, 200)).Any());
    // Tried once, not at every draw.
    EXPECT_EQ(TestUtil::CountOf(TestUtil::ReadFile("_error.txt"), "Font name too long."), 1);
}

TEST_F(TextRender, AssignmentResetsColoursAndATextAppendsToItself) {
    G::Text text = Colored({{Red, "ab"}});
    text = "cd";
    ASSERT_EQ(text.GetColorRuns().size(), 1u);
    EXPECT_EQ(text.GetColorRuns()[0].color, G::DefaultTextColor);
    // Appending a text to itself reads the runs it is changing.
    G::Text twice = Colored({{Red, "ab"}, {Green, "c"}});
    twice += twice;
    EXPECT_EQ(twice.AsText(), "abcabc");
    EXPECT_EQ(twice.GetColorRuns().size(), 4u);
    EXPECT_EQ(twice.GetColorRuns()[3].start, 5u);
}

TEST_F(TextRender, TheSixtyFirstEntryDropsTheOldest) {
    G::TextWindow window = GameWindow();
    for (int i = 0; i < 61; ++i) window.AddText(G::Text("entry " + std::to_string(i)));
    ASSERT_EQ(window.GetLineCount(), 60u);
    EXPECT_EQ(window.GetLine(0).text.AsText(), "entry 1");
    EXPECT_EQ(window.GetLine(59).text.AsText(), "entry 60");
    // Newest at the bottom edge; only the lines that overlap the window draw.
    EXPECT_EQ(window.GetLine(59).text.GetY(), 300 + 250 - 16);
    EXPECT_EQ(window.GetLastVisible(), 59);
    EXPECT_EQ(window.GetFirstVisible(), 60 - 16); // 250 / 16 rounded up
    window.Render();
    Box box = LitBox(ReadPixels(0, 0, 800, 600));
    ASSERT_TRUE(box.Any());
    EXPECT_GE(box.top, 300) << "clipped to the window";
    EXPECT_LE(box.bottom, 549);
    EXPECT_GE(box.left, 40);
}

TEST_F(TextRender, EntriesWrapToTheWindowWidthAndAShortStackSitsOnTheBottomEdge) {
    G::TextWindow window = GameWindow(100);
    window.AddText(G::Text("one two three four five six"));
    window.AddText(G::Text("x"));
    const float tall = window.GetLine(0).height;
    EXPECT_GE(tall, 32);
    window.SetScroll(0);  // at any scroll
    EXPECT_EQ(window.GetLine(1).text.GetY(), 534);
    EXPECT_EQ(window.GetLine(0).text.GetY(), 534 - tall);
}

TEST_F(TextRender, ScrollMovesTheStackAsTheExampleSays) {
    // 25 entries of 16 pixels: 400 in a window of 250.
    G::TextWindow window = GameWindow();
    window.AddText(G::Text("OLDEST"));
    for (int i = 1; i < 24; ++i) window.AddText(G::Text("."));
    window.AddText(G::Text("NEWEST"));
    auto top = [&](size_t i) { return window.GetLine(i).text.GetY(); };
    EXPECT_EQ(window.GetScroll(), 1);
    EXPECT_EQ(top(24) + 16, 550);
    window.SetScroll(0);
    EXPECT_EQ(top(0), 300);
    window.SetScroll(0.5f);
    EXPECT_EQ(top(24) + 16, 550 + 75);
    EXPECT_EQ(top(0), 300 - 75);
    window.SetScroll(-1);
    EXPECT_EQ(window.GetScroll(), 0);
    window.Render();
    Box oldest = LitBox(ReadPixels(40, 300, 700, 16));
    EXPECT_GT(oldest.right - oldest.left, 40) << "the oldest entry drawn at the top edge";
    window.SetScroll(7);
    EXPECT_EQ(window.GetScroll(), 1);
}

// Sixteen rows of 16 pixels reach past the 250 of the window: the most it can show.
TEST_F(TextRender, AnEntryTallerThanTheWindowKeepsTheRowsTheWindowShows) {
    G::TextWindow window = GameWindow();
    G::Text tall("word ");
    for (int i = 0; i < 15; ++i) tall += tall;  // 160 KB of words
    tall.AddColor(Blue);
    tall += G::Text("tail");
    window.AddText(tall);
    window.AddText(G::Text(std::string(100000, '\x02')));  // characters that take no room
    G::Text& kept = window.GetLine(0).text;
    EXPECT_EQ(window.GetLine(0).height, 16 * 16);
    EXPECT_LT(kept.AsText().size(), 16u * 700 / 5);
    EXPECT_TRUE(kept.GetColorRuns().empty()) << "the run of the cut tail goes with it";
    EXPECT_EQ(window.GetLine(1).text.AsText().size(), 16u * 700);
}

TEST_F(TextRender, TheFrameRateTextIsDrawnAtFiveFiveOverTheScene) {
    SceneManager::AddScene(new2(BlueScene, BlueScene()));
    SceneManager::Update(0.5f);
    SceneManager::Update(0.25f);
    SceneManager::Draw();
    Pixels corner = ReadPixels(0, 0, 60, 30);
    EXPECT_GT(std::count_if(corner.data.begin(), corner.data.end(), [](uint32_t c) { return RedOf(c) > 150; }), 20)
        << "light grey over the blue scene";
    EXPECT_EQ(RedOf(corner.At(2, 2)), 0) << "nothing before (5, 5)";
    SceneManager::ShutdownScenes();
}

// Runs last in this program: it shuts the device down and starts it again.
TEST_F(TextRender, ZZShutdownReleasesFontsAndTextsFindNewOnes) {
    G::Text text("after");
    text.Render();
    ASSERT_NE(text.GetFont(), nullptr);
    const size_t count = G::FontCount();
    ASSERT_GT(count, 0u);
    TestUtil::ClearLog("_stat.txt");
    G::FreeTextResources();
    G::Shutdown();
    EXPECT_EQ(G::FontCount(), 0u);
    EXPECT_NE(TestUtil::ReadFile("_stat.txt")
                  .find("Font textures generated: " + std::to_string(count) + "\n\n"),
              std::string::npos);
    G::Setup setup;
    ASSERT_TRUE(G::Init(Platform::MainWindow(), &setup));
    // The old text must not read the released record: it finds a new one.
    float left, top, right, bottom;
    text.Measure(left, top, right, bottom);
    EXPECT_EQ(G::FontCount(), 1u);
    const int* widths = G::FindOrCreateFont("", 16, false)->widths;
    EXPECT_EQ(text.GetFont()->widths, widths);
    EXPECT_EQ(right, float(widths['a'] + widths['f'] + widths['t'] + widths['e'] + widths['r']));
    G::Set2D();
    G::Clear(0xFF000000, true, true, false);
    G::Text fresh("after");
    fresh.Render();
    EXPECT_TRUE(LitBox(ReadPixels(0, 0, 100, 30)).Any());
}

// After the suite above has shut the device down.
TEST(TextWithoutDevice, FontsAreRefusedAndTextsDrawNothing) {
    TestUtil::ClearLog("_error.txt");
    EXPECT_EQ(G::FindOrCreateFont("Arial", 16, false), nullptr);
    {
        G::Text text("no device");
        text.Render();
        EXPECT_EQ(text.GetFont(), nullptr);
        EXPECT_EQ(text.GetVertexCount(), 0u);
    }
    std::string log = TestUtil::ReadFile("_error.txt");
    EXPECT_NE(log.find("Font texture creation failed.\n  -call stack:\n"), std::string::npos) << log;
    EXPECT_NE(log.find("BAD: a G::Text is being destructed, but graphics is not inited...\n  -call stack:\n"),
              std::string::npos);
    EXPECT_EQ(G::FontCount(), 0u);
}
