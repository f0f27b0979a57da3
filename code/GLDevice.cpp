#include "GLDevice.h"

#include "GLRender.h"

#include "FileUtil.h"
#include "LogFile.h"
#include "StaticOrder.h"
#include "platform/PlatformWindow.h"

#include <cctype>
#include <vector>

namespace G {

ExtensionTable Extensions;
CriticalSection GraphicsLock STATIC_ORDER(STATIC_GRAPHICS);

namespace {

Setup setupCopy;
StringList extensionTokens STATIC_ORDER(STATIC_GRAPHICS);
std::vector<DeviceCallback> shutdownCallbacks STATIC_ORDER(STATIC_GRAPHICS);
std::vector<DeviceCallback> deviceLostCallbacks STATIC_ORDER(STATIC_GRAPHICS);
std::vector<DeviceCallback> deviceRestoreCallbacks STATIC_ORDER(STATIC_GRAPHICS);
bool deviceLost = false;

bool Fail(const char* message) {
    ErrorLog << message;
    Shutdown();
    return false;
}

bool ChooseAndCreateContext() {
    Platform::GLPixelFormat request, chosen;
    request.colorBits = setupCopy.fullscreen ? (setupCopy.colour32 ? 32 : 16) : Platform::DesktopColorBits();
    request.depthBits = 32;
    request.stencilBits = setupCopy.stencil ? 8 : 0;
    if (!Platform::ChooseGLFormat(request, chosen))
        return Fail("Couldn't find a pixel format to use similar to request.\n");
    CheckChosenFormat(setupCopy, PixelFormatBits{chosen.colorBits, chosen.depthBits, chosen.stencilBits});
    if (!Platform::CreateGLContext()) return Fail("Failed to create OpenGL rendering context.\n");
    if (!Platform::MakeGLContextCurrent())
        return Fail("Failed to set OpenGL rendering context as the current context.\n");
    return true;
}

const char* GLString(GLenum name) {
    const GLubyte* text = glGetString(name);
    return text ? reinterpret_cast<const char*>(text) : "";
}

void LogDriverInfo() {
    StatLog << "OpenGL info:\n"
            << "  vender: " << GLString(GL_VENDOR) << "\n"
            << "  renderer: " << GLString(GL_RENDERER) << "\n"
            << "  version: " << GLString(GL_VERSION) << "\n\n";
}

void RunCallbacks(const std::vector<DeviceCallback>& callbacks) {
    // By index: a callback may register another one.
    for (size_t i = 0; i < callbacks.size(); ++i) callbacks[i]();
}

template <class Pointer>
void LoadEntryPoint(Pointer& slot, const char* name) {
    slot = reinterpret_cast<Pointer>(Platform::GLProcAddress(name));
    if (!slot) ErrorLog << "Failed to get pointer to GL Extension function: " << name << "\n";
}

#define LOAD_ENTRY(name) LoadEntryPoint(Extensions.name, #name)

void LoadBufferObjects() {
    LOAD_ENTRY(glBindBufferARB);
    LOAD_ENTRY(glDeleteBuffersARB);
    LOAD_ENTRY(glGenBuffersARB);
    LOAD_ENTRY(glIsBufferARB);
    LOAD_ENTRY(glBufferDataARB);
    LOAD_ENTRY(glBufferSubDataARB);
    LOAD_ENTRY(glGetBufferSubDataARB);
    LOAD_ENTRY(glMapBufferARB);
    LOAD_ENTRY(glUnmapBufferARB);
    LOAD_ENTRY(glGetBufferParameterivARB);
    LOAD_ENTRY(glGetBufferPointervARB);
}

void LoadMultitexture() {
    LOAD_ENTRY(glActiveTextureARB);
    LOAD_ENTRY(glClientActiveTextureARB);
    LOAD_ENTRY(glMultiTexCoord1fARB);
    LOAD_ENTRY(glMultiTexCoord2fvARB);
    LOAD_ENTRY(glMultiTexCoord2fARB);
    LOAD_ENTRY(glMultiTexCoord3fvARB);
    LOAD_ENTRY(glMultiTexCoord3fARB);
    LOAD_ENTRY(glMultiTexCoord4fvARB);
    LOAD_ENTRY(glMultiTexCoord4fARB);
}

void LoadShaderObjects() {
    LOAD_ENTRY(glCreateProgramObjectARB);
    LOAD_ENTRY(glCreateShaderObjectARB);
    LOAD_ENTRY(glDeleteObjectARB);
    LOAD_ENTRY(glShaderSourceARB);
    LOAD_ENTRY(glCompileShaderARB);
    LOAD_ENTRY(glAttachObjectARB);
    LOAD_ENTRY(glLinkProgramARB);
    LOAD_ENTRY(glUseProgramObjectARB);
    LOAD_ENTRY(glGetObjectParameterfvARB);
    LOAD_ENTRY(glGetObjectParameterivARB);
    LOAD_ENTRY(glGetInfoLogARB);
    LOAD_ENTRY(glGetUniformLocationARB);
    LOAD_ENTRY(glUniformMatrix4fvARB);
    LOAD_ENTRY(glUniformMatrix3fvARB);
    LOAD_ENTRY(glUniformMatrix2fvARB);
    LOAD_ENTRY(glUniform4fvARB);
    LOAD_ENTRY(glUniform3fvARB);
    LOAD_ENTRY(glUniform2fvARB);
    LOAD_ENTRY(glUniform1fvARB);
}

void CheckShaderExtensions() {
    Extensions.shadersAvailable = true;
    if (!IsExtensionSupported("GL_ARB_shading_language_100")) Extensions.shadersAvailable = false;
    if (IsExtensionSupported("GL_ARB_shader_objects") && Extensions.shadersAvailable) {
        LoadShaderObjects();
        return;
    }
    Extensions.shadersAvailable = false;
    ErrorLog << "Your video card doesn't support OpenGL shaders... things may not work at all.\n";
}

void CheckStencilExtensions() {
    Extensions.twoSidedStencilAvailable = IsExtensionSupported("ATI_separate_stencil");
    if (IsExtensionSupported("GL_EXT_stencil_two_side")) Extensions.twoSidedStencilAvailable = true;
}

// Guards against a driver that answers an error for ever (a lost context).
const int MaxPendingErrors = 1000;

}  // namespace

bool Init(void* window, const Setup* setup) {
    if (!setup) return false;
    setupCopy = *setup;
    // The platform layer has the one window; the handle only says which one.
    if (!window || window != Platform::MainWindow()) return Fail("Init was handed a window that doesn't exist.\n");
    CheckDesktopDepth(Platform::DesktopColorBits());
    if (setupCopy.fullscreen && !Platform::ChangeDisplayMode(static_cast<int>(setupCopy.width),
                                                             static_cast<int>(setupCopy.height),
                                                             setupCopy.colour32 ? 32 : 16))
        return Fail("Failed to change display mode.\n");
    if (!ChooseAndCreateContext()) return false;
    ReportGLErrors("OpenGL Init Errors (will ignore and try anyways:", true);
    LogDriverInfo();
    if (!CheckExtensions())
        return Fail("Some vital OpenGL extension is not available on your video card.  Init aborting.\n");
    if (Extensions.wglSwapIntervalEXT) Extensions.wglSwapIntervalEXT(setupCopy.fullscreen ? 1 : 0);
    glEnable(GL_BLEND);
    SetDefaultRenderState();
    return true;
}

void CheckDesktopDepth(int bitsPerPixel) {
    if (bitsPerPixel != 16 && bitsPerPixel != 32)
        ErrorLog << "Warning: Desktop color bit depth should be 16 or 32.  Change to 16bpp or 32bpp if Init fails.\n";
}

void CheckChosenFormat(Setup& setup, const PixelFormatBits& chosen) {
    if (chosen.depthBits == 0) ErrorLog << "Warning: No depth buffer in selected pixel format.\n";
    if (setup.stencil && chosen.stencilBits == 0) {
        ErrorLog << "Warning: Stencil buffer requested but not being made.\n";
        setup.stencil = false;
    }
    if (setup.fullscreen && setup.colour32 && chosen.colorBits != 32)
        ErrorLog << "Warning: 32 bpp format requested but not chosen.\n";
    if (setup.fullscreen && !setup.colour32 && chosen.colorBits != 16)
        ErrorLog << "Warning: 16 bpp format requested but not chosen.\n";
}

void Shutdown() {
    RunCallbacks(shutdownCallbacks);
    ScopedLock lock(GraphicsLock);
    Platform::DeleteGLContext();
    Platform::RestoreDisplayMode();
}

void ShutdownCheck() {
    if (!IsInited()) return;
    ErrorLog << "Warning: Graphics foundation never shut down\n"
             << " -Attempting automatic shutdown... ";
    Shutdown();
    ErrorLog << "OK\n";
}

namespace {
// Runs the exit-time check after main has returned, while the callback lists
// and whatever the callbacks free still exist.
struct ExitCheck {
    ~ExitCheck() { ShutdownCheck(); }
} exitCheck STATIC_ORDER(STATIC_GRAPHICS_EXIT);
}  // namespace

bool IsInited() { return Platform::HasGLContext(); }
const Setup& GetSetup() { return setupCopy; }
bool IsColor32() { return setupCopy.colour32; }
bool HasStencil() { return setupCopy.stencil; }
bool CanRender() { return true; }
bool HasFatalError() { return false; }

void SwapBackbuffer() {
    if (!Platform::SwapGLBuffers()) ErrorLog << "Swapping backbuffer failed...\n";
}

bool IsExtensionSupported(const std::string& name) {
    for (const std::string& token : extensionTokens) {
        if (token.size() != name.size()) continue;
        bool same = true;
        for (size_t i = 0; i < name.size() && same; ++i)
            same = std::tolower(static_cast<unsigned char>(token[i])) == std::tolower(static_cast<unsigned char>(name[i]));
        if (same) {
            StatLog << name << " supported.\n";
            return true;
        }
    }
    StatLog << "* " << name << " NOT supported.\n";
    return false;
}

bool CheckExtensions() {
    std::string extensions = GLString(GL_EXTENSIONS);
    // The window system's swap control goes under the name the table knows it by.
    if (Platform::HasSwapControl()) extensions += " WGL_EXT_swap_control";
    return CheckExtensionString(extensions);
}

bool CheckExtensionString(const std::string& extensions) {
    StatLog << "Checking OpenGL Extensions:\n";
    SplitString(extensions, extensionTokens, " \t\n");
    Extensions = ExtensionTable();
    bool vital = IsExtensionSupported("GL_ARB_vertex_buffer_object");
    if (vital) LoadBufferObjects();
    IsExtensionSupported("GL_ARB_pixel_buffer_object");
    IsExtensionSupported("GL_EXT_pixel_buffer_object");
    if (IsExtensionSupported("GL_ARB_multitexture")) LoadMultitexture();
    CheckShaderExtensions();
    IsExtensionSupported("GL_ARB_texture_cube_map");
    if (IsExtensionSupported("WGL_EXT_swap_control")) LOAD_ENTRY(wglSwapIntervalEXT);
    Extensions.textures3DAvailable = IsExtensionSupported("GL_EXT_texture3D");
    if (Extensions.textures3DAvailable) LOAD_ENTRY(glTexImage3DEXT);
    CheckStencilExtensions();
    if (!IsExtensionSupported("GL_ARB_texture_mirrored_repeat"))
        StatLog << "Pathetic video card detected... some texture edges may not blend correctly ...\n";
    StatLog << "\n";
    return vital;
}

const char* GLErrorText(GLenum code) {
    switch (code) {
    case GL_INVALID_ENUM: return "An invalid enum was specifed.\n";
    case GL_INVALID_VALUE: return "A numeric argument had an invalid value.\n";
    case GL_INVALID_OPERATION: return "Operation not allowed in the current state.\n";
    case GL_STACK_OVERFLOW: return "An operation would have caused a stack overflow.\n";
    case GL_STACK_UNDERFLOW: return "An operation would have caused a stack underflow.\n";
    case GL_OUT_OF_MEMORY: return "Out of memory.  This is bad.\n";
    default: return "...unknown error...\n";
    }
}

bool ReportGLErrors(const std::string& header, bool withCallStack) {
    return ReportErrorSequence(header, withCallStack, [] { return glGetError(); });
}

bool ReportErrorSequence(const std::string& header, bool withCallStack, const std::function<GLenum()>& next) {
    std::string text;
    int count = 0;
    for (GLenum code = next(); code != GL_NO_ERROR && count < MaxPendingErrors; code = next(), ++count)
        text += GLErrorText(code);
    if (text.empty()) return false;
    ErrorLog << header << text;
    if (withCallStack) ErrorLog << "  -call stack:\n" << CallStackText();
    ErrorLog << "\n";
    return true;
}

void ClearGLErrors() {
    for (int i = 0; i < MaxPendingErrors && glGetError() != GL_NO_ERROR; ++i) {
    }
}

void RegisterShutdownCallback(DeviceCallback callback) { shutdownCallbacks.push_back(callback); }
void RegisterDeviceLostCallback(DeviceCallback callback) { deviceLostCallbacks.push_back(callback); }
void RegisterDeviceRestoreCallback(DeviceCallback callback) { deviceRestoreCallbacks.push_back(callback); }

void SetDeviceLost(bool lost) {
    if (lost == deviceLost) return;
    deviceLost = lost;
    RunCallbacks(lost ? deviceLostCallbacks : deviceRestoreCallbacks);
}

}  // namespace G
