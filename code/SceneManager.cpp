#include "SceneManager.h"

#include "CMemMan.h"
#include "GBFont.h"
#include "GLDevice.h"
#include "GLRender.h"
#include "GLShader.h"
#include "InputState.h"
#include "LogFile.h"
#include "MainGame.h"
#include "StaticOrder.h"

#include <list>
#include <map>

namespace {

struct SceneStats {
    int frames = 0;
    float seconds = 0;
};

struct ManagerState {
    std::list<Scene*> active;   // front is the top
    std::list<Scene*> pending;  // removed, deleted after the update step
    float fpsHistory[4] = {0, 0, 0, 0};  // newest first
    std::string fpsLabel;
    G::Text* fpsText = nullptr;  // made once a rendering context exists
    std::map<std::string, SceneStats> stats;
    bool statsWritten = false;
    bool sceneChanged = false;
    bool deviceHandlersRegistered = false;
};

ManagerState manager STATIC_ORDER(STATIC_GAME);

void DeleteFpsText() {
    if (manager.fpsText) delete2(manager.fpsText);
    manager.fpsText = nullptr;
}

void DeviceLost() {
    for (Scene* scene : manager.active) scene->HandleDeviceLost();
    // Made again by the first update once the device is back.
    DeleteFpsText();
}

void DeviceRestored() {
    for (Scene* scene : manager.active) scene->HandleDeviceRestored();
}

void DeletePendingScenes() {
    while (!manager.pending.empty()) {
        Scene* scene = manager.pending.front();
        manager.pending.pop_front();
        delete2(scene);
    }
}

void UpdateFps(float frameSeconds) {
    if (!manager.fpsText && G::IsInited()) manager.fpsText = new2(G::Text, G::Text());
    float fps = frameSeconds > 0 ? 1.0f / frameSeconds : 0.0f;
    float shown = (fps + manager.fpsHistory[0] + manager.fpsHistory[1] + manager.fpsHistory[2] +
                   manager.fpsHistory[3]) * 0.2f;
    manager.fpsLabel = "FPS: ";
    manager.fpsLabel += std::to_string(static_cast<int>(shown));
    for (int i = 3; i > 0; --i) manager.fpsHistory[i] = manager.fpsHistory[i - 1];
    manager.fpsHistory[0] = fps;
    if (manager.fpsText) {
        manager.fpsText->SetPosition(5, 5);
        *manager.fpsText = manager.fpsLabel;
    }
}

void CountFrame(float seconds) {
    if (manager.statsWritten || manager.active.empty()) return;
    SceneStats& entry = manager.stats[manager.active.front()->GetName()];
    ++entry.frames;
    entry.seconds += seconds;
}

void WriteStatistics() {
    if (manager.statsWritten) return;
    manager.statsWritten = true;
    if (!manager.stats.empty()) StatLog << "average FPS for invididual scenes:\n";
    for (const auto& [name, entry] : manager.stats) {
        // A scene counted only with zero-length frames has no rate to show.
        int rate = entry.seconds > 0 ? static_cast<int>(static_cast<float>(entry.frames) / entry.seconds) : 0;
        StatLog << "  -" << name << " (over " << static_cast<int>(entry.seconds) << " seconds): " << rate
                << " frames/sec\n";
    }
    StatLog << "\n";
}

}  // namespace

void SceneManager::AddScene(Scene* scene) {
    if (!manager.deviceHandlersRegistered) {
        G::RegisterDeviceLostCallback(&DeviceLost);
        G::RegisterDeviceRestoreCallback(&DeviceRestored);
        manager.deviceHandlersRegistered = true;
    }
    if (!scene) {
        ErrorLog << "Bad.. attempt to add null pointer as a scene.\n"
                 << "  -attempt made from:\n"
                 << DropFirstLine(CallStackText()) << "\n";
        return;
    }
    if (!manager.active.empty()) manager.active.front()->OnDeactivate();
    manager.active.push_front(scene);
    scene->OnActivate();
    manager.sceneChanged = true;
}

void SceneManager::RemoveScene() {
    if (manager.active.empty()) {
        ErrorLog << "Bad.. attempt to remove a scene when none exist.\n"
                 << "  -attempt made from:\n"
                 << DropFirstLine(CallStackText()) << "\n";
        return;
    }
    Scene* top = manager.active.front();
    top->OnDeactivate();
    manager.pending.push_back(top);
    manager.active.pop_front();
}

void SceneManager::ReplaceAllScenes(Scene* scene) {
    while (!manager.active.empty()) RemoveScene();
    AddScene(scene);
}

std::string SceneManager::CurrentSceneName() {
    return manager.active.empty() ? std::string("none") : manager.active.front()->GetName();
}

void SceneManager::RemoveAllScenes() {
    while (!manager.active.empty()) RemoveScene();
    WriteStatistics();
}

// DirectInput code of F11, which shows the scene in wireframe while held.
const uint8_t KeyF11 = 0x57;

void SceneManager::Draw() {
    ScopedLock lock(G::GraphicsLock);
    const bool wireframe = KeyboardState::IsKeyDown(KeyF11);
    if (wireframe) G::SetRenderState(G::RenderState::Wireframe, true);
    if (!manager.active.empty()) manager.active.front()->Draw();
    // The frame-rate text is always drawn filled.
    if (wireframe) G::SetRenderState(G::RenderState::Wireframe, false);
    if (manager.fpsText) {
        G::UnsetShader();
        G::Set2D();
        manager.fpsText->Render();
    }
}

void SceneManager::Update(float frameSeconds) {
    UpdateFps(frameSeconds);
    if (!manager.active.empty()) {
        float t = frameSeconds > 0.25f ? 0.25f : frameSeconds;
        if (manager.sceneChanged) {
            manager.sceneChanged = false;
            manager.active.front()->Update(0.0f);
        } else {
            manager.active.front()->Update(t);
            CountFrame(t);
        }
        DeletePendingScenes();
    }
    if (manager.active.empty()) {
        DeletePendingScenes();
        RunningFlag = false;
    }
}

void SceneManager::ShutdownScenes() {
    RemoveAllScenes();
    DeletePendingScenes();
    DeleteFpsText();
}

const std::string& SceneManager::FpsLabel() { return manager.fpsLabel; }
