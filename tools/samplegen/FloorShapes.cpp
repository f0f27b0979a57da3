#include "FloorShapes.h"

#include <algorithm>
#include <cmath>

#include "SampleFiles.h"
#include "SamplePalette.h"

namespace {

// Patterns are painted in the cell's own square (s, t in [0, 1)), so that
// planks and tiles run along the cell's edges once the client turns the
// diamond back into a square.
using Painter = uint8_t (*)(double s, double t, uint32_t seed);

uint32_t Hash(uint32_t a, uint32_t b, uint32_t seed) {
    uint32_t h = a * 0x8da6b343u ^ b * 0xd8163841u ^ seed * 0xcb1ab31fu;
    h ^= h >> 15;
    h *= 0x2c1b3c6du;
    h ^= h >> 12;
    h *= 0x297a2d39u;
    return h ^ (h >> 15);
}

double Unit(uint32_t h) { return (h & 0xFFFFFF) / double(0x1000000); }

int Wrap(int v, int period) { return ((v % period) + period) % period; }

// Value noise that repeats every `period` lattice steps across the square,
// so neighbouring cells with the same floor join without a seam.
double Noise(double s, double t, int period, uint32_t seed) {
    double x = s * period, y = t * period;
    int ix = static_cast<int>(std::floor(x)), iy = static_cast<int>(std::floor(y));
    double fx = x - ix, fy = y - iy;
    fx = fx * fx * (3 - 2 * fx);
    fy = fy * fy * (3 - 2 * fy);
    auto at = [&](int dx, int dy) {
        return Unit(Hash(Wrap(ix + dx, period), Wrap(iy + dy, period), seed));
    };
    double top = at(0, 0) + (at(1, 0) - at(0, 0)) * fx;
    double bottom = at(0, 1) + (at(1, 1) - at(0, 1)) * fx;
    return top + (bottom - top) * fy;
}

double Fbm(double s, double t, int period, uint32_t seed) {
    return 0.65 * Noise(s, t, period, seed) + 0.35 * Noise(s, t, period * 2, seed + 17);
}

double Grain(double s, double t, uint32_t seed) {
    return Unit(Hash(static_cast<uint32_t>(s * 64), static_cast<uint32_t>(t * 64), seed + 99));
}

uint8_t Mottled(Ramp ramp, int base, int spread, int period, double s, double t, uint32_t seed) {
    double n = Fbm(s, t, period, seed) - 0.5 + (Grain(s, t, seed) - 0.5) * 0.35;
    return Shade(ramp, static_cast<int>(std::lround(base + 2 * spread * n)));
}

// Distance to the nearest and second-nearest jittered point of a wrapping grid.
struct CellHit {
    double nearest, second;
    uint32_t id;
};

CellHit Cells(double s, double t, int period, uint32_t seed) {
    double x = s * period, y = t * period;
    int ix = static_cast<int>(std::floor(x)), iy = static_cast<int>(std::floor(y));
    CellHit hit{9, 9, 0};
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
            uint32_t h = Hash(Wrap(ix + dx, period), Wrap(iy + dy, period), seed);
            double px = ix + dx + 0.2 + 0.6 * Unit(h), py = iy + dy + 0.2 + 0.6 * Unit(h >> 7 ^ h << 9);
            double d = std::hypot(px - x, py - y);
            if (d < hit.nearest) {
                hit.second = hit.nearest;
                hit.nearest = d;
                hit.id = h;
            } else if (d < hit.second) {
                hit.second = d;
            }
        }
    return hit;
}

uint8_t Stones(Ramp stone, Ramp mortar, int period, double s, double t, uint32_t seed) {
    CellHit c = Cells(s, t, period, seed);
    if (c.second - c.nearest < 0.12) return Shade(mortar, 3);
    int shade = 6 + static_cast<int>(c.id % 6) - static_cast<int>(c.nearest * 4);
    return Shade(stone, shade + static_cast<int>(Grain(s, t, seed) * 2));
}

uint8_t Tiles(Ramp tile, Ramp grout, int count, double s, double t, uint32_t seed) {
    double x = s * count, y = t * count;
    double fx = x - std::floor(x), fy = y - std::floor(y);
    if (fx < 0.08 || fy < 0.08) return Shade(grout, 4);
    uint32_t h = Hash(static_cast<uint32_t>(x), static_cast<uint32_t>(y), seed);
    int bevel = (fx > 0.9 || fy > 0.9) ? -2 : 0;
    return Shade(tile, 8 + static_cast<int>(h % 4) + bevel + static_cast<int>(Grain(s, t, seed) * 1.5));
}

