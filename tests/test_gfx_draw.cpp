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
const uint32_t Black = 0xFF000000;

std::string ErrorText() { return TestUtil::ReadFile("_error.txt"); }

// A small texture with a different colour in every texel (0xAARRGGBB).
uint32_t TexelAt(uint32_t x, uint32_t y) { return 0xFF000000 | (x * 60 + 20) << 16 | (y * 60 + 20) << 8 | 0x80; }

// The same texel as the window shows it, packed 0x00BBGGRR.
uint32_t OnScreen(uint32_t texel) { return (texel >> 16 & 0xFF) | (texel & 0xFF00) | (texel & 0xFF) << 16; }

Matrix Translation(float x, float y, float z) {
    Matrix m = Matrix::Identity();
    m[3] = x;
    m[7] = y;
    m[11] = z;
    return m;
}

class Draw : public GLTest::Suite {};

}  // namespace

TEST_F(Draw, Set2DPutsTheOriginTopLeftAndTheFarCornerBottomRight) {
    G::DrawRect(0, 0, 4, 4, Red, Red, Red, Red);
    G::DrawRect(796, 596, 4, 4, Blue, Blue, Blue, Blue);
    EXPECT_EQ(ReadPixel(1, 1), Red & 0xFFFFFF);
    EXPECT_EQ(ReadPixel(1, 598), 0u);
    EXPECT_EQ(ReadPixel(798, 598), Blue & 0xFFFFFF);
    EXPECT_EQ(ReadPixel(798, 1), 0u);
}

TEST_F(Draw, ViewportIsMeasuredFromTheTopLeft) {
    G::Set2D(100, 50, 200, 100);
    int x, y, w, h;
    G::GetViewport(x, y, w, h);
    EXPECT_EQ(x, 100);
    EXPECT_EQ(y, 50);
    EXPECT_EQ(w, 200);
    EXPECT_EQ(h, 100);
    GLint box[4];
    glGetIntegerv(GL_VIEWPORT, box);
    EXPECT_EQ(box[1], 600 - 50 - 100);
    // Set2D's own corner is the viewport's top left; outside it nothing is drawn.
    G::DrawRect(100, 50, 3, 3, Green, Green, Green, Green);
    G::DrawRect(0, 0, 400, 300, Red, Red, Red, Red);
    EXPECT_EQ(ReadPixel(101, 51), Red & 0xFFFFFF);
    EXPECT_EQ(ReadPixel(99, 51), 0u);
    EXPECT_EQ(ReadPixel(101, 49), 0u);
    EXPECT_EQ(ReadPixel(299, 149), Red & 0xFFFFFF);
    EXPECT_EQ(ReadPixel(300, 150), 0u);
}

TEST_F(Draw, RectHasCornerColoursAtCornersAndTheirAverageInTheCentre) {
    G::SetRenderState(G::RenderState::Blend, false);
    G::DrawRect(100, 100, 200, 100, Red, Green, Blue, White);
    EXPECT_TRUE(Near(ReadPixel(100, 100), Red & 0xFFFFFF, 6)) << std::hex << ReadPixel(100, 100);
    EXPECT_TRUE(Near(ReadPixel(299, 100), Green & 0xFFFFFF, 6)) << std::hex << ReadPixel(299, 100);
    EXPECT_TRUE(Near(ReadPixel(100, 199), Blue & 0xFFFFFF, 6)) << std::hex << ReadPixel(100, 199);
    EXPECT_TRUE(Near(ReadPixel(299, 199), White & 0xFFFFFF, 6)) << std::hex << ReadPixel(299, 199);
    // (255 + 0 + 0 + 255) / 4 in every channel.
    EXPECT_TRUE(Near(ReadPixel(200, 150), 0x7F7F7F, 3)) << std::hex << ReadPixel(200, 150);
    EXPECT_EQ(ReadPixel(99, 150), 0u);
    EXPECT_EQ(ReadPixel(300, 150), 0u);
}

TEST_F(Draw, RectLeavesDepthTestAsItFoundIt) {
    EXPECT_TRUE(G::GetRenderState(G::RenderState::DepthTest));
    G::DrawRect(0, 0, 10, 10, Red, Red, Red, Red);
    EXPECT_TRUE(G::GetRenderState(G::RenderState::DepthTest));
    G::SetRenderState(G::RenderState::DepthTest, false);
    G::DrawRect(0, 0, 10, 10, Red, Red, Red, Red);
    EXPECT_FALSE(G::GetRenderState(G::RenderState::DepthTest));
}

