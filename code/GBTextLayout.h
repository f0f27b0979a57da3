// How a text is cut into visual lines and turned into glyph quads: colour
// runs, wrapping, measuring and the vertices of the glyphs. Knows the font
// only through its advances, so it works (and is tested) without a device.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace G {

// Text from `start` on has `color` (packed 0xAABBGGRR), until the next run.
struct ColorRun {
    uint32_t start;
    uint32_t color;
};
typedef std::vector<ColorRun> ColorRunList;

// The colour of a text before its first run.
const uint32_t DefaultTextColor = 0xFFDDDDDD;
// In a laid-out line, this byte and the next four (alpha, red, green, blue)
// change the colour of the glyphs that follow.
const char ColorCode = 0x01;

struct GlyphMetrics {
    float size = 16;  // the text's font size: line height and quad size
    bool fixedPitch = false;
    float fixedPitchFactor = 0.5f;
    const int* widths = nullptr;  // 256 advances in pixels, by character code

    float Advance(unsigned char code) const {
        return fixedPitch ? size * fixedPitchFactor : float(widths ? widths[code] : 0);
    }
};

struct TextLine {
    size_t consumed = 0;  // characters of the text this line used up
    std::string text;     // printable characters, with colour codes when asked for
    float width = 0;      // the wrap width when the line wrapped
    bool more = false;    // another line follows
};

// One visual line of `text` from character `start`. A `wrapWidth` of 0 never
// wraps. A line always takes at least one character, so that a glyph wider
// than the wrap width cannot stall the caller.
TextLine GetTextLine(const std::string& text, const ColorRunList& runs, size_t start,
                     const GlyphMetrics& metrics, float wrapWidth, bool withColors);

// How many characters of `text` its first `rows` visual lines take, and at
// most `maxLength`.
size_t LengthOfRows(const std::string& text, const GlyphMetrics& metrics, float wrapWidth, size_t rows,
                    size_t maxLength);

// Width of the widest line and the height of all lines (one font size each).
void MeasureText(const std::string& text, const GlyphMetrics& metrics, float wrapWidth, float& width,
                 float& height);

// The run rules of the text value.
void AddColorRun(ColorRunList& runs, size_t textLength, uint32_t color);
// After an assignment: a text that started with a run starts in the default colour.
void ResetColorRuns(ColorRunList& runs);
// `appended` was appended to a text that was `oldLength` characters long.
void AppendColorRuns(ColorRunList& runs, size_t oldLength, const ColorRunList& appended);

// One corner of a glyph quad, as the text vertex buffer holds it (20 bytes).
struct TextVertex {
    float x, y;
    uint32_t color;
    float u, v;
};
const size_t VerticesPerGlyph = 6;

// Writes the quads of every glyph of `text`, lines stacked from (x, y), into
// `out` (which must hold VerticesPerGlyph x the text length) and returns the
// number of vertices written.
size_t BuildTextVertices(const std::string& text, const ColorRunList& runs, const GlyphMetrics& metrics,
                         float wrapWidth, float x, float y, TextVertex* out);

}  // namespace G
