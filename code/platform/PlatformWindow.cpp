#include "platform/PlatformWindow.h"

#include "StaticOrder.h"
#include "platform/PlatformWindowInternal.h"

#include <SDL.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>

namespace Platform {

static SDL_Window* window = nullptr;
static SDL_GLContext context = nullptr;
static SDL_GLContext chosenContext = nullptr;  // made by ChooseGLFormat, handed over by CreateGLContext
static std::string windowError STATIC_ORDER(STATIC_WINDOW);
static std::deque<WindowMessage> pending STATIC_ORDER(STATIC_WINDOW);
static bool quitPosted = false;
static int quitCode = 0;
static bool destroySent = false;
static uint32_t focusChanges = 0;

// --- window ----------------------------------------------------------------

static void SetFormatAttributes(const GLPixelFormat& format) {
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    int channel = format.colorBits >= 24 ? 8 : (format.colorBits >= 15 ? 5 : 4);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, channel);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, channel);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, channel);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, format.depthBits);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, format.stencilBits);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
}

// Only drivers that show a window count: when the display cannot be reached
// SDL falls back to drawing into memory, and the program would run unseen.
static bool ShowsWindows(const char* driver) {
    return driver && (std::strcmp(driver, "x11") == 0 || std::strcmp(driver, "wayland") == 0);
}

static bool TryStartVideo() {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        windowError = SDL_GetError();
        return false;
    }
    const char* driver = SDL_GetCurrentVideoDriver();
    if (ShowsWindows(driver)) return true;
    windowError = std::string("the display cannot be reached (only the \"") + (driver ? driver : "") +
                  "\" video driver started)";
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return false;
}

// A display that is briefly unavailable (an X server resetting) gets about
// a second before the start counts as failed.
bool StartWindowSystem() {
    if (SDL_WasInit(SDL_INIT_VIDEO)) return true;
    const char* display = getenv("DISPLAY");
    const char* wayland = getenv("WAYLAND_DISPLAY");
    if ((!display || !*display) && (!wayland || !*wayland)) {
        windowError = "no display";
        return false;
    }
    const int attempts = 5;
    for (int attempt = 1; attempt <= attempts; ++attempt) {
        if (TryStartVideo()) return true;
        if (attempt < attempts) SDL_Delay(250);
    }
    return false;
}

bool CreateMainWindow(const std::string& title, int width, int height) {
    if (window) {
        windowError = "the window exists already";
        return false;
    }
    if (!StartWindowSystem()) return false;
    // The window system picks the window's visual now; a common format keeps
    // every later context choice compatible with it.
    GLPixelFormat common{32, 24, 0};
    SetFormatAttributes(common);
    window = SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, width, height,
                              SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!window) {
        windowError = SDL_GetError();
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return false;
    }
    pending.clear();
    quitPosted = false;
    quitCode = 0;
    destroySent = false;
    SDL_StartTextInput();
    return true;
}

void ShowMainWindow() {
    if (window) SDL_ShowWindow(window);
}

void DestroyMainWindow() {
    if (!window) return;
    DeleteGLContext();
    SDL_StopTextInput();
    SDL_DestroyWindow(window);
    window = nullptr;
    pending.clear();
    // The whole of SDL, so that its session-bus connection goes too.
    SDL_Quit();
}

WindowHandle MainWindow() { return window; }

std::string WindowErrorText() { return windowError; }

void MainWindowSize(int& width, int& height) {
    width = height = 0;
    if (window) SDL_GetWindowSize(window, &width, &height);
}

// Niceness can only be lowered again with the privilege or the RLIMIT_NICE
// allowance to do so; without it a lowered priority would stay for the run.
static bool MayReturnTo(int niceness) {
    if (geteuid() == 0) return true;
    rlimit limit{};
    if (getrlimit(RLIMIT_NICE, &limit) != 0) return false;
    return limit.rlim_cur == RLIM_INFINITY || 20 - int(limit.rlim_cur) <= niceness;
}

