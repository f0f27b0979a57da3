// The stack of scenes that receives each frame, the switching between them,
// the frame-rate average and the per-scene frame-rate statistics.
#pragma once
#include <string>

// One screen of the program. Scenes are made with new2 by whoever adds them;
// once added, the SceneManager owns them and deletes them with the tracked delete.
class Scene {
public:
    virtual void Update(float seconds) = 0;
    virtual void Draw() = 0;  // under GraphicsLock
    virtual void OnActivate() {}
    virtual void OnDeactivate() {}
    virtual void HandleDeviceLost() {}
    virtual void HandleDeviceRestored() {}
    virtual std::string GetName() = 0;  // fixed per kind of scene, keys the statistics
    virtual ~Scene() {}
};

class SceneManager {
public:
    static void AddScene(Scene* scene);
    // The removed scene lives until the end of the current update step, so a
    // scene may remove itself (and add its successor) inside its own Update.
    static void RemoveScene();
    static void ReplaceAllScenes(Scene* scene);
    static std::string CurrentSceneName();
    // Removes every scene and writes the statistics (once per run).
    static void RemoveAllScenes();

    // The frame loop's two steps, draw first.
    static void Draw();
    static void Update(float frameSeconds);
    static void ShutdownScenes();

    // "FPS: n", the five-frame average shown in the corner.
    static const std::string& FpsLabel();
};