uint8_t Planks(Ramp wood, int count, double along, double across, uint32_t seed) {
    double p = across * count;
    int plank = static_cast<int>(p);
    double f = p - plank;
    if (f < 0.09) return Shade(wood, 2);
    double offset = Unit(Hash(plank, 0, seed));
    double joint = std::fmod(along + offset, 1.0);
    if (joint < 0.025) return Shade(wood, 3);
    double grainLine = std::sin((along * 40 + Noise(along, across, 4, seed) * 6) + plank * 2.1);
    return Shade(wood, 8 + static_cast<int>(plank % 3) + static_cast<int>(grainLine * 1.6));
}

uint8_t Dots(uint8_t base, Ramp dot, double density, double s, double t, uint32_t seed) {
    CellHit c = Cells(s, t, 8, seed + 5);
    if (c.nearest < 0.22 && Unit(c.id) < density) return Shade(dot, 9 + static_cast<int>(c.id % 5));
    return base;
}

uint8_t Carpet(Ramp field, Ramp border, double s, double t, uint32_t seed) {
    double edge = std::min(std::min(s, 1 - s), std::min(t, 1 - t));
    if (edge < 0.07) return Shade(border, 10);
    if (edge < 0.12) return Shade(field, 4);
    double diamond = std::fabs(s - 0.5) + std::fabs(t - 0.5);
    if (std::fmod(diamond * 6, 1.0) < 0.18) return Shade(border, 9);
    return Shade(field, 7 + static_cast<int>(Grain(s, t, seed) * 2));
}

uint8_t Ripples(Ramp water, int base, double s, double t, uint32_t seed) {
    double n = Fbm(s, t, 4, seed);
    double wave = std::sin((s + t) * 18.85 + n * 7);  // three crests across the cell
    int shade = base + static_cast<int>(wave * 2 + (n - 0.5) * 4);
    if (wave > 0.93) shade += 3;
    return Shade(water, shade);
}

uint8_t Herringbone(double s, double t, uint32_t seed) {
    int band = static_cast<int>((s + t) * 4);
    bool along = band % 2 == 0;
    return Planks(Ramp::LightWood, 8, along ? s : t, along ? t : s, seed + band);
}

