// TCP sockets in the program's own words. Every call records its outcome as
// the calling thread's last socket error, which the network units read right
// after a failed call (the way the original read WSAGetLastError).
// Plain C++ only; no platform type crosses this header.
#pragma once
#include <cstdint>
#include <string>

namespace Platform {

using SocketHandle = intptr_t;
constexpr SocketHandle InvalidSocket = -1;

enum class SocketError {
    None,
    WouldBlock,         // a non-blocking call found nothing to do
    NetworkDown,
    ConnectionRefused,
    NotConnected,
    Other,
};

// Start and end of the socket library for one user; true when usable.
bool StartSockets();
void StopSockets();

// An IPv4 stream socket, or InvalidSocket.
SocketHandle CreateSocket();
// The first IPv4 address of a host name, as four bytes in network order.
bool LookUpHost(const std::string& host, uint8_t address[4]);
// A connection is made in two halves so that no caller ever waits in the
// system for an answer that may take minutes: StartConnect never blocks, and
// AwaitConnect waits at most the time it is given. A signal that interrupts
// either is not a failure; the connection goes on.
enum class ConnectProgress { Connected, Waiting, Failed };
// Fails for a port outside 0-65535.
ConnectProgress StartConnect(SocketHandle socket, const uint8_t address[4], int port);
ConnectProgress AwaitConnect(SocketHandle socket, int ms);
// A port number the sockets can carry.
bool IsValidPort(int port);

// Bytes sent, 0 or -1 on failure; never raises a signal for a closed peer.
// A non-blocking attempt answers -1 with WouldBlock when there is no room.
int SendBytes(SocketHandle socket, const char* bytes, int length, bool wait);
// Waits at most `ms` for room to send; true when there is room (or an error
// that the next send will report).
bool WaitUntilWritable(SocketHandle socket, int ms);
// Bytes read (at most `capacity`), 0 when the peer closed, -1 on failure.
int ReceiveBytes(SocketHandle socket, char* buffer, int capacity);
// How many bytes can be read without blocking.
bool BytesWaiting(SocketHandle socket, unsigned long& count);
// The peer check: false when the socket has no peer (last error says why).
bool HasPeer(SocketHandle socket);
// True when the peer has ended the stream (or reset it) and nothing is left
// to read; never blocks.
bool PeerHasClosed(SocketHandle socket);

bool SetNonBlocking(SocketHandle socket);
// Binds to every local address; port 0 lets the system choose.
bool BindAnyAddress(SocketHandle socket, uint16_t port);
bool ListenOn(SocketHandle socket, int backlog);
// The local port a socket is bound to (0 when unbound).
uint16_t LocalPort(SocketHandle socket);
// One pending connection of a non-blocking listening socket, or InvalidSocket.
SocketHandle AcceptConnection(SocketHandle socket);

// Ends both directions; the handle stays valid until closed.
void ShutdownSocket(SocketHandle socket);
void CloseSocket(SocketHandle socket);
// Shuts down and closes a socket that may be open, and leaves InvalidSocket.
void EndSocket(SocketHandle& socket);

SocketError LastSocketError();
std::string LastSocketErrorText();

}  // namespace Platform
