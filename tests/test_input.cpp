// Keyboard, typed characters and mouse: the message handlers on their own,
// the key table, and real input sent to a real window with xdotool (Xvfb).
#include <gtest/gtest.h>

#include "InputState.h"
#include "ShellInputTest.h"
#include "platform/PlatformInput.h"

#include <string>
#include <vector>

using Platform::MessageKind;
using Platform::MouseButton;
using Platform::WindowMessage;
using ShellInputTest::Pump;
using ShellInputTest::Shell;

namespace {

WindowMessage Message(MessageKind kind, uint32_t code = 0, bool extended = false) {
    WindowMessage message;
    message.kind = kind;
    message.code = code;
    message.extended = extended;
    return message;
}

WindowMessage Mouse(MessageKind kind, MouseButton button, int wheelDelta = 0) {
    WindowMessage message = Message(kind);
    message.button = button;
    message.wheelDelta = wheelDelta;
    return message;
}

std::vector<int> DrainTyped() {
    std::vector<int> codes;
    while (TypedCharQueue::HasTypedInput()) codes.push_back(TypedCharQueue::NextTypedChar());
    return codes;
}

}  // namespace

TEST(TypedChars, EditKeysGetTheirCodesAndOtherKeysAreNotTyped) {
    TypedCharQueue::Clear();
    for (uint32_t c : {uint32_t('a'), 0x08u, 0x0Du, 0xE9u})
        EXPECT_TRUE(TypedCharQueue::HandleMessage(Message(MessageKind::Char, c)));
    for (uint32_t key : {0x2D, 0x2E, 0x24, 0x23, 0x21, 0x22, 0x26, 0x28, 0x25, 0x27})
        EXPECT_TRUE(TypedCharQueue::HandleMessage(Message(MessageKind::KeyDown, key, true)));
    // Keypad Up, F1 and a mouse move are not typed.
    EXPECT_FALSE(TypedCharQueue::HandleMessage(Message(MessageKind::KeyDown, 0x26, false)));
    EXPECT_FALSE(TypedCharQueue::HandleMessage(Message(MessageKind::KeyDown, 0x70, true)));
    EXPECT_FALSE(TypedCharQueue::HandleMessage(Message(MessageKind::MouseMove)));
    EXPECT_EQ(DrainTyped(), (std::vector<int>{'a', 0xFF, 0x08, 0xFE, 0xE9, 0xFD, 0xFC, 0xFB, 0xFA,
                                              0xF9, 0xF8, 0xF7, 0xF6, 0xF5, 0xF4}));
    EXPECT_EQ(TypedCharQueue::NextTypedChar(), 0);
}

TEST(MouseHandler, ClicksHeldFlagsWheelAndEndOfFrame) {
    WindowMessage move = Mouse(MessageKind::MouseMove, MouseButton::Left);
    move.x = 120;
    move.y = -7;
    EXPECT_TRUE(MouseState::HandleMessage(move));
    int32_t x = 0, y = 0;
    MouseState::GetPosition(x, y);
    EXPECT_EQ(std::pair(x, y), std::pair(120, -7));
    // A click and release within one frame: clicked, not held.
    EXPECT_TRUE(MouseState::HandleMessage(Mouse(MessageKind::ButtonDown, MouseButton::Left)));
    EXPECT_FALSE(MouseState::HandleMessage(Mouse(MessageKind::ButtonUp, MouseButton::Left)));
    EXPECT_TRUE(MouseState::LeftClicked());
    EXPECT_FALSE(MouseState::LeftHeld());
    EXPECT_TRUE(MouseState::HandleMessage(Mouse(MessageKind::ButtonDown, MouseButton::Right)));
    EXPECT_TRUE(MouseState::RightHeld());
    // The wheel: two notches away in one frame are one step; a partial notch is none.
    const std::pair<int, int> deltaSteps[] = {{120, -1}, {120, -1}, {-240, 2}, {100, 0}, {-120, 1}};
    for (auto [delta, steps] : deltaSteps) {
        EXPECT_FALSE(MouseState::HandleMessage(Mouse(MessageKind::Wheel, MouseButton::Left, delta)));
        EXPECT_EQ(MouseState::WheelSteps(), steps) << delta;
    }
    MouseState::EndFrame();
    EXPECT_FALSE(MouseState::LeftClicked());
    EXPECT_FALSE(MouseState::RightClicked());
    EXPECT_EQ(MouseState::WheelSteps(), 0);
    EXPECT_TRUE(MouseState::RightHeld());
    EXPECT_FALSE(MouseState::HandleMessage(Mouse(MessageKind::ButtonUp, MouseButton::Right)));
    EXPECT_FALSE(MouseState::RightHeld());
}

