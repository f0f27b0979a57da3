// NET::Client on its own: addresses, log texts, the traffic summary, failed
// connections and every misuse report.
#include <gtest/gtest.h>

#include "CMemMan.h"
#include "LogFile.h"
#include "NetClient.h"
#include "TestUtil.h"
#include "platform/PlatformSocket.h"
#include "platform/PlatformSystem.h"

#include <string>
#include <thread>
#include <vector>

using TestUtil::CountOf;
using TestUtil::ReadFile;

namespace {

TEST(NetAddress, DottedAddressesAreRecognisedAndConvertedLikeDecimalText) {
    for (const char* name : {"", "127.0.1", "1.2.3.4.5", "localhost", "10.0.0.1a", "10.0.0.-1"})
        EXPECT_FALSE(NET::IsDottedAddress(name)) << name;
    const std::pair<const char*, const char*> cases[] = {
        {"192.168.1.20", "192.168.1.20"},
        {" 10. 0. 0. 7", "10.0.0.7"},   // leading spaces skipped
        {"10 5.1 2.3.4", "10.1.3.4"},   // conversion stops at the first non-digit
        {"...", "0.0.0.0"},             // empty parts are 0
        {"256.257.1.0", "0.1.1.0"},     // stored as one byte
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
        {"conn", hidden},  // could be the start of a login
        {"connect ", hidden},
        {"connex\n", "connex\n"},
        {"connected\n", "connected\n"},
        {"say hi\nconnect Ann pw\nm 7\n", "say hi\n" + hidden + "m 7\n"},
        {"RC Ann pw mydream 0 2 4096\n", "RC (NAME/PASS REMOVED FOR SECURITY) mydream 0 2 4096\n"},
        // A name or password with spaces is removed whole: only the last four words stay.
        {"RC Ann Lee pass word dream 0 2 4096\n", "RC (NAME/PASS REMOVED FOR SECURITY) dream 0 2 4096\n"},
        {"RC short line\n", "RC (NAME/PASS REMOVED FOR SECURITY)\n"},
        {std::string("say hi\0secret", 13), "say hi"},
    };
    for (const auto& [sent, logged] : cases)
        EXPECT_EQ(NET::SentLogText(sent.data(), static_cast<int>(sent.size())), "{SENT TO SERVER}" + logged);
    EXPECT_EQ(NET::SentLogText("abc", 2), "{SENT TO SERVER}ab");
    EXPECT_EQ(NET::ReceivedLogText({'h', 'i', '\0', 'x'}), "hi");
    std::string echoed = "10 ok\nconnect Ann pw\n";
    EXPECT_EQ(NET::ReceivedLogText(std::vector<char>(echoed.begin(), echoed.end())), "10 ok\n" + hidden);
}

TEST(NetTraffic, SummaryChoosesTheUnitByMagnitude) {
    const std::tuple<uint32_t, const char*> cases[] = {
        {0, "0 bytes"},
        {102400, "102400 bytes"},  // 100 KB is still counted in bytes
        {103424, "101KB"},
        {1572864, "1536KB"},
        {8388607, "8191KB"},  // just under 8 MB
        {8388608, "8MB"},
        {4294967295u, "4095MB"},
    };
    for (const auto& [bytes, text] : cases)
        EXPECT_EQ(WinSockUser::TrafficSummary(bytes, 51200),
                  std::string("Network connection:\n  -Total data sent: ") + text +
                      "\n  -Total data received: 51200 bytes\n\n");
    EXPECT_EQ(WinSockUser::TrafficSummary(0, 8388608),
              "Network connection:\n  -Total data sent: 0 bytes\n  -Total data received: 8MB\n\n");
}

// A port on this machine that nothing listens on.
int ClosedPort() {
    Platform::SocketHandle probe = Platform::CreateSocket();
    Platform::BindAnyAddress(probe, 0);
    int port = Platform::LocalPort(probe);
    Platform::CloseSocket(probe);
    return port;
}

class NetClientLogs : public testing::Test {
protected:
    void SetUp() override {
        TestUtil::ClearLog("_error.txt");
        TestUtil::ClearLog("_netlog.txt");
    }
};

TEST_F(NetClientLogs, FailedConnectionsAreReportedAndLeaveTheClientUsable) {
    NET::Client client;
    EXPECT_FALSE(client.Connect("no-such-host.invalid", 6500));
    EXPECT_FALSE(client.Connect("", 6500));  // no dotted address, and names no host
    EXPECT_EQ(ReadFile("_error.txt"), "Unable to resolve host \"no-such-host.invalid\" port 6500\n"
                                      "Unable to resolve host \"\" port 6500\n");
    EXPECT_EQ(ReadFile("_netlog.txt"), "");

    TestUtil::ClearLog("_error.txt");
    EXPECT_FALSE(client.Connect("127.0.0.1", 65536 + 80));
    EXPECT_FALSE(client.Connect("127.0.0.1", -1));
    EXPECT_EQ(ReadFile("_error.txt"), "Failed to connect to host \"127.0.0.1\" port 65616\n"
                                      "Failed to connect to host \"127.0.0.1\" port -1\n");

    TestUtil::ClearLog("_error.txt");
    TestUtil::ClearLog("_netlog.txt");
    std::string port = std::to_string(ClosedPort());
    EXPECT_FALSE(client.Connect("127.0.0.1", std::stoi(port)));
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
        client->Disconnect();  // merely unconnected: nothing to do, nothing to say
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
    EXPECT_NE(errors.find("test_net_client.cpp"), std::string::npos) << errors;  // the caller's stack
    EXPECT_EQ(ReadFile("_netlog.txt"), "");
}

// The peer is a bare socket, so only the client's own traffic is counted.
TEST(NetTraffic, SummaryIsWrittenWhenTheLastNetworkObjectGoes) {
    const int sentSize = 1572864, receivedSize = 51200;
    Platform::SocketHandle listener = Platform::CreateSocket();
    ASSERT_TRUE(Platform::BindAnyAddress(listener, 0));
    ASSERT_TRUE(Platform::ListenOn(listener, 4));

    NET::Client* client = new2(NET::Client, NET::Client);
    NET::Client* idle = new2(NET::Client, NET::Client);
    ASSERT_TRUE(client->Connect("127.0.0.1", Platform::LocalPort(listener)));
    Platform::SocketHandle peer = Platform::AcceptConnection(listener);
    ASSERT_NE(peer, Platform::InvalidSocket);

    int peerGot = 0;
    std::thread drain([&] {
        std::vector<char> block(65536);
        int got;
        while (peerGot < sentSize && (got = Platform::ReceiveBytes(peer, block.data(), 65536)) > 0) peerGot += got;
    });
    std::string big(sentSize, 'q');
    EXPECT_TRUE(client->SendData(big.data(), sentSize));
    drain.join();
    EXPECT_EQ(peerGot, sentSize);

    std::string reply(receivedSize, 'r');
    ASSERT_EQ(Platform::SendBytes(peer, reply.data(), receivedSize, true), receivedSize);
    for (int i = 0; i < 1000 && client->ReceivedByteCount() < unsigned(receivedSize); ++i)
        Platform::SleepMilliseconds(5);
    EXPECT_EQ(client->ReceivedByteCount(), unsigned(receivedSize));

    TestUtil::ClearLog("_stat.txt");
    delete2(client);
    EXPECT_EQ(WinSockUser::LiveCount(), 1u);
    EXPECT_EQ(ReadFile("_stat.txt"), "") << "another network object is still alive";
    delete2(idle);
    EXPECT_EQ(ReadFile("_stat.txt"),
              "Network connection:\n  -Total data sent: 1536KB\n  -Total data received: 51200 bytes\n\n");
    Platform::CloseSocket(peer);
    Platform::CloseSocket(listener);
}

}  // namespace
