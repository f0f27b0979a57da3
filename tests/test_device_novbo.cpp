// A driver without the vital buffer-object extension: start-up fails with
// its message after the driver and the whole extension list are logged, the
// program shows one message box and shuts down normally.
#include <gtest/gtest.h>

#include "GLDevice.h"
#include "LogFile.h"
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

TEST(MissingVitalExtension, InitFailsAfterLoggingEverything) {
    TestUtil::ClearLog("_error.txt");
    TestUtil::ClearLog("_stat.txt");
    ASSERT_TRUE(Platform::CreateMainWindow("novbo", 800, 600));
    G::Setup setup;
    EXPECT_FALSE(G::Init(Platform::MainWindow(), &setup));
    EXPECT_FALSE(G::IsInited());
    std::string stat = TestUtil::ReadFile("_stat.txt");
    size_t info = stat.find("OpenGL info:\n");
    size_t missing = stat.find("Checking OpenGL Extensions:\n* GL_ARB_vertex_buffer_object NOT supported.\n");
    ASSERT_NE(info, std::string::npos) << stat;
    ASSERT_NE(missing, std::string::npos) << stat;
    EXPECT_LT(info, missing);
    EXPECT_EQ(TestUtil::CountOf(stat, " supported.\n"), 12);
    // Without buffer objects the driver offers less; the vital message comes last.
    std::string errors = TestUtil::ReadFile("_error.txt");
    const std::string vital = "Some vital OpenGL extension is not available on your video card.  Init aborting.\n";
    ASSERT_GE(errors.size(), vital.size());
    EXPECT_EQ(errors.substr(errors.size() - vital.size()), vital);
    EXPECT_EQ(TestUtil::CountOf(errors, vital), 1);
    Platform::DestroyMainWindow();
}

TEST(MissingVitalExtension, ProgramShowsOneBoxAndShutsDownNormally) {
    std::vector<std::string> boxes;
    Platform::SetMessageBoxHook([&](const std::string& text, const std::string& caption, bool) {
        boxes.push_back(caption + ": " + text);
        return true;
    });
    bool sceneMade = false;
    static bool* made = &sceneMade;
    EXPECT_EQ(RunGame([]() -> Scene* {
                  *made = true;
                  return nullptr;
              }),
              0);
    Platform::SetMessageBoxHook([](const std::string&, const std::string&, bool yesNo) { return !yesNo; });
    EXPECT_EQ(boxes, (std::vector<std::string>{"error: Graphics init failed.\n _error.txt may contain details."}));
    EXPECT_FALSE(sceneMade);
    EXPECT_FALSE(G::IsInited());
    EXPECT_EQ(Platform::MainWindow(), nullptr);
}
