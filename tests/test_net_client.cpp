// NET::Client and NetServer: addresses, log texts, the traffic summary, failed
// connections, every misuse report, and the two talking over loopback.
#include <gtest/gtest.h>

#include "CMemMan.h"
#include "NetClient.h"
#include "NetServer.h"
#include "NetTestFixture.h"
#include "TestUtil.h"
#include "platform/PlatformSocket.h"
#include "platform/PlatformSystem.h"

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>
#ifndef _WIN32
#include <sys/resource.h>
#endif

using NetTest::Collect;
using NetTest::Pattern;
using NetTest::Send;
using NetTest::WaitUntil;
using TestUtil::CountOf;
using TestUtil::ReadFile;

namespace {

TEST(NetAddress, DottedAddressesAreRecognisedAndConvertedLikeDecimalText) {
    for (const char* name : {"", "127.0.1", "1.2.3.4.5", "localhost", "10.0.0.1a", "10.0.0.-1"})
        EXPECT_FALSE(NET::IsDottedAddress(name)) << name;
    const std::pair<const char*, std::vector<int>> cases[] = {
        {" 10. 0. 0. 7", {10, 0, 0, 7}}, // leading spaces skipped
        {"10 5.1 2.3.4", {10, 1, 3, 4}}, // conversion stops at the first non-digit
        {"...", {0, 0, 0, 0}},           // empty parts are 0
        {"256.257.1.0", {0, 1, 1, 0}},   // stored as one byte
    };
    for (const auto& [host, expected] : cases) {
        EXPECT_TRUE(NET::IsDottedAddress(host)) << host;
        uint8_t a[4] = {9, 9, 9, 9};
        NET::ParseDottedAddress(host, a);
        EXPECT_EQ(std::vector<int>(a, a + 4), expected) << host;
    }
}

TEST(NetLogText, LoginLinesAreHiddenAndTextEndsAtTheFirstNulByte) {
    const std::string hidden = "connect (NAME/PASS REMOVED FOR SECURITY)\n";
    const std::pair<std::string, std::string> cases[] = {
        {"connect Ann pw\n", hidden},
        {"conn", hidden}, // could be the start of a login
        {"connex\n", "connex\n"},
        {"connected\n", "connected\n"},
        {"say hi\nconnect Ann pw\nm 7\n", "say hi\n" + hidden + "m 7\n"},
        {std::string("say hi\0secret", 13), "say hi"}};
    for (const auto& [sent, logged] : cases)
        EXPECT_EQ(NET::SentLogText(sent.data(), static_cast<int>(sent.size())), "{SENT TO SERVER}" + logged);
    EXPECT_EQ(NET::SentLogText("abc", 2), "{SENT TO SERVER}ab");
    EXPECT_EQ(NET::ReceivedLogText({'h', 'i', '\0', 'x'}), "hi");
    // The owner's filter sees the text after the login is hidden, on both sides.
    auto shout = [](const std::string& text) { return "<" + text + ">"; };
    EXPECT_EQ(NET::SentLogText("hi\nconnect A b\n", 15, shout), "{SENT TO SERVER}<hi\n" + hidden + ">");
    EXPECT_EQ(NET::ReceivedLogText({'h', 'i'}, shout), "<hi>");
    std::string echoed = "10 ok\nconnect Ann pw\n";
    EXPECT_EQ(NET::ReceivedLogText(std::vector<char>(echoed.begin(), echoed.end())), "10 ok\n" + hidden);
}

TEST(NetTraffic, SummaryChoosesTheUnitByMagnitude) {
    const std::tuple<uint32_t, const char*> cases[] = {
        {0, "0 bytes"},    {102400, "102400 bytes"}, // 100 KB is still counted in bytes
        {103424, "101KB"}, {8388607, "8191KB"},      // just under 8 MB
        {8388608, "8MB"},  {4294967295u, "4095MB"}};
    for (const auto& [bytes, text] : cases)
        EXPECT_EQ(WinSockUser::TrafficSummary(bytes, 51200), std::string("Network connection:\n  -Total data sent: ") +
                                                                 text + "\n  -Total data received: 51200 bytes\n\n");
}

TEST(NetClientLogs, FailedConnectionsAreReportedAndLeaveTheClientUsable) {
    TestUtil::ClearLog("_error.txt");
    TestUtil::ClearLog("_netlog.txt");
    // A label over 63 bytes is refused by the resolver itself, so no name
    // query leaves the machine.
    const std::string unknown = std::string(64, 'x') + ".invalid";
    NET::Client client;
    EXPECT_FALSE(client.Connect(unknown, 6500));
    EXPECT_FALSE(client.Connect("", 6500)); // no dotted address, and names no host
    EXPECT_EQ(ReadFile("_error.txt"), "Unable to resolve host \"" + unknown +
                                          "\" port 6500\n"
                                          "Unable to resolve host \"\" port 6500\n");
    EXPECT_EQ(ReadFile("_netlog.txt"), "");

    TestUtil::ClearLog("_error.txt");
    EXPECT_FALSE(client.Connect("127.0.0.1", 65536 + 80));
    EXPECT_FALSE(client.Connect("127.0.0.1", -1));
    EXPECT_EQ(ReadFile("_error.txt"), "Failed to connect to host \"127.0.0.1\" port 65616\n"
                                      "Failed to connect to host \"127.0.0.1\" port -1\n");

    int closed;
    {
        NetServer probe; // a port on this machine that nothing listens on once it goes
        ASSERT_TRUE(probe.Listen(0));
        closed = probe.Port();
    }
    TestUtil::ClearLog("_error.txt");
    TestUtil::ClearLog("_netlog.txt");
    std::string port = std::to_string(closed);
    EXPECT_FALSE(client.Connect("127.0.0.1", closed));
    EXPECT_FALSE(client.IsConnected());
    EXPECT_EQ(ReadFile("_error.txt"),
              "Failed to connect to host \"127.0.0.1\" port " + port + "\n  -connection refused by server\n");
    EXPECT_EQ(ReadFile("_netlog.txt"), "\nFailed to connect to host \"127.0.0.1\" port " + port + "\n\n");
}

TEST(NetClientLogs, MisuseIsReportedWithTheCallersStack) {
    TestUtil::ClearLog("_error.txt");
    TestUtil::ClearLog("_netlog.txt");
    NET::Client unconnected, uninitialised(Platform::InvalidSocket);
    std::vector<char> out;
    for (NET::Client* client : {&unconnected, &uninitialised}) {
        EXPECT_FALSE(client->SendData("x", 1));
        EXPECT_FALSE(client->ReceiveData(out));
        client->Disconnect(); // merely unconnected: nothing to do, nothing to say
    }
    EXPECT_FALSE(uninitialised.Connect("127.0.0.1", 1));
    EXPECT_FALSE(uninitialised.IsConnected());
    std::string errors = ReadFile("_error.txt");
    for (const char* message : {"Error: Attempt to send data to server when not connected.\n",
                                "Error: Attempt to receive data from server when not connected.\n",
                                "Error: Attempt to call net client Connect when not Init'd.\n",
                                "Error: Attempt to call NETCLIENT::SendData when not Init'd.\n",
                                "Error: Attempt to call NETCLIENT::ReceiveData when not Init'd.\n",
                                "Error: Attempt to call NETCLIENT::Disconnect when not Init'd.\n"})
        EXPECT_EQ(CountOf(errors, std::string(message) + "  -attempt made from:\n"), 1) << message;
    EXPECT_EQ(CountOf(errors, "Error: "), 6);
    EXPECT_NE(errors.find("test_net_client.cpp"), std::string::npos) << errors; // the caller's stack
    EXPECT_EQ(ReadFile("_netlog.txt"), "");
}

// The peer is a bare socket, so only the client's own traffic is counted.
TEST(NetTraffic, SummaryIsWrittenWhenTheLastNetworkObjectGoes) {
    Platform::SocketHandle listener = Platform::CreateSocket();
    ASSERT_TRUE(Platform::BindAnyAddress(listener, 0));
    ASSERT_TRUE(Platform::ListenOn(listener, 4));
    NET::Client* client = new2(NET::Client, NET::Client);
    NET::Client* idle = new2(NET::Client, NET::Client);
    ASSERT_TRUE(client->Connect("127.0.0.1", Platform::LocalPort(listener)));
    Platform::SocketHandle peer = Platform::AcceptConnection(listener);
    ASSERT_NE(peer, Platform::InvalidSocket);
    EXPECT_TRUE(client->SendData("hello", 5));
    ASSERT_EQ(Platform::SendBytes(peer, "hi", 2, true), 2);
    EXPECT_TRUE(WaitUntil(20, [&] { return client->ReceivedByteCount() == 2; }));

    TestUtil::ClearLog("_stat.txt");
    delete2(client);
    EXPECT_EQ(ReadFile("_stat.txt"), "") << "another network object is still alive";
    delete2(idle);
    EXPECT_EQ(ReadFile("_stat.txt"),
              "Network connection:\n  -Total data sent: 5 bytes\n  -Total data received: 2 bytes\n\n");
    Platform::CloseSocket(peer);
    Platform::CloseSocket(listener);
}

// No descriptor left: the sockets cannot be made, and the objects stay unusable
// without any memory fault. The log cannot be opened meanwhile; the misuse
// reports afterwards show that neither object became usable.
#ifndef _WIN32
TEST(NetConnect, ObjectsWhoseSocketCannotBeMadeGoQuietly) {
    // UndefinedBehaviorSanitizer opens a pipe the first time it checks an object's type.
    delete2(new2(NetServer, NetServer));
    delete2(new2(NET::Client, NET::Client));
    TestUtil::ClearLog("_error.txt");
    rlimit limit, none;
    getrlimit(RLIMIT_NOFILE, &limit);
    none = {0, limit.rlim_max};
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &none), 0);
    NET::Client* client = new2(NET::Client, NET::Client);
    NetServer* server = new2(NetServer, NetServer);
    setrlimit(RLIMIT_NOFILE, &limit);
    EXPECT_FALSE(client->Connect("127.0.0.1", 1));
    EXPECT_FALSE(server->Listen(0));
    delete2(client);
    delete2(server);
    EXPECT_FALSE(MemTrack::HadCriticalErrors());
    std::string errors = ReadFile("_error.txt");
    EXPECT_EQ(CountOf(errors, "Error: Attempt to call net client Connect when not Init'd.\n"), 1) << errors;
    EXPECT_EQ(CountOf(errors, "Error: Attempt to call net server Listen when not Init'd.\n"), 1) << errors;
}
#endif