TEST_F(Draw, TextureIsDrawnAtItsSizeWithTexelZeroAtTheGivenPixel) {
    G::Texture texture;
    ASSERT_TRUE(texture.Create(4, 4, 3, 1, false));
    {
        G::TextureLock lock(texture, 0, true);
        uint32_t *texels, pitch, slice, bits, w, h, d;
        ASSERT_TRUE(lock.GetInfo(texels, pitch, slice, bits, w, h, d));
        for (uint32_t y = 0; y < 4; ++y)
            for (uint32_t x = 0; x < 4; ++x) texels[y * pitch / 4 + x] = TexelAt(x, y);
    }
    texture.SetFilter(1);
    G::DrawTexture(50, 60, texture, 1.0f);
    for (uint32_t y = 0; y < 4; ++y)
        for (uint32_t x = 0; x < 4; ++x)
            EXPECT_EQ(ReadPixel(50 + int(x), 60 + int(y)), OnScreen(TexelAt(x, y))) << x << "," << y;
    EXPECT_EQ(ReadPixel(49, 60), 0u);
    EXPECT_EQ(ReadPixel(54, 60), 0u);
    EXPECT_EQ(ReadPixel(50, 64), 0u);
    // Half transparent: blended over black.
    G::Clear(Black, true, true, false);
    G::DrawTexture(50, 60, texture, 0.5f);
    EXPECT_TRUE(Near(ReadPixel(50, 60), OnScreen(TexelAt(0, 0)) >> 1 & 0x7F7F7F, 2));
    EXPECT_EQ(ErrorText(), "");
}

TEST_F(Draw, ColourKeyedBitmapIsTransparentExactlyWhereItWasOpaqueBlack) {
    // Opaque black, black with a red byte of 1, and opaque white.
    const std::vector<uint32_t> texels = {0xFF000000, 0xFF010000, 0xFFFFFFFF, 0xFF000000};
    TestUtil::WriteFile("keyed.bmp", TestImages::Bitmap32(2, 2, texels));
    G::Texture texture;
    ASSERT_TRUE(texture.LoadColorKeyed("keyed.bmp"));
    texture.SetFilter(1);
    G::Clear(Green, true, true, false);
    G::Set2D();
    G::DrawTexture(10, 10, texture, 1.0f);
    EXPECT_EQ(ReadPixel(10, 10), Green & 0xFFFFFF);
    EXPECT_EQ(ReadPixel(11, 10), 0x000001u);
    EXPECT_EQ(ReadPixel(10, 11), 0xFFFFFFu);
    EXPECT_EQ(ReadPixel(11, 11), Green & 0xFFFFFF);
    G::TextureLock lock(texture, 0, false);
    uint32_t *copy, pitch, slice, bits, w, h, d;
    ASSERT_TRUE(lock.GetInfo(copy, pitch, slice, bits, w, h, d));
    EXPECT_EQ(copy[0], 0u);
    EXPECT_EQ(copy[1], 0xFF010000u);
    EXPECT_EQ(copy[3], 0u);
}

TEST_F(Draw, BlankTextureIsReportedAndNotDrawn) {
    G::Texture blank;
    G::DrawTexture(0, 0, blank, 1.0f);
    G::DrawTextureStretched(0, 0, 10, 10, blank, 1.0f);
    EXPECT_EQ(TestUtil::CountOf(ErrorText(), "Error: Attempt to draw using a blank texture.\n  -call stack:\n"), 2);
}

TEST_F(Draw, StretchedAndRotatedTexturesCoverTheirCorners) {
    G::Texture texture;
    ASSERT_TRUE(texture.Create(2, 2, 3, 1, false));
    {
        G::TextureLock lock(texture, 0, true);
        uint32_t *texels, pitch, slice, bits, w, h, d;
        ASSERT_TRUE(lock.GetInfo(texels, pitch, slice, bits, w, h, d));
        std::fill(texels, texels + 4, 0xFFFFFFFFu);
    }
    G::SetCullMode(G::CullMode::FrontCCW);
    // Right to left: the winding flips, which must not cull it.
    G::DrawTextureStretched(300, 100, 200, 150, texture, 1.0f);
    EXPECT_EQ(ReadPixel(250, 125), 0xFFFFFFu);
    EXPECT_EQ(G::GetCullMode(), G::CullMode::FrontCCW);
    // A 2 x 2 texture at scale 10, turned a quarter: 20 x 20 around (500, 300).
    G::SetCullMode(G::CullMode::None);
    G::DrawTextureRotated(500, 300, 1.5707964f, 10, texture, 1.0f);
    EXPECT_EQ(ReadPixel(491, 291), 0xFFFFFFu);
    EXPECT_EQ(ReadPixel(508, 308), 0xFFFFFFu);
    EXPECT_EQ(ReadPixel(489, 300), 0u);
    EXPECT_EQ(ReadPixel(500, 311), 0u);
}

