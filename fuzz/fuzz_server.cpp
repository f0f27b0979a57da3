// The local server's line handling fed arbitrary client lines: one session
// still logging in, one already in the world. It must neither crash nor
// grow without bound.
#include <cstddef>
#include <cstdint>
#include <string>

#include "CMemMan.h"
#include "GameServer.h"
#include "NetClient.h"
#include "SampleFolder.h"

namespace {

struct World {
    World() {
        GenerateSampleFolder("fuzz_server_world");
        ServerOptions options;
        options.folder = "fuzz_server_world";
        options.gamePort = 0;
        options.wanderers = 4;
        server = new2(GameServer, GameServer(options));
        server->Start();
        // Unconnected links: the server's answers go nowhere, its state still changes.
        fresh = server->AddTestSession(new2(NET::Client, NET::Client()));
        playing = server->AddTestSession(new2(NET::Client, NET::Client()));
        server->HandleLineForTest(playing, "connect Aster starlight");
        server->HandleLineForTest(playing, "color %(+.147:=@03 ");
    }
    GameServer* server;
    size_t fresh, playing;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static World world;
    std::string bytes(reinterpret_cast<const char*>(data), size);
    size_t start = 0;
    while (start <= bytes.size()) {
        size_t end = bytes.find('\n', start);
        std::string line = bytes.substr(start, end == std::string::npos ? std::string::npos : end - start);
        world.server->HandleLineForTest(world.fresh, line);
        world.server->HandleLineForTest(world.playing, line);
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return 0;
}
