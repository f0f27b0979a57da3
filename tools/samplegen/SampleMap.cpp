#include "SampleMap.h"

#include "SampleFiles.h"

SampleMap::SampleMap(int width, int height)
    : width(width), height(height), floors(width * height, 0), objects(width * height, 0),
      wallsX(width * height, 0), wallsY(width * height, 0) {}

int SampleMap::ServerIndex(int X, int Y) const {
    // The client's grid-to-server conversion; a cell is on the map only when
    // it converts back to itself and lies inside the diamond.
    int h = height / 2;
    int x = (2 * (X - Y + h) + 2) / 4;
    int y = X + Y - h;
    if (x < 0 || x >= width || y < 0 || y >= height) return -1;
    if (y / 2 + x != X || (y + 1) / 2 + h - x != Y) return -1;
    return x * height + y;
}

void SampleMap::SetFloor(int X, int Y, Floor floor) {
    int i = ServerIndex(X, Y);
    if (i >= 0) floors[i] = static_cast<uint16_t>(floor);
}

void SampleMap::SetObject(int X, int Y, Item item) {
    int i = ServerIndex(X, Y);
    if (i >= 0) objects[i] = static_cast<uint16_t>(item);
}

void SampleMap::SetWallX(int X, int Y, uint8_t wall) {
    int i = ServerIndex(X, Y);
    if (i >= 0) wallsX[i] = wall;
}

void SampleMap::SetWallY(int X, int Y, uint8_t wall) {
    int i = ServerIndex(X, Y);
    if (i >= 0) wallsY[i] = wall;
}

uint16_t SampleMap::FloorAt(int X, int Y) const {
    int i = ServerIndex(X, Y);
    return i >= 0 ? floors[i] : NoFloor;
}

uint16_t SampleMap::ObjectAt(int X, int Y) const {
    int i = ServerIndex(X, Y);
    return i >= 0 ? objects[i] : 0;
}

uint8_t SampleMap::WallXAt(int X, int Y) const {
    int i = ServerIndex(X, Y);
    return i >= 0 ? wallsX[i] : 0;
}

uint8_t SampleMap::WallYAt(int X, int Y) const {
    int i = ServerIndex(X, Y);
    return i >= 0 ? wallsY[i] : 0;
}

std::string SampleMap::Encode(const std::string& title) const {
    std::string out = "MAP V01.10 Quillmor\nheight=" + std::to_string(height) + "\nwidth=" +
                      std::to_string(width) + "\nname=" + title + "\nBODY\n";
    for (uint16_t f : floors) PutU16(out, f);
    for (uint16_t o : objects) PutU16(out, o);
    for (int x = 0; x < width; ++x) {
        out.append(reinterpret_cast<const char*>(&wallsX[x * height]), height);
        out.append(reinterpret_cast<const char*>(&wallsY[x * height]), height);
    }
    return out;
}
