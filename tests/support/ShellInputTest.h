// Running a shell command (xdotool, the built program) and pumping the main
// window's messages through the window procedure, for the shell and input tests.
#pragma once
#include <cstdio>
#include <functional>
#include <string>

#include "MainGame.h"
#include "TestUtil.h"
#include "platform/PlatformSystem.h"
#include "platform/PlatformWindow.h"
#include "platform/PlatformWindowInternal.h"

namespace ShellInputTest {

inline std::string Shell(const std::string& command) { return TestUtil::HostShell(command); }

// Hands the window's messages to the window procedure for up to `ms` milliseconds, or until `done` holds.
inline void Pump(int ms, const std::function<bool()>& done = nullptr) {
    int64_t end = Platform::PerfCounter() + Platform::PerfFrequency() * ms / 1000;
    do {
        Platform::WindowMessage message;
        while (Platform::PeekWindowMessage(message)) MainWindowProc(message);
        if (done && done()) return;
        Platform::SleepMilliseconds(2);
    } while (Platform::PerfCounter() < end);
}

// Shows the main window and gives it the keyboard focus; its X id, or "" when xdotool cannot find it.
inline std::string FocusMainWindow(const std::string& title) {
    Platform::ShowMainWindow();
    std::string id = Shell("timeout 10 xdotool search --sync --name '" + title + "' | head -1");
    if (id.empty()) return id;
    Shell("xdotool windowfocus --sync " + id);
    Pump(2000, [] { return Platform::WindowHasFocus(); });
    return id;
}

}  // namespace ShellInputTest
