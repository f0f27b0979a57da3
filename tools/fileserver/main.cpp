// Runs the dream file server alone: serves "<id>.dream" files of a folder
// until its standard input ends or reads "quit".
#include "FileServer.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

namespace {

void Usage() {
    std::fprintf(stderr,
                 "usage: fileserver FOLDER [--port N] [--block-size N] [--wrong-welcome] [--out-of-order N]\n"
                 "                  [--non-data N] [--close-after N] [--slow MS] [--accept LINE]\n");
}

bool ParseOptions(int argc, char** argv, int& port, int& blockSize, FileServerFaults& faults) {
    for (int i = 2; i < argc; ++i) {
        std::string option = argv[i];
        if (option == "--wrong-welcome") {
            faults.wrongWelcome = true;
            continue;
        }
        if (i + 1 >= argc) return false;
        const char* value = argv[++i];
        if (option == "--port") port = std::atoi(value);
        else if (option == "--block-size") blockSize = std::atoi(value);
        else if (option == "--out-of-order") faults.outOfOrderBlock = std::atoi(value);
        else if (option == "--non-data") faults.nonDataBlock = std::atoi(value);
        else if (option == "--close-after") faults.closeAfterBlocks = std::atoi(value);
        else if (option == "--slow") faults.blockDelayMs = static_cast<unsigned>(std::atoi(value));
        else if (option == "--accept") faults.acceptLine = std::string(value) + "\n";
        else return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    int port = 6501, blockSize = FileServer::DefaultBlockSize;
    FileServerFaults faults;
    if (argc < 2 || !ParseOptions(argc, argv, port, blockSize, faults)) {
        Usage();
        return 2;
    }
    FileServer server(argv[1], blockSize);
    server.SetFaults(faults);
    if (!server.Start(port)) {
        std::fprintf(stderr, "fileserver: cannot listen on port %d (see _error.txt)\n", port);
        return 1;
    }
    std::printf("fileserver: serving %s on port %d; type quit or close the input to stop\n", argv[1], server.Port());
    std::fflush(stdout);
    for (std::string line; std::getline(std::cin, line) && line != "quit";) {
    }
    std::printf("fileserver: %d connections served\n", server.ServedConnections());
    return 0;
}
