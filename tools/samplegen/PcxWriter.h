// 8-bit run-length PCX images with the trailing 256-colour palette: the form
// the client reads palettes from and that common image tools open.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "SamplePalette.h"

// `pixels` holds width × height palette indices, row by row from the top.
std::string EncodePcx(int width, int height, const std::vector<uint8_t>& pixels, const RgbPalette& palette);
// A swatch image of every palette entry (16 × 16 squares), so the file shows what it holds.
std::string EncodePaletteSwatch(const RgbPalette& palette);
