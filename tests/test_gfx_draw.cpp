// The graphics foundation on a real context (run under Xvfb): start-up, images
// and textures, draw calls, render state, matrices, buffers and GLSL programs,
// checked by reading back the pixels they draw.
#include <gtest/gtest.h>

#include <cstring>

#include "GBFont.h"
#include "GLDevice.h"
#include "GLRender.h"
#include "GLShader.h"
#include "GLTestContext.h"
#include "GLTexture.h"
#include "GLVert.h"
#include "ImageLoader.h"
#include "LogFile.h"
#include "Math3D.h"
#include "TestImages.h"
#include "TestUtil.h"
#include "platform/PlatformWindow.h"

using G::VertComponentType;
using G::VertComponentUse;
using GLTest::Near;
using GLTest::ReadPixel;

namespace {

const uint32_t Red = 0xFF0000FF, Green = 0xFF00FF00, Blue = 0xFFFF0000, White = 0xFFFFFFFF;

std::string ErrorText() { return TestUtil::ReadFile("_error.txt"); }

void FillRect(float x, float y, float w, float h, uint32_t c) { G::DrawRect(x, y, w, h, c, c, c, c); }

// Window pixels and the packed colour (0x00BBGGRR) each must show.
struct Probe {
    int x, y;
    uint32_t colour;
};
void ExpectPixels(std::initializer_list<Probe> probes, int tolerance = 0) {
    for (const Probe& p : probes)
        EXPECT_TRUE(Near(ReadPixel(p.x, p.y), p.colour & 0xFFFFFF, tolerance))
            << p.x << "," << p.y << ": " << std::hex << ReadPixel(p.x, p.y);
}

// A small texture with a different colour in every texel (0xAARRGGBB), and
// the same texel as the window shows it.
uint32_t TexelAt(uint32_t x, uint32_t y) {
    return 0xFF000000 | (x * 60 + 20) << 16 | (y * 60 + 20) << 8 | 0x80;
}
uint32_t OnScreen(uint32_t texel) {
    return (texel >> 16 & 0xFF) | (texel & 0xFF00) | (texel & 0xFF) << 16;
}

Matrix Translation(float x, float y, float z) {
    Matrix m = Matrix::Identity();
    m[3] = x, m[7] = y, m[11] = z;
    return m;
}

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

const std::vector<uint32_t> Quad = {0xFF102030, 0x80FF0000,   // top row
                                    0x0000FF00, 0xFF0000FF};  // bottom row

GLint TexParameter(GLenum target, GLenum what) {
    GLint value = 0;
    glGetTexParameteriv(target, what, &value);
    return value;
}

using Textures = GLTest::Suite;

struct TextVertex {
    float x, y;
    uint32_t color;
    float s, t;
};
const G::VertexFormat TextFormat = {{VertComponentType::Float2, VertComponentUse::Position},
                                    {VertComponentType::UByte4, VertComponentUse::Color},
                                    {VertComponentType::Float2, VertComponentUse::TexCoord}};

struct MeshVertex {
    float x, y, z, nx, ny, nz;
    uint32_t color;
    float s0, t0, s1, t1;
};
const G::VertexFormat MeshFormat = {{VertComponentType::Float3, VertComponentUse::Position},
                                    {VertComponentType::Float3, VertComponentUse::Normal},
                                    {VertComponentType::UByte4, VertComponentUse::Color},
                                    {VertComponentType::Float2, VertComponentUse::TexCoord},
                                    {VertComponentType::Float2, VertComponentUse::TexCoord}};

template <class Vertex>
bool Fill(G::VertexBuffer& buffer, const std::vector<Vertex>& vertices) {
    G::VertexBufferLock lock(buffer);
    if (!lock.GetPointer()) return false;
    std::memcpy(lock.GetPointer(), vertices.data(), vertices.size() * sizeof(Vertex));
    return true;
}

using Buffers = GLTest::Suite;

class ShaderTest : public GLTest::Suite {
protected:
    static void SetUpTestSuite() {
        TestUtil::InstallDataFiles();
        // Line 3 of the broken file holds the error.
        const std::pair<const char*, const char*> files[] = {
            {"broken.glsl_f", "void main()\n{\n    gl_FragColor = 1.0 +;\n}\n"},
            {"plain.glsl_f", "void main()\n{\n    gl_FragColor = gl_Color;\n}\n"},
            {"nomain.glsl_v", "vec4 Helper() { return vec4(1.0); }\n"},
            {"tint.glsl_f", "uniform vec4 Tint;\nvoid main()\n{\n    gl_FragColor = Tint;\n}\n"}};
        for (auto [name, text] : files) TestUtil::WriteFile(std::string("data/shaders/") + name, text);
        Suite::SetUpTestSuite();
    }
    void SetUp() override {
        Suite::SetUp();
        ASSERT_TRUE(G::Extensions.shadersAvailable) << "Mesa offers shader objects";
        TestUtil::ClearLog("_shaders.txt");
    }
};

std::string ShaderLogText() { return TestUtil::ReadFile("_shaders.txt"); }

void Square(float x0, float y0, float x1, float y1) {
    G::IMBegin(G::IMPrimitive::TriangleFan);
    G::IMColor(0xFFFFFFFFu);
    G::IMVertex(x0, y0);
    G::IMVertex(x1, y0);
    G::IMVertex(x1, y1);
    G::IMVertex(x0, y1);
    G::IMEnd();
}

using Draw = GLTest::Suite;

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

TEST_F(Device, InitSetsTheStartUpStateAndShutdownRunsCallbacksEveryTime) {
    shutdownRuns = 0;
    G::RegisterShutdownCallback(&CountShutdown);
    ASSERT_TRUE(Init());
    EXPECT_EQ(G::GetCullMode(), G::CullMode::FrontCW);
    EXPECT_EQ(G::GetAlphaFunc(), G::CompareFunc::NotEqual);
    EXPECT_TRUE(G::GetRenderState(G::RenderState::DepthTest) && G::GetRenderState(G::RenderState::Blend));
    EXPECT_FALSE(G::GetRenderState(G::RenderState::Wireframe));
    G::Shutdown();
    EXPECT_FALSE(G::IsInited());
    EXPECT_EQ(shutdownRuns, 1);
    G::Shutdown();
    EXPECT_EQ(shutdownRuns, 2);
}

// A program that returns from main without Shutdown: the exit-time check takes
// it down, and still finds the callback lists and the fonts the callbacks free.
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
    for (int bits : {32, 16, 24}) G::CheckDesktopDepth(bits);
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
    for (int bits : {16, 32}) G::CheckChosenFormat(setup, G::PixelFormatBits{bits, 24, 8});
    EXPECT_EQ(TestUtil::ReadFile("_error.txt"), "Warning: 16 bpp format requested but not chosen.\n");
}

