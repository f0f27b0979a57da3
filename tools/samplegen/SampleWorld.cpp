#include "SampleWorld.h"

#include <cmath>
#include <cstdlib>

#include "SampleLayout.h"

namespace {

using SampleLayout::Cell;

uint32_t CellHash(int x, int y, uint32_t salt) {
    uint32_t h = static_cast<uint32_t>(x) * 73856093u ^ static_cast<uint32_t>(y) * 19349663u ^ salt * 83492791u;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    return h ^ (h >> 15);
}

// A number in [0, 100) that stays the same for a cell and a purpose.
int Chance(int x, int y, uint32_t salt) { return static_cast<int>(CellHash(x, y, salt) % 100); }

struct Rect {
    int x0, y0, w, h;
    bool Contains(int x, int y, int margin = 0) const {
        return x >= x0 - margin && x < x0 + w + margin && y >= y0 - margin && y < y0 + h + margin;
    }
};

enum class Door { North, South, East, West };

struct House {
    Rect area;
    Floor floor;
    Door door;
};

void FillRect(SampleMap& map, const Rect& r, Floor floor) {
    for (int y = r.y0; y < r.y0 + r.h; ++y)
        for (int x = r.x0; x < r.x0 + r.w; ++x) map.SetFloor(x, y, floor);
}

// Walls stand on cell edges: wallX of a cell is its edge toward lower X, wallY toward lower Y.
void WallAround(SampleMap& map, const Rect& r, Door door) {
    int midX = r.x0 + r.w / 2, midY = r.y0 + r.h / 2;
    for (int x = r.x0; x < r.x0 + r.w; ++x) {
        if (!(door == Door::North && x == midX)) map.SetWallY(x, r.y0, 1);
        if (!(door == Door::South && x == midX)) map.SetWallY(x, r.y0 + r.h, 1);
    }
    for (int y = r.y0; y < r.y0 + r.h; ++y) {
        if (!(door == Door::West && y == midY)) map.SetWallX(r.x0, y, 1);
        if (!(door == Door::East && y == midY)) map.SetWallX(r.x0 + r.w, y, 1);
    }
}

// Chairs face the table from both sides; every other house keeps its
// things in a walnut chest instead of an oak one.
void FurnishHouse(SampleMap& map, const Rect& r, bool walnut) {
    int cx = r.x0 + r.w / 2, cy = r.y0 + r.h / 2;
    map.SetObject(cx, cy, Item::Table);
    map.SetObject(cx - 1, cy, Item::Chair);
    map.SetObject(cx + 1, cy, Item::ChairFacingWest);
    map.SetObject(r.x0, r.y0, Item::Bed);
    map.SetObject(r.x0 + r.w - 1, r.y0, Item::Barrel);
    map.SetObject(r.x0 + r.w - 1, r.y0 + r.h - 1, Item::Crate);
    map.SetObject(r.x0, r.y0 + r.h - 1, walnut ? Item::WalnutChest : Item::Chest);
}

Cell DoorStep(const House& house) {
    const Rect& r = house.area;
    switch (house.door) {
        case Door::North: return {r.x0 + r.w / 2, r.y0 - 1};
        case Door::South: return {r.x0 + r.w / 2, r.y0 + r.h};
        case Door::West: return {r.x0 - 1, r.y0 + r.h / 2};
        default: return {r.x0 + r.w, r.y0 + r.h / 2};
    }
}

void BaseMeadow(SampleMap& map) {
    int n = map.GridSize();
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            int roll = Chance(x / 3, y / 3, 1);
            Floor f = roll < 60 ? Floor::Grass : roll < 78 ? Floor::LushGrass : roll < 90 ? Floor::Clover : Floor::DryGrass;
            if (Chance(x, y, 2) < 4) f = Floor::FlowerGrass;
            map.SetFloor(x, y, f);
        }
}

const Cell C = SampleLayout::VillageCentre;

int RiverX(int y) { return C.x + 26 + static_cast<int>(std::lround(4 * std::sin(y / 8.0))); }

