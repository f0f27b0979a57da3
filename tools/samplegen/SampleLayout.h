// Names and places of the sample world that the generator writes and the
// local server serves: both tools read them from here, so they cannot drift.
#pragma once

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
