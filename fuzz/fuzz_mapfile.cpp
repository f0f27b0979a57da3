// Map files: any bytes load into a usable (possibly empty) grid.
#include "LogFile.h"
#include "WorldMap.h"

#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (FILE* f = std::fopen("fuzz_input.map", "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    ErrorLog.Truncate();
    LoadMapFile("fuzz_input.map");
    // Every cell the grid claims must be there to read.
    if (TheWorldMap.Cells().size() != size_t(TheWorldMap.N) * size_t(TheWorldMap.N)) __builtin_trap();
    for (int32_t i = 0; i < TheWorldMap.N; ++i) TheWorldMap.GetFloor(i, TheWorldMap.N - 1 - i);
    return 0;
}
