// A window with a started graphics foundation for the text and shader test
// programs, the shader files in the working folder, and pixels read back.
#pragma once
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "GLDevice.h"
#include "GLRender.h"
#include "TestUtil.h"
#include "platform/PlatformWindow.h"

namespace TextTest {

const int WindowWidth = 800, WindowHeight = 600;

// The system's own shader files, where the program looks for them.
inline void InstallShaderFiles() { TestUtil::InstallDataFiles(); }

inline bool StartGraphics() {
    if (!Platform::CreateMainWindow("text test", WindowWidth, WindowHeight)) {
        ADD_FAILURE() << Platform::WindowErrorText();
        return false;
    }
    G::Setup setup;
    return G::Init(Platform::MainWindow(), &setup);
}

inline void StopGraphics() {
    G::Shutdown();
    Platform::DestroyMainWindow();
}

// Pixels of a window rectangle, top row first, packed 0xAABBGGRR.
struct Pixels {
    int x = 0, y = 0, width = 0, height = 0;
    std::vector<uint32_t> data;
    uint32_t At(int px, int py) const { return data[size_t((py - y) * width + (px - x))]; }
};

inline Pixels ReadPixels(int x, int y, int width, int height) {
    Pixels p{x, y, width, height, std::vector<uint32_t>(size_t(width * height))};
    std::vector<uint32_t> bottomUp(p.data.size());
    glReadPixels(x, WindowHeight - y - height, width, height, GL_RGBA, GL_UNSIGNED_BYTE, bottomUp.data());
    for (int row = 0; row < height; ++row)
        std::copy_n(&bottomUp[size_t((height - 1 - row) * width)], width, &p.data[size_t(row * width)]);
    return p;
}

inline int RedOf(uint32_t c) { return int(c & 0xFF); }
inline int GreenOf(uint32_t c) { return int((c >> 8) & 0xFF); }
inline int BlueOf(uint32_t c) { return int((c >> 16) & 0xFF); }
inline bool Lit(uint32_t c) { return RedOf(c) > 60 || GreenOf(c) > 60 || BlueOf(c) > 60; }

// Lit pixels of a rectangle, and how many of them are not of the expected hue.
struct HueCount {
    int lit = 0, wrong = 0;
};
// `hue` is a packed colour whose channels are each 0 or 0xFF.
inline HueCount CountHue(const Pixels& p, int x0, int y0, int x1, int y1, uint32_t hue) {
    HueCount count;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            uint32_t c = p.At(x, y);
            if (!Lit(c)) continue;
            ++count.lit;
            int channels[3] = {RedOf(c), GreenOf(c), BlueOf(c)};
            int want[3] = {RedOf(hue), GreenOf(hue), BlueOf(hue)};
            int strongest = std::max({channels[0], channels[1], channels[2]});
            for (int i = 0; i < 3; ++i) {
                // A channel the hue lacks stays dark; the ones it has follow the strongest.
                bool ok = want[i] ? channels[i] >= strongest - 8 : channels[i] <= 8;
                if (!ok) {
                    ++count.wrong;
                    break;
                }
            }
        }
    return count;
}

struct Box {
    int left = -1, top = -1, right = -1, bottom = -1;
    bool Any() const { return left >= 0; }
};

inline Box LitBox(const Pixels& p) {
    Box b;
    for (int y = p.y; y < p.y + p.height; ++y)
        for (int x = p.x; x < p.x + p.width; ++x)
            if (Lit(p.At(x, y))) {
                if (b.left < 0 || x < b.left) b.left = x;
                if (x > b.right) b.right = x;
                if (b.top < 0) b.top = y;
                b.bottom = y;
            }
    return b;
}

inline void ClearScreen() {
    G::Set2D();
    G::Clear(0xFF000000, true, true, false);
}

}  // namespace TextTest
