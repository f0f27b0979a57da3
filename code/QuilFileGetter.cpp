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
    void Send(const std::string& line) override { connection.SendData(line.data(), static_cast<int>(line.size())); }
    void Tell(const std::string& text) override { QueueText(text); }

private:
    NET::Client& connection;
};

QuilFileGetter::QuilFileGetter(const std::string& dreamId, const std::string& folder)
    : id(dreamId),
      filePath(UnsafeDreamIdReason(dreamId).empty() ? folder + "\\" + dreamId + ".dream" : ""),
      exchange(dreamId, filePath,
               "RC " + ThePlayerRecord.Name + " " + ThePlayerRecord.Password + " " + dreamId + " 0 2 4096\n") {
    std::string reason = UnsafeDreamIdReason(id);
    if (!reason.empty()) {
        ErrorLog << "Error: Refused to download dream \"" << Printable(id) << "\": " << reason << ".\n";
        QueueText("> FAILED");
        exchange.End(Failed);
        return;
    }
    ConnectToFileServer();
    worker = new2(CThread, CThread(ThreadProcedure, "QuilFileGetter", this));
}

void QuilFileGetter::ConnectToFileServer() {
    ServerAddress address;
    if (!ReadServerAddress(AddressFile, address.host, address.port))
        ErrorLog << "Failed to load quil's file-server ip and port from \\data\\quilfile_ip.txt file.\n";
    if (!connection.Connect(address.host, address.port)) {
        ErrorLog << "Failed to connect to quil file server.\n";
        exchange.End(AwaitWelcome);
    }
}

QuilFileGetter::~QuilFileGetter() {
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
    uint32_t passStart = Platform::TickMilliseconds();
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
// connection. False once the connection is gone.
bool QuilFileGetter::Pass() {
    Link link(connection);
    if (!exchange.IsDone()) {
        if (connection.ReceivedByteCount() > 0) {
            std::vector<char> bytes;
            if (connection.ReceiveData(bytes)) exchange.Append(bytes.data(), bytes.size());
        }
        exchange.Step(link);
    }
    if (connection.IsConnected()) return true;
    exchange.ConnectionLost(link);
    return false;
}
