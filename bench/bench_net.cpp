// Loopback throughput from a NetServer-accepted client to a NET::Client:
// 16 MB sent in 4 KB blocks. The receive path must stay well above 20 MB/s.
#include <benchmark/benchmark.h>

#include "CMemMan.h"
#include "NetServer.h"
#include "platform/PlatformSystem.h"

#include <thread>
#include <vector>

namespace {

const int BlockSize = 4096;
const size_t StreamSize = 16u << 20;

void BM_LoopbackReceive(benchmark::State& state) {
    NetServer server;
    NET::Client client;
    NET::Client* peer = nullptr;
    if (!server.Listen(0) || !client.Connect("127.0.0.1", server.Port())) {
        state.SkipWithError("no loopback connection");
        return;
    }
    while (!(peer = server.TakeClient())) Platform::SleepMilliseconds(1);

    std::vector<char> block(BlockSize, 'z');
    std::vector<char> got;
    for (auto _ : state) {
        std::thread sender([&] {
            for (size_t sent = 0; sent < StreamSize; sent += BlockSize) peer->SendData(block.data(), BlockSize);
        });
        size_t received = 0;
        while (received < StreamSize && client.IsConnected()) {
            if (client.ReceivedByteCount() > 0 && client.ReceiveData(got)) received += got.size();
            else Platform::SleepMilliseconds(1);
        }
        sender.join();
        if (received != StreamSize) state.SkipWithError("stream cut short");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * StreamSize));
    delete2(peer);
}
BENCHMARK(BM_LoopbackReceive)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
