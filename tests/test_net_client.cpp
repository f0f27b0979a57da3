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

using TestUtil::ReadFile;

namespace {

std::string Address(const std::string& host) {
    uint8_t a[4] = {9, 9, 9, 9};
    NET::ParseDottedAddress(host, a);
    return std::to_string(a[0]) + "." + std::to_string(a[1]) + "." + std::to_string(a[2]) + "." + std::to_string(a[3]);
}

TEST(NetAddress, DottedAddressesAreRecognised) {
    EXPECT_TRUE(NET::IsDottedAddress("127.0.0.1"));
    EXPECT_TRUE(NET::IsDottedAddress(" 10. 0 .0.1"));
    EXPECT_TRUE(NET::IsDottedAddress("..."));
    EXPECT_FALSE(NET::IsDottedAddress(""));
    EXPECT_FALSE(NET::IsDottedAddress("127.0.1"));       // two dots: a name to look up
    EXPECT_FALSE(NET::IsDottedAddress("1.2.3.4.5"));
    EXPECT_FALSE(NET::IsDottedAddress("localhost"));
    EXPECT_FALSE(NET::IsDottedAddress("10.0.0.1a"));
    EXPECT_FALSE(NET::IsDottedAddress("10.0.0.-1"));
}

TEST(NetAddress, PartsConvertLikeDecimalTextToInteger) {
    EXPECT_EQ(Address("192.168.1.20"), "192.168.1.20");
    EXPECT_EQ(Address(" 10. 0. 0. 7"), "10.0.0.7");   // leading spaces skipped
    EXPECT_EQ(Address("10 5.1 2.3.4"), "10.1.3.4");     // conversion stops at the first non-digit
    EXPECT_EQ(Address("..."), "0.0.0.0");               // empty parts are 0
    EXPECT_EQ(Address("256.257.1.0"), "0.1.1.0");       // stored as one byte
}

TEST(NetLogText, LoginLinesAreHidden) {
    const std::string redacted = "{SENT TO SERVER}connect (NAME/PASS REMOVED FOR SECURITY)\n";
    EXPECT_EQ(NET::SentLogText("connect Ann pw\n", 15), redacted);
    EXPECT_EQ(NET::SentLogText("conn", 4), redacted);      // could be the start of a login
    EXPECT_EQ(NET::SentLogText("connect ", 8), redacted);
    EXPECT_EQ(NET::SentLogText("connex\n", 7), "{SENT TO SERVER}connex\n");
    EXPECT_EQ(NET::SentLogText("connected\n", 10), "{SENT TO SERVER}connected\n");
    EXPECT_EQ(NET::SentLogText("say hi\nconnect Ann pw\nm 7\n", 26),
              "{SENT TO SERVER}say hi\nconnect (NAME/PASS REMOVED FOR SECURITY)\nm 7\n");
    EXPECT_EQ(NET::SentLogText("RC Ann pw mydream 0 2 4096\n", 27),
              "{SENT TO SERVER}RC (NAME/PASS REMOVED FOR SECURITY) mydream 0 2 4096\n");
    // A name or password with spaces is removed whole: only the last four words stay.
    EXPECT_EQ(NET::SentLogText("RC Ann Lee pass word dream 0 2 4096\n", 36),
              "{SENT TO SERVER}RC (NAME/PASS REMOVED FOR SECURITY) dream 0 2 4096\n");
    EXPECT_EQ(NET::SentLogText("RC short line\n", 14), "{SENT TO SERVER}RC (NAME/PASS REMOVED FOR SECURITY)\n");
}

TEST(NetLogText, TextEndsAtTheFirstNulByte) {
    EXPECT_EQ(NET::SentLogText("say hi\0secret", 13), "{SENT TO SERVER}say hi");
    EXPECT_EQ(NET::SentLogText("abc", 2), "{SENT TO SERVER}ab");
    std::vector<char> received = {'h', 'i', '\0', 'x'};
    EXPECT_EQ(NET::ReceivedLogText(received), "hi");
    std::vector<char> echoed(std::begin("10 ok\nconnect Ann pw\n"), std::end("10 ok\nconnect Ann pw\n"));
    EXPECT_EQ(NET::ReceivedLogText(echoed), "10 ok\nconnect (NAME/PASS REMOVED FOR SECURITY)\n");
}

TEST(NetTraffic, SummaryChoosesTheUnitByMagnitude) {
    EXPECT_EQ(WinSockUser::TrafficSummary(1572864, 51200),
              "Network connection:\n  -Total data sent: 1536KB\n  -Total data received: 51200 bytes\n\n");
    EXPECT_EQ(WinSockUser::TrafficSummary(0, 102400),  // 100 KB is still counted in bytes
              "Network connection:\n  -Total data sent: 0 bytes\n  -Total data received: 102400 bytes\n\n");
    EXPECT_EQ(WinSockUser::TrafficSummary(103424, 8388607),  // 101 KB; just under 8 MB
              "Network connection:\n  -Total data sent: 101KB\n  -Total data received: 8191KB\n\n");
    EXPECT_EQ(WinSockUser::TrafficSummary(8388608, 4294967295u),
              "Network connection:\n  -Total data sent: 8MB\n  -Total data received: 4095MB\n\n");
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

TEST_F(NetClientLogs, UnresolvableHostIsReportedAndLeavesTheClientUsable) {
    NET::Client client;
    EXPECT_FALSE(client.Connect("no-such-host.invalid", 6500));
    EXPECT_FALSE(client.IsConnected());
    EXPECT_EQ(ReadFile("_error.txt"), "Unable to resolve host \"no-such-host.invalid\" port 6500\n");
    EXPECT_EQ(ReadFile("_netlog.txt"), "");
    // An empty text is no dotted address, and names no host.
    EXPECT_FALSE(client.Connect("", 6500));
    EXPECT_EQ(TestUtil::CountOf(ReadFile("_error.txt"), "Unable to resolve host"), 2);
}

TEST_F(NetClientLogs, RefusedConnectionIsReported) {
    int port = ClosedPort();
    NET::Client client;
    EXPECT_FALSE(client.Connect("127.0.0.1", port));
    EXPECT_FALSE(client.IsConnected());
    std::string p = std::to_string(port);
    EXPECT_EQ(ReadFile("_error.txt"),
              "Failed to connect to host \"127.0.0.1\" port " + p + "\n  -connection refused by server\n");
    EXPECT_EQ(ReadFile("_netlog.txt"), "\nFailed to connect to host \"127.0.0.1\" port " + p + "\n\n");
}

TEST_F(NetClientLogs, PortOutOfRangeIsAFailedConnection) {
    NET::Client client;
    EXPECT_FALSE(client.Connect("127.0.0.1", 65536 + 80));
    EXPECT_FALSE(client.Connect("127.0.0.1", -1));
    EXPECT_FALSE(client.IsConnected());
    EXPECT_EQ(ReadFile("_error.txt"), "Failed to connect to host \"127.0.0.1\" port 65616\n"
                                      "Failed to connect to host \"127.0.0.1\" port -1\n");
}

TEST_F(NetClientLogs, UnconnectedClientReportsMisuse) {
    NET::Client client;
    std::vector<char> out;
    EXPECT_FALSE(client.SendData("x", 1));
    EXPECT_FALSE(client.ReceiveData(out));
    client.Disconnect();  // not connected: nothing to do, nothing to say
    EXPECT_EQ(client.ReceivedByteCount(), 0u);
    std::string errors = ReadFile("_error.txt");
    EXPECT_EQ(errors.find("Error: Attempt to send data to server when not connected.\n  -attempt made from:\n"), 0u);
    EXPECT_EQ(TestUtil::CountOf(errors, "Error: Attempt to receive data from server when not connected.\n"
                                        "  -attempt made from:\n"),
              1);
    EXPECT_EQ(TestUtil::CountOf(errors, "Error: "), 2);
    EXPECT_NE(errors.find("test_net_client.cpp"), std::string::npos) << errors;  // the caller's stack
}

TEST_F(NetClientLogs, ClientWithoutASocketIsNotInitialisedAndRefusesEverything) {
    NET::Client client(Platform::InvalidSocket);
    std::vector<char> out;
    EXPECT_FALSE(client.IsConnected());
    EXPECT_FALSE(client.Connect("127.0.0.1", 1));
    EXPECT_FALSE(client.SendData("x", 1));
    EXPECT_FALSE(client.ReceiveData(out));
    client.Disconnect();
    EXPECT_EQ(client.ReceivedByteCount(), 0u);
    std::string errors = ReadFile("_error.txt");
    for (const char* message : {"Error: Attempt to call net client Connect when not Init'd.\n",
                                "Error: Attempt to call NETCLIENT::SendData when not Init'd.\n",
                                "Error: Attempt to call NETCLIENT::ReceiveData when not Init'd.\n",
                                "Error: Attempt to call NETCLIENT::Disconnect when not Init'd.\n"})
        EXPECT_EQ(TestUtil::CountOf(errors, std::string(message) + "  -attempt made from:\n"), 1) << message;
    EXPECT_EQ(ReadFile("_netlog.txt"), "");
}

TEST(NetTraffic, LiveCountFollowsTheNetworkObjects) {
    ASSERT_EQ(WinSockUser::LiveCount(), 0u);
    NET::Client* a = new2(NET::Client, NET::Client);
    {
        NET::Client b;
        EXPECT_EQ(WinSockUser::LiveCount(), 2u);
        EXPECT_TRUE(b.IsStarted());
    }
    EXPECT_EQ(WinSockUser::LiveCount(), 1u);
    delete2(a);
    EXPECT_EQ(WinSockUser::LiveCount(), 0u);
}

// The peer is a bare socket, so only the client's own traffic is counted.
TEST(NetTraffic, SummaryIsWrittenWhenTheLastNetworkObjectGoes) {
    const int sentSize = 1572864, receivedSize = 51200;
    Platform::SocketHandle listener = Platform::CreateSocket();
    ASSERT_TRUE(Platform::BindAnyAddress(listener, 0));
    ASSERT_TRUE(Platform::ListenOn(listener, 4));

    NET::Client* client = new2(NET::Client, NET::Client);
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
    EXPECT_EQ(ReadFile("_stat.txt"),
              "Network connection:\n  -Total data sent: 1536KB\n  -Total data received: 51200 bytes\n\n");
    Platform::CloseSocket(peer);
    Platform::CloseSocket(listener);
}

}  // namespace
