#include "ServerLines.h"

#include "GameProtocol.h"

namespace {

constexpr size_t ColourCodeLength = 10;
const int StandingFrames[4] = {13, 9, 1, 5};  // by facing 0..3

}  // namespace

std::string FrameCode(int facing) { return EncodeBase95(StandingFrames[facing & 3], true); }

std::string CellText(GridPoint cell, int32_t mapHeight) {
    GridCell server = GridToServer(cell.x, cell.y, mapHeight);
    return EncodeBase95(server.x, true) + EncodeBase95(server.y, true);
}

bool ParseCellText(const std::string& line, size_t at, int32_t mapHeight, GridPoint& cell) {
    if (line.size() < at + 4) return false;
    std::string_view view(line);
    GridCell grid = ServerToGrid(DecodeBase95(view.substr(at, 2)), DecodeBase95(view.substr(at + 2, 2)), mapHeight);
    cell = {grid.x, grid.y};
    return true;
}

std::string AvatarLine(const std::string& colours, GridPoint cell, int facing, int32_t mapHeight) {
    return "<" + colours + CellText(cell, mapHeight) + FrameCode(facing);
}

std::string MoveLine(const std::string& colours, GridPoint to, int facing, GridPoint from, int32_t mapHeight) {
    return "/" + colours + CellText(to, mapHeight) + FrameCode(facing) + CellText(from, mapHeight);
}

std::string RemoveLine(GridPoint cell, int32_t mapHeight) { return ")" + CellText(cell, mapHeight); }
std::string ViewLine(GridPoint cell, int32_t mapHeight) { return "@" + CellText(cell, mapHeight); }

std::string FloorLine(GridPoint cell, uint16_t floor, int32_t mapHeight) {
    return "1" + CellText(cell, mapHeight) + EncodeBase95(floor, true);
}

std::string ObjectLine(GridPoint cell, uint16_t object, int32_t mapHeight) {
    return ">" + CellText(cell, mapHeight) + EncodeBase95(object, true);
}

std::string MapLine(const std::string& mapFile) { return ";" + mapFile; }
std::string PaletteLine(const std::string& paletteFile) { return "]cc" + paletteFile; }

std::string PortalLine(GridPoint cell, const std::string& name, const std::string& text, int32_t mapHeight) {
    return "]s" + CellText(cell, mapHeight) + "  " + name + " " + text;
}

std::string PortalRemoveLine(GridPoint cell, int32_t mapHeight) { return "]t" + CellText(cell, mapHeight); }
std::string DreamLine(const std::string& dreamId) { return "]q " + dreamId; }

std::string PrintableOnly(const std::string& text) {
    std::string out;
    for (char c : text)
        if (c >= 32 && c <= 126) out += c;
    return out;
}

std::string SayLine(const std::string& text) { return "(" + PrintableOnly(text); }
std::string WhisperLine(const std::string& text) { return "[" + PrintableOnly(text); }

std::string ColourCodeOf(const std::string& colorLine) {
    std::string code = colorLine.size() > 6 ? colorLine.substr(6, ColourCodeLength) : "";
    code.resize(ColourCodeLength, '#');
    for (char& c : code)
        if (c < 32 || c > 126) c = '#';
    return code;
}
