// The program's TCP connections: a client with its own receive thread, the
// program-wide traffic totals every network object shares, and the lock that
// serialises all socket calls.
#pragma once
#include "CThread.h"
#include "platform/PlatformSocket.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

// Every socket call of the program runs under this lock; a client's own lock
// is only ever taken after it.
extern CriticalSection NetworkLock;

// Base of every network object: starts the socket library for its lifetime
// and keeps the traffic totals, which go to "_stat.txt" when the last
// network object of the program is destroyed.
class WinSockUser {
public:
    WinSockUser();
    virtual ~WinSockUser();
    WinSockUser(const WinSockUser&) = delete;
    WinSockUser& operator=(const WinSockUser&) = delete;

    bool IsStarted() const { return started; }

    // The summary text for the given totals, as written to "_stat.txt".
    static std::string TrafficSummary(uint32_t sent, uint32_t received);
    static uint32_t LiveCount();

protected:
    static void AddSent(uint32_t bytes);
    static void AddReceived(uint32_t bytes);

private:
    bool started = false;
};

namespace NET {

class Client : public WinSockUser {
public:
    // For an outgoing connection: usable, not connected.
    Client();
    // Wraps a socket that is already connected (an accepted connection).
    explicit Client(Platform::SocketHandle connectedSocket);
    virtual ~Client();

    // `host` is a dotted address or a name to look up.
    bool Connect(const std::string& host, int port);
    // Sends every byte or disconnects; false for an empty block.
    bool SendData(const char* bytes, int length);
    // Hands over everything received since the last call; false when nothing waits.
    bool ReceiveData(std::vector<char>& out);
    void Disconnect();

    bool IsConnected() const { return connected; }
    // Bytes waiting to be collected; 0 when not usable or not connected.
    unsigned ReceivedByteCount() const;

private:
    static void ThreadProcedure(CThread* thread, void* parameter);
    void StartReceiveThread();
    void PollRound();
    bool ReadWaiting(unsigned long waiting);
    void CheckPeer();
    bool ResolveAddress(const std::string& host, int port, uint8_t address[4]);
    void ReportConnectFailure(const std::string& host, int port);

    std::atomic<bool> initialised{false};
    std::atomic<bool> connected{false};
    Platform::SocketHandle socket = Platform::InvalidSocket;
    CriticalSection ownLock;
    std::vector<char> receiveBuffer;
    // Mirrors receiveBuffer's size so the count can be read without the lock.
    std::atomic<unsigned> bufferedBytes{0};
    CThread* receiveThread = nullptr;
};

// A host text made only of digits, dots and spaces with exactly three dots.
bool IsDottedAddress(const std::string& host);
// Its four numbers as address bytes, in order.
void ParseDottedAddress(const std::string& host, uint8_t address[4]);
// The "_netlog.txt" entries for a sent and a received block: the text up to
// the first NUL byte, never a name or password.
std::string SentLogText(const char* bytes, int length);
std::string ReceivedLogText(const std::vector<char>& bytes);

}  // namespace NET