// A loopback port whose listener never accepts and whose queue is full: a
// connection to it gets no answer, as from a machine that is off.
class SilentServer {
  public:
    SilentServer() {
        listener = Platform::CreateSocket();
        Platform::BindAnyAddress(listener, 0);
        Platform::ListenOn(listener, 0);
        const uint8_t loopback[4] = {127, 0, 0, 1};
        for (int i = 0; i < 16; ++i) {
            Platform::SocketHandle filler = Platform::CreateSocket();
            fillers.push_back(filler);
            Platform::ConnectProgress progress = Platform::StartConnect(filler, loopback, Port());
            if (progress == Platform::ConnectProgress::Waiting &&
                Platform::AwaitConnect(filler, 200) == Platform::ConnectProgress::Waiting)
                return; // this one got no answer: the queue is full
        }
        ADD_FAILURE() << "the listen queue never filled";
    }
    ~SilentServer() {
        for (Platform::SocketHandle& s : fillers)
            Platform::EndSocket(s);
        Platform::EndSocket(listener);
    }
    int Port() const { return Platform::LocalPort(listener); }

  private:
    Platform::SocketHandle listener;
    std::vector<Platform::SocketHandle> fillers;
};

// The loopback connection's receive thread needs NetworkLock meanwhile.
using Loopback = NetTest::Loopback;