TEST_F(Draw, StartUpStateReadsBack) {
    EXPECT_EQ(G::GetCullMode(), G::CullMode::FrontCW);
    EXPECT_EQ(G::GetAlphaFunc(), G::CompareFunc::NotEqual);
    EXPECT_EQ(G::GetAlphaRef(), 0.0f);
    EXPECT_EQ(G::GetDepthFunc(), G::CompareFunc::LessEqual);
    EXPECT_TRUE(G::GetRenderState(G::RenderState::DepthTest));
    EXPECT_TRUE(G::GetRenderState(G::RenderState::DepthWrite));
    EXPECT_TRUE(G::GetRenderState(G::RenderState::Blend));
    EXPECT_TRUE(G::GetRenderState(G::RenderState::AlphaTest));
    EXPECT_FALSE(G::GetRenderState(G::RenderState::StencilTest));
    EXPECT_FALSE(G::GetRenderState(G::RenderState::Lighting));
    EXPECT_FALSE(G::GetRenderState(G::RenderState::Wireframe));
    EXPECT_TRUE(G::GetRenderState(G::RenderState::ColorWrite));
    GLint source = 0, destination = 0;
    glGetIntegerv(GL_BLEND_SRC, &source);
    glGetIntegerv(GL_BLEND_DST, &destination);
    EXPECT_EQ(source, GL_SRC_ALPHA);
    EXPECT_EQ(destination, GL_ONE_MINUS_SRC_ALPHA);
}

TEST_F(Draw, DeviceInitSetsTheStartUpState) {
    // A fresh start, without the suite's reset in between.
    GLTest::Stop();
    ASSERT_TRUE(GLTest::Start());
    EXPECT_EQ(G::GetCullMode(), G::CullMode::FrontCW);
    EXPECT_EQ(G::GetAlphaFunc(), G::CompareFunc::NotEqual);
    EXPECT_EQ(G::GetDepthFunc(), G::CompareFunc::LessEqual);
}

TEST_F(Draw, RenderStateSettersRoundTrip) {
    for (uint32_t s = 0; s < 8; ++s) {
        const auto state = G::RenderState(s);
        if (state == G::RenderState::StencilTest) continue;  // no stencil buffer: reads back as asked anyway
        const bool was = G::GetRenderState(state);
        G::SetRenderState(state, !was);
        EXPECT_EQ(G::GetRenderState(state), !was) << "state " << s;
        G::SetRenderState(state, was);
    }
    for (uint32_t f = 0; f < 8; ++f) {
        G::SetDepthFunc(G::CompareFunc(f));
        EXPECT_EQ(G::GetDepthFunc(), G::CompareFunc(f));
        G::SetStencilFunc(G::CompareFunc(f), 3);
        EXPECT_EQ(G::GetStencilFunc(), G::CompareFunc(f));
    }
    G::SetStencilOp(G::StencilOp::Zero, G::StencilOp::Incr, G::StencilOp::Invert);
    EXPECT_EQ(G::GetStencilFailOp(), G::StencilOp::Zero);
    EXPECT_EQ(G::GetStencilDepthFailOp(), G::StencilOp::Incr);
    EXPECT_EQ(G::GetStencilPassOp(), G::StencilOp::Invert);
    G::SetCullMode(G::CullMode::None);
    EXPECT_EQ(G::GetCullMode(), G::CullMode::None);
    G::SetCullMode(G::CullMode::FrontCCW);
    EXPECT_EQ(G::GetCullMode(), G::CullMode::FrontCCW);
}

