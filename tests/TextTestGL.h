// The started graphics foundation of the scene and text test programs; the
// pixel helpers live in GLTestContext.h.
#pragma once
#include "GBFont.h"
#include "GLTestContext.h"

namespace TextTest {

inline bool StartGraphics() { return GLTest::Start(); }
inline void StopGraphics() { GLTest::Stop(); }

// Scene tests share one window and started foundation; the fonts go before it.
class SceneSuite : public GLTest::Suite {
protected:
    static void TearDownTestSuite() {
        G::FreeTextResources();
        GLTest::Suite::TearDownTestSuite();
    }
};

}  // namespace TextTest