static bool priorityLowered = false;
static int nicenessBeforeLowering = 0;

void SetProcessPriority(ProcessPriority priority) {
    if (priority == ProcessPriority::Normal) {
        if (priorityLowered) setpriority(PRIO_PROCESS, 0, nicenessBeforeLowering);
        priorityLowered = false;
        return;
    }
    if (!priorityLowered) {
        errno = 0;
        int current = getpriority(PRIO_PROCESS, 0);
        if (errno != 0 || !MayReturnTo(current)) return;
        nicenessBeforeLowering = current;
        priorityLowered = true;
    }
    int lowered = priority == ProcessPriority::BelowNormal ? 5 : 19;
    setpriority(PRIO_PROCESS, 0, std::max(lowered, nicenessBeforeLowering));
}

uint32_t FocusChangeCount() { return focusChanges; }

bool WindowHasFocus() { return window && SDL_GetKeyboardFocus() == window; }

// --- messages --------------------------------------------------------------

static void Push(MessageKind kind, uint32_t code = 0) {
    WindowMessage message;
    message.kind = kind;
    message.code = code;
    pending.push_back(message);
}

static void PushMouse(MessageKind kind, int x, int y, MouseButton button) {
    WindowMessage message;
    message.kind = kind;
    message.x = x;
    message.y = y;
    message.button = button;
    pending.push_back(message);
}

// Windows-1252 bytes 0x80-0x9F stand for these code points; 0 marks a hole.
static const uint16_t cp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// The Windows-1252 byte of a code point, or 0 when it has none.
static uint8_t ToWindows1252(uint32_t codePoint) {
    if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF)) return static_cast<uint8_t>(codePoint);
    for (int i = 0; i < 32; ++i)
        if (cp1252High[i] && cp1252High[i] == codePoint) return static_cast<uint8_t>(0x80 + i);
    return 0;
}

void TranslateTypedText(const char* utf8, std::string& bytes) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(utf8);
    while (*p) {
        uint32_t codePoint = *p;
        int extra = codePoint >= 0xF0 ? 3 : codePoint >= 0xE0 ? 2 : codePoint >= 0xC0 ? 1 : 0;
        if (codePoint >= 0x80 && codePoint < 0xC0) extra = -1;  // stray continuation byte
        ++p;
        if (extra < 0) continue;
        codePoint &= extra ? (0x3F >> extra) : 0x7F;
        bool complete = true;
        for (int i = 0; i < extra; ++i, ++p) {
            if ((*p & 0xC0) != 0x80) {
                complete = false;
                break;
            }
            codePoint = (codePoint << 6) | (*p & 0x3F);
        }
        uint8_t byte = complete ? ToWindows1252(codePoint) : 0;
        if (byte) bytes.push_back(static_cast<char>(byte));
    }
}

// The keys whose characters the text events do not carry, and the
// navigation block, which reports as extended keys.
static void TranslateKeyDown(const SDL_KeyboardEvent& key) {
    switch (key.keysym.scancode) {
    case SDL_SCANCODE_BACKSPACE: Push(MessageKind::Char, VirtualKey::Back); return;
    case SDL_SCANCODE_TAB: Push(MessageKind::Char, VirtualKey::Tab); return;
    case SDL_SCANCODE_RETURN:
    case SDL_SCANCODE_KP_ENTER: Push(MessageKind::Char, VirtualKey::Return); return;
    case SDL_SCANCODE_ESCAPE: Push(MessageKind::Char, VirtualKey::Escape); return;
    default: break;
    }
    uint32_t virtualKey = NavigationVirtualKey(key.keysym.scancode);
    if (!virtualKey) return;
    WindowMessage message;
    message.kind = MessageKind::KeyDown;
    message.code = virtualKey;
    message.extended = true;
    pending.push_back(message);
}

