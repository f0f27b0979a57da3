// The 3D world around the player: floors, walls, characters as coloured
// markers, the highlighted cell and the dream portals with their labels,
// seen by a camera orbiting the cell the view follows.
//
// World space has z up; map cell (i, j) is the unit square centred on
// (i, j, 0). Everything is drawn for the 31 x 31 cells around the view
// cell, clipped to the map.
#pragma once
#include <cstdint>
#include <vector>

#include "GLTexture.h"
#include "GLVert.h"

struct RenderViewRecord {
    int32_t mapWidth = 0, mapHeight = 0;
    int32_t centerX = 0, centerY = 0;
};
// Refreshed by UpdateRenderers each frame.
extern RenderViewRecord RenderView;

// The cells drawn around a centre, bounds inclusive; empty (x0 > x1 or
// y0 > y1) when the centre is too far outside the map.
struct ViewWindow {
    int32_t x0 = 0, x1 = -1, y0 = 0, y1 = -1;
    bool Contains(int32_t x, int32_t y) const { return x >= x0 && x <= x1 && y >= y0 && y <= y1; }
};
const int32_t ViewRadius = 15;
ViewWindow ViewWindowOf(const RenderViewRecord& view);

struct FloorVertex {
    float position[3];
    float normal[3];
    uint8_t color[4];
    float texCoord[2];
};
static_assert(sizeof(FloorVertex) == 36);

const int FloorKinds = 256;
const uint32_t FloorVertexCapacity = 31 * 31 * 6;

// The floors of the view window in one vertex buffer, grouped by floor
// number so that each floor texture is bound once a frame.
struct FloorRenderer {
    G::Texture textures[FloorKinds];
    G::VertexBuffer vertices;
    int32_t lastCenterX = 0, lastCenterY = 0;
    bool dirty = true;
    int32_t first[FloorKinds] = {};
    int32_t count[FloorKinds] = {};
    uint32_t rebuilds = 0;
};

// Creates the renderers, loads their textures and puts the camera in place.
bool InitRenderers();
void ShutdownRenderers();
// Texture i of the list becomes the texture of floor number i.
void SetFloorTextures(const std::vector<G::Texture>& textures);
// A cell's floor changed; the floors are rebuilt when it is in view.
void MarkFloorDirty(int32_t x, int32_t y);
// The camera keys of this frame, then the view follows the map and the view cell.
void UpdateRenderers(float seconds);
void RenderWorld();
// The cell drawn under a window pixel (x right, y down from the top left).
void PickCell(int32_t mouseX, int32_t mouseY, int32_t& cellX, int32_t& cellY);
void SetHighlightCell(int32_t x, int32_t y);
// The protocol's floor hooks: new floor textures after a map load, changed floor cells.
void InstallRendererHooks();

// The orbit keys: keypad 4 and 6 turn the camera round the view cell, keypad 5
// puts it back at its starting angle.
struct CameraKeys {
    bool left = false, right = false, reset = false;
};
void UpdateCamera(float seconds, const CameraKeys& keys);
float CameraAngle();
// How often the floor buffer was filled since InitRenderers.
uint32_t FloorRebuildCount();
