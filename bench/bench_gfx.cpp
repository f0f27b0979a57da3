// What the graphics foundation's basic operations cost on the machine's GL
// (Mesa's software renderer under Xvfb here): a texture upload, and 10000
// triangles drawn in immediate mode and from a vertex buffer.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <vector>

#include "GLDevice.h"
#include "GLRender.h"
#include "GLTexture.h"
#include "GLVert.h"
#include "platform/PlatformWindow.h"

namespace {

const int TriangleCount = 10000;

struct Vertex {
    float x, y;
    uint32_t color;
    float s, t;
};

const G::VertexFormat Format = {{G::VertComponentType::Float2, G::VertComponentUse::Position},
                                {G::VertComponentType::UByte4, G::VertComponentUse::Color},
                                {G::VertComponentType::Float2, G::VertComponentUse::TexCoord}};

// Small triangles over the whole window, 100 columns by 100 rows.
std::vector<Vertex> Triangles() {
    std::vector<Vertex> vertices;
    for (int i = 0; i < TriangleCount; ++i) {
        const float x = float(i % 100) * 8, y = float(i / 100) * 6;
        const uint32_t color = 0xFF000000u | uint32_t(i * 2654435761u) >> 8;
        vertices.push_back({x, y, color, 0, 0});
        vertices.push_back({x + 8, y, color, 1, 0});
        vertices.push_back({x, y + 6, color, 0, 1});
    }
    return vertices;
}

void BM_TextureLockChangeUpload256(benchmark::State& state) {
    G::Texture texture;
    if (!texture.Create(256, 256, 3, 1, false)) {
        state.SkipWithError("no texture");
        return;
    }
    uint32_t round = 0;
    for (auto _ : state) {
        G::TextureLock lock(texture, 0, true);
        uint32_t *texels, pitch, slice, bits, w, h, d;
        lock.GetInfo(texels, pitch, slice, bits, w, h, d);
        for (uint32_t i = 0; i < 256 * 256; i += 7) texels[i] = 0xFF000000 | ++round;
        lock.Unlock();
        glFinish();
    }
}
BENCHMARK(BM_TextureLockChangeUpload256)->Unit(benchmark::kMicrosecond);

void BM_ImmediateMode10000Triangles(benchmark::State& state) {
    const std::vector<Vertex> vertices = Triangles();
    G::Set2D();
    G::UnsetTexture();
    for (auto _ : state) {
        G::IMBegin(G::IMPrimitive::Triangles);
        for (const Vertex& v : vertices) {
            G::IMColor(v.color);
            G::IMVertex(v.x, v.y);
        }
        G::IMEnd();
        glFinish();
    }
    state.SetItemsProcessed(state.iterations() * TriangleCount);
}
BENCHMARK(BM_ImmediateMode10000Triangles)->Unit(benchmark::kMillisecond);

void BM_VertexBuffer10000Triangles(benchmark::State& state) {
    const std::vector<Vertex> vertices = Triangles();
    G::VertexBuffer buffer;
    if (!buffer.Create(uint32_t(vertices.size()), Format, sizeof(Vertex), false, true)) {
        state.SkipWithError("no vertex buffer");
        return;
    }
    {
        G::VertexBufferLock lock(buffer);
        if (!lock.GetPointer()) {
            state.SkipWithError("no lock");
            return;
        }
        std::copy(vertices.begin(), vertices.end(), static_cast<Vertex*>(lock.GetPointer()));
    }
    G::Set2D();
    G::UnsetTexture();
    buffer.Set();
    for (auto _ : state) {
        G::RenderTris(TriangleCount, 0);
        glFinish();
    }
    state.SetItemsProcessed(state.iterations() * TriangleCount);
}
BENCHMARK(BM_VertexBuffer10000Triangles)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (!Platform::CreateMainWindow("gfx benchmark", 800, 600)) {
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
    G::Shutdown();
    Platform::DestroyMainWindow();
    return 0;
}
