// Keyboard, typed characters and mouse: the message handlers on their own,
// the key table, and real input sent to a real window with xdotool (Xvfb).
#include <gtest/gtest.h>

#include "InputState.h"
#include "MainGame.h"
#include "TestUtil.h"
#include "platform/PlatformInput.h"
#include "platform/PlatformSystem.h"
#include "platform/PlatformWindow.h"
#include "platform/PlatformWindowInternal.h"

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

using Platform::MessageKind;
using Platform::WindowMessage;

namespace {

WindowMessage Message(MessageKind kind, uint32_t code = 0, bool extended = false) {
    WindowMessage message;
    message.kind = kind;
    message.code = code;
    message.extended = extended;
    return message;
}

WindowMessage Mouse(MessageKind kind, Platform::MouseButton button, int x = 0, int y = 0) {
    WindowMessage message;
    message.kind = kind;
    message.button = button;
    message.x = x;
    message.y = y;
    return message;
}

WindowMessage Wheel(int delta) {
    WindowMessage message;
    message.kind = MessageKind::Wheel;
    message.wheelDelta = delta;
    return message;
}

std::vector<int> DrainTyped() {
    std::vector<int> codes;
    while (TypedCharQueue::HasTypedInput()) codes.push_back(TypedCharQueue::NextTypedChar());
    return codes;
}

}  // namespace

TEST(TypedChars, EditKeysGetTheirCodes) {
    TypedCharQueue::Clear();
    EXPECT_TRUE(TypedCharQueue::HandleMessage(Message(MessageKind::Char, 'a')));
    EXPECT_TRUE(TypedCharQueue::HandleMessage(Message(MessageKind::Char, 0x08)));
    EXPECT_TRUE(TypedCharQueue::HandleMessage(Message(MessageKind::Char, 0x0D)));
    EXPECT_TRUE(TypedCharQueue::HandleMessage(Message(MessageKind::Char, 0xE9)));
    const uint32_t keys[] = {0x2D, 0x2E, 0x24, 0x23, 0x21, 0x22, 0x26, 0x28, 0x25, 0x27};
    for (uint32_t key : keys) EXPECT_TRUE(TypedCharQueue::HandleMessage(Message(MessageKind::KeyDown, key, true)));
    EXPECT_EQ(DrainTyped(), (std::vector<int>{'a', 0xFF, 0x08, 0xFE, 0xE9, 0xFD, 0xFC, 0xFB, 0xFA, 0xF9, 0xF8, 0xF7,
                                              0xF6, 0xF5, 0xF4}));
    EXPECT_EQ(TypedCharQueue::NextTypedChar(), 0);
}

TEST(TypedChars, NumberPadAndOtherKeysAreNotTyped) {
    TypedCharQueue::Clear();
    EXPECT_FALSE(TypedCharQueue::HandleMessage(Message(MessageKind::KeyDown, 0x26, false)));  // keypad Up
    EXPECT_FALSE(TypedCharQueue::HandleMessage(Message(MessageKind::KeyDown, 0x70, true)));   // F1
    EXPECT_FALSE(TypedCharQueue::HandleMessage(Message(MessageKind::MouseMove)));
    EXPECT_FALSE(TypedCharQueue::HasTypedInput());
}

TEST(MouseHandler, ClicksHeldFlagsAndEndOfFrame) {
    using Platform::MouseButton;
    EXPECT_TRUE(MouseState::HandleMessage(Mouse(MessageKind::MouseMove, MouseButton::Left, 120, -7)));
    int32_t x = 0, y = 0;
    MouseState::GetPosition(x, y);
    EXPECT_EQ(x, 120);
    EXPECT_EQ(y, -7);
    // A click and release within one frame: clicked, not held.
    EXPECT_TRUE(MouseState::HandleMessage(Mouse(MessageKind::ButtonDown, MouseButton::Left)));
    EXPECT_FALSE(MouseState::HandleMessage(Mouse(MessageKind::ButtonUp, MouseButton::Left)));
    EXPECT_TRUE(MouseState::LeftClicked());
    EXPECT_FALSE(MouseState::LeftHeld());
    EXPECT_TRUE(MouseState::HandleMessage(Mouse(MessageKind::ButtonDown, MouseButton::Right)));
    EXPECT_TRUE(MouseState::RightHeld());
    MouseState::EndFrame();
    EXPECT_FALSE(MouseState::LeftClicked());
    EXPECT_FALSE(MouseState::RightClicked());
    EXPECT_TRUE(MouseState::RightHeld());
    MouseState::GetPosition(x, y);
    EXPECT_EQ(x, 120);
    EXPECT_FALSE(MouseState::HandleMessage(Mouse(MessageKind::ButtonUp, MouseButton::Right)));
    EXPECT_FALSE(MouseState::RightHeld());
}

