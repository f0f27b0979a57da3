// The operating-system services the foundation stands on: debugger output,
// clocks, call-stack capture and symbols, path resolution, message boxes and
// process information. Plain C++ only; no platform type crosses this header.
#pragma once
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

namespace Platform {

// Text for a listening debugger; dropped when none is attached.
void DebugOutput(const char* text);

// High-resolution counter (ticks) and its frequency (ticks per second).
int64_t PerfCounter();
int64_t PerfFrequency();
// Milliseconds since an arbitrary start, wrapping like a 32-bit tick count.
uint32_t TickMilliseconds();
void SleepMilliseconds(unsigned ms);
// Gives up the rest of the time slice (a sleep of 0 returns at once).
void YieldTimeSlice();

// Call stacks: addresses are cheap to capture; text is made only on demand.
// Both skip `skip` innermost frames besides their own; the first address is
// a return address into the caller's caller when skip is 1, and so on.
// CaptureStack unwinds through any code; CaptureStackQuick follows the frame
// pointers (the program keeps them), never leaves the thread's stack, and
// costs a few nanoseconds a frame.
int CaptureStack(void** frames, int maxFrames, int skip);
int CaptureStackQuick(void** frames, int maxFrames, int skip);
struct FrameInfo {
    bool moduleFound = false;
    std::string module;    // file name of the executable or shared object
    bool lineFound = false;
    bool symbolFound = false;
    std::string function;  // demangled
    std::string file;      // source path as the debug information gives it
    int line = 0;
};
bool InitSymbols();
FrameInfo DescribeFrame(void* pc);

// The message of the calling thread's last system error (errno), without a
// trailing period or line break.
std::string LastErrorText();

// Files and folders are named with the backslash paths of the game's folder,
// resolved for this file system: separators become '/', and a path that does
// not exist as written is looked up component by component ignoring ASCII
// case. A path that cannot be resolved is taken as written (with '/'), so new
// files are created as named.
FILE* OpenFile(const std::string& path, const char* mode);
bool CreateDirectory(const std::string& path);  // true if it exists afterwards
bool DeleteFile(const std::string& path);
// What tells one state of a file from another without reading it: the
// resolved path, the size and the modification time. False when there is no such file.
struct FileStamp {
    std::string path;
    uint64_t size = 0;
    int64_t modifiedNanoseconds = 0;
    bool operator==(const FileStamp&) const = default;
};
bool StampFile(const std::string& path, FileStamp& stamp);
// Names (not paths) of the regular files in `folder` whose names end with
// `suffix`, ignoring ASCII case, sorted by name.
void ListFiles(const std::string& folder, const std::string& suffix, std::function<void(const std::string&)> each);

// A system message box, waited on until answered; `yes` is true for OK or
// Yes. False, with the reason in `failure`, when no box could be shown (no
// display, or the window system refused it).
bool ShowMessageBox(const std::string& text, const std::string& caption, bool yesNo, bool& yes,
                    std::string& failure);
// Tests answer boxes through this hook instead of a dialog; an empty
// function restores the real boxes.
using MessageBoxHook = std::function<bool(const std::string& text, const std::string& caption, bool yesNo)>;
void SetMessageBoxHook(MessageBoxHook hook);

// The system's name as the system information gives it ("<system> <release>"
// outside Windows, the Windows version's text there) and the CPU vendor
// (empty where there is none).
std::string OperatingSystemName();
// The version class of the system information: 0 unknown, 1 really old, 2 NT,
// 3 95, 4 98, 5 ME, 6 2000, 7 XP, 8 2003, 9 really new. Every system other
// than Windows counts as really new.
int OperatingSystemClass();
std::string CpuVendor();

}  // namespace Platform
