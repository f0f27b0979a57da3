#include "GLTestContext.h"

#include <cstdlib>

#include "GLDevice.h"
#include "GLRender.h"
#include "TestUtil.h"
#include "platform/PlatformWindow.h"

namespace GLTest {

bool Start() {
    if (!Platform::CreateMainWindow("gfx test", 800, 600)) return false;
    G::Setup setup;
    if (G::Init(Platform::MainWindow(), &setup)) return true;
    Platform::DestroyMainWindow();
    return false;
}

void Stop() {
    G::Shutdown();
    Platform::DestroyMainWindow();
}

uint32_t ReadPixel(int x, int y) {
    unsigned char rgba[4] = {0, 0, 0, 0};
    glReadPixels(x, 600 - 1 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    return uint32_t(rgba[0]) | uint32_t(rgba[1]) << 8 | uint32_t(rgba[2]) << 16;
}

bool Near(uint32_t a, uint32_t b, int tolerance) {
    for (int shift = 0; shift < 32; shift += 8)
        if (std::abs(int(a >> shift & 0xFF) - int(b >> shift & 0xFF)) > tolerance) return false;
    return true;
}

void Suite::SetUp() {
    // Every case starts from the start-up state on a black window, with an
    // empty error log.
    ASSERT_TRUE(G::IsInited());
    G::SetDefaultRenderState();
    G::Set2D();
    G::Clear(0xFF000000, true, true, false);
    TestUtil::ClearLog("_error.txt");
}

}  // namespace GLTest
