// A 1 MB dream downloaded over loopback from the file server tool. The
// getter's pace is one block per 25 ms pass; the download must stay within
// 10% of that pace, so neither the receive path nor the file writes may add
// to it.
#include <benchmark/benchmark.h>

#include "CMemMan.h"
#include "FileServer.h"
#include "FileUtil.h"
#include "QuilDataManager.h"
#include "QuilFileGetter.h"
#include "platform/PlatformSystem.h"

#include <chrono>
#include <cstdio>
#include <string>

namespace {

const int DreamBytes = 1 << 20;
const int Payload = 4096 - 10;
const double PassSeconds = 0.025;

void WriteBytes(const std::string& path, const std::string& bytes) {
    MakeDirectories(path);
    if (FILE* file = OpenFile(path, "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
    }
}

void BM_DownloadOneMegabyteDream(benchmark::State& state) {
    WriteBytes("bench_served\\big.dream", std::string(DreamBytes, 'q'));
    FileServer server("bench_served");
    if (!server.Start(0)) {
        state.SkipWithError("file server did not start");
        return;
    }
    WriteBytes("data\\quilfile_ip.txt", "127.0.0.1 " + std::to_string(server.Port()) + "\n");
    ThePlayerRecord.Name = "bench";
    ThePlayerRecord.Password = "bench";
    const int blocks = (DreamBytes + Payload - 1) / Payload;
    // The welcome and the accept line take a pass each before the blocks.
    const double paceSeconds = (blocks + 2) * PassSeconds;
    double worst = 0;
    for (auto _ : state) {
        DeleteFile("hlcn_tmp\\big\\big.dream");
        auto start = std::chrono::steady_clock::now();
        QUIL::FileGetter* getter = new2(QUIL::FileGetter, QUIL::FileGetter("big", "hlcn_tmp\\big"));
        while (!getter->IsDone()) Platform::SleepMilliseconds(1);
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        bool succeeded = getter->Succeeded();
        delete2(getter);
        if (!succeeded) {
            state.SkipWithError("download failed (see _error.txt)");
            return;
        }
        state.SetIterationTime(seconds);
        if (seconds / paceSeconds > worst) worst = seconds / paceSeconds;
    }
    state.counters["blocks"] = blocks;
    state.counters["pace_s"] = paceSeconds;
    state.counters["pace_ratio"] = worst;
    state.SetBytesProcessed(int64_t(state.iterations()) * DreamBytes);
    if (worst > 1.10) state.SkipWithError("slower than the 25 ms pass pace by more than 10%");
}
BENCHMARK(BM_DownloadOneMegabyteDream)->Iterations(2)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
