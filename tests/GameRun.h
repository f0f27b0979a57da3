// The end-to-end harness: a sample game folder made by the sample generator,
// the real halcyon program started in it on the test's display, real input
// through xdotool, screenshots, and a scripted game server in the test that
// records every byte the client sends.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "NetServer.h"
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include "CMemMan.h"
#include "SampleFolder.h"
#include "TestUtil.h"

namespace GameRun {

// Runs a shell command; its standard output without the last line feed.
std::string Shell(const std::string& command);
// Waits up to `seconds` for `done`, polling every 20 ms.
bool WaitUntil(double seconds, const std::function<bool()>& done);

// A fresh sample game folder under the working folder, with the system's
// data copied in and the two address files naming the given ports.
std::string MakeGameFolder(const std::string& name, int gamePort, int filePort);

// A game server that speaks only as the test tells it and keeps everything
// the client sent.
class ScriptServer {
public:
    ScriptServer();
    ~ScriptServer();
    int Port() const { return server.Port(); }
    // Waits for the client's connection.
    bool Accept(double seconds);
    bool Send(const std::string& bytes);
    // Gathers what arrived; true once `text` is among it.
    bool WaitFor(const std::string& text, double seconds);
    const std::string& Received();
    // Greeting, login marker: answers the client's connect line as a game server would.
    bool LogIn(double seconds);
    void Close();
    bool HasSecondConnection();

private:
    void Gather();
    NetServer server;
    NET::Client* link = nullptr;
    std::string received;
};

// Pixels of a screenshot, 8-bit RGB rows top first.
struct Picture {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
    bool Loaded() const { return width > 0; }
    void At(int x, int y, int& r, int& g, int& b) const;
    // Pixels in the rectangle for which `match` holds.
    int Count(int x, int y, int w, int h, const std::function<bool(int, int, int)>& match) const;
};

// The halcyon program running in a game folder. Killed when it goes, if it
// is still running.
class Client {
public:
    explicit Client(const std::string& folder);
    ~Client();
    bool Started() const { return !window.empty(); }
    bool Running();
    // Real key presses (xdotool key names) and typed text, to the focused window.
    void Keys(const std::string& keys);
    void Type(const std::string& text);
    // A press held for a few frames, as a person clicks.
    void Click(int x, int y);
    void Wheel(int button, int times);
    Picture Screenshot(const std::string& savedAs);
    // SIGTERM, as the system asks a program to quit; waits for the exit.
    bool Terminate(double seconds);
    // True once the program has exited; its exit code then.
    bool WaitExit(double seconds);
    int ExitCode();
    const std::string& Folder() const { return folder; }
    std::string Log(const char* name) const;

private:
    void Focus();
    std::string folder, pid, window;
};

// Answers the message box with this caption by a real key press (Return or Escape).
bool AnswerMessageBox(const std::string& caption, const std::string& key, double seconds);

}  // namespace GameRun

// Each end-to-end program is one source file, so the harness lives in this header.




