#include "platform/PlatformSystem.h"

#include "StaticOrder.h"

#include <SDL.h>
#include <cxxabi.h>
#include <elfutils/libdwfl.h>
#include <execinfo.h>
#include <pthread.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>
#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace Platform {

// --- debugger output -------------------------------------------------------

static bool DebuggerAttached() {
    static const bool attached = [] {
        std::ifstream status("/proc/self/status");
        std::string line;
        while (std::getline(status, line))
            if (line.rfind("TracerPid:", 0) == 0) return std::atoi(line.c_str() + 10) != 0;
        return false;
    }();
    return attached;
}

void DebugOutput(const char* text) {
    if (text && DebuggerAttached()) fputs(text, stderr);
}

// --- clocks ----------------------------------------------------------------

int64_t PerfCounter() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int64_t PerfFrequency() { return 1000000000; }

uint32_t TickMilliseconds() { return static_cast<uint32_t>(PerfCounter() / 1000000); }

void SleepMilliseconds(unsigned ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

void YieldTimeSlice() { std::this_thread::yield(); }

// --- call stacks -----------------------------------------------------------

__attribute__((noinline)) int CaptureStack(void** frames, int maxFrames, int skip) {
    void* buffer[160];
    int want = std::min(maxFrames + skip + 8, 160);
    int got = backtrace(buffer, want);
    // The caller's frame is the one holding our return address; a sanitizer's
    // own backtrace may put frames of its own before it.
    void* caller = __builtin_return_address(0);
    int first = std::min(got, 1);
    for (int i = 0; i < got; ++i)
        if (buffer[i] == caller) {
            first = i;
            break;
        }
    first = std::min(got, first + skip);
    int n = std::min(got - first, maxFrames);
    std::copy(buffer + first, buffer + first + n, frames);
    return n;
}

namespace {
struct StackBounds {
    uintptr_t low = 0, high = 0;
};

const StackBounds& ThreadStack() {
    thread_local StackBounds bounds;
    if (bounds.high) return bounds;
    pthread_attr_t attr;
    if (pthread_getattr_np(pthread_self(), &attr) == 0) {
        void* address = nullptr;
        size_t size = 0;
        if (pthread_attr_getstack(&attr, &address, &size) == 0) {
            bounds.low = reinterpret_cast<uintptr_t>(address);
            bounds.high = bounds.low + size;
        }
        pthread_attr_destroy(&attr);
    }
    if (!bounds.high) bounds.high = 1;  // unknown: nothing is captured
    return bounds;
}
}  // namespace

// Each frame holds the caller's frame pointer and then the return address.
// A frame of code built without frame pointers ends the walk as soon as the
// chain leaves the stack or stops rising.
__attribute__((noinline, no_sanitize_address)) int CaptureStackQuick(void** frames, int maxFrames, int skip) {
    const StackBounds& stack = ThreadStack();
    uintptr_t fp = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
    int count = 0;
    for (int index = 0; count < maxFrames; ++index) {
        if (fp < stack.low || fp > stack.high - 2 * sizeof(uintptr_t) || fp % sizeof(uintptr_t)) break;
        const uintptr_t* frame = reinterpret_cast<const uintptr_t*>(fp);
        if (!frame[1]) break;
        if (index >= skip) frames[count++] = reinterpret_cast<void*>(frame[1]);
        if (frame[0] <= fp) break;
        fp = frame[0];
    }
    return count;
}

// Symbols stay loaded until the process ends: the memory manager's leak
// report, the last thing the program does, still needs them.
static std::mutex symbolMutex;
static Dwfl* dwfl = nullptr;

bool InitSymbols() {
    std::lock_guard<std::mutex> lock(symbolMutex);
    if (dwfl) return true;
    static const Dwfl_Callbacks callbacks = {dwfl_linux_proc_find_elf, dwfl_standard_find_debuginfo,
                                             nullptr, nullptr};
    Dwfl* d = dwfl_begin(&callbacks);
    if (!d) return false;
    if (dwfl_linux_proc_report(d, getpid()) != 0 || dwfl_report_end(d, nullptr, nullptr) != 0) {
        dwfl_end(d);
        return false;
    }
    dwfl = d;
    return true;
}

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
    if (!dwfl) return info;
    Dwarf_Addr addr = reinterpret_cast<Dwarf_Addr>(pc);
    Dwfl_Module* module = dwfl_addrmodule(dwfl, addr);
    if (!module) {
        // Modules loaded after start-up (dlopen) are found after a new report.
        dwfl_report_begin_add(dwfl);
        dwfl_linux_proc_report(dwfl, getpid());
        dwfl_report_end(dwfl, nullptr, nullptr);
        module = dwfl_addrmodule(dwfl, addr);
    }
    if (!module) return info;
    const char* path = dwfl_module_info(module, nullptr, nullptr, nullptr, nullptr, nullptr,
                                        nullptr, nullptr);
    info.moduleFound = true;
    info.module = path ? fs::path(path).filename().string() : "?";
    // pc - 1: a return address reports the line of its call.
    Dwfl_Line* line = dwfl_module_getsrc(module, addr - 1);
    if (line) {
        int lineNo = 0;
        const char* file = dwfl_lineinfo(line, nullptr, &lineNo, nullptr, nullptr, nullptr);
        if (file) {
            info.lineFound = true;
            info.file = file;
            info.line = lineNo;
        }
    }
    const char* name = dwfl_module_addrname(module, addr - 1);
    if (name) {
        info.symbolFound = true;
        info.function = Demangle(name);
    }
    return info;
}

