#include "QuilRenderer.h"

#include "CMemMan.h"
#include "GBFont.h"
#include "GLDevice.h"
#include "GLRender.h"
#include "GLShader.h"
#include "GameHooks.h"
#include "InputState.h"
#include "Math3D.h"
#include "QuilDataManager.h"
#include "QuilGfxLoader.h"
#include "QuilRenderObjects.h"
#include "WorldMap.h"

#include <algorithm>
#include <cmath>
#include <string>

RenderViewRecord RenderView;

namespace {

const float Pi = 3.1415927f;
const float StartAngle = 0.7853982f;
const uint8_t KeyPad4 = 75, KeyPad5 = 76, KeyPad6 = 77, KeyF10 = 68;
const float MarkerHalfSize = 0.2f;
const float PortalRadius = 0.45f, PortalHeight = 2.0f, PortalLabelHeight = 1.5f;
const int PortalSegments = 10;
const uint32_t LabelGrey = 0xFFC8C8C8;

struct CharacterRenderer {};
struct WallRenderer {
    G::Texture texture;
};

FloorRenderer* floors = nullptr;
CharacterRenderer* characters = nullptr;
WallRenderer* walls = nullptr;
QUIL::RenderObjects* items = nullptr;
G::Texture* portalTexture = nullptr;
G::Text* labelText = nullptr;
SmoothCamera camera;
float angle = StartAngle;
int32_t highlightX = 0, highlightY = 0;

// The projection and camera every drawing group starts from.
void SetWorldView() {
    G::SetPerspectiveView(0, 0, 800, 600, 1, 100);
    G::Apply(camera);
}

void SetFloorVertex(FloorVertex& v, float x, float y, float s, float t) {
    v = FloorVertex{{x, y, 0}, {0, 0, -1}, {255, 255, 255, 255}, {s, t}};
}

// Six vertices of a cell's square, two triangles.
void WriteCellFloor(FloorVertex* out, int32_t x, int32_t y) {
    const float l = float(x) - 0.5f, r = float(x) + 0.5f, b = float(y) - 0.5f, t = float(y) + 0.5f;
    SetFloorVertex(out[0], l, b, 0, 0);
    SetFloorVertex(out[1], r, b, 1, 0);
    SetFloorVertex(out[2], l, t, 0, 1);
    SetFloorVertex(out[3], r, b, 1, 0);
    SetFloorVertex(out[4], l, t, 0, 1);
    SetFloorVertex(out[5], r, t, 1, 1);
}

void CountFloors(const ViewWindow& view) {
    int32_t cells[FloorKinds] = {};
    for (int32_t y = view.y0; y <= view.y1; ++y)
        for (int32_t x = view.x0; x <= view.x1; ++x)
            if (uint16_t f = TheWorldMap.GetFloor(x, y); f < FloorKinds) ++cells[f];
    int32_t total = 0;
    for (int f = 0; f < FloorKinds; ++f) {
        floors->first[f] = total;
        floors->count[f] = 6 * cells[f];
        total += floors->count[f];
    }
}

bool FillFloorBuffer(const ViewWindow& view) {
    floors->dirty = false;
    ++floors->rebuilds;
    CountFloors(view);
    G::VertexBufferLock lock(floors->vertices);
    auto* out = static_cast<FloorVertex*>(lock.GetPointer());
    if (!out) return false;
    int32_t written[FloorKinds] = {};
    for (int32_t y = view.y0; y <= view.y1; ++y)
        for (int32_t x = view.x0; x <= view.x1; ++x) {
            uint16_t f = TheWorldMap.GetFloor(x, y);
            if (f >= FloorKinds) continue;
            WriteCellFloor(out + floors->first[f] + written[f], x, y);
            written[f] += 6;
        }
    lock.Unlock();
    return true;
}

void DrawFloors(const ViewWindow& view) {
    if (!floors || !floors->vertices.GetGLName()) return;
    G::SetCullMode(G::CullMode::None);
    if (RenderView.centerX != floors->lastCenterX || RenderView.centerY != floors->lastCenterY) {
        floors->lastCenterX = RenderView.centerX;
        floors->lastCenterY = RenderView.centerY;
        floors->dirty = true;
    }
    if (floors->dirty && !FillFloorBuffer(view)) return;
    floors->vertices.Set();
    G::Apply(camera);
    for (int f = 0; f < FloorKinds; ++f) {
        if (floors->count[f] == 0 || !floors->textures[f].GetGLName()) continue;
        floors->textures[f].Set(0);
        G::RenderTris(uint32_t(floors->count[f] / 3), uint32_t(floors->first[f]));
    }
}

// Two triangles of a wall one unit high standing on the edge from (x0, y0)
// to (x1, y1): s runs along the edge, t up the wall.
void WallQuad(float x0, float y0, float x1, float y1) {
    const float corners[6][2] = {{0, 0}, {1, 0}, {0, 1}, {0, 1}, {1, 0}, {1, 1}};
    for (const auto& c : corners) {
        G::IMTexCoord(c[0], c[1]);
        G::IMVertex(x0 + (x1 - x0) * c[0], y0 + (y1 - y0) * c[0], c[1]);
    }
}

void DrawWalls(const ViewWindow& view) {
    if (walls->texture.GetGLName())
        walls->texture.Set(0);
    else
        G::UnsetTexture();
    G::SetCullMode(G::CullMode::None);
    G::IMBegin(G::IMPrimitive::Triangles);
    G::IMColor(1.0f, 1.0f, 1.0f, 1.0f);
    G::IMNormal(0, 0, 1);
    for (int32_t y = view.y0; y <= view.y1; ++y)
        for (int32_t x = view.x0; x <= view.x1; ++x) {
            const float fx = float(x), fy = float(y);
            if (TheWorldMap.GetWallX(x, y)) WallQuad(fx - 0.5f, fy - 0.5f, fx - 0.5f, fy + 0.5f);
            if (TheWorldMap.GetWallY(x, y)) WallQuad(fx - 0.5f, fy - 0.5f, fx + 0.5f, fy - 0.5f);
        }
    G::IMEnd();
}

// A vest colour packed 0xAABBGGRR; indices past the table are black.
uint32_t VestColor(uint8_t index, uint32_t alpha) {
    ColorWord c = index < PartColorTables[Vest].colors.size() ? PartColorTables[Vest].colors[index] : ColorWord();
    return alpha << 24 | uint32_t(c.blue) << 16 | uint32_t(c.green) << 8 | c.red;
}

struct MarkerPoint {
    float dx, dy, s, t;
};

// Apex first; the apex points the way the character faces.
void MarkerTriangle(int32_t facing, MarkerPoint (&out)[3]) {
    const float a = MarkerHalfSize;
    switch (facing) {
    case 0: out[0] = {0, -a, 0.5f, 0}, out[1] = {a, a, 1, 1}, out[2] = {-a, a, 0, 1}; break;
    case 2: out[0] = {0, a, 0.5f, 0}, out[1] = {-a, -a, 0, 1}, out[2] = {a, -a, 1, 1}; break;
    case 3: out[0] = {a, 0, 0.5f, 0}, out[1] = {-a, a, 0, 1}, out[2] = {-a, -a, 1, 1}; break;
    default: out[0] = {-a, 0, 0.5f, 0}, out[1] = {a, -a, 1, 1}, out[2] = {a, a, 0, 1}; break;
    }
}

void DrawMarker(const AvatarRecord& record) {
    MarkerPoint points[3];
    MarkerTriangle(record.facing, points);
    const uint32_t apexColor = VestColor(record.colours[5], 255), baseColor = VestColor(record.colours[0], 127);
    const float x = float(record.cellX), y = float(record.cellY);
    for (float z = 0.1f; z < 0.91f; z += 0.1f)
        for (int i = 0; i < 3; ++i) {
            G::IMColor(i == 0 ? apexColor : baseColor);
            G::IMTexCoord(points[i].s, points[i].t);
            G::IMVertex(x + points[i].dx, y + points[i].dy, z);
        }
}

void DrawCharacters(const ViewWindow& view) {
    G::SetWorldMatrix(Matrix::Identity());
    G::SetRenderState(G::RenderState::Blend, true);
    G::UnsetTexture();
    G::Apply(camera);
    G::IMBegin(G::IMPrimitive::Triangles);
    G::IMNormal(0, 0, 1);
    for (const AvatarRecord& record : TheAvatarList)
        if (view.Contains(record.cellX, record.cellY)) DrawMarker(record);
    G::IMEnd();
}

void HighlightSquare(float z, float r, float g, float b, float a) {
    const float x = float(highlightX), y = float(highlightY);
    G::IMColor(r, g, b, a);
    const float corners[6][2] = {{-0.5f, -0.5f}, {0.5f, -0.5f}, {-0.5f, 0.5f}, {0.5f, -0.5f}, {-0.5f, 0.5f}, {0.5f, 0.5f}};
    for (const auto& c : corners) G::IMVertex(x + c[0], y + c[1], z);
}

void DrawHighlight() {
    G::SetCullMode(G::CullMode::None);
    G::SetWorldMatrix(Matrix::Identity());
    SetWorldView();
    G::UnsetTexture();
    G::UnsetShader();
    G::IMBegin(G::IMPrimitive::Triangles);
    HighlightSquare(0.03f, 0, 0, 0, 0.25f);
    HighlightSquare(0.06f, 1, 1, 1, 0.2f);
    G::IMEnd();
}

void CylinderPoint(float x, float y, float phi, float z, float t) {
    G::IMTexCoord(phi / Pi, t);
    G::IMVertex(x + PortalRadius * std::sin(phi), y + PortalRadius * std::cos(phi), z);
}

// Wound so that the outside faces the camera counter-clockwise: the far
// half is culled.
void DrawCylinder(const DreamPortal& portal) {
    const float x = float(portal.cellX), y = float(portal.cellY);
    for (int k = 0; k < PortalSegments; ++k) {
        const float phi0 = float(k) * 0.2f * Pi, phi1 = float(k + 1) * 0.2f * Pi;
        CylinderPoint(x, y, phi0, 0, 1);
        CylinderPoint(x, y, phi0, PortalHeight, 0.05f);
        CylinderPoint(x, y, phi1, PortalHeight, 0.05f);
        CylinderPoint(x, y, phi0, 0, 1);
        CylinderPoint(x, y, phi1, PortalHeight, 0.05f);
        CylinderPoint(x, y, phi1, 0, 1);
    }
}

std::string LabelLine(const std::string& text, size_t longest) {
    std::string line(text);
    std::replace(line.begin(), line.end(), '|', ' ');
    return std::string((longest - line.size()) / 2, ' ') + line;
}

// The two lines centred on the point above the portal: the label's text is
// fixed pitch at 8 pixels a character, so 4 pixels a character is half its width.
void DrawLabel(const DreamPortal& portal) {
    SetWorldView();
    Vector3 window;
    if (!G::Project(window, Vector3(float(portal.cellX), float(portal.cellY), PortalLabelHeight)) || window.z > 1)
        return;
    const size_t longest = std::max(portal.name.size(), portal.text.size());
    labelText->Clear();
    labelText->AddColor(0xFFFFFFFF);
    *labelText += G::Text(LabelLine(portal.name, longest) + "\n");
    labelText->AddColor(LabelGrey);
    *labelText += G::Text(LabelLine(portal.text, longest));
    float left = 0, top = 0, right = 0, bottom = 0;
    labelText->Measure(left, top, right, bottom);
    // The window point counts from the bottom; the label stands on the point.
    const float topY = float(G::GetSetup().height) - window.y - (bottom - top);
    labelText->SetPosition(window.x - 4.0f * float(longest), topY);
    G::Set2D();
    labelText->Render();
}

// Every portal takes the same state, so all of them go in one block: each
// block ends in a flush, which the software renderer pays for dearly.
void DrawPortals(const ViewWindow& view) {
    G::SetWorldMatrix(Matrix::Identity());
    G::SetRenderState(G::RenderState::Blend, true);
    G::SetCullMode(G::CullMode::FrontCCW);
    G::SetRenderState(G::RenderState::DepthWrite, false);
    G::Apply(camera);
    if (portalTexture->GetGLName())
        portalTexture->Set(0);
    else
        G::UnsetTexture();
    G::IMBegin(G::IMPrimitive::Triangles);
    G::IMColor(1.0f, 1.0f, 1.0f);
    G::IMNormal(0, 0, 1);
    for (const DreamPortal& portal : TheDreamPortalList)
        if (view.Contains(portal.cellX, portal.cellY)) DrawCylinder(portal);
    G::IMEnd();
    G::SetRenderState(G::RenderState::DepthWrite, true);
    G::SetCullMode(G::CullMode::None);
    for (const DreamPortal& portal : TheDreamPortalList)
        if (view.Contains(portal.cellX, portal.cellY)) DrawLabel(portal);
}

CameraKeys HeldCameraKeys() {
    return {KeyboardState::IsKeyDown(KeyPad4), KeyboardState::IsKeyDown(KeyPad6), KeyboardState::IsKeyDown(KeyPad5)};
}

}  // namespace

