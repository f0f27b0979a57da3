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

// Rewrites a log entry so that it holds no secret; the owner of a connection
// knows what its own lines carry.
using LogFilter = std::string (*)(const std::string& text);

class Client : public WinSockUser {
public:
    // A server that has not answered by then is given up (a blocked port, a
    // machine that is off): the system alone would wait for minutes.
    static constexpr int ConnectTimeoutMs = 10000;
    // Received bytes the owner has not collected yet are kept up to this
    // much; beyond it the receive thread leaves the rest to the system, whose
    // window then holds the sender back. Nothing received is ever dropped.
    static constexpr unsigned ReceiveCeiling = 4u << 20;

    // For an outgoing connection: usable, not connected.
    Client();
    // Wraps a socket that is already connected (an accepted connection).
    explicit Client(Platform::SocketHandle connectedSocket);
    virtual ~Client();

    // `host` is a dotted address or a name to look up. Waits on the calling
    // thread, never holding NetworkLock, so every other connection goes on.
    bool Connect(const std::string& host, int port, int timeoutMs = ConnectTimeoutMs);
    // The same connection made on the receive thread; returns at once.
    // IsConnecting stays true until it has ended, then IsConnected tells how.
    bool ConnectInBackground(const std::string& host, int port, int timeoutMs = ConnectTimeoutMs);
    bool IsConnecting() const { return connecting; }
    // A connection still being made gives up at once, and none is made from
    // now on: for an owner about to destroy the client from another thread.
    void AbandonConnecting() { abandoned = true; }
    // Sends every byte or disconnects; false for an empty block.
    bool SendData(const char* bytes, int length);
    // Hands over everything received since the last call, also what arrived
    // before the peer closed; false when nothing waits.
    bool ReceiveData(std::vector<char>& out);
    void Disconnect();
    // Applied to every entry this connection writes to "_netlog.txt".
    void SetLogFilter(LogFilter filter) { logFilter = filter; }

    bool IsConnected() const { return connected; }
    // Bytes waiting to be collected, also after the peer closed; 0 when not usable.
    unsigned ReceivedByteCount() const;

private:
    struct Pending {
        std::string host;
        int port = 0;
        int timeoutMs = 0;
    };

    static void ThreadProcedure(CThread* thread, void* parameter);
    void StartReceiveThread();
    bool MayConnect();
    bool ConnectNow(const std::string& host, int port, int timeoutMs);
    Platform::ConnectProgress AwaitConnection(Platform::ConnectProgress progress, int timeoutMs);
    void ConnectPending();
    void RenewSocket();
    void PollRound();
    bool ReadWaiting(unsigned long waiting);
    void CheckPeer();
    bool ResolveAddress(const std::string& host, int port, uint8_t address[4]);
    void ReportConnectFailure(const std::string& host, int port, Platform::SocketError error, int timedOutMs);

    std::atomic<bool> initialised{false};
    std::atomic<bool> connected{false};
    std::atomic<bool> connecting{false};
    std::atomic<bool> pendingConnect{false};  // for the receive thread
    std::atomic<bool> abandoned{false};
    Platform::SocketHandle socket = Platform::InvalidSocket;
    CriticalSection ownLock;
    std::vector<char> receiveBuffer;
    // Mirrors receiveBuffer's size so the count can be read without the lock.
    std::atomic<unsigned> bufferedBytes{0};
    Pending pending;  // under ownLock
    LogFilter logFilter = nullptr;
    CThread* receiveThread = nullptr;
};

// A host text made only of digits, dots and spaces with exactly three dots.
bool IsDottedAddress(const std::string& host);
// Its four numbers as address bytes, in order.
void ParseDottedAddress(const std::string& host, uint8_t address[4]);
// The "_netlog.txt" entries for a sent and a received block: the text up to
// the first NUL byte, never the game's login line, then through `filter`.
std::string SentLogText(const char* bytes, int length, LogFilter filter = nullptr);
std::string ReceivedLogText(const std::vector<char>& bytes, LogFilter filter = nullptr);

}  // namespace NET
