// Draw calls and immediate mode: the buffer draw calls, immediate-mode blocks
// for small 2D and debug geometry, render state in the foundation's own small
// enumerations (read back from OpenGL), the projection, view and world
// matrices, the viewport with a top-left origin, the 2D set-up, clearing and
// the 2D drawing helpers. These take no lock: the rendering thread holds
// GraphicsLock for the frame.
//
// Packed colours are 0xAABBGGRR: red in the low byte, alpha in the high byte.
#pragma once
#include <cstdint>

#include "Math3D.h"

class Camera;

namespace G {

class Texture;

enum class RenderState : uint32_t {
    DepthTest = 0,
    DepthWrite = 1,
    Blend = 2,
    AlphaTest = 3,
    StencilTest = 4,
    Lighting = 5,
    Wireframe = 6,
    ColorWrite = 7,
};

enum class CompareFunc : uint32_t {
    Never = 0,
    Always = 1,
    Equal = 2,
    NotEqual = 3,
    Less = 4,
    LessEqual = 5,
    Greater = 6,
    GreaterEqual = 7,
};

enum class StencilOp : uint32_t { Keep = 0, Zero = 1, Replace = 2, Incr = 3, Decr = 4, Invert = 5 };

enum class BlendFactor : uint32_t {
    Zero = 0,
    One = 1,
    SrcColor = 2,
    InvSrcColor = 3,
    SrcAlpha = 4,
    InvSrcAlpha = 5,
    DestAlpha = 6,
    InvDestAlpha = 7,
    DestColor = 8,
    InvDestColor = 9,
    SrcAlphaSat = 10,
};

// Culling always removes back faces; the mode says which winding is front.
enum class CullMode : uint32_t { FrontCW = 0, FrontCCW = 1, None = 2 };

enum class IMPrimitive : uint32_t { Points = 0, Lines = 1, Triangles = 2, TriangleFan = 3 };

// --- Draw calls from the current vertex (and index) buffer -----------------
void RenderTris(uint32_t triangleCount, uint32_t firstVertex);
void RenderIndTris(uint32_t triangleCount);
void RenderLines(uint32_t lineCount);
void RenderPoints(uint32_t pointCount);

// --- Immediate mode ----------------------------------------------------------
// Every block leaves the current colour opaque white.
void IMBegin(IMPrimitive primitive);
void IMEnd();
void IMVertex(float x, float y);
void IMVertex(float x, float y, float z);
void IMVertex(float x, float y, float z, float w);
void IMVertex2v(const float* v);
void IMVertex3v(const float* v);
void IMVertex4v(const float* v);
void IMNormal(float x, float y, float z);
void IMNormal3v(const float* n);
void IMTexCoord(float s);
void IMTexCoord(float s, float t);
void IMTexCoord(float s, float t, float r);
void IMTexCoord(float s, float t, float r, float q);
void IMTexCoord2v(const float* t);
void IMTexCoord3v(const float* t);
void IMTexCoord4v(const float* t);
void IMColor(uint32_t packed);
// Float components are checked to lie in [0, 1] (reported, not clamped).
void IMColor(float r, float g, float b);
void IMColor(float r, float g, float b, float a);
void IMColor3v(const float* c);
void IMColor4v(const float* c);
void CheckColorRange(float value);

// --- Render state --------------------------------------------------------------
void SetRenderState(RenderState state, bool on);
bool GetRenderState(RenderState state);
void SetCullMode(CullMode mode);
CullMode GetCullMode();
void SetDepthFunc(CompareFunc func);
CompareFunc GetDepthFunc();
void SetAlphaFunc(CompareFunc func);  // keeps the reference value
void SetAlphaRef(float ref);          // keeps the function
CompareFunc GetAlphaFunc();
float GetAlphaRef();
void SetStencilFunc(CompareFunc func, int ref);
CompareFunc GetStencilFunc();
void SetStencilOp(StencilOp fail, StencilOp depthFail, StencilOp pass);
StencilOp GetStencilFailOp();
StencilOp GetStencilDepthFailOp();
StencilOp GetStencilPassOp();
void SetBlendFunc(BlendFactor source, BlendFactor destination);

// --- Matrices ------------------------------------------------------------------
// The projection in OpenGL's own column-major order, loaded as it is.
void SetProjectionMatrix(const Matrix& m);
void GetProjectionMatrix(Matrix& m);
// View and world row-major with column vectors; OpenGL gets view * world.
void SetViewMatrix(const Matrix& m);
void SetWorldMatrix(const Matrix& m);
Matrix GetViewMatrix();
Matrix GetWorldMatrix();

// --- Viewport, 2D, clearing ------------------------------------------------------
// x, y from the top left of the window, in pixels.
void SetViewport(int x, int y, int width, int height);
void GetViewport(int& x, int& y, int& width, int& height);
void SetViewportFull();
// One unit per pixel, (x, y) top left, y growing downwards.
void Set2D(int x, int y, int width, int height);
void Set2D();
void Clear(uint32_t color, bool clearColor, bool clearDepth, bool clearStencil);
// The start-up state: run by the device's Init.
void SetDefaultRenderState();

// --- 2D helpers ------------------------------------------------------------------
// Corner colours top-left, top-right, bottom-left, bottom-right; the centre
// gets their average.
void DrawRect(float x, float y, float width, float height, uint32_t topLeft, uint32_t topRight,
              uint32_t bottomLeft, uint32_t bottomRight);
void DrawTexture(float x, float y, const Texture& texture, float alpha);
void DrawTextureRotated(float centerX, float centerY, float angle, float scale, const Texture& texture, float alpha);
void DrawTextureStretched(float x0, float y0, float x1, float y1, const Texture& texture, float alpha);
void DrawPoint2D(float x, float y, uint32_t color);
void DrawLine2D(float x0, float y0, uint32_t color0, float x1, float y1, uint32_t color1);
void DrawPoint3D(float x, float y, float z, uint32_t color);
void DrawLine3D(float x0, float y0, float z0, uint32_t color0, float x1, float y1, float z1, uint32_t color1);

// --- Cameras and picking over the current matrices ----------------------------------
// Viewport and a 45-degree perspective (aspect height / width), its y turned
// over because LookAt's second axis points down: the picture is upright and
// not mirrored.
void SetPerspectiveView(int x, int y, int width, int height, float zNear, float zFar);
// The camera's look-at matrix (times `model` when given) becomes the view;
// the camera becomes the current camera.
void Apply(Camera& camera, const Matrix* model = nullptr);
// Unproject and Project with the current view, projection and viewport
// (window coordinates measured from the bottom left, as OpenGL has them):
// they find the pixels OpenGL draws.
void Unproject(Vector3& out, float windowX, float windowY, float depth);
bool Project(Vector3& out, const Vector3& point);

}  // namespace G
