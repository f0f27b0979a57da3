#include "ServerMap.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "GameProtocol.h"
#include "LogFile.h"

namespace {

constexpr size_t MaxHeaderLines = 64;
constexpr size_t MaxHeaderLength = 256;

bool ReadHeader(const std::string& bytes, size_t& body, int32_t& width, int32_t& height) {
    size_t at = 0;
    for (size_t line = 0; line < MaxHeaderLines; ++line) {
        size_t end = bytes.find('\n', at);
        if (end == std::string::npos || end - at > MaxHeaderLength) return false;
        std::string text = bytes.substr(at, end - at);
        at = end + 1;
        if (line == 1 && text.size() >= 8 && text.compare(0, 3, "hei") == 0) height = std::atoi(text.c_str() + 7);
        if (line == 2 && text.size() >= 7 && text.compare(0, 3, "wid") == 0) width = std::atoi(text.c_str() + 6);
        if (text == "BODY") {
            body = at;
            return true;
        }
    }
    return false;
}

uint16_t U16At(const std::string& bytes, size_t at) {
    return static_cast<uint16_t>(static_cast<uint8_t>(bytes[at]) | static_cast<uint8_t>(bytes[at + 1]) << 8);
}

}  // namespace

bool LoadServerMap(const std::string& path, WorldMap& map) {
    map.Clear();
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        ErrorLog << "Error: the server could not open map file: " << path << "\n";
        return false;
    }
    std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    size_t body = 0;
    int32_t w = 0, h = 0;
    if (!ReadHeader(bytes, body, w, h) || w < 0 || h < 0 || w + h > MaxMapGridSize) {
        ErrorLog << "Error: the server could not read the header of map file: " << path << "\n";
        return false;
    }
    size_t cells = static_cast<size_t>(w) * h;
    if (bytes.size() - body < 6 * cells) {
        ErrorLog << "Error: the body of map file " << path << " is shorter than its header says.\n";
        return false;
    }
    map.Reset(w, h);
    for (int32_t x = 0; x < w; ++x)
        for (int32_t y = 0; y < h; ++y) {
            size_t i = static_cast<size_t>(x) * h + y;
            GridCell g = ServerToGrid(x, y, h);
            map.SetFloor(g.x, g.y, U16At(bytes, body + 2 * i));
            map.SetObject(g.x, g.y, U16At(bytes, body + 2 * cells + 2 * i));
            size_t walls = body + 4 * cells + static_cast<size_t>(x) * 2 * h;
            map.SetWallX(g.x, g.y, static_cast<uint8_t>(bytes[walls + y]));
            map.SetWallY(g.x, g.y, static_cast<uint8_t>(bytes[walls + h + y]));
        }
    return true;
}
