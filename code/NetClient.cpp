#include "NetClient.h"

#include "CMemMan.h"
#include "LogFile.h"
#include "StaticOrder.h"
#include "platform/PlatformSystem.h"

#include <algorithm>
#include <cstring>

CriticalSection NetworkLock STATIC_ORDER(STATIC_NETWORKLOCK);

// --- WinSockUser -------------------------------------------------------------

namespace {

// Program-wide; the count changes only under NetworkLock, the totals are
// added to by every receive thread.
uint32_t liveCount = 0;
std::atomic<uint32_t> totalSent{0};
std::atomic<uint32_t> totalReceived{0};

std::string AmountText(uint32_t bytes, const char* ending) {
    uint32_t kb = bytes / 1024, mb = kb / 1024;
    if (mb > 7) return std::to_string(mb) + "MB" + ending;
    if (kb <= 100) return std::to_string(bytes) + " bytes" + ending;
    return std::to_string(kb) + "KB" + ending;
}

}  // namespace

WinSockUser::WinSockUser() {
    {
        ScopedLock lock(NetworkLock);
        if (liveCount == 0) {
            totalSent = 0;
            totalReceived = 0;
        }
        ++liveCount;
    }
    if (Platform::StartSockets())
        started = true;
    else
        ErrorLog << "Failed to init WinSock library.\n";
}

WinSockUser::~WinSockUser() {
    if (started) Platform::StopSockets();
    started = false;
    ScopedLock lock(NetworkLock);
    if (--liveCount == 0) StatLog << TrafficSummary(totalSent, totalReceived);
}

std::string WinSockUser::TrafficSummary(uint32_t sent, uint32_t received) {
    return "Network connection:\n  -Total data sent: " + AmountText(sent, "\n") +
           "  -Total data received: " + AmountText(received, "\n\n");
}

uint32_t WinSockUser::LiveCount() {
    ScopedLock lock(NetworkLock);
    return liveCount;
}

void WinSockUser::AddSent(uint32_t bytes) { totalSent += bytes; }
void WinSockUser::AddReceived(uint32_t bytes) { totalReceived += bytes; }

// --- addresses and the traffic log -------------------------------------------