ViewWindow ViewWindowOf(const RenderViewRecord& view) {
    ViewWindow window;
    window.x0 = std::max(view.centerX - ViewRadius, 0);
    window.x1 = std::min(view.centerX + ViewRadius, view.mapWidth - 1);
    window.y0 = std::max(view.centerY - ViewRadius, 0);
    window.y1 = std::min(view.centerY + ViewRadius, view.mapHeight - 1);
    return window;
}

bool InitRenderers() {
    floors = new2(FloorRenderer, FloorRenderer());
    const G::VertexFormat format = {{G::VertComponentType::Float3, G::VertComponentUse::Position},
                                    {G::VertComponentType::Float3, G::VertComponentUse::Normal},
                                    {G::VertComponentType::UByte4, G::VertComponentUse::Color},
                                    {G::VertComponentType::Float2, G::VertComponentUse::TexCoord}};
    floors->vertices.Create(FloorVertexCapacity, format, sizeof(FloorVertex), true, true);
    characters = new2(CharacterRenderer, CharacterRenderer());
    walls = new2(WallRenderer, WallRenderer());
    walls->texture.Load("data\\walls\\stone1.bmp", 1, true, 0);
    items = new2(QUIL::RenderObjects, QUIL::RenderObjects());
    portalTexture = new2(G::Texture, G::Texture());
    if (portalTexture->Load("data\\misc\\dream0.png", 1, true, 0)) portalTexture->SetWrap(true, false, true);
    labelText = new2(G::Text, G::Text());
    labelText->SetFixedPitch(true, 0.5f);
    angle = StartAngle;
    UpdateCamera(999, CameraKeys());
    return true;
}

