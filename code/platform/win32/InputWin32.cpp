#include "platform/win32/Win32.h"

#define DIRECTINPUT_VERSION 0x0800
#include <dinput.h>

#include "platform/PlatformInput.h"

#include <cstring>

namespace Platform {

static IDirectInput8A* directInput = nullptr;
static IDirectInputDevice8A* keyboard = nullptr;
static HWND keyboardWindow = nullptr;

// The device first, then the input object, as they were made.
static void ReleaseAll() {
    if (keyboard) keyboard->Release();
    keyboard = nullptr;
    if (directInput) directInput->Release();
    directInput = nullptr;
}

// Shared with other programs, and only while the window is in front.
KeyboardStart StartKeyboard(WindowHandle window) {
    if (FAILED(DirectInput8Create(GetModuleHandleA(nullptr), DIRECTINPUT_VERSION, IID_IDirectInput8A,
                                  reinterpret_cast<void**>(&directInput), nullptr))) {
        directInput = nullptr;
        return KeyboardStart::NoInputSystem;
    }
    if (FAILED(directInput->CreateDevice(GUID_SysKeyboard, &keyboard, nullptr))) {
        keyboard = nullptr;
        ReleaseAll();
        return KeyboardStart::NoDevice;
    }
    keyboard->SetDataFormat(&c_dfDIKeyboard);
    if (!window || FAILED(keyboard->SetCooperativeLevel(static_cast<HWND>(window),
                                                         DISCL_NONEXCLUSIVE | DISCL_FOREGROUND))) {
        ReleaseAll();
        return KeyboardStart::NoCooperation;
    }
    keyboard->Acquire();
    keyboardWindow = static_cast<HWND>(window);
    return KeyboardStart::Started;
}

bool PollKeyboard() { return keyboard && SUCCEEDED(keyboard->Poll()); }

bool AcquireKeyboard() { return keyboard && SUCCEEDED(keyboard->Acquire()); }

// Without the focus no key is held: left as they were, a key held when the
// player switched away would stay down until the window is back. The device
// may learn of the switch a little after the window does.
bool ReadKeyboard(uint8_t keys[256]) {
    if (!keyboard) return false;
    HRESULT result = GetFocus() == keyboardWindow ? keyboard->GetDeviceState(256, keys) : DIERR_NOTACQUIRED;
    if (result == DIERR_INPUTLOST || result == DIERR_NOTACQUIRED) {
        std::memset(keys, 0, 256);
        return true;
    }
    return SUCCEEDED(result);
}

// The device is not unacquired first: releasing it does that.
void ReleaseKeyboard() { ReleaseAll(); }

}  // namespace Platform