TEST(MouseHandler, WheelLastMessageWinsAndTruncates) {
    EXPECT_FALSE(MouseState::HandleMessage(Wheel(120)));
    EXPECT_EQ(MouseState::WheelSteps(), -1);
    MouseState::HandleMessage(Wheel(120));  // two notches away in one frame: one step
    EXPECT_EQ(MouseState::WheelSteps(), -1);
    MouseState::HandleMessage(Wheel(-240));
    EXPECT_EQ(MouseState::WheelSteps(), 2);
    MouseState::HandleMessage(Wheel(100));  // a partial notch
    EXPECT_EQ(MouseState::WheelSteps(), 0);
    MouseState::HandleMessage(Wheel(-120));
    MouseState::EndFrame();
    EXPECT_EQ(MouseState::WheelSteps(), 0);
}

TEST(KeyTable, DirectInputCodesOfTheKeysTheScenesUse) {
    // USB usage numbers: Return 40, F10 67, F11 68, Up 82, Down 81, keypad 4/5/6 92/93/94.
    EXPECT_EQ(Platform::DirectInputCode(40), 28);
    EXPECT_EQ(Platform::DirectInputCode(67), 68);
    EXPECT_EQ(Platform::DirectInputCode(68), 0x57);
    EXPECT_EQ(Platform::DirectInputCode(82), 200);
    EXPECT_EQ(Platform::DirectInputCode(81), 208);
    EXPECT_EQ(Platform::DirectInputCode(224), 29);   // left Ctrl
    EXPECT_EQ(Platform::DirectInputCode(228), 157);  // right Ctrl
    EXPECT_EQ(Platform::DirectInputCode(92), 75);
    EXPECT_EQ(Platform::DirectInputCode(93), 76);
    EXPECT_EQ(Platform::DirectInputCode(94), 77);
    EXPECT_EQ(Platform::DirectInputCode(4), 0x1E);   // A
    EXPECT_EQ(Platform::DirectInputCode(29), 0x2C);  // Z
    EXPECT_EQ(Platform::DirectInputCode(0), 0);
}

TEST(KeyTable, NoTwoKeysShareACodeExceptTheTwoBackslashes) {
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
    Platform::TranslateTypedText("a\xC3\xA9\xE2\x82\xAC\xE2\x80\x9C", bytes);  // a, e-acute, euro, left quote
    EXPECT_EQ(bytes, "a\xE9\x80\x93");
    bytes.clear();
    Platform::TranslateTypedText("\xE4\xB8\xAD" "b\xF0\x9F\x98\x80\x80\xC3", bytes);  // CJK, b, emoji, junk
    EXPECT_EQ(bytes, "b");
}

// --- real input --------------------------------------------------------------

namespace {

const char* const title = "halcyon input test";

std::string Shell(const std::string& command) {
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        while (fgets(buffer, sizeof buffer, pipe)) out += buffer;
        pclose(pipe);
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
}

// Hands the window's messages to the window procedure for up to `ms`
// milliseconds, or until `done` holds.
void Pump(int ms, const std::function<bool()>& done) {
    int64_t end = Platform::PerfCounter() + Platform::PerfFrequency() * ms / 1000;
    while (Platform::PerfCounter() < end) {
        WindowMessage message;
        while (Platform::PeekWindowMessage(message)) MainWindowProc(message);
        if (done && done()) return;
        Platform::SleepMilliseconds(2);
    }
}

class RealInput : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ok = Platform::CreateMainWindow(title, 800, 600);
        if (!ok) return;
        Platform::ShowMainWindow();
        windowId = Shell(std::string("timeout 10 xdotool search --sync --name '") + title + "' | head -1");
        ok = !windowId.empty() && KeyboardState::Start(Platform::MainWindow(), false);
    }
    static void TearDownTestSuite() {
        KeyboardState::Release();
        Platform::DestroyMainWindow();
    }
    void SetUp() override {
        ASSERT_TRUE(ok) << "no window under X (run under xvfb-run)";
        Shell("xdotool windowfocus --sync " + windowId);
        Pump(2000, [] { return Platform::WindowHasFocus(); });
        ASSERT_TRUE(Platform::WindowHasFocus());
        EndFrame();
    }
    // The frame loop's order around a scene update.
    void Frame() {
        Pump(0, nullptr);
        KeyboardState::Update();
    }
    void EndFrame() {
        TypedCharQueue::Clear();
        MouseState::EndFrame();
    }
    void Xdo(const std::string& arguments) { Shell("xdotool " + arguments); }

    static bool ok;
    static std::string windowId;
};

