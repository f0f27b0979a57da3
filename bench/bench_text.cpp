// Fonts and text on a real context (run under Xvfb, from a folder that has
// the system's data/shaders): making a 16-pixel font, and the frame cost of
// a full 60-line text window when nothing changed next to one that adds a line.
//
//   targets: FindOrCreateFont (16 px, 256 glyphs) under 30 ms; an unchanged
//   window costs only its draw (the "builds" counter stays 0).
#include <benchmark/benchmark.h>

#include <GL/gl.h>

#include <cstdio>
#include <string>

#include "GBFont.h"
#include "GLDevice.h"
#include "GLRender.h"
#include "platform/PlatformWindow.h"

namespace {

bool StartGraphics() {
    if (!Platform::CreateMainWindow("text benchmark", 800, 600)) return false;
    G::Setup setup;
    return G::Init(Platform::MainWindow(), &setup);
}

void BM_FindOrCreateFont16(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        // Shutting the device down releases every font, so each request makes one.
        G::Shutdown();
        G::Setup setup;
        if (!G::Init(Platform::MainWindow(), &setup)) {
            state.SkipWithError("graphics did not restart");
            break;
        }
        state.ResumeTiming();
        benchmark::DoNotOptimize(G::FindOrCreateFont("Arial", 16, false));
    }
}
BENCHMARK(BM_FindOrCreateFont16)->Unit(benchmark::kMillisecond)->Iterations(20);

uint32_t Builds(G::TextWindow& window) {
    uint32_t builds = 0;
    for (size_t i = 0; i < window.GetLineCount(); ++i) builds += window.GetLine(i).text.GetBuildCount();
    return builds;
}

// The game scene's window, full of server-like lines; half of them wrap.
G::TextWindow FullWindow() {
    G::TextWindow window(40, 300, 700, 250, 60, 16, "Arial", false, 0.5f);
    for (int i = 0; i < 60; ++i) {
        G::Text line("[" + std::to_string(i) + "] ");
        line.AddColor(0xFF40C0FF);
        line += G::Text(i % 2 ? std::string("Somebody says: the quick brown fox jumps over the lazy dog, ") +
                                    "and then some more words so that this entry wraps onto a second line"
                              : std::string("Short entry"));
        window.AddText(line);
    }
    return window;
}

void Frame(G::TextWindow& window) {
    window.Render();
    glFinish();  // the draw itself, not only its submission
}

void BM_TextWindowUnchanged(benchmark::State& state) {
    G::TextWindow window = FullWindow();
    Frame(window);
    uint32_t before = Builds(window);
    for (auto _ : state) Frame(window);
    state.counters["builds"] = double(Builds(window) - before);
}
BENCHMARK(BM_TextWindowUnchanged)->Unit(benchmark::kMicrosecond);

void BM_TextWindowAddsALine(benchmark::State& state) {
    G::TextWindow window = FullWindow();
    Frame(window);
    int n = 0;
    for (auto _ : state) {
        window.AddText(G::Text("A new line from the server, number " + std::to_string(n++)));
        Frame(window);
    }
}
BENCHMARK(BM_TextWindowAddsALine)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (!StartGraphics()) {
        std::fprintf(stderr, "no window or context (run under xvfb-run)\n");
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    G::FreeTextResources();
    G::Shutdown();
    Platform::DestroyMainWindow();
    return 0;
}
