#include "platform/win32/Win32.h"

#include "platform/PlatformSocket.h"

#include <cstring>
#include <mutex>
#include <set>

namespace Platform {

namespace {

thread_local int lastError = 0;

// Records the outcome of the call just made; answers `result` unchanged.
template <class T>
T Record(T result, bool failed) {
    lastError = failed ? WSAGetLastError() : 0;
    return result;
}

SOCKET S(SocketHandle socket) { return static_cast<SOCKET>(socket); }

sockaddr_in MakeAddress(const uint8_t address[4], int port) {
    sockaddr_in a;
    std::memset(&a, 0, sizeof a);
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<u_short>(port));
    std::memcpy(&a.sin_addr.s_addr, address, 4);
    return a;
}

// WinSock cannot tell whether a socket blocks, and a single send cannot be
// asked not to wait; the sockets made non-blocking on purpose are kept here
// so that a one-off non-blocking send puts the right mode back.
std::mutex modeMutex;
std::set<SocketHandle> nonBlocking;

bool IsNonBlocking(SocketHandle socket) {
    std::lock_guard<std::mutex> lock(modeMutex);
    return nonBlocking.count(socket) != 0;
}

bool SetBlockingMode(SocketHandle socket, bool blocking) {
    u_long on = blocking ? 0 : 1;
    return ioctlsocket(S(socket), FIONBIO, &on) == 0;
}

// Ready for reading (or writing) within `ms`; -1 on failure.
int Ready(SocketHandle socket, bool write, int ms) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(S(socket), &set);
    timeval wait{ms / 1000, (ms % 1000) * 1000};
    return ::select(0, write ? nullptr : &set, write ? &set : nullptr, nullptr, &wait);
}

// WinSock must be started before any call; the layer's own start lasts the
// process, so sockets work for code that holds no network object.
bool LibraryReady() {
    static const bool ready = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return ready;
}

}  // namespace

bool StartSockets() {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

void StopSockets() { WSACleanup(); }

SocketHandle CreateSocket() {
    LibraryReady();
    SOCKET s = ::WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
    return Record<SocketHandle>(s == INVALID_SOCKET ? InvalidSocket : SocketHandle(s), s == INVALID_SOCKET);
}

bool LookUpHost(const std::string& host, uint8_t address[4]) {
    addrinfo hints;
    std::memset(&hints, 0, sizeof hints);
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    // An empty name would be this machine here; elsewhere it names no host.
    if (host.empty() || !LibraryReady() || ::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found) {
        lastError = WSAHOST_NOT_FOUND;
        return false;
    }
    const sockaddr_in* first = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
    std::memcpy(address, &first->sin_addr.s_addr, 4);
    ::freeaddrinfo(found);
    lastError = 0;
    return true;
}

bool IsValidPort(int port) { return port >= 0 && port <= 65535; }

namespace {

// The socket goes back to blocking once the connection is settled, as the
// rest of the network code expects.
ConnectProgress Settle(SocketHandle socket, int error) {
    SetBlockingMode(socket, true);
    lastError = error;
    return error ? ConnectProgress::Failed : ConnectProgress::Connected;
}

}  // namespace

ConnectProgress StartConnect(SocketHandle socket, const uint8_t address[4], int port) {
    // A port that does not fit would quietly become some other port.
    if (!IsValidPort(port)) {
        lastError = WSAEINVAL;
        return ConnectProgress::Failed;
    }
    if (!SetBlockingMode(socket, false)) return Settle(socket, WSAGetLastError());
    sockaddr_in a = MakeAddress(address, port);
    if (::connect(S(socket), reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0) return Settle(socket, 0);
    int error = WSAGetLastError();
    if (error == WSAEWOULDBLOCK || error == WSAEINPROGRESS) {
        lastError = 0;
        return ConnectProgress::Waiting;
    }
    return Settle(socket, error);
}

// A failed connect shows in the exception set here, not as writable.
ConnectProgress AwaitConnect(SocketHandle socket, int ms) {
    fd_set writable, failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(S(socket), &writable);
    FD_SET(S(socket), &failed);
    timeval wait{ms / 1000, (ms % 1000) * 1000};
    int ready = ::select(0, nullptr, &writable, &failed, &wait);
    if (ready == 0) {
        lastError = 0;
        return ConnectProgress::Waiting;
    }
    if (ready < 0) return Settle(socket, WSAGetLastError());
    int error = 0;
    int size = sizeof error;
    if (::getsockopt(S(socket), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) != 0)
        error = WSAGetLastError();
    if (!error && FD_ISSET(S(socket), &failed)) error = WSAECONNREFUSED;
    return Settle(socket, error);
}

int SendBytes(SocketHandle socket, const char* bytes, int length, bool wait) {
    if (wait || IsNonBlocking(socket)) {
        int sent = ::send(S(socket), bytes, length, 0);
        return Record(sent, sent == SOCKET_ERROR);
    }
    SetBlockingMode(socket, false);
    int sent = ::send(S(socket), bytes, length, 0);
    int error = sent == SOCKET_ERROR ? WSAGetLastError() : 0;
    SetBlockingMode(socket, true);
    lastError = error;
    return sent;
}

bool WaitUntilWritable(SocketHandle socket, int ms) {
    int ready = Ready(socket, true, ms);
    return Record(ready > 0, ready < 0);
}

int ReceiveBytes(SocketHandle socket, char* buffer, int capacity) {
    int got = ::recv(S(socket), buffer, capacity, 0);
    return Record(got, got == SOCKET_ERROR);
}

bool BytesWaiting(SocketHandle socket, unsigned long& count) {
    u_long waiting = 0;
    int result = ::ioctlsocket(S(socket), FIONREAD, &waiting);
    count = result == 0 ? waiting : 0;
    return Record(result == 0, result != 0);
}

bool HasPeer(SocketHandle socket) {
    sockaddr_in a;
    int size = sizeof a;
    int result = ::getpeername(S(socket), reinterpret_cast<sockaddr*>(&a), &size);
    return Record(result == 0, result != 0);
}

bool PeerHasClosed(SocketHandle socket) {
    int ready = Ready(socket, false, 0);
    if (ready == 0) return Record(false, false);
    if (ready < 0) return Record(true, true);
    char probe;
    int got = ::recv(S(socket), &probe, 1, MSG_PEEK);
    if (got > 0) return Record(false, false);
    return Record(true, got < 0);
}

bool SetNonBlocking(SocketHandle socket) {
    bool ok = SetBlockingMode(socket, false);
    if (ok) {
        std::lock_guard<std::mutex> lock(modeMutex);
        nonBlocking.insert(socket);
    }
    return Record(ok, !ok);
}

bool BindAnyAddress(SocketHandle socket, uint16_t port) {
    // Ports held by old connections in TIME_WAIT do not stop a bind here;
    // exclusive use keeps a second live listener off the port.
    BOOL on = TRUE;
    ::setsockopt(S(socket), SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on), sizeof on);
    sockaddr_in a;
    std::memset(&a, 0, sizeof a);
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_ANY);
    a.sin_port = htons(port);
    int result = ::bind(S(socket), reinterpret_cast<const sockaddr*>(&a), sizeof a);
    return Record(result == 0, result != 0);
}

