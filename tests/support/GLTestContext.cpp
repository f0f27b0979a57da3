#include "GLTestContext.h"

#include <algorithm>
#include <cstdlib>

#include "GLDevice.h"
#include "GLRender.h"
#include "GLShader.h"
#include "Math3D.h"
#include "TestUtil.h"
#include "platform/PlatformWindow.h"

namespace GLTest {

bool Start() {
    if (!Platform::CreateMainWindow("gfx test", 800, 600)) {
        ADD_FAILURE() << Platform::WindowErrorText();
        return false;
    }
    G::Setup setup;
    if (G::Init(Platform::MainWindow(), &setup)) return true;
    Platform::DestroyMainWindow();
    return false;
}

void Stop() {
    G::Shutdown();
    Platform::DestroyMainWindow();
}

Pixels ReadPixels(int x, int y, int width, int height) {
    Pixels p{x, y, width, height, std::vector<uint32_t>(size_t(width * height))};
    std::vector<uint32_t> bottomUp(p.data.size());
    glReadPixels(x, 600 - y - height, width, height, GL_RGBA, GL_UNSIGNED_BYTE, bottomUp.data());
    for (int row = 0; row < height; ++row)
        for (int col = 0; col < width; ++col)
            p.data[size_t(row * width + col)] = bottomUp[size_t((height - 1 - row) * width + col)] & 0xFFFFFF;
    return p;
}

uint32_t ReadPixel(int x, int y) { return ReadPixels(x, y, 1, 1).data[0]; }

bool Near(uint32_t a, uint32_t b, int tolerance) {
    for (int shift = 0; shift < 32; shift += 8)
        if (std::abs(int(a >> shift & 0xFF) - int(b >> shift & 0xFF)) > tolerance) return false;
    return true;
}

HueCount CountHue(const Pixels& p, int x0, int y0, int x1, int y1, uint32_t hue) {
    HueCount count;
    const int want[3] = {RedOf(hue), GreenOf(hue), BlueOf(hue)};
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            uint32_t c = p.At(x, y);
            if (!Lit(c)) continue;
            ++count.lit;
            const int channels[3] = {RedOf(c), GreenOf(c), BlueOf(c)};
            int strongest = std::max({channels[0], channels[1], channels[2]});
            // A channel the hue lacks stays dark; the ones it has follow the strongest.
            for (int i = 0; i < 3; ++i)
                if (want[i] ? channels[i] < strongest - 8 : channels[i] > 8) {
                    ++count.wrong;
                    break;
                }
        }
    return count;
}

Box LitBox(const Pixels& p) {
    Box b;
    for (int y = p.y; y < p.y + p.height; ++y)
        for (int x = p.x; x < p.x + p.width; ++x)
            if (Lit(p.At(x, y))) {
                if (b.left < 0 || x < b.left) b.left = x;
                b.right = std::max(b.right, x);
                if (b.top < 0) b.top = y;
                b.bottom = y;
            }
    return b;
}

bool MakeTexture(G::Texture& texture, uint32_t width, uint32_t height, uint32_t (*texel)(uint32_t x, uint32_t y)) {
    if (!texture.Create(width, height, 3, 1, false)) return false;
    G::TextureLock lock(texture, 0, true);
    uint32_t pitch = 0;
    uint32_t* texels = LockedTexels(lock, &pitch);
    if (!texels) return false;
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) texels[y * pitch + x] = texel(x, y);
    lock.Unlock();
    texture.SetFilter(1);
    return true;
}

uint32_t* LockedTexels(G::TextureLock& lock, uint32_t* pitchTexels) {
    uint32_t *texels = nullptr, pitch = 0, slice, bits, w, h, d;
    if (!lock.GetInfo(texels, pitch, slice, bits, w, h, d)) return nullptr;
    if (pitchTexels) *pitchTexels = pitch / 4;
    return texels;
}

void Suite::SetUp() {
    ASSERT_TRUE(G::IsInited());
    if (G::Extensions.glActiveTextureARB) {
        G::Extensions.glActiveTextureARB(GL_TEXTURE1_ARB);
        G::UnsetTexture();
        G::Extensions.glActiveTextureARB(GL_TEXTURE0_ARB);
    }
    G::UnsetTexture();
    G::UnsetShader();
    G::SetDefaultRenderState();
    G::SetWorldMatrix(Matrix::Identity());
    G::Set2D();
    G::Clear(0xFF000000, true, true, false);
    TestUtil::ClearLog("_error.txt");
}

}  // namespace GLTest
