#include "ItemTextures.h"

#include <algorithm>
#include <cmath>

#include "MeshBuilder.h"

namespace {

const int Size = 64;  // every texture is Size x Size and tiles

float Hash01(int x, int y, int salt) {
    uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u +
                 static_cast<uint32_t>(salt) * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return ((h ^ (h >> 16)) & 0xFFFF) / 65535.0f;
}

// Smooth value noise on a lattice of cellW x cellH texels that wraps at the
// texture's edge, so the texture tiles.
float Noise(float x, float y, int cellW, int cellH, int salt) {
    const int px = Size / cellW, py = Size / cellH;
    const float fx = x / cellW, fy = y / cellH;
    const int ix = static_cast<int>(std::floor(fx)), iy = static_cast<int>(std::floor(fy));
    float tx = fx - ix, ty = fy - iy;
    tx = tx * tx * (3 - 2 * tx), ty = ty * ty * (3 - 2 * ty);
    auto at = [&](int i, int j) { return Hash01(((i % px) + px) % px, ((j % py) + py) % py, salt); };
    const float top = at(ix, iy) + (at(ix + 1, iy) - at(ix, iy)) * tx;
    const float bottom = at(ix, iy + 1) + (at(ix + 1, iy + 1) - at(ix, iy + 1)) * tx;
    return top + (bottom - top) * ty;
}

RgbaImage Fill(Rgb (*texel)(int x, int y)) {
    RgbaImage img;
    img.width = img.height = Size;
    for (int y = 0; y < Size; ++y)
        for (int x = 0; x < Size; ++x) {
            const Rgb c = texel(x, y);
            for (float v : {c.r, c.g, c.b}) img.pixels.push_back(static_cast<uint8_t>(std::clamp(v, 0.0f, 1.0f) * 255.0f));
            img.pixels.push_back(255);
        }
    return img;
}

Rgb Mix(Rgb a, Rgb b, float t) { return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t}; }
Rgb Scale(Rgb a, float s) { return {a.r * s, a.g * s, a.b * s}; }

// Boards `boardSize` texels wide; `vertical` boards run down the image.
Rgb Wood(int x, int y, Rgb light, Rgb dark, int boardSize, bool vertical, int salt) {
    const int along = vertical ? y : x, across = vertical ? x : y;
    const int board = across / boardSize, inBoard = across % boardSize;
    if (inBoard == 0) return Scale(dark, 0.55f);  // the gap between boards
    // Each board has its own tone and one butt joint somewhere along it.
    const int joint = static_cast<int>(Hash01(board, 0, salt) * Size);
    if (along == joint) return Scale(dark, 0.7f);
    const float tone = 0.85f + 0.3f * Hash01(board, 1, salt);
    const float grain = 0.5f + 0.5f * std::sin((inBoard + 3.0f * Noise(vertical ? y : x, vertical ? x : y, 16, 4, salt)) * 2.1f);
    const float speck = 0.1f * (Hash01(x, y, salt + 1) - 0.5f);
    return Scale(Mix(light, dark, 0.55f * grain), tone + speck);
}

Rgb Bark(int x, int y) {
    const float furrow = Noise(x, y, 4, 16, 11) * 0.7f + Noise(x, y, 2, 8, 12) * 0.3f;
    const Rgb c = Mix({0.27f, 0.19f, 0.13f}, {0.47f, 0.36f, 0.26f}, std::pow(furrow, 1.5f));
    return Scale(c, 0.9f + 0.2f * Hash01(x, y, 13));
}

Rgb Planks(int x, int y) { return Wood(x, y, {0.76f, 0.6f, 0.41f}, {0.55f, 0.4f, 0.26f}, 16, false, 21); }
Rgb Oak(int x, int y) { return Wood(x, y, {0.67f, 0.45f, 0.25f}, {0.46f, 0.29f, 0.15f}, 16, false, 31); }
Rgb Walnut(int x, int y) { return Wood(x, y, {0.42f, 0.26f, 0.16f}, {0.22f, 0.13f, 0.08f}, 16, false, 41); }
Rgb Staves(int x, int y) { return Wood(x, y, {0.66f, 0.47f, 0.29f}, {0.45f, 0.31f, 0.18f}, 8, true, 51); }

