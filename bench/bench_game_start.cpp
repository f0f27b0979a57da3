// The program's start-up as a player meets it, through the real entry
// (RunGame: window, graphics, keyboard, first scene, frame loop, shut-down)
// in a freshly generated sample game folder. Run under Xvfb (xvfb-run -a).
// Targets: from the start to the chooser's first frame under 300 ms; from the
// Enter key (a real key press through xdotool, to the halcyon program run as
// its own process) to logged in under 500 ms on loopback, logged in being the
// moment the server has the client's answer to the login marker.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "CChooseINI.h"
#include "CMemMan.h"
#include "MainGame.h"
#include "NetServer.h"
#include "SampleFolder.h"
#include "platform/PlatformSystem.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

Clock::time_point firstFrame;

// The chooser, watched: it notes its first frame and then removes itself,
// so the program ends.
class WatchedChooser : public CChooseINI {
public:
    void Draw() override {
        CChooseINI::Draw();
        if (drawn) return;
        drawn = true;
        firstFrame = Clock::now();
    }
    void Update(float seconds) override {
        if (!drawn) return CChooseINI::Update(seconds);
        SceneManager::RemoveScene();
    }

private:
    bool drawn = false;
};

Scene* MakeWatchedChooser() { return new2(WatchedChooser, WatchedChooser); }

std::string RepositoryData() {
    return (fs::canonical("/proc/self/exe").parent_path().parent_path() / "data").string();
}

// A fresh game folder as the working folder, the address file naming `port`.
bool EnterGameFolder(int port) {
    fs::path folder = fs::temp_directory_path() / "halcyon_bench_start";
    fs::current_path(fs::temp_directory_path());
    fs::remove_all(folder);
    if (!GenerateSampleFolder(folder.string())) return false;
    fs::copy(RepositoryData(), folder / "data", fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    fs::current_path(folder);
    FILE* address = std::fopen("data/quil_ip.txt", "w");
    if (!address) return false;
    std::fprintf(address, "127.0.0.1 %d\n", port);
    std::fclose(address);
    return true;
}

void BM_StartToChooserFirstFrame(benchmark::State& state) {
    for (auto _ : state) {
        if (!EnterGameFolder(1)) return state.SkipWithError("no game folder");
        auto start = Clock::now();
        firstFrame = start;
        RunGame(&MakeWatchedChooser);
        if (firstFrame == start) return state.SkipWithError("no frame was drawn");
        state.SetIterationTime(std::chrono::duration<double>(firstFrame - start).count());
    }
}
BENCHMARK(BM_StartToChooserFirstFrame)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

std::string Run(const std::string& command) {
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, n);
        pclose(pipe);
    }
    while (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
}

bool WaitFor(NET::Client& link, std::string& got, const char* text, Clock::time_point until) {
    while (got.find(text) == std::string::npos && Clock::now() < until) {
        std::vector<char> bytes;
        if (link.ReceiveData(bytes)) got.append(bytes.begin(), bytes.end());
        else std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return got.find(text) != std::string::npos;
}

// Enter pressed in the chooser of the program run as its own process, until
// the server has the answer to its login marker; -1 when that never came.
double EnterToLoggedIn() {
    NetServer server;
    if (!server.Listen(0) || !EnterGameFolder(server.Port())) return -1;
    std::string binary = (fs::canonical("/proc/self/exe").parent_path() / "halcyon").string();
    std::string pid = Run("'" + binary + "' >halcyon.out 2>&1 & echo $!");
    std::string window = Run("timeout 10 xdotool search --sync --pid " + pid + " | head -1");
    double seconds = -1;
    if (!window.empty()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // well past the first frame
        auto enter = Clock::now();
        Run("xdotool windowfocus --sync " + window + " keydown Return sleep 0.05 keyup Return");
        auto until = Clock::now() + std::chrono::seconds(10);
        NET::Client* link = nullptr;
        while (!(link = server.TakeClient()) && Clock::now() < until)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        std::string got;
        if (link && link->SendData("END\n", 4) && WaitFor(*link, got, "connect ", until) &&
            link->SendData("&&&&&&&&&&&&&\n", 14) && WaitFor(*link, got, "color ", until))
            seconds = std::chrono::duration<double>(Clock::now() - enter).count();
        delete2(link);
    }
    Run("kill -TERM " + pid + "; for i in $(seq 100); do kill -0 " + pid + " 2>/dev/null || break; sleep 0.05; done");
    return seconds;
}

void BM_EnterToLoggedIn(benchmark::State& state) {
    for (auto _ : state) {
        double seconds = EnterToLoggedIn();
        if (seconds < 0) return state.SkipWithError("no login");
        state.SetIterationTime(seconds);
    }
}
BENCHMARK(BM_EnterToLoggedIn)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
