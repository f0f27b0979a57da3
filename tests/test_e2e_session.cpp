// The halcyon program end to end, driven by real keys and clicks. What the
// game scene does with its input is the scene test's part; here the real
// keys, the drawing, dream visits with the file server tool, the program's
// start and end, and a hostile or broken game server: after a few seconds of
// one kind of cheap, abusive traffic the client must still be bounded
// (memory, logs), usable (a typed line) and quit at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "FileServer.h"
#include "GameProtocol.h"
#include "GameRun.h"
#include "LogFile.h"

using namespace GameRun;

namespace {

// The second character of the chooser, logged in.
class Session : public GameRunTest {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(GameRunTest::SetUp());
        ASSERT_NO_FATAL_FAILURE(StartClient(1));
        client->Keys("Down Return");
        ASSERT_TRUE(server.LogIn(20)) << server.Received();
    }
};

// The file server serves the game folder's own dreams; the first character is logged in.
class DreamVisit : public GameRunTest {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(GameRunTest::SetUp());
        files = std::make_unique<FileServer>(folder + "/dreams", 64);
        ASSERT_TRUE(files->Start(0));
        ASSERT_NO_FATAL_FAILURE(StartClient(files->Port()));
        client->Keys("Return");
        ASSERT_TRUE(server.LogIn(10)) << server.Received();
    }

    // Sends the sealed dream `count` times and waits for the question in the window.
    bool AskedAfterVault(int count = 1) {
        std::string lines;
        for (int i = 0; i < count; ++i)
            lines += "]q vault\n";
        return server.Send(lines) && WaitUntil(20, [&] { return Question().up; });
    }
    // Waits until the server has `count` replies `reply` since the login.
    bool Replied(const std::string& reply, int count) {
        return WaitUntil(20, [&] { return TestUtil::CountOf(server.Received(), reply + "\n") >= count; });
    }

    // The question as drawn: its caption bar, and the middle of each button
    // (Yes on the left, No on the right).
    struct Drawn {
        bool up = false;
        int yesX = 0, noX = 0, buttonY = 0;
    };
    Drawn Question() {
        Picture p = client->Screenshot("question");
        auto near = [](int r, int g, int b, int R, int G, int B) {
            return std::abs(r - R) < 8 && std::abs(g - G) < 8 && std::abs(b - B) < 8;
        };
        Drawn drawn;
        drawn.up = p.Count(150, 100, 500, 400, [&](int r, int g, int b) { return near(r, g, b, 48, 82, 122); }) > 2000;
        long sums[2][3] = {};
        for (int y = 100; y < 500 && y < p.height; ++y)
            for (int x = 150; x < 650 && x < p.width; ++x) {
                const uint8_t* c = &p.rgb[(size_t(y) * p.width + x) * 3];
                if (!near(c[0], c[1], c[2], 72, 80, 90)) continue;
                long* side = sums[x < 400 ? 0 : 1];
                side[0] += x, side[1] += y, ++side[2];
            }
        if (sums[0][2]) drawn.yesX = int(sums[0][0] / sums[0][2]), drawn.buttonY = int(sums[0][1] / sums[0][2]);
        if (sums[1][2]) drawn.noX = int(sums[1][0] / sums[1][2]);
        return drawn;
    }

    std::unique_ptr<FileServer> files;
};

