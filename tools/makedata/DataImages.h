// The system's own images under data/: the chooser's marker, the scroll bar,
// the wall texture and the dream portal texture. All sides are powers of two.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct RgbaImage {
    int width = 0, height = 0;
    std::vector<uint8_t> pixels;  // red, green, blue, alpha; rows from the top
};

RgbaImage MakeChooserMarker();   // data/pickINI.bmp
RgbaImage MakeScrollTrack();     // data/ui/sbar0.png
RgbaImage MakeScrollThumb();     // data/ui/sbar1.png
RgbaImage MakeStoneWall();       // data/walls/stone1.bmp
RgbaImage MakeDreamPortal();     // data/misc/dream0.png

// Writers; false (with an error-log line) when the file cannot be written.
bool WritePng(const std::string& path, const RgbaImage& image);
bool WriteBmp(const std::string& path, const RgbaImage& image);  // 24-bit, alpha dropped
