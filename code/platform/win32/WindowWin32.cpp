#include "platform/win32/Win32.h"

#include <windowsx.h>

#include "platform/PlatformWindow.h"
#include "platform/PlatformWindowInternal.h"

#include <csignal>
#include <cstring>
#include <deque>

namespace Platform {

static const wchar_t* const WindowClassName = L"HalcyonWindow";

static HINSTANCE instance = nullptr;
static bool classRegistered = false;
static HWND window = nullptr;
static bool windowGone = false;  // destroyed by the user; the handle is only a name now
static HDC dc = nullptr;
static HGLRC context = nullptr;
static int chosenFormat = 0;
static std::string windowError;
static std::deque<WindowMessage> pending;
static bool destroySent = false;
static uint32_t focusChanges = 0;

// --- the window procedure --------------------------------------------------

static void Push(MessageKind kind, uint32_t code = 0, bool extended = false) {
    WindowMessage message;
    message.kind = kind;
    message.code = code;
    message.extended = extended;
    pending.push_back(message);
}

static void PushMouse(MessageKind kind, LPARAM lParam, MouseButton button) {
    WindowMessage message;
    message.kind = kind;
    message.x = GET_X_LPARAM(lParam);
    message.y = GET_Y_LPARAM(lParam);
    message.button = button;
    pending.push_back(message);
}

// No maximizing, sizing, screen saver, monitor power-off or menu by key.
static bool IsSwallowedCommand(WPARAM command) {
    switch (command & 0xFFF0) {
    case SC_CONTEXTHELP:
    case SC_HOTKEY:
    case SC_HSCROLL:
    case SC_MAXIMIZE:
    case SC_MONITORPOWER:
    case SC_SCREENSAVE:
    case SC_SIZE:
    case SC_VSCROLL:
    case SC_KEYMENU: return true;
    default: return false;
    }
}

static uint8_t ToWindows1252(wchar_t c) {
    char byte = 0;
    BOOL lost = FALSE;
    if (WideCharToMultiByte(1252, WC_NO_BEST_FIT_CHARS, &c, 1, &byte, 1, nullptr, &lost) != 1 || lost) return 0;
    return static_cast<uint8_t>(byte);
}

static LRESULT CALLBACK WindowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CHAR:
        // A Unicode window: the characters become Windows-1252 bytes whatever
        // the system's code page; those outside it are dropped.
        if (uint8_t byte = ToWindows1252(wchar_t(wParam))) Push(MessageKind::Char, byte);
        return 0;
    case WM_KEYDOWN: Push(MessageKind::KeyDown, uint32_t(wParam), (lParam >> 24) & 1); return 0;
    case WM_MOUSEMOVE: PushMouse(MessageKind::MouseMove, lParam, MouseButton::Left); return 0;
    case WM_LBUTTONDOWN: PushMouse(MessageKind::ButtonDown, lParam, MouseButton::Left); return 0;
    case WM_RBUTTONDOWN: PushMouse(MessageKind::ButtonDown, lParam, MouseButton::Right); return 0;
    case WM_MBUTTONDOWN: PushMouse(MessageKind::ButtonDown, lParam, MouseButton::Middle); return 0;
    case WM_LBUTTONUP: PushMouse(MessageKind::ButtonUp, lParam, MouseButton::Left); break;
    case WM_RBUTTONUP: PushMouse(MessageKind::ButtonUp, lParam, MouseButton::Right); break;
    case WM_MBUTTONUP: PushMouse(MessageKind::ButtonUp, lParam, MouseButton::Middle); break;
    case WM_MOUSEWHEEL: {
        WindowMessage wheel;
        wheel.kind = MessageKind::Wheel;
        wheel.wheelDelta = GET_WHEEL_DELTA_WPARAM(wParam);
        pending.push_back(wheel);
        break;
    }
    case WM_PAINT: ValidateRect(hwnd, nullptr); return 0;
    case WM_SYSCOMMAND:
        if (IsSwallowedCommand(wParam)) return 0;
        break;
    case WM_ACTIVATE:
        ++focusChanges;
        Push(LOWORD(wParam) == WA_INACTIVE ? MessageKind::Deactivate : MessageKind::Activate);
        return 0;
    case WM_CREATE: return 0;
    case WM_DESTROY:
        windowGone = true;
        if (!destroySent) Push(MessageKind::Destroy);
        destroySent = true;
        return 0;
    default: break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// --- window ----------------------------------------------------------------

// A termination signal closes the window as the user would.
static void CloseOnTermination(int) {
    std::signal(SIGTERM, CloseOnTermination);
    if (window && !windowGone) PostMessageW(window, WM_CLOSE, 0, 0);
}

bool StartWindowSystem() {
    if (classRegistered) return true;
    instance = GetModuleHandleW(nullptr);
    WNDCLASSW windowClass;
    std::memset(&windowClass, 0, sizeof windowClass);
    windowClass.style = CS_CLASSDC;
    windowClass.lpfnWndProc = WindowProcedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.lpszClassName = WindowClassName;
    if (!RegisterClassW(&windowClass)) {
        windowError = SystemErrorText(GetLastError());
        return false;
    }
    classRegistered = true;
    return true;
}

bool CreateMainWindow(const std::string& title, int width, int height) {
    if (window) {
        windowError = "the window exists already";
        return false;
    }
    if (!StartWindowSystem()) return false;
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    RECT outer{0, 0, width, height};
    AdjustWindowRect(&outer, style, FALSE);
    pending.clear();
    destroySent = false;
    windowGone = false;
    // A quit left from an earlier window must not end this one's loop.
    MSG stale;
    while (PeekMessageW(&stale, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
    wchar_t wideTitle[256] = L"";
    MultiByteToWideChar(1252, 0, title.c_str(), -1, wideTitle, 255);
    window = CreateWindowExW(0, WindowClassName, wideTitle, style, CW_USEDEFAULT, CW_USEDEFAULT,
                             outer.right - outer.left, outer.bottom - outer.top, nullptr, nullptr, instance, nullptr);
    if (!window) {
        windowError = SystemErrorText(GetLastError());
        return false;
    }
    dc = GetDC(window);
    std::signal(SIGTERM, CloseOnTermination);
    return true;
}

void ShowMainWindow() {
    if (!window || windowGone) return;
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
    UpdateWindow(window);
}

void DestroyMainWindow() {
    if (!window) return;
    std::signal(SIGTERM, SIG_DFL);
    DeleteGLContext();
    if (dc && !windowGone) ReleaseDC(window, dc);
    dc = nullptr;
    if (!windowGone) DestroyWindow(window);
    window = nullptr;
    chosenFormat = 0;
    pending.clear();
}

WindowHandle MainWindow() { return window; }

std::string WindowErrorText() { return windowError; }

void MainWindowSize(int& width, int& height) {
    width = height = 0;
    RECT client;
    if (window && !windowGone && GetClientRect(window, &client)) {
        width = client.right - client.left;
        height = client.bottom - client.top;
    }
}

// A process may always raise its own class again here; normal is the class
// from before the lowering, so a player's own choice survives.
static DWORD classBeforeLowering = 0;

void SetProcessPriority(ProcessPriority priority) {
    HANDLE process = GetCurrentProcess();
    if (priority == ProcessPriority::Normal) {
        if (classBeforeLowering) SetPriorityClass(process, classBeforeLowering);
        classBeforeLowering = 0;
        return;
    }
    if (!classBeforeLowering) classBeforeLowering = GetPriorityClass(process);
    SetPriorityClass(process, priority == ProcessPriority::BelowNormal ? BELOW_NORMAL_PRIORITY_CLASS
                                                                       : IDLE_PRIORITY_CLASS);
}

uint32_t FocusChangeCount() { return focusChanges; }

bool WindowHasFocus() { return window && !windowGone && GetFocus() == window; }

// Text that arrives as UTF-8.
void TranslateTypedText(const char* utf8, std::string& bytes) {
    int wide = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
    if (wide <= 1) return;
    std::wstring text(size_t(wide), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8, -1, text.data(), wide);
    for (wchar_t c : text)
        if (uint8_t byte = c ? ToWindows1252(c) : 0) bytes.push_back(static_cast<char>(byte));
}

// --- messages --------------------------------------------------------------

bool PeekWindowMessage(WindowMessage& message) {
    MSG msg;
    while (pending.empty() && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            message = WindowMessage();
            message.kind = MessageKind::Quit;
            message.code = uint32_t(msg.wParam);
            return true;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    if (pending.empty()) return false;
    message = pending.front();
    pending.pop_front();
    return true;
}

void PostQuitMessage(int exitCode) { ::PostQuitMessage(exitCode); }

// --- OpenGL ----------------------------------------------------------------

int DesktopColorBits() {
    HDC screen = GetDC(nullptr);
    int bits = GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES);
    ReleaseDC(nullptr, screen);
    return bits;
}

bool ChangeDisplayMode(int width, int height, int bitsPerPixel) {
    DEVMODEA mode;
    std::memset(&mode, 0, sizeof mode);
    mode.dmSize = sizeof mode;
    if (!EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode)) return false;
    mode.dmPelsWidth = DWORD(width);
    mode.dmPelsHeight = DWORD(height);
    mode.dmBitsPerPel = DWORD(bitsPerPixel);
    mode.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
    return ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN) == DISP_CHANGE_SUCCESSFUL;
}

void RestoreDisplayMode() { ChangeDisplaySettingsA(nullptr, 0); }

bool ChooseGLFormat(const GLPixelFormat& request, GLPixelFormat& chosen) {
    if (!dc) return false;
    PIXELFORMATDESCRIPTOR format;
    std::memset(&format, 0, sizeof format);
    format.nSize = sizeof format;
    format.nVersion = 1;
    format.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    format.iPixelType = PFD_TYPE_RGBA;
    format.cColorBits = BYTE(request.colorBits);
    format.cDepthBits = BYTE(request.depthBits);
    format.cStencilBits = BYTE(request.stencilBits);
    format.iLayerType = PFD_MAIN_PLANE;
    int index = ChoosePixelFormat(dc, &format);
    if (!index || !DescribePixelFormat(dc, index, sizeof format, &format)) return false;
    chosenFormat = index;
    chosen.colorBits = format.cColorBits;
    chosen.depthBits = format.cDepthBits;
    chosen.stencilBits = format.cStencilBits;
    return true;
}

bool CreateGLContext() {
    if (!dc || !chosenFormat || context) return false;
    // A window's format is set once for its life; a second start keeps it.
    if (GetPixelFormat(dc) == 0) {
        PIXELFORMATDESCRIPTOR format;
        DescribePixelFormat(dc, chosenFormat, sizeof format, &format);
        if (!SetPixelFormat(dc, chosenFormat, &format)) return false;
    }
    context = wglCreateContext(dc);
    return context != nullptr;
}

bool MakeGLContextCurrent() { return dc && context && wglMakeCurrent(dc, context); }

void DeleteGLContext() {
    wglMakeCurrent(nullptr, nullptr);
    if (context) wglDeleteContext(context);
    context = nullptr;
}

bool HasGLContext() { return context != nullptr; }

bool SwapGLBuffers() { return dc && context && SwapBuffers(dc); }

void* GLProcAddress(const char* name) {
    if (!name) return nullptr;
    PROC address = wglGetProcAddress(name);
    // The 1.1 core comes from the library itself; some drivers answer small
    // numbers instead of null for what they lack.
    intptr_t value = reinterpret_cast<intptr_t>(address);
    if (value >= -1 && value <= 3) {
        static HMODULE library = LoadLibraryA("opengl32.dll");
        address = library ? GetProcAddress(library, name) : nullptr;
    }
    return reinterpret_cast<void*>(address);
}

bool HasSwapControl() {
    if (!context) return false;
    using ExtensionsString = const char*(WINAPI*)();
    auto extensions = reinterpret_cast<ExtensionsString>(GLProcAddress("wglGetExtensionsStringEXT"));
    const char* list = extensions ? extensions() : nullptr;
    return list && std::strstr(list, "WGL_EXT_swap_control") && GLProcAddress("wglSwapIntervalEXT");
}

}  // namespace Platform