// Texel byte order, alpha (24-bit files are opaque) and row order; copies own their texels.
TEST(ImageLoader, EveryFormatGivesArgbTexelsTopRowFirst) {
    TestUtil::WriteFile("quad32.bmp", TestImages::Bitmap32(2, 2, Quad));
    TestUtil::WriteFile("quad24.bmp", TestImages::Bitmap24(2, 2, Quad));
    const std::pair<std::string, std::vector<uint32_t>> cases[] = {
        {"quad32.bmp", Quad},
        {"quad24.bmp", {Quad[0] | 0xFF000000, Quad[1] | 0xFF000000, Quad[2] | 0xFF000000, Quad[3]}},
        {TestUtil::SourceDir() + "/tests/data/gfx/rgba2x2.png", {0xFFFF0000, 0x8000FF00, 0x100000FF, 0xFFFFFFFF}}};
    for (const auto& [file, texels] : cases) {
        G::Image loaded, assigned;
        ASSERT_TRUE(loaded.Load(file)) << file;
        G::Image image(loaded);
        assigned = image;
        loaded.Free();
        ASSERT_NE(assigned.Texels(), image.Texels());
        EXPECT_EQ(std::vector<uint32_t>({image.Width(), image.Height(), image.Depth()}),
                  std::vector<uint32_t>({2, 2, 0}));
        EXPECT_EQ(std::vector<uint32_t>(image.Texels(), image.Texels() + 4), texels) << file;
        EXPECT_EQ(std::vector<uint32_t>(assigned.Texels(), assigned.Texels() + 4), texels) << file;
    }
}

TEST(ImageLoader, BadFilesReportAndLeaveTheImageEmpty) {
    TestUtil::WriteFile("quad32.bmp", TestImages::Bitmap32(2, 2, Quad));
    const std::string whole = TestImages::Bitmap32(4, 4, TestImages::Solid(4, 4, 0xFF336699));
    const std::string png = TestUtil::ReadFile(TestUtil::SourceDir() + "/tests/data/gfx/rgba2x2.png");
    ASSERT_FALSE(png.empty());
    std::string huge = TestImages::Bitmap24(2, 2, Quad);  // claims 100000 x 100000 pixels in 70 bytes
    for (int i = 0; i < 4; ++i) huge[18 + i] = huge[22 + i] = char((100000 >> (8 * i)) & 0xFF);
    struct Case {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"missing.bmp", ""},
        {"empty.bmp", ""},
        {"huge.bmp", huge},
        {"cut.bmp", whole.substr(0, whole.size() - 7)},
        {"cutheader.bmp", whole.substr(0, 20)},
        {"cut.png", png.substr(0, png.size() - 30)},
        // A GIF whose only image descriptor is damaged: the decoder gives up without a reason.
        {"noframe.gif", std::string("GIF89a\1\0\1\0\x80\0\0\xff\0\0\0\0\0,\0\0\0\0\1\0\1\0N\x91\0\2\2D\1\0;", 37)},
    };
    for (const Case& c : cases) {
        if (std::string(c.name) != "missing.bmp") TestUtil::WriteFile(c.name, c.bytes);
        TestUtil::ClearLog("_error.txt");
        G::Image image;
        image.Load("quad32.bmp");  // what it held before must be dropped
        EXPECT_FALSE(image.Load(c.name)) << c.name;
        EXPECT_EQ(image.Texels(), nullptr) << c.name;
        EXPECT_EQ(image.Width(), 0u) << c.name;
        EXPECT_EQ(ErrorText().rfind(std::string("Failed to load image: ") + c.name + "\n  -call stack:\n", 0), 0u)
            << c.name << ": " << ErrorText();
    }
}

