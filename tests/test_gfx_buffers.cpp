// Vertex and index buffers: layouts that draw what their data says, the
// current-buffer rules and the reports of misuse.
#include <gtest/gtest.h>

#include <cstring>

#include "GLDevice.h"
#include "GLRender.h"
#include "GLTestContext.h"
#include "GLTexture.h"
#include "GLVert.h"
#include "TestUtil.h"

using G::VertComponentType;
using G::VertComponentUse;
using GLTest::ReadPixel;

namespace {

std::string ErrorText() { return TestUtil::ReadFile("_error.txt"); }

// The text renderer's vertex: position, packed colour, texture coordinate.
struct TextVertex {
    float x, y;
    uint32_t color;
    float s, t;
};
static_assert(sizeof(TextVertex) == 20);

const G::VertexFormat TextFormat = {{VertComponentType::Float2, VertComponentUse::Position},
                                    {VertComponentType::UByte4, VertComponentUse::Color},
                                    {VertComponentType::Float2, VertComponentUse::TexCoord}};

// A mesh vertex with two texture coordinates.
struct MeshVertex {
    float x, y, z, nx, ny, nz;
    uint32_t color;
    float s0, t0, s1, t1;
};
static_assert(sizeof(MeshVertex) == 44);

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

// Two triangles covering (x0, y0) to (x1, y1), all at texture coordinate (s, t).
std::vector<TextVertex> TextQuad(float x0, float y0, float x1, float y1, uint32_t color, float s, float t) {
    return {{x0, y0, color, s, t}, {x1, y0, color, s, t}, {x1, y1, color, s, t},
            {x0, y0, color, s, t}, {x1, y1, color, s, t}, {x0, y1, color, s, t}};
}

using Buffers = GLTest::Suite;

}  // namespace

TEST_F(Buffers, TwoTextureCoordinatesFeedUnitsZeroAndOneInFormatOrder) {
    ASSERT_NE(G::Extensions.glActiveTextureARB, nullptr);
    G::Texture redGreen;
    ASSERT_TRUE(
        GLTest::MakeTexture(redGreen, 2, 1, [](uint32_t x, uint32_t) { return x ? 0xFF00FF00u : 0xFFFF0000u; }));
    // The first coordinate points at the red texel, the second at the green
    // one; each draw textures one unit only, so the colour tells which
    // coordinate set that unit was fed.
    std::vector<MeshVertex> vertices;
    for (auto [x, y] : {std::pair{10.f, 10.f}, {50.f, 10.f}, {50.f, 50.f}, {10.f, 10.f},
                        {50.f, 50.f}, {10.f, 50.f}})
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

TEST_F(Buffers, ColourArraysTakeTheirElementCountFromTheType) {
    const G::VertexFormat floatColour = {{VertComponentType::Float2, VertComponentUse::Position},
                                         {VertComponentType::Float3, VertComponentUse::Color}};
    G::VertexBuffer buffer;
    ASSERT_TRUE(buffer.Create(3, floatColour, 20, false, true));
    buffer.Set();
    GLint size = 0, type = 0;
    glGetIntegerv(GL_COLOR_ARRAY_SIZE, &size);
    glGetIntegerv(GL_COLOR_ARRAY_TYPE, &type);
    EXPECT_EQ(size, 3);
    EXPECT_EQ(type, GL_FLOAT);
    EXPECT_EQ(G::GetVertComponentSize(VertComponentType(9)), 0u);
    EXPECT_NE(ErrorText().find("Unhandled type in GetVertComponentSize.\n"), std::string::npos);
}

TEST_F(Buffers, IndexedTrianglesNeedBothBuffers) {
    G::VertexBuffer vertices;
    ASSERT_TRUE(vertices.Create(6, TextFormat, 20, false, true));
    ASSERT_TRUE(Fill(vertices, TextQuad(10, 10, 50, 50, 0xFFFFFFFF, 0, 0)));
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

TEST_F(Buffers, NeverCreatedBuffersAreReportedNotLocked) {
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
    const std::string log = ErrorText();
    for (const char* report : {"Warning: attempt to lock a non-allocated vertex buffer.\n",
                               "Warning: attempt to lock a non-allocated index buffer.\n",
                               "Attempt to Set a VertexBuffer that doesn't exist.\n",
                               "Attempt to Set an IndexBuffer that doesn't exist.\n"})
        EXPECT_EQ(TestUtil::CountOf(log, std::string(report) + "  -call stack:\n"), 1) << report;
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
    glEnable(0x1234); // leaves GL_INVALID_ENUM pending
    G::VertexBuffer a, b;
    ASSERT_TRUE(a.Create(3, TextFormat, 20, false, true));
    ASSERT_TRUE(b.Create(3, TextFormat, 20, false, true));
    EXPECT_EQ(ErrorText(), "");
    for (bool lost : {false, true, true, false}) G::SetDeviceLost(lost);  // two changes
    for (std::string change : {"lost", "restore"})
        EXPECT_EQ(TestUtil::CountOf(ErrorText(), "Vertex Buffer Manager: handling device " + change + " not done"), 1);
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
