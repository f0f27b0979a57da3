#include "QuilGfxLoader.h"

#include "FileUtil.h"
#include "LogFile.h"
#include "StaticOrder.h"

#include <cstdio>
#include <sstream>

Palette GamePalette STATIC_ORDER(STATIC_GAME);
PartColorTable PartColorTables[ColorPartCount] STATIC_ORDER(STATIC_GAME);

namespace {

const char* const PartNames[ColorPartCount] = {"badge", "bracer", "boot",    "cape",  "eye",
                                               "fur",   "hair",   "marking", "pants", "vest"};
const char* const ColorPairsFile = "data\\colors\\colors.txt";
const size_t PcxPaletteSize = 768;

uint8_t Low8(long long value) { return static_cast<uint8_t>(value & 0xFF); }

}  // namespace

std::string PartColorFile(ColorPart part) { return std::string("data\\colors\\") + PartNames[part] + ".txt"; }

void LoadPcxPalette(const std::string& path) {
    uint32_t length = FileLength(path);
    FILE* file = OpenFile(path, "rb");
    if (!file) {
        ErrorLog << "Failed to open file to read pcx palette (" << path << ")\n";
        return;
    }
    unsigned char rgb[PcxPaletteSize];
    bool read = length >= PcxPaletteSize && std::fseek(file, long(length - PcxPaletteSize), SEEK_SET) == 0 &&
                std::fread(rgb, 1, PcxPaletteSize, file) == PcxPaletteSize;
    std::fclose(file);
    if (!read) {
        ErrorLog << "Warning: pcx file too short to hold a palette (" << path << "), palette left as it was.\n";
        return;
    }
    for (size_t i = 0; i < GamePalette.size(); ++i) {
        GamePalette[i].red = rgb[3 * i];
        GamePalette[i].green = rgb[3 * i + 1];
        GamePalette[i].blue = rgb[3 * i + 2];
    }
}

void LoadColorPairs(ColorNameMap& map) {
    map.clear();
    std::string bytes;
    if (!ReadWholeFile(ColorPairsFile, true, bytes)) {
        ErrorLog << "Failed to open data\\colors\\colors.txt to load color pairs.\n";
        return;
    }
    std::istringstream in(bytes);
    std::string word;
    long long r, g, b;
    while (in >> word && word != "End" && in >> r >> g >> b)
        map.emplace(word, ColorWord{0, Low8(r), Low8(g), Low8(b)});
    if (word != "End") ErrorLog << "Error in file data\\colors\\colors.txt, some colors may be wrong...\n";
}

void LoadColorIndices(const std::string& path, const ColorNameMap& map, PartColorTable& table) {
    if (map.empty()) return;
    std::string bytes;
    if (!ReadWholeFile(path, true, bytes)) {
        ErrorLog << "Failed to open " << path << " to load color indices from.\n";
        return;
    }
    table.colors.fill(ColorWord());
    std::istringstream in(bytes);
    long long n;
    std::string name;
    while (true) {
        if (!(in >> n)) break;
        if (n < 0) return;
        if (!(in >> name)) break;
        if (n >= 64) {
            ErrorLog << "Color index too high (" << std::to_string(n) << ") in file " << path << "...  ignoring it.\n";
            continue;
        }
        auto found = map.find(name);
        if (found != map.end())
            table.colors[size_t(n)] = found->second;
        else
            ErrorLog << "No such color (" << name << "), referanced in file " << path << "\n";
    }
    ErrorLog << "Error in file " << path << "\n";
}

void LoadColorTables() {
    ColorNameMap map;
    LoadColorPairs(map);
    for (int part = 0; part < ColorPartCount; ++part)
        LoadColorIndices(PartColorFile(ColorPart(part)), map, PartColorTables[part]);
}

// --- shape files -------------------------------------------------------------

namespace {

// Reads little-endian fields from a file held in memory; reads past the end
// give zeros and set `short`.
struct ByteReader {
    const std::string& bytes;
    size_t at = 0;
    bool shortRead = false;

    uint8_t U8() {
        if (at < bytes.size()) return static_cast<uint8_t>(bytes[at++]);
        shortRead = true;
        return 0;
    }
    uint16_t U16() {
        uint16_t low = U8();
        return static_cast<uint16_t>(low | (U8() << 8));
    }
    void Row(std::vector<uint8_t>& row) {
        for (uint8_t& pixel : row) pixel = U8();
    }
};

void ReadShape(ByteReader& in, Shape& shape) {
    uint8_t width = in.U8(), height = in.U8();
    in.U8();
    in.U8();
    shape.rows.assign(height, std::vector<uint8_t>(width, 0));
    for (size_t fileRow = 0; fileRow < height; ++fileRow) in.Row(shape.rows[height - 1 - fileRow]);
    shape.transparent = (height > 0 && width > 0) ? shape.rows[0][0] : 0;
}

}  // namespace

bool LoadShapeFile(ShapeList& shapes, const std::string& path) {
    shapes.clear();
    std::string bytes;
    if (!ReadWholeFile(path, true, bytes)) {
        ErrorLog << "Unable to open " << path << " to load FSH data.\n";
        return false;
    }
    ByteReader in{bytes};
    shapes.resize(in.U16());
    for (size_t i = 0; i < shapes.size(); ++i) in.U16();
    for (Shape& shape : shapes) ReadShape(in, shape);
    if (in.shortRead) ErrorLog << "Warning: shape file ended early: " << path << "\n";
    return true;
}
