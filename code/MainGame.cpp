#include "MainGame.h"

#include "CChooseINI.h"
#include "CMemMan.h"
#include "GBFont.h"
#include "GBMesh.h"
#include "GLDevice.h"
#include "ImageLoader.h"
#include "InputState.h"
#include "LogFile.h"
#include "SceneManager.h"
#include "SystemDialog.h"
#include "platform/PlatformSystem.h"

#include <cstdio>

bool RunningFlag = false;

const char* const MainWindowTitle = "Halcyon - An Alternate Quillmor Client - (Written by Orvek)";

namespace {

const double MinFrameSeconds = 1.0 / 1982.0;

// The first scene is recorded under the type name "FIRST_SCENE".
typedef CChooseINI FIRST_SCENE;
Scene* CreateFirstScene() { return new2(FIRST_SCENE, FIRST_SCENE); }

bool CreateWindow() {
    if (!Platform::StartWindowSystem()) {
        ErrorLog << "couldn't register window class";
        std::fprintf(stderr, "couldn't register window class (%s)\n", Platform::WindowErrorText().c_str());
        return false;
    }
    if (!Platform::CreateMainWindow(MainWindowTitle, 800, 600)) {
        ErrorLog << "couldn't make a window :(";
        std::fprintf(stderr, "couldn't make a window :( (%s)\n", Platform::WindowErrorText().c_str());
        return false;
    }
    return true;
}

void StartUp(FirstSceneMaker makeFirstScene) {
    G::Setup setup;  // windowed, 32-bit colour, 800 x 600, no stencil
    std::string warning = SystemCheck();
    if (!warning.empty()) SystemMessageBox(warning, "warning", false);
    if (!G::Init(Platform::MainWindow(), &setup)) {
        SystemMessageBox("Graphics init failed.\n _error.txt may contain details.", "error", false);
        RunningFlag = false;
    }
    if (RunningFlag) RunningFlag = KeyboardState::Start(Platform::MainWindow(), false);
    if (!RunningFlag) return;
    G::StartImageLoader();
    Scene* first = makeFirstScene ? makeFirstScene() : nullptr;
    if (first) SceneManager::AddScene(first);
}

void RunFrame(float seconds) {
    if (!G::CanRender()) {
        SceneManager::Update(seconds);
        return;
    }
    SceneManager::Draw();
    glFlush();
    KeyboardState::Update();
    SceneManager::Update(seconds);
    TypedCharQueue::Clear();
    MouseState::EndFrame();
    G::SwapBackbuffer();
}

// Messages first, one per turn; frames only when no message waits.
int RunLoop() {
    int exitCode = 0;
    FrameClock clock;
    clock.Start(Platform::PerfCounter(), Platform::PerfFrequency());
    while (RunningFlag) {
        Platform::WindowMessage message;
        if (Platform::PeekWindowMessage(message)) {
            if (message.kind == Platform::MessageKind::Quit) {
                RunningFlag = false;
                exitCode = static_cast<int>(message.code);
            } else {
                MainWindowProc(message);
            }
            continue;
        }
        if (G::HasFatalError()) {
            RunningFlag = false;
            ErrorLog << "The ";
            if (G::HasFatalError()) ErrorLog << "graphics ";
            ErrorLog << "foundation has reported an unrecoverable error.  Program shut down.\n";
            continue;
        }
        float seconds = 0;
        if (clock.FrameDue(Platform::PerfCounter(), seconds)) RunFrame(seconds);
        Platform::YieldTimeSlice();
    }
    return exitCode;
}

void ShutDown() {
    SceneManager::ShutdownScenes();
    // Cached models hold buffers and textures: they go while the device runs.
    G::EmptyModelCache();
    G::FreeTextResources();
    G::StopImageLoader();
    KeyboardState::Release();
    G::Shutdown();
    Platform::DestroyMainWindow();
}

}  // namespace

void FrameClock::Start(int64_t now, int64_t ticksPerSecond) {
    last = now;
    frequency = ticksPerSecond > 0 ? ticksPerSecond : 1;
}

bool FrameClock::FrameDue(int64_t now, float& seconds) {
    double elapsed = static_cast<double>(now - last) / static_cast<double>(frequency);
    if (elapsed <= MinFrameSeconds) return false;
    seconds = static_cast<float>(elapsed);
    last = now;
    return true;
}

int OsVersionClass() { return Platform::OperatingSystemClass(); }

std::string SystemCheck() {
    StatLog << "OS Version: " << Platform::OperatingSystemName() << "\n";
    std::string vendor = Platform::CpuVendor();
    if (!vendor.empty()) StatLog << "CPU code name: " << vendor << "\n";
    StatLog << "\n";
    return "";
}

int MainWindowProc(const Platform::WindowMessage& message) {
    if (TypedCharQueue::HandleMessage(message) || MouseState::HandleMessage(message)) return 0;
    switch (message.kind) {
    case Platform::MessageKind::Activate: Platform::SetProcessPriority(Platform::ProcessPriority::Normal); break;
    case Platform::MessageKind::Deactivate:
        Platform::SetProcessPriority(OsVersionClass() > 5 ? Platform::ProcessPriority::BelowNormal
                                                          : Platform::ProcessPriority::Idle);
        break;
    case Platform::MessageKind::Destroy:
        SceneManager::RemoveAllScenes();
        Platform::PostQuitMessage(0);
        break;
    default: break;
    }
    return 0;
}

int RunGame(FirstSceneMaker makeFirstScene) {
    RunningFlag = true;
    if (!CreateWindow()) return 1;
    Platform::ShowMainWindow();
    StartUp(makeFirstScene);
    int exitCode = RunLoop();
    ShutDown();
    return exitCode;
}

int GameMain() { return RunGame(&CreateFirstScene); }
