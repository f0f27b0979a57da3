#include "FileGetterExchange.h"

#include "FileUtil.h"
#include "LogFile.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace {

// Decimal text to a number the way the server's words are read: an optional
// sign, then digits up to the first other byte; out-of-range values saturate.
int32_t WordToInt(const std::string& word) {
    size_t i = 0;
    bool negative = false;
    if (i < word.size() && (word[i] == '-' || word[i] == '+')) negative = word[i++] == '-';
    int64_t value = 0;
    for (; i < word.size() && word[i] >= '0' && word[i] <= '9'; ++i) {
        value = value * 10 + (word[i] - '0');
        if (value > INT32_MAX) value = int64_t(INT32_MAX) + 1;
    }
    if (negative) value = -value;
    return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

const int32_t BlockHeaderSize = 10;

const char RequestCommand[] = "RC ";
const char Removed[] = "(NAME/PASS REMOVED FOR SECURITY)";
const int RequestTailWords = 4;  // id and the three numbers, kept in the log

// The request keeps its last four words; everything between the command and
// them (the name and password, whatever spaces they hold) goes.
std::string RedactedRequest(const std::string& line) {
    size_t body = line.size() - (line.ends_with('\n') ? 1 : 0);
    size_t cut = body;
    for (int words = 0; words < RequestTailWords; ++words) {
        cut = line.rfind(' ', cut - 1);
        if (cut == std::string::npos || cut < std::strlen(RequestCommand))
            return std::string(RequestCommand) + Removed + "\n";
    }
    return std::string(RequestCommand) + Removed + line.substr(cut);
}

}  // namespace

std::string FileRequestLine(const std::string& name, const std::string& password, const std::string& id) {
    return RequestCommand + name + " " + password + " " + id + " 0 2 4096\n";
}

std::string HideRequestSecrets(const std::string& text) {
    std::string out;
    size_t lineStart = 0;
    while (lineStart < text.size()) {
        size_t lineEnd = text.find('\n', lineStart);
        lineEnd = lineEnd == std::string::npos ? text.size() : lineEnd + 1;
        std::string line = text.substr(lineStart, lineEnd - lineStart);
        out += line.starts_with(RequestCommand) ? RedactedRequest(line) : line;
        lineStart = lineEnd;
    }
    return out;
}

FileGetterExchange::FileGetterExchange(const std::string& dreamId, const std::string& path,
                                       const std::string& requestLine)
    : id(dreamId), filePath(path), request(requestLine) {}

FileGetterExchange::~FileGetterExchange() { CloseFile(); }

bool FileGetterExchange::CloseFile() {
    bool closed = !output || std::fclose(output) == 0;
    output = nullptr;
    return closed;
}

void FileGetterExchange::GetProgress(int32_t& receivedOut, int32_t& fileSizeOut) const {
    receivedOut = received.load();
    fileSizeOut = fileSize.load();
}

void FileGetterExchange::End(FileGetterState final) {
    state = final;
    done = true;
}

void FileGetterExchange::ConnectionLost(FileGetterLink& link) {
    if (done.load()) return;
    ErrorLog << "warning: file download ended early: " << id << "\n";
    link.Tell("> CONNECTION SEVERED");
    End(Failed);
}

void FileGetterExchange::Stalled(FileGetterLink& link, unsigned seconds) {
    if (done.load()) return;
    ErrorLog << "warning: file download stalled: " << id << ": nothing came from the file server for " << seconds
             << " seconds\n";
    link.Tell("> DOWNLOAD STALLED: nothing came from the file server for " + std::to_string(seconds) + " seconds");
    End(Failed);
}

void FileGetterExchange::Append(const char* bytes, size_t count) {
    buffer.insert(buffer.end(), bytes, bytes + count);
    LimitBuffer();
}

// Bytes beyond the blocks still to come are never read; dropping them keeps a
// server that streams without end from filling memory.
void FileGetterExchange::LimitBuffer() {
    if (state.load() != Receiving) return;
    size_t needed = size_t(blockCount - expectedBlock) * size_t(blockSize);
    if (BufferedBytes() > needed) buffer.resize(head + needed);
}

void FileGetterExchange::Consume(size_t count) {
    head += count;
    // Compact only when the used part dominates, so taking blocks stays linear.
    if (head == buffer.size()) {
        buffer.clear();
        head = 0;
    } else if (head > 65536 && head * 2 > buffer.size()) {
        buffer.erase(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(head));
        head = 0;
    }
}

bool FileGetterExchange::TakeLine(std::string& line) {
    if (BufferedBytes() == 0) return false;
    const char* start = buffer.data() + head;
    const void* feed = std::memchr(start, '\n', BufferedBytes());
    if (!feed) return false;
    size_t length = static_cast<size_t>(static_cast<const char*>(feed) - start) + 1;
    line.assign(start, length);
    Consume(length);
    return true;
}

