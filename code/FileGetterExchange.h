// The client's half of the file-server exchange for one dream: the states of
// a download, the lines and blocks it reads, the replies it sends and the
// file it writes. QuilFileGetter runs it on a worker thread over a real
// connection; it knows nothing of sockets or threads itself, so every byte a
// server could send can be fed to it directly.
#pragma once
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

enum FileGetterState { AwaitWelcome = 0, AwaitReply = 1, Receiving = 2, Complete = 3, Failed = 4 };

// Where the exchange's words go: the file server and the player's text window.
class FileGetterLink {
public:
    virtual ~FileGetterLink() {}
    // The request line among them carries the player's password: a link
    // must keep it out of every log.
    virtual void Send(const std::string& line) = 0;
    virtual void Tell(const std::string& text) = 0;
};

// The request for dream `id`: "RC " + name + " " + password + " " + id + " 0 2 4096\n".
std::string FileRequestLine(const std::string& name, const std::string& password, const std::string& id);
// A log text with the name and password of every request line in it
// removed; the connections that carry requests log through it.
std::string HideRequestSecrets(const std::string& text);

class FileGetterExchange {
public:
    // Largest line or block the exchange buffers: a server that sends more
    // without a line feed, or announces larger blocks, is not a file server.
    static const size_t MaxLineLength = 65536;
    static const int32_t MaxBlockSize = 1 << 20;

    FileGetterExchange(const std::string& id, const std::string& filePath, const std::string& request);
    ~FileGetterExchange();
    FileGetterExchange(const FileGetterExchange&) = delete;
    FileGetterExchange& operator=(const FileGetterExchange&) = delete;

    void Append(const char* bytes, size_t count);
    // One step of the current state: at most one line or one block.
    void Step(FileGetterLink& link);
    // The server went away before the download ended.
    void ConnectionLost(FileGetterLink& link);
    // Nothing came from the server for `seconds`: the download is given up.
    void Stalled(FileGetterLink& link, unsigned seconds);
    // Ends the download without a step: the state is left as `final` and
    // done is set after it.
    void End(FileGetterState final);
    // False when the last buffered bytes could not be written.
    bool CloseFile();

    FileGetterState State() const { return state.load(); }
    bool IsDone() const { return done.load(); }
    void GetProgress(int32_t& receivedOut, int32_t& fileSizeOut) const;
    size_t BufferedBytes() const { return buffer.size() - head; }

private:
    void StepWelcome(FileGetterLink& link);
    void StepReply(FileGetterLink& link);
    void StepBlock(FileGetterLink& link);
    bool AcceptTransfer(const std::string& line);
    void BeginReceiving(FileGetterLink& link);
    void WriteBlock(FileGetterLink& link, const char* block, int32_t index);
    void Finish(FileGetterLink& link);
    bool TakeLine(std::string& line);
    void Consume(size_t count);
    void LimitBuffer();
    void Fail(FileGetterLink& link, const char* message);
    void FailWrite(FileGetterLink& link);

    std::atomic<bool> done{false};
    std::atomic<FileGetterState> state{AwaitWelcome};
    std::vector<char> buffer;
    size_t head = 0;  // bytes of `buffer` already used
    std::string id;
    int32_t expectedBlock = 0;
    int32_t blockSize = 0;
    int32_t blockCount = 0;
    std::atomic<int32_t> received{0};
    std::atomic<int32_t> fileSize{1};
    std::string filePath;
    std::string request;
    FILE* output = nullptr;
};
