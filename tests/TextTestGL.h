// The started graphics foundation of the scene and text test programs; the
// pixel helpers live in GLTestContext.h.
#pragma once
#include <GL/gl.h>

#include <gtest/gtest.h>

#include "GBFont.h"
#include "GLDevice.h"
#include "GLRender.h"
#include "GLTestContext.h"
#include "TestUtil.h"
#include "platform/PlatformWindow.h"

namespace TextTest {

inline bool StartGraphics() { return GLTest::Start(); }
inline void StopGraphics() { GLTest::Stop(); }

// Scene tests share one window and started foundation; the fonts go before it.
class SceneSuite : public ::testing::Test {
protected:
    static void SetUpTestSuite() { started = StartGraphics(); }
    static void TearDownTestSuite() {
        G::FreeTextResources();
        StopGraphics();
    }
    void SetUp() override {
        ASSERT_TRUE(started);
        TestUtil::ClearLog("_error.txt");
    }
    static inline bool started = false;
};

}  // namespace TextTest
