// The program's entry: the one window, the start-up order, the message and
// frame loop, and the shut-down order.
#pragma once
#include <cstdint>
#include <string>

#include "platform/PlatformWindow.h"

class Scene;

// The frame loop runs while this is set; the scene manager clears it when the
// last scene is gone.
extern bool RunningFlag;

extern const char* const MainWindowTitle;

// The entry point: runs the program with the chooser as its first scene.
int GameMain();
// The same with another first scene (null: none); the program's exit code.
using FirstSceneMaker = Scene* (*)();
int RunGame(FirstSceneMaker makeFirstScene);

// The window procedure: typed characters first, then the mouse, then the
// window's own messages.
int MainWindowProc(const Platform::WindowMessage& message);

// Writes the system information to StatLog; answers a warning text (empty: none).
std::string SystemCheck();
// 0 unknown, 1 really old, 2 NT, 3 95, 4 98, 5 ME, 6 2000, 7 XP, 8 2003, 9 really new.
int OsVersionClass();

// Decides when a frame runs: only when more than 1/1982 s has passed since
// the last one; the time of skipped turns goes into the next frame.
class FrameClock {
public:
    void Start(int64_t now, int64_t frequency);
    // True when a frame is due; then `seconds` is the time since the last frame.
    bool FrameDue(int64_t now, float& seconds);

private:
    int64_t last = 0;
    int64_t frequency = 1;
};
