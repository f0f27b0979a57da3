#include "FileUtil.h"

#include "LogFile.h"
#include "platform/PlatformSystem.h"

#include <cstdlib>
#include <cstring>

FILE* OpenFile(const std::string& path, const char* mode) { return Platform::OpenFile(path, mode); }

bool DeleteFile(const std::string& path) { return Platform::DeleteFile(path); }

uint32_t FileLength(const std::string& path) {
    FILE* f = OpenFile(path, "rb");
    if (!f) return 0;
    uint32_t length = 0;
    if (std::fseek(f, 0, SEEK_END) == 0) {
        long end = std::ftell(f);
        if (end > 0) length = static_cast<uint32_t>(end);
    }
    std::fclose(f);
    return length;
}

void MakeDirectories(const std::string& path) {
    for (size_t i = path.find('\\'); i != std::string::npos; i = path.find('\\', i + 1))
        if (i > 0) Platform::CreateDirectory(path.substr(0, i));
}

std::string DirectoryOf(const std::string& path) {
    size_t slash = path.rfind('\\');
    return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

std::string FileNameOf(const std::string& path) {
    size_t slash = path.rfind('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ExtensionOf(const std::string& name) {
    size_t dot = name.rfind('.');
    return dot == std::string::npos ? "" : name.substr(dot + 1);
}

std::string StripExtension(const std::string& name) {
    size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string ToLower(const std::string& text) {
    std::string lower = text;
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

bool IsPrintable(char c) {
    signed char code = static_cast<signed char>(c);
    return code >= 32 && code <= 126;
}

uint32_t BitCount(uint32_t value) { return static_cast<uint32_t>(__builtin_popcount(value)); }

int HighestBit(uint32_t value) { return value ? 31 - __builtin_clz(value) : -1; }

// One block of a text-mode read: "\r\n" becomes "\n", as the text streams of
// the game's home system deliver it.
static size_t ReadTextBlock(FILE* f, char* block, size_t size) {
    size_t n = 0;
    while (n < size) {
        int c = std::fgetc(f);
        if (c == EOF) break;
        if (c == '\r') {
            int next = std::fgetc(f);
            if (next == '\n')
                c = '\n';
            else if (next != EOF)
                std::ungetc(next, f);
        }
        block[n++] = static_cast<char>(c);
    }
    return n;
}

std::string ReadWholeFile(const std::string& path, bool binary) {
    std::string text;
    ReadWholeFile(path, binary, text);
    return text;
}

bool ReadWholeFile(const std::string& path, bool binary, std::string& text, size_t maxBytes) {
    text.clear();
    FILE* f = OpenFile(path, "rb");
    if (!f) return false;
    char block[2048];
    size_t got;
    // Text stops each block at its first NUL; bytes are kept whole, so the
    // binary loaders read through here too.
    while (text.size() <= maxBytes &&
           (got = binary ? std::fread(block, 1, sizeof block, f) : ReadTextBlock(f, block, sizeof block)) > 0)
        text.append(block, binary ? got : strnlen(block, got));
    std::fclose(f);
    if (text.size() <= maxBytes) return true;
    text.clear();
    return false;
}

void SplitString(const std::string& text, StringList& out, const std::string& delimiters) {
    out.clear();
    size_t start = text.find_first_not_of(delimiters);
    while (start != std::string::npos) {
        size_t end = text.find_first_of(delimiters, start);
        out.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        start = text.find_first_not_of(delimiters, end);
    }
}

void ReadLines(StringList& out, const std::string& path) {
    SplitString(ReadWholeFile(path, false), out, "\n");
}

bool ReadBoundedLine(FILE* file, std::string& line, size_t maxLength, bool keepCarriageReturn) {
    line.clear();
    int c = std::fgetc(file);
    if (c == EOF) return false;
    for (; c != EOF && c != '\n'; c = std::fgetc(file))
        if (line.size() < maxLength) line += static_cast<char>(c);
    if (!keepCarriageReturn && !line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

bool ReadStringList(StringList& out, const std::string& path) {
    FILE* f = OpenFile(path, "rb");
    if (!f) {
        ErrorLog << "Failed to open string list: " << path << "\n";
        return false;
    }
    std::string line;
    while (ReadBoundedLine(f, line, 4096) && !line.empty()) out.push_back(line);
    std::fclose(f);
    return true;
}

int32_t ReadInt32(const void* bytes) {
    const unsigned char* u = static_cast<const unsigned char*>(bytes);
    return static_cast<int32_t>(uint32_t(u[0]) | uint32_t(u[1]) << 8 | uint32_t(u[2]) << 16 | uint32_t(u[3]) << 24);
}

bool ReadServerAddress(const std::string& path, std::string& host, int& port) {
    FILE* file = OpenFile(path, "rb");
    if (!file) return false;
    // Two words are all there is; a bounded read keeps a huge file harmless.
    char text[1024];
    size_t got = std::fread(text, 1, sizeof text, file);
    std::fclose(file);
    StringList words;
    SplitString(std::string(text, got), words, " \t\r\n");
    if (words.size() < 2 || words[1].find_first_not_of("0123456789") != std::string::npos || words[1].size() > 5)
        return false;
    host = words[0];
    port = std::atoi(words[1].c_str());
    return true;
}
