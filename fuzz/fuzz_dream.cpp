// UnpackDream on arbitrary archive bytes.
#include "DreamArchive.h"
#include "FileUtil.h"
#include "LogFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* const path = "fuzz_dream.dream";
    FILE* file = OpenFile(path, "wb");
    if (!file) return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    UnpackDream(path);
    DeleteFile(path);
    // Every run reports; only the latest report is worth keeping.
    ErrorLog.Truncate();
    return 0;
}