void ShutdownRenderers() {
    if (!floors) return;
    delete2(floors);
    delete2(characters);
    delete2(walls);
    delete2(items);
    delete2(labelText);
    delete2(portalTexture);
    floors = nullptr;
    characters = nullptr;
    walls = nullptr;
    items = nullptr;
    labelText = nullptr;
    portalTexture = nullptr;
}

// A new map came with them: its floors are drawn afresh even when the view
// cell stays where it was.
void SetFloorTextures(const std::vector<G::Texture>& textures) {
    if (!floors) return;
    for (G::Texture& slot : floors->textures) slot = G::Texture();
    for (size_t i = 0; i < textures.size() && i < FloorKinds; ++i) floors->textures[i] = textures[i];
    floors->dirty = true;
}

void MarkFloorDirty(int32_t x, int32_t y) {
    if (floors && ViewWindowOf(RenderView).Contains(x, y)) floors->dirty = true;
}

void UpdateCamera(float seconds, const CameraKeys& keys) {
    if (keys.left) angle -= seconds * Pi;
    if (keys.right) angle += seconds * Pi;
    if (keys.reset) angle = StartAngle;
    if (angle < 0) angle += 2 * Pi;
    if (angle > 2 * Pi) angle -= 2 * Pi;
    int32_t px = 0, py = 0;
    TheViewCell.Get(px, py);
    camera.SetUp(Vector3(0, 0, 1), false);
    camera.SetTarget(Vector3(float(px), float(py), 0), false);
    camera.SetPosition(Vector3(float(px) + 6.8f * std::cos(angle), float(py) + 6.8f * std::sin(angle), 7.9f), false);
    camera.Step(2 * seconds, false, true);
}

