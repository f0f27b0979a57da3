// Draw calls, immediate mode, render state and matrices, checked by reading
// back the pixels they draw.
#include <gtest/gtest.h>

#include "GLDevice.h"
#include "GLRender.h"
#include "GLTestContext.h"
#include "GLTexture.h"
#include "LogFile.h"
#include "Math3D.h"
#include "TestImages.h"
#include "TestUtil.h"

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
    m[3] = x;
    m[7] = y;
    m[11] = z;
    return m;
}

using Draw = GLTest::Suite;

}  // namespace

TEST_F(Draw, Set2DAndTheViewportAreMeasuredFromTheTopLeft) {
    FillRect(0, 0, 4, 4, Red);
    FillRect(796, 596, 4, 4, Blue);
    ExpectPixels({{1, 1, Red}, {1, 598, 0}, {798, 598, Blue}, {798, 1, 0}});
    G::Clear(0xFF000000, true, true, false);
    G::Set2D(100, 50, 200, 100);
    // Set2D's own corner is the viewport's top left; outside it nothing is drawn.
    FillRect(0, 0, 400, 300, Red);
    ExpectPixels({{101, 51, Red}, {99, 51, 0}, {101, 49, 0}, {299, 149, Red}, {300, 150, 0}});
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
    TestUtil::WriteFile("keyed.bmp", TestImages::Bitmap32(2, 2, {0xFF000000, 0xFF010000,
                                                                 0xFFFFFFFF, 0xFF000000}));
    G::Texture texture;
    ASSERT_TRUE(texture.LoadColorKeyed("keyed.bmp"));
    texture.SetFilter(1);
    G::Clear(Green, true, true, false);
    G::DrawTexture(10, 10, texture, 1.0f);
    ExpectPixels({{10, 10, Green}, {11, 10, 0x000001}, {10, 11, White}, {11, 11, Green}});
    G::TextureLock lock(texture, 0, false);
    const uint32_t* copy = GLTest::LockedTexels(lock);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(std::vector<uint32_t>(copy, copy + 4),
              std::vector<uint32_t>({0, 0xFF010000, 0xFFFFFFFF, 0}));
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
    EXPECT_EQ(TestUtil::CountOf(ErrorText(),
                                "Error: Attempt to draw using a blank texture.\n  -call stack:\n"),
              2);
}

TEST_F(Draw, DeviceInitSetsTheStartUpState) {
    // A fresh start, without the suite's reset in between.
    GLTest::Stop();
    ASSERT_TRUE(GLTest::Start());
    EXPECT_EQ(G::GetCullMode(), G::CullMode::FrontCW);
    EXPECT_EQ(G::GetAlphaFunc(), G::CompareFunc::NotEqual);
    EXPECT_TRUE(G::GetRenderState(G::RenderState::DepthTest) && G::GetRenderState(G::RenderState::Blend));
    EXPECT_FALSE(G::GetRenderState(G::RenderState::Wireframe));
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
    EXPECT_EQ(ErrorText().rfind(
                  "IMBegin used.. but already inside a begin/end block.\n  -call stack: ", 0),
              0u);
    G::IMEnd();
    glGetError(); // the doubled glBegin
}

TEST_F(Draw, ModelViewIsViewTimesWorld) {
    Matrix world = Matrix::Identity();
    world[0] = world[5] = world[10] = 2;
    G::SetViewMatrix(Translation(10, 0, 0));
    G::SetWorldMatrix(world);
    // World first, then view: x' = 2x + 10 (the other order would give 2x + 20),
    // so world (5, 7) lands at window (20, 14) under Set2D's projection.
    G::SetRenderState(G::RenderState::Blend, false);
    G::IMBegin(G::IMPrimitive::Points);
    G::IMColor(White);
    G::IMVertex(5.25f, 7.25f);
    G::IMEnd();
    ExpectPixels({{20, 14, White}});
}

TEST_F(Draw, PerspectiveViewAndCameraProjectTheTargetToTheCentre) {
    G::SetPerspectiveView(0, 0, 800, 600, 1, 100);
    Matrix projection, expected;
    G::GetProjectionMatrix(projection);
    Perspective(expected, 3.14159265f / 4, 600.0f / 800.0f, 1, 100);
    // Handed over column-major: element (3, 2) of the math is GL's index 11.
    EXPECT_EQ(projection[11], expected.At(3, 2));
    EXPECT_EQ(projection[14], expected.At(2, 3));
    SmoothCamera camera(Vector3(0, -10, 10), Vector3(0, 0, 0), Vector3(0, 0, 1));
    G::Apply(camera);
    EXPECT_EQ(CurrentCamera(), &camera);
    // The target is in the middle of the window.
    Vector3 window;
    ASSERT_TRUE(G::Project(window, Vector3(0, 0, 0)));
    EXPECT_NEAR(window.x, 400, 0.01);
    EXPECT_NEAR(window.y, 300, 0.01);
    // The model matrix goes in front of the look-at matrix.
    const Matrix model = Translation(0, 0, 5);
    G::Apply(camera, &model);
    Matrix lookAt, combined;
    LookAt(lookAt, camera.GetPosition(), camera.GetTarget(), camera.GetUp());
    Multiply(combined, model, lookAt);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(G::GetViewMatrix()[i], combined[i]) << i;
    SetCurrentCamera(nullptr);
}
