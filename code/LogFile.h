// Diagnostic logs: plain text appended to files in the working folder, and the
// call-stack texts that reports carry.
#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

class LogFile {
public:
    LogFile(const char* fileName, bool echo);
    // Keeps the name: statics destroyed later (the leak report) still write here.
    virtual ~LogFile();

    LogFile& operator<<(const char* text);
    LogFile& operator<<(const std::string& text);
    LogFile& operator<<(int value);
    LogFile& operator<<(long value);
    LogFile& operator<<(unsigned value);  // written as the signed value of the same 32 bits
    LogFile& operator<<(unsigned long value);
    LogFile& operator<<(double value);
    // A character would be written as its number; write a text ("\n").
    LogFile& operator<<(char) = delete;

    const char* FileName() const { return name; }
    // Empties the file again (tests look at one report at a time).
    void Truncate();

    // A whole report. A report that is one of the last few written is only
    // counted: a count line follows at its 10th, 100th, 1000th... repeat,
    // and its final count once it has not come for a while.
    void WriteReport(const std::string& report);

    // A server or a broken file can make reports without end; past this many
    // bytes the file gets one line saying so and then nothing more.
    static const uint64_t DefaultCeiling = 32u << 20;
    void SetCeiling(uint64_t bytes) { ceiling = bytes; }

private:
    void Write(const char* text);
    struct RecentReport {
        std::string text;
        uint64_t repeats = 0;
    };
    void WriteRepeatCount(const RecentReport& report);
    char name[256];
    bool echo;
    uint64_t ceiling = DefaultCeiling;
    std::atomic<uint64_t> written{0};
    std::atomic<bool> full{false};
    std::mutex reportLock;
    std::vector<RecentReport> recentReports;  // most recent first
};

// The program's logs. They are never destroyed, so the statics destroyed
// last (the memory manager's leak report) still write to them.
extern LogFile& ErrorLog;      // "_error.txt"
extern LogFile& StatLog;       // "_stat.txt"
extern LogFile& NetLog;        // "_netlog.txt"
extern LogFile& MeshStatsLog;  // "_meshStats.txt"
extern LogFile& ShaderLog;     // "_shaders.txt"

// The calling thread's stack, one line per frame, innermost (this function) first.
std::string CallStackText();
// The same text for a stack captured earlier as addresses.
std::string CallStackText(void* const* frames, int count);
// Everything after the first line.
std::string DropFirstLine(const std::string& text);
// The system's message for the last error, without its closing period.
std::string SystemErrorText();

// The two report forms every unit uses. `message` ends in "\n".
// Misuse: message, "  -attempt made from:\n", the caller's stack, "\n".
void ReportMisuse(const std::string& message);
// Failure with context: message, "  -call stack:\n", the stack, "\n".
void ReportWithStack(const std::string& message);
