// PCX palettes: any file length, from empty up.
#include "LogFile.h"
#include "QuilGfxLoader.h"

#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (FILE* f = std::fopen("fuzz_input.pcx", "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    ErrorLog.Truncate();
    LoadPcxPalette("fuzz_input.pcx");
    return 0;
}
