#include "SampleDreams.h"

#include "SampleFiles.h"

namespace {

constexpr int EntryHeaderSize = 62;
constexpr int EntryNameSize = 48;
constexpr uint32_t StoredMethod = 0;

// "FR01", the entry count, then reserved bytes up to the first entry.
std::string ArchiveHeader(uint32_t entries) {
    std::string out = "FR01";
    PutU32(out, entries);
    out.resize(DreamArchiveHeaderSize, '\0');
    return out;
}

}  // namespace

std::string EncodeEmptyDream() { return ArchiveHeader(0); }

std::string EncodeDreamWithEntry(const std::string& mapBytes) {
    std::string out = ArchiveHeader(1);
    std::string entry = "FZ";
    PutU32(entry, static_cast<uint32_t>(mapBytes.size()));  // stored size
    PutU32(entry, static_cast<uint32_t>(mapBytes.size()));  // original size
    std::string name = "default.map";
    name.resize(EntryNameSize, '\0');
    entry += name;
    entry.resize(EntryHeaderSize - 4, '\0');
    PutU32(entry, StoredMethod);  // the method field at offset 58
    return out + entry + mapBytes;
}
