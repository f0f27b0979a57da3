// Loading a 1000 x 1000 map (a 2000 x 2000 grid, 24 MB of cells) against
// reading the same file into memory: the load may take at most twice as long.
#include <benchmark/benchmark.h>

#include "FileUtil.h"
#include "WorldMap.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

const char* const MapPath = "bench_1000.map";

void WriteBigMap() {
    static bool written = false;
    if (written) return;
    const int W = 1000, H = 1000;
    std::string file = "MAP V01.10 Quillmor\nheight=" + std::to_string(H) + "\nwidth=" + std::to_string(W) +
                       "\nname=bench\nBODY\n";
    file.reserve(file.size() + size_t(6) * W * H);
    for (int layer = 0; layer < 2; ++layer)
        for (int i = 0; i < W * H; ++i) file += char(i & 0xFF), file += char((i >> 8) & 0x0F);
    for (int i = 0; i < 2 * W * H; ++i) file += char(i % 3 == 0);
    if (FILE* f = std::fopen(MapPath, "wb")) {
        std::fwrite(file.data(), 1, file.size(), f);
        std::fclose(f);
    }
    written = true;
}

void BM_ReadFileIntoMemory(benchmark::State& state) {
    WriteBigMap();
    std::vector<char> bytes;
    for (auto _ : state) {
        FILE* f = OpenFile(MapPath, "rb");
        bytes.resize(FileLength(MapPath));
        benchmark::DoNotOptimize(std::fread(bytes.data(), 1, bytes.size(), f));
        std::fclose(f);
    }
}
BENCHMARK(BM_ReadFileIntoMemory)->Unit(benchmark::kMillisecond);

void BM_LoadMapFile(benchmark::State& state) {
    WriteBigMap();
    for (auto _ : state) {
        if (!LoadMapFile(MapPath)) state.SkipWithError("map did not load");
        benchmark::DoNotOptimize(TheWorldMap.Cells().data());
    }
}
BENCHMARK(BM_LoadMapFile)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
