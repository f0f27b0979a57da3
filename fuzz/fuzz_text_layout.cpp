// Any text with any colour runs and wrap width: every line makes progress,
// the vertices stay within the room the text buffer gives them, and the
// colour codes never run past a line.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "GBTextLayout.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    // Header: wrap width, fixed-pitch flag, run count; then runs; then the text.
    float wrap = float(data[0]);
    bool fixed = data[1] & 1;
    size_t runCount = data[2] % 8;
    size_t at = 3;
    G::ColorRunList runs;
    uint32_t start = 0;
    for (size_t i = 0; i < runCount && at + 2 <= size; ++i, at += 2) {
        start += data[at] % 16;  // runs ascend, as the text keeps them
        runs.push_back({start, 0x01010101u * data[at + 1]});
    }
    std::string text(reinterpret_cast<const char*>(data + at), size - at);

    int widths[256];
    for (int c = 0; c < 256; ++c) widths[c] = (c * 7) % 23;  // zero-width glyphs too
    G::GlyphMetrics metrics;
    metrics.size = 16;
    metrics.fixedPitch = fixed;
    metrics.widths = widths;

    float width = 0, height = 0;
    G::MeasureText(text, metrics, wrap, width, height);
    if (height > 16.0f * float(text.size() + 1)) abort();

    std::vector<G::TextVertex> vertices(G::VerticesPerGlyph * text.size() + 1);
    size_t count = G::BuildTextVertices(text, runs, metrics, wrap, 0, 0, vertices.data());
    if (count > G::VerticesPerGlyph * text.size()) abort();
    return 0;
}
