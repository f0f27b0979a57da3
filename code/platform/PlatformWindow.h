// The program's one window, its messages and its OpenGL context.
//
// The window system's events arrive as the program's own message records,
// so that the window procedure above this layer keeps the shape it has on
// every system: typed characters, extended keys, mouse, activation, close.
//
// How a test gets a window with a current GL context, and tears it down:
//
//   #include "GLDevice.h"
//   ASSERT_TRUE(Platform::CreateMainWindow("test", 800, 600));
//   G::Setup setup;                                   // 800 x 600, windowed
//   ASSERT_TRUE(G::Init(Platform::MainWindow(), &setup));
//   ... GL calls, G::SwapBackbuffer() ...
//   G::Shutdown();
//   Platform::DestroyMainWindow();
//
// Run such tests under `xvfb-run -a` (make test does) and with one window at
// a time per process. Plain C++ only; no platform type crosses this header.
#pragma once
#include <cstdint>
#include <string>

namespace Platform {

enum class MessageKind {
    Char,        // a typed character: `code` is its Windows-1252 byte
    KeyDown,     // a key went down: `code` is its virtual-key code, `extended` as below
    MouseMove,   // `x`, `y`
    ButtonDown,  // `button`, `x`, `y`
    ButtonUp,    // `button`, `x`, `y`
    Wheel,       // `wheelDelta`: 120 per notch, positive away from the user
    Activate,    // the window got the keyboard focus
    Deactivate,  // the window lost it
    Destroy,     // the window is being closed (by the user or a termination signal)
    Quit,        // the loop should end: `code` is the exit code given to PostQuitMessage
};

enum class MouseButton { Left, Right, Middle };

struct WindowMessage {
    MessageKind kind = MessageKind::Quit;
    uint32_t code = 0;
    // KeyDown: the key is one of the navigation keys of the separate block
    // (not the number pad), as the extended-key bit says on other systems.
    bool extended = false;
    int32_t x = 0, y = 0;  // client coordinates
    MouseButton button = MouseButton::Left;
    int32_t wheelDelta = 0;
};

// Virtual-key codes of the keys that KeyDown messages carry.
namespace VirtualKey {
const uint32_t Back = 0x08, Tab = 0x09, Return = 0x0D, Escape = 0x1B;
const uint32_t Prior = 0x21, Next = 0x22, End = 0x23, Home = 0x24;
const uint32_t Left = 0x25, Up = 0x26, Right = 0x27, Down = 0x28;
const uint32_t Insert = 0x2D, Delete = 0x2E;
}  // namespace VirtualKey

// An opaque handle for the one window (null when there is none).
using WindowHandle = void*;

// Starts the window system; false when there is no display. CreateMainWindow
// starts it too.
bool StartWindowSystem();
// Creates the window hidden: `width` x `height` client area, not resizable,
// no maximize. False when there is no display or the window cannot be made;
// WindowErrorText() says why.
bool CreateMainWindow(const std::string& title, int width, int height);
void ShowMainWindow();
void DestroyMainWindow();
WindowHandle MainWindow();
std::string WindowErrorText();
// Client-area size of the window as it is on screen.
void MainWindowSize(int& width, int& height);

// Takes one pending message without waiting; false when there is none.
bool PeekWindowMessage(WindowMessage& message);
// Makes the next PeekWindowMessage answer a Quit message with this code.
void PostQuitMessage(int exitCode);

// Below normal and idle lower the priority only when the process may raise
// it again; normal returns to the priority from before the lowering.
enum class ProcessPriority { Normal, BelowNormal, Idle };
void SetProcessPriority(ProcessPriority priority);

// --- OpenGL context --------------------------------------------------------

struct GLPixelFormat {
    int colorBits = 0;
    int depthBits = 0;
    int stencilBits = 0;
};

// Bits per pixel of the desktop (a true-colour desktop counts as 32).
int DesktopColorBits();
// Full screen in the given mode; RestoreDisplayMode goes back to the desktop's.
bool ChangeDisplayMode(int width, int height, int bitsPerPixel);
void RestoreDisplayMode();
// Picks the supported format closest to `request` (less depth or stencil when
// the exact one is not offered) and reports what was chosen. False when no
// double-buffered RGBA format exists at all.
bool ChooseGLFormat(const GLPixelFormat& request, GLPixelFormat& chosen);
// Creates a compatibility (legacy) context with the chosen format.
bool CreateGLContext();
bool MakeGLContextCurrent();
// Releases the current context and deletes it; harmless without one.
void DeleteGLContext();
bool HasGLContext();
bool SwapGLBuffers();
// Entry points by name; the swap-control entry point has its usual name
// ("wglSwapIntervalEXT", taking the interval and answering nonzero on success).
void* GLProcAddress(const char* name);
// Whether the window system lets the program set the swap interval.
bool HasSwapControl();

}  // namespace Platform
