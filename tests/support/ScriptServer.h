// A game server for the protocol, game scene and end-to-end tests: a
// NetServer on a free loopback port that speaks only as the test tells it and
// keeps every byte the client sent.
#pragma once
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "CMemMan.h"
#include "NetServer.h"

namespace GameTest {

inline bool WaitUntil(double seconds, const std::function<bool()>& done) {
    auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

class ScriptServer {
public:
    ScriptServer() { server.Listen(0); }
    ~ScriptServer() { Close(); }
    int Port() const { return server.Port(); }
    // Waits for the client's connection.
    bool Accept(double seconds) {
        return WaitUntil(seconds, [this] { return link || (link = server.TakeClient()) != nullptr; });
    }
    bool Send(const std::string& bytes) { return link && link->SendData(bytes.data(), int(bytes.size())); }
    // Everything the client sent so far.
    const std::string& Received() {
        std::vector<char> bytes;
        if (link && link->ReceiveData(bytes)) received.append(bytes.begin(), bytes.end());
        return received;
    }
    bool WaitFor(const std::string& text, double seconds) {
        return WaitUntil(seconds, [&] { return Received().find(text) != std::string::npos; });
    }
    // What the client sent since the last call, once `size` bytes of it came.
    std::string Next(size_t size) {
        WaitUntil(10, [&] { return Received().size() >= taken + size; });
        std::string next = received.substr(taken);
        taken = received.size();
        return next;
    }
    // Greeting, login marker: answers the client's connect line as a game server would.
    bool LogIn(double seconds) {
        if (!Accept(seconds) || !Send("Welcome to the test server.\nEND\n")) return false;
        if (!WaitFor("connect ", seconds) || !WaitFor("\n", seconds)) return false;
        return Send("&&&&&&&&&&&&&\n") && WaitFor("color ", seconds);
    }
    void Close() {
        if (!link) return;
        link->Disconnect();
        delete2(link);
        link = nullptr;
    }
    bool HasSecondConnection() {
        NET::Client* other = server.TakeClient();
        if (other) delete2(other);
        return other != nullptr;
    }

private:
    NetServer server;
    NET::Client* link = nullptr;
    std::string received;
    size_t taken = 0;
};

}  // namespace GameTest
