#include "WorldMap.h"

#include "GameProtocol.h"
#include "FileUtil.h"
#include "LogFile.h"
#include "StaticOrder.h"

#include <algorithm>
#include <climits>
#include <cstdio>

WorldMap TheWorldMap STATIC_ORDER(STATIC_GAME);

void WorldMap::Clear() {
    MapLoaded = false;
    N = 0;
    cells.clear();
}

void WorldMap::Reset(int32_t width, int32_t height) {
    W = width;
    H = height;
    N = width + height;
    cells.assign(static_cast<size_t>(N) * N, MapCell());
}

namespace {

const char* const MapMagic = "MAP V01.10 Quillmor";
// Header lines are short; the bound keeps a file without line breaks (or a
// device) from growing a line without end.
const size_t MaxHeaderLineLength = 4096;

// One header line without its line feed. The file is read as bytes, so a
// carriage return stays part of the line. False at the end of the file.
bool ReadHeaderLine(FILE* file, std::string& line) {
    line.clear();
    int c = std::fgetc(file);
    if (c == EOF) return false;
    for (; c != EOF && c != '\n'; c = std::fgetc(file))
        if (line.size() < MaxHeaderLineLength) line += static_cast<char>(c);
    return true;
}

// Decimal text-to-integer as the C library reads it (leading white space, a
// sign, digits up to the first other byte), held to the 32-bit range.
int32_t ParseDecimal(const std::string& text, size_t from) {
    size_t i = from;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = i < text.size() && text[i] == '-';
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = std::min<int64_t>(value * 10 + (text[i] - '0'), int64_t(INT32_MAX) + 1);
    value = negative ? -value : std::min<int64_t>(value, INT32_MAX);
    return static_cast<int32_t>(value);
}

bool StartsWith(const std::string& line, const char* prefix) { return line.rfind(prefix, 0) == 0; }

struct MapSize {
    int32_t width = 0, height = 0;
};

// Lines 2 and 3, then every header line up to "BODY". False when the header
// ends (an empty line or the end of the file) before "BODY".
bool ReadHeader(FILE* file, const std::string& path, MapSize& size) {
    std::string line;
    ReadHeaderLine(file, line);
    if (line != MapMagic)
        ErrorLog << "Warning: Unrecognized map version found in map file: " << path << "\n"
                 << "  -load may potentially be invalid.\n";
    ReadHeaderLine(file, line);
    size.height = (line.size() >= 8 && StartsWith(line, "hei")) ? ParseDecimal(line, 7) : 0;
    ReadHeaderLine(file, line);
    size.width = (line.size() >= 7 && StartsWith(line, "wid")) ? ParseDecimal(line, 6) : 0;
    do {
        if (!ReadHeaderLine(file, line) || line.empty()) {
            ErrorLog << "Error: Format of file unrecognized: " << path << "\n";
            return false;
        }
    } while (line != "BODY");
    return true;
}

bool SizeIsUsable(const MapSize& size, const std::string& path) {
    if (size.width >= 0 && size.height >= 0 && int64_t(size.width) + size.height <= MaxMapGridSize) return true;
    ErrorLog << "Error: Unusable map size (width " << size.width << ", height " << size.height
             << ") in map file: " << path << "\n";
    return false;
}

// Everything from the current position to the end, at most `wanted` bytes.
std::vector<uint8_t> ReadBody(FILE* file, size_t wanted) {
    long start = std::ftell(file);
    long end = start;
    if (start >= 0 && std::fseek(file, 0, SEEK_END) == 0) end = std::ftell(file);
    std::fseek(file, start, SEEK_SET);
    size_t available = end > start ? static_cast<size_t>(end - start) : 0;
    std::vector<uint8_t> body(std::min(wanted, available));
    body.resize(std::fread(body.data(), 1, body.size(), file));
    return body;
}

uint16_t Word(const std::vector<uint8_t>& body, size_t at) {
    return static_cast<uint16_t>(body[at] | (body[at + 1] << 8));
}

// The three layers of server cell (x, y) go to its grid cell in one visit.
// Layers the body does not reach keep the defaults of WorldMap::Reset.
void StoreBody(const std::vector<uint8_t>& body, WorldMap& map) {
    const size_t W = map.W, H = map.H, count = W * H;
    const size_t floors = 0, objects = 2 * count, walls = 4 * count;
    for (size_t x = 0; x < W; ++x) {
        for (size_t y = 0; y < H; ++y) {
            GridCell g = ServerToGrid(int32_t(x), int32_t(y), map.H);
            if (!map.Inside(g.x, g.y)) continue;
            size_t i = x * H + y;
            if (floors + 2 * i + 1 < body.size()) map.SetFloor(g.x, g.y, Word(body, floors + 2 * i));
            if (objects + 2 * i + 1 < body.size()) map.SetObject(g.x, g.y, Word(body, objects + 2 * i));
            size_t wallX = walls + x * 2 * H + y;
            if (wallX < body.size()) map.SetWallX(g.x, g.y, body[wallX]);
            if (wallX + H < body.size()) map.SetWallY(g.x, g.y, body[wallX + H]);
        }
    }
}

}  // namespace

bool LoadMapFile(const std::string& path) {
    TheWorldMap.Clear();
    FILE* file = OpenFile(path, "rb");
    if (!file) {
        ErrorLog << "Failed to load quil .map file: " << path << "\n";
        return false;
    }
    MapSize size;
    bool usable = ReadHeader(file, path, size) && SizeIsUsable(size, path);
    if (usable) {
        TheWorldMap.Reset(size.width, size.height);
        size_t wanted = 6 * size_t(size.width) * size_t(size.height);
        std::vector<uint8_t> body = ReadBody(file, wanted);
        if (body.size() < wanted)
            ErrorLog << "Warning: map file body ended early: " << path << "\n"
                     << "  -cells it does not reach keep their defaults.\n";
        StoreBody(body, TheWorldMap);
        TheWorldMap.MapLoaded = true;
    }
    std::fclose(file);
    return usable;
}
