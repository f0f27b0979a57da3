// Model loading: a 20000-vertex model parsed from its text against read from
// its binary cache; the weld of 65535 records against the quadratic search
// it replaces; the item models of data/items/ loaded cold and from the cache.
// Runs in a scratch folder under the system's temporary folder.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "GBMesh.h"
#include "GBMesh_LoadMBM.h"
#include "GLDevice.h"
#include "platform/PlatformWindow.h"

namespace fs = std::filesystem;

namespace {

// A 100 x 100 grid of PNC vertices, 10000 vertices, with the triangles of
// every other cell, so that the position mesh of two chunks stays within
// the cache's 65535 indices.
std::string GridChunk(float lift) {
    std::string text = "Chunk {\nVertices { PNC 10000\n";
    char line[160];
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x) {
            std::snprintf(line, sizeof line, "%.4f %.4f %.4f 0 0 1 %.3f %.3f 0.5 1\n", x * 0.01, y * 0.01,
                          lift + 0.001 * ((x * 7 + y * 3) % 13), x / 100.0, y / 100.0);
            text += line;
        }
    text += "}\nIndices { 29406\n";
    for (int y = 0; y < 99; ++y)
        for (int x = (y % 2); x < 99; x += 2) {
            const int i = y * 100 + x;
            std::snprintf(line, sizeof line, "%d %d %d %d %d %d\n", i, i + 1, i + 100, i + 1, i + 101, i + 100);
            text += line;
        }
    return text + "}\n}\n";
}

void WriteText(const std::string& path, const std::string& text) {
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
    }
}

// 20000 vertices in two chunks, once with a RandomID (cached) and once without.
void WriteBigModels() {
    const std::string body = "Mesh { Name { grid }\n" + GridChunk(0) + GridChunk(1) + "}\nBone { Name { b } Mesh { grid } }\n";
    WriteText("big.mbm", "RandomID { 0.125 }\n" + body);
    WriteText("bigtext.mbm", body);
    G::Model warm;
    warm.Load("big.mbm", false, true);  // writes the cache
    G::EmptyModelCache();
    if (!fs::exists("gen/big.bmbm")) std::fprintf(stderr, "no cache written: see _error.txt\n");
}

void BM_Load20000VerticesFromText(benchmark::State& state) {
    WriteBigModels();
    for (auto _ : state) {
        G::Model model;
        if (!model.Load("bigtext.mbm", false, true)) state.SkipWithError("text did not load");
        G::EmptyModelCache();
    }
}
BENCHMARK(BM_Load20000VerticesFromText)->Unit(benchmark::kMillisecond);

void BM_Load20000VerticesFromCache(benchmark::State& state) {
    WriteBigModels();
    for (auto _ : state) {
        G::Model model;
        if (!model.Load("big.mbm", false, true)) state.SkipWithError("cache did not load");
        G::EmptyModelCache();
    }
}
BENCHMARK(BM_Load20000VerticesFromCache)->Unit(benchmark::kMillisecond);

// 65535 PNC records as a triangle soup of a grid: each vertex repeats about
// six times, as a model made face by face does.
struct WeldInput {
    std::vector<uint8_t> records;
    std::vector<uint16_t> indices;
    uint32_t count = 65535, size = 28;
    WeldInput() {
        records.resize(size_t(count) * size);
        for (uint32_t i = 0; i < count; ++i) {
            const uint32_t corner = (i / 6) % 11000 + (i % 6) % 3 * 7;
            const float p[3] = {float(corner % 120), float(corner / 120), 0};
            std::memcpy(&records[size_t(i) * size], p, 12);
        }
        indices.resize(count);
        for (uint32_t i = 0; i < count; ++i) indices[i] = uint16_t(i);
    }
};

