// samplegen <out folder>: writes the sample game folder the client and the
// local server run on. The system's own data/ is copied next to it by the
// demo script.
#include <cstdio>

#include "SampleFolder.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: samplegen <out folder>\n");
        return 2;
    }
    if (!GenerateSampleFolder(argv[1])) {
        std::fprintf(stderr, "samplegen: some files could not be written (see _error.txt)\n");
        return 1;
    }
    std::printf("samplegen: sample game folder written to %s\n", argv[1]);
    return 0;
}
