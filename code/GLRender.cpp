#include "GLRender.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "GLDevice.h"
#include "GLShader.h"
#include "GLTexture.h"
#include "GLVert.h"
#include "LogFile.h"
#include "StaticOrder.h"

namespace G {

namespace {

bool insideBlock = false;
Matrix projection STATIC_ORDER(STATIC_GRAPHICS) = Matrix::Identity();
Matrix viewTransposed STATIC_ORDER(STATIC_GRAPHICS) = Matrix::Identity();
Matrix worldTransposed STATIC_ORDER(STATIC_GRAPHICS) = Matrix::Identity();

const GLenum CompareTable[] = {GL_NEVER, GL_ALWAYS, GL_EQUAL, GL_NOTEQUAL, GL_LESS, GL_LEQUAL, GL_GREATER, GL_GEQUAL};
const GLenum StencilTable[] = {GL_KEEP, GL_ZERO, GL_REPLACE, GL_INCR, GL_DECR, GL_INVERT};
const GLenum BlendTable[] = {GL_ZERO,          GL_ONE,       GL_SRC_COLOR,           GL_ONE_MINUS_SRC_COLOR,
                             GL_SRC_ALPHA,     GL_ONE_MINUS_SRC_ALPHA, GL_DST_ALPHA, GL_ONE_MINUS_DST_ALPHA,
                             GL_DST_COLOR,     GL_ONE_MINUS_DST_COLOR};
const GLenum PrimitiveTable[] = {GL_POINTS, GL_LINES, GL_TRIANGLES, GL_TRIANGLE_FAN};

template <size_t N>
GLenum ToGL(const GLenum (&table)[N], uint32_t value, GLenum otherwise) {
    return value < N ? table[value] : otherwise;
}

// Reads a GL enum back into the foundation's numbering; unknown values get `otherwise`.
template <class Enum, size_t N>
Enum FromGL(const GLenum (&table)[N], GLint value, Enum otherwise) {
    for (size_t i = 0; i < N; ++i)
        if (GLint(table[i]) == value) return Enum(i);
    return otherwise;
}

GLint GetInteger(GLenum what) {
    GLint value = 0;
    glGetIntegerv(what, &value);
    return value;
}

CompareFunc ReadCompare(GLenum what) { return FromGL(CompareTable, GetInteger(what), CompareFunc::GreaterEqual); }
StencilOp ReadStencilOp(GLenum what) { return FromGL(StencilTable, GetInteger(what), StencilOp::Invert); }

GLenum Capability(RenderState state) {
    switch (state) {
        case RenderState::DepthTest: return GL_DEPTH_TEST;
        case RenderState::Blend: return GL_BLEND;
        case RenderState::AlphaTest: return GL_ALPHA_TEST;
        case RenderState::StencilTest: return GL_STENCIL_TEST;
        case RenderState::Lighting: return GL_LIGHTING;
        default: return 0;
    }
}

void LoadModelView() {
    Matrix modelView;
    Multiply(modelView, worldTransposed, viewTransposed);
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(modelView.m);
}

void ReportMisnested(const char* message) {
    ErrorLog << message << "  -call stack: " << DropFirstLine(CallStackText()) << "\n";
}

// The 2D helpers draw without depth testing and put it back afterwards.
class DepthTestOff {
public:
    DepthTestOff() : was(GetRenderState(RenderState::DepthTest)) { SetRenderState(RenderState::DepthTest, false); }
    ~DepthTestOff() { SetRenderState(RenderState::DepthTest, was); }

private:
    bool was;
};

void Untextured() {
    UnsetTexture();
    UnsetShader();
}

// Binds the texture on unit 0 for a helper; false (reported) for a texture
// without GPU data.
bool Textured(const Texture& texture) {
    if (texture.GetGLName() == 0) {
        ReportWithStack("Error: Attempt to draw using a blank texture.\n");
        return false;
    }
    texture.Set(0);
    UnsetShader();
    return true;
}

uint32_t WhiteWithAlpha(float alpha) {
    alpha = std::clamp(alpha, 0.0f, 1.0f);
    return 0x00FFFFFFu | uint32_t(alpha * 255.0f) << 24;
}

// A textured quad through four corners in the order top-left, top-right,
// bottom-right, bottom-left. The corners lie on pixel edges, not half a pixel
// in: OpenGL samples at pixel centres, so a texture drawn at its own size
// then shows each texel whole in one pixel instead of a blend of four.
void TexturedQuad(const float (&corners)[4][2], uint32_t color) {
    static const float texCoords[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    IMBegin(IMPrimitive::TriangleFan);
    IMColor(color);
    for (int i = 0; i < 4; ++i) {
        IMTexCoord2v(texCoords[i]);
        IMVertex2v(corners[i]);
    }
    IMEnd();
}

uint32_t AverageColor(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
    uint32_t average = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const uint32_t sum = (a >> shift & 0xFF) + (b >> shift & 0xFF) + (c >> shift & 0xFF) + (d >> shift & 0xFF);
        average |= (sum / 4) << shift;
    }
    return average;
}

}  // namespace

// --- Draw calls ------------------------------------------------------------------

void RenderTris(uint32_t triangleCount, uint32_t firstVertex) {
    if (!GetCurrentVertexBuffer()) {
        ErrorLog << "Error: Call to RenderTris, but no vertex buffer is set.\n";
        return;
    }
    glDrawArrays(GL_TRIANGLES, GLint(firstVertex), GLsizei(3 * triangleCount));
}

void RenderIndTris(uint32_t triangleCount) {
    if (!GetCurrentVertexBuffer()) {
        ErrorLog << "Error: Call to RenderIndTris, but no vertex buffer is set.\n";
        return;
    }
    if (!GetCurrentIndexBuffer()) {
        ErrorLog << "Error: Call to RenderIndTris, but no index buffer is set.\n";
        return;
    }
    glDrawElements(GL_TRIANGLES, GLsizei(3 * triangleCount), GL_UNSIGNED_SHORT, nullptr);
}

void RenderLines(uint32_t lineCount) {
    if (!GetCurrentVertexBuffer()) {
        ErrorLog << "Error: Call to RenderLines, but no vertex buffer is set.\n";
        return;
    }
    glDrawArrays(GL_LINES, 0, GLsizei(2 * lineCount));
}

void RenderPoints(uint32_t pointCount) {
    if (!GetCurrentVertexBuffer()) {
        ErrorLog << "Error: Call to RenderPoints, but no vertex buffer is set.\n";
        return;
    }
    glDrawArrays(GL_POINTS, 0, GLsizei(pointCount));
}

// --- Immediate mode -----------------------------------------------------------------

void IMBegin(IMPrimitive primitive) {
    if (insideBlock) ReportMisnested("IMBegin used.. but already inside a begin/end block.\n");
    insideBlock = true;
    const uint32_t index = uint32_t(primitive);
    if (index >= std::size(PrimitiveTable)) ReportWithStack("Invalid primitive type given to IMBegin.\n");
    glBegin(ToGL(PrimitiveTable, index, GL_POINTS));
}

void IMEnd() {
    if (!insideBlock) ReportMisnested("IMEnd called, but no matching IMBegin...\n");
    insideBlock = false;
    glEnd();
    glColor4f(1, 1, 1, 1);
    glFlush();
}

void IMVertex(float x, float y) { glVertex2f(x, y); }
void IMVertex(float x, float y, float z) { glVertex3f(x, y, z); }
void IMVertex(float x, float y, float z, float w) { glVertex4f(x, y, z, w); }
void IMVertex2v(const float* v) { glVertex2fv(v); }
void IMVertex3v(const float* v) { glVertex3fv(v); }
void IMVertex4v(const float* v) { glVertex4fv(v); }
void IMNormal(float x, float y, float z) { glNormal3f(x, y, z); }
void IMNormal3v(const float* n) { glNormal3fv(n); }
void IMTexCoord(float s) { glTexCoord1f(s); }
void IMTexCoord(float s, float t) { glTexCoord2f(s, t); }
void IMTexCoord(float s, float t, float r) { glTexCoord3f(s, t, r); }
void IMTexCoord(float s, float t, float r, float q) { glTexCoord4f(s, t, r, q); }
void IMTexCoord2v(const float* t) { glTexCoord2fv(t); }
void IMTexCoord3v(const float* t) { glTexCoord3fv(t); }
void IMTexCoord4v(const float* t) { glTexCoord4fv(t); }

void IMColor(uint32_t packed) {
    // 0xAABBGGRR in memory on this little-endian machine is R, G, B, A.
    const GLubyte bytes[4] = {GLubyte(packed), GLubyte(packed >> 8), GLubyte(packed >> 16), GLubyte(packed >> 24)};
    glColor4ubv(bytes);
}

void IMColor(float r, float g, float b) {
    CheckColorRange(r);
    CheckColorRange(g);
    CheckColorRange(b);
    glColor3f(r, g, b);
}

void IMColor(float r, float g, float b, float a) {
    CheckColorRange(r);
    CheckColorRange(g);
    CheckColorRange(b);
    CheckColorRange(a);
    glColor4f(r, g, b, a);
}

void IMColor3v(const float* c) { IMColor(c[0], c[1], c[2]); }
void IMColor4v(const float* c) { IMColor(c[0], c[1], c[2], c[3]); }

void CheckColorRange(float value) {
    if (value >= 0.0f && value <= 1.0f) return;
    ErrorLog << "Invalid float range for a color: " << double(value) << "\n";
    ReportWithStack("");
}

// --- Render state --------------------------------------------------------------------

void SetRenderState(RenderState state, bool on) {
    switch (state) {
        case RenderState::DepthWrite: glDepthMask(on ? GL_TRUE : GL_FALSE); return;
        case RenderState::Wireframe: glPolygonMode(GL_FRONT_AND_BACK, on ? GL_LINE : GL_FILL); return;
        case RenderState::ColorWrite: glColorMask(on, on, on, on); return;
        default: break;
    }
    const GLenum capability = Capability(state);
    if (capability == 0) return;
    if (on)
        glEnable(capability);
    else
        glDisable(capability);
}

bool GetRenderState(RenderState state) {
    GLboolean values[4] = {GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE};
    switch (state) {
        case RenderState::DepthWrite: glGetBooleanv(GL_DEPTH_WRITEMASK, values); return values[0];
        case RenderState::ColorWrite: glGetBooleanv(GL_COLOR_WRITEMASK, values); return values[0];
        case RenderState::Wireframe: {
            GLint modes[2] = {GL_FILL, GL_FILL};
            glGetIntegerv(GL_POLYGON_MODE, modes);
            return modes[1] == GL_LINE;
        }
        default: break;
    }
    const GLenum capability = Capability(state);
    if (capability == 0) return false;
    glGetBooleanv(capability, values);
    return values[0];
}

void SetCullMode(CullMode mode) {
    if (mode != CullMode::FrontCW && mode != CullMode::FrontCCW) {
        glDisable(GL_CULL_FACE);
        return;
    }
    glFrontFace(mode == CullMode::FrontCW ? GL_CW : GL_CCW);
    glCullFace(GL_BACK);
    glEnable(GL_CULL_FACE);
}

CullMode GetCullMode() {
    GLboolean culling = GL_FALSE;
    glGetBooleanv(GL_CULL_FACE, &culling);
    if (!culling) return CullMode::None;
    return GetInteger(GL_FRONT_FACE) == GL_CW ? CullMode::FrontCW : CullMode::FrontCCW;
}

void SetDepthFunc(CompareFunc func) { glDepthFunc(ToGL(CompareTable, uint32_t(func), GL_GEQUAL)); }
CompareFunc GetDepthFunc() { return ReadCompare(GL_DEPTH_FUNC); }

void SetAlphaFunc(CompareFunc func) { glAlphaFunc(ToGL(CompareTable, uint32_t(func), GL_GEQUAL), GetAlphaRef()); }

void SetAlphaRef(float ref) { glAlphaFunc(GLenum(GetInteger(GL_ALPHA_TEST_FUNC)), ref); }

CompareFunc GetAlphaFunc() { return ReadCompare(GL_ALPHA_TEST_FUNC); }

float GetAlphaRef() {
    GLfloat ref = 0;
    glGetFloatv(GL_ALPHA_TEST_REF, &ref);
    return ref;
}

void SetStencilFunc(CompareFunc func, int ref) {
    glStencilFunc(ToGL(CompareTable, uint32_t(func), GL_GEQUAL), ref, ~GLuint(0));
}

CompareFunc GetStencilFunc() { return ReadCompare(GL_STENCIL_FUNC); }

void SetStencilOp(StencilOp fail, StencilOp depthFail, StencilOp pass) {
    glStencilOp(ToGL(StencilTable, uint32_t(fail), GL_INVERT), ToGL(StencilTable, uint32_t(depthFail), GL_INVERT),
                ToGL(StencilTable, uint32_t(pass), GL_INVERT));
}

StencilOp GetStencilFailOp() { return ReadStencilOp(GL_STENCIL_FAIL); }
StencilOp GetStencilDepthFailOp() { return ReadStencilOp(GL_STENCIL_PASS_DEPTH_FAIL); }
StencilOp GetStencilPassOp() { return ReadStencilOp(GL_STENCIL_PASS_DEPTH_PASS); }

void SetBlendFunc(BlendFactor source, BlendFactor destination) {
    glBlendFunc(ToGL(BlendTable, uint32_t(source), GL_SRC_ALPHA_SATURATE),
                ToGL(BlendTable, uint32_t(destination), GL_SRC_ALPHA_SATURATE));
}

// --- Matrices ----------------------------------------------------------------------------

void SetProjectionMatrix(const Matrix& m) {
    projection = m;
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(projection.m);
}

void GetProjectionMatrix(Matrix& m) { m = projection; }

void SetViewMatrix(const Matrix& m) {
    viewTransposed = Transpose(m);
    LoadModelView();
}

void SetWorldMatrix(const Matrix& m) {
    worldTransposed = Transpose(m);
    LoadModelView();
}

Matrix GetViewMatrix() { return Transpose(viewTransposed); }
Matrix GetWorldMatrix() { return Transpose(worldTransposed); }

// --- Viewport, 2D, clearing ----------------------------------------------------------------

void SetViewport(int x, int y, int width, int height) {
    glViewport(x, int(GetSetup().height) - y - height, width, height);
}

void GetViewport(int& x, int& y, int& width, int& height) {
    GLint box[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, box);
    x = box[0];
    width = box[2];
    height = box[3];
    y = int(GetSetup().height) - box[1] - height;
}

void SetViewportFull() { SetViewport(0, 0, int(GetSetup().width), int(GetSetup().height)); }

void Set2D(int x, int y, int width, int height) {
    SetWorldMatrix(Matrix::Identity());
    SetViewMatrix(Matrix::Identity());
    const float w = float(width), h = float(height);
    Matrix ortho;
    ortho[0] = 2.0f / w;
    ortho[5] = -2.0f / h;
    ortho[10] = -1.0f;
    ortho[12] = -(2.0f * float(x) + w) / w;
    ortho[13] = (2.0f * float(y) + h) / h;
    ortho[14] = 0.0f;
    ortho[15] = 1.0f;
    SetProjectionMatrix(ortho);
    SetViewport(x, y, width, height);
}

void Set2D() { Set2D(0, 0, int(GetSetup().width), int(GetSetup().height)); }

void Clear(uint32_t color, bool clearColor, bool clearDepth, bool clearStencil) {
    GLbitfield bits = 0;
    if (clearColor) {
        glClearColor(float(color & 0xFF) / 255.0f, float(color >> 8 & 0xFF) / 255.0f,
                     float(color >> 16 & 0xFF) / 255.0f, float(color >> 24 & 0xFF) / 255.0f);
        bits |= GL_COLOR_BUFFER_BIT;
    }
    if (clearDepth) {
        glClearDepth(1.0);
        bits |= GL_DEPTH_BUFFER_BIT;
    }
    if (clearStencil && HasStencil()) {
        glClearStencil(0);
        bits |= GL_STENCIL_BUFFER_BIT;
    }
    glClear(bits);
}

void SetDefaultRenderState() {
    SetRenderState(RenderState::DepthTest, true);
    SetRenderState(RenderState::DepthWrite, true);
    SetRenderState(RenderState::Blend, true);
    SetRenderState(RenderState::AlphaTest, true);
    SetRenderState(RenderState::StencilTest, false);
    SetRenderState(RenderState::Lighting, false);
    SetRenderState(RenderState::Wireframe, false);
    SetRenderState(RenderState::ColorWrite, true);
    SetCullMode(CullMode::FrontCW);
    SetAlphaRef(0);
    SetAlphaFunc(CompareFunc::NotEqual);
    SetDepthFunc(CompareFunc::LessEqual);
    SetBlendFunc(BlendFactor::SrcAlpha, BlendFactor::InvSrcAlpha);
    SetProjectionMatrix(Matrix::Identity());
    SetViewMatrix(Matrix::Identity());
    SetWorldMatrix(Matrix::Identity());
    SetViewportFull();
}

// --- 2D helpers ---------------------------------------------------------------------------

void DrawRect(float x, float y, float width, float height, uint32_t topLeft, uint32_t topRight,
              uint32_t bottomLeft, uint32_t bottomRight) {
    Untextured();
    DepthTestOff depthOff;
    IMBegin(IMPrimitive::TriangleFan);
    IMColor(AverageColor(topLeft, topRight, bottomLeft, bottomRight));
    IMVertex(x + width / 2, y + height / 2);
    IMColor(topLeft);
    IMVertex(x, y);
    IMColor(topRight);
    IMVertex(x + width, y);
    IMColor(bottomRight);
    IMVertex(x + width, y + height);
    IMColor(bottomLeft);
    IMVertex(x, y + height);
    IMColor(topLeft);
    IMVertex(x, y);
    IMEnd();
}

void DrawTexture(float x, float y, const Texture& texture, float alpha) {
    if (!Textured(texture)) return;
    DepthTestOff depthOff;
    const float right = x + float(texture.GetWidth()), bottom = y + float(texture.GetHeight());
    const float corners[4][2] = {{x, y}, {right, y}, {right, bottom}, {x, bottom}};
    TexturedQuad(corners, WhiteWithAlpha(alpha));
}

void DrawTextureRotated(float centerX, float centerY, float angle, float scale, const Texture& texture,
                        float alpha) {
    if (!Textured(texture)) return;
    DepthTestOff depthOff;
    const float a = float(texture.GetWidth()) / 2 * scale, b = float(texture.GetHeight()) / 2 * scale;
    float corners[4][2] = {{-a, -b}, {a, -b}, {a, b}, {-a, b}};
    const float c = std::cos(angle), s = std::sin(angle);
    for (auto& corner : corners) {
        const float px = corner[0], py = corner[1];
        if (angle != 0) {
            corner[0] = px * c - py * s;
            corner[1] = px * s + py * c;
        }
        corner[0] += centerX;
        corner[1] += centerY;
    }
    TexturedQuad(corners, WhiteWithAlpha(alpha));
}

void DrawTextureStretched(float x0, float y0, float x1, float y1, const Texture& texture, float alpha) {
    if (!Textured(texture)) return;
    DepthTestOff depthOff;
    const CullMode cull = GetCullMode();
    SetCullMode(CullMode::None);
    const float corners[4][2] = {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
    TexturedQuad(corners, WhiteWithAlpha(alpha));
    SetCullMode(cull);
}

void DrawPoint2D(float x, float y, uint32_t color) {
    Untextured();
    DepthTestOff depthOff;
    IMBegin(IMPrimitive::Points);
    IMColor(color);
    IMVertex(x, y);
    IMEnd();
}

void DrawLine2D(float x0, float y0, uint32_t color0, float x1, float y1, uint32_t color1) {
    Untextured();
    DepthTestOff depthOff;
    IMBegin(IMPrimitive::Lines);
    IMColor(color0);
    IMVertex(x0, y0);
    IMColor(color1);
    IMVertex(x1, y1);
    IMEnd();
}

void DrawPoint3D(float x, float y, float z, uint32_t color) {
    Untextured();
    IMBegin(IMPrimitive::Points);
    IMColor(color);
    IMVertex(x, y, z);
    IMEnd();
}

void DrawLine3D(float x0, float y0, float z0, uint32_t color0, float x1, float y1, float z1, uint32_t color1) {
    Untextured();
    IMBegin(IMPrimitive::Lines);
    IMColor(color0);
    IMVertex(x0, y0, z0);
    IMColor(color1);
    IMVertex(x1, y1, z1);
    IMEnd();
}

// --- Cameras and picking ------------------------------------------------------------------

void SetPerspectiveView(int x, int y, int width, int height, float zNear, float zFar) {
    SetViewport(x, y, width, height);
    Matrix perspective;
    Perspective(perspective, std::numbers::pi_v<float> / 4, float(height) / float(width), zNear, zFar);
    // LookAt's second axis points down the picture (u = f x s); turned over
    // here, the ground lies at the bottom of the window and what is right of
    // the camera is drawn on the right.
    for (int c = 0; c < 4; ++c) perspective.At(1, c) = -perspective.At(1, c);
    // The math is row-major; OpenGL takes the projection column-major.
    SetProjectionMatrix(Transpose(perspective));
}

void Apply(Camera& camera, const Matrix* model) {
    Matrix view;
    LookAt(view, camera.GetPosition(), camera.GetTarget(), camera.GetUp());
    if (model) Multiply(view, *model, view);
    SetViewMatrix(view);
    SetCurrentCamera(&camera);
}

namespace {

Viewport CurrentGLViewport() {
    GLint box[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, box);
    return Viewport{box[0], box[1], box[2], box[3]};
}

// The math's Project and Unproject mirror x; OpenGL's viewport does not.
// Mirroring the projection's x once more makes them find the pixels OpenGL
// draws.
Matrix MirroredProjection() {
    Matrix out = Transpose(projection);
    for (int c = 0; c < 4; ++c) out.At(0, c) = -out.At(0, c);
    return out;
}

}  // namespace

void Unproject(Vector3& out, float windowX, float windowY, float depth) {
    ::Unproject(out, windowX, windowY, depth, GetViewMatrix(), MirroredProjection(), CurrentGLViewport());
}

bool Project(Vector3& out, const Vector3& point) {
    return ::Project(out, point, MirroredProjection(), GetViewMatrix(), CurrentGLViewport());
}

}  // namespace G
