// The keyboard as a 256-key snapshot keyed by DirectInput key codes (the
// numbering the scenes use: Enter 28, F10 68, F11 0x57, Up 200, Down 208 ...).
// It follows the window's keyboard focus: a focus change counts as a lost
// device, and without the focus no key is held.
#pragma once
#include <cstdint>

#include "platform/PlatformWindow.h"

namespace Platform {

enum class KeyboardStart { Started, NoInputSystem, NoDevice, NoCooperation };

// NoInputSystem without an input system (a window system here), NoDevice
// without a keyboard device, NoCooperation when the window cannot have it.
KeyboardStart StartKeyboard(WindowHandle window);
// False once after the window lost or regained the focus (the device must be
// acquired again), and while the keyboard is not started.
bool PollKeyboard();
// True when the window has the focus, so the keys can be read.
bool AcquireKeyboard();
// keys[code] is 0x80 for a held key, 0 otherwise. False while not started.
bool ReadKeyboard(uint8_t keys[256]);
void ReleaseKeyboard();

// The DirectInput code of a key by its USB usage number (0 for keys
// DirectInput has no code for).
uint8_t DirectInputCode(int usbUsage);

}  // namespace Platform