TEST_F(Draw, AlphaReferenceAndFunctionAreSetIndependently) {
    G::SetAlphaRef(0.5f);
    EXPECT_EQ(G::GetAlphaFunc(), G::CompareFunc::NotEqual);
    EXPECT_FLOAT_EQ(G::GetAlphaRef(), 0.5f);
    G::SetAlphaFunc(G::CompareFunc::Greater);
    EXPECT_FLOAT_EQ(G::GetAlphaRef(), 0.5f);
    EXPECT_EQ(G::GetAlphaFunc(), G::CompareFunc::Greater);
    // Alpha 0.25 fails "greater than 0.5" and is discarded.
    G::DrawRect(0, 0, 4, 4, 0x40FFFFFF, 0x40FFFFFF, 0x40FFFFFF, 0x40FFFFFF);
    EXPECT_EQ(ReadPixel(1, 1), 0u);
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
    EXPECT_EQ(ReadPixel(15, 15), 0x0000FFu);
    // The block leaves the colour white.
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_EQ(colour[0] + colour[1] + colour[2] + colour[3], 4.0f);
}

TEST_F(Draw, PackedColourIsRedInTheLowByte) {
    G::SetRenderState(G::RenderState::Blend, false);
    G::DrawPoint2D(20.5f, 20.5f, 0xFF332211);
    G::DrawLine2D(30, 40.5f, 0xFF00FF00, 50, 40.5f, 0xFF00FF00);
    EXPECT_EQ(ReadPixel(20, 20), 0x332211u);
    EXPECT_EQ(ReadPixel(40, 40), 0x00FF00u);
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

TEST_F(Draw, ModelViewIsViewTimesWorld) {
    const Matrix view = Translation(10, 0, 0);
    Matrix world = Matrix::Identity();
    world[0] = world[5] = world[10] = 2;
    G::SetViewMatrix(view);
    G::SetWorldMatrix(world);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(G::GetViewMatrix()[i], view[i]);
        EXPECT_EQ(G::GetWorldMatrix()[i], world[i]);
    }
    GLfloat modelView[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, modelView);
    // World first, then view: x' = 2x + 10 (the other order would give 2x + 20).
    EXPECT_EQ(modelView[0], 2.0f);
    EXPECT_EQ(modelView[12], 10.0f);
    // A point drawn at world (5, 7) lands at window (20, 14) under Set2D's projection.
    G::SetRenderState(G::RenderState::Blend, false);
    G::IMBegin(G::IMPrimitive::Points);
    G::IMColor(White);
    G::IMVertex(5.25f, 7.25f);
    G::IMEnd();
    EXPECT_EQ(ReadPixel(20, 14), 0xFFFFFFu);
}

TEST_F(Draw, ClearUsesThePackedColourAndSkipsAMissingStencil) {
    ASSERT_FALSE(G::HasStencil());
    G::Clear(0x80402010, true, true, true);
    EXPECT_EQ(ReadPixel(400, 300), 0x402010u);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(Draw, PerspectiveViewAndCameraRoundTripThroughProjectAndUnproject) {
    G::SetPerspectiveView(0, 0, 800, 600, 1, 100);
    Matrix projection;
    G::GetProjectionMatrix(projection);
    Matrix expected;
    Perspective(expected, 3.14159265f / 4, 600.0f / 800.0f, 1, 100);
    // Handed over column-major: element (3, 2) of the math is GL's index 11.
    EXPECT_EQ(projection[11], expected.At(3, 2));
    EXPECT_EQ(projection[14], expected.At(2, 3));
    SmoothCamera camera(Vector3(0, -10, 10), Vector3(0, 0, 0), Vector3(0, 0, 1));
    G::Apply(camera);
    EXPECT_EQ(CurrentCamera(), &camera);
    Matrix lookAt;
    LookAt(lookAt, camera.GetPosition(), camera.GetTarget(), camera.GetUp());
    for (int i = 0; i < 16; ++i) EXPECT_EQ(G::GetViewMatrix()[i], lookAt[i]);
    // The target is in the middle of the window.
    Vector3 window;
    ASSERT_TRUE(G::Project(window, Vector3(0, 0, 0)));
    EXPECT_NEAR(window.x, 400, 0.01);
    EXPECT_NEAR(window.y, 300, 0.01);
    Vector3 back;
    G::Unproject(back, 123, 456, window.z);
    Vector3 again;
    ASSERT_TRUE(G::Project(again, back));
    EXPECT_NEAR(again.x, 123, 0.05);
    EXPECT_NEAR(again.y, 456, 0.05);
    // The model matrix goes in front of the look-at matrix.
    const Matrix model = Translation(0, 0, 5);
    G::Apply(camera, &model);
    Matrix combined;
    Multiply(combined, model, lookAt);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(G::GetViewMatrix()[i], combined[i]);
    SetCurrentCamera(nullptr);
}