bool ListenOn(SocketHandle socket, int backlog) {
    int result = ::listen(S(socket), backlog);
    return Record(result == 0, result != 0);
}

uint16_t LocalPort(SocketHandle socket) {
    sockaddr_in a;
    int size = sizeof a;
    if (::getsockname(S(socket), reinterpret_cast<sockaddr*>(&a), &size) != 0) return Record<uint16_t>(0, true);
    return Record(ntohs(a.sin_port), false);
}

SocketHandle AcceptConnection(SocketHandle socket) {
    SOCKET s = ::accept(S(socket), nullptr, nullptr);
    if (s == INVALID_SOCKET) return Record<SocketHandle>(InvalidSocket, true);
    // An accepted socket inherits the listener's non-blocking mode here;
    // elsewhere it starts blocking, as the connection's users expect.
    SetBlockingMode(SocketHandle(s), true);
    SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
    return Record<SocketHandle>(SocketHandle(s), false);
}

void ShutdownSocket(SocketHandle socket) {
    int result = ::shutdown(S(socket), SD_BOTH);
    Record(result, result != 0);
}

void CloseSocket(SocketHandle socket) {
    {
        std::lock_guard<std::mutex> lock(modeMutex);
        nonBlocking.erase(socket);
    }
    int result = ::closesocket(S(socket));
    Record(result, result != 0);
}

void EndSocket(SocketHandle& socket) {
    if (socket == InvalidSocket) return;
    ShutdownSocket(socket);
    CloseSocket(socket);
    socket = InvalidSocket;
}

SocketError LastSocketError() {
    switch (lastError) {
        case 0: return SocketError::None;
        case WSAEWOULDBLOCK:
        case WSAEINPROGRESS: return SocketError::WouldBlock;
        case WSAENETDOWN: return SocketError::NetworkDown;
        case WSAECONNREFUSED: return SocketError::ConnectionRefused;
        case WSAENOTCONN: return SocketError::NotConnected;
        default: return SocketError::Other;
    }
}

std::string LastSocketErrorText() { return lastError ? SystemErrorText(DWORD(lastError)) : "no error"; }

}  // namespace Platform