namespace GameRun {

namespace {

inline std::string Quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace

inline std::string Shell(const std::string& command) {
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[512];
        size_t n = 0;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
        pclose(pipe);
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
}

inline bool WaitUntil(double seconds, const std::function<bool()>& done) {
    auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        Pause(20);
    }
    return true;
}

inline std::string MakeGameFolder(const std::string& name, int gamePort, int filePort) {
    std::string folder = (std::filesystem::current_path() / name).string();
    std::filesystem::remove_all(folder);
    if (!GenerateSampleFolder(folder)) return "";
    std::filesystem::copy(TestUtil::SourceDir() + "/data", folder + "/data",
             std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing);
    TestUtil::WriteFile(folder + "/data/quil_ip.txt", "127.0.0.1 " + std::to_string(gamePort) + "\n");
    TestUtil::WriteFile(folder + "/data/quilfile_ip.txt", "127.0.0.1 " + std::to_string(filePort) + "\n");
    return folder;
}

ScriptServer::ScriptServer() { server.Listen(0); }

ScriptServer::~ScriptServer() { Close(); }

inline bool ScriptServer::Accept(double seconds) {
    return WaitUntil(seconds, [this] { return link || (link = server.TakeClient()) != nullptr; });
}

inline bool ScriptServer::HasSecondConnection() {
    NET::Client* other = server.TakeClient();
    if (!other) return false;
    delete2(other);
    return true;
}

inline bool ScriptServer::Send(const std::string& bytes) {
    return link && link->SendData(bytes.data(), static_cast<int>(bytes.size()));
}

inline void ScriptServer::Gather() {
    std::vector<char> bytes;
    if (link && link->ReceiveData(bytes)) received.append(bytes.begin(), bytes.end());
}

const std::string& ScriptServer::Received() {
    Gather();
    return received;
}

inline bool ScriptServer::WaitFor(const std::string& text, double seconds) {
    return WaitUntil(seconds, [&] {
        Gather();
        return received.find(text) != std::string::npos;
    });
}

inline bool ScriptServer::LogIn(double seconds) {
    if (!Accept(seconds) || !Send("Welcome to the test server.\nEND\n")) return false;
    if (!WaitFor("connect ", seconds) || !WaitFor("\n", seconds)) return false;
    return Send("&&&&&&&&&&&&&\n") && WaitFor("color ", seconds);
}

inline void ScriptServer::Close() {
    if (!link) return;
    link->Disconnect();
    delete2(link);
    link = nullptr;
}

inline void Picture::At(int x, int y, int& r, int& g, int& b) const {
    size_t i = (static_cast<size_t>(y) * width + x) * 3;
    r = rgb[i], g = rgb[i + 1], b = rgb[i + 2];
}

inline int Picture::Count(int x, int y, int w, int h, const std::function<bool(int, int, int)>& match) const {
    int count = 0, r = 0, g = 0, b = 0;
    for (int py = y; py < y + h && py < height; ++py)
        for (int px = x; px < x + w && px < width; ++px) {
            At(px, py, r, g, b);
            if (match(r, g, b)) ++count;
        }
    return count;
}

inline Client::Client(const std::string& gameFolder) : folder(gameFolder) {
    std::string binary = TestUtil::BinaryDir() + "/halcyon";
    std::system(("cd " + Quoted(folder) + " && rm -f halcyon.pid halcyon.exit && ( " + Quoted(binary) +
                 " > halcyon.out 2>&1 & echo $! > halcyon.pid; wait $!; echo $? > halcyon.exit ) >/dev/null 2>&1 &")
                    .c_str());
    WaitUntil(5, [&] { return !(pid = TestUtil::ReadFile(folder + "/halcyon.pid")).empty() && pid.back() == '\n'; });
    while (!pid.empty() && pid.back() == '\n') pid.pop_back();
    if (pid.empty()) return;
    WaitUntil(10, [&] { return !(window = Shell("xdotool search --pid " + pid + " 2>/dev/null | head -1")).empty(); });
    if (window.empty()) return;
    Focus();
    // Keys pressed before the first frame would be lost: wait for the chooser's list.
    bool drawn = WaitUntil(10, [&] {
        return Screenshot("first_frame").Count(300, 230, 300, 60, [](int r, int g, int b) {
            return r > 150 && g > 150 && b > 150;
        }) > 0;
    });
    if (!drawn) window.clear();
}

inline Client::~Client() {
    if (!pid.empty() && Running()) {
        Shell("kill -KILL " + pid + " 2>/dev/null");
        WaitExit(5);
    }
}

bool Client::Running() { return !pid.empty() && TestUtil::ReadFile(folder + "/halcyon.exit").empty(); }

// Focus goes back to this window before every input: other test programs
// share the display and take it for their own windows.
void Client::Focus() { Shell("xdotool windowfocus --sync " + window + " 2>/dev/null"); }

// Each key is held for a few frames, so the once-a-frame keyboard snapshot sees it.
inline void Client::Keys(const std::string& keys) {
    std::string command = "xdotool windowfocus --sync " + window;
    size_t start = 0;
    while (start < keys.size()) {
        size_t end = keys.find(' ', start);
        std::string key = keys.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!key.empty()) command += " keydown " + key + " sleep 0.06 keyup " + key + " sleep 0.06";
        start = end == std::string::npos ? keys.size() : end + 1;
    }
    Shell(command + " 2>/dev/null");
}

inline void Client::Type(const std::string& text) {
    Shell("xdotool windowfocus --sync " + window + " type --delay 20 " + Quoted(text) + " 2>/dev/null");
}

inline void Client::Click(int x, int y) {
    Shell("xdotool windowfocus --sync " + window + " mousemove --window " + window + " " + std::to_string(x) + " " +
          std::to_string(y) + " sleep 0.05 mousedown 1 sleep 0.15 mouseup 1 2>/dev/null");
}

inline void Client::Wheel(int button, int times) {
    Shell("xdotool windowfocus --sync " + window + " click --repeat " + std::to_string(times) +
          " --delay 60 " + std::to_string(button) + " 2>/dev/null");
}

inline Picture Client::Screenshot(const std::string& savedAs) {
    Picture picture;
    std::string path = folder + "/" + savedAs;
    Shell("import -window " + window + " " + Quoted(path + ".png") + " 2>/dev/null; convert " + Quoted(path + ".png") +
          " -depth 8 " + Quoted("ppm:" + path + ".ppm") + " 2>/dev/null");
    std::ifstream in(path + ".ppm", std::ios::binary);
    std::string magic;
    int maxValue = 0;
    if (!(in >> magic >> picture.width >> picture.height >> maxValue) || magic != "P6" || maxValue != 255) {
        picture.width = picture.height = 0;
        return picture;
    }
    in.get();
    picture.rgb.resize(static_cast<size_t>(picture.width) * picture.height * 3);
    if (!in.read(reinterpret_cast<char*>(picture.rgb.data()), static_cast<std::streamsize>(picture.rgb.size())))
        picture.width = picture.height = 0;
    return picture;
}

inline bool Client::Terminate(double seconds) {
    Shell("kill -TERM " + pid + " 2>/dev/null");
    return WaitExit(seconds);
}

inline bool Client::WaitExit(double seconds) {
    return WaitUntil(seconds, [&] { return !TestUtil::ReadFile(folder + "/halcyon.exit").empty(); });
}

inline int Client::ExitCode() {
    std::string code = TestUtil::ReadFile(folder + "/halcyon.exit");
    return code.empty() ? -1 : std::atoi(code.c_str());
}

std::string Client::Log(const char* name) const { return TestUtil::ReadFile(folder + "/" + name); }

inline bool AnswerMessageBox(const std::string& caption, const std::string& key, double seconds) {
    std::string id;
    WaitUntil(seconds, [&] {
        id = Shell("xwininfo -root -tree 2>/dev/null | grep '\"" + caption + "\"' | awk '{print $1}' | head -1");
        return !id.empty();
    });
    if (id.empty()) return false;
    Shell("xdotool windowfocus --sync " + id + " sleep 0.2 key " + key + " 2>/dev/null");
    return true;
}

}  // namespace GameRun
