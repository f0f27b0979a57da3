// A listening TCP socket whose accept thread wraps every incoming connection
// in a NET::Client and queues it for the owner. Nothing in the game starts
// one; it serves peer and test servers.
#pragma once
#include "NetClient.h"

#include <atomic>
#include <cstdint>
#include <list>

class NetServer : public WinSockUser {
public:
    NetServer();
    // Clients still queued are destroyed with the server.
    virtual ~NetServer();

    // Port 0 lets the system choose; Port() tells which it chose.
    bool Listen(int port);
    // The oldest accepted connection, or null; the caller owns it from then on.
    NET::Client* TakeClient();

    bool IsListening() const { return listening; }
    // The port the server listens on (0 when not listening).
    uint16_t Port() const;

private:
    static void ThreadLoop(CThread* thread, void* parameter);
    void AcceptOne();

    std::atomic<bool> initialised{false};
    std::atomic<bool> listening{false};
    Platform::SocketHandle socket = Platform::InvalidSocket;
    CriticalSection ownLock;
    std::list<NET::Client*> acceptedClients;
    // Mirrors the queue's size so an empty queue is seen without the lock.
    std::atomic<size_t> queuedCount{0};
    CThread* acceptThread = nullptr;
};
