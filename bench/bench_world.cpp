// The world view at 800 x 600. Run under Xvfb (xvfb-run -a) on Mesa's
// software renderer.
// Targets:
// - the busy frame (31 x 31 floors of 20 kinds, walls on a third of the
//   edges, 40 characters, 8 labelled portals, a full text window) runs at
//   60 frames a second or more, and takes at most twice the time of one
//   window-filling textured quad under the same text window;
// - BuildFloorTextures of 256 shapes takes at most twice the time of
//   creating and uploading 256 plain 64 x 64 mipmapped textures;
// - a frame in which nothing moved does not refill the floor buffer;
// - the busy frame with 200 objects of fourteen models in view runs at 30
//   frames a second or more (its ratio to the frame without them is
//   reported, not bounded).
// Run from the project's folder: the renderers read data/.
#include <benchmark/benchmark.h>

#include <GL/gl.h>

#include <fstream>

#include "GBFont.h"
#include "GBMesh.h"
#include "GLDevice.h"
#include "GLRender.h"
#include "GLShader.h"
#include "GLTexture.h"
#include "QuilDataManager.h"
#include "QuilGfxLoader.h"
#include "QuilRenderer.h"
#include "WorldMap.h"
#include "platform/PlatformWindow.h"

namespace {

const int FloorKindsInView = 20;

bool StartDevice() {
    if (G::IsInited()) return true;
    G::Setup setup;
    return Platform::CreateMainWindow("bench world", 800, 600) && G::Init(Platform::MainWindow(), &setup);
}

// 256 shapes of bold two-colour patterns, 48 x 24 like the host game's tiles.
ShapeList Shapes() {
    ShapeList shapes(256);
    for (int f = 0; f < 256; ++f) {
        shapes[f].rows.assign(24, std::vector<uint8_t>(48));
        for (int y = 0; y < 24; ++y)
            for (int x = 0; x < 48; ++x) shapes[f].rows[y][x] = uint8_t((x / 6 + y / 3) % 2 ? f : 255 - f);
        shapes[f].transparent = 0;
    }
    return shapes;
}

// Objects on distinct cells spread evenly over the whole 31 x 31 view,
// cycling through the sample world's first kinds of model.
void PlaceObjects(int count, int kinds) {
    for (int i = 0; i < count; ++i) {
        const int cell = i * 31 * 31 / count;
        TheWorldMap.SetObject(15 + cell % 31, 15 + cell / 31, uint16_t(1 + i % kinds));
    }
}

void BusyWorld() {
    for (int i = 0; i < 256; ++i) GamePalette[i] = ColorWord{0, uint8_t(i), uint8_t(i * 3), uint8_t(255 - i)};
    TheWorldMap.Reset(30, 30);
    for (int y = 0; y < TheWorldMap.N; ++y)
        for (int x = 0; x < TheWorldMap.N; ++x) {
            TheWorldMap.SetFloor(x, y, uint16_t((x * 7 + y * 3) % FloorKindsInView));
            TheWorldMap.SetWallX(x, y, (x + 2 * y) % 3 == 0);
            TheWorldMap.SetWallY(x, y, (2 * x + y) % 3 == 0);
        }
    TheViewCell.Set(30, 30);
    TheAvatarList.Clear();
    for (int i = 0; i < 40; ++i) {
        AvatarRecord record;
        record.cellX = 18 + i % 8 * 3, record.cellY = 18 + i / 8 * 5;
        record.facing = i % 4;
        record.colours[5] = uint8_t(i), record.colours[0] = uint8_t(63 - i);
        TheAvatarList.Append(record);
    }
    TheDreamPortalList.Clear();
    for (int i = 0; i < 8; ++i)
        TheDreamPortalList.Append(DreamPortal{26 + i, 24 + i % 3 * 4, "portal" + std::to_string(i), "A|dream|here"});
}

G::TextWindow FullWindow() {
    G::TextWindow window(40, 300, 700, 250, 60, 16, "", false, 0.5f);
    for (int i = 0; i < 60; ++i)
        window.AddText(G::Text("[" + std::to_string(i) + "] Somebody says: the quick brown fox jumps over the lazy dog"));
    return window;
}

void Overlay(G::TextWindow& window) {
    G::Set2D();
    G::SetRenderState(G::RenderState::Blend, true);
    window.Render();
}

void EndFrame() {
    glFinish();
    G::SwapBackbuffer();
}

// The argument is the number of objects in view: 0, or 200 of fourteen models.
void BM_BusyWorldFrame(benchmark::State& state) {
    if (!StartDevice()) return state.SkipWithError("no window or GL context (run under xvfb-run)");
    // Elsewhere every object would be an empty model, and the figure a flattering one.
    if (state.range(0) && !std::ifstream("data/items/items.txt"))
        return state.SkipWithError("no data/items/items.txt here (run from the project's folder)");
    BusyWorld();
    PlaceObjects(int(state.range(0)), 14);
    InitRenderers();
    std::vector<G::Texture> textures;
    BuildFloorTextures(Shapes(), textures);
    SetFloorTextures(textures);
    UpdateRenderers(999);
    G::TextWindow window = FullWindow();
    const uint32_t rebuilds = FloorRebuildCount();
    for (auto _ : state) {
        G::Clear(0, true, true, false);
        G::SetViewportFull();
        RenderWorld();
        Overlay(window);
        EndFrame();
    }
    state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    // Only the first frame fills the floor buffer.
    state.counters["floor_rebuilds"] = double(FloorRebuildCount() - rebuilds);
    ShutdownRenderers();
}
BENCHMARK(BM_BusyWorldFrame)->Arg(0)->Arg(200)->Unit(benchmark::kMillisecond)->UseRealTime();

// The least work that covers the window: one textured quad and the same text window.
void BM_OneQuadFrame(benchmark::State& state) {
    if (!StartDevice()) return state.SkipWithError("no window or GL context (run under xvfb-run)");
    std::vector<G::Texture> textures;
    const ShapeList shapes = Shapes();
    BuildFloorTextures(ShapeList(shapes.begin(), shapes.begin() + 1), textures);
    G::TextWindow window = FullWindow();
    for (auto _ : state) {
        G::Clear(0, true, true, false);
        G::Set2D();
        G::DrawTextureStretched(0, 0, 800, 600, textures[0], 1);
        Overlay(window);
        EndFrame();
    }
    state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_OneQuadFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_BuildFloorTextures256(benchmark::State& state) {
    if (!StartDevice()) return state.SkipWithError("no window or GL context (run under xvfb-run)");
    const ShapeList shapes = Shapes();
    std::vector<G::Texture> textures;
    for (auto _ : state) {
        BuildFloorTextures(shapes, textures);
        glFinish();
    }
}
BENCHMARK(BM_BuildFloorTextures256)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same textures made and uploaded with their texels already at hand.
void BM_UploadPlainTextures256(benchmark::State& state) {
    if (!StartDevice()) return state.SkipWithError("no window or GL context (run under xvfb-run)");
    std::vector<G::Texture> textures;
    for (auto _ : state) {
        textures.clear();
        for (int i = 0; i < 256; ++i) {
            G::Texture texture;
            texture.Create(64, 64, 3, 1, true);
            texture.SetWrap(false, false, true);
            G::TextureLock lock(texture, 0, true);
            uint32_t *texels, pitch, slice, bits, width, height, depth;
            if (lock.GetInfo(texels, pitch, slice, bits, width, height, depth))
                std::fill(texels, texels + 64 * 64, 0xFF000000u | uint32_t(i));
            textures.push_back(texture);
            lock.Unlock();
        }
        glFinish();
    }
}
BENCHMARK(BM_UploadPlainTextures256)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    G::EmptyModelCache();
    G::FreeTextResources();
    G::Shutdown();
    Platform::DestroyMainWindow();
    return 0;
}
