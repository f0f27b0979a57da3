// Cutting texts into lines, the colour-run rules and the glyph quads, with
// made-up advances so that every width is known.
#include <gtest/gtest.h>

#include <vector>

#include "GBTextLayout.h"

using namespace G;

namespace {

const uint32_t Red = 0xFF0000FF, Green = 0xFF00FF00, Blue = 0xFFFF0000, White = 0xFFFFFFFF;

struct Widths {
    int w[256];
    Widths() {
        for (int& x : w) x = 12;
        w[int(' ')] = 5;
        w[int('W')] = 30;
    }
};
const Widths kWidths;

GlyphMetrics Metrics(float size = 16) {
    GlyphMetrics m;
    m.size = size;
    m.widths = kWidths.w;
    return m;
}

std::string Code(uint32_t color) {
    std::string s(1, ColorCode);
    s += char(color >> 24);
    s += char(color & 0xFF);
    s += char((color >> 8) & 0xFF);
    s += char((color >> 16) & 0xFF);
    return s;
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

}  // namespace

TEST(TextLineWrapping, BreaksAfterTheLastBlankWhenTheSecondWordCrossesTheWidth) {
    // "abcd " is 53 wide; the 'h' brings the line to 101.
    TextLine first = GetTextLine("abcd efgh", {}, 0, Metrics(), 100, false);
    EXPECT_EQ(first.text, "abcd ");
    EXPECT_EQ(first.consumed, 5u);
    EXPECT_EQ(first.width, 100);
    EXPECT_TRUE(first.more);
    TextLine second = GetTextLine("abcd efgh", {}, 5, Metrics(), 100, false);
    EXPECT_EQ(second.text, "efgh");
    EXPECT_EQ(second.consumed, 4u);
    EXPECT_EQ(second.width, 48);
    EXPECT_FALSE(second.more);
}

TEST(TextLineWrapping, ALongWordIsCutBeforeTheCharacterThatDoesNotFit) {
    EXPECT_EQ(Lines("abcdefg", 40), (std::vector<std::string>{"abc", "def", "g"}));
    // Reaching the width exactly counts as not fitting.
    EXPECT_EQ(Lines("abcd", 36), (std::vector<std::string>{"ab", "cd"}));
    // The break is the last blank, not the first.
    EXPECT_EQ(Lines("ab cd efgh", 80), (std::vector<std::string>{"ab cd ", "efgh"}));
}

TEST(TextLineWrapping, AGlyphWiderThanTheWidthStillMakesProgress) {
    EXPECT_EQ(Lines("WWa", 20), (std::vector<std::string>{"W", "W", "a"}));
}

TEST(TextLineWrapping, NoWidthMeansOneLinePerNewline) {
    std::string longText(500, 'x');
    EXPECT_EQ(Lines(longText, 0).size(), 1u);
    EXPECT_EQ(Lines("ab\ncd", 0), (std::vector<std::string>{"ab", "cd"}));
    TextLine last = GetTextLine("ab\n", {}, 0, Metrics(), 0, false);
    EXPECT_EQ(last.consumed, 3u);
    EXPECT_FALSE(last.more);  // nothing after the newline
    EXPECT_EQ(last.width, 24);
}

TEST(TextLineWrapping, ControlCharactersTakeNoRoomAndAreNotDrawn) {
    TextLine line = GetTextLine(std::string("a\tb\x02\r", 5), {}, 0, Metrics(), 0, false);
    EXPECT_EQ(line.text, "ab");
    EXPECT_EQ(line.width, 24);
    EXPECT_EQ(line.consumed, 5u);
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

TEST(TextLineColors, CodesAfterTheBreakMoveToTheNextLine) {
    ColorRunList atBreak = {{5, Red}}, afterBreak = {{6, Red}};
    EXPECT_EQ(Lines("abcd efgh", 100, atBreak, true), (std::vector<std::string>{"abcd ", Code(Red) + "efgh"}));
    EXPECT_EQ(Lines("abcd efgh", 100, afterBreak, true),
              (std::vector<std::string>{"abcd ", "e" + Code(Red) + "fgh"}));
    // A cut word: the code of the character that did not fit goes with it.
    EXPECT_EQ(Lines("abcdef", 40, {{3, Red}}, true), (std::vector<std::string>{"abc", Code(Red) + "def"}));
}

TEST(TextMeasure, HeightCountsVisualLinesAndWidthTheWidest) {
    float w = 0, h = 0;
    MeasureText("abcd efgh", Metrics(), 100, w, h);
    EXPECT_EQ(w, 100);
    EXPECT_EQ(h, 32);
    MeasureText("ab\n\nabcd", Metrics(), 0, w, h);
    EXPECT_EQ(w, 48);
    EXPECT_EQ(h, 48);  // the empty middle line counts
    MeasureText("ab\n", Metrics(), 0, w, h);
    EXPECT_EQ(h, 16);
    MeasureText("", Metrics(), 0, w, h);
    EXPECT_EQ(w, 0);
    EXPECT_EQ(h, 0);
    MeasureText("\x02", Metrics(), 0, w, h);
    EXPECT_EQ(h, 0);
}

TEST(TextColorRuns, AddColorReplacesARunThatColoursNothingYet) {
    ColorRunList runs = {{0, Red}, {3, Green}};
    AddColorRun(runs, 3, Blue);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[1].color, Blue);
    AddColorRun(runs, 5, White);
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[2].start, 5u);
    AddColorRun(runs, 0, Red);  // an empty text forgets its old runs
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].start, 0u);
    EXPECT_EQ(runs[0].color, Red);
}

