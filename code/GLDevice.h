// The graphics foundation's device layer: start-up on a window, the driver's
// extensions and their entry points, GL error reports, presenting frames and
// the callbacks resources hang on the device's life.
//
// A test that needs a context: see platform/PlatformWindow.h (CreateMainWindow,
// then G::Init(Platform::MainWindow(), &setup), and G::Shutdown() with
// DestroyMainWindow() at the end).
#pragma once
#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdint>
#include <functional>
#include <string>

#include "CThread.h"

namespace G {

// The start-up request. The fields the foundation does not read are kept so
// that callers written against the record still fit.
struct Setup {
    uint32_t unusedWord = 0;
    bool fullscreen = false;
    bool colour32 = true;  // full screen: 32 bits per pixel, else 16
    uint32_t width = 800;  // also the whole-window viewport
    uint32_t height = 600;
    bool unusedFlag = false;
    uint32_t systemInfoWord = 1;
    bool unusedFlag2 = true;
    bool unusedFlag3 = false;
    bool stencil = false;  // cleared by Init when the chosen format has none
};

using WglSwapIntervalProc = int (*)(int interval);

// Entry points of the optional extensions; null when the extension is absent
// or its lookup failed. Check the capability flags before using shaders or 3D
// textures.
struct ExtensionTable {
    // GL_ARB_vertex_buffer_object
    PFNGLBINDBUFFERARBPROC glBindBufferARB = nullptr;
    PFNGLDELETEBUFFERSARBPROC glDeleteBuffersARB = nullptr;
    PFNGLGENBUFFERSARBPROC glGenBuffersARB = nullptr;
    PFNGLISBUFFERARBPROC glIsBufferARB = nullptr;
    PFNGLBUFFERDATAARBPROC glBufferDataARB = nullptr;
    PFNGLBUFFERSUBDATAARBPROC glBufferSubDataARB = nullptr;
    PFNGLGETBUFFERSUBDATAARBPROC glGetBufferSubDataARB = nullptr;
    PFNGLMAPBUFFERARBPROC glMapBufferARB = nullptr;
    PFNGLUNMAPBUFFERARBPROC glUnmapBufferARB = nullptr;
    PFNGLGETBUFFERPARAMETERIVARBPROC glGetBufferParameterivARB = nullptr;
    PFNGLGETBUFFERPOINTERVARBPROC glGetBufferPointervARB = nullptr;
    // GL_ARB_multitexture
    PFNGLACTIVETEXTUREARBPROC glActiveTextureARB = nullptr;
    PFNGLCLIENTACTIVETEXTUREARBPROC glClientActiveTextureARB = nullptr;
    PFNGLMULTITEXCOORD1FARBPROC glMultiTexCoord1fARB = nullptr;
    PFNGLMULTITEXCOORD2FVARBPROC glMultiTexCoord2fvARB = nullptr;
    PFNGLMULTITEXCOORD2FARBPROC glMultiTexCoord2fARB = nullptr;
    PFNGLMULTITEXCOORD3FVARBPROC glMultiTexCoord3fvARB = nullptr;
    PFNGLMULTITEXCOORD3FARBPROC glMultiTexCoord3fARB = nullptr;
    PFNGLMULTITEXCOORD4FVARBPROC glMultiTexCoord4fvARB = nullptr;
    PFNGLMULTITEXCOORD4FARBPROC glMultiTexCoord4fARB = nullptr;
    // GL_ARB_shader_objects
    PFNGLCREATEPROGRAMOBJECTARBPROC glCreateProgramObjectARB = nullptr;
    PFNGLCREATESHADEROBJECTARBPROC glCreateShaderObjectARB = nullptr;
    PFNGLDELETEOBJECTARBPROC glDeleteObjectARB = nullptr;
    PFNGLSHADERSOURCEARBPROC glShaderSourceARB = nullptr;
    PFNGLCOMPILESHADERARBPROC glCompileShaderARB = nullptr;
    PFNGLATTACHOBJECTARBPROC glAttachObjectARB = nullptr;
    PFNGLLINKPROGRAMARBPROC glLinkProgramARB = nullptr;
    PFNGLUSEPROGRAMOBJECTARBPROC glUseProgramObjectARB = nullptr;
    PFNGLGETOBJECTPARAMETERFVARBPROC glGetObjectParameterfvARB = nullptr;
    PFNGLGETOBJECTPARAMETERIVARBPROC glGetObjectParameterivARB = nullptr;
    PFNGLGETINFOLOGARBPROC glGetInfoLogARB = nullptr;
    PFNGLGETUNIFORMLOCATIONARBPROC glGetUniformLocationARB = nullptr;
    PFNGLUNIFORMMATRIX4FVARBPROC glUniformMatrix4fvARB = nullptr;
    PFNGLUNIFORMMATRIX3FVARBPROC glUniformMatrix3fvARB = nullptr;
    PFNGLUNIFORMMATRIX2FVARBPROC glUniformMatrix2fvARB = nullptr;
    PFNGLUNIFORM4FVARBPROC glUniform4fvARB = nullptr;
    PFNGLUNIFORM3FVARBPROC glUniform3fvARB = nullptr;
    PFNGLUNIFORM2FVARBPROC glUniform2fvARB = nullptr;
    PFNGLUNIFORM1FVARBPROC glUniform1fvARB = nullptr;
    // WGL_EXT_swap_control
    WglSwapIntervalProc wglSwapIntervalEXT = nullptr;
    // GL_EXT_texture3D
    PFNGLTEXIMAGE3DEXTPROC glTexImage3DEXT = nullptr;

    bool shadersAvailable = false;
    bool textures3DAvailable = false;
    bool twoSidedStencilAvailable = false;
};

// The process-wide table that CheckExtensions fills.
extern ExtensionTable Extensions;

// Held by the frame's draw step and by every buffer and texture operation.
extern CriticalSection GraphicsLock;

bool Init(void* window, const Setup* setup);
void Shutdown();
// Run once at process exit: shuts down a foundation that was left running.
void ShutdownCheck();
bool IsInited();
const Setup& GetSetup();
bool IsColor32();
bool HasStencil();
bool CanRender();
bool HasFatalError();
void SwapBackbuffer();

bool CheckExtensions();
// The same check on a given extension string (CheckExtensions passes the
// driver's own).
bool CheckExtensionString(const std::string& extensions);
bool IsExtensionSupported(const std::string& name);

const char* GLErrorText(GLenum code);
// Logs every pending GL error under `header`; true when there was one.
bool ReportGLErrors(const std::string& header, bool withCallStack);
// The same report over any source of error codes (ReportGLErrors reads the
// driver's); the source answers GL_NO_ERROR when it has no more.
bool ReportErrorSequence(const std::string& header, bool withCallStack, const std::function<GLenum()>& next);
void ClearGLErrors();

using DeviceCallback = void (*)();
void RegisterShutdownCallback(DeviceCallback callback);
void RegisterDeviceLostCallback(DeviceCallback callback);
void RegisterDeviceRestoreCallback(DeviceCallback callback);
void SetDeviceLost(bool lost);

// The warnings on a chosen pixel format, in their order; clears the stencil
// flag of `setup` when a stencil was asked for and not given.
struct PixelFormatBits {
    int colorBits = 0;
    int depthBits = 0;
    int stencilBits = 0;
};
void CheckChosenFormat(Setup& setup, const PixelFormatBits& chosen);
void CheckDesktopDepth(int bitsPerPixel);

}  // namespace G
