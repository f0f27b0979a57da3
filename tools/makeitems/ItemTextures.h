// The items' materials: small tiling textures, one file each.
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
