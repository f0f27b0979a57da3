#include "GBTextLayout.h"
#include "StaticOrder.h"

#include <algorithm>

namespace G {

namespace {

const ColorRunList noRuns STATIC_ORDER(STATIC_GRAPHICS);

void AppendColorCode(std::string& line, uint32_t color) {
    line += ColorCode;
    line += char(color >> 24);          // alpha
    line += char(color & 0xFF);         // red
    line += char((color >> 8) & 0xFF);  // green
    line += char((color >> 16) & 0xFF); // blue
}

uint32_t ReadColorCode(const std::string& line, size_t at) {
    auto byte = [&](size_t i) { return uint32_t(uint8_t(line[at + i])); };
    return byte(1) << 24 | byte(4) << 16 | byte(3) << 8 | byte(2);
}

// The runs that start at or after `start`; runs are kept in ascending order.
size_t FirstRunFrom(const ColorRunList& runs, size_t start) {
    size_t r = 0;
    while (r < runs.size() && runs[r].start < start) ++r;
    return r;
}

void EmitQuad(TextVertex* out, float x, float y, float s, unsigned char code, uint32_t color) {
    const float d = 1.0f / 16.0f;
    float u = float(code % 16) * d, v = float(code / 16) * d;
    out[0] = {x, y, color, u, v};
    out[1] = {x + s, y, color, u + d, v};
    out[2] = {x, y + s, color, u, v + d};
    out[3] = {x, y + s, color, u, v + d};
    out[4] = {x + s, y, color, u + d, v};
    out[5] = {x + s, y + s, color, u + d, v + d};
}

}  // namespace

TextLine GetTextLine(const std::string& text, const ColorRunList& runs, size_t start,
                     const GlyphMetrics& metrics, float wrapWidth, bool withColors) {
    TextLine line;
    size_t run = FirstRunFrom(runs, start);
    size_t breakAt = 0, breakLength = 0;  // breakAt 0: no blank seen on this line
    bool anyGlyph = false;
    float w = 0;
    for (size_t i = start; i < text.size(); ++i) {
        size_t lengthBeforeCodes = line.text.size();
        for (; withColors && run < runs.size() && runs[run].start <= i; ++run)
            if (runs[run].start == i) AppendColorCode(line.text, runs[run].color);
        unsigned char c = uint8_t(text[i]);
        if (c == '\n') {
            line.consumed = i + 1 - start;
            line.width = w;
            line.more = i + 1 < text.size();
            return line;
        }
        if (c < 32) continue;
        w += metrics.Advance(c);
        if (wrapWidth != 0 && w >= wrapWidth && anyGlyph) {
            if (breakAt) {
                line.text.resize(breakLength);
                line.consumed = breakAt - start;
            } else {
                line.text.resize(lengthBeforeCodes);
                line.consumed = i - start;
            }
            line.width = wrapWidth;
            line.more = true;
            return line;
        }
        line.text += char(c);
        anyGlyph = true;
        if (c == ' ') {
            breakAt = i + 1;
            breakLength = line.text.size();
        }
    }
    line.consumed = text.size() > start ? text.size() - start : 0;
    line.width = w;
    return line;
}

size_t LengthOfRows(const std::string& text, const GlyphMetrics& metrics, float wrapWidth, size_t rows,
                    size_t maxLength) {
    static const ColorRunList noRuns;
    // Rows only cut what is within maxLength: the walk never reads beyond it.
    const std::string head = text.size() > maxLength ? text.substr(0, maxLength) : std::string();
    const std::string& walked = text.size() > maxLength ? head : text;
    size_t length = 0;
    for (size_t row = 0; row < rows && length < walked.size(); ++row)
        length += GetTextLine(walked, noRuns, length, metrics, wrapWidth, false).consumed;
    return length;
}

void MeasureText(const std::string& text, const GlyphMetrics& metrics, float wrapWidth, float& width,
                 float& height) {
    width = height = 0;
    size_t start = 0;
    for (;;) {
        TextLine line = GetTextLine(text, noRuns, start, metrics, wrapWidth, false);
        if (line.more || !line.text.empty()) height += metrics.size;
        width = std::max(width, line.width);
        start += line.consumed;
        if (!line.more) return;
    }
}

void AddColorRun(ColorRunList& runs, size_t textLength, uint32_t color) {
    if (textLength == 0) runs.clear();
    if (!runs.empty() && runs.back().start == textLength) runs.pop_back();
    runs.push_back({uint32_t(textLength), color});
}

void ResetColorRuns(ColorRunList& runs) {
    bool startedColored = !runs.empty() && runs.front().start == 0;
    runs.clear();
    if (startedColored) runs.push_back({0, DefaultTextColor});
}

void AppendColorRuns(ColorRunList& runs, size_t oldLength, const ColorRunList& appended) {
    // A colour set at the very end, immediately replaced by the appended text's own.
    if (!runs.empty() && !appended.empty() && runs.back().start == oldLength + appended.front().start)
        runs.pop_back();
    for (const ColorRun& run : appended) runs.push_back({uint32_t(run.start + oldLength), run.color});
}

size_t BuildTextVertices(const std::string& text, const ColorRunList& runs, const GlyphMetrics& metrics,
                         float wrapWidth, float x, float y, TextVertex* out) {
    size_t count = 0, start = 0;
    uint32_t color = DefaultTextColor;
    // Glyphs start on pixel edges: GL samples at pixel centres, so a quad
    // shifted by half a pixel samples every texel on its border and thin
    // stems drop out where rounding goes the other way.
    float penY = y;
    for (;;) {
        TextLine line = GetTextLine(text, runs, start, metrics, wrapWidth, true);
        float penX = x;
        for (size_t k = 0; k < line.text.size(); ++k) {
            unsigned char c = uint8_t(line.text[k]);
            if (c == uint8_t(ColorCode) && k + 4 < line.text.size()) {
                color = ReadColorCode(line.text, k);
                k += 4;
                continue;
            }
            EmitQuad(out + count, penX, penY, metrics.size, c, color);
            count += VerticesPerGlyph;
            penX += metrics.Advance(c);
        }
        penY += metrics.size;
        start += line.consumed;
        if (!line.more) return count;
    }
}

}  // namespace G
