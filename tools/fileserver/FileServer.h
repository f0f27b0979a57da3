// A file server for dream downloads: serves "<id>.dream" files from one
// folder, block by block, to every client that connects. The tests and the
// local game server use it; the faults make it misbehave on purpose.
#pragma once
#include "CThread.h"
#include "NetServer.h"

#include <cstdint>
#include <string>
#include <vector>

struct FileServerFaults {
    bool wrongWelcome = false;   // greet with "10" and its line feed
    int outOfOrderBlock = -1;    // this block goes out numbered one too high
    int nonDataBlock = -1;       // this block goes out without "SC"
    int closeAfterBlocks = -1;   // the connection is closed after this many blocks
    unsigned blockDelayMs = 0;   // pause before each block
    std::string acceptLine;      // sent instead of the accept line when not empty
};

class FileServer {
public:
    static const int DefaultBlockSize = 4096;
    // Blocks sent ahead of the client's acknowledgements.
    static const int Window = 8;

    // Blocks smaller than 11 bytes carry no payload and are raised to 11.
    FileServer(const std::string& folder, int blockSize = DefaultBlockSize);
    ~FileServer();
    FileServer(const FileServer&) = delete;
    FileServer& operator=(const FileServer&) = delete;

    // Listens on `port`, or on a free port of the system when it is 0.
    bool Start(int port);
    int Port() const { return port; }
    void SetFaults(const FileServerFaults& faults);
    // Every line the clients sent, in arrival order, without line feeds.
    std::vector<std::string> ReceivedLines();
    int ServedConnections();

private:
    struct Session;
    static void ThreadLoop(CThread* thread, void* parameter);
    void Poll();
    void Accept();
    bool Serve(Session& session);
    void HandleLine(Session& session, const std::string& line);
    void HandleRequest(Session& session, const std::string& line);
    bool SendBlocks(Session& session);
    std::string MakeBlock(const Session& session, int32_t index);

    std::string folder;
    int blockSize;
    int port = 0;
    NetServer server;
    CriticalSection lock;  // guards faults, lines and the count
    FileServerFaults faults;
    std::vector<std::string> lines;
    int connections = 0;
    std::vector<Session*> sessions;  // the server thread's own
    CThread* worker = nullptr;
};