bool RealInput::ok = false;
std::string RealInput::windowId;

}  // namespace

TEST_F(RealInput, TypingAbAndBackspaceBetweenTwoFrames) {
    Frame();
    EndFrame();
    Xdo("type --delay 30 ab");
    Xdo("key BackSpace");
    Pump(1500, nullptr);
    Frame();
    EXPECT_EQ(DrainTyped(), (std::vector<int>{'a', 'b', 0xFF, 0x08}));
    EndFrame();
    Frame();
    EXPECT_FALSE(TypedCharQueue::HasTypedInput());
    EndFrame();
}

TEST_F(RealInput, UnreadCharactersAreDiscardedAtTheEndOfTheFrame) {
    Xdo("type --delay 30 xyz");
    Xdo("key Return Up KP_Up");
    Pump(1500, nullptr);
    Frame();
    EXPECT_EQ(TypedCharQueue::NextTypedChar(), 'x');
    EndFrame();
    Frame();
    EXPECT_EQ(TypedCharQueue::NextTypedChar(), 0);
    EndFrame();
}

TEST_F(RealInput, EnterAndExtendedKeysButNotTheNumberPad) {
    Xdo("key Return Up KP_Up Delete");
    Pump(1500, nullptr);
    Frame();
    // Num Lock is off under Xvfb: the number-pad arrow types nothing.
    EXPECT_EQ(DrainTyped(), (std::vector<int>{0xFE, 0xF7, 0xFC}));
    EndFrame();
}

TEST_F(RealInput, KeyHeldThreeFramesIsPressedInTheFirstOnly) {
    const uint8_t keyX = 0x2D;
    Xdo("keydown x");
    Pump(2000, [] { return TypedCharQueue::HasTypedInput(); });
    std::vector<bool> pressed, held;
    for (int frame = 0; frame < 3; ++frame) {
        Frame();
        pressed.push_back(KeyboardState::WasKeyPressed(keyX));
        held.push_back(KeyboardState::IsKeyDown(keyX));
        EndFrame();
        Pump(20, nullptr);
    }
    Xdo("keyup x");
    Pump(300, nullptr);
    Frame();
    EXPECT_EQ(pressed, (std::vector<bool>{true, false, false}));
    EXPECT_EQ(held, (std::vector<bool>{true, true, true}));
    EXPECT_FALSE(KeyboardState::IsKeyDown(keyX));
    EXPECT_FALSE(KeyboardState::WasKeyPressed(keyX));
    EndFrame();
}

TEST_F(RealInput, ClickAndWheelNotch) {
    Xdo("mousemove --window " + windowId + " 100 50");
    Pump(1000, [] {
        int32_t x, y;
        MouseState::GetPosition(x, y);
        return x == 100 && y == 50;
    });
    Xdo("click 1");
    Xdo("click 4");  // one notch away from the user
    Pump(1500, [] { return MouseState::WheelSteps() != 0; });
    Frame();
    int32_t x = 0, y = 0;
    MouseState::GetPosition(x, y);
    EXPECT_EQ(x, 100);
    EXPECT_EQ(y, 50);
    EXPECT_TRUE(MouseState::LeftClicked());
    EXPECT_FALSE(MouseState::LeftHeld());
    EXPECT_EQ(MouseState::WheelSteps(), -1);
    EndFrame();
    EXPECT_FALSE(MouseState::LeftClicked());
    Xdo("click 5");
    Pump(1500, [] { return MouseState::WheelSteps() != 0; });
    EXPECT_EQ(MouseState::WheelSteps(), 1);
    EndFrame();
}

TEST_F(RealInput, LosingTheFocusReleasesTheKeys) {
    const uint8_t keyQ = 0x10;
    Xdo("keydown q");
    Pump(2000, [] { return TypedCharQueue::HasTypedInput(); });
    Frame();
    EXPECT_TRUE(KeyboardState::IsKeyDown(keyQ));
    EndFrame();
    std::string root = Shell("xwininfo -root | sed -n 's/.*Window id: \\(0x[0-9a-f]*\\).*/\\1/p'");
    ASSERT_FALSE(root.empty());
    Xdo("windowfocus " + root);
    Pump(1000, [] { return !Platform::WindowHasFocus(); });
    Frame();
    EXPECT_FALSE(KeyboardState::IsKeyDown(keyQ));
    EndFrame();
    Xdo("keyup q");
}