uint32_t QuadraticWeld(const WeldInput& in, std::vector<uint8_t>& unique, std::vector<uint16_t>& indices) {
    indices = in.indices;
    unique.clear();
    uint32_t kept = 0;
    for (uint32_t i = 0; i < in.count; ++i) {
        const uint8_t* record = &in.records[size_t(i) * in.size];
        int found = -1;
        for (int j = int(kept) - 1; j >= 0 && found < 0; --j)
            if (std::memcmp(&unique[size_t(j) * in.size], record, in.size) == 0) found = j;
        const uint32_t target = found >= 0 ? uint32_t(found) : kept;
        if (found < 0) {
            unique.insert(unique.end(), record, record + in.size);
            ++kept;
        }
        if (target != i)
            for (uint16_t& index : indices)
                if (index == i) index = uint16_t(target);
    }
    return kept;
}

void BM_Weld65535Records(benchmark::State& state) {
    const WeldInput in;
    std::vector<uint8_t> unique, expectedUnique;
    std::vector<uint16_t> remapped, expected;
    QuadraticWeld(in, expectedUnique, expected);
    for (auto _ : state)
        G::Weld(in.records.data(), in.count, in.size, in.indices.data(), uint32_t(in.indices.size()), unique,
                remapped);
    if (unique != expectedUnique || remapped != expected) state.SkipWithError("differs from the quadratic search");
    state.counters["unique"] = double(unique.size() / in.size);
}
BENCHMARK(BM_Weld65535Records)->Unit(benchmark::kMillisecond);

void BM_Weld65535RecordsQuadratic(benchmark::State& state) {
    const WeldInput in;
    std::vector<uint8_t> unique;
    std::vector<uint16_t> remapped;
    for (auto _ : state) QuadraticWeld(in, unique, remapped);
}
BENCHMARK(BM_Weld65535RecordsQuadratic)->Unit(benchmark::kMillisecond)->Iterations(1);

std::vector<std::string> ItemModels() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator("data/items"))
        if (entry.path().extension() == ".mbm") names.push_back("data\\items\\" + entry.path().filename().string());
    return names;
}

void LoadAllItems(benchmark::State& state, bool cold) {
    const std::vector<std::string> names = ItemModels();
    if (names.empty()) state.SkipWithError("no models in data/items");
    for (auto _ : state) {
        if (cold) {
            state.PauseTiming();
            fs::remove_all("gen");
            state.ResumeTiming();
        }
        for (const std::string& name : names) {
            G::Model model;
            model.Load(name, false, true);
        }
        G::EmptyModelCache();
    }
    state.counters["models"] = double(names.size());
}

void BM_LoadItemModelsCold(benchmark::State& state) { LoadAllItems(state, true); }
BENCHMARK(BM_LoadItemModelsCold)->Unit(benchmark::kMillisecond);

void BM_LoadItemModelsCached(benchmark::State& state) { LoadAllItems(state, false); }
BENCHMARK(BM_LoadItemModelsCached)->Unit(benchmark::kMillisecond);

// The repository's data/items/, copied so that the cache files land here.
void InstallItems(const fs::path& repository) {
    fs::create_directories("data/items");
    fs::copy(repository / "data" / "items", "data/items", fs::copy_options::recursive | fs::copy_options::overwrite_existing);
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    const fs::path repository = fs::canonical("/proc/self/exe").parent_path().parent_path();
    const fs::path folder = fs::temp_directory_path() / "halcyon_bench_mesh";
    fs::remove_all(folder);
    fs::create_directories(folder);
    fs::current_path(folder);
    InstallItems(repository);
    if (!Platform::CreateMainWindow("mesh benchmark", 800, 600)) {
        std::fprintf(stderr, "no window: %s (run under xvfb-run -a)\n", Platform::WindowErrorText().c_str());
        return 1;
    }
    G::Setup setup;
    if (!G::Init(Platform::MainWindow(), &setup)) {
        std::fprintf(stderr, "the graphics foundation did not start\n");
        Platform::DestroyMainWindow();
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    G::EmptyModelCache();
    G::Shutdown();
    Platform::DestroyMainWindow();
    return 0;
}
