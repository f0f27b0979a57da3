// Names and places of the sample world that the generator writes and the
// local server serves: both tools read them from here, so they cannot drift.
#pragma once
#include <cstdint>

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

// Object numbers the sample maps use; the item table maps them to models.
enum class Item : uint16_t {
    None, Tree, Pine, Bush, Flowers, Rock, LampPost, Well, Table, Chair, Bed, Barrel, Crate,
    Signpost, Bench, Fence, FenceAlongY, ChairFacingWest, Chest, WalnutChest, Statue, Boat, Count
};

// Names the local server uses when a character looks at a cell.
inline const char* FloorName(uint16_t floor) {
    static const char* const names[] = {
        "grass", "lush grass", "grass with flowers", "dry grass", "clover", "dirt", "a dirt path", "gravel",
        "cobblestones", "stone slabs", "flagstones", "sand", "rippled sand", "the shore", "water", "deep water",
        "rippling water", "shallow water", "lily pads", "wooden planks", "wooden planks", "dark planks", "parquet",
        "checkered tiles", "red tiles", "blue tiles", "marble", "bricks", "a red carpet", "a blue carpet", "mud",
        "snow", "ice", "moss", "fallen leaves", "hay", "rock", "dark stone", "a mosaic", "a herringbone floor",
        "stepping stones", "cooling lava", "a crop field"};
    static_assert(sizeof(names) / sizeof(names[0]) == static_cast<int>(Floor::Count));
    return floor < static_cast<uint16_t>(Floor::Count) ? names[floor] : "nothing";
}

inline const char* ItemName(uint16_t item) {
    static const char* const names[] = {"nothing", "a tree", "a pine", "a bush", "flowers", "a rock",
                                        "a lamp post", "the well", "a table", "a chair", "a bed", "a barrel",
                                        "a crate", "a signpost", "a bench", "a fence", "a fence", "a chair",
                                        "a chest", "a walnut chest", "a statue", "a boat"};
    static_assert(sizeof(names) / sizeof(names[0]) == static_cast<int>(Item::Count));
    return item < static_cast<uint16_t>(Item::Count) ? names[item] : "something strange";
}

// Floors no character can stand on.
inline bool IsWaterFloor(uint16_t floor) {
    return floor == uint16_t(Floor::Water) || floor == uint16_t(Floor::DeepWater) ||
           floor == uint16_t(Floor::WaterRipples) || floor == uint16_t(Floor::LilyPads);
}

namespace SampleLayout {

struct Cell {
    int x, y;  // grid coordinates
};

constexpr const char* VillageMap = "village.map";
constexpr const char* IslandMap = "island.map";
constexpr const char* DayPalette = "day.pcx";
constexpr const char* DuskPalette = "dusk.pcx";
constexpr const char* PatchFolder = "patches/default";
constexpr const char* ShapeFile = "patches/default/floors.fsh";
// Dream archives the file server hands out, and the maps of the dreams the server keeps.
constexpr const char* DreamFolder = "dreams";
constexpr const char* OpenDream = "meadow";   // an archive without entries: the visit works
constexpr const char* SealedDream = "vault";  // an archive with an entry: the client refuses it
// This client version extracts nothing from an archive, so the sample folder
// carries the open dream's map where a visit looks for it.
constexpr const char* UnpackedDreamFolder = "hlcn_tmp";

constexpr int VillageWidth = 64, VillageHeight = 128;
constexpr int IslandWidth = 24, IslandHeight = 48;
constexpr int DreamWidth = 20, DreamHeight = 40;

constexpr Cell VillageCentre{63, 64};
constexpr Cell VillageStart{63, 66};
constexpr Cell MeadowPortal{66, 61};
constexpr Cell VaultPortal{60, 61};
constexpr Cell IslandPortal{63, 100};
constexpr Cell IslandStart{23, 26};
constexpr Cell IslandReturn{23, 21};
constexpr Cell DreamStart{19, 20};

}  // namespace SampleLayout