// The view follows the cell the server names and the camera looks down on it
// from above: the middle of the window shows that cell, and a click there looks
// at it (no map is loaded, so the server's rows count from 0). Quitting leaves
// no leaks. The login's redaction in the network log is the network tests'
// part, the frame rates at exit the shell's.
TEST_F(Session, SecondCharacterLogsInAndTypedLinesKeysAndClicksReachTheServer) {
    EXPECT_NE(server.Received().find("connect Bramble thornberry\n"), std::string::npos);
    EXPECT_TRUE(server.WaitFor("desc A gardener who talks to the hedges.\ncolor 08<@DHLPTX", 20)) << server.Received();
    size_t loginBytes = server.Received().size();
    client->Type("/Bob hi");
    client->Keys("Return Up Left Down Right Delete Insert Prior Home End Next");
    const std::string expected = "wh Bob hi\n\nm 9\nm 7\nm 1\nm 3\n<\n>\nm 9\nm 7\nm 1\nm 3\n";
    EXPECT_TRUE(server.WaitFor(expected, 20));
    EXPECT_EQ(server.Received().substr(loginBytes), expected);

    const GridCell view = GridToServer(10, 12, 0);
    const std::string at = EncodeBase95(view.x, true) + EncodeBase95(view.y, true);
    ASSERT_TRUE(server.Send("@" + at + "\n"));
    std::this_thread::sleep_for(std::chrono::seconds(3)); // the camera glides there
    client->Click(400, 300);
    EXPECT_TRUE(server.WaitFor(expected + "l " + at + "\n", 20)) << server.Received().substr(loginBytes);
    ASSERT_TRUE(client->QuitsCleanly(10));
    EXPECT_EQ(client->Log("_error.txt").find("memory leaks"), std::string::npos) << client->Log("_error.txt");
}

// A display that cannot be reached is a failed start, not a program running
// unseen: SDL would otherwise fall back to drawing into memory.
TEST(Start, DisplayWithoutAServerExitsWithTheWindowClassMessage) {
    TestUtil::ScopedFolder folder("no_display");
    std::string code = HostShell("DISPLAY=:97 WAYLAND_DISPLAY= timeout 30 " +
                                 Quoted(TestUtil::BinaryDir() + "/halcyon") + " >halcyon.out 2>&1; echo $?");
    EXPECT_EQ(code, "1") << TestUtil::ReadFile("halcyon.out");
    EXPECT_EQ(TestUtil::ReadFile("_error.txt"), "couldn't register window class");
}

// A dream's progress line shows while its blocks come and goes with the
// finished transfer. Three failed dreams raise one question; its answer goes
// out once for each. While it is up the frame and the connection go on. A
// click on a drawn button answers too, and quitting under a question is a
// normal end.
TEST_F(DreamVisit, OpenDreamShowsItsProgressAndFailedDreamsShareOneQuestion) {
    // The progress line stays long enough for a few screenshots.
    files->SetFaults({.blockDelayMs = 4000, .acceptLine = {}});
    ASSERT_TRUE(server.Send("]q meadow\n"));
    // "File Transfer (meadow): n / total" at (250, 280) while the blocks come.
    EXPECT_TRUE(WaitUntil(10, [&] { return client->Screenshot("progress").Count(250, 280, 300, 20, IsBright) > 20; }));
    ASSERT_TRUE(server.WaitFor("tidewatcher\n", 30)) << server.Received();
    EXPECT_EQ(server.Received().find("goback"), std::string::npos);
    EXPECT_TRUE(WaitUntil(20, [&] { return client->Screenshot("done").Count(250, 280, 300, 20, IsBright) == 0; }));
    files->SetFaults({});

    ASSERT_TRUE(AskedAfterVault(3));
    ASSERT_TRUE(server.Send("(*Still talking while you decide\n"));
    EXPECT_TRUE(WaitUntil(20, [&] { return client->Screenshot("asked").Count(40, 500, 700, 56, IsStarPink) > 20; }));
    WaitUntil(3, [] { return false; }); // the other two downloads finish within moments over loopback
    EXPECT_TRUE(Question().up);
    client->Keys("Return");
    ASSERT_TRUE(Replied("goback", 3)) << server.Received();
    EXPECT_TRUE(WaitUntil(20, [&] { return !Question().up; }));
    for (const bool yes : {false, true}) {
        ASSERT_TRUE(AskedAfterVault());
        Drawn drawn = Question();
        ASSERT_GT(drawn.noX, drawn.yesX);
        client->Click(yes ? drawn.yesX : drawn.noX, drawn.buttonY);
        ASSERT_TRUE(Replied(yes ? "goback" : "tidewatcher", yes ? 4 : 2)) << server.Received();
        ASSERT_TRUE(WaitUntil(20, [&] { return !Question().up; }));
    }
    EXPECT_EQ(TestUtil::CountOf(server.Received(), "goback\n"), 4);
    EXPECT_EQ(TestUtil::CountOf(server.Received(), "tidewatcher\n"), 2);
    ASSERT_TRUE(AskedAfterVault());
    ASSERT_TRUE(client->QuitsCleanly(10));
    EXPECT_EQ(client->Log("_error.txt").find("memory leaks"), std::string::npos) << client->Log("_error.txt");
}

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

