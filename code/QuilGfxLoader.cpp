#include "QuilGfxLoader.h"

#include "CProfiler.h"
#include "FileUtil.h"
#include "LogFile.h"
#include "StaticOrder.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <sstream>

Palette GamePalette STATIC_ORDER(STATIC_GAME);
PartColorTable PartColorTables[ColorPartCount] STATIC_ORDER(STATIC_GAME);

namespace {

const char* const PartNames[ColorPartCount] = {"badge", "bracer", "boot",    "cape",  "eye",
                                               "fur",   "hair",   "marking", "pants", "vest"};
const char* const ColorPairsFile = "data\\colors\\colors.txt";
const size_t PcxPaletteSize = 768;

// The whole file as bytes, or false when it cannot be opened.
bool ReadFileBytes(const std::string& path, std::string& bytes) {
    FILE* file = OpenFile(path, "rb");
    if (!file) return false;
    bytes.clear();
    char block[4096];
    size_t got;
    while ((got = std::fread(block, 1, sizeof block, file)) > 0) bytes.append(block, got);
    std::fclose(file);
    return true;
}

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
    if (!ReadFileBytes(ColorPairsFile, bytes)) {
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
    if (!ReadFileBytes(path, bytes)) {
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
    if (!ReadFileBytes(path, bytes)) {
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

void DiamondToSquare(float s, float t, float& u, float& v) {
    const float quarterTurn = 3.1415927f / 4;
    const float c = std::cos(quarterTurn), d = std::sin(quarterTurn);
    const float k = static_cast<float>(1.0 / (std::sqrt(2.0) * 1.025));
    const float px = s - 0.5f, py = t - 0.5f;
    u = k * (c * px - d * py) + 0.5f;
    v = k * (d * px + c * py) + 0.5f;
}

namespace {

const int FloorTextureSize = 64;

// The first of two neighbouring pixels along one axis and its weight. The
// clamps keep both inside the image, also for an image one pixel wide.
struct Axis {
    int first = 0, second = 0;
    float weight = 0;
};

Axis AxisAt(float position, int size) {
    Axis axis;
    int index = static_cast<int>(std::floor(position));
    axis.weight = static_cast<float>(1.0 - std::fmod(static_cast<double>(position), 1.0));
    if (index < 0) {
        index = 0;
        axis.weight = 0;
    }
    if (index > size - 2) {
        index = size - 2;
        axis.weight = 1;
    }
    axis.first = std::max(index, 0);
    axis.second = std::min(index + 1, size - 1);
    return axis;
}

struct Blend {
    float red = 0, green = 0, blue = 0, weight = 0;
    void Add(const Shape& shape, int x, int y, float w) {
        uint8_t index = shape.rows[size_t(y)][size_t(x)];
        if (index == shape.transparent) return;
        const ColorWord& color = GamePalette[index];
        red += color.red * w;
        green += color.green * w;
        blue += color.blue * w;
        weight += w;
    }
};

uint32_t PackTexel(const Blend& blend, uint32_t bitsPerTexel) {
    float r = 0, g = 0, b = 0;
    if (blend.weight > 0) {
        r = blend.red / blend.weight;
        g = blend.green / blend.weight;
        b = blend.blue / blend.weight;
    }
    if (bitsPerTexel == 32)
        return 0xFF000000u | uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b);
    return 0xF000u | uint32_t(r * 0.0625f) << 8 | uint32_t(g * 0.0625f) << 4 | uint32_t(b * 0.0625f);
}

}  // namespace

uint32_t FloorTexel(const Shape& shape, int tx, int ty, uint32_t bitsPerTexel) {
    const int height = static_cast<int>(shape.rows.size());
    const int width = height > 0 ? static_cast<int>(shape.rows[0].size()) : 0;
    Blend blend;
    if (width > 0 && height > 0) {
        float u = 0, v = 0;
        DiamondToSquare(float(tx) * 0.015625f, float(ty) * 0.015625f, u, v);
        Axis x = AxisAt(u * float(width) - 0.5f, width), y = AxisAt(v * float(height) - 0.5f, height);
        blend.Add(shape, x.first, y.first, x.weight * y.weight);
        blend.Add(shape, x.second, y.first, (1 - x.weight) * y.weight);
        blend.Add(shape, x.first, y.second, x.weight * (1 - y.weight));
        blend.Add(shape, x.second, y.second, (1 - x.weight) * (1 - y.weight));
    }
    return PackTexel(blend, bitsPerTexel);
}

namespace {

void WriteFloorTexels(const Shape& shape, uint8_t* to, uint32_t pitch, uint32_t bits) {
    for (int ty = 0; ty < FloorTextureSize; ++ty, to += pitch)
        for (int tx = 0; tx < FloorTextureSize; ++tx) {
            uint32_t texel = FloorTexel(shape, tx, ty, bits);
            if (bits == 32)
                std::memcpy(to + tx * 4, &texel, 4);
            else {
                uint16_t half = static_cast<uint16_t>(texel);
                std::memcpy(to + tx * 2, &half, 2);
            }
        }
}

bool BuildFloorTexture(const Shape& shape, std::vector<G::Texture>& textures) {
    G::Texture texture;
    if (!texture.Create(FloorTextureSize, FloorTextureSize, 3, 1, true)) {
        ErrorLog << "Texture create failed while doing floor tile conversion.\n";
        return false;
    }
    texture.SetWrap(false, false, true);
    G::TextureLock lock(texture, 0, true);
    uint32_t *texels, pitch, slice, bits, width, height, depth;
    if (!lock.GetInfo(texels, pitch, slice, bits, width, height, depth)) {
        ErrorLog << "Lock on newly created texture failed while floor tile conversion.\n";
        return false;
    }
    WriteFloorTexels(shape, reinterpret_cast<uint8_t*>(texels), pitch, bits);
    textures.push_back(texture);
    lock.Unlock();
    return true;
}

}  // namespace

bool BuildFloorTextures(const ShapeList& shapes, std::vector<G::Texture>& textures) {
    textures.clear();
    ProfileStart("Generate floor textures from .fsh", __FILE__);
    bool made = true;
    for (const Shape& shape : shapes)
        if (!(made = BuildFloorTexture(shape, textures))) break;
    ProfileStop("Generate floor textures from .fsh", __FILE__);
    return made;
}
