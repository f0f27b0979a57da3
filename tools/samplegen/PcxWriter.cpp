#include "PcxWriter.h"

#include "SampleFiles.h"

namespace {

constexpr int HeaderSize = 128;
constexpr uint8_t PaletteMarker = 12;
constexpr int MaxRun = 63;

void PutHeader(std::string& out, int width, int height, int bytesPerLine) {
    out.push_back(10);  // manufacturer
    out.push_back(5);   // version with a 256-colour palette
    out.push_back(1);   // run-length encoded
    out.push_back(8);   // bits per pixel and plane
    PutU16(out, 0);
    PutU16(out, 0);
    PutU16(out, static_cast<uint16_t>(width - 1));
    PutU16(out, static_cast<uint16_t>(height - 1));
    PutU16(out, 72);
    PutU16(out, 72);
    out.append(48, '\0');  // 16-colour palette, unused at this depth
    out.push_back(0);
    out.push_back(1);  // one plane
    PutU16(out, static_cast<uint16_t>(bytesPerLine));
    PutU16(out, 1);  // colour palette
    PutU16(out, static_cast<uint16_t>(width));
    PutU16(out, static_cast<uint16_t>(height));
    out.resize(HeaderSize, '\0');
}

void PutScanLine(std::string& out, const uint8_t* line, int length) {
    for (int i = 0; i < length;) {
        int run = 1;
        while (i + run < length && run < MaxRun && line[i + run] == line[i]) ++run;
        if (run > 1 || line[i] >= 0xC0) out.push_back(static_cast<char>(0xC0 | run));
        out.push_back(static_cast<char>(line[i]));
        i += run;
    }
}

}  // namespace

std::string EncodePcx(int width, int height, const std::vector<uint8_t>& pixels, const RgbPalette& palette) {
    std::string out;
    int bytesPerLine = (width + 1) & ~1;  // scan lines have an even length
    PutHeader(out, width, height, bytesPerLine);
    std::vector<uint8_t> line(bytesPerLine, 0);
    for (int y = 0; y < height; ++y) {
        std::copy(pixels.begin() + y * width, pixels.begin() + (y + 1) * width, line.begin());
        PutScanLine(out, line.data(), bytesPerLine);
    }
    out.push_back(static_cast<char>(PaletteMarker));
    for (const Rgb& c : palette) {
        out.push_back(static_cast<char>(c.r));
        out.push_back(static_cast<char>(c.g));
        out.push_back(static_cast<char>(c.b));
    }
    return out;
}

std::string EncodePaletteSwatch(const RgbPalette& palette) {
    constexpr int Cell = 8, Side = 16 * Cell;
    std::vector<uint8_t> pixels(Side * Side);
    for (int y = 0; y < Side; ++y)
        for (int x = 0; x < Side; ++x) pixels[y * Side + x] = static_cast<uint8_t>((y / Cell) * 16 + x / Cell);
    return EncodePcx(Side, Side, pixels, palette);
}