TEST_F(Textures, OneFileLoadedThroughTwoHandlesSharesOneTexture) {
    TestImages::WriteSolidBitmap("art/Marker.bmp", 8, 4, 0xFF102030);
    G::Texture first, second, third;
    ASSERT_TRUE(first.Load("art\\Marker.bmp", 1, true, 0));
    ASSERT_TRUE(second.Load("art\\Marker.bmp", 1, true, 0));
    EXPECT_EQ(second.GetGLName(), first.GetGLName());
    EXPECT_EQ(first.GetShareCount(), 2u);
    // Letter case does not matter, to the name search or to the file system.
    ASSERT_TRUE(third.Load("ART\\marker.BMP", 1, true, 0));
    EXPECT_EQ(third.GetGLName(), first.GetGLName());
    EXPECT_EQ(first.GetShareCount(), 3u);
    EXPECT_EQ(first.GetName(), "art\\Marker.bmp");
    EXPECT_EQ(std::vector<uint32_t>({first.GetWidth(), first.GetHeight(), first.GetDepth()}),
              std::vector<uint32_t>({8, 4, 1}));
    // The same name again into a handle that holds it: nothing happens.
    ASSERT_TRUE(first.Load("art\\marker.bmp", 1, true, 0));
    EXPECT_EQ(first.GetShareCount(), 3u);
    // The GL texture goes with the last handle.
    const GLuint name = first.GetGLName();
    first.SRFree();
    second.SRFree();
    EXPECT_TRUE(glIsTexture(name));
    third.SRFree();
    EXPECT_FALSE(glIsTexture(name));
    // Created textures have no name and are never found by one.
    G::Texture created, loaded;
    ASSERT_TRUE(created.Create(8, 4, 1, 1, false));
    ASSERT_TRUE(loaded.Load("art\\Marker.bmp", 1, false, 0));
    EXPECT_NE(loaded.GetGLName(), created.GetGLName());
    EXPECT_EQ(ErrorText(), "");
}

TEST_F(Textures, OddSizesBrokenFilesAndBadKindsAreRefusedAndReported) {
    G::Texture texture;
    EXPECT_FALSE(texture.Create(64, 48, 3, 1, false));
    EXPECT_EQ(ErrorText().rfind("Cannot create texture:\n  -dimensions must be powers of 2\n  -call stack:\n", 0), 0u);
    EXPECT_EQ(texture.GetGLName(), 0u);
    EXPECT_FALSE(texture.Create(0, 4, 3, 1, false));
    EXPECT_TRUE(texture.Create(1, 1, 3, 1, false));
    EXPECT_TRUE(texture.Create(8192, 1, 3, 1, false)) << "wider than a 3D texture may be";
    TestUtil::ClearLog("_error.txt");
    TestImages::WriteSolidBitmap("odd.bmp", 6, 4, 0xFFFFFFFF);
    EXPECT_FALSE(texture.Load("odd.bmp", 1, true, 0));
    EXPECT_EQ(ErrorText().rfind("Unable to load image \"odd.bmp\"\n  -dimensions must be powers of 2\n  -call stack:\n", 0),
              0u);
    EXPECT_EQ(texture.GetGLName(), 0u);
    // A forged huge size is refused before any memory is taken.
    TestUtil::ClearLog("_error.txt");
    EXPECT_FALSE(texture.Create(1u << 30, 1u << 30, 3, 1, false));
    EXPECT_EQ(ErrorText().rfind("Cannot create texture:\n  -larger than the driver allows\n", 0), 0u);
    // A broken file or a bad kind leaves the handle empty.
    TestUtil::WriteFile("broken.bmp", "BM not really");
    TestImages::WriteSolidBitmap("good.bmp", 2, 2, 0xFFFFFFFF);
    ASSERT_TRUE(texture.Load("good.bmp", 1, false, 0));
    EXPECT_FALSE(texture.Load("broken.bmp", 1, false, 0));
    EXPECT_EQ(texture.GetGLName(), 0u);
    EXPECT_FALSE(texture.LoadColorKeyed("broken.bmp"));
    TestUtil::ClearLog("_error.txt");
    EXPECT_FALSE(texture.Load("good.bmp", 0, false, 0));
    EXPECT_EQ(ErrorText().rfind("Error: attempt to load texture of type FREE\n  -call stack:\n", 0), 0u);
}

TEST_F(Textures, LayerListMakesA3DTexture) {
    ASSERT_TRUE(G::Extensions.textures3DAvailable);
    TestImages::WriteSolidBitmap("fog/a.bmp", 4, 4, 0xFFFF0000);
    TestImages::WriteSolidBitmap("fog/b.bmp", 4, 4, 0xFF0000FF);
    TestUtil::WriteFile("fog/Layers.T3D", "a.bmp\nb.bmp\n\nignored.bmp\n");
    G::Texture texture;
    ASSERT_TRUE(texture.Load("fog\\Layers.T3D", 1, true, 0)) << ErrorText();
    EXPECT_EQ(texture.GetDepth(), 2u);
    // Slice 1 holds the second layer, uploaded as a 3D texture.
    texture.Set(0);
    std::vector<uint32_t> texels(4 * 4 * 2);
    glGetTexImage(GL_TEXTURE_3D, 0, GL_BGRA, GL_UNSIGNED_BYTE, texels.data());
    EXPECT_EQ(texels[0], 0xFFFF0000u);
    EXPECT_EQ(texels[16], 0xFF0000FFu);
    // R wraps too on a 3D texture.
    texture.SetWrap(true, false, false);
    EXPECT_EQ(TexParameter(GL_TEXTURE_3D, GL_TEXTURE_WRAP_S), GL_REPEAT);
    EXPECT_EQ(TexParameter(GL_TEXTURE_3D, GL_TEXTURE_WRAP_T), GL_MIRRORED_REPEAT);
    EXPECT_EQ(TexParameter(GL_TEXTURE_3D, GL_TEXTURE_WRAP_R), GL_MIRRORED_REPEAT);
}