bool OnRoad(int x, int y) {
    bool eastWest = y >= C.y - 1 && y <= C.y + 1;
    bool northSouth = x >= C.x - 1 && x <= C.x + 1 && y > C.y - 22;
    return eastWest || northSouth;
}

void LayRiver(SampleMap& map) {
    for (int y = 0; y < map.GridSize(); ++y) {
        int rx = RiverX(y);
        for (int dx = -3; dx <= 3; ++dx) {
            int d = std::abs(dx);
            Floor f = d == 0 ? Floor::DeepWater : d == 1 ? Floor::Water : d == 2 ? Floor::ShallowWater : Floor::Sand;
            map.SetFloor(rx + dx, y, f);
        }
    }
}

void LayRoads(SampleMap& map) {
    int n = map.GridSize();
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            if (!OnRoad(x, y)) continue;
            bool bridge = std::abs(x - RiverX(y)) <= 2;
            map.SetFloor(x, y, bridge ? Floor::DarkPlanks : (y >= C.y - 1 && y <= C.y + 1) ? Floor::Cobble : Floor::DirtPath);
            if (bridge && y == C.y - 1) map.SetWallY(x, y, 1);  // railings
            if (bridge && y == C.y + 1) map.SetWallY(x, y + 1, 1);
        }
    for (int x = C.x - 48; x <= C.x + 48; x += 8) map.SetObject(x, C.y - 2, Item::LampPost);
    for (int y = C.y - 18; y <= C.y + 40; y += 8)
        if (std::abs(y - C.y) > 5) map.SetObject(C.x + 2, y, Item::LampPost);
}

void LayPlaza(SampleMap& map) {
    Rect plaza{C.x - 4, C.y - 4, 9, 9};
    FillRect(map, plaza, Floor::StoneSlabs);
    FillRect(map, {C.x - 1, C.y - 1, 3, 3}, Floor::Mosaic);
    map.SetObject(C.x, C.y, Item::Well);
    map.SetObject(plaza.x0, plaza.y0, Item::Bench);
    map.SetObject(plaza.x0 + 8, plaza.y0 + 8, Item::Bench);
    map.SetObject(plaza.x0, plaza.y0 + 8, Item::Flowers);
    map.SetObject(plaza.x0 + 8, plaza.y0, Item::Signpost);
    map.SetObject(C.x + 3, C.y + 3, Item::Statue);
    map.SetObject(C.x - 3, C.y + 3, Item::Bench);
}

void LayPond(SampleMap& map) {
    int px = C.x - 22, py = C.y + 16;
    for (int y = py - 8; y <= py + 8; ++y)
        for (int x = px - 8; x <= px + 8; ++x) {
            double d = std::hypot(x - px, (y - py) * 1.2);
            if (d < 3.5) map.SetFloor(x, y, Floor::DeepWater);
            else if (d < 5.2) map.SetFloor(x, y, Chance(x, y, 3) < 25 ? Floor::LilyPads : Floor::Water);
            else if (d < 6.5) map.SetFloor(x, y, Floor::Shore);
        }
    map.SetObject(px + 7, py, Item::Rock);
    map.SetObject(px - 7, py + 2, Item::Bush);
}

const House Houses[] = {
    {{C.x - 14, C.y - 14, 7, 6}, Floor::PlanksAlong, Door::South},
    {{C.x + 5, C.y - 14, 8, 6}, Floor::RedTiles, Door::South},
    {{C.x - 14, C.y + 6, 7, 7}, Floor::Parquet, Door::North},
    {{C.x + 6, C.y + 6, 7, 6}, Floor::BlueTiles, Door::North},
    {{C.x - 28, C.y - 12, 6, 6}, Floor::DarkPlanks, Door::South},
    {{C.x - 5, C.y - 31, 11, 9}, Floor::Checker, Door::South},
};

void PathTo(SampleMap& map, Cell from, Cell to) {
    // Straight segments to the road: first along Y, then along X.
    for (int y = from.y; y != to.y; y += (to.y > from.y ? 1 : -1)) map.SetFloor(from.x, y, Floor::Flagstone);
    for (int x = from.x; x != to.x; x += (to.x > from.x ? 1 : -1)) map.SetFloor(x, to.y, Floor::Flagstone);
}