uint32_t NavigationVirtualKey(int scancode) {
    switch (scancode) {
    case SDL_SCANCODE_INSERT: return VirtualKey::Insert;
    case SDL_SCANCODE_DELETE: return VirtualKey::Delete;
    case SDL_SCANCODE_HOME: return VirtualKey::Home;
    case SDL_SCANCODE_END: return VirtualKey::End;
    case SDL_SCANCODE_PAGEUP: return VirtualKey::Prior;
    case SDL_SCANCODE_PAGEDOWN: return VirtualKey::Next;
    case SDL_SCANCODE_UP: return VirtualKey::Up;
    case SDL_SCANCODE_DOWN: return VirtualKey::Down;
    case SDL_SCANCODE_LEFT: return VirtualKey::Left;
    case SDL_SCANCODE_RIGHT: return VirtualKey::Right;
    default: return 0;
    }
}

static MouseButton ButtonOf(uint8_t sdlButton) {
    if (sdlButton == SDL_BUTTON_RIGHT) return MouseButton::Right;
    if (sdlButton == SDL_BUTTON_MIDDLE) return MouseButton::Middle;
    return MouseButton::Left;
}

static void PushDestroy() {
    if (destroySent) return;
    destroySent = true;
    Push(MessageKind::Destroy);
}

static void TranslateWindowEvent(const SDL_WindowEvent& event) {
    switch (event.event) {
    case SDL_WINDOWEVENT_FOCUS_GAINED:
        ++focusChanges;
        Push(MessageKind::Activate);
        break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
        ++focusChanges;
        Push(MessageKind::Deactivate);
        break;
    case SDL_WINDOWEVENT_CLOSE: PushDestroy(); break;
    default: break;
    }
}

static void Translate(const SDL_Event& event) {
    switch (event.type) {
    case SDL_TEXTINPUT: {
        std::string bytes;
        TranslateTypedText(event.text.text, bytes);
        for (char c : bytes) Push(MessageKind::Char, static_cast<uint8_t>(c));
        break;
    }
    case SDL_KEYDOWN: TranslateKeyDown(event.key); break;
    case SDL_MOUSEMOTION: PushMouse(MessageKind::MouseMove, event.motion.x, event.motion.y, MouseButton::Left); break;
    case SDL_MOUSEBUTTONDOWN:
        PushMouse(MessageKind::ButtonDown, event.button.x, event.button.y, ButtonOf(event.button.button));
        break;
    case SDL_MOUSEBUTTONUP:
        PushMouse(MessageKind::ButtonUp, event.button.x, event.button.y, ButtonOf(event.button.button));
        break;
    case SDL_MOUSEWHEEL: {
        int notches = event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -event.wheel.y : event.wheel.y;
        WindowMessage message;
        message.kind = MessageKind::Wheel;
        message.wheelDelta = notches * 120;
        pending.push_back(message);
        break;
    }
    case SDL_WINDOWEVENT: TranslateWindowEvent(event.window); break;
    case SDL_QUIT: PushDestroy(); break;  // a termination signal ends the run like a closed window
    default: break;
    }
}

bool PeekWindowMessage(WindowMessage& message) {
    if (pending.empty() && window) {
        SDL_Event event;
        while (pending.empty() && SDL_PollEvent(&event)) Translate(event);
    }
    if (!pending.empty()) {
        message = pending.front();
        pending.pop_front();
        return true;
    }
    if (quitPosted) {
        quitPosted = false;
        message = WindowMessage();
        message.kind = MessageKind::Quit;
        message.code = static_cast<uint32_t>(quitCode);
        return true;
    }
    return false;
}

void PostQuitMessage(int exitCode) {
    quitPosted = true;
    quitCode = exitCode;
}

// --- OpenGL ----------------------------------------------------------------

int DesktopColorBits() {
    SDL_DisplayMode mode;
    if (SDL_GetDesktopDisplayMode(0, &mode) != 0) return 0;
    // Pixels stored in four bytes are what other systems call a 32-bit desktop.
    return SDL_BYTESPERPIXEL(mode.format) == 4 ? 32 : SDL_BITSPERPIXEL(mode.format);
}

