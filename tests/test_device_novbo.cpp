// A driver without the vital buffer-object extension: start-up fails with
// its message, the program shows one message box and shuts down normally.
#include <gtest/gtest.h>

#include "GLDevice.h"
#include "MainGame.h"
#include "TestUtil.h"
#include "platform/PlatformSystem.h"
#include "platform/PlatformWindow.h"

#include <cstdlib>
#include <vector>

namespace {
// Mesa reads the override when the first context is made.
struct HideBufferObjects {
    HideBufferObjects() { setenv("MESA_EXTENSION_OVERRIDE", "-GL_ARB_vertex_buffer_object", 1); }
} hideBufferObjects;
}  // namespace

TEST(MissingVitalExtension, ProgramShowsOneBoxAndShutsDownNormally) {
    TestUtil::ClearLog("_error.txt");
    std::vector<std::string> boxes;
    Platform::SetMessageBoxHook([&](const std::string& text, const std::string& caption, bool) {
        boxes.push_back(caption + ": " + text);
        return true;
    });
    static bool sceneMade = false;
    EXPECT_EQ(RunGame([]() -> Scene* {
                  sceneMade = true;
                  return nullptr;
              }),
              0);
    Platform::SetMessageBoxHook([](const std::string&, const std::string&, bool yesNo) { return !yesNo; });
    EXPECT_EQ(boxes, (std::vector<std::string>{"error: Graphics init failed.\n _error.txt may contain details."}));
    EXPECT_FALSE(sceneMade);
    EXPECT_EQ(TestUtil::CountOf(TestUtil::ReadFile("_error.txt"),
                                "Some vital OpenGL extension is not available on your video card.  Init aborting.\n"),
              1);
    EXPECT_FALSE(G::IsInited());
    EXPECT_EQ(Platform::MainWindow(), nullptr);
}
