#include "platform/win32/Win32.h"

#include <dbghelp.h>
#include <mmsystem.h>
#include <cpuid.h>
#include <cxxabi.h>

#include "StaticOrder.h"
#include "platform/PlatformSystem.h"
#include "platform/PlatformWindow.h"
#include "platform/win32/OsVersion.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <vector>

namespace Platform {

std::string SystemErrorText(DWORD code) {
    char buffer[512];
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                  buffer, sizeof buffer, nullptr);
    std::string text(buffer, length);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == '.' || text.back() == ' '))
        text.pop_back();
    return text.empty() ? "error " + std::to_string(code) : text;
}

// --- debugger output -------------------------------------------------------

void DebugOutput(const char* text) {
    if (text && IsDebuggerPresent()) OutputDebugStringA(text);
}

// --- clocks ----------------------------------------------------------------

int64_t PerfCounter() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

int64_t PerfFrequency() {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return frequency.QuadPart;
}

uint32_t TickMilliseconds() { return timeGetTime(); }

void SleepMilliseconds(unsigned ms) { Sleep(ms); }

void YieldTimeSlice() { Sleep(0); }

// --- call stacks -----------------------------------------------------------

// One more frame is skipped for this function's own.
__attribute__((noinline)) int CaptureStack(void** frames, int maxFrames, int skip) {
    int n = 0;
    while (n < maxFrames) {
        USHORT got = RtlCaptureStackBackTrace(DWORD(1 + skip + n), DWORD(std::min(maxFrames - n, 62)), frames + n,
                                              nullptr);
        if (got == 0) break;
        n += got;
    }
    return n;
}

// GCC's frame pointer on 64-bit Windows does not point at the saved one (the
// unwind tables describe the frames instead), so the quick capture unwinds
// too; one more frame is skipped for this function's own.
__attribute__((noinline)) int CaptureStackQuick(void** frames, int maxFrames, int skip) {
    int count = CaptureStack(frames, maxFrames, skip + 1);
    asm volatile("" ::: "memory");  // keeps this frame: no tail call
    return count;
}

// dbghelp is single-threaded; symbols stay loaded until the process ends,
// because the memory manager's leak report, the last thing the program
// does, still needs them.
static std::mutex symbolMutex;
static bool symbolsLoaded = false;

bool InitSymbols() {
    std::lock_guard<std::mutex> lock(symbolMutex);
    if (symbolsLoaded) return true;
    SymSetOptions(SymGetOptions() | SYMOPT_UNDNAME | SYMOPT_LOAD_LINES | SYMOPT_DEFERRED_LOADS);
    symbolsLoaded = SymInitialize(GetCurrentProcess(), nullptr, TRUE) != FALSE;
    return symbolsLoaded;
}

// The compiler's names are the Itanium kind, which dbghelp leaves as they are.
static std::string Demangle(const char* name) {
    int status = 0;
    char* out = abi::__cxa_demangle(name, nullptr, nullptr, &status);
    if (!out) return name;
    std::string result(out);
    free(out);
    return result;
}

FrameInfo DescribeFrame(void* pc) {
    FrameInfo info;
    std::lock_guard<std::mutex> lock(symbolMutex);
    if (!symbolsLoaded) return info;
    HANDLE process = GetCurrentProcess();
    // A module loaded after start-up is found once dbghelp has been told of it.
    HMODULE loaded = nullptr;
    char path[MAX_PATH];
    if (!SymGetModuleBase64(process, DWORD64(pc)) &&
        GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           static_cast<const char*>(pc), &loaded) &&
        GetModuleFileNameA(loaded, path, sizeof path))
        SymLoadModuleEx(process, nullptr, path, nullptr, DWORD64(loaded), 0, nullptr, 0);
    IMAGEHLP_MODULE64 module;
    std::memset(&module, 0, sizeof module);
    module.SizeOfStruct = sizeof module;
    if (!SymGetModuleInfo64(process, DWORD64(pc), &module)) return info;
    info.moduleFound = true;
    info.module = module.ModuleName;
    // pc - 1: a return address reports the line of its call.
    DWORD64 address = DWORD64(pc) - 1;
    IMAGEHLP_LINE64 line;
    std::memset(&line, 0, sizeof line);
    line.SizeOfStruct = sizeof line;
    DWORD displacement = 0;
    if (SymGetLineFromAddr64(process, address, &displacement, &line) && line.FileName) {
        info.lineFound = true;
        info.file = line.FileName;
        info.line = int(line.LineNumber);
    }
    alignas(SYMBOL_INFO) char storage[sizeof(SYMBOL_INFO) + MAX_SYM_NAME];
    SYMBOL_INFO* symbol = reinterpret_cast<SYMBOL_INFO*>(storage);
    std::memset(storage, 0, sizeof storage);
    symbol->SizeOfStruct = sizeof(SYMBOL_INFO);
    symbol->MaxNameLen = MAX_SYM_NAME;
    DWORD64 offset = 0;
    if (SymFromAddr(process, address, &offset, symbol)) {
        info.symbolFound = true;
        info.function = Demangle(symbol->Name);
    }
    return info;
}

