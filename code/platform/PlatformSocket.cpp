#include "PlatformSocket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace Platform {

namespace {

thread_local int lastError = 0;

// Records the outcome of the call just made; answers `result` unchanged.
template <class T>
T Record(T result, bool failed) {
    lastError = failed ? errno : 0;
    return result;
}

int Fd(SocketHandle socket) { return static_cast<int>(socket); }

sockaddr_in MakeAddress(const uint8_t address[4], int port) {
    sockaddr_in a;
    std::memset(&a, 0, sizeof a);
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    std::memcpy(&a.sin_addr.s_addr, address, 4);
    return a;
}

}  // namespace

// POSIX sockets need no library start; the pair exists for systems that do.
bool StartSockets() { return true; }
void StopSockets() {}

SocketHandle CreateSocket() {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    return Record<SocketHandle>(fd < 0 ? InvalidSocket : fd, fd < 0);
}

bool LookUpHost(const std::string& host, uint8_t address[4]) {
    addrinfo hints;
    std::memset(&hints, 0, sizeof hints);
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found) {
        lastError = EHOSTUNREACH;
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

bool SetBlocking(int fd, bool blocking) {
    int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0) return false;
    flags = blocking ? flags & ~O_NONBLOCK : flags | O_NONBLOCK;
    return ::fcntl(fd, F_SETFL, flags) == 0;
}

// The socket goes back to blocking once the connection is settled, as the
// rest of the network code expects.
ConnectProgress Settle(SocketHandle socket, int error) {
    SetBlocking(Fd(socket), true);
    lastError = error;
    return error ? ConnectProgress::Failed : ConnectProgress::Connected;
}

}  // namespace

ConnectProgress StartConnect(SocketHandle socket, const uint8_t address[4], int port) {
    // A port that does not fit would quietly become some other port.
    if (!IsValidPort(port)) {
        lastError = EINVAL;
        return ConnectProgress::Failed;
    }
    if (!SetBlocking(Fd(socket), false)) return Settle(socket, errno);
    sockaddr_in a = MakeAddress(address, port);
    if (::connect(Fd(socket), reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0) return Settle(socket, 0);
    // An interrupted connect carries on in the background; calling connect
    // again would only be told it is already under way.
    if (errno == EINPROGRESS || errno == EINTR) {
        lastError = 0;
        return ConnectProgress::Waiting;
    }
    return Settle(socket, errno);
}

ConnectProgress AwaitConnect(SocketHandle socket, int ms) {
    pollfd p{Fd(socket), POLLOUT, 0};
    int ready = ::poll(&p, 1, ms);
    if (ready == 0 || (ready < 0 && errno == EINTR)) {
        lastError = 0;
        return ConnectProgress::Waiting;
    }
    if (ready < 0) return Settle(socket, errno);
    int error = 0;
    socklen_t size = sizeof error;
    if (::getsockopt(Fd(socket), SOL_SOCKET, SO_ERROR, &error, &size) != 0) error = errno;
    return Settle(socket, error);
}

int SendBytes(SocketHandle socket, const char* bytes, int length, bool wait) {
    // MSG_NOSIGNAL: a peer that has gone must end the send, not the program.
    int flags = MSG_NOSIGNAL | (wait ? 0 : MSG_DONTWAIT);
    ssize_t sent;
    do {
        sent = ::send(Fd(socket), bytes, static_cast<size_t>(length), flags);
    } while (sent < 0 && errno == EINTR);
    return Record(static_cast<int>(sent), sent < 0);
}

bool WaitUntilWritable(SocketHandle socket, int ms) {
    pollfd p{Fd(socket), POLLOUT, 0};
    int ready = ::poll(&p, 1, ms);
    return Record(ready > 0, ready < 0);
}

int ReceiveBytes(SocketHandle socket, char* buffer, int capacity) {
    ssize_t got;
    do {
        got = ::recv(Fd(socket), buffer, static_cast<size_t>(capacity), 0);
    } while (got < 0 && errno == EINTR);
    return Record(static_cast<int>(got), got < 0);
}

bool BytesWaiting(SocketHandle socket, unsigned long& count) {
    int waiting = 0;
    int result = ::ioctl(Fd(socket), FIONREAD, &waiting);
    count = result == 0 && waiting > 0 ? static_cast<unsigned long>(waiting) : 0;
    return Record(result == 0, result != 0);
}

bool HasPeer(SocketHandle socket) {
    sockaddr_in a;
    socklen_t size = sizeof a;
    int result = ::getpeername(Fd(socket), reinterpret_cast<sockaddr*>(&a), &size);
    return Record(result == 0, result != 0);
}

bool PeerHasClosed(SocketHandle socket) {
    char probe;
    ssize_t got = ::recv(Fd(socket), &probe, 1, MSG_PEEK | MSG_DONTWAIT);
    if (got > 0) return Record(false, false);
    if (got == 0) return Record(true, false);
    bool nothingYet = errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
    return Record(!nothingYet, !nothingYet);
}

bool SetNonBlocking(SocketHandle socket) {
    int on = 1;
    int result = ::ioctl(Fd(socket), FIONBIO, &on);
    return Record(result == 0, result != 0);
}

bool BindAnyAddress(SocketHandle socket, uint16_t port) {
    // Lets a server come back on its port while old connections linger in
    // TIME_WAIT; two live listeners on one port are still refused.
    int on = 1;
    ::setsockopt(Fd(socket), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in a;
    std::memset(&a, 0, sizeof a);
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_ANY);
    a.sin_port = htons(port);
    int result = ::bind(Fd(socket), reinterpret_cast<const sockaddr*>(&a), sizeof a);
    return Record(result == 0, result != 0);
}

bool ListenOn(SocketHandle socket, int backlog) {
    int result = ::listen(Fd(socket), backlog);
    return Record(result == 0, result != 0);
}

uint16_t LocalPort(SocketHandle socket) {
    sockaddr_in a;
    socklen_t size = sizeof a;
    if (::getsockname(Fd(socket), reinterpret_cast<sockaddr*>(&a), &size) != 0) return Record<uint16_t>(0, true);
    return Record(ntohs(a.sin_port), false);
}

SocketHandle AcceptConnection(SocketHandle socket) {
    int fd;
    do {
        fd = ::accept4(Fd(socket), nullptr, nullptr, SOCK_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    return Record<SocketHandle>(fd < 0 ? InvalidSocket : fd, fd < 0);
}

void ShutdownSocket(SocketHandle socket) {
    int result = ::shutdown(Fd(socket), SHUT_RDWR);
    Record(result, result != 0);
}

void CloseSocket(SocketHandle socket) {
    int result = ::close(Fd(socket));
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
        case EAGAIN:
#if EWOULDBLOCK != EAGAIN
        case EWOULDBLOCK:
#endif
        case EINPROGRESS: return SocketError::WouldBlock;
        case ENETDOWN: return SocketError::NetworkDown;
        case ECONNREFUSED: return SocketError::ConnectionRefused;
        case ENOTCONN: return SocketError::NotConnected;
        default: return SocketError::Other;
    }
}

std::string LastSocketErrorText() {
    if (!lastError) return "no error";
    char buffer[256];
    return ::strerror_r(lastError, buffer, sizeof buffer);  // GNU form: answers the text
}

}  // namespace Platform
