// The graphics device on a real window and context (run under Xvfb).
#include <gtest/gtest.h>

#include "GBFont.h"
#include "GLDevice.h"
#include "LogFile.h"
#include "TestUtil.h"
#include "platform/PlatformWindow.h"

#include <vector>

namespace {

const char* const extensionOrder[] = {
    "GL_ARB_vertex_buffer_object", "GL_ARB_pixel_buffer_object", "GL_EXT_pixel_buffer_object",
    "GL_ARB_multitexture",         "GL_ARB_shading_language_100", "GL_ARB_shader_objects",
    "GL_ARB_texture_cube_map",     "WGL_EXT_swap_control",        "GL_EXT_texture3D",
    "ATI_separate_stencil",        "GL_EXT_stencil_two_side",     "GL_ARB_texture_mirrored_repeat"};

class Device : public ::testing::Test {
protected:
    void SetUp() override {
        TestUtil::ClearLog("_error.txt");
        TestUtil::ClearLog("_stat.txt");
        ASSERT_TRUE(Platform::CreateMainWindow("device test", 800, 600)) << Platform::WindowErrorText();
    }
    void TearDown() override {
        G::Shutdown();
        Platform::DestroyMainWindow();
    }
    static bool Init() {
        G::Setup setup;
        return G::Init(Platform::MainWindow(), &setup);
    }
};

int shutdownRuns = 0;
void CountShutdown() { ++shutdownRuns; }

}  // namespace

TEST_F(Device, NullSetupFailsSilentlyAndAStrangeWindowSaysSo) {
    EXPECT_FALSE(G::Init(Platform::MainWindow(), nullptr));
    EXPECT_EQ(TestUtil::ReadFile("_error.txt"), "");
    EXPECT_EQ(TestUtil::ReadFile("_stat.txt"), "");
    G::Setup setup;
    EXPECT_FALSE(G::Init(&setup, &setup));
    EXPECT_FALSE(G::IsInited());
    EXPECT_EQ(TestUtil::ReadFile("_error.txt"), "Init was handed a window that doesn't exist.\n");
}

TEST_F(Device, InitLogsDriverAndTwelveExtensionsInOrder) {
    ASSERT_TRUE(Init()) << TestUtil::ReadFile("_error.txt");
    EXPECT_TRUE(G::IsInited());
    std::string stat = TestUtil::ReadFile("_stat.txt");
    size_t info = stat.find("OpenGL info:\n  vender: ");
    ASSERT_NE(info, std::string::npos) << stat;
    EXPECT_NE(stat.find("\n  version: ", stat.find("\n  renderer: ", info)), std::string::npos);
    size_t check = stat.find("\n\nChecking OpenGL Extensions:\n");
    ASSERT_NE(check, std::string::npos) << stat;
    // Each of the twelve on a line of its own, in their order.
    for (size_t previous = check; const char* name : extensionOrder) {
        size_t at = stat.find(std::string("\n") + name + " supported.\n");
        if (at == std::string::npos) at = stat.find(std::string("\n* ") + name + " NOT supported.\n");
        ASSERT_TRUE(at != std::string::npos && at > previous) << name << "\n" << stat;
        previous = at;
    }
    EXPECT_EQ(TestUtil::CountOf(stat, "supported.\n"), 12);
    EXPECT_NE(G::Extensions.glUniform1fvARB, nullptr);  // the one entry point no drawing test reaches
}

TEST_F(Device, ShutdownRunsCallbacksEveryTimeIsHarmlessTwiceAndTheCheckCatchesAForgottenOne) {
    shutdownRuns = 0;
    G::RegisterShutdownCallback(&CountShutdown);
    ASSERT_TRUE(Init());
    G::Shutdown();
    EXPECT_FALSE(G::IsInited());
    EXPECT_EQ(shutdownRuns, 1);
    G::Shutdown();
    EXPECT_EQ(shutdownRuns, 2);
    // A second start works, and the check takes down a forgotten one.
    ASSERT_TRUE(Init());
    TestUtil::ClearLog("_error.txt");
    G::ShutdownCheck();
    EXPECT_FALSE(G::IsInited());
    G::ShutdownCheck();  // nothing left to do: no second report
    EXPECT_EQ(TestUtil::ReadFile("_error.txt"),
              "Warning: Graphics foundation never shut down\n -Attempting automatic shutdown... OK\n");
}