TEST_F(Textures, BadLayerListsAreReported) {
    TestImages::WriteSolidBitmap("l/a.bmp", 4, 4, 0xFFFF0000);
    TestImages::WriteSolidBitmap("l/wide.bmp", 8, 4, 0xFFFF0000);
    TestUtil::WriteFile("l/three.t3d", "a.bmp\na.bmp\na.bmp\n");
    TestUtil::WriteFile("l/empty.t3d", "\n");
    TestUtil::WriteFile("l/missing.t3d", "a.bmp\nnot_there.bmp\n");
    TestUtil::WriteFile("l/mixed.t3d", "a.bmp\nwide.bmp\n");
    struct Case {
        const char* file;
        bool colorKey;
        const char* report;
    } cases[] = {
        {"l\\three.t3d", false, "Cannot create texture:\n  -dimensions must be powers of 2\n  -call stack:\n"},
        {"l\\empty.t3d", false, "There was a problem loading 3D texture file: l\\empty.t3d\n  -no textures listed?\n"},
        {"l\\missing.t3d", false,
         "A layer of 3D texture \"l\\missing.t3d\" failed to load... 3d texture load failed.\n"},
        {"l\\mixed.t3d", false,
         "Error loading 3d texture(l\\mixed.t3d)... dimensions of all files must be the same.\n"
         "  - l\\wide.bmp doesn't match the first layer in the list.\n"},
        {"l\\three.t3d", true, "Color key not supported on 3d textures.\n"},
        {"l\\nothing.t3d", false, "There was a problem loading 3D texture file: l\\nothing.t3d\n  -no textures listed?\n"},
    };
    for (const Case& c : cases) {
        TestUtil::ClearLog("_error.txt");
        G::Texture texture;
        EXPECT_FALSE(texture.Load(c.file, c.colorKey, 1, false, 0)) << c.file;
        EXPECT_EQ(texture.GetGLName(), 0u) << c.file;
        EXPECT_NE(ErrorText().find(c.report), std::string::npos) << c.file << ":\n" << ErrorText();
    }
}

TEST_F(Textures, SetSelectsTheUnitTurnsTheOtherTargetOffAndWrapModesFollow) {
    ASSERT_NE(G::Extensions.glActiveTextureARB, nullptr);
    G::Extensions.glActiveTextureARB(GL_TEXTURE1_ARB);
    glEnable(GL_TEXTURE_3D);
    G::Extensions.glActiveTextureARB(GL_TEXTURE0_ARB);
    G::Texture texture;
    ASSERT_TRUE(texture.Create(2, 2, 3, 1, false));
    texture.Set(1);
    GLint active = 0, bound = 0;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(active, GL_TEXTURE1);
    EXPECT_EQ(GLuint(bound), texture.GetGLName());
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_3D));
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    texture.SetWrap(false, false, true);
    EXPECT_EQ(TexParameter(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S), GL_MIRRORED_REPEAT);
    EXPECT_EQ(TexParameter(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T), GL_MIRRORED_REPEAT);
    G::UnsetTexture();
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    G::Texture empty;
    empty.Set(0);
    empty.SetWrap(true, true, true);
    empty.SetFilter(2);
    EXPECT_EQ(TestUtil::CountOf(ErrorText(), "Attempt to Set a texture that dosen't exist.\n  -call stack:\n"), 1);
    EXPECT_EQ(TestUtil::CountOf(ErrorText(), "SetWrapFilter cannot execute: texture not created?\n  -call stack:\n"), 2);
}

TEST_F(Textures, AnEmptyLockIsReported) {
    G::Texture empty;
    G::TextureLock lock(empty, 0, true);
    uint32_t* texels = nullptr;
    uint32_t pitch = 7, slice, bits, w, h, d;
    EXPECT_FALSE(lock.GetInfo(texels, pitch, slice, bits, w, h, d));
    EXPECT_EQ(pitch, 7u);
    EXPECT_EQ(ErrorText().rfind("Warning: attempt to lock a non-allocated texture.\n  -call stack:\n", 0), 0u);
}

TEST(TexturesWithoutContext, AreReportedAndRefused) {
    ASSERT_FALSE(G::IsInited());
    TestUtil::ClearLog("_error.txt");
    {
        G::Texture texture;
        EXPECT_FALSE(texture.Create(4, 4, 3, 1, false));
    }
    const std::string log = TestUtil::ReadFile("_error.txt");
    EXPECT_EQ(log.rfind("Bad: texture created, but graphics is not inited.\n  -call stack:\n", 0), 0u);
    EXPECT_NE(log.find("Bad: texture being destructed, but graphics is not inited.\n  -call stack:\n"), std::string::npos);
}

TEST_F(Draw, RectHasCornerColoursAtCornersAndTheirAverageInTheCentre) {
    G::SetRenderState(G::RenderState::Blend, false);
    G::DrawRect(100, 100, 200, 100, Red, Green, Blue, White);
    ExpectPixels({{100, 100, Red}, {299, 100, Green}, {100, 199, Blue}, {299, 199, White}}, 6);
    // (255 + 0 + 0 + 255) / 4 in every channel.
    ExpectPixels({{200, 150, 0x7F7F7F}}, 3);
    ExpectPixels({{99, 150, 0}, {300, 150, 0}});
    // The rectangle leaves the depth test as it found it.
    EXPECT_TRUE(G::GetRenderState(G::RenderState::DepthTest));
    G::SetRenderState(G::RenderState::DepthTest, false);
    FillRect(0, 0, 10, 10, Red);
    EXPECT_FALSE(G::GetRenderState(G::RenderState::DepthTest));
}

