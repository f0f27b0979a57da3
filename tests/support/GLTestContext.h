// A window with a started graphics foundation for the pixel tests, and pixel
// read-back in the window's top-left coordinates.
#pragma once
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "GLTexture.h"

namespace GLTest {

// Opens the 800 x 600 window and starts the foundation; false when either fails.
bool Start();
void Stop();

// Pixels of a window rectangle, packed 0x00BBGGRR (the window has no alpha).
struct Pixels {
    int x = 0, y = 0, width = 0, height = 0;
    std::vector<uint32_t> data;
    uint32_t At(int px, int py) const { return data[size_t((py - y) * width + (px - x))]; }
};
Pixels ReadPixels(int x, int y, int width, int height);
uint32_t ReadPixel(int x, int y);
// True when every channel of the two packed colours differs by at most `tolerance`.
bool Near(uint32_t a, uint32_t b, int tolerance);

inline int RedOf(uint32_t c) { return int(c & 0xFF); }
inline int GreenOf(uint32_t c) { return int((c >> 8) & 0xFF); }
inline int BlueOf(uint32_t c) { return int((c >> 16) & 0xFF); }
inline bool Lit(uint32_t c) { return RedOf(c) > 60 || GreenOf(c) > 60 || BlueOf(c) > 60; }

// Lit pixels of a rectangle, and how many of them are not of `hue` (a packed
// colour whose channels are each 0 or 0xFF).
struct HueCount {
    int lit = 0, wrong = 0;
};
HueCount CountHue(const Pixels& p, int x0, int y0, int x1, int y1, uint32_t hue);

// Bounds of the lit pixels; left is -1 when none is lit.
struct Box {
    int left = -1, top = -1, right = -1, bottom = -1;
    bool Any() const { return left >= 0; }
};
Box LitBox(const Pixels& p);

// Creates a width x height texture with nearest filtering whose texel (x, y)
// is texel(x, y) (0xAARRGGBB).
bool MakeTexture(G::Texture& texture, uint32_t width, uint32_t height, uint32_t (*texel)(uint32_t x, uint32_t y));
// The texels of a lock (nullptr when it fails), and the row pitch in texels.
uint32_t* LockedTexels(G::TextureLock& lock, uint32_t* pitchTexels = nullptr);

// Cases share one window and started foundation; each starts from the
// start-up state on a black window with no texture set and an empty error log.
class Suite : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(Start()); }
    static void TearDownTestSuite() { Stop(); }
    void SetUp() override;
};

}  // namespace GLTest
