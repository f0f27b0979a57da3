// makedata <data folder>: makes the system's own images, colour tables and
// server address files again (the repository keeps the results in data/).
#include <cstdio>

#include "DataFolder.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: makedata <data folder>\n");
        return 2;
    }
    if (!WriteDataFolder(argv[1])) {
        std::fprintf(stderr, "makedata: some files could not be written (see _error.txt)\n");
        return 1;
    }
    std::printf("makedata: data files written to %s\n", argv[1]);
    return 0;
}
