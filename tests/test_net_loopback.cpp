// NetServer and NET::Client talking to each other over loopback.
#include <gtest/gtest.h>

#include "CMemMan.h"
#include "LogFile.h"
#include "NetServer.h"
#include "NetTestFixture.h"
#include "TestUtil.h"
#include "platform/PlatformSystem.h"

#include <atomic>
#include <string>
#include <thread>
#include <vector>

using NetTest::Collect;
using NetTest::Pattern;
using NetTest::Send;
using NetTest::WaitFor;
using TestUtil::ReadFile;

namespace {

using Loopback = NetTest::Loopback;

// Text in the log ends at the first NUL byte; the bytes themselves arrive whole.
TEST_F(Loopback, BurstArrivesWholeInOneReceiveAndTheNextFindsNothing) {
    std::string burst = std::string("hello\0tail", 10) + Pattern(5000, 2) + Pattern(20000, 3);
    ASSERT_TRUE(peer->SendData(burst.data(), 10));
    ASSERT_TRUE(peer->SendData(burst.data() + 10, 5000));
    ASSERT_TRUE(peer->SendData(burst.data() + 5010, 20000));
    ASSERT_TRUE(WaitFor([&] { return client.ReceivedByteCount() == burst.size(); }));

    std::vector<char> out;
    ASSERT_TRUE(client.ReceiveData(out));
    EXPECT_EQ(std::string(out.begin(), out.end()), burst);
    EXPECT_EQ(client.ReceivedByteCount(), 0u);
    std::string log = ReadFile("_netlog.txt");
    EXPECT_NE(log.find("hello"), std::string::npos);
    EXPECT_EQ(log.find("tail"), std::string::npos);

    std::vector<char> again{'x'};
    EXPECT_FALSE(client.ReceiveData(again));
    EXPECT_EQ(again, std::vector<char>{'x'});
    EXPECT_EQ(ReadFile("_netlog.txt"), log);
    EXPECT_EQ(ReadFile("_error.txt"), "");
}

// What the peer sent before it closed stays collectable after the close is
// noticed; only then does receiving become misuse.
TEST_F(Loopback, BytesSentBeforeTheCloseOutliveIt) {
    std::string last = Pattern(300000, 4) + "Invalid Name or password.\n";
    ASSERT_TRUE(Send(*peer, last));
    delete2(peer);
    peer = nullptr;
    ASSERT_TRUE(WaitFor([&] { return !client.IsConnected(); }));
    EXPECT_EQ(client.ReceivedByteCount(), last.size());
    EXPECT_EQ(Collect(client, last.size()), last);
    EXPECT_EQ(ReadFile("_error.txt"), "");

    std::vector<char> out;
    EXPECT_FALSE(client.ReceiveData(out));
    EXPECT_FALSE(client.SendData("x", 1));
    std::string errors = ReadFile("_error.txt");
    EXPECT_EQ(errors.find("Error: Attempt to receive data from server when not connected.\n"), 0u) << errors;
    EXPECT_NE(errors.find("Error: Attempt to send data to server when not connected.\n"), std::string::npos);
}

// A sender faster than the owner collects is left to TCP's flow control
// once the buffer is full; every byte still arrives, in order.
TEST_F(Loopback, ReceiveBufferStopsAtItsCeiling) {
    const unsigned ceiling = NET::Client::ReceiveCeiling;
    const std::string stream = Pattern(2 * ceiling + 12345, 5);
    std::atomic<bool> sent{false};
    std::thread sender([&] { sent = Send(*peer, stream); });
    ASSERT_TRUE(WaitFor([&] { return client.ReceivedByteCount() >= ceiling; }));
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
    EXPECT_FALSE(client.SendData("abc", -5));
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
    ASSERT_TRUE(WaitFor([&] { return !peer->IsConnected(); }));
    client.Disconnect();
    EXPECT_EQ(ReadFile("_error.txt"), "");
}

TEST_F(Loopback, NamesAreLookedUpAndSpacedAddressesUsedDirectly) {
    NET::Client named, spaced;
    ASSERT_TRUE(named.Connect("localhost", server.Port()));
    EXPECT_EQ(ReadFile("_netlog.txt"),
              "\nConnected to host \"localhost\" port " + std::to_string(server.Port()) + "\n\n");
    EXPECT_TRUE(spaced.Connect("127. 0. 0. 1", server.Port()));
    for (int i = 0; i < 2; ++i) {
        NET::Client* accepted = nullptr;
        ASSERT_TRUE(WaitFor([&] { return (accepted = server.TakeClient()) != nullptr; }));
        delete2(accepted);
    }
}

TEST(NetServer, AcceptedClientsAreTakenOldestFirst) {
    NetServer server;
    EXPECT_EQ(server.TakeClient(), nullptr);
    EXPECT_EQ(server.Port(), 0);
    ASSERT_TRUE(server.Listen(0));

    NET::Client clients[3];
    for (char id : {'1', '2', '3'}) {
        ASSERT_TRUE(clients[id - '1'].Connect("127.0.0.1", server.Port()));
        ASSERT_TRUE(clients[id - '1'].SendData(&id, 1));
    }
    std::string order;
    for (int i = 0; i < 3; ++i) {
        NET::Client* peer = nullptr;
        ASSERT_TRUE(WaitFor([&] { return (peer = server.TakeClient()) != nullptr; }));
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
    ASSERT_TRUE(WaitFor([&] { return !client->IsConnected(); }));
    delete2(client);
    EXPECT_EQ(MemTrack::LiveAllocationCount(), before);
    EXPECT_EQ(WinSockUser::LiveCount(), 0u);
}

} // namespace
