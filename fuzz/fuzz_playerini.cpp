// Character files: any bytes give true or false and a log line, never more.
#include "LogFile.h"
#include "QuilDataManager.h"

#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (FILE* f = std::fopen("fuzz_input.ini", "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    ErrorLog.Truncate();
    ThePlayerRecord = PlayerRecord();
    LoadPlayerIni("fuzz_input.ini");
    return 0;
}
