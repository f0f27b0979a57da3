// Cutting texts into lines, the colour-run rules and the glyph quads, with
// made-up advances so that every width is known.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "GBTextLayout.h"

using namespace G;

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
        {"ab\ncd", 0, {}, L{"ab", "cd"}},  // no width: one line per newline
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
    for (size_t i = 0; i < 12; ++i) EXPECT_EQ(v[i].color, DefaultTextColor) << "no runs: default colour";
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