TEST_F(Draw, TextureIsDrawnAtItsSizeWithTexelZeroAtTheGivenPixel) {
    G::Texture texture;
    ASSERT_TRUE(GLTest::MakeTexture(texture, 4, 4, TexelAt));
    G::DrawTexture(50, 60, texture, 1.0f);
    for (uint32_t y = 0; y < 4; ++y)
        for (uint32_t x = 0; x < 4; ++x)
            EXPECT_EQ(ReadPixel(50 + int(x), 60 + int(y)), OnScreen(TexelAt(x, y))) << x << "," << y;
    ExpectPixels({{49, 60, 0}, {54, 60, 0}, {50, 64, 0}});
    // Half transparent: blended over black.
    G::Clear(0xFF000000, true, true, false);
    G::DrawTexture(50, 60, texture, 0.5f);
    ExpectPixels({{50, 60, OnScreen(TexelAt(0, 0)) >> 1 & 0x7F7F7F}}, 2);
    EXPECT_EQ(ErrorText(), "");
}

TEST_F(Draw, ColourKeyedBitmapIsTransparentExactlyWhereItWasOpaqueBlack) {
    // Opaque black, black with a red byte of 1, and opaque white.
    TestUtil::WriteFile("keyed.bmp", TestImages::Bitmap32(2, 2, {0xFF000000, 0xFF010000, 0xFFFFFFFF, 0xFF000000}));
    G::Texture texture;
    ASSERT_TRUE(texture.LoadColorKeyed("keyed.bmp"));
    texture.SetFilter(1);
    G::Clear(Green, true, true, false);
    G::DrawTexture(10, 10, texture, 1.0f);
    ExpectPixels({{10, 10, Green}, {11, 10, 0x000001}, {10, 11, White}, {11, 11, Green}});
}

TEST_F(Draw, StretchedAndRotatedTexturesCoverTheirCornersAndBlankOnesAreReported) {
    G::Texture texture, blank;
    ASSERT_TRUE(GLTest::MakeTexture(texture, 2, 2, [](uint32_t, uint32_t) { return 0xFFFFFFFFu; }));
    G::SetCullMode(G::CullMode::FrontCCW);
    // Right to left: the winding flips, which must not cull it.
    G::DrawTextureStretched(300, 100, 200, 150, texture, 1.0f);
    ExpectPixels({{250, 125, White}});
    EXPECT_EQ(G::GetCullMode(), G::CullMode::FrontCCW);
    // A 2 x 2 texture at scale 10, turned a quarter: 20 x 20 around (500, 300).
    G::SetCullMode(G::CullMode::None);
    G::DrawTextureRotated(500, 300, 1.5707964f, 10, texture, 1.0f);
    ExpectPixels({{491, 291, White}, {508, 308, White}, {489, 300, 0}, {500, 311, 0}});
    G::DrawTexture(0, 0, blank, 1.0f);
    G::DrawTextureStretched(0, 0, 10, 10, blank, 1.0f);
    EXPECT_EQ(TestUtil::CountOf(ErrorText(), "Error: Attempt to draw using a blank texture.\n  -call stack:\n"), 2);
}

TEST_F(Draw, OutOfRangeFloatColourIsReportedOnceAndStillDrawn) {
    G::SetRenderState(G::RenderState::Blend, false);
    G::IMBegin(G::IMPrimitive::Triangles);
    G::IMColor(1.5f, 0.0f, 0.0f, 1.0f);
    G::IMVertex(10, 10);
    G::IMVertex(60, 10);
    G::IMVertex(10, 60);
    G::IMEnd();
    const std::string log = ErrorText();
    EXPECT_EQ(TestUtil::CountOf(log, "Invalid float range for a color: "), 1) << log;
    EXPECT_EQ(log.rfind("Invalid float range for a color: 1.5\n  -call stack:\n", 0), 0u) << log;
    ExpectPixels({{15, 15, Red}});
    // The block leaves the colour white.
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_EQ(colour[0] + colour[1] + colour[2] + colour[3], 4.0f);
}