bool ChangeDisplayMode(int width, int height, int bitsPerPixel) {
    if (!window) return false;
    SDL_DisplayMode mode;
    if (SDL_GetDesktopDisplayMode(0, &mode) != 0) return false;
    mode.w = width;
    mode.h = height;
    mode.format = bitsPerPixel == 16 ? SDL_PIXELFORMAT_RGB565 : SDL_PIXELFORMAT_RGB888;
    SDL_DisplayMode closest;
    if (!SDL_GetClosestDisplayMode(0, &mode, &closest)) return false;
    return SDL_SetWindowDisplayMode(window, &closest) == 0 && SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN) == 0;
}

void RestoreDisplayMode() {
    if (window) SDL_SetWindowFullscreen(window, 0);
}

static bool TryFormat(const GLPixelFormat& format) {
    SetFormatAttributes(format);
    chosenContext = SDL_GL_CreateContext(window);
    return chosenContext != nullptr;
}

bool ChooseGLFormat(const GLPixelFormat& request, GLPixelFormat& chosen) {
    if (!window) return false;
    if (chosenContext) SDL_GL_DeleteContext(chosenContext);
    chosenContext = nullptr;
    // Closest first: the request, then less depth, then no stencil, then less of both.
    static const int depths[] = {32, 24, 16, 0};
    GLPixelFormat attempt = request;
    bool found = TryFormat(attempt);
    for (int stencil : {request.stencilBits, 0}) {
        for (int depth : depths) {
            if (found) break;
            if (depth > request.depthBits) continue;
            attempt.depthBits = depth;
            attempt.stencilBits = stencil;
            found = TryFormat(attempt);
        }
    }
    if (!found) return false;
    SDL_GL_GetAttribute(SDL_GL_DEPTH_SIZE, &chosen.depthBits);
    SDL_GL_GetAttribute(SDL_GL_STENCIL_SIZE, &chosen.stencilBits);
    int red = 0, green = 0, blue = 0, alpha = 0;
    SDL_GL_GetAttribute(SDL_GL_RED_SIZE, &red);
    SDL_GL_GetAttribute(SDL_GL_GREEN_SIZE, &green);
    SDL_GL_GetAttribute(SDL_GL_BLUE_SIZE, &blue);
    SDL_GL_GetAttribute(SDL_GL_ALPHA_SIZE, &alpha);
    chosen.colorBits = red + green + blue + alpha;
    if (chosen.colorBits == 24 && request.colorBits == 32) chosen.colorBits = 32;  // padded true colour
    return true;
}

bool CreateGLContext() {
    if (!chosenContext) return false;
    context = chosenContext;
    chosenContext = nullptr;
    return true;
}

bool MakeGLContextCurrent() { return window && context && SDL_GL_MakeCurrent(window, context) == 0; }

void DeleteGLContext() {
    if (window) SDL_GL_MakeCurrent(window, nullptr);
    if (context) SDL_GL_DeleteContext(context);
    if (chosenContext) SDL_GL_DeleteContext(chosenContext);
    context = chosenContext = nullptr;
}

bool HasGLContext() { return context != nullptr; }

bool SwapGLBuffers() {
    if (!window || !context) return false;
    SDL_GL_SwapWindow(window);
    return true;
}

static int SwapIntervalAdapter(int interval) { return SDL_GL_SetSwapInterval(interval) == 0 ? 1 : 0; }

void* GLProcAddress(const char* name) {
    if (!name) return nullptr;
    if (std::strcmp(name, "wglSwapIntervalEXT") == 0) return reinterpret_cast<void*>(&SwapIntervalAdapter);
    return SDL_GL_GetProcAddress(name);
}

bool HasSwapControl() { return context && SDL_GL_SetSwapInterval(SDL_GL_GetSwapInterval()) == 0; }

}  // namespace Platform
