// The host game's graphics data as the 3D client reads it: the palette from
// a PCX file, the system's own colour tables, and the shape files whose
// palette-indexed images become floor textures.
#pragma once
#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "GLTexture.h"

// Byte 0 is always zero and read by nobody; bytes 1..3 are red, green, blue.
struct ColorWord {
    uint8_t zero = 0, red = 0, green = 0, blue = 0;
    bool operator==(const ColorWord&) const = default;
};

typedef std::array<ColorWord, 256> Palette;
// Black until the server names a palette.
extern Palette GamePalette;

typedef std::map<std::string, ColorWord> ColorNameMap;

struct PartColorTable {
    std::array<ColorWord, 64> colors{};
};

// The ten per-part tables, loaded in this order by LoadColorTables.
enum ColorPart { Badge, Bracer, Boot, Cape, Eye, Fur, Hair, Marking, Pants, Vest, ColorPartCount };
extern PartColorTable PartColorTables[ColorPartCount];
// "data\\colors\\" + part name + ".txt"
std::string PartColorFile(ColorPart part);

// Replaces the palette from the 768-byte tail of a PCX file. A file too short
// to hold a palette leaves the previous one.
void LoadPcxPalette(const std::string& path);
// "data\\colors\\colors.txt", then the ten part files.
void LoadColorTables();
// Fills the map from "data\\colors\\colors.txt": name red green blue ... End.
void LoadColorPairs(ColorNameMap& map);
// Fills one table from a file of "number name" pairs closed by a negative number.
void LoadColorIndices(const std::string& path, const ColorNameMap& map, PartColorTable& table);

struct Shape {
    uint8_t transparent = 0;                // the pixel at row 0, column 0
    std::vector<std::vector<uint8_t>> rows; // rows[y][x]; the file's last row is rows[0]
};
typedef std::vector<Shape> ShapeList;

// Reads a shape file (".fsh"). A short file leaves what it does not hold as
// zeros. False only when the file cannot be opened (the list is then empty).
bool LoadShapeFile(ShapeList& shapes, const std::string& path);

// Where the point (s, t) of a square floor texture (each in [0, 1)) lies in
// the shape's image, in image widths and heights: the square's corners land
// just inside the four points of the image's diamond.
void DiamondToSquare(float s, float t, float& u, float& v);
// Texel (tx, ty) of a shape's 64 x 64 floor texture: 0xAARRGGBB for 32 bits
// per texel, 0xARGB in the low half for any other depth. Transparent pixels
// give no colour, only their opaque neighbours do; with none the texel is
// opaque black.
uint32_t FloorTexel(const Shape& shape, int tx, int ty, uint32_t bitsPerTexel);
// One 64 x 64 texture per shape, in shape order. False, after a report, when
// a texture cannot be made or locked; those made before it stay in the list.
bool BuildFloorTextures(const ShapeList& shapes, std::vector<G::Texture>& textures);
