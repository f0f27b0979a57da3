// The sample world's floor shapes: diamonds painted procedurally in the
// palette's ramps, with transparent corners, in the shape-file layout the
// client's floor loader reads.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Floor numbers of the sample maps: the index of each shape in floors.fsh.
enum class Floor : uint16_t {
    Grass, LushGrass, FlowerGrass, DryGrass, Clover, Dirt, DirtPath, Gravel, Cobble, StoneSlabs,
    Flagstone, Sand, SandRipples, Shore, Water, DeepWater, WaterRipples, ShallowWater, LilyPads,
    PlanksAlong, PlanksAcross, DarkPlanks, Parquet, Checker, RedTiles, BlueTiles, Marble, Brick,
    RedCarpet, BlueCarpet, Mud, Snow, Ice, Moss, Leaves, Hay, Rock, DarkStone, Mosaic, Herringbone,
    SteppingStones, Lava, Crops,
    Count
};
constexpr uint16_t NoFloor = 65535;

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
