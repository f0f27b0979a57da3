#include "SamplePalette.h"

#include <algorithm>

namespace {

struct RampEnds {
    Rgb dark, light;
};

const RampEnds Ramps[RampCount] = {
    {{34, 70, 20}, {150, 205, 80}},    // Grass
    {{20, 45, 25}, {95, 145, 70}},     // Moss
    {{60, 38, 20}, {195, 155, 105}},   // Dirt
    {{130, 110, 70}, {250, 237, 190}}, // Sand
    {{50, 50, 55}, {212, 212, 205}},   // Stone
    {{40, 48, 64}, {165, 178, 198}},   // Slate
    {{20, 62, 112}, {125, 195, 232}},  // Water
    {{8, 20, 55}, {52, 104, 165}},     // DeepWater
    {{110, 70, 35}, {232, 192, 132}},  // LightWood
    {{45, 25, 12}, {152, 97, 57}},     // DarkWood
    {{90, 30, 20}, {232, 132, 92}},    // Clay
    {{20, 30, 90}, {132, 162, 236}},   // BlueTile
    {{120, 120, 126}, {255, 255, 250}},// Marble
    {{110, 80, 10}, {255, 232, 122}},  // Gold
    {{70, 20, 60}, {242, 142, 202}},   // Rose
};

uint8_t Mix(uint8_t a, uint8_t b, int step, int steps) {
    return static_cast<uint8_t>(a + (b - a) * step / (steps - 1));
}

uint8_t Clamp(double v) {
    return static_cast<uint8_t>(std::clamp(v, 0.0, 255.0));
}

}  // namespace

uint8_t Shade(Ramp ramp, int shade) {
    shade = std::clamp(shade, 0, ShadesPerRamp - 1);
    return static_cast<uint8_t>(16 + static_cast<int>(ramp) * ShadesPerRamp + shade);
}

RgbPalette DayPalette() {
    RgbPalette p{};
    p[0] = {0, 0, 0};
    for (int i = 1; i < 16; ++i)
        p[i] = {Mix(16, 240, i - 1, 15), Mix(16, 240, i - 1, 15), Mix(16, 240, i - 1, 15)};
    for (int r = 0; r < RampCount; ++r)
        for (int s = 0; s < ShadesPerRamp; ++s) {
            const RampEnds& e = Ramps[r];
            p[Shade(static_cast<Ramp>(r), s)] = {Mix(e.dark.r, e.light.r, s, ShadesPerRamp),
                                                 Mix(e.dark.g, e.light.g, s, ShadesPerRamp),
                                                 Mix(e.dark.b, e.light.b, s, ShadesPerRamp)};
        }
    return p;
}

RgbPalette DuskPalette() {
    RgbPalette p = DayPalette();
    for (size_t i = 1; i < p.size(); ++i)
        p[i] = {Clamp(p[i].r * 0.66 + 22), Clamp(p[i].g * 0.5 + 8), Clamp(p[i].b * 0.62 + 40)};
    return p;
}
