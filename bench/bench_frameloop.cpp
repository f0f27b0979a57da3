// An empty scene (clear and swap) at 800 x 600, and the cost of the loop and
// the scene manager around it. Run under Xvfb (xvfb-run -a).
// Target: the shell's own work stays under 2% of the empty frame.
#include <benchmark/benchmark.h>

#include "CMemMan.h"
#include "GLDevice.h"
#include "InputState.h"
#include "MainGame.h"
#include "SceneManager.h"
#include "platform/PlatformWindow.h"

namespace {

class ClearScene : public Scene {
public:
    explicit ClearScene(bool clear) : clear(clear) {}
    void Update(float) override {}
    void Draw() override {
        if (clear) glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }
    std::string GetName() override { return "ClearScene"; }

private:
    bool clear;
};

bool StartDevice() {
    if (G::IsInited()) return true;
    G::Setup setup;
    return Platform::CreateMainWindow("bench frameloop", 800, 600) && G::Init(Platform::MainWindow(), &setup) &&
           KeyboardState::Start(Platform::MainWindow(), false);
}

// What the frame loop does around the scene for one frame.
void ShellFrame() {
    Platform::WindowMessage message;
    while (Platform::PeekWindowMessage(message)) MainWindowProc(message);
    SceneManager::Draw();
    KeyboardState::Update();
    SceneManager::Update(1.0f / 60.0f);
    TypedCharQueue::Clear();
    MouseState::EndFrame();
}

void BM_EmptySceneFrame(benchmark::State& state) {
    if (!StartDevice()) {
        state.SkipWithError("no window or GL context (run under xvfb-run)");
        return;
    }
    SceneManager::ReplaceAllScenes(new2(ClearScene, ClearScene(true)));
    for (auto _ : state) {
        ShellFrame();
        glFlush();
        G::SwapBackbuffer();
    }
    glFinish();
    state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_EmptySceneFrame)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The same frame without drawing: only the loop's and the manager's own work.
void BM_ShellOverheadPerFrame(benchmark::State& state) {
    if (!StartDevice()) {
        state.SkipWithError("no window or GL context (run under xvfb-run)");
        return;
    }
    SceneManager::ReplaceAllScenes(new2(ClearScene, ClearScene(false)));
    for (auto _ : state) ShellFrame();
}
BENCHMARK(BM_ShellOverheadPerFrame)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    SceneManager::ShutdownScenes();
    KeyboardState::Release();
    G::Shutdown();
    Platform::DestroyMainWindow();
    return 0;
}