// A program that returns from main without Shutdown: the exit-time check
// still finds the callback lists and the fonts the callbacks free.
TEST(DeviceExit, ForgottenShutdownIsTakenDownAfterMain) {
    EXPECT_EXIT(
        {
            TestUtil::ClearLog("_error.txt");
            Platform::CreateMainWindow("exit test", 800, 600);
            G::Setup setup;
            if (!G::Init(Platform::MainWindow(), &setup) || !G::FindOrCreateFont("", 16, false)) std::exit(2);
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(TestUtil::ReadFile("_error.txt"),
              "Warning: Graphics foundation never shut down\n -Attempting automatic shutdown... OK\n");
}

TEST(DeviceErrors, TwoPendingErrorsUnderOneHeaderAndEveryCodeHasItsText) {
    TestUtil::ClearLog("_error.txt");
    std::vector<GLenum> codes = {GL_INVALID_VALUE, GL_OUT_OF_MEMORY};
    size_t next = 0;
    auto source = [&] { return next < codes.size() ? codes[next++] : GLenum(GL_NO_ERROR); };
    EXPECT_TRUE(G::ReportErrorSequence("Lock VB:\n", true, source));
    std::string log = TestUtil::ReadFile("_error.txt");
    EXPECT_EQ(log.rfind("Lock VB:\nA numeric argument had an invalid value.\nOut of memory.  This is bad.\n"
                        "  -call stack:\n",
                        0),
              0u)
        << log;
    EXPECT_EQ(TestUtil::CountOf(log, "Lock VB:"), 1);
    EXPECT_EQ(log.substr(log.size() - 2), "\n\n");
    const std::pair<GLenum, const char*> texts[] = {
        {GL_INVALID_ENUM, "An invalid enum was specifed.\n"},
        {GL_INVALID_OPERATION, "Operation not allowed in the current state.\n"},
        {GL_STACK_OVERFLOW, "An operation would have caused a stack overflow.\n"},
        {GL_STACK_UNDERFLOW, "An operation would have caused a stack underflow.\n"},
        {0x9999, "...unknown error...\n"}};
    for (auto [code, text] : texts) EXPECT_STREQ(G::GLErrorText(code), text);
}

TEST(DeviceExtensions, MissingVitalAndShaderExtensions) {
    TestUtil::ClearLog("_error.txt");
    TestUtil::ClearLog("_stat.txt");
    EXPECT_FALSE(G::CheckExtensionString("GL_ARB_multitexture\tGL_ARB_shader_objects\nGL_EXT_stencil_two_side"));
    std::string stat = TestUtil::ReadFile("_stat.txt");
    EXPECT_EQ(stat.rfind("Checking OpenGL Extensions:\n* GL_ARB_vertex_buffer_object NOT supported.\n", 0), 0u) << stat;
    EXPECT_NE(stat.find("\nGL_ARB_shader_objects supported.\n"), std::string::npos);
    EXPECT_NE(stat.find("Pathetic video card detected... some texture edges may not blend correctly ...\n\n"),
              std::string::npos);
    // Shader objects without the shading language: no shaders, said once.
    EXPECT_FALSE(G::Extensions.shadersAvailable);
    EXPECT_EQ(G::Extensions.glCreateShaderObjectARB, nullptr);
    EXPECT_EQ(G::Extensions.glBindBufferARB, nullptr);
    EXPECT_TRUE(G::Extensions.twoSidedStencilAvailable);
    EXPECT_FALSE(G::Extensions.textures3DAvailable);
    EXPECT_EQ(TestUtil::CountOf(TestUtil::ReadFile("_error.txt"),
                                "Your video card doesn't support OpenGL shaders... things may not work at all.\n"),
              1);
    // Names match whole tokens, ignoring case.
    TestUtil::ClearLog("_stat.txt");
    EXPECT_TRUE(G::CheckExtensionString("GL_ARB_Vertex_Buffer_Object GL_ARB_multitexture_extra"));
    EXPECT_NE(TestUtil::ReadFile("_stat.txt").find("\n* GL_ARB_multitexture NOT supported.\n"), std::string::npos);
}

TEST(DeviceFormat, WarningsOnTheChosenFormatAndTheDesktopInOrder) {
    TestUtil::ClearLog("_error.txt");
    G::CheckDesktopDepth(32);
    G::CheckDesktopDepth(16);
    G::CheckDesktopDepth(24);
    EXPECT_EQ(TestUtil::ReadFile("_error.txt"),
              "Warning: Desktop color bit depth should be 16 or 32.  Change to 16bpp or 32bpp if Init fails.\n");
    TestUtil::ClearLog("_error.txt");
    G::Setup setup;
    setup.fullscreen = true;
    setup.stencil = true;
    G::CheckChosenFormat(setup, G::PixelFormatBits{16, 0, 0});
    EXPECT_EQ(TestUtil::ReadFile("_error.txt"),
              "Warning: No depth buffer in selected pixel format.\n"
              "Warning: Stencil buffer requested but not being made.\n"
              "Warning: 32 bpp format requested but not chosen.\n");
    EXPECT_FALSE(setup.stencil);
    TestUtil::ClearLog("_error.txt");
    setup.colour32 = false;
    G::CheckChosenFormat(setup, G::PixelFormatBits{16, 24, 8});
    G::CheckChosenFormat(setup, G::PixelFormatBits{32, 24, 8});
    EXPECT_EQ(TestUtil::ReadFile("_error.txt"), "Warning: 16 bpp format requested but not chosen.\n");
}