const Painter Painters[static_cast<int>(Floor::Count)] = {
    [](double s, double t, uint32_t k) { return Mottled(Ramp::Grass, 8, 4, 4, s, t, k); },
    [](double s, double t, uint32_t k) { return Mottled(Ramp::Moss, 10, 4, 4, s, t, k); },
    [](double s, double t, uint32_t k) { return Dots(Mottled(Ramp::Grass, 8, 3, 4, s, t, k), Ramp::Rose, 0.5, s, t, k); },
    [](double s, double t, uint32_t k) {
        return Fbm(s, t, 4, k) > 0.55 ? Mottled(Ramp::Gold, 7, 3, 4, s, t, k) : Mottled(Ramp::Grass, 9, 3, 4, s, t, k);
    },
    [](double s, double t, uint32_t k) { return Dots(Mottled(Ramp::Grass, 9, 3, 4, s, t, k), Ramp::Moss, 0.8, s, t, k); },
    [](double s, double t, uint32_t k) { return Mottled(Ramp::Dirt, 7, 4, 4, s, t, k); },
    [](double s, double t, uint32_t k) { return Dots(Mottled(Ramp::Dirt, 9, 3, 4, s, t, k), Ramp::Stone, 0.3, s, t, k); },
    [](double s, double t, uint32_t k) { return Mottled(Ramp::Stone, 8, 6, 16, s, t, k); },
    [](double s, double t, uint32_t k) { return Stones(Ramp::Stone, Ramp::Dirt, 4, s, t, k); },
    [](double s, double t, uint32_t k) { return Tiles(Ramp::Stone, Ramp::Slate, 2, s, t, k); },
    [](double s, double t, uint32_t k) { return Stones(Ramp::Slate, Ramp::Moss, 2, s, t, k); },
    [](double s, double t, uint32_t k) { return Mottled(Ramp::Sand, 10, 3, 4, s, t, k); },
    [](double s, double t, uint32_t k) {
        return Shade(Ramp::Sand, 9 + static_cast<int>(std::sin((s * 2 + t) * 25 + Fbm(s, t, 4, k) * 5) * 2));
    },
    [](double s, double t, uint32_t k) {
        return t + (Fbm(s, t, 4, k) - 0.5) * 0.4 > 0.55 ? Ripples(Ramp::Water, 10, s, t, k) : Mottled(Ramp::Sand, 9, 3, 4, s, t, k);
    },
    [](double s, double t, uint32_t k) { return Ripples(Ramp::Water, 7, s, t, k); },
    [](double s, double t, uint32_t k) { return Ripples(Ramp::DeepWater, 8, s, t, k); },
    [](double s, double t, uint32_t k) { return Ripples(Ramp::Water, 9, s * 2, t * 2, k); },
    [](double s, double t, uint32_t k) {
        return Fbm(s, t, 4, k) > 0.6 ? Mottled(Ramp::Sand, 6, 2, 4, s, t, k) : Ripples(Ramp::Water, 11, s, t, k);
    },
    [](double s, double t, uint32_t k) {
        CellHit c = Cells(s, t, 3, k);
        if (c.nearest < 0.3 && c.id % 3 != 0) return Shade(Ramp::Moss, c.nearest < 0.05 ? 4 : 10);
        return Ripples(Ramp::Water, 7, s, t, k);
    },
    [](double s, double t, uint32_t k) { return Planks(Ramp::LightWood, 4, s, t, k); },
    [](double s, double t, uint32_t k) { return Planks(Ramp::LightWood, 4, t, s, k); },
    [](double s, double t, uint32_t k) { return Planks(Ramp::DarkWood, 5, s, t, k); },
    [](double s, double t, uint32_t k) {
        bool flip = (static_cast<int>(s * 4) + static_cast<int>(t * 4)) % 2 != 0;
        double ls = std::fmod(s * 4, 1.0), lt = std::fmod(t * 4, 1.0);
        return Planks(Ramp::DarkWood, 3, flip ? ls : lt, flip ? lt : ls, k);
    },
    [](double s, double t, uint32_t k) {
        bool dark = (static_cast<int>(s * 4) + static_cast<int>(t * 4)) % 2 != 0;
        return dark ? Mottled(Ramp::Slate, 4, 2, 8, s, t, k) : Mottled(Ramp::Marble, 12, 2, 8, s, t, k);
    },
    [](double s, double t, uint32_t k) { return Tiles(Ramp::Clay, Ramp::Sand, 4, s, t, k); },
    [](double s, double t, uint32_t k) { return Tiles(Ramp::BlueTile, Ramp::Marble, 4, s, t, k); },
    [](double s, double t, uint32_t k) {
        double vein = std::fabs(std::sin((s * 3 + t * 2) * 6.28 + Fbm(s, t, 4, k) * 9));
        return Shade(Ramp::Marble, vein < 0.08 ? 5 : 12 + static_cast<int>(Grain(s, t, k) * 2));
    },
    [](double s, double t, uint32_t k) {
        int row = static_cast<int>(t * 8);
        double x = s * 4 + (row % 2) * 0.5;
        if (std::fmod(t * 8, 1.0) < 0.15 || std::fmod(x, 1.0) < 0.06) return Shade(Ramp::Stone, 9);
        return Shade(Ramp::Clay, 7 + static_cast<int>(Hash(static_cast<uint32_t>(x), row, k) % 4));
    },
    [](double s, double t, uint32_t k) { return Carpet(Ramp::Clay, Ramp::Gold, s, t, k); },
    [](double s, double t, uint32_t k) { return Carpet(Ramp::BlueTile, Ramp::Marble, s, t, k); },
    [](double s, double t, uint32_t k) {
        return Fbm(s, t, 4, k) > 0.62 ? Shade(Ramp::DeepWater, 9) : Mottled(Ramp::Dirt, 4, 3, 4, s, t, k);
    },
    [](double s, double t, uint32_t k) { return Mottled(Ramp::Marble, 13, 2, 4, s, t, k); },
    [](double s, double t, uint32_t k) {
        CellHit c = Cells(s, t, 3, k);
        if (c.second - c.nearest < 0.05) return Shade(Ramp::Marble, 15);
        return Mottled(Ramp::Slate, 12, 2, 4, s, t, k);
    },
    [](double s, double t, uint32_t k) { return Mottled(Ramp::Moss, 7, 5, 8, s, t, k); },
    [](double s, double t, uint32_t k) {
        CellHit c = Cells(s, t, 8, k);
        static const Ramp colours[] = {Ramp::Gold, Ramp::Clay, Ramp::Dirt, Ramp::Moss};
        if (c.nearest < 0.45) return Shade(colours[c.id % 4], 7 + static_cast<int>(c.id % 5));
        return Mottled(Ramp::Dirt, 4, 2, 4, s, t, k);
    },
    [](double s, double t, uint32_t k) {
        return Shade(Ramp::Gold, 8 + static_cast<int>(std::sin(s * 90 + Noise(s, t, 8, k) * 20) * 3));
    },
    [](double s, double t, uint32_t k) { return Mottled(Ramp::Stone, 6, 6, 2, s, t, k); },
    [](double s, double t, uint32_t k) { return Tiles(Ramp::Slate, Ramp::DeepWater, 2, s, t, k + 3); },
    [](double s, double t, uint32_t k) {
        static const Ramp colours[] = {Ramp::BlueTile, Ramp::Gold, Ramp::Marble, Ramp::Clay, Ramp::Water};
        uint32_t h = Hash(static_cast<uint32_t>(s * 8), static_cast<uint32_t>(t * 8), k);
        return Tiles(colours[h % 5], Ramp::Stone, 8, s, t, k);
    },
    [](double s, double t, uint32_t k) { return Herringbone(s, t, k); },
    [](double s, double t, uint32_t k) {
        CellHit c = Cells(s, t, 2, k);
        if (c.nearest < 0.32) return Shade(Ramp::Stone, 9 - static_cast<int>(c.nearest * 10));
        return Mottled(Ramp::Grass, 8, 4, 4, s, t, k);
    },
    [](double s, double t, uint32_t k) {
        CellHit c = Cells(s, t, 4, k);
        if (c.second - c.nearest < 0.15) return Shade(Ramp::Gold, 14 - static_cast<int>((c.second - c.nearest) * 40));
        return Mottled(Ramp::Clay, 3, 2, 8, s, t, k);
    },
    [](double s, double t, uint32_t k) {
        double row = std::fmod(s * 6, 1.0);
        if (row > 0.35 && row < 0.65 && Grain(s, t, k) > 0.3) return Shade(Ramp::Grass, 6 + static_cast<int>(Grain(s, t, k) * 6));
        return Mottled(Ramp::Dirt, 5, 3, 4, s, t, k);
    },
};

