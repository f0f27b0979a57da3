// quilserver: the local game server with its dream file server, for trying
// the client without the real game.
//   quilserver [--folder DIR] [--port N] [--file-port N] [--wanderers N] [--cycle SECONDS]
// It prints what it does and stops cleanly on SIGINT or SIGTERM.
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "GameServer.h"
#include "platform/PlatformSystem.h"

// The build gives each tool only its own library, and the file server is a
// colleague's tool: its one source joins this program here.
#include "../fileserver/FileServer.cpp"
#include "../samplegen/SampleLayout.h"

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void OnSignal(int) { stopRequested = 1; }

bool ParseOptions(int argc, char** argv, ServerOptions& options, int& filePort) {
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        if (i + 1 >= argc) return false;
        const char* value = argv[++i];
        if (option == "--folder") options.folder = value;
        else if (option == "--port") options.gamePort = std::atoi(value);
        else if (option == "--file-port") filePort = std::atoi(value);
        else if (option == "--wanderers") options.wanderers = std::atoi(value);
        else if (option == "--cycle") options.cycleSeconds = std::atof(value);
        else return false;
    }
    return options.cycleSeconds > 0 && options.wanderers >= 0;
}

double Seconds() { return Platform::PerfCounter() / static_cast<double>(Platform::PerfFrequency()); }

}  // namespace

int main(int argc, char** argv) {
    ServerOptions options;
    int filePort = 7401;
    if (!ParseOptions(argc, argv, options, filePort)) {
        std::fprintf(stderr, "usage: quilserver [--folder DIR] [--port N] [--file-port N] [--wanderers N] [--cycle SECONDS]\n");
        return 2;
    }
    options.report = [](const std::string& text) {
        std::printf("quilserver: %s\n", text.c_str());
        std::fflush(stdout);
    };
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    int result = 0;
    {
        GameServer server(options);
        FileServer files(options.folder + "/" + SampleLayout::DreamFolder);
        if (!server.Start()) result = 1;
        else if (!files.Start(filePort)) {
            options.report("could not listen for dream downloads on port " + std::to_string(filePort));
            result = 1;
        } else {
            options.report("serving dreams of " + options.folder + "/" + SampleLayout::DreamFolder + " on port " +
                           std::to_string(files.Port()));
        }
        // Rounds of 10 ms: a move is answered well inside the client's 20 ms receive round.
        while (result == 0 && !stopRequested) {
            server.Step(Seconds());
            Platform::SleepMilliseconds(10);
        }
        options.report("stopping");
    }
    std::printf("quilserver: stopped\n");
    return result;
}
