#include "InputState.h"

#include "LogFile.h"
#include "StaticOrder.h"
#include "platform/PlatformInput.h"

#include <bitset>
#include <deque>

namespace {

std::bitset<256> currentKeys, previousKeys;
std::deque<uint8_t> typedChars STATIC_ORDER(STATIC_INPUT);

struct Mouse {
    int32_t x = 0, y = 0;
    bool leftClicked = false, rightClicked = false;
    bool leftHeld = false, rightHeld = false;
    int32_t wheelSteps = 0;
} mouse;

}  // namespace

// --- keyboard ----------------------------------------------------------------

// The focus decides who gets keys here whatever `exclusive` asks; the program
// starts the keyboard shared.
bool KeyboardState::Start(Platform::WindowHandle window, bool /*exclusive*/) {
    switch (Platform::StartKeyboard(window)) {
    case Platform::KeyboardStart::NoInputSystem:
        ErrorLog << "Failed to initialize DirectInput (keyboard state manager)\n";
        return false;
    case Platform::KeyboardStart::NoDevice:
        ErrorLog << "Failed to create DirectInput keyboard device\n";
        return false;
    case Platform::KeyboardStart::NoCooperation:
        ErrorLog << "Keyboard refused to cooperate\n";
        return false;
    case Platform::KeyboardStart::Started: break;
    }
    currentKeys.reset();
    previousKeys.reset();
    return true;
}

void KeyboardState::Update() {
    if (!Platform::PollKeyboard() && Platform::AcquireKeyboard()) {
        currentKeys.reset();
        previousKeys.reset();
    }
    previousKeys = currentKeys;
    uint8_t keys[256];
    if (!Platform::ReadKeyboard(keys)) return;
    for (int code = 0; code < 256; ++code) currentKeys[code] = keys[code] != 0;
}

void KeyboardState::Release() { Platform::ReleaseKeyboard(); }

bool KeyboardState::IsKeyDown(uint8_t code) { return currentKeys[code]; }

bool KeyboardState::WasKeyPressed(uint8_t code) { return currentKeys[code] && !previousKeys[code]; }

// --- typed characters --------------------------------------------------------

static uint8_t EditKeyCode(uint32_t virtualKey) {
    switch (virtualKey) {
    case Platform::VirtualKey::Insert: return TypedCharQueue::Insert;
    case Platform::VirtualKey::Delete: return TypedCharQueue::Delete;
    case Platform::VirtualKey::Home: return TypedCharQueue::Home;
    case Platform::VirtualKey::End: return TypedCharQueue::End;
    case Platform::VirtualKey::Prior: return TypedCharQueue::PageUp;
    case Platform::VirtualKey::Next: return TypedCharQueue::PageDown;
    case Platform::VirtualKey::Up: return TypedCharQueue::Up;
    case Platform::VirtualKey::Down: return TypedCharQueue::Down;
    case Platform::VirtualKey::Left: return TypedCharQueue::Left;
    case Platform::VirtualKey::Right: return TypedCharQueue::Right;
    default: return 0;
    }
}

bool TypedCharQueue::HandleMessage(const Platform::WindowMessage& message) {
    if (message.kind == Platform::MessageKind::Char) {
        uint8_t character = static_cast<uint8_t>(message.code);
        if (character == 0x08) {
            typedChars.push_back(Backspace);
            typedChars.push_back(0x08);
        } else if (character == 0x0D) {
            typedChars.push_back(Enter);
        } else {
            typedChars.push_back(character);
        }
        return true;
    }
    if (message.kind == Platform::MessageKind::KeyDown && message.extended) {
        uint8_t code = EditKeyCode(message.code);
        if (!code) return false;
        typedChars.push_back(code);
        return true;
    }
    return false;
}

bool TypedCharQueue::HasTypedInput() { return !typedChars.empty(); }

uint8_t TypedCharQueue::NextTypedChar() {
    if (typedChars.empty()) return 0;
    uint8_t next = typedChars.front();
    typedChars.pop_front();
    return next;
}

void TypedCharQueue::Clear() { typedChars.clear(); }

// --- mouse -------------------------------------------------------------------

bool MouseState::HandleMessage(const Platform::WindowMessage& message) {
    using Platform::MessageKind;
    using Platform::MouseButton;
    switch (message.kind) {
    case MessageKind::MouseMove:
        mouse.x = static_cast<int16_t>(message.x);
        mouse.y = static_cast<int16_t>(message.y);
        return true;
    case MessageKind::ButtonDown:
        if (message.button == MouseButton::Left) mouse.leftClicked = mouse.leftHeld = true;
        if (message.button == MouseButton::Right) mouse.rightClicked = mouse.rightHeld = true;
        return message.button != MouseButton::Middle;
    case MessageKind::ButtonUp:
        if (message.button == MouseButton::Left) mouse.leftHeld = false;
        if (message.button == MouseButton::Right) mouse.rightHeld = false;
        return false;
    case MessageKind::Wheel:
        // Truncating toward zero, as the notch count of a partial delta does.
        mouse.wheelSteps = -(static_cast<int16_t>(message.wheelDelta) / 120);
        return false;
    default: return false;
    }
}

void MouseState::GetPosition(int32_t& x, int32_t& y) {
    x = mouse.x;
    y = mouse.y;
}

bool MouseState::LeftClicked() { return mouse.leftClicked; }
bool MouseState::RightClicked() { return mouse.rightClicked; }
bool MouseState::LeftHeld() { return mouse.leftHeld; }
bool MouseState::RightHeld() { return mouse.rightHeld; }
int32_t MouseState::WheelSteps() { return mouse.wheelSteps; }

void MouseState::EndFrame() {
    mouse.leftClicked = mouse.rightClicked = false;
    mouse.wheelSteps = 0;
}
