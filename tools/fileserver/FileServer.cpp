#include "FileServer.h"

#include "CMemMan.h"
#include "FileUtil.h"
#include "NetClient.h"
#include "QuilFileGetter.h"
#include "platform/PlatformSystem.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

const unsigned PollMilliseconds = 5;
const size_t MaxRequestLine = 4096;

bool ReadDream(const std::string& path, std::string& bytes) {
    FILE* file = OpenFile(path, "rb");
    if (!file) return false;
    char block[65536];
    size_t got;
    while ((got = std::fread(block, 1, sizeof block, file)) > 0) bytes.append(block, got);
    std::fclose(file);
    return true;
}

void PutInt32(std::string& out, int32_t value) {
    uint32_t u = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i) out += static_cast<char>((u >> (8 * i)) & 0xFF);
}

bool Send(NET::Client& client, const std::string& bytes) {
    return client.IsConnected() && client.SendData(bytes.data(), static_cast<int>(bytes.size()));
}

}  // namespace

struct FileServer::Session {
    NET::Client* client = nullptr;
    FileServerFaults faults;
    std::string input;
    std::string file;
    bool sending = false;
    bool closing = false;
    int32_t blockCount = 0, next = 0, acked = 0;
    int sentBlocks = 0;
    uint32_t lastBlockTick = 0;
};

FileServer::FileServer(const std::string& servedFolder, int size) : folder(servedFolder), blockSize(std::max(size, 11)) {}

FileServer::~FileServer() {
    if (worker) delete2(worker);
    for (Session* session : sessions) {
        delete2(session->client);
        delete2(session);
    }
}

bool FileServer::Start(int requestedPort) {
    if (worker) return false;
    if (!server.Listen(requestedPort)) return false;
    port = server.Port();
    worker = new2(CThread, CThread(ThreadLoop, "FileServer", this));
    return true;
}

void FileServer::SetFaults(const FileServerFaults& newFaults) {
    ScopedLock hold(lock);
    faults = newFaults;
}

std::vector<std::string> FileServer::ReceivedLines() {
    ScopedLock hold(lock);
    return lines;
}

int FileServer::ServedConnections() {
    ScopedLock hold(lock);
    return connections;
}

void FileServer::ThreadLoop(CThread* thread, void* parameter) {
    FileServer* self = static_cast<FileServer*>(parameter);
    while (!thread->StopRequested()) {
        self->Poll();
        Platform::SleepMilliseconds(PollMilliseconds);
    }
}

void FileServer::Poll() {
    Accept();
    for (size_t i = 0; i < sessions.size();) {
        if (Serve(*sessions[i])) {
            ++i;
            continue;
        }
        delete2(sessions[i]->client);
        delete2(sessions[i]);
        sessions.erase(sessions.begin() + static_cast<std::ptrdiff_t>(i));
    }
}

void FileServer::Accept() {
    while (NET::Client* client = server.TakeClient()) {
        client->SetLogFilter(HideRequestSecrets);  // the requests it receives carry passwords
        Session* session = new2(Session, Session);
        session->client = client;
        {
            ScopedLock hold(lock);
            session->faults = faults;
            ++connections;
        }
        Send(*client, session->faults.wrongWelcome ? "10\n" : "10 Welcome to the dream file server\n");
        sessions.push_back(session);
    }
}

// False when the session is over and its connection can go.
bool FileServer::Serve(Session& session) {
    NET::Client& client = *session.client;
    // What a client sent before it closed is still read, as a real server
    // would; asked first, since once it is closed all it sent is in hand.
    bool open = client.IsConnected();
    if (client.ReceivedByteCount() > 0) {
        std::vector<char> bytes;
        if (client.ReceiveData(bytes)) session.input.append(bytes.data(), bytes.size());
    }
    for (size_t feed; !session.closing && (feed = session.input.find('\n')) != std::string::npos;) {
        std::string line = session.input.substr(0, feed);
        session.input.erase(0, feed + 1);
        HandleLine(session, line);
    }
    if (session.input.size() > MaxRequestLine) session.closing = true;
    if (session.closing || !open) return false;
    return !session.sending || SendBlocks(session);
}

void FileServer::HandleLine(Session& session, const std::string& line) {
    {
        ScopedLock hold(lock);
        lines.push_back(line);
    }
    if (line.compare(0, 3, "RC ") == 0 && !session.sending) {
        HandleRequest(session, line);
    } else if (line.compare(0, 5, "PKOK ") == 0) {
        session.acked = std::max(session.acked, std::atoi(line.c_str() + 5) + 1);
    } else if (line == "BYE") {
        session.closing = true;
    }
}

// "RC name password id ...": the id names "<id>.dream" in the served folder.
void FileServer::HandleRequest(Session& session, const std::string& line) {
    StringList words;
    SplitString(line, words, " \t\r");
    std::string id = words.size() >= 4 ? words[3] : "";
    if (!UnsafeDreamIdReason(id).empty() || !ReadDream(folder + "\\" + id + ".dream", session.file)) {
        Send(*session.client, "E No such dream\n");
        session.closing = true;
        return;
    }
    int32_t payload = blockSize - 10;
    int32_t size = static_cast<int32_t>(session.file.size());
    session.blockCount = size / payload + (size % payload ? 1 : 0);
    std::string accept = session.faults.acceptLine;
    if (accept.empty()) accept = "44 " + std::to_string(size) + " 0 " + std::to_string(blockSize) + "\n";
    Send(*session.client, accept);
    session.sending = true;
    session.lastBlockTick = Platform::TickMilliseconds();
}

bool FileServer::SendBlocks(Session& session) {
    while (session.next < session.blockCount && session.next < session.acked + Window) {
        uint32_t now = Platform::TickMilliseconds();
        if (now - session.lastBlockTick < session.faults.blockDelayMs) break;
        if (!Send(*session.client, MakeBlock(session, session.next))) return false;
        session.lastBlockTick = now;
        ++session.next;
        // Hung up right after the block, the last one too, without waiting for
        // the client to read it.
        if (++session.sentBlocks == session.faults.closeAfterBlocks) {
            session.client->Disconnect();
            return false;
        }
    }
    return true;
}

std::string FileServer::MakeBlock(const Session& session, int32_t index) {
    std::string block = index == session.faults.nonDataBlock ? "XX" : "SC";
    PutInt32(block, index == session.faults.outOfOrderBlock ? index + 1 : index);
    PutInt32(block, 0);
    size_t payload = size_t(blockSize - 10);
    block.append(session.file, size_t(index) * payload, payload);
    block.resize(size_t(blockSize), '\0');
    return block;
}
