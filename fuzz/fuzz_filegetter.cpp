// The file getter's exchange fed arbitrary server bytes: the input is cut
// into chunks (each led by its length, two bytes little-endian) and every
// chunk is followed by a few steps, as the worker's passes would take them.
#include "FileGetterExchange.h"
#include "FileUtil.h"
#include "LogFile.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

struct NullLink : FileGetterLink {
    void Send(const std::string&) override {}
    void Tell(const std::string&) override {}
};

const char* const Path = "fuzz_tmp\\fuzz.dream";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    NullLink link;
    {
        FileGetterExchange exchange("fuzz", Path, "RC a b fuzz 0 2 4096\n");
        size_t at = 0;
        while (at + 2 <= size && !exchange.IsDone()) {
            size_t chunk = std::min<size_t>(data[at] | data[at + 1] << 8, size - at - 2);
            exchange.Append(reinterpret_cast<const char*>(data + at + 2), chunk);
            at += chunk + 2;
            for (int step = 0; step < 4; ++step) exchange.Step(link);
        }
        if (!exchange.IsDone()) exchange.ConnectionLost(link);
        int32_t received = 0, fileSize = 0;
        exchange.GetProgress(received, fileSize);
        // What was written never exceeds what the server announced.
        if (exchange.State() == Complete && received != fileSize) __builtin_trap();
    }
    DeleteFile(Path);
    // Every run reports; only the latest report is worth keeping.
    ErrorLog.Truncate();
    return 0;
}