void BuildHouses(SampleMap& map) {
    bool walnut = false;
    for (const House& house : Houses) {
        FillRect(map, house.area, house.floor);
        WallAround(map, house.area, house.door);
        FurnishHouse(map, house.area, walnut = !walnut);
        Cell step = DoorStep(house);
        // A barrel waits by the door, beside the path.
        const bool alongX = house.door == Door::North || house.door == Door::South;
        map.SetObject(step.x - (alongX ? 1 : 0), step.y - (alongX ? 0 : 1), Item::Barrel);
        int roadY = step.y < C.y ? C.y - 1 : C.y + 1;
        PathTo(map, step, {step.x, roadY});
    }
    const Rect& temple = Houses[5].area;
    FillRect(map, {temple.x0 + temple.w / 2 - 1, temple.y0 + 1, 3, temple.h - 1}, Floor::RedCarpet);
    map.SetObject(temple.x0 + temple.w / 2, temple.y0 + temple.h / 2, Item::None);
}

void LayFarm(SampleMap& map) {
    Rect field{C.x + 32, C.y - 16, 10, 10};
    FillRect(map, field, Floor::Crops);
    for (int x = field.x0 - 1; x <= field.x0 + field.w; ++x) {
        map.SetObject(x, field.y0 - 1, Item::Fence);
        map.SetObject(x, field.y0 + field.h, Item::Fence);
    }
    for (int y = field.y0; y < field.y0 + field.h; ++y) {
        map.SetObject(field.x0 - 1, y, Item::FenceAlongY);
        map.SetObject(field.x0 + field.w, y, Item::FenceAlongY);
    }
    FillRect(map, {field.x0, field.y0 + field.h + 1, 4, 2}, Floor::Hay);
    map.SetObject(field.x0 + 1, field.y0 + field.h + 1, Item::Crate);
    map.SetObject(field.x0 + 2, field.y0 + field.h + 1, Item::Barrel);
    map.SetObject(field.x0 + 5, field.y0 + field.h + 1, Item::Signpost);
}

void LayBeachAndForest(SampleMap& map) {
    int n = map.GridSize();
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            int south = (y - C.y) - std::abs(x - C.x) / 3 + Chance(x, y, 4) % 3;
            if (south > 50) map.SetFloor(x, y, Floor::Water);
            else if (south > 46) map.SetFloor(x, y, Floor::ShallowWater);
            else if (south > 40) map.SetFloor(x, y, Chance(x, y, 5) < 50 ? Floor::Sand : Floor::SandRipples);
            else if (x < C.x - 20 && y < C.y - 18) map.SetFloor(x, y, Chance(x, y, 6) < 30 ? Floor::Moss : Floor::LushGrass);
        }
}

bool IsOpenWater(uint16_t floor) {
    return floor == uint16_t(Floor::ShallowWater) || floor == uint16_t(Floor::Water);
}

// A boat on the first open water south of (x, y).
void MoorBoat(SampleMap& map, int x, int y) {
    for (; y < map.GridSize(); ++y)
        if (IsOpenWater(map.FloorAt(x, y))) return map.SetObject(x, y, Item::Boat);
}

void LayBoats(SampleMap& map) {
    for (int x : {C.x - 30, C.x - 13, C.x + 9, C.x + 20}) MoorBoat(map, x, C.y + 30);
    MoorBoat(map, SampleLayout::IslandPortal.x + 2, SampleLayout::IslandPortal.y);
    map.SetObject(C.x - 22 + 2, C.y + 16 - 2, Item::Boat);  // on the pond
}

bool Reserved(int x, int y) {
    if (OnRoad(x, y) || std::abs(x - RiverX(y)) <= 3) return true;
    if (Rect{C.x - 6, C.y - 6, 13, 13}.Contains(x, y)) return true;
    for (const House& house : Houses)
        if (house.area.Contains(x, y, 2)) return true;
    return false;
}