float CameraAngle() { return angle; }

void UpdateRenderers(float seconds) {
    UpdateCamera(seconds, HeldCameraKeys());
    RenderView.mapWidth = TheWorldMap.N;
    RenderView.mapHeight = TheWorldMap.N;
    TheViewCell.Get(RenderView.centerX, RenderView.centerY);
    // F10 reads items.txt and every model again, so edited models show
    // without leaving the game.
    if (items && KeyboardState::WasKeyPressed(KeyF10)) {
        delete2(items);
        G::EmptyModelCache();
        items = new2(QUIL::RenderObjects, QUIL::RenderObjects());
    }
}

void RenderWorld() {
    if (!floors) return;
    SetWorldView();
    G::UnsetShader();
    const ViewWindow view = ViewWindowOf(RenderView);
    DrawFloors(view);
    DrawWalls(view);
    DrawCharacters(view);
    SetWorldView();
    items->SetWindow(view.x0, view.x1, view.y0, view.y1);
    items->Draw();
    // The pointer may rest off the map; only cells in view are highlighted.
    if (view.Contains(highlightX, highlightY)) DrawHighlight();
    DrawPortals(view);
}

void PickCell(int32_t mouseX, int32_t mouseY, int32_t& cellX, int32_t& cellY) {
    SetWorldView();
    // The pixel's centre, counted from the bottom as the projection has it.
    const float x = float(mouseX) + 0.5f, y = float(G::GetSetup().height) - float(mouseY) - 0.5f;
    Vector3 nearPoint, farPoint, hit;
    G::Unproject(nearPoint, x, y, 0);
    G::Unproject(farPoint, x, y, 1);
    cellX = cellY = 0;
    if (!RayPlane(Ray{nearPoint, farPoint - nearPoint}, Vector3(0, 0, 1), hit)) return;
    // Rounded down, not toward zero: the cells left of and below the map are
    // drawn nowhere, but they are not cell 0 either.
    cellX = static_cast<int32_t>(std::floor(hit.x + 0.5f));
    cellY = static_cast<int32_t>(std::floor(hit.y + 0.5f));
}

void SetHighlightCell(int32_t x, int32_t y) {
    highlightX = x;
    highlightY = y;
}

void InstallRendererHooks() {
    TheGameHooks.installFloorTextures = [](const ShapeList& shapes) {
        std::vector<G::Texture> textures;
        bool made = BuildFloorTextures(shapes, textures);
        SetFloorTextures(textures);
        return made;
    };
    TheGameHooks.markFloorDirty = MarkFloorDirty;
}

uint32_t FloorRebuildCount() { return floors ? floors->rebuilds : 0; }
