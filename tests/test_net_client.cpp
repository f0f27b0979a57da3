// NET::Client on its own: addresses, log texts, the traffic summary, failed
// connections and every misuse report.
#include <gtest/gtest.h>

#include "CMemMan.h"
#include "LogFile.h"
#include "NetClient.h"
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
#include <csignal>
#include <pthread.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

using TestUtil::CountOf;
using TestUtil::ReadFile;

namespace {

TEST(NetAddress, DottedAddressesAreRecognisedAndConvertedLikeDecimalText) {
    for (const char* name : {"", "127.0.1", "1.2.3.4.5", "localhost", "10.0.0.1a", "10.0.0.-1"})
        EXPECT_FALSE(NET::IsDottedAddress(name)) << name;
    const std::pair<const char*, const char*> cases[] = {
        {"192.168.1.20", "192.168.1.20"},
        {" 10. 0. 0. 7", "10.0.0.7"}, // leading spaces skipped
        {"10 5.1 2.3.4", "10.1.3.4"}, // conversion stops at the first non-digit
        {"...", "0.0.0.0"},           // empty parts are 0
        {"256.257.1.0", "0.1.1.0"},   // stored as one byte
    };
    for (const auto& [host, expected] : cases) {
        EXPECT_TRUE(NET::IsDottedAddress(host)) << host;
        uint8_t a[4] = {9, 9, 9, 9};
        NET::ParseDottedAddress(host, a);
        EXPECT_EQ(std::to_string(a[0]) + "." + std::to_string(a[1]) + "." + std::to_string(a[2]) + "." +
                      std::to_string(a[3]),
                  expected);
    }
}

TEST(NetLogText, LoginLinesAreHiddenAndTextEndsAtTheFirstNulByte) {
    const std::string hidden = "connect (NAME/PASS REMOVED FOR SECURITY)\n";
    const std::pair<std::string, std::string> cases[] = {
        {"connect Ann pw\n", hidden},
        {"conn", hidden}, // could be the start of a login
        {"connect ", hidden},
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
    EXPECT_EQ(WinSockUser::TrafficSummary(0, 8388608),
              "Network connection:\n  -Total data sent: 0 bytes\n  -Total data received: 8MB\n\n");
}

class NetClientLogs : public testing::Test {
  protected:
    void SetUp() override {
        TestUtil::ClearLog("_error.txt");
        TestUtil::ClearLog("_netlog.txt");
    }
};

TEST_F(NetClientLogs, FailedConnectionsAreReportedAndLeaveTheClientUsable) {
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

TEST_F(NetClientLogs, MisuseIsReportedWithTheCallersStack) {
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
    EXPECT_TRUE(NetTest::WaitFor([&] { return client->ReceivedByteCount() == 2; }));

    TestUtil::ClearLog("_stat.txt");
    delete2(client);
    EXPECT_EQ(ReadFile("_stat.txt"), "") << "another network object is still alive";
    delete2(idle);
    EXPECT_EQ(ReadFile("_stat.txt"),
              "Network connection:\n  -Total data sent: 5 bytes\n  -Total data received: 2 bytes\n\n");
    Platform::CloseSocket(peer);
    Platform::CloseSocket(listener);
}

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
    // Takes whatever completed meanwhile, making room in the queue.
    void AcceptAll() {
        Platform::SetNonBlocking(listener);
        for (Platform::SocketHandle s; (s = Platform::AcceptConnection(listener)) != Platform::InvalidSocket;)
            fillers.push_back(s);
    }

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
    EXPECT_TRUE(NetTest::WaitFor([&] { return client.ReceivedByteCount() == 4; }, 1000));
    EXPECT_TRUE(waiting.IsConnecting());

    EXPECT_TRUE(NetTest::WaitFor([&] { return !waiting.IsConnecting(); }, 5000));
    EXPECT_FALSE(waiting.IsConnected());
    std::string port = std::to_string(silent.Port());
    EXPECT_EQ(ReadFile("_error.txt"), "Failed to connect to host \"127.0.0.1\" port " + port +
                                          "\n  -no answer from the server within 3000 ms\n");
    // Destroying a client whose connection is still being made does not wait for it.
    auto start = std::chrono::steady_clock::now();
    delete2(abandoned);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

// Signals and descriptor limits are POSIX matters.
#ifndef _WIN32
void IgnoreSignal(int) {}

TEST(NetConnect, SignalsDuringAConnectDoNotFailIt) {
    struct sigaction quiet = {}, before = {};
    quiet.sa_handler = IgnoreSignal; // no SA_RESTART: every wait is interrupted
    sigaction(SIGUSR1, &quiet, &before);
    SilentServer slow;
    std::atomic<bool> done{false}, connected{false};
    std::thread connecting([&] {
        NET::Client client;
        connected = client.Connect("127.0.0.1", slow.Port(), 8000);
        done = true;
    });
    for (int i = 0; i < 30; ++i) {
        pthread_kill(connecting.native_handle(), SIGUSR1);
        Platform::SleepMilliseconds(10);
    }
    // Room in the queue: the server's answer comes with the next retry.
    while (!done) {
        slow.AcceptAll();
        Platform::SleepMilliseconds(10);
    }
    connecting.join();
    sigaction(SIGUSR1, &before, nullptr);
    EXPECT_TRUE(connected);
}

// No descriptor left: the socket cannot be made, and the objects stay
// unusable without any memory fault.
TEST(NetConnect, ObjectsWhoseSocketCannotBeMadeGoQuietly) {
    ASSERT_FALSE(MemTrack::HadCriticalErrors());
    {
        // UndefinedBehaviorSanitizer opens a pipe the first time it checks an object's type.
        NET::Client seen;
        NetServer seenServer;
    }
    TestUtil::ClearLog("_error.txt");
    rlimit limit;
    getrlimit(RLIMIT_NOFILE, &limit);
    rlimit low = limit;
    low.rlim_cur = 64;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
    std::vector<int> taken;
    for (int fd; (fd = dup(0)) >= 0;)
        taken.push_back(fd);
    NET::Client* client = new2(NET::Client, NET::Client);
    NetServer* server = new2(NetServer, NetServer);
    for (int fd : taken)
        close(fd);
    setrlimit(RLIMIT_NOFILE, &limit);
    EXPECT_FALSE(client->Connect("127.0.0.1", 1));
    EXPECT_FALSE(server->Listen(0));
    delete2(client);
    delete2(server);
    EXPECT_FALSE(MemTrack::HadCriticalErrors());
    // The log cannot be opened while no descriptor is free; the misuse
    // reports afterwards show that neither object became usable.
    std::string errors = ReadFile("_error.txt");
    EXPECT_EQ(CountOf(errors, "Error: Attempt to call net client Connect when not Init'd.\n"), 1) << errors;
    EXPECT_EQ(CountOf(errors, "Error: Attempt to call net server Listen when not Init'd.\n"), 1) << errors;
}

#endif

} // namespace
