// The one seam through which the game protocol reaches the parts of the game
// that need graphics or start worker threads. Each hook is empty until the
// unit that provides it installs itself (the game scene at start-up, or a
// test); an empty hook is skipped, so the protocol runs without a window.
#pragma once
#include "QuilGfxLoader.h"

#include <cstdint>
#include <functional>
#include <string>

struct GameHooks {
    // After a map load: turn the floor shapes into floor textures with the
    // current palette and hand whatever was made to the floor renderer.
    // False when a texture could not be made (the protocol then tells the
    // user and goes on).
    std::function<bool(const ShapeList& shapes)> installFloorTextures;
    // A cell's floor number changed; the floor renderer rebuilds it.
    std::function<void(int32_t x, int32_t y)> markFloorDirty;
    // The server sent the player into a dream: start its download into
    // folder + "\\" + id + ".dream" and add its record to TheTransferList.
    std::function<void(const std::string& id, int32_t type, const std::string& folder)> startDreamDownload;
};

extern GameHooks TheGameHooks;
