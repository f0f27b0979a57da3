// Shell commands of the machine the tests run on. Under Wine the test
// programs are Windows programs, but xdotool, xwininfo and the X server
// belong to the Linux host: Wine starts a Linux program handed to
// CreateProcess directly. Its standard output does not reach a Windows pipe,
// so the command writes a file and the test waits for it.
#include "TestUtil.h"

#include <cstdio>
#include <string>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <atomic>

namespace {

// Quoted so that the command-line splitting gives back the text unchanged.
std::string QuotedArgument(const std::string& text) {
    std::string out = "\"";
    size_t backslashes = 0;
    for (char c : text) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        out.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, '\\');
    return out + "\"";
}

std::string RunOnHost(const std::string& command) {
    static std::atomic<int> serial{0};
    std::string name = "host_shell_" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(serial++);
    std::string script = "PATH=/usr/local/bin:/usr/bin:/bin; ( " + command + " ) >" + name + ".tmp 2>/dev/null; mv " +
                         name + ".tmp " + name + ".out";
    std::string line = "/bin/sh -c " + QuotedArgument(script);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA("Z:\\bin\\sh", line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return "";
    if (process.hProcess) CloseHandle(process.hProcess);
    if (process.hThread) CloseHandle(process.hThread);
    // The commands the tests run end within their own time-outs.
    std::string result;
    for (int waited = 0; waited < 120000; waited += 10) {
        if (FILE* file = std::fopen((name + ".out").c_str(), "rb")) {
            char buffer[512];
            size_t n = 0;
            while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) result.append(buffer, n);
            std::fclose(file);
            std::remove((name + ".out").c_str());
            break;
        }
        Sleep(10);
    }
    return result;
}

}  // namespace
#endif

namespace TestUtil {

std::string HostShell(const std::string& command) {
    std::string out;
#ifdef _WIN32
    out = RunOnHost(command);
#else
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[512];
        size_t n = 0;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
        pclose(pipe);
    }
#endif
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
}

}  // namespace TestUtil