namespace NET {

bool IsDottedAddress(const std::string& host) {
    for (char c : host)
        if (!(c >= '0' && c <= '9') && c != '.' && c != ' ') return false;
    return std::count(host.begin(), host.end(), '.') == 3;
}

void ParseDottedAddress(const std::string& host, uint8_t address[4]) {
    size_t start = 0;
    for (int part = 0; part < 4; ++part) {
        size_t end = host.find('.', start);
        if (end == std::string::npos) end = host.size();
        size_t i = host.find_first_not_of(' ', start);
        unsigned value = 0;
        for (; i < end && host[i] >= '0' && host[i] <= '9'; ++i) value = value * 10 + (host[i] - '0');
        address[part] = static_cast<uint8_t>(value);
        start = end + 1;
    }
}

namespace {

const char SentPrefix[] = "{SENT TO SERVER}";
const char LoginCommand[] = "connect ";  // the login line carries the name and password
const char RedactedLogin[] = "connect (NAME/PASS REMOVED FOR SECURITY)\n";

bool StartsWith(const std::string& text, size_t at, const char* prefix) {
    return text.compare(at, std::strlen(prefix), prefix) == 0;
}

// Every line of a block is checked, not just the first: a caller that sends
// several lines at once, or a peer in this program that receives them, must
// not leak the password either.
std::string RedactLogins(const std::string& text) {
    std::string out;
    size_t lineStart = 0;
    while (lineStart < text.size()) {
        size_t lineEnd = text.find('\n', lineStart);
        lineEnd = lineEnd == std::string::npos ? text.size() : lineEnd + 1;
        if (StartsWith(text, lineStart, LoginCommand))
            out += RedactedLogin;
        else
            out.append(text, lineStart, lineEnd - lineStart);
        lineStart = lineEnd;
    }
    return out;
}

std::string Filtered(const std::string& text, LogFilter filter) { return filter ? filter(text) : text; }

// Logs show text: up to the first NUL byte.
std::string AsText(const char* bytes, size_t size) { return std::string(bytes, strnlen(bytes, size)); }

}  // namespace

std::string SentLogText(const char* bytes, int length, LogFilter filter) {
    size_t size = length > 0 ? static_cast<size_t>(length) : 0;
    // A short block that could be the start of a login line is hidden too.
    if (std::memcmp(bytes, LoginCommand, std::min<size_t>(size, 8)) == 0)
        return std::string(SentPrefix) + RedactedLogin;
    return SentPrefix + Filtered(RedactLogins(AsText(bytes, size)), filter);
}

std::string ReceivedLogText(const std::vector<char>& bytes, LogFilter filter) {
    return Filtered(RedactLogins(AsText(bytes.data(), bytes.size())), filter);
}

// --- the client --------------------------------------------------------------

Client::Client() {
    if (!IsStarted()) return;
    ScopedLock network(NetworkLock);
    socket = Platform::CreateSocket();
    if (socket == Platform::InvalidSocket) {
        ErrorLog << "Failed to create socket.\n";
        return;
    }
    StartReceiveThread();
    initialised = true;
}

Client::Client(Platform::SocketHandle connectedSocket) {
    if (!IsStarted()) return;
    // Nothing to wrap: stay unusable, so a server can turn the connection away.
    if (connectedSocket == Platform::InvalidSocket) return;
    socket = connectedSocket;
    StartReceiveThread();
    connected = true;
    initialised = true;
}

void Client::StartReceiveThread() {
    receiveThread = new2(CThread, CThread(ThreadProcedure,"NetClient",this));
}

Client::~Client() {
    // The thread first: it must not poll a socket that is being closed, and
    // a connection it is making must not hold the destruction up.
    AbandonConnecting();
    if (receiveThread) delete2(receiveThread);
    receiveThread = nullptr;
    {
        ScopedLock network(NetworkLock);
        Platform::EndSocket(socket);
        connected = false;
        initialised = false;
    }
    std::vector<char>().swap(receiveBuffer);
    bufferedBytes = 0;
}

// Claims the connecting state, so a second attempt cannot run beside the first.
bool Client::MayConnect() {
    if (!initialised) {
        ReportMisuse("Error: Attempt to call net client Connect when not Init'd.\n");
        return false;
    }
    bool idle = false;
    if (connected || !connecting.compare_exchange_strong(idle, true)) {
        ReportMisuse("Error: Attempt to connect to remove server when already connected.\n");
        return false;
    }
    return true;
}

bool Client::Connect(const std::string& host, int port, int timeoutMs) {
    if (!MayConnect()) return false;
    bool made = ConnectNow(host, port, timeoutMs);
    connecting = false;
    return made;
}

bool Client::ConnectInBackground(const std::string& host, int port, int timeoutMs) {
    if (!MayConnect()) return false;
    {
        ScopedLock own(ownLock);
        pending = Pending{host, port, timeoutMs};
    }
    pendingConnect = true;
    return true;
}

void Client::ConnectPending() {
    Pending request;
    {
        ScopedLock own(ownLock);
        request = pending;
    }
    pendingConnect = false;
    ConnectNow(request.host, request.port, request.timeoutMs);
    connecting = false;
}

// The name lookup and the wait for the server run without NetworkLock: they
// can take seconds, and every other connection's traffic needs the lock.
bool Client::ConnectNow(const std::string& host, int port, int timeoutMs) {
    if (abandoned) return false;
    uint8_t address[4];
    if (!ResolveAddress(host, port, address)) return false;
    Platform::ConnectProgress progress;
    {
        ScopedLock network(NetworkLock);
        progress = Platform::StartConnect(socket, address, port);
    }
    progress = AwaitConnection(progress, timeoutMs);
    if (progress != Platform::ConnectProgress::Connected) {
        bool timedOut = progress == Platform::ConnectProgress::Waiting && !abandoned;
        ReportConnectFailure(host, port, Platform::LastSocketError(), timedOut ? timeoutMs : 0);
        RenewSocket();
        return false;
    }
    ScopedLock network(NetworkLock);
    ScopedLock own(ownLock);
    std::vector<char>().swap(receiveBuffer);
    bufferedBytes = 0;
    connected = true;
    NetLog << "\nConnected to host \"" << host << "\" port " << port << "\n\n";
    return true;
}

// Short waits, so that an abandoned attempt ends within a few milliseconds.
Platform::ConnectProgress Client::AwaitConnection(Platform::ConnectProgress progress, int timeoutMs) {
    const int Slice = 50;
    uint32_t start = Platform::TickMilliseconds();
    while (progress == Platform::ConnectProgress::Waiting && !abandoned) {
        int left = timeoutMs - static_cast<int>(Platform::TickMilliseconds() - start);
        if (left <= 0) break;
        progress = Platform::AwaitConnect(socket, std::min(left, Slice));
    }
    return progress;
}

// A socket whose connection failed, or is still under way, cannot be used for
// the next attempt everywhere: the client takes a fresh one.
void Client::RenewSocket() {
    ScopedLock network(NetworkLock);
    Platform::EndSocket(socket);
    socket = Platform::CreateSocket();
    if (socket != Platform::InvalidSocket) return;
    ErrorLog << "Failed to create socket.\n";
    initialised = false;
}

bool Client::ResolveAddress(const std::string& host, int port, uint8_t address[4]) {
    if (IsDottedAddress(host)) {
        ParseDottedAddress(host, address);
        return true;
    }
    if (Platform::LookUpHost(host, address)) return true;
    ErrorLog << "Unable to resolve host \"" << host << "\" port " << port << "\n";
    return false;
}

void Client::ReportConnectFailure(const std::string& host, int port, Platform::SocketError error, int timedOutMs) {
    ErrorLog << "Failed to connect to host \"" << host << "\" port " << port << "\n";
    NetLog << "\nFailed to connect to host \"" << host << "\" port " << port << "\n\n";
    if (timedOutMs > 0)
        ErrorLog << "  -no answer from the server within " << timedOutMs << " ms\n";
    else if (error == Platform::SocketError::NetworkDown)
        ErrorLog << "  -no network connection available\n";
    else if (error == Platform::SocketError::ConnectionRefused)
        ErrorLog << "  -connection refused by server\n";
}

bool Client::SendData(const char* bytes, int length) {
    if (!initialised) {
        ReportMisuse("Error: Attempt to call NETCLIENT::SendData when not Init'd.\n");
        return false;
    }
    if (!connected) {
        ReportMisuse("Error: Attempt to send data to server when not connected.\n");
        return false;
    }
    if (length < 1 || !bytes) return false;
    int done = 0;
    while (done < length) {
        int sent;
        {
            ScopedLock network(NetworkLock);
            sent = Platform::SendBytes(socket, bytes + done, length - done, false);
        }
        // Waiting for room happens outside NetworkLock: the receive thread
        // that would drain the peer (possibly in this very program) needs it.
        if (sent < 0 && Platform::LastSocketError() == Platform::SocketError::WouldBlock) {
            Platform::WaitUntilWritable(socket, 20);
            continue;
        }
        if (sent <= 0) {
            Disconnect();
            return false;
        }
        done += sent;
        AddSent(static_cast<uint32_t>(sent));
    }
    NetLog << SentLogText(bytes, length, logFilter);
    return true;
}

bool Client::ReceiveData(std::vector<char>& out) {
    if (!initialised) {
        ReportMisuse("Error: Attempt to call NETCLIENT::ReceiveData when not Init'd.\n");
        return false;
    }
    // Read first: the receive thread stores its last bytes before it marks
    // the connection closed, so an empty buffer after a close is final.
    bool wasConnected = connected;
    {
        ScopedLock own(ownLock);
        if (!receiveBuffer.empty()) {
            out = std::move(receiveBuffer);
            receiveBuffer = std::vector<char>();
            bufferedBytes = 0;
        } else {
            if (!wasConnected) ReportMisuse("Error: Attempt to receive data from server when not connected.\n");
            return false;
        }
    }
    NetLog << ReceivedLogText(out, logFilter);
    return true;
}

void Client::Disconnect() {
    if (!initialised) {
        ReportMisuse("Error: Attempt to call NETCLIENT::Disconnect when not Init'd.\n");
        return;
    }
    if (!connected) return;
    ScopedLock network(NetworkLock);
    if (socket != Platform::InvalidSocket) Platform::ShutdownSocket(socket);
    connected = false;
}

unsigned Client::ReceivedByteCount() const {
    if (!initialised) return 0;
    return bufferedBytes;
}

// --- the receive thread ------------------------------------------------------

void Client::ThreadProcedure(CThread* thread, void* parameter) {
    Client* client = static_cast<Client*>(parameter);
    RunPolledRounds(
        thread, [client] { return client->connected || client->pendingConnect; },
        [client] {
            if (client->pendingConnect)
                client->ConnectPending();
            else
                client->PollRound();
        });
}

// One round holds NetworkLock throughout: count, read what is waiting, check the peer.
void Client::PollRound() {
    ScopedLock network(NetworkLock);
    if (!connected) return;
    unsigned long waiting = 0;
    if (!Platform::BytesWaiting(socket, waiting)) {
        ErrorLog << "Something bad happened in net recieve data thread.. disconnecting.\n";
        Disconnect();
        return;
    }
    // Whatever arrived while reading is taken in the same round: a fast
    // sender would otherwise be held to one socket buffer per 20 ms. The
    // round is bounded so that the owner's sends still get NetworkLock.
    unsigned long taken = 0;
    while (waiting > 0 && taken < ReceiveCeiling) {
        // Only the owner empties the buffer, so the room can only grow meanwhile.
        unsigned long room = ReceiveCeiling - std::min(ReceiveCeiling, bufferedBytes.load());
        if (room == 0) break;
        unsigned long take = std::min(waiting, room);
        if (!ReadWaiting(take)) return;
        taken += take;
        if (!Platform::BytesWaiting(socket, waiting)) break;
    }
    CheckPeer();
}

// False when the connection ended while reading.
bool Client::ReadWaiting(unsigned long waiting) {
    const int BlockSize = 4096;
    char block[BlockSize];
    while (waiting >= 1) {
        int got = Platform::ReceiveBytes(socket, block, static_cast<int>(std::min<unsigned long>(waiting, BlockSize)));
        if (got <= 0) {
            Disconnect();
            return false;
        }
        {
            ScopedLock own(ownLock);
            receiveBuffer.insert(receiveBuffer.end(), block, block + got);
            bufferedBytes = static_cast<unsigned>(receiveBuffer.size());
        }
        waiting -= static_cast<unsigned long>(got);
        AddReceived(static_cast<uint32_t>(got));
    }
    return true;
}

void Client::CheckPeer() {
    if (!Platform::HasPeer(socket)) {
        Platform::SocketError error = Platform::LastSocketError();
        if (error == Platform::SocketError::NotConnected || error == Platform::SocketError::NetworkDown) Disconnect();
        return;
    }
    // A peer that closed its end is still "connected" by the check above and
    // never makes the byte count rise; only the end of the stream tells.
    if (Platform::PeerHasClosed(socket)) Disconnect();
}

}  // namespace NET