TEST_F(Loopback, SilentServerTimesOutWhileOtherConnectionsGoOn) {
    SilentServer silent;
    NET::Client waiting;
    NET::Client* abandoned = new2(NET::Client, NET::Client);
    ASSERT_TRUE(waiting.ConnectInBackground("127.0.0.1", silent.Port(), 3000));
    ASSERT_TRUE(abandoned->ConnectInBackground("127.0.0.1", silent.Port()));
    EXPECT_TRUE(waiting.IsConnecting()); // the caller's thread is free at once
    Platform::SleepMilliseconds(200);
    ASSERT_TRUE(peer->SendData("ping", 4));
    EXPECT_TRUE(WaitUntil(1, [&] { return client.ReceivedByteCount() == 4; }));
    EXPECT_TRUE(waiting.IsConnecting());

    EXPECT_TRUE(WaitUntil(5, [&] { return !waiting.IsConnecting(); }));
    EXPECT_FALSE(waiting.IsConnected());
    std::string port = std::to_string(silent.Port());
    EXPECT_EQ(ReadFile("_error.txt"), "Failed to connect to host \"127.0.0.1\" port " + port +
                                          "\n  -no answer from the server within 3000 ms\n");
    // Destroying a client whose connection is still being made does not wait for it.
    auto start = std::chrono::steady_clock::now();
    delete2(abandoned);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

// The bytes arrive whole, NUL bytes included, however they were sent.
TEST_F(Loopback, BurstArrivesWholeInOneReceiveAndTheNextFindsNothing) {
    std::string burst = std::string("hello\0tail", 10) + Pattern(25000, 2);
    ASSERT_TRUE(Send(*peer, burst.substr(0, 10)));
    ASSERT_TRUE(Send(*peer, burst.substr(10)));
    ASSERT_TRUE(WaitUntil(20, [&] { return client.ReceivedByteCount() == burst.size(); }));

    std::vector<char> out;
    ASSERT_TRUE(client.ReceiveData(out));
    EXPECT_EQ(std::string(out.begin(), out.end()), burst);
    EXPECT_EQ(client.ReceivedByteCount(), 0u);
    std::vector<char> again{'x'};
    EXPECT_FALSE(client.ReceiveData(again));
    EXPECT_EQ(again, std::vector<char>{'x'});
    EXPECT_EQ(ReadFile("_error.txt"), "");
}

// What the peer sent before it closed stays collectable after the close is
// noticed; only then does receiving become misuse.
TEST_F(Loopback, BytesSentBeforeTheCloseOutliveIt) {
    std::string last = Pattern(300000, 4) + "Invalid Name or password.\n";
    ASSERT_TRUE(Send(*peer, last));
    delete2(peer);
    peer = nullptr;
    ASSERT_TRUE(WaitUntil(20, [&] { return !client.IsConnected(); }));
    EXPECT_EQ(client.ReceivedByteCount(), last.size());
    EXPECT_EQ(Collect(client, last.size()), last);
    EXPECT_EQ(ReadFile("_error.txt"), "");

    std::vector<char> out;
    EXPECT_FALSE(client.ReceiveData(out));
    EXPECT_EQ(ReadFile("_error.txt").find("Error: Attempt to receive data from server when not connected.\n"), 0u);
}

// A sender faster than the owner collects is left to TCP's flow control
// once the buffer is full; every byte still arrives, in order.
TEST_F(Loopback, ReceiveBufferStopsAtItsCeiling) {
    const unsigned ceiling = NET::Client::ReceiveCeiling;
    const std::string stream = Pattern(2 * ceiling + 12345, 5);
    std::atomic<bool> sent{false};
    std::thread sender([&] { sent = Send(*peer, stream); });
    ASSERT_TRUE(WaitUntil(20, [&] { return client.ReceivedByteCount() >= ceiling; }));
    Platform::SleepMilliseconds(200);
    EXPECT_EQ(client.ReceivedByteCount(), ceiling); // the rest waits in the system
    std::string got = Collect(client, stream.size());
    sender.join();
    EXPECT_TRUE(sent);
    EXPECT_TRUE(got == stream) << got.size() << " of " << stream.size() << " bytes";
}

// Sending nothing is no misuse; connecting or listening again is, and leaves
// both ends up. The client's own close reaches the server end, and a second
// one is harmless and silent.
TEST_F(Loopback, AgainOrNothingLeavesTheConnectionUpUntilTheClientCloses) {
    EXPECT_FALSE(client.SendData("abc", 0));
    EXPECT_FALSE(client.SendData(nullptr, 3));
    EXPECT_EQ(ReadFile("_error.txt"), "");
    EXPECT_FALSE(client.Connect("127.0.0.1", server.Port()));
    EXPECT_FALSE(server.Listen(server.Port()));
    std::string errors = ReadFile("_error.txt");
    EXPECT_EQ(errors.find("Error: Attempt to connect to remove server when already connected.\n"), 0u) << errors;
    EXPECT_NE(errors.find("Error: Attempt to make server listen, when it's already listening.\n"), std::string::npos);
    EXPECT_TRUE(client.IsConnected());
    EXPECT_TRUE(server.IsListening());
    EXPECT_EQ(ReadFile("_netlog.txt"), "");
    TestUtil::ClearLog("_error.txt");
    client.Disconnect();
    EXPECT_FALSE(client.IsConnected());
    ASSERT_TRUE(WaitUntil(20, [&] { return !peer->IsConnected(); }));
    client.Disconnect();
    EXPECT_EQ(ReadFile("_error.txt"), "");
}

// The connection stays in the server's queue, which owns it.
TEST_F(Loopback, NamesAreLookedUp) {
    NET::Client named;
    ASSERT_TRUE(named.Connect("localhost", server.Port()));
    EXPECT_EQ(ReadFile("_netlog.txt"),
              "\nConnected to host \"localhost\" port " + std::to_string(server.Port()) + "\n\n");
}

TEST(NetServer, AcceptedClientsAreTakenOldestFirst) {
    NetServer server;
    EXPECT_EQ(server.TakeClient(), nullptr);
    ASSERT_TRUE(server.Listen(0));

    NET::Client clients[3];
    for (char id : {'1', '2', '3'}) {
        ASSERT_TRUE(clients[id - '1'].Connect("127.0.0.1", server.Port()));
        ASSERT_TRUE(clients[id - '1'].SendData(&id, 1));
    }
    std::string order;
    for (int i = 0; i < 3; ++i) {
        NET::Client* peer = nullptr;
        ASSERT_TRUE(WaitUntil(20, [&] { return (peer = server.TakeClient()) != nullptr; }));
        order += Collect(*peer, 1);
        delete2(peer);
    }
    EXPECT_EQ(order, "123");
    EXPECT_EQ(server.TakeClient(), nullptr);
}

// A port beyond 16 bits is refused, not cut down to the free port it would wrap to.
TEST(NetServer, BindFailureIsLoggedAndListenFails) {
    NetServer first;
    ASSERT_TRUE(first.Listen(0));
    int freePort;
    {
        NetServer probe;
        ASSERT_TRUE(probe.Listen(0));
        freePort = probe.Port();
    }
    for (int port : {int(first.Port()), 65536 + freePort}) {
        TestUtil::ClearLog("_error.txt");
        NetServer second;
        EXPECT_FALSE(second.Listen(port));
        EXPECT_FALSE(second.IsListening());
        EXPECT_EQ(ReadFile("_error.txt"), "Failed to bind server socket to port " + std::to_string(port) +
                                              "\nServer socket refused to listen.");
    }
}

TEST(NetServer, ClientsLeftInTheQueueGoWithTheServer) {
    size_t before = MemTrack::LiveAllocationCount();
    NET::Client* client = new2(NET::Client, NET::Client);
    {
        NetServer server;
        ASSERT_TRUE(server.Listen(0));
        ASSERT_TRUE(client->Connect("127.0.0.1", server.Port()));
        Platform::SleepMilliseconds(150); // accepted but never taken: the server still owns it
    }
    ASSERT_TRUE(WaitUntil(20, [&] { return !client->IsConnected(); }));
    delete2(client);
    EXPECT_EQ(MemTrack::LiveAllocationCount(), before);
    EXPECT_EQ(WinSockUser::LiveCount(), 0u);
}

} // namespace
