#include "platform/PlatformInput.h"

#include "platform/PlatformWindowInternal.h"

#include <SDL.h>

#include <cstring>

namespace Platform {

namespace {

bool started = false;
uint32_t focusChangesSeen = 0;

}  // namespace

KeyboardStart StartKeyboard(WindowHandle window) {
    if (!SDL_WasInit(SDL_INIT_VIDEO)) return KeyboardStart::NoInputSystem;
    if (!window || window != MainWindow()) return KeyboardStart::NoCooperation;
    started = true;
    focusChangesSeen = FocusChangeCount();
    return KeyboardStart::Started;
}

bool PollKeyboard() {
    if (!started) return false;
    uint32_t changes = FocusChangeCount();
    bool unchanged = changes == focusChangesSeen;
    focusChangesSeen = changes;
    return unchanged;
}

bool AcquireKeyboard() { return started && WindowHasFocus(); }

bool ReadKeyboard(uint8_t keys[256]) {
    if (!started) return false;
    std::memset(keys, 0, 256);
    if (!WindowHasFocus()) return true;
    int count = 0;
    const Uint8* state = SDL_GetKeyboardState(&count);
    // SDL's scancodes are the USB usage numbers.
    for (int scancode = 0; scancode < count; ++scancode)
        if (state[scancode])
            if (uint8_t code = DirectInputCode(scancode)) keys[code] = 0x80;
    return true;
}

void ReleaseKeyboard() { started = false; }

}  // namespace Platform