std::string LastErrorText() {
    int code = errno;
    if (code == 0) return "";
    return std::strerror(code);
}

// --- paths and files -------------------------------------------------------

static bool EqualsIgnoreCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// Finds `name` in `folder`, first as written, then ignoring ASCII case.
static bool FindEntry(const fs::path& folder, const std::string& name, fs::path& found) {
    std::error_code ec;
    fs::path direct = folder / name;
    if (fs::exists(fs::symlink_status(direct, ec))) {
        found = direct;
        return true;
    }
    fs::directory_iterator it(folder.empty() ? fs::path(".") : folder, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        std::string entry = it->path().filename().string();
        if (EqualsIgnoreCase(entry, name)) {
            found = folder / entry;
            return true;
        }
    }
    return false;
}

static std::string ResolvePath(const std::string& path) {
    std::string slashed = path;
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    std::error_code ec;
    if (slashed.empty() || fs::exists(fs::symlink_status(slashed, ec))) return slashed;

    // The longest existing prefix is matched ignoring case; the rest, which
    // does not exist yet, keeps the case it was written in.
    fs::path current = slashed[0] == '/' ? fs::path("/") : fs::path();
    bool found = true;
    size_t start = 0;
    while (start <= slashed.size()) {
        size_t end = slashed.find('/', start);
        if (end == std::string::npos) end = slashed.size();
        std::string part = slashed.substr(start, end - start);
        start = end + 1;
        if (part.empty() || part == ".") continue;
        fs::path next;
        if (found && part != ".." && FindEntry(current, part, next)) {
            current = next;
        } else {
            found = false;
            current /= part;
        }
    }
    return current.string();
}

FILE* OpenFile(const std::string& path, const char* mode) {
    return std::fopen(ResolvePath(path).c_str(), mode);
}

bool CreateDirectory(const std::string& path) {
    std::string resolved = ResolvePath(path);
    std::error_code ec;
    fs::create_directory(resolved, ec);
    return fs::is_directory(resolved, ec);
}

bool DeleteFile(const std::string& path) { return std::remove(ResolvePath(path).c_str()) == 0; }

bool StampFile(const std::string& path, FileStamp& stamp) {
    std::string resolved = ResolvePath(path);
    struct stat info;
    if (stat(resolved.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
    std::error_code ec;
    stamp.path = fs::absolute(resolved, ec).string();
    stamp.size = uint64_t(info.st_size);
    stamp.modifiedNanoseconds = int64_t(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    return true;
}

void ListFiles(const std::string& folder, const std::string& suffix,
               std::function<void(const std::string&)> each) {
    std::error_code ec;
    std::string resolved = folder.empty() ? "." : ResolvePath(folder);
    std::vector<std::string> names;
    fs::directory_iterator it(resolved, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        if (!it->is_regular_file(ec)) continue;
        std::string name = it->path().filename().string();
        if (name.size() >= suffix.size() &&
            EqualsIgnoreCase(name.substr(name.size() - suffix.size()), suffix))
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) each(name);
}

// --- message boxes ---------------------------------------------------------

static std::mutex hookMutex;

// Never destroyed: the memory manager's exit report, after every other
// static is gone, still shows its boxes through the hook.
static Immortal<MessageBoxHook> hook STATIC_ORDER(STATIC_ERRORLOG);
static MessageBoxHook& Hook() { return *hook; }

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
    const char* display = getenv("DISPLAY");
    if (!display || !*display) {
        failure = "no display";
        return false;
    }
    SDL_MessageBoxButtonData buttons[2];
    int count = 0;
    if (yesNo) {
        // SDL lays buttons out in reverse order of the array on X11.
        buttons[0] = {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 0, "No"};
        buttons[1] = {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, 1, "Yes"};
        count = 2;
    } else {
        buttons[0] = {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 1, "OK"};
        count = 1;
    }
    SDL_MessageBoxData data = {SDL_MESSAGEBOX_INFORMATION, nullptr, caption.c_str(), text.c_str(),
                               count, buttons, nullptr};
    int answer = -1;
    if (SDL_ShowMessageBox(&data, &answer) != 0 || answer < 0) {
        failure = *SDL_GetError() ? SDL_GetError() : "the box closed without an answer";
        return false;
    }
    yes = answer == 1;
    return true;
}

// --- process ---------------------------------------------------------------

std::string OperatingSystemName() {
    utsname name;
    if (uname(&name) != 0) return "Unknown";
    return std::string(name.sysname) + " " + name.release;
}

int OperatingSystemClass() { return 9; }

std::string CpuVendor() {
#if defined(__x86_64__) || defined(__i386__)
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(0, &a, &b, &c, &d)) return "";
    char vendor[13];
    std::memcpy(vendor, &b, 4);
    std::memcpy(vendor + 4, &d, 4);
    std::memcpy(vendor + 8, &c, 4);
    vendor[12] = 0;
    return vendor;
#else
    return "";
#endif
}

}  // namespace Platform