ShapeImage PaintShape(const Painter& paint, uint32_t seed) {
    ShapeImage img;
    img.width = FloorShapeWidth;
    img.height = FloorShapeHeight;
    img.pixels.assign(img.width * img.height, TransparentIndex);
    double halfW = img.width / 2.0, halfH = img.height / 2.0;
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x) {
            double u = (x + 0.5 - halfW) / halfW, v = (y + 0.5 - halfH) / halfH;
            if (std::fabs(u) + std::fabs(v) > 1.0) continue;
            double s = std::clamp((u + v) / 2 + 0.5, 0.0, 0.999), t = std::clamp((v - u) / 2 + 0.5, 0.0, 0.999);
            uint8_t index = paint(s, t, seed);
            img.pixels[y * img.width + x] = index == TransparentIndex ? Shade(Ramp::Stone, 0) : index;
        }
    return img;
}

}  // namespace

std::vector<ShapeImage> MakeFloorShapes() {
    std::vector<ShapeImage> shapes;
    for (int i = 0; i < static_cast<int>(Floor::Count); ++i) shapes.push_back(PaintShape(Painters[i], 1000 + i * 7919));
    return shapes;
}

std::string EncodeShapeFile(const std::vector<ShapeImage>& shapes) {
    std::string out;
    PutU16(out, static_cast<uint16_t>(shapes.size()));
    for (size_t i = 0; i < shapes.size(); ++i) PutU16(out, 0);
    for (const ShapeImage& shape : shapes) {
        out.push_back(static_cast<char>(shape.width));
        out.push_back(static_cast<char>(shape.height));
        out.push_back(0);
        out.push_back(0);
        for (int y = shape.height - 1; y >= 0; --y)
            out.append(reinterpret_cast<const char*>(&shape.pixels[y * shape.width]), shape.width);
    }
    return out;
}