std::string LastErrorText() {
    DWORD code = GetLastError();
    return code ? SystemErrorText(code) : "";
}

// --- paths and files -------------------------------------------------------

// Backslashes are native here and names ignore case already, so paths are
// taken as written. Always in binary mode: the logs and files the program writes hold the same
// bytes on every system (text mode would turn each "\n" into "\r\n").
FILE* OpenFile(const std::string& path, const char* mode) {
    std::string binary;
    for (const char* c = mode; *c; ++c)
        if (*c != 't' && *c != 'b') binary += *c;
    return std::fopen(path.c_str(), (binary + "b").c_str());
}

static bool IsFolder(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool CreateDirectory(const std::string& path) {
    CreateDirectoryA(path.c_str(), nullptr);
    return IsFolder(path);
}

bool DeleteFile(const std::string& path) { return DeleteFileA(path.c_str()) != FALSE; }

// The time as the standard library reads and sets it (whole seconds in this
// compiler's library on Windows), so that a time put back is the same time.
bool StampFile(const std::string& path, FileStamp& stamp) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return false;
    auto size = std::filesystem::file_size(path, ec);
    if (ec) return false;
    auto modified = std::filesystem::last_write_time(path, ec);
    if (ec) return false;
    stamp.path = std::filesystem::absolute(path, ec).string();
    stamp.size = uint64_t(size);
    stamp.modifiedNanoseconds =
        std::chrono::duration_cast<std::chrono::nanoseconds>(modified.time_since_epoch()).count();
    return true;
}

static bool EndsWithIgnoreCase(const std::string& name, const std::string& suffix) {
    return name.size() >= suffix.size() &&
           std::equal(suffix.begin(), suffix.end(), name.end() - suffix.size(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

void ListFiles(const std::string& folder, const std::string& suffix,
               std::function<void(const std::string&)> each) {
    std::string pattern = (folder.empty() ? std::string(".") : folder) + "\\*";
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    std::vector<std::string> names;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        if (EndsWithIgnoreCase(found.cFileName, suffix)) names.push_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) each(name);
}

// --- message boxes ---------------------------------------------------------

static std::mutex hookMutex;

// Never destroyed: the memory manager's exit report, after every other
// static is gone, still shows its boxes through the hook.
static MessageBoxHook& Hook() {
    static Immortal<MessageBoxHook> hook;
    return *hook;
}

void SetMessageBoxHook(MessageBoxHook hook) {
    std::lock_guard<std::mutex> lock(hookMutex);
    Hook() = std::move(hook);
}

bool ShowMessageBox(const std::string& text, const std::string& caption, bool yesNo, bool& yes,
                    std::string& failure) {
    {
        std::lock_guard<std::mutex> lock(hookMutex);
        if (Hook()) {
            yes = Hook()(text, caption, yesNo);
            return true;
        }
    }
    yes = false;
    HWND owner = static_cast<HWND>(MainWindow());
    int answer = MessageBoxA(owner, text.c_str(), caption.c_str(), yesNo ? MB_YESNO : MB_OK);
    if (answer == 0) {
        failure = SystemErrorText(GetLastError());
        return false;
    }
    // An OK box closed with Escape answers IDCANCEL under Wine: still seen.
    yes = yesNo ? answer == IDYES : true;
    return true;
}

// --- process ---------------------------------------------------------------

std::string OperatingSystemName() { return OsVersionText(CurrentOsVersionClass()); }

int OperatingSystemClass() { return CurrentOsVersionClass(); }

std::string CpuVendor() {
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(0, &a, &b, &c, &d)) return "";
    char vendor[13];
    std::memcpy(vendor, &b, 4);
    std::memcpy(vendor + 4, &d, 4);
    std::memcpy(vendor + 8, &c, 4);
    vendor[12] = 0;
    return vendor;
}

}  // namespace Platform