void ScatterNature(SampleMap& map) {
    int n = map.GridSize();
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            uint16_t f = map.FloorAt(x, y);
            bool green = f == uint16_t(Floor::Grass) || f == uint16_t(Floor::LushGrass) || f == uint16_t(Floor::Clover) ||
                         f == uint16_t(Floor::DryGrass) || f == uint16_t(Floor::Moss) || f == uint16_t(Floor::FlowerGrass);
            if (!green || Reserved(x, y) || map.ObjectAt(x, y) != 0) continue;
            bool forest = x < C.x - 20 && y < C.y - 18;
            int roll = Chance(x, y, 7);
            if (roll < (forest ? 18 : 4)) map.SetObject(x, y, forest ? Item::Pine : Item::Tree);
            else if (roll < (forest ? 22 : 7)) map.SetObject(x, y, Item::Bush);
            else if (roll < (forest ? 23 : 10)) map.SetObject(x, y, Item::Flowers);
            else if (roll < (forest ? 25 : 11)) map.SetObject(x, y, Item::Rock);
        }
}

}  // namespace


SampleMap BuildVillage() {
    SampleMap map(SampleLayout::VillageWidth, SampleLayout::VillageHeight);
    BaseMeadow(map);
    LayBeachAndForest(map);
    LayRiver(map);
    LayPond(map);
    LayFarm(map);
    LayRoads(map);
    LayPlaza(map);
    BuildHouses(map);
    LayBoats(map);
    ScatterNature(map);
    map.SetFloor(SampleLayout::MeadowPortal.x, SampleLayout::MeadowPortal.y, Floor::Marble);
    map.SetFloor(SampleLayout::VaultPortal.x, SampleLayout::VaultPortal.y, Floor::DarkStone);
    map.SetFloor(SampleLayout::IslandPortal.x, SampleLayout::IslandPortal.y, Floor::SteppingStones);
    return map;
}

SampleMap BuildIsland() {
    SampleMap map(SampleLayout::IslandWidth, SampleLayout::IslandHeight);
    const Cell c{SampleLayout::IslandWidth - 1, SampleLayout::IslandHeight / 2};
    for (int y = 0; y < map.GridSize(); ++y)
        for (int x = 0; x < map.GridSize(); ++x) {
            double d = std::hypot(x - c.x, y - c.y) + (Chance(x, y, 8) % 3) * 0.4;
            Floor f = d < 6 ? (Chance(x, y, 9) < 20 ? Floor::FlowerGrass : Floor::Grass)
                      : d < 9 ? Floor::Sand : d < 11 ? Floor::ShallowWater : d < 15 ? Floor::Water : Floor::DeepWater;
            map.SetFloor(x, y, f);
            if (d >= 6 && d < 8.5 && Chance(x, y, 10) < 12) map.SetObject(x, y, Item::Tree);
        }
    Rect hut{c.x - 2, c.y - 5, 4, 3};
    FillRect(map, hut, Floor::Herringbone);
    WallAround(map, hut, Door::South);
    map.SetObject(hut.x0, hut.y0, Item::Bed);
    map.SetObject(hut.x0 + hut.w - 1, hut.y0, Item::WalnutChest);
    map.SetObject(c.x + 3, c.y + 3, Item::Rock);
    map.SetObject(c.x - 10, c.y, Item::Boat);
    map.SetFloor(SampleLayout::IslandReturn.x, SampleLayout::IslandReturn.y, Floor::SteppingStones);
    return map;
}

SampleMap BuildMeadowDream() {
    SampleMap map(SampleLayout::DreamWidth, SampleLayout::DreamHeight);
    const Cell c = SampleLayout::DreamStart;
    for (int y = 0; y < map.GridSize(); ++y)
        for (int x = 0; x < map.GridSize(); ++x) {
            double d = std::hypot(x - c.x - 5, y - c.y + 4);
            Floor f = d < 3 ? Floor::Ice : Chance(x, y, 11) < 70 ? Floor::Snow : Floor::Marble;
            map.SetFloor(x, y, f);
            if (d > 4 && Chance(x, y, 12) < 9 && (x != c.x || y != c.y)) map.SetObject(x, y, Item::Pine);
        }
    for (int i = -3; i <= 3; ++i) map.SetFloor(c.x + i, c.y, Floor::SteppingStones);
    return map;
}
