// The three input sources the scenes read: the keyboard snapshot (once per
// frame), the typed characters and the mouse (both gathered from window
// messages between frames). The frame loop updates the keyboard before the
// scene update and clears characters and clicks after it, so every input is
// seen by exactly one update.
#pragma once
#include <cstdint>

#include "platform/PlatformWindow.h"

// Keys by DirectInput key code (Enter 28, F10 68, F11 0x57, Up 200, Down 208 ...).
class KeyboardState {
public:
    static bool Start(Platform::WindowHandle window, bool exclusive);
    static void Update();
    static void Release();
    static bool IsKeyDown(uint8_t code);
    // Held now and not in the previous frame.
    static bool WasKeyPressed(uint8_t code);
};

// Typed characters, with the editing keys as codes of their own.
class TypedCharQueue {
public:
    static constexpr uint8_t Backspace = 0xFF;  // followed by 0x08
    static constexpr uint8_t Enter = 0xFE;
    static constexpr uint8_t Insert = 0xFD;
    static constexpr uint8_t Delete = 0xFC;
    static constexpr uint8_t Home = 0xFB;
    static constexpr uint8_t End = 0xFA;
    static constexpr uint8_t PageUp = 0xF9;
    static constexpr uint8_t PageDown = 0xF8;
    static constexpr uint8_t Up = 0xF7;
    static constexpr uint8_t Down = 0xF6;
    static constexpr uint8_t Left = 0xF5;
    static constexpr uint8_t Right = 0xF4;

    // True when the message was a typed character or an extended editing key.
    static bool HandleMessage(const Platform::WindowMessage& message);
    static bool HasTypedInput();
    // The oldest entry, removed; 0 when there is none.
    static uint8_t NextTypedChar();
    static void Clear();
};

class MouseState {
public:
    // True for moves and button presses; releases and the wheel go on to the
    // window's default handling.
    static bool HandleMessage(const Platform::WindowMessage& message);
    static void GetPosition(int32_t& x, int32_t& y);
    static bool LeftClicked();
    static bool RightClicked();
    static bool LeftHeld();
    static bool RightHeld();
    // -1 for a notch away from the user, +1 toward; the last wheel message of the frame wins.
    static int32_t WheelSteps();
    static void EndFrame();
};
