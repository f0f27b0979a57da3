// The colour files: the input up to its first NUL byte is colors.txt, the
// rest is one part's index file.
#include "LogFile.h"
#include "QuilGfxLoader.h"

#include <cstdio>
#include <cstring>
#include <filesystem>

namespace {
void Write(const char* path, const uint8_t* data, size_t size) {
    if (FILE* f = std::fopen(path, "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::filesystem::create_directories("data/colors");
    const uint8_t* split = static_cast<const uint8_t*>(std::memchr(data, 0, size));
    size_t first = split ? size_t(split - data) : size;
    Write("data/colors/colors.txt", data, first);
    Write("data/colors/vest.txt", data + first + (split ? 1 : 0), size - first - (split ? 1 : 0));
    ErrorLog.Truncate();
    ColorNameMap map;
    LoadColorPairs(map);
    LoadColorIndices("data\\colors\\vest.txt", map, PartColorTables[Vest]);
    return 0;
}