void FileGetterExchange::Fail(FileGetterLink& link, const char* message) {
    ErrorLog << message;
    link.Tell("> FAILED");
    End(Failed);
}

void FileGetterExchange::FailWrite(FileGetterLink& link) {
    ErrorLog << "Error: Failed to write downloaded dream to \"" << filePath << "\"... aborting.\n";
    link.Tell("> FAILED");
    End(Failed);
}

void FileGetterExchange::Step(FileGetterLink& link) {
    switch (state.load()) {
    case AwaitWelcome: StepWelcome(link); break;
    case AwaitReply: StepReply(link); break;
    case Receiving: StepBlock(link); break;
    default: break;
    }
}

void FileGetterExchange::StepWelcome(FileGetterLink& link) {
    std::string line;
    if (!TakeLine(line)) {
        if (BufferedBytes() > MaxLineLength)
            Fail(link, "Anomolous message recieved in response to file server connect.\n");
        return;
    }
    line.resize(3, '\0');
    if (line != "10 ") {
        Fail(link, "Anomolous message recieved in response to file server connect.\n");
        return;
    }
    link.Tell("> File Server welcome received.  Requesting transfer...");
    link.Send(request);
    state = AwaitReply;
}

void FileGetterExchange::StepReply(FileGetterLink& link) {
    std::string line;
    if (!TakeLine(line)) {
        if (BufferedBytes() > MaxLineLength) Fail(link, "Anomolous response recieved to RC request.\n");
        return;
    }
    if (!AcceptTransfer(line)) {
        Fail(link, "Anomolous response recieved to RC request.\n");
        return;
    }
    MakeDirectories(filePath);
    if (FileLength(filePath) == uint32_t(fileSize.load())) {
        link.Tell("> Already have file, cancelling download and using local copy.");
        received = fileSize.load();
        End(Complete);
        return;
    }
    BeginReceiving(link);
}

// An accept line is "44", the file size, an unused word and the block size.
// Too few words, blocks too small to carry a payload (or too large to buffer)
// and negative sizes cannot describe a transfer.
bool FileGetterExchange::AcceptTransfer(const std::string& line) {
    StringList words;
    SplitString(line, words, " \t\n");
    if (words.size() < 4 || words[0] != "44") return false;
    int32_t size = WordToInt(words[1]);
    int32_t block = WordToInt(words[3]);
    if (size < 0 || block <= BlockHeaderSize || block > MaxBlockSize) return false;
    int32_t payload = block - BlockHeaderSize;
    received = 0;
    fileSize = size;
    blockSize = block;
    blockCount = size / payload + (size % payload ? 1 : 0);
    return true;
}

void FileGetterExchange::BeginReceiving(FileGetterLink& link) {
    output = OpenFile(filePath, "wb");
    if (!output) {
        ErrorLog << "Failed to open output file, to download dream into.\n";
        End(Failed);
        return;
    }
    link.Tell("> Transfer request accepted.  Download beginning.");
    state = Receiving;
    LimitBuffer();
    // An empty file needs no block: waiting for one would never end.
    if (blockCount == 0) Finish(link);
}

void FileGetterExchange::StepBlock(FileGetterLink& link) {
    if (BufferedBytes() < size_t(blockSize)) return;
    std::vector<char> block(buffer.begin() + static_cast<std::ptrdiff_t>(head),
                            buffer.begin() + static_cast<std::ptrdiff_t>(head) + blockSize);
    Consume(size_t(blockSize));
    if (block[0] != 'S' || block[1] != 'C') {
        Fail(link, "Non-data block recieved while downloading file... aborting.\n");
        return;
    }
    int32_t index = ReadInt32(block.data() + 2);
    if (index != expectedBlock) {
        Fail(link,
             "Out of order data block received from file server... aborting. (I know, I should handle this "
             "better.... later!)\n");
        return;
    }
    WriteBlock(link, block.data(), index);
}

void FileGetterExchange::WriteBlock(FileGetterLink& link, const char* block, int32_t index) {
    int32_t count = blockSize - BlockHeaderSize;
    if (expectedBlock == blockCount - 1) count = fileSize.load() - received.load();
    // A short write would leave a file that later looks complete.
    if (std::fwrite(block + BlockHeaderSize, 1, size_t(count), output) != size_t(count)) {
        FailWrite(link);
        return;
    }
    received += count;
    link.Send("PKOK " + std::to_string(index) + "\n");
    if (++expectedBlock < blockCount) return;
    Finish(link);
}

void FileGetterExchange::Finish(FileGetterLink& link) {
    // Closed now, not at destruction: the archive is read before the getter goes.
    if (!CloseFile()) {
        FailWrite(link);
        return;
    }
    link.Send("BYE\n");
    link.Tell("> Download Complete.");
    End(Complete);
}
