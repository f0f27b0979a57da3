// Loopback helpers of the network, download, protocol, local-server and
// end-to-end tests.
#pragma once
#include <gtest/gtest.h>

#include "CMemMan.h"
#include "NetServer.h"
#include "QuilDataManager.h"
#include "TestUtil.h"

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace NetTest {

// Polls until `done` holds; the bound only keeps a broken build from hanging.
inline bool WaitUntil(double seconds, const std::function<bool()>& done) {
    auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// Bytes that differ from block to block, so a lost or repeated block shows.
inline std::string Pattern(size_t size, char seed = 0) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(seed + i * 13 + i / 4086);
    return bytes;
}

inline bool Send(NET::Client& client, const std::string& bytes) {
    return client.SendData(bytes.data(), static_cast<int>(bytes.size()));
}

// Whatever `client` holds now ("" when nothing came).
inline std::string Drain(NET::Client& client) {
    std::vector<char> bytes;
    if (client.ReceivedByteCount() == 0 || !client.ReceiveData(bytes)) return "";
    return std::string(bytes.begin(), bytes.end());
}

// Collects from `client` until `size` bytes have come (or the wait gives up).
inline std::string Collect(NET::Client& client, size_t size) {
    std::string got;
    WaitUntil(20, [&] { return (got += Drain(client)).size() >= size; });
    return got;
}

// Every text waiting in the player's text window, oldest first.
inline std::vector<std::string> TakeTexts() {
    std::vector<std::string> texts;
    for (std::string text; TakeText(text);)
        texts.push_back(text);
    return texts;
}

// A listening server, a client connected to it and the server's end of that
// connection.
class Loopback : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(server.Listen(0));
        ASSERT_TRUE(client.Connect("127.0.0.1", server.Port()));
        ASSERT_TRUE(WaitUntil(20, [&] { return (peer = server.TakeClient()) != nullptr; }));
        TestUtil::ClearLog("_error.txt");
        TestUtil::ClearLog("_netlog.txt");
    }
    void TearDown() override {
        if (peer) delete2(peer);
    }

    NetServer server;
    NET::Client client;
    NET::Client* peer = nullptr;
};

// A game server on a free loopback port that speaks only as the test tells it
// and keeps every byte the client sent.
class ScriptServer {
  public:
    ScriptServer() { server.Listen(0); }
    ~ScriptServer() { Close(); }
    int Port() const { return server.Port(); }
    bool Accept(double seconds) {
        return WaitUntil(seconds, [this] { return link || (link = server.TakeClient()) != nullptr; });
    }
    bool Send(const std::string& bytes) { return link && NetTest::Send(*link, bytes); }
    // Everything the client sent so far.
    const std::string& Received() {
        if (link) received += Drain(*link);
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

  private:
    NetServer server;
    NET::Client* link = nullptr;
    std::string received;
    size_t taken = 0;
};

} // namespace NetTest