Rgb Rock(int x, int y) {
    const float n = Noise(x, y, 16, 16, 61) * 0.5f + Noise(x, y, 8, 8, 62) * 0.3f + Noise(x, y, 4, 4, 63) * 0.2f;
    Rgb c = Mix({0.38f, 0.37f, 0.35f}, {0.62f, 0.6f, 0.56f}, n);
    if (Noise(x, y, 8, 8, 64) > 0.72f) c = Mix(c, {0.45f, 0.52f, 0.3f}, 0.6f);  // lichen
    return Scale(c, 0.92f + 0.16f * Hash01(x, y, 65));
}

Rgb Masonry(int x, int y) {
    const int row = y / 8, shifted = x + (row % 2) * 8, block = shifted / 16;
    if (y % 8 == 0 || shifted % 16 == 0) return {0.52f, 0.5f, 0.46f};  // mortar
    const float tone = 0.8f + 0.3f * Hash01(block % (Size / 16), row, 71);
    const Rgb c = Mix({0.5f, 0.48f, 0.45f}, {0.68f, 0.64f, 0.58f}, Noise(x, y, 4, 4, 72));
    return Scale(c, tone + 0.1f * (Hash01(x, y, 73) - 0.5f));
}

Rgb Marble(int x, int y) {
    const float vein = std::fabs(std::sin((x + y) * 0.098f + 6.0f * Noise(x, y, 16, 16, 81)));
    const Rgb c = Mix({0.62f, 0.62f, 0.64f}, {0.93f, 0.92f, 0.89f}, std::min(1.0f, vein * 4.0f));
    return Scale(c, 0.97f + 0.06f * Noise(x, y, 4, 4, 82));
}

Rgb Shingles(int x, int y) {
    const int row = y / 8, inRow = y % 8, shifted = x + (row % 2) * 4;
    if (shifted % 8 == 0) return {0.3f, 0.12f, 0.08f};
    const float tone = 0.85f + 0.3f * Hash01(shifted / 8 % 8, row, 91);
    const float shadow = inRow >= 6 ? 0.6f : 1.0f;  // the row above overlaps the lower edge
    return Scale({0.62f, 0.27f, 0.18f}, tone * shadow);
}

// Hazard stripes round a pale square with a question mark: a model that
// stands in for an object the item table does not know.
Rgb Placeholder(int x, int y) {
    static const char* const glyph[9] = {".XXXXX.", "XX...XX", ".....XX", "....XX.", "...XX..",
                                         "...XX..", ".......", "...XX..", "...XX.."};
    const Rgb magenta{0.9f, 0.16f, 0.75f}, ink{0.12f, 0.08f, 0.12f};
    if (x < 7 || y < 7 || x >= Size - 7 || y >= Size - 7) return ((x + y) / 6) % 2 ? magenta : ink;
    const int gx = (x - 18) / 4, gy = (y - 14) / 4;
    const bool mark = x >= 18 && y >= 14 && gx < 7 && gy < 9 && glyph[gy][gx] == 'X';
    return mark ? magenta : Rgb{0.96f, 0.94f, 0.9f};
}

template <Rgb (*texel)(int, int)>
RgbaImage Make() {
    return Fill(texel);
}

}  // namespace

const std::vector<Material>& Materials() {
    static const std::vector<Material> materials = {
        {"bark", Make<Bark>},       {"planks", Make<Planks>},     {"oak", Make<Oak>},
        {"walnut", Make<Walnut>},   {"staves", Make<Staves>},     {"rock", Make<Rock>},
        {"masonry", Make<Masonry>}, {"marble", Make<Marble>},     {"shingles", Make<Shingles>},
        {"placeholder", Make<Placeholder>},
    };
    return materials;
}
