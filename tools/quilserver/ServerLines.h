// The lines the local server sends, built in the client's own coordinates
// and base-95 numbers. Cells are grid cells; `mapHeight` is the map file's
// height value, which the conversion to server coordinates needs.
#pragma once
#include <cstdint>
#include <string>

constexpr const char* LoginMarker = "&&&&&&&&&&&&&";
constexpr const char* LoginRefused = "Invalid Name or password.";

struct GridPoint {
    int32_t x = 0, y = 0;
    bool operator==(const GridPoint&) const = default;
};

// The standing frame code that the client reads back as `facing` (0..3).
std::string FrameCode(int facing);
std::string CellText(GridPoint cell, int32_t mapHeight);
// The cell of four base-95 characters at `at` in `line`; false when too short.
bool ParseCellText(const std::string& line, size_t at, int32_t mapHeight, GridPoint& cell);

std::string AvatarLine(const std::string& colours, GridPoint cell, int facing, int32_t mapHeight);
std::string MoveLine(const std::string& colours, GridPoint to, int facing, GridPoint from, int32_t mapHeight);
std::string RemoveLine(GridPoint cell, int32_t mapHeight);
std::string ViewLine(GridPoint cell, int32_t mapHeight);
std::string FloorLine(GridPoint cell, uint16_t floor, int32_t mapHeight);
std::string ObjectLine(GridPoint cell, uint16_t object, int32_t mapHeight);
std::string MapLine(const std::string& mapFile);
std::string PaletteLine(const std::string& paletteFile);
// A portal marker; spaces in `text` would be dropped by the client, so "|"
// stands for them (the label shows it as a space).
std::string PortalLine(GridPoint cell, const std::string& name, const std::string& text, int32_t mapHeight);
std::string PortalRemoveLine(GridPoint cell, int32_t mapHeight);
std::string DreamLine(const std::string& dreamId);
// Text lines: "(" shows in green, "[" in blue; bytes outside 32..126 are dropped.
std::string SayLine(const std::string& text);
std::string WhisperLine(const std::string& text);
std::string PrintableOnly(const std::string& text);
// The colour code of a "color" line: its ten bytes after "color ", each
// forced into 32..126 so a hostile byte cannot break the lines it is copied into.
std::string ColourCodeOf(const std::string& colorLine);
