#include "DreamArchive.h"

#include "FileUtil.h"
#include "LogFile.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

const size_t ArchiveHeaderSize = 28;
const size_t EntryHeaderSize = 62;
const size_t EntryMethodOffset = 58;

bool ReadArchive(const std::string& path, std::vector<unsigned char>& bytes) {
    // A size that does not fit the signed field the archive format uses
    // counts as unreadable, as a negative one would.
    std::string contents;
    if (!ReadWholeFile(path, true, contents, INT32_MAX) || contents.empty()) return false;
    bytes.assign(contents.begin(), contents.end());
    return true;
}

}  // namespace

bool UnpackDream(const std::string& path) {
    std::vector<unsigned char> bytes;
    if (!ReadArchive(path, bytes)) {
        ErrorLog << "Unable to begin decompression of file: " << path << "\n";
        return false;
    }
    if (bytes.size() < 4 || std::memcmp(bytes.data(), "FR01", 4) != 0) {
        ErrorLog << "Error decompressing dream file (" << path << "): dream header ID is invalid.\n";
        return false;
    }
    if (bytes.size() <= ArchiveHeaderSize) return true;
    const unsigned char* entry = bytes.data() + ArchiveHeaderSize;
    if (bytes.size() < ArchiveHeaderSize + EntryHeaderSize || std::memcmp(entry, "FZ", 2) != 0) {
        ErrorLog << "Error in file entry header, in dream file: " << path << "\n";
        return false;
    }
    ErrorLog << "Unsupported compression method in dream file: " << ReadInt32(entry + EntryMethodOffset) << "\n";
    return false;
}