TEST_F(Draw, PackedColoursAreRedInTheLowByteForPointsLinesAndClear) {
    G::SetRenderState(G::RenderState::Blend, false);
    G::DrawPoint2D(20.5f, 20.5f, 0xFF332211);
    G::DrawLine2D(30, 40.5f, Green, 50, 40.5f, Green);
    ExpectPixels({{20, 20, 0x332211}, {40, 40, Green}});
    // Clearing a stencil buffer the window lacks is skipped without a GL error.
    ASSERT_FALSE(G::HasStencil());
    G::Clear(0x80402010, true, true, true);
    ExpectPixels({{400, 300, 0x402010}});
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(Draw, MisnestedBlocksAndBadPrimitivesAreReportedAndCarriedOut) {
    G::IMBegin(G::IMPrimitive(7));
    EXPECT_EQ(ErrorText().rfind("Invalid primitive type given to IMBegin.\n  -call stack:\n", 0), 0u);
    G::IMEnd();
    TestUtil::ClearLog("_error.txt");
    G::IMEnd();
    EXPECT_EQ(ErrorText().rfind("IMEnd called, but no matching IMBegin...\n  -call stack: ", 0), 0u);
    TestUtil::ClearLog("_error.txt");
    G::IMBegin(G::IMPrimitive::Lines);
    G::IMBegin(G::IMPrimitive::Lines);
    EXPECT_EQ(ErrorText().rfind("IMBegin used.. but already inside a begin/end block.\n  -call stack: ", 0), 0u);
    G::IMEnd();
    glGetError();  // the doubled glBegin
}

TEST_F(Draw, PerspectiveViewAndCameraReachGLInTheirOrder) {
    G::SetPerspectiveView(0, 0, 800, 600, 1, 100);
    Matrix projection, expected;
    G::GetProjectionMatrix(projection);
    Perspective(expected, 3.14159265f / 4, 600.0f / 800.0f, 1, 100);
    // Handed over column-major: element (3, 2) of the math is GL's index 11.
    EXPECT_EQ(projection[11], expected.At(3, 2));
    EXPECT_EQ(projection[14], expected.At(2, 3));
    // The model matrix goes in front of the look-at matrix.
    SmoothCamera camera(Vector3(0, -10, 10), Vector3(0, 0, 0), Vector3(0, 0, 1));
    const Matrix model = Translation(0, 0, 5);
    G::Apply(camera, &model);
    Matrix lookAt, combined;
    LookAt(lookAt, camera.GetPosition(), camera.GetTarget(), camera.GetUp());
    Multiply(combined, model, lookAt);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(G::GetViewMatrix()[i], combined[i]) << i;
    SetCurrentCamera(nullptr);
}

TEST_F(Buffers, TwoTextureCoordinatesFeedUnitsZeroAndOneInFormatOrder) {
    ASSERT_NE(G::Extensions.glActiveTextureARB, nullptr);
    G::Texture redGreen;
    ASSERT_TRUE(
        GLTest::MakeTexture(redGreen, 2, 1, [](uint32_t x, uint32_t) { return x ? 0xFF00FF00u : 0xFFFF0000u; }));
    // The first coordinate points at the red texel, the second at the green
    // one; each draw textures one unit only, so the colour tells which
    // coordinate set that unit was fed.
    std::vector<MeshVertex> vertices;
    for (auto [x, y] : {std::pair{10.f, 10.f}, {50.f, 10.f}, {50.f, 50.f}, {10.f, 10.f}, {50.f, 50.f}, {10.f, 50.f}})
        vertices.push_back({x, y, 0, 0, 0, 1, 0xFFFFFFFF, 0.25f, 0.5f, 0.75f, 0.5f});
    G::VertexBuffer buffer;
    ASSERT_TRUE(buffer.Create(6, MeshFormat, 44, false, true));
    ASSERT_TRUE(Fill(buffer, vertices));
    buffer.Set();
    G::SetCullMode(G::CullMode::None);
    redGreen.Set(1);
    G::Extensions.glActiveTextureARB(GL_TEXTURE0_ARB);
    G::UnsetTexture();
    G::RenderTris(2, 0);
    EXPECT_EQ(ReadPixel(30, 30), 0x00FF00u) << "unit 1 must use the second coordinate";
    G::Clear(0xFF000000, true, true, false);
    G::Extensions.glActiveTextureARB(GL_TEXTURE1_ARB);
    G::UnsetTexture();
    redGreen.Set(0);
    G::RenderTris(2, 0);
    EXPECT_EQ(ReadPixel(30, 30), 0x0000FFu) << "unit 0 must use the first coordinate";
}

TEST_F(Buffers, IndexedTrianglesNeedBothBuffers) {
    G::VertexBuffer vertices;
    ASSERT_TRUE(vertices.Create(6, TextFormat, 20, false, true));
    const uint32_t w = 0xFFFFFFFF;
    ASSERT_TRUE(Fill(vertices, std::vector<TextVertex>{{10, 10, w, 0, 0}, {50, 10, w, 0, 0}, {50, 50, w, 0, 0},
                                                       {10, 10, w, 0, 0}, {50, 50, w, 0, 0}, {10, 50, w, 0, 0}}));
    G::IndexBuffer indices;
    ASSERT_TRUE(indices.Create(6, false, true));
    {
        G::IndexBufferLock lock(indices);
        uint16_t* out = nullptr;
        ASSERT_TRUE(lock.GetPointer(out));
        const uint16_t quad[6] = {0, 1, 2, 0, 2, 5};
        std::memcpy(out, quad, sizeof quad);
    }
    EXPECT_TRUE(indices.IsWritten());
    // Neither buffer current: only the vertex-buffer message.
    G::RenderIndTris(2);
    vertices.Set();
    G::RenderIndTris(2);
    EXPECT_EQ(ReadPixel(30, 30), 0u);
    indices.Set();
    G::RenderIndTris(2);
    EXPECT_EQ(ReadPixel(30, 30), 0xFFFFFFu);
    EXPECT_EQ(ErrorText(), "Error: Call to RenderIndTris, but no vertex buffer is set.\n"
                           "Error: Call to RenderIndTris, but no index buffer is set.\n");
}

TEST_F(Buffers, LockingAnyBufferClearsTheCurrentOneUntilSet) {
    G::VertexBuffer a, b;
    ASSERT_TRUE(a.Create(3, TextFormat, 20, false, true));
    ASSERT_TRUE(b.Create(3, TextFormat, 20, false, true));
    a.Set();
    EXPECT_EQ(G::GetCurrentVertexBuffer(), &a);
    { G::VertexBufferLock lock(b); }
    EXPECT_EQ(G::GetCurrentVertexBuffer(), nullptr);
    G::RenderTris(1, 0);
    G::RenderLines(1);
    G::RenderPoints(1);
    EXPECT_EQ(ErrorText(), "Error: Call to RenderTris, but no vertex buffer is set.\n"
                           "Error: Call to RenderLines, but no vertex buffer is set.\n"
                           "Error: Call to RenderPoints, but no vertex buffer is set.\n");
    // A handle that goes away stops being current.
    {
        G::VertexBuffer gone;
        G::IndexBuffer goneIndices;
        ASSERT_TRUE(gone.Create(3, TextFormat, 20, false, true));
        ASSERT_TRUE(goneIndices.Create(3, false, true));
        gone.Set();
        goneIndices.Set();
    }
    EXPECT_EQ(G::GetCurrentVertexBuffer(), nullptr);
    EXPECT_EQ(G::GetCurrentIndexBuffer(), nullptr);
    // Nor does a current handle that is given another buffer stay current.
    a.Set();
    a = b;
    EXPECT_EQ(G::GetCurrentVertexBuffer(), nullptr);
    a.Set();
    GLint bound = 0;
    glGetIntegerv(GL_ARRAY_BUFFER_BINDING_ARB, &bound);
    EXPECT_EQ(GLuint(bound), b.GetGLName());
}

TEST_F(Buffers, NeverCreatedBuffersAndUnknownComponentsAreReported) {
    G::VertexBuffer vertices;
    G::IndexBuffer indices;
    EXPECT_EQ(G::VertexBufferLock(vertices).GetPointer(), nullptr);
    {
        G::IndexBufferLock lock(indices);
        uint16_t* out = reinterpret_cast<uint16_t*>(1);
        EXPECT_FALSE(lock.GetPointer(out));
        EXPECT_EQ(out, nullptr);
    }
    EXPECT_FALSE(indices.IsWritten());
    vertices.Set();
    indices.Set();
    EXPECT_EQ(G::GetVertComponentSize(VertComponentType(9)), 0u);
    const std::string log = ErrorText();
    for (const char* report : {"Warning: attempt to lock a non-allocated vertex buffer.\n",
                               "Warning: attempt to lock a non-allocated index buffer.\n",
                               "Attempt to Set a VertexBuffer that doesn't exist.\n",
                               "Attempt to Set an IndexBuffer that doesn't exist.\n"})
        EXPECT_EQ(TestUtil::CountOf(log, std::string(report) + "  -call stack:\n"), 1) << report;
    EXPECT_NE(log.find("Unhandled type in GetVertComponentSize.\n"), std::string::npos);
}

TEST_F(Buffers, TheLargestIndexCountFitsAndCopiesShareOneBuffer) {
    G::IndexBuffer indices;
    ASSERT_TRUE(indices.Create(65535, true, false));
    indices.Set();
    GLint bytes = 0;
    G::Extensions.glGetBufferParameterivARB(GL_ELEMENT_ARRAY_BUFFER_ARB, GL_BUFFER_SIZE_ARB, &bytes);
    EXPECT_EQ(bytes, 131070);
    G::VertexBuffer vertices;
    ASSERT_TRUE(vertices.Create(10, TextFormat, 20, false, false));
    const GLuint name = vertices.GetGLName();
    {
        G::VertexBuffer copy(vertices);
        EXPECT_EQ(copy.GetGLName(), name);
        vertices.SRFree();
        EXPECT_TRUE(G::Extensions.glIsBufferARB(name));
    }
    EXPECT_FALSE(G::Extensions.glIsBufferARB(name));
}

TEST_F(Buffers, APendingUnrelatedErrorDoesNotFailCreateAndDeviceCallbacksAreRegisteredOnce) {
    glEnable(0x1234);  // leaves GL_INVALID_ENUM pending
    G::VertexBuffer a, b;
    ASSERT_TRUE(a.Create(3, TextFormat, 20, false, true));
    ASSERT_TRUE(b.Create(3, TextFormat, 20, false, true));
    EXPECT_EQ(ErrorText(), "");
    for (bool lost : {false, true, true, false}) G::SetDeviceLost(lost);  // two changes
    for (std::string change : {"lost", "restore"})
        EXPECT_EQ(TestUtil::CountOf(ErrorText(), "Vertex Buffer Manager: handling device " + change + " not done"), 1);
}

TEST(ShaderLogLines, DriverFormsMoveBackByTheBaseLinesAndOtherTextStays) {
    // A base file of three newlines is four lines: line 5 is the file's line 1.
    const struct {
        const char* log;
        int baseLines;
        const char* rewritten;
    } cases[] = {
        {"(5) : error: nope", 4, "(1) : error: nope"},
        {"ERROR: 0:5: 'x' : undeclared", 4, "ERROR: 0:1: 'x' : undeclared"},
        // Mesa's and other drivers' forms; every line of a log, each only once.
        {"0:17(12): error: `x' undeclared", 14, "0:3(12): error: `x' undeclared"},
        {"0(17) : error C1008: undefined variable", 14, "0(3) : error C1008: undefined variable"},
        {"0:20(1): error: a\n0:21(5): error: b 0:30:\n", 14, "0:6(1): error: a\n0:7(5): error: b 0:30:\n"},
        // A number inside a word is not a source index.
        {"vec4(20) and 0(20) :", 14, "vec4(20) and 0(6) :"},
    };
    for (const auto& c : cases) EXPECT_EQ(G::RewriteInfoLogLineNumbers(c.log, c.baseLines), c.rewritten);
    for (const char* unchanged : {"", "\n", "error: something went wrong", "vec4(1) is not a float", "line 5: bad",
                                  "(x) : error", "0:: error", "()"})
        EXPECT_EQ(G::RewriteInfoLogLineNumbers(unchanged, 14), unchanged);
}

// Each failure frees what the shader held before it (a failed link keeps its
// stages until the next load), and names the files; a compile error points at
// the file's own line (3 of the broken file).
TEST_F(ShaderTest, FailuresAreReportedAndFreeEverything) {
    const struct {
        const char *vertex, *fragment, *report;
        bool linking;
    } cases[] = {
        {"simple", "broken", "Error(s) compiling shader: data\\shaders\\broken.glsl_f\n0:3(", false},
        {"missing", "", "Can't compile shader data\\shaders\\missing.glsl_v because the file dosen't exist.\n", false},
        {"simple", "missing", "Can't compile shader data\\shaders\\missing.glsl_f because", false},
        {"nomain", "", "Error(s) linking shader program: data\\shaders\\nomain.glsl_v\n", true},
        {"nomain", "plain", "data\\shaders\\nomain.glsl_v and data\\shaders\\plain.glsl_f\n", true},
    };
    G::Shader shader;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.report);
        ASSERT_TRUE(shader.Load("data\\shaders\\simple", "data\\shaders\\plain"));
        TestUtil::ClearLog("_shaders.txt");
        const std::string folder = "data\\shaders\\";
        EXPECT_FALSE(shader.Load(folder + c.vertex, *c.fragment ? folder + c.fragment : ""));
        const G::SShaderApiData& api = shader.ApiData();
        EXPECT_EQ(api.program, 0u);
        EXPECT_TRUE(c.linking || api.vertexShader + api.fragmentShader == 0) << api.vertexShader << api.fragmentShader;
        EXPECT_NE(ShaderLogText().find(c.report), std::string::npos) << ShaderLogText();
    }
    EXPECT_NE(ErrorText().find("Can't compile shader data\\shaders\\missing.glsl_v because"), std::string::npos);
    EXPECT_FALSE(shader.Load("", ""));
}