TEST(KeyTable, DirectInputCodesAndNoCodeSharedButTheTwoBackslashes) {
    // USB usage numbers: Return, F10, F11, Up, Down, left and right Ctrl, keypad 4/5/6, A, Z, none.
    const std::pair<int, int> usageCode[] = {{40, 28},  {67, 68},   {68, 0x57}, {82, 200}, {81, 208},
                                             {224, 29}, {228, 157}, {92, 75},   {93, 76},  {94, 77},
                                             {4, 0x1E}, {29, 0x2C}, {0, 0}};
    for (auto [usage, code] : usageCode) EXPECT_EQ(Platform::DirectInputCode(usage), code) << usage;
    std::vector<int> owner(256, -1);
    for (int usage = 0; usage < 512; ++usage) {
        int code = Platform::DirectInputCode(usage);
        if (!code) continue;
        if (owner[code] >= 0) {
            EXPECT_EQ(code, 0x2B) << "usage " << usage << " and " << owner[code];
        }
        owner[code] = usage;
    }
}

TEST(TypedText, Utf8BecomesWindows1252) {
    std::string bytes;
    // a, e-acute, euro, left quote; then CJK, b, emoji and junk.
    Platform::TranslateTypedText("a\xC3\xA9\xE2\x82\xAC\xE2\x80\x9C", bytes);
    EXPECT_EQ(bytes, "a\xE9\x80\x93");
    bytes.clear();
    Platform::TranslateTypedText("\xE4\xB8\xAD" "b\xF0\x9F\x98\x80\x80\xC3", bytes);
    EXPECT_EQ(bytes, "b");
}

// --- real input --------------------------------------------------------------

namespace {

// The frame loop's order around a scene update.
void Frame() {
    Pump(0);
    KeyboardState::Update();
}

void Xdo(const std::string& arguments) { Shell("xdotool " + arguments); }

}  // namespace

TEST(RealInput, TypedCharactersAndAKeyHeldUntilTheFocusGoes) {
    ASSERT_TRUE(Platform::CreateMainWindow("halcyon input test", 800, 600)) << "no X display (run under xvfb-run)";
    ASSERT_FALSE(ShellInputTest::FocusMainWindow("halcyon input test").empty());
    ASSERT_TRUE(KeyboardState::Start(Platform::MainWindow(), false));
    Frame();
    TypedCharQueue::Clear();
    Xdo("type --delay 30 ab");
    // Num Lock is off under Xvfb: the number-pad arrow types nothing.
    Xdo("key BackSpace Return Up KP_Up Delete");
    Pump(1500);
    Frame();
    EXPECT_EQ(DrainTyped(), (std::vector<int>{'a', 'b', 0xFF, 0x08, 0xFE, 0xF7, 0xFC}));

    const uint8_t keyQ = 0x10;
    Xdo("keydown q");
    Pump(2000, [] { return TypedCharQueue::HasTypedInput(); });
    Frame();
    EXPECT_TRUE(KeyboardState::WasKeyPressed(keyQ));
    Frame();
    EXPECT_TRUE(KeyboardState::IsKeyDown(keyQ));
    EXPECT_FALSE(KeyboardState::WasKeyPressed(keyQ));  // pressed in its first frame only
#ifndef _WIN32
    // Losing the focus releases the keys (Wine keeps the focus when X hands it to the bare root window).
    Xdo("windowfocus " + Shell("xwininfo -root | sed -n 's/.*Window id: \\(0x[0-9a-f]*\\).*/\\1/p'"));
    Pump(1000, [] { return !Platform::WindowHasFocus(); });
    Frame();
    EXPECT_FALSE(KeyboardState::IsKeyDown(keyQ));
#endif
    Xdo("keyup q");
    Pump(300);
    Frame();
    EXPECT_FALSE(KeyboardState::IsKeyDown(keyQ));
    KeyboardState::Release();
    Platform::DestroyMainWindow();
}
