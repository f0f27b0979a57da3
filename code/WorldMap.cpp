#include "WorldMap.h"

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
}


namespace {

const char* const MapMagic = "MAP V01.10 Quillmor";
// Header lines are short; the bound keeps a file without line breaks (or a
// device) from growing a line without end.
const size_t MaxHeaderLineLength = 4096;

// The file is read as bytes, so a carriage return stays part of a line.
bool ReadHeaderLine(FILE* file, std::string& line) { return ReadBoundedLine(file, line, MaxHeaderLineLength, true); }

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

// The buffer is kept from load to load: maps come in similar sizes.
std::vector<uint8_t> body STATIC_ORDER(STATIC_GAME);

// Everything from the current position to the end, at most `wanted` bytes.
const std::vector<uint8_t>& ReadBody(FILE* file, size_t wanted) {
    long start = std::ftell(file);
    long end = start;
    if (start >= 0 && std::fseek(file, 0, SEEK_END) == 0) end = std::ftell(file);
    std::fseek(file, start, SEEK_SET);
    size_t available = end > start ? static_cast<size_t>(end - start) : 0;
    body.resize(std::min(wanted, available));
    body.resize(std::fread(body.data(), 1, body.size(), file));
    return body;
}

// The file's three layers, looked up by server cell. Values the body does
// not reach keep the defaults.
class MapBody {
public:
    MapBody(const std::vector<uint8_t>& bytes, int32_t width, int32_t height)
        : bytes(bytes), W(width), H(height), count(size_t(width) * size_t(height)) {}

    // Row Y of the grid. The server cells landing on it are those of
    // GridToServer: y = X + Y - h runs through 0..H-1 and x = (X - Y + h + 1) / 2
    // through 0..W-1, which gives the span of X worked out below.
    void FillRow(int32_t Y, MapCell* row, const MapCell* defaults, int32_t N) const {
        const int32_t h = H / 2;
        const int32_t first = std::max({0, h - Y, Y - h - 1});
        const int32_t last = std::max(first - 1, std::min({N - 1, h - Y + H - 1, Y - h + 2 * W - 2}));
        std::copy_n(defaults, first, row);
        for (int32_t X = first; X <= last; ++X) row[X] = At(size_t((X - Y + h + 1) >> 1), size_t(X + Y - h));
        std::copy_n(defaults, N - 1 - last, row + last + 1);
    }

private:
    MapCell At(size_t x, size_t y) const {
        MapCell cell;
        size_t i = x * H + y;
        if (2 * i + 1 < bytes.size()) cell.floor = Word(2 * i);
        if (2 * (count + i) + 1 < bytes.size()) cell.object = Word(2 * (count + i));
        size_t wallX = 4 * count + x * 2 * H + y;
        if (wallX < bytes.size()) cell.wallX = bytes[wallX];
        if (wallX + H < bytes.size()) cell.wallY = bytes[wallX + H];
        return cell;
    }
    uint16_t Word(size_t at) const { return static_cast<uint16_t>(bytes[at] | (bytes[at + 1] << 8)); }

    const std::vector<uint8_t>& bytes;
    const int32_t W, H;
    const size_t count;
};

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
        size_t wanted = 6 * size_t(size.width) * size_t(size.height);
        const std::vector<uint8_t>& bytes = ReadBody(file, wanted);
        if (bytes.size() < wanted)
            ErrorLog << "Warning: map file body ended early: " << path << "\n"
                     << "  -cells it does not reach keep their defaults.\n";
        MapBody body(bytes, size.width, size.height);
        TheWorldMap.Build(size.width, size.height, [&body](int32_t Y, MapCell* row, const MapCell* defaults, int32_t n) {
            body.FillRow(Y, row, defaults, n);
        });
        TheWorldMap.MapLoaded = true;
    }
    std::fclose(file);
    return usable;
}
