// The sample world's floor shapes: diamonds painted procedurally in the
// palette's ramps, with transparent corners, in the shape-file layout the
// client's floor loader reads.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "SampleLayout.h"


struct ShapeImage {
    int width = 0, height = 0;
    std::vector<uint8_t> pixels;  // palette indices, row by row from the top
};

constexpr int FloorShapeWidth = 64;
constexpr int FloorShapeHeight = 32;

// One shape per `Floor` value, in floor-number order.
std::vector<ShapeImage> MakeFloorShapes();
// The shape file: count, the unused table, then each record with its rows
// stored bottom row first.
std::string EncodeShapeFile(const std::vector<ShapeImage>& shapes);
