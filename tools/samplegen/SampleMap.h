// A map of the sample world, edited in the client's square grid and stored in
// the game's own diamond layout (server coordinates), as the map file holds it.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "SampleLayout.h"


class SampleMap {
public:
    // width and height are the map file's values (server x and y ranges).
    SampleMap(int width, int height);

    int Width() const { return width; }
    int Height() const { return height; }
    int GridSize() const { return width + height; }
    // True when a server cell lands on grid cell (X, Y).
    bool OnMap(int X, int Y) const { return ServerIndex(X, Y) >= 0; }

    // Setters ignore cells off the map; getters answer NoFloor / 0 there.
    void SetFloor(int X, int Y, Floor floor);
    void SetObject(int X, int Y, Item item);
    void SetWallX(int X, int Y, uint8_t wall);
    void SetWallY(int X, int Y, uint8_t wall);
    uint16_t FloorAt(int X, int Y) const;
    uint16_t ObjectAt(int X, int Y) const;
    uint8_t WallXAt(int X, int Y) const;
    uint8_t WallYAt(int X, int Y) const;

    // The map file: the header lines, "BODY", then the three layers.
    std::string Encode(const std::string& title) const;

private:
    int ServerIndex(int X, int Y) const;  // x × height + y, or -1 off the map

    int width, height;
    std::vector<uint16_t> floors, objects;
    std::vector<uint8_t> wallsX, wallsY;
};
