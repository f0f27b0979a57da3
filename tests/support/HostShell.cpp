// Shell commands of the machine the tests run on. Under Wine the test programs are Windows programs, but xdotool,
// xwininfo and the X server belong to the Linux host: Wine starts a Linux program handed to CreateProcess directly. Its
// standard output does not reach a Windows pipe, so the command writes a file and the test waits for it.
#include "TestUtil.h"

#include <cstdio>
#include <string>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <atomic>
#endif

namespace {

std::string ReadAll(FILE* file) {
    std::string out;
    char buffer[512];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) out.append(buffer, n);
    return out;
}

#ifdef _WIN32
std::string RunOnHost(const std::string& command) {
    static std::atomic<int> serial{0};
    std::string name = "host_shell_" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(serial++);
    // A script file, so that no command-line quoting can change the command.
    TestUtil::WriteFile(name + ".sh", "PATH=/usr/local/bin:/usr/bin:/bin; ( " + command + " ) >" + name +
                                          ".tmp 2>/dev/null; mv " + name + ".tmp " + name + ".out\n");
    std::string line = "/bin/sh " + name + ".sh";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA("Z:\\bin\\sh", line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return "";
    if (process.hProcess) CloseHandle(process.hProcess);
    if (process.hThread) CloseHandle(process.hThread);
    // The commands the tests run end within their own time-outs.
    for (int waited = 0; waited < 120000; waited += 10) {
        if (FILE* file = std::fopen((name + ".out").c_str(), "rb")) {
            std::string result = ReadAll(file);
            std::fclose(file);
            std::remove((name + ".out").c_str());
            std::remove((name + ".sh").c_str());
            return result;
        }
        Sleep(10);
    }
    return "";
}
#endif

}  // namespace

namespace TestUtil {

std::string HostShell(const std::string& command) {
    std::string out;
#ifdef _WIN32
    out = RunOnHost(command);
#else
    if (FILE* pipe = popen(command.c_str(), "r")) {
        out = ReadAll(pipe);
        pclose(pipe);
    }
#endif
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
}

}  // namespace TestUtil
