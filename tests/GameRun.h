// The end-to-end harness: the real halcyon program in a generated sample game
// folder, real input through xdotool, screenshots, and a scripted game server.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "SampleFolder.h"
#include "NetTestFixture.h"
#include "TestUtil.h"

namespace GameRun {

using NetTest::ScriptServer;
using NetTest::WaitUntil;

inline std::string Quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

using TestUtil::HostShell;

inline bool IsBright(int r, int g, int b) {
    return r > 150 && g > 150 && b > 150;
}
// Pink of the lines that start with "*".
inline bool IsStarPink(int r, int g, int b) {
    return r > 200 && g > 110 && g < 215 && b > 110 && b < 215 && r - g > 35;
}

// Pixels of a screenshot, 8-bit RGB rows top first.
struct Picture {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
    // Pixels in the rectangle for which `match` holds.
    int Count(int x, int y, int w, int h, const std::function<bool(int, int, int)>& match) const {
        int count = 0;
        for (int py = y; py < y + h && py < height; ++py)
            for (int px = x; px < x + w && px < width; ++px) {
                const uint8_t* p = &rgb[(size_t(py) * width + px) * 3];
                count += match(p[0], p[1], p[2]);
            }
        return count;
    }
};

// Killed when it goes, if it is still running.
class Client {
  public:
    explicit Client(const std::string& gameFolder) : folder(gameFolder) {
        std::string binary = TestUtil::BinaryDir() + "/halcyon";
        std::system(("cd " + Quoted(folder) + " && rm -f halcyon.pid halcyon.exit && ( " + Quoted(binary) +
                     " > halcyon.out 2>&1 & echo $! > halcyon.pid; wait $!; echo $? > halcyon.exit ) >/dev/null 2>&1 &")
                        .c_str());
        // Generous waits: a sanitizer build on a busy machine starts slowly.
        WaitUntil(15, [&] { return (pid = Log("halcyon.pid")).find('\n') != std::string::npos; });
        pid = pid.substr(0, pid.find('\n'));
        startProblem = "no process";
        if (pid.empty()) return;
        // A program that cannot show its window exits; one that runs on
        // without a window is a fault of its own, said as such.
        WaitUntil(30, [&] {
            window = HostShell("xdotool search --pid " + pid + " 2>/dev/null | head -1");
            return !window.empty() || !Running();
        });
        if (window.empty()) {
            startProblem = Running() ? "it runs without a window" : "it exited with code " + Log("halcyon.exit");
            return;
        }
        startProblem = "no first frame";
        // Keys pressed before the first frame would be lost: wait for the chooser's list.
        if (!WaitUntil(30, [&] { return Screenshot("first_frame").Count(300, 230, 300, 60, IsBright) > 0; }))
            window.clear();
        else
            startProblem.clear();
    }
    ~Client() {
        if (!Running()) return;
        HostShell("kill -KILL " + pid + " 2>/dev/null");
        WaitExit(5);
    }
    bool Started() const { return !window.empty(); }
    const std::string& StartProblem() const { return startProblem; }
    bool Running() const { return !pid.empty() && Log("halcyon.exit").empty(); }
    // Real key presses (xdotool key names), each held long enough that the
    // once-a-frame keyboard snapshot sees it even at ten frames a second.
    // Focus comes back before every input: other programs share the display.
    void Keys(const std::string& keys) {
        std::string command = Focus(), key;
        for (std::istringstream in(keys); in >> key;)
            command += " keydown " + key + " sleep 0.2 keyup " + key + " sleep 0.06";
        HostShell(command + " 2>/dev/null");
    }
    void Type(const std::string& text) { HostShell(Focus() + " type --delay 20 " + Quoted(text) + " 2>/dev/null"); }
    // A press held for a few frames, as a person clicks.
    void Click(int x, int y) {
        HostShell(Focus() + " mousemove --window " + window + " " + std::to_string(x) + " " + std::to_string(y) +
                  " sleep 0.05 mousedown 1 sleep 0.15 mouseup 1 2>/dev/null");
    }
    Picture Screenshot(const std::string& savedAs) {
        const std::string path = folder + "/" + savedAs, png = Quoted(path + ".png");
        std::istringstream size(HostShell("import -window " + window + " " + png + " 2>/dev/null && convert " + png +
                                          " -depth 8 " + Quoted("rgb:" + path + ".rgb") +
                                          " && identify -format '%w %h' " + png + " 2>/dev/null"));
        Picture picture;
        std::string bytes = TestUtil::ReadFile(path + ".rgb");
        if (!(size >> picture.width >> picture.height) || bytes.size() != size_t(picture.width) * picture.height * 3)
            return Picture();
        picture.rgb.assign(bytes.begin(), bytes.end());
        return picture;
    }
    // SIGTERM, as the system asks a program to quit: true when it exits with 0 within `seconds`.
    bool QuitsCleanly(double seconds) {
        HostShell("kill -TERM " + pid + " 2>/dev/null");
        return WaitExit(seconds) && std::atoi(Log("halcyon.exit").c_str()) == 0;
    }
    bool WaitExit(double seconds) {
        return WaitUntil(seconds, [&] { return !Log("halcyon.exit").empty(); });
    }
    std::string Log(const char* name) const { return TestUtil::ReadFile(folder + "/" + name); }

  private:
    std::string Focus() const { return "xdotool windowfocus --sync " + window; }
    std::string folder, pid, window, startProblem;
};

// A fresh sample game folder named for the running test, with the system's
// data copied in.
class GameRunTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder = (std::filesystem::current_path() / ::testing::UnitTest::GetInstance()->current_test_info()->name())
                     .string();
        std::filesystem::remove_all(folder);
        ASSERT_TRUE(GenerateSampleFolder(folder));
        std::filesystem::copy(TestUtil::SourceDir() + "/data", folder + "/data",
                              std::filesystem::copy_options::recursive |
                                  std::filesystem::copy_options::overwrite_existing);
    }
    void TearDown() override { client.reset(); }
    void StartClient(int filePort) {
        TestUtil::WriteFile(folder + "/data/quil_ip.txt", "127.0.0.1 " + std::to_string(server.Port()) + "\n");
        TestUtil::WriteFile(folder + "/data/quilfile_ip.txt", "127.0.0.1 " + std::to_string(filePort) + "\n");
        client = std::make_unique<Client>(folder);
        ASSERT_TRUE(client->Started()) << client->StartProblem() << "\n" << client->Log("halcyon.out");
    }

    ScriptServer server;
    std::string folder;
    std::unique_ptr<Client> client;
};

} // namespace GameRun
