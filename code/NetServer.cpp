#include "NetServer.h"

#include "CMemMan.h"
#include "LogFile.h"
#include "platform/PlatformSystem.h"

NetServer::NetServer() {
    if (!IsStarted()) return;
    ScopedLock network(NetworkLock);
    socket = Platform::CreateSocket();
    if (socket == Platform::InvalidSocket) {
        ErrorLog << "Failed to create socket.\n";
        return;
    }
    // The accept thread polls; a blocking accept would hold NetworkLock forever.
    if (!Platform::SetNonBlocking(socket))
        ErrorLog << "Warning: created server socket refuses to be non-blocking...\n";
    acceptThread = new2(CThread, CThread(ThreadLoop,"NetServer",this));
    initialised = true;
}

NetServer::~NetServer() {
    // A server whose socket could not be made never had a thread.
    if (acceptThread) delete2(acceptThread);
    acceptThread = nullptr;
    {
        ScopedLock network(NetworkLock);
        Platform::EndSocket(socket);
        listening = false;
        initialised = false;
    }
    // Nobody can take them any more; left alone they would only leak.
    while (NET::Client* client = TakeClient()) delete2(client);
}

bool NetServer::Listen(int port) {
    if (!initialised) {
        ReportMisuse("Error: Attempt to call net server Listen when not Init'd.\n");
        return false;
    }
    if (listening) {
        ReportMisuse("Error: Attempt to make server listen, when it's already listening.\n");
        return false;
    }
    ScopedLock network(NetworkLock);
    ScopedLock own(ownLock);
    // A port that does not fit is refused, not cut to some other port.
    bool bound = Platform::IsValidPort(port) && Platform::BindAnyAddress(socket, static_cast<uint16_t>(port));
    if (!bound) ErrorLog << "Failed to bind server socket to port " << port << "\n";
    // An unbound socket would listen on a port of the system's choosing,
    // which no caller asked for: without the bind, listening fails.
    if (bound && Platform::ListenOn(socket, 0x7fffffff)) {
        listening = true;
        return true;
    }
    ErrorLog << "Server socket refused to listen.";
    return false;
}

uint16_t NetServer::Port() const {
    if (!listening) return 0;
    ScopedLock network(NetworkLock);
    return Platform::LocalPort(socket);
}

NET::Client* NetServer::TakeClient() {
    if (queuedCount == 0) return nullptr;
    ScopedLock own(ownLock);
    if (acceptedClients.empty()) return nullptr;
    NET::Client* oldest = acceptedClients.front();
    acceptedClients.pop_front();
    queuedCount = acceptedClients.size();
    return oldest;
}

void NetServer::ThreadLoop(CThread* thread, void* parameter) {
    NetServer* server = static_cast<NetServer*>(parameter);
    RunPolledRounds(thread, [server] { return bool(server->listening); }, [server] { server->AcceptOne(); });
}

// At most one connection per round.
void NetServer::AcceptOne() {
    ScopedLock network(NetworkLock);
    Platform::SocketHandle s = Platform::AcceptConnection(socket);
    if (s == Platform::InvalidSocket) return;  // none pending is the usual case
    ScopedLock own(ownLock);
    NET::Client* client = new2(NET::Client, NET::Client(s));
    if (client && client->IsConnected()) {
        acceptedClients.push_back(client);
        queuedCount = acceptedClients.size();
        return;
    }
    ErrorLog << "Net::Client rejected socket from a connection to server... ignoring connection attempt.\n";
    delete2(client);
    Platform::CloseSocket(s);  // a rejecting client never took the socket
}
