#include "QuilFileGetter.h"

#include "CMemMan.h"
#include "CThread.h"
#include "FileUtil.h"
#include "LogFile.h"
#include "QuilDataManager.h"
#include "platform/PlatformSystem.h"

#include <cstdio>
#include <vector>

namespace {

const char* const AddressFile = "data\\quilfile_ip.txt";
const unsigned PassMilliseconds = 25;

struct ServerAddress {
    std::string host = "Failed to load";
    int port = 0;
};

// Ids go into the log as the server sent them, control bytes made visible.
std::string Printable(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (IsPrintable(c)) {
            out += c;
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned char>(c));
            out += hex;
        }
    }
    return out;
}

}  // namespace

std::string UnsafeDreamIdReason(const std::string& id) {
    if (id.empty()) return "it is empty";
    for (char c : id) {
        unsigned char u = static_cast<unsigned char>(c);
        if (c == '\\' || c == '/') return "it contains a path separator";
        if (c == ':') return "it contains a drive letter";
        if (u < 32 || u == 127) return "it contains a control character";
    }
    // Windows drops trailing dots and spaces from names, so "..." and ". ."
    // would name the parent folder there.
    if (id.find_first_not_of(". ") == std::string::npos) return "it is a \".\" or \"..\" component";
    return "";
}

// The exchange's words, carried by this getter's connection and the text
// queue. The connection keeps the request's name and password out of
// "_netlog.txt", as it does for the game's login line.
class QuilFileGetter::Link : public FileGetterLink {
public:
    explicit Link(NET::Client& client) : connection(client) {}
    // A server that has hung up is sent nothing: the blocks it sent before
    // are still written, without acknowledgements nobody would read.
    void Send(const std::string& line) override {
        if (connection.IsConnected()) connection.SendData(line.data(), static_cast<int>(line.size()));
    }
    void Tell(const std::string& text) override { QueueText(text); }

private:
    NET::Client& connection;
};

QuilFileGetter::QuilFileGetter(const std::string& dreamId, const std::string& folder, unsigned stall)
    : id(dreamId),
      filePath(UnsafeDreamIdReason(dreamId).empty() ? folder + "\\" + dreamId + ".dream" : ""),
      exchange(dreamId, filePath, FileRequestLine(ThePlayerRecord.Name, ThePlayerRecord.Password, dreamId)),
      stallSeconds(stall) {
    std::string reason = UnsafeDreamIdReason(id);
    if (!reason.empty()) {
        ErrorLog << "Error: Refused to download dream \"" << Printable(id) << "\": " << reason << ".\n";
        QueueText("> FAILED");
        exchange.End(Failed);
        return;
    }
    connection.SetLogFilter(HideRequestSecrets);
    worker = new2(CThread, CThread(ThreadProcedure, "QuilFileGetter", this));
}

bool QuilFileGetter::ConnectToFileServer() {
    ServerAddress address;
    if (!ReadServerAddress(AddressFile, address.host, address.port))
        ErrorLog << "Failed to load quil's file-server ip and port from \\data\\quilfile_ip.txt file.\n";
    if (connection.Connect(address.host, address.port)) return true;
    ErrorLog << "Failed to connect to quil file server.\n";
    exchange.End(AwaitWelcome);
    return false;
}

QuilFileGetter::~QuilFileGetter() {
    // A worker still waiting for the server must not hold this up.
    connection.AbandonConnecting();
    if (worker) delete2(worker);
    exchange.CloseFile();
    if (!Succeeded()) DeleteIncompleteFile();
}

void QuilFileGetter::DeleteIncompleteFile() {
    if (filePath.empty()) return;  // a refused id never named a file
    ErrorLog << "Note: deleting incompletely transfered file \"" << filePath << "\"\n";
    if (!DeleteFile(filePath)) ErrorLog << "Failed to delete file \"" << filePath << "\"\n";
}

// Passes start every 25 ms on the clock, so the time a pass takes (receiving,
// writing) never stretches the download's pace.
void QuilFileGetter::ThreadProcedure(CThread* thread, void* parameter) {
    QuilFileGetter* getter = static_cast<QuilFileGetter*>(parameter);
    if (!getter->ConnectToFileServer()) return;
    uint32_t passStart = Platform::TickMilliseconds();
    getter->lastArrival = passStart;
    while (!thread->StopRequested() && getter->Pass()) {
        uint32_t elapsed = Platform::TickMilliseconds() - passStart;
        if (elapsed < PassMilliseconds) Platform::SleepMilliseconds(PassMilliseconds - elapsed);
        passStart += PassMilliseconds;
        // A pass that overran starts the next one now; no burst to catch up.
        uint32_t now = Platform::TickMilliseconds();
        if (static_cast<int32_t>(now - passStart) >= static_cast<int32_t>(PassMilliseconds)) passStart = now;
    }
}

// One pass of the worker: collect what arrived, take one step, watch the
// connection and the time since anything came. False once the connection is gone.
bool QuilFileGetter::Pass() {
    Link link(connection);
    // Asked before collecting: once the server has gone, everything it sent
    // is already in the connection's buffer.
    bool open = connection.IsConnected();
    if (!exchange.IsDone()) {
        Collect();
        exchange.Step(link);
        if (!open) {
            WorkThroughBuffered(link);
        } else if (HasStalled()) {
            exchange.Stalled(link, stallSeconds);
            connection.Disconnect();
        }
    }
    if (open) return true;
    exchange.ConnectionLost(link);
    return false;
}

// Takes what arrived while the exchange holds less than a block at its
// largest: a server sending faster than blocks are taken is held back by the
// connection's own limit, not buffered here without end.
bool QuilFileGetter::Collect() {
    if (exchange.BufferedBytes() >= size_t(FileGetterExchange::MaxBlockSize) || connection.ReceivedByteCount() == 0)
        return false;
    std::vector<char> bytes;
    if (!connection.ReceiveData(bytes)) return false;
    exchange.Append(bytes.data(), bytes.size());
    lastArrival = Platform::TickMilliseconds();
    return true;
}

// A server that hung up sends nothing more, so what it sent before is worked
// through now: a download whose last block came is complete.
void QuilFileGetter::WorkThroughBuffered(Link& link) {
    while (!exchange.IsDone()) {
        size_t before = exchange.BufferedBytes();
        FileGetterState state = exchange.State();
        bool collected = Collect();
        exchange.Step(link);
        if (!collected && exchange.BufferedBytes() == before && exchange.State() == state) return;
    }
}

bool QuilFileGetter::HasStalled() const {
    return Platform::TickMilliseconds() - lastArrival >= stallSeconds * 1000u;
}
