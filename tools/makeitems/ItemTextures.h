// The items' materials: small tiling textures, each written in three copies
// lit as the mesh builder's light levels (see MeshBuilder.h).
#pragma once
#include <string>
#include <vector>

#include "DataImages.h"

struct Material {
    std::string name;
    RgbaImage (*make)();
};

// Every material the models use; the walnut is only ever a replacement.
const std::vector<Material>& Materials();
// `image` darkened to the light level's intensity.
RgbaImage LitCopy(const RgbaImage& image, int level);
