// A window with a started graphics foundation for the pixel tests, and pixel
// read-back in the window's top-left coordinates.
#pragma once
#include <cstdint>

#include <gtest/gtest.h>

namespace GLTest {

// Opens the 800 x 600 window and starts the foundation; false when either fails.
bool Start();
// Shuts the foundation down and closes the window.
void Stop();

// The colour at window pixel (x, y), (0, 0) top left, packed 0x00BBGGRR
// (the window has no alpha channel to read).
uint32_t ReadPixel(int x, int y);
// True when every channel of the two packed colours differs by at most `tolerance`.
bool Near(uint32_t a, uint32_t b, int tolerance);

// A test suite whose cases share one window and started foundation.
class Suite : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(Start()); }
    static void TearDownTestSuite() { Stop(); }
    void SetUp() override;
};

}  // namespace GLTest
