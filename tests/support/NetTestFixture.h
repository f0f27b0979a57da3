// Loopback helpers of the network, download and local-server tests.
#pragma once
#include <gtest/gtest.h>

#include "CMemMan.h"
#include "NetServer.h"
#include "QuilDataManager.h"
#include "TestUtil.h"
#include "platform/PlatformSystem.h"

#include <functional>
#include <string>
#include <vector>

namespace NetTest {

// Polls until `done` holds; the bound only keeps a broken build from hanging.
inline bool WaitFor(const std::function<bool()>& done, int milliseconds = 20000) {
    for (int waited = 0; waited < milliseconds; waited += 5) {
        if (done()) return true;
        Platform::SleepMilliseconds(5);
    }
    return done();
}

// Bytes that differ from block to block, so a lost or repeated block shows.
inline std::string Pattern(size_t size, char seed = 0) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(seed + i * 13 + i / 4086);
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
    WaitFor([&] { return (got += Drain(client)).size() >= size; });
    return got;
}

// Every text waiting in the player's text window, oldest first.
inline std::vector<std::string> TakeTexts() {
    std::vector<std::string> texts;
    for (std::string text; TakeText(text);) texts.push_back(text);
    return texts;
}

// Where QuilFileGetter looks for its file server.
inline void UseFileServer(int port) {
    TestUtil::WriteFile("data/quilfile_ip.txt", "127.0.0.1 " + std::to_string(port) + "\n");
}

// A listening server, a client connected to it and the server's end of that
// connection.
class Loopback : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.Listen(0));
        ASSERT_TRUE(client.Connect("127.0.0.1", server.Port()));
        ASSERT_TRUE(WaitFor([&] { return (peer = server.TakeClient()) != nullptr; }));
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

}  // namespace NetTest