TEST(TextColorRuns, AssignmentKeepsOnlyALeadingDefaultRun) {
    ColorRunList leading = {{0, Red}, {4, Green}}, later = {{2, Red}};
    ResetColorRuns(leading);
    ResetColorRuns(later);
    ASSERT_EQ(leading.size(), 1u);
    EXPECT_EQ(leading[0].start, 0u);
    EXPECT_EQ(leading[0].color, DefaultTextColor);
    EXPECT_TRUE(later.empty());
}

TEST(TextColorRuns, AppendingDropsTheEmptyTrailingRunAndShiftsTheOthers) {
    ColorRunList runs = {{0, Red}, {2, Blue}};  // "ab", then blue for what follows
    AppendColorRuns(runs, 2, {{0, Green}, {1, White}});
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[0].color, Red);
    EXPECT_EQ(runs[1].start, 2u);
    EXPECT_EQ(runs[1].color, Green);
    EXPECT_EQ(runs[2].start, 3u);
    EXPECT_EQ(runs[2].color, White);

    ColorRunList kept = {{0, Red}, {1, Blue}};
    AppendColorRuns(kept, 2, {{0, Green}});
    EXPECT_EQ(kept.size(), 3u);  // the blue run colours a character: it stays
    ColorRunList plain;
    AppendColorRuns(plain, 4, {{1, Green}});
    ASSERT_EQ(plain.size(), 1u);
    EXPECT_EQ(plain[0].start, 5u);
}

TEST(TextVertices, QuadsSitOnTheHalfPixelGridWithTheirCellsCoordinates) {
    std::vector<TextVertex> v(6 * 3);
    ASSERT_EQ(BuildTextVertices(std::string("a") + char(200) + "\n", {}, Metrics(), 0, 10, 20, v.data()), 12u);
    EXPECT_FLOAT_EQ(v[0].x, 10.5f);
    EXPECT_FLOAT_EQ(v[0].y, 20.5f);
    EXPECT_FLOAT_EQ(v[5].x, 26.5f);  // quads are one font size square
    EXPECT_FLOAT_EQ(v[5].y, 36.5f);
    EXPECT_FLOAT_EQ(v[0].u, 1 / 16.0f);  // 'a' = 97: column 1, row 6
    EXPECT_FLOAT_EQ(v[0].v, 6 / 16.0f);
    EXPECT_FLOAT_EQ(v[5].u, 2 / 16.0f);
    EXPECT_FLOAT_EQ(v[5].v, 7 / 16.0f);
    EXPECT_FLOAT_EQ(v[6].x, 22.5f);       // advanced by the glyph width
    EXPECT_FLOAT_EQ(v[6].u, 8 / 16.0f);   // 200: column 8
    EXPECT_FLOAT_EQ(v[6].v, 12 / 16.0f);  // row 12 of the grid's upper half
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
    EXPECT_FLOAT_EQ(v[5 * 6].x, 0.5f);   // 'e' starts the second line
    EXPECT_FLOAT_EQ(v[5 * 6].y, 16.5f);
}

TEST(TextVertices, ColorCodeBytesOfAnyValueAreNotGlyphs) {
    // Colour bytes equal to the code byte or a newline must not confuse the reader.
    uint32_t odd = 0x010A0120;
    std::vector<TextVertex> v(6 * 2);
    ASSERT_EQ(BuildTextVertices("ab", {{1, odd}}, Metrics(), 0, 0, 0, v.data()), 12u);
    EXPECT_EQ(v[6].color, odd);
}
