// The Windows headers for the Win32 side of the platform layer. Included
// before the layer's own headers: <windows.h> turns MessageBox, DeleteFile,
// CreateDirectory and CreateWindow into macros, which would rename the
// layer's functions of the same names in one file and not in the others.
#pragma once
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#undef MessageBox
#undef DeleteFile
#undef CreateDirectory
#undef CreateWindow

#include <string>

namespace Platform {

// The text of a system error code, without the trailing period and line break.
std::string SystemErrorText(DWORD code);

}  // namespace Platform