TEST_F(ShaderTest, SetAndUnsetTrackTheCurrentShader) {
    G::Shader loaded, unloaded;
    ASSERT_TRUE(loaded.Load("data\\shaders\\simple", ""));
    loaded.Set();
    EXPECT_EQ(G::CurrentShader(), &loaded);
    unloaded.Set();  // harmless: shaders off
    GLint program = 1;
    glGetIntegerv(GL_CURRENT_PROGRAM, &program);
    EXPECT_EQ(program, 0);
    EXPECT_EQ(G::CurrentShader(), nullptr);
    loaded.Set();
    G::UnsetShader();
    EXPECT_EQ(G::CurrentShader(), nullptr);
    // A shader that goes away stops being current: the built-in constants
    // then have nothing to update.
    {
        G::Shader gone;
        ASSERT_TRUE(gone.Load("data\\shaders\\simple", ""));
        gone.Set();
    }
    EXPECT_EQ(G::CurrentShader(), nullptr);
    G::UpdateBuiltInConstants();
}

TEST_F(ShaderTest, MissingConstantsWarnExceptForTheBuiltInOnes) {
    G::Shader shader;
    ASSERT_TRUE(shader.Load("", "data\\shaders\\plain"));  // uses neither matrix
    shader.Set();
    G::UpdateBuiltInConstants();
    EXPECT_EQ(ShaderLogText(), "");
    shader.SetConstant("Nothing", 1.0f, 2.0f);
    std::string log = ShaderLogText();
    EXPECT_EQ(log.rfind("Warning: Asking for constant (Nothing) in a shader, but it's not there.\n  -call stack:\n", 0),
              0u)
        << log;
    EXPECT_EQ(G::GetConstantLocation(nullptr, "Tint"), -1);
}

