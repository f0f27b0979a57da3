// The map grid: the diamond map of the game server kept as a square grid of
// N x N cells (N = W + H), filled from a map file and changed cell by cell
// by the protocol.
#pragma once
#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

struct MapCell {
    uint16_t floor = NoFloor;  // NoFloor: outside the diamond
    uint16_t object = 0;       // 0: none
    uint8_t wallY = 0;         // wall on the edge toward lower Y (non-zero = wall)
    uint8_t wallX = 0;         // wall on the edge toward lower X

    static constexpr uint16_t NoFloor = 65535;
};

class WorldMap {
public:
    int32_t N = 0;         // grid width and height; 0 when no map is loaded
    int32_t W = 0, H = 0;  // the file's width and height (server coordinates)
    bool MapLoaded = false;

    // Gets outside 0..N-1 answer 0; sets outside are ignored.
    uint16_t GetFloor(int32_t x, int32_t y) const { return Inside(x, y) ? Cell(x, y).floor : 0; }
    uint16_t GetObject(int32_t x, int32_t y) const { return Inside(x, y) ? Cell(x, y).object : 0; }
    uint8_t GetWallX(int32_t x, int32_t y) const { return Inside(x, y) ? Cell(x, y).wallX : 0; }
    uint8_t GetWallY(int32_t x, int32_t y) const { return Inside(x, y) ? Cell(x, y).wallY : 0; }
    void SetFloor(int32_t x, int32_t y, uint16_t v) { if (Inside(x, y)) Cell(x, y).floor = v; }
    void SetObject(int32_t x, int32_t y, uint16_t v) { if (Inside(x, y)) Cell(x, y).object = v; }
    void SetWallX(int32_t x, int32_t y, uint8_t v) { if (Inside(x, y)) Cell(x, y).wallX = v; }
    void SetWallY(int32_t x, int32_t y, uint8_t v) { if (Inside(x, y)) Cell(x, y).wallY = v; }

    bool Inside(int32_t x, int32_t y) const { return x >= 0 && y >= 0 && x < N && y < N; }
    // The N x N cells, row by row: cell (X, Y) at Y * N + X.
    std::span<const MapCell> Cells() const { return {cells.data(), static_cast<size_t>(N) * N}; }

    // Empties the map (the storage is kept for the next load).
    void Clear();
    // Sizes the grid for a file of the given width and height and fills it
    // with the defaults: no floor, no object, no walls.
    void Reset(int32_t width, int32_t height) {
        Build(width, height, [](int32_t, MapCell* row, const MapCell* defaults, int32_t n) {
            std::copy_n(defaults, n, row);
        });
    }
    // Sizes the grid, then fillRow(Y, row, defaults, N) must write all N cells
    // of every row, in order; `defaults` is a row of default cells to copy
    // from. Each cell is written once, front to back, into storage kept
    // from the last load.
    template <class FillRow>
    void Build(int32_t width, int32_t height, FillRow fillRow) {
        W = width;
        H = height;
        N = width + height;
        const size_t count = static_cast<size_t>(N) * N;
        if (cells.size() < count) cells.resize(count);
        defaultRow.assign(static_cast<size_t>(N), MapCell());
        for (int32_t Y = 0; Y < N; ++Y) fillRow(Y, cells.data() + static_cast<size_t>(Y) * N, defaultRow.data(), N);
    }

private:
    MapCell& Cell(int32_t x, int32_t y) { return cells[static_cast<size_t>(y) * N + x]; }
    const MapCell& Cell(int32_t x, int32_t y) const { return cells[static_cast<size_t>(y) * N + x]; }

    std::vector<MapCell> cells;       // at least N x N; the storage outlives a load
    std::vector<MapCell> defaultRow;  // N default cells for Build
};

extern WorldMap TheWorldMap;

// Larger grids are refused: a 1000 x 1000 map (a 2000 x 2000 grid) is
// already far larger than the game's maps. A larger one would cost memory
// and, as a server may name it on every line, tens of milliseconds a load.
const int32_t MaxMapGridSize = 2048;

// Reads a map file into TheWorldMap, replacing it; false (and an empty map)
// when the file cannot be opened or is not a map.
bool LoadMapFile(const std::string& path);
