// A hostile or broken game server against the real halcyon program: after a
// few seconds of one kind of cheap, abusive traffic the client must still be
// bounded (memory, logs), usable (a typed line) and quit at once.
#include <gtest/gtest.h>

#include "GameProtocol.h"
#include "GameRun.h"
#include "LogFile.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

using namespace GameRun;

namespace {

const double FloodSeconds = 3;
// AddressSanitizer's shadow memory and quarantine alone pass the ceiling, so
// its build checks everything but the resident size.
#if defined(__SANITIZE_ADDRESS__)
const long MemoryCeilingKb = 0;
#else
const long MemoryCeilingKb = 300 * 1024;
#endif

std::string Cell(int x, int y) {
    return EncodeBase95(x, true) + EncodeBase95(y, true);
}

// The i-th piece of a flood; an empty piece ends it early.
typedef std::function<std::string(size_t i)> FloodPiece;

struct HostileCase {
    const char* name;
    FloodPiece piece;
    std::string greeting = "Welcome to the test server.\n";
    // The flood raises a question in the game window, which the player
    // answers before typing, as they must.
    bool asks = false;
};

std::string Repeated(const std::string& line, size_t bytes) {
    std::string out;
    while (out.size() < bytes)
        out += line;
    return out;
}

std::string AvatarLines(size_t first, size_t count) {
    std::string out;
    for (size_t k = first; k < first + count; ++k)
        out += "<!!!!!!!!!!" + Cell(int(k % 9000), int(k / 9000)) + EncodeBase95(38, true) + "\n";
    return out;
}

const HostileCase Cases[] = {
    {"TextFlood",
     [](size_t) { return Repeated("(Somebody floods the room with a rather ordinary line\n", 64 * 1024); }},
    {"AvatarsOnDistinctCells", [](size_t i) { return i < 20 ? AvatarLines(i * 10000, 10000) : std::string(); }},
    {"NoLineFeed", [](size_t) { return std::string(1024 * 1024, 'x'); }},
    {"PortalsWithLongTexts",
     [](size_t i) {
         return i < 3000 ? "]s" + Cell(int(i % 90), int(i / 90)) + "xxPortal " + std::string(200 * 1024, 't') + "\n"
                         : std::string();
     }},
    {"OneLongTextLine", [](size_t i) { return i == 0 ? "(" + std::string(260 * 1024, 'w') + "\n" : std::string(); }},
    {"LongGreetingLine", [](size_t) { return std::string(); }, std::string(250 * 1024, 'g') + "\n"},
    {"HugeMapNamedAgainAndAgain", [](size_t i) { return i < 100 ? std::string(";huge.map\n") : std::string(); }},
    {"DreamsFromASilentFileServer",
     [](size_t i) { return i < 300 ? "]q dream" + std::to_string(i) + "\n" : std::string(); },
     "Welcome to the test server.\n", true}};

std::string CaseName(const testing::TestParamInfo<HostileCase>& info) {
    return info.param.name;
}

// Resident memory of a process in KB, 0 when it cannot be read.
long ResidentKb(const std::string& pid) {
    std::string status = TestUtil::ReadFile("/proc/" + pid + "/status");
    size_t at = status.find("VmRSS:");
    return at == std::string::npos ? 0 : std::atol(status.c_str() + at + 6);
}

class HostileServer : public GameRunTest, public testing::WithParamInterface<HostileCase> {
  protected:
    void TearDown() override {
        stopFlood = true;
        if (flood.joinable()) flood.join();
        GameRunTest::TearDown();
        for (NET::Client* link : fileLinks)
            delete2(link);
    }
    // The case's own preparation of the game folder and the file server.
    void Prepare(const std::string& name) {
        if (name == "HugeMapNamedAgainAndAgain") {
            const int side = 2048;
            std::string map =
                "MAP V01.10 Quillmor\nheight=" + std::to_string(side) + "\nwidth=" + std::to_string(side) + "\nBODY\n";
            map.resize(map.size() + size_t(6) * side * side, '\0');
            TestUtil::WriteFile(folder + "/huge.map", map);
        }
        if (name == "DreamsFromASilentFileServer") fileServer.Listen(0);
    }
    // Sends the pieces from a thread of its own until they end or the time is up.
    void StartFlood(const FloodPiece& piece) {
        flood = std::thread([this, piece] {
            auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(FloodSeconds);
            for (size_t i = 0; !stopFlood && std::chrono::steady_clock::now() < end; ++i) {
                std::string bytes = piece(i);
                if (bytes.empty() || !server.Send(bytes)) break;
            }
            floodOver = true;
        });
    }
    // Holds every connection the client opens to the file server, silently.
    void AcceptSilently() {
        if (!fileServer.IsListening()) return;
        while (NET::Client* link = fileServer.TakeClient())
            fileLinks.push_back(link);
    }

    NetServer fileServer;
    std::vector<NET::Client*> fileLinks;
    std::thread flood;
    std::atomic<bool> stopFlood{false}, floodOver{false};
};

} // namespace

TEST_P(HostileServer, ClientStaysBoundedUsableAndQuitsAtOnce) {
    const HostileCase& c = GetParam();
    Prepare(c.name);
    ASSERT_NO_FATAL_FAILURE(StartClient(fileServer.IsListening() ? fileServer.Port() : 1));
    client->Keys("Down Return");
    ASSERT_TRUE(server.LogIn(20, c.greeting)) << server.Received();
    const std::string pid = client->Log("halcyon.pid").substr(0, client->Log("halcyon.pid").find('\n'));

    StartFlood(c.piece);
    long peakKb = 0;
    auto sample = [&] {
        AcceptSilently();
        peakKb = std::max(peakKb, ResidentKb(pid));
    };
    // Half way through the flood, a line typed by the user.
    WaitUntil(FloodSeconds / 2, [&] { return sample(), false; });
    if (c.asks) client->Keys("Escape");
    client->Type("still here");
    client->Keys("Return");
    EXPECT_TRUE(WaitUntil(2, [&] { return sample(), server.Received().find("\"still here\n\n") != std::string::npos; }))
        << "the typed line did not reach the server";
    WaitUntil(FloodSeconds, [&] { return sample(), floodOver.load(); });
    sample();
    if (MemoryCeilingKb) {
        EXPECT_LT(peakKb, MemoryCeilingKb) << "resident memory peaked at " << peakKb << " KB";
    }

    // While the server is still sending, as a person quits.
    ASSERT_TRUE(client->QuitsCleanly(1)) << "SIGTERM did not end the run within a second";
    stopFlood = true;

    for (const char* log : {"_netlog.txt", "_error.txt"})
        EXPECT_LE(client->Log(log).size(), LogFile::DefaultCeiling + 200) << log;
}

INSTANTIATE_TEST_SUITE_P(Rows, HostileServer, testing::ValuesIn(Cases), CaseName);