// The system's own shaders among them: a clean compile and link write nothing.
TEST_F(ShaderTest, ConstantsAndBuiltInMatricesReachTheProgramInUse) {
    G::Shader tint, simple, text;
    ASSERT_TRUE(tint.Load("data\\shaders\\simple", "data\\shaders\\tint"));
    ASSERT_TRUE(simple.Load("data\\shaders\\simple", ""));
    ASSERT_TRUE(text.Load("data\\shaders\\gbfont", ""));
    tint.Set();
    tint.SetConstant("Tint", 0.0f, 1.0f, 0.0f, 1.0f);
    G::UpdateBuiltInConstants();
    Square(100, 100, 200, 200);
    EXPECT_EQ(ReadPixel(150, 150), 0x00FF00u);
    // The world matrix moves a square by (300, 50); view and projection are 2D.
    G::Clear(0xFF000000, true, true, false);
    G::SetWorldMatrix(Translation(300, 50, 0));
    simple.Set();
    G::UpdateBuiltInConstants();
    Square(10, 20, 60, 70);
    GLTest::Box box = GLTest::LitBox(GLTest::ReadPixels(0, 0, 800, 600));
    EXPECT_EQ(std::vector<int>({box.left, box.top, box.right, box.bottom}), std::vector<int>({310, 70, 359, 119}));
    EXPECT_EQ(ShaderLogText(), "");
    EXPECT_EQ(ErrorText(), "");
}

TEST(ShaderWithoutDevice, EverythingQuietlyDoesNothing) {
    TestUtil::ClearLog("_shaders.txt");
    G::Shader shader;
    EXPECT_FALSE(shader.Load("data\\shaders\\simple", ""));
    shader.Set();
    G::UnsetShader();
    EXPECT_EQ(G::CurrentShader(), nullptr);
    EXPECT_EQ(G::GetConstantLocation(&shader, "ModelMatrix"), -1);
    shader.SetConstant("Tint", 1.0f);
    EXPECT_EQ(ShaderLogText(), "");
}

TEST(BuffersWithoutContext, AreRefusedWithAReport) {
    ASSERT_FALSE(G::IsInited());
    TestUtil::ClearLog("_error.txt");
    G::VertexBuffer vertices;
    G::IndexBuffer indices;
    EXPECT_FALSE(vertices.Create(3, TextFormat, 20, false, true));
    EXPECT_FALSE(indices.Create(3, false, true));
    EXPECT_EQ(TestUtil::CountOf(ErrorText(), "graphics is not inited"), 2);
}