// A name and its flood.
using HostileCase = std::pair<const char*, FloodPiece>;

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

// "huge.map" is a 2048 x 2048 map the flood names again and again.
const HostileCase Cases[] = {
    {"TextFlood",
     [](size_t) { return Repeated("(Somebody floods the room with a rather ordinary line\n", 64 * 1024); }},
    {"AvatarsOnDistinctCells", [](size_t i) { return i < 20 ? AvatarLines(i * 10000, 10000) : std::string(); }},
    {"OneLongTextLine", [](size_t i) { return i == 0 ? "(" + std::string(260 * 1024, 'w') + "\n" : std::string(); }},
    {"HugeMapNamedAgainAndAgain", [](size_t i) { return i < 100 ? std::string(";huge.map\n") : std::string(); }},
    {"NoLineFeed", [](size_t) { return std::string(1024 * 1024, 'x'); }},
    {"PortalsWithLongTexts",
     [](size_t i) {
         return i < 3000 ? "]s" + Cell(int(i % 90), int(i / 90)) + "xxPortal " + std::string(200 * 1024, 't') + "\n"
                         : std::string();
     }}};

// Resident memory of a process in KB, 0 when it cannot be read.
long ResidentKb(const std::string& pid) {
    std::string status = TestUtil::ReadFile("/proc/" + pid + "/status");
    size_t at = status.find("VmRSS:");
    return at == std::string::npos ? 0 : std::atol(status.c_str() + at + 6);
}

class HostileServer : public Session, public testing::WithParamInterface<HostileCase> {
  protected:
    void TearDown() override {
        stopFlood = true;
        if (flood.joinable()) flood.join();
        Session::TearDown();
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

    std::thread flood;
    std::atomic<bool> stopFlood{false}, floodOver{false};
};

} // namespace

TEST_P(HostileServer, ClientStaysBoundedUsableAndQuitsAtOnce) {
    const std::string pid = client->Log("halcyon.pid").substr(0, client->Log("halcyon.pid").find('\n'));
    std::string map = "MAP V01.10 Quillmor\nheight=2048\nwidth=2048\nBODY\n";
    TestUtil::WriteFile(folder + "/huge.map", map.append(size_t(6) * 2048 * 2048, '\0'));

    StartFlood(GetParam().second);
    long peakKb = 0;
    auto sample = [&] { peakKb = std::max(peakKb, ResidentKb(pid)); };
    // Half way through the flood, a line typed by the user.
    WaitUntil(FloodSeconds / 2, [&] { return sample(), false; });
    client->Type("still here");
    client->Keys("Return");
    EXPECT_TRUE(WaitUntil(2, [&] { return sample(), server.Received().find("\"still here\n\n") != std::string::npos; }))
        << "the typed line did not reach the server";
    WaitUntil(FloodSeconds, [&] { return sample(), floodOver.load(); });
    if (MemoryCeilingKb) {
        EXPECT_LT(peakKb, MemoryCeilingKb) << "resident memory peaked at " << peakKb << " KB";
    }

    // While the server is still sending, as a person quits.
    ASSERT_TRUE(client->QuitsCleanly(1)) << "SIGTERM did not end the run within a second";

    for (const char* log : {"_netlog.txt", "_error.txt"})
        EXPECT_LE(client->Log(log).size(), LogFile::DefaultCeiling + 200) << log;
}

INSTANTIATE_TEST_SUITE_P(Rows, HostileServer, testing::ValuesIn(Cases),
                         [](const testing::TestParamInfo<HostileCase>& info) { return info.param.first; });
