// The started graphics foundation of the scene test programs: the pixel
// helpers now live in GLTestContext.h.
#pragma once
#include <GL/gl.h>

#include "GLDevice.h"
#include "GLRender.h"
#include "GLTestContext.h"
#include "TestUtil.h"
#include "platform/PlatformWindow.h"

namespace TextTest {

inline bool StartGraphics() { return GLTest::Start(); }
inline void StopGraphics() { GLTest::Stop(); }

}  // namespace TextTest
