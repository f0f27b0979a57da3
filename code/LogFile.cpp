#include "LogFile.h"

#include "StaticOrder.h"
#include "platform/PlatformSystem.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

LogFile::LogFile(const char* fileName, bool echoText) : echo(echoText) {
    std::snprintf(name, sizeof name, "%s", fileName ? fileName : "");
    Truncate();
}

LogFile::~LogFile() {}

void LogFile::Truncate() {
    written = 0;
    full = false;
    {
        std::lock_guard<std::mutex> hold(reportLock);
        recentReports.clear();
    }
    if (!name[0]) return;
    if (FILE* f = Platform::OpenFile(name, "w+")) std::fclose(f);
}

namespace {

// Repeats at which a count line is written while a report keeps coming.
bool IsCountStep(uint64_t repeats) {
    if (repeats < 10) return false;
    while (repeats % 10 == 0) repeats /= 10;
    return repeats == 1;
}

void AppendToFile(const char* fileName, const char* text, size_t length) {
    // Opened and closed for every append, so everything before a crash is on disk.
    FILE* f = Platform::OpenFile(fileName, "a+");
    if (!f) return;
    std::fwrite(text, 1, length, f);
    std::fclose(f);
}

}  // namespace

void LogFile::Write(const char* text) {
    if (!text || !*text || full) return;
    const size_t length = std::strlen(text);
    if (written.fetch_add(length) + length > ceiling) {
        if (full.exchange(true)) return;
        std::string notice = std::string("Warning: ") + name + " reached its ceiling of " + std::to_string(ceiling) +
                             " bytes; nothing more is written to it.\n";
        text = notice.c_str();
        if (echo || !name[0]) Platform::DebugOutput(text);
        if (name[0]) AppendToFile(name, text, notice.size());
        return;
    }
    if (echo || !name[0]) Platform::DebugOutput(text);
    if (name[0]) AppendToFile(name, text, length);
}

void LogFile::WriteRepeatCount(const RecentReport& report) {
    const std::string firstLine = report.text.substr(0, report.text.find('\n'));
    *this << "  -repeated " << std::to_string(report.repeats) << " more times: " << firstLine << "\n";
}

// A few: the reports a frame repeats are those of a handful of places.
static const size_t RecentReportCount = 8;

void LogFile::WriteReport(const std::string& report) {
    std::lock_guard<std::mutex> hold(reportLock);
    auto found = std::find_if(recentReports.begin(), recentReports.end(),
                              [&report](const RecentReport& recent) { return recent.text == report; });
    if (found != recentReports.end()) {
        if (IsCountStep(++found->repeats)) WriteRepeatCount(*found);
        std::rotate(recentReports.begin(), found, found + 1);
        return;
    }
    if (recentReports.size() == RecentReportCount) {
        const RecentReport& oldest = recentReports.back();
        if (oldest.repeats > 0 && !IsCountStep(oldest.repeats)) WriteRepeatCount(oldest);
        recentReports.pop_back();
    }
    recentReports.insert(recentReports.begin(), RecentReport{report, 0});
    Write(report.c_str());
}

LogFile& LogFile::operator<<(const char* text) {
    Write(text);
    return *this;
}

LogFile& LogFile::operator<<(const std::string& text) {
    Write(text.c_str());
    return *this;
}

LogFile& LogFile::operator<<(int value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%d", value);
    Write(buffer);
    return *this;
}

LogFile& LogFile::operator<<(long value) { return *this << static_cast<int>(value); }
LogFile& LogFile::operator<<(unsigned value) { return *this << static_cast<int>(value); }
LogFile& LogFile::operator<<(unsigned long value) { return *this << static_cast<int>(value); }

LogFile& LogFile::operator<<(double value) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.20g", value);
    Write(buffer);
    return *this;
}

// The program's logs, in the order the program builds its statics.
static Immortal<LogFile> errorLog STATIC_ORDER(STATIC_ERRORLOG)("_error.txt", true);
static Immortal<LogFile> statLog STATIC_ORDER(STATIC_STATLOG)("_stat.txt", true);
static Immortal<LogFile> netLog STATIC_ORDER(STATIC_NETLOG)("_netlog.txt", true);
static Immortal<LogFile> meshStatsLog STATIC_ORDER(STATIC_GRAPHICS)("_meshStats.txt", true);
static Immortal<LogFile> shaderLog STATIC_ORDER(STATIC_GRAPHICS)("_shaders.txt", true);
constinit LogFile& ErrorLog = *errorLog;
constinit LogFile& StatLog = *statLog;
constinit LogFile& NetLog = *netLog;
constinit LogFile& MeshStatsLog = *meshStatsLog;
constinit LogFile& ShaderLog = *shaderLog;

// --- call stacks -----------------------------------------------------------

namespace {
struct SymbolHandler {
    bool available = false;
    SymbolHandler() {
        available = Platform::InitSymbols();
        if (!available)
            ErrorLog << "Failed to initialize symbol information  Stack/symbol trace will be unavailable.\n";
    }
    // Symbols stay loaded: the memory manager's exit report, after every
    // other static is gone, still turns its recorded stacks into text.
};
SymbolHandler symbolHandler STATIC_ORDER(STATIC_SYMBOLS);
}  // namespace

static const int MaxStackLines = 64;

std::string CallStackText(void* const* frames, int count) {
    if (!symbolHandler.available) return "";
    std::string text;
    for (int i = 0; i < count; ++i) {
        Platform::FrameInfo frame = Platform::DescribeFrame(frames[i]);
        text += frame.moduleFound ? "   " + frame.module : "  (Error?)";
        if (frame.moduleFound && frame.lineFound) {
            text += ": ";
            if (frame.symbolFound)
                text += frame.function + " - " + frame.file + " - Line " + std::to_string(frame.line);
            else
                text += "Unknown (" + SystemErrorText() + ")";
        } else {
            text += ": (external code)";
        }
        text += "\n";
        if (i + 1 == MaxStackLines) {
            text += "  (Error while walking stack... over 64 walks... ending prematurely)\n";
            break;
        }
    }
    return text;
}

// Not inlined: its own frame is the first line, as callers expect to drop it.
__attribute__((noinline)) std::string CallStackText() {
    void* frames[MaxStackLines];
    int count = Platform::CaptureStack(frames, MaxStackLines, 0);
    return CallStackText(frames, count);
}

std::string DropFirstLine(const std::string& text) {
    for (size_t i = 0; i < text.size(); ++i)
        if (static_cast<unsigned char>(text[i]) < 32) return text.substr(i + 1);
    return text;
}

std::string SystemErrorText() { return Platform::LastErrorText(); }

// The stack from the function that called the report function.
__attribute__((noinline)) static std::string ReporterStack() {
    void* frames[MaxStackLines];
    // Skips this function and the report function.
    int count = Platform::CaptureStack(frames, MaxStackLines, 2);
    return CallStackText(frames, count);
}

__attribute__((noinline)) void ReportMisuse(const std::string& message) {
    ErrorLog.WriteReport(message + "  -attempt made from:\n" + ReporterStack() + "\n");
}

__attribute__((noinline)) void ReportWithStack(const std::string& message) {
    ErrorLog.WriteReport(message + "  -call stack:\n" + ReporterStack() + "\n");
}
