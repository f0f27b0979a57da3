// The sample world's 256-colour palettes. Index 0 is the transparent index of
// every floor shape; 1..15 are greys; the rest are fifteen ramps of sixteen
// shades each, darkest first, so shapes can shade a material by a number.
#pragma once
#include <array>
#include <cstdint>

struct Rgb {
    uint8_t r, g, b;
};
using RgbPalette = std::array<Rgb, 256>;

enum class Ramp : int {
    Grass, Moss, Dirt, Sand, Stone, Slate, Water, DeepWater,
    LightWood, DarkWood, Clay, BlueTile, Marble, Gold, Rose
};
constexpr int RampCount = 15;
constexpr int ShadesPerRamp = 16;
constexpr uint8_t TransparentIndex = 0;

// The palette index of `shade` (clamped to 0..15) of a ramp.
uint8_t Shade(Ramp ramp, int shade);
RgbPalette DayPalette();
// The same ramps in the evening light: darker, warmer in the reds, bluer in the shadows.
RgbPalette DuskPalette();
