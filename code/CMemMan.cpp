#include "CMemMan.h"

#include "LogFile.h"
#include "StaticOrder.h"
#include "SystemDialog.h"
#include "platform/PlatformSystem.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

const int StackDepth = 64;

struct AllocationRecord {
    uint32_t kind;
    void* address;
    size_t size;
    const char* typeName;  // literals from the new2 expansion
    const char* file;
    int line;
    uint32_t count;
    uint64_t order;  // newest first in reports
    int frameCount;
    void* frames[StackDepth];
};

bool GuardIntact(const unsigned char* bytes) {
    for (size_t i = 0; i < MemTrack::GuardSize; ++i)
        if (bytes[i] != MemTrack::GuardByte) return false;
    return true;
}

}  // namespace

class CMemMan {
public:
    CMemMan() = default;
    virtual ~CMemMan();

    std::mutex lock;
    bool criticalErrors = false;
    bool enabled = true;
    uint64_t nextOrder = 0;
    // Keyed by address for constant-time deletes; reports order by age.
    std::unordered_map<void*, AllocationRecord> records;

    std::vector<const AllocationRecord*> NewestFirst() const;
    bool CheckGuards(const AllocationRecord& record);
};

static CMemMan memMan STATIC_ORDER(STATIC_MEMMAN);

static std::string StackOf(const AllocationRecord& record) {
    return CallStackText(record.frames, record.frameCount);
}

std::vector<const AllocationRecord*> CMemMan::NewestFirst() const {
    std::vector<const AllocationRecord*> list;
    list.reserve(records.size());
    for (const auto& entry : records) list.push_back(&entry.second);
    std::sort(list.begin(), list.end(), [](auto a, auto b) { return a->order > b->order; });
    return list;
}

bool CMemMan::CheckGuards(const AllocationRecord& record) {
    const unsigned char* payload = static_cast<const unsigned char*>(record.address);
    bool damaged = false;
    if (!GuardIntact(payload - MemTrack::GuardSize)) {
        ErrorLog << "WARNING: Damage to memory BEFORE an allocation.\n";
        damaged = true;
    }
    if (!GuardIntact(payload + record.size)) {
        ErrorLog << "WARNING: Damage to memory AFTER an allocation.\n";
        damaged = true;
    }
    return damaged;
}

CMemMan::~CMemMan() {
    std::lock_guard<std::mutex> guard(lock);
    std::vector<const AllocationRecord*> live = NewestFirst();
    for (const AllocationRecord* record : live) {
        if (!CheckGuards(*record)) continue;
        criticalErrors = true;
        ErrorLog << "  -object: " << record->typeName << "\n"
                 << "  -Allocated in " << record->file << " line " << record->line << ".\n"
                 << "  -Call stack for allocation:\n"
                 << StackOf(*record) << "  -Call stack for this check:\n"
                 << CallStackText() << "\n\n";
    }
    enabled = false;
    if (criticalErrors)
        SystemMessageBox("Critical memory management errors occured.\nCheck _error.txt for details.\n",
                             "Critical Memory Error", false);
    if (live.empty()) return;

    size_t total = 0;
    for (const AllocationRecord* record : live) total += record->size;
    ErrorLog << "\nTotal memory leaks: " << static_cast<unsigned long>(total) << " bytes in "
             << static_cast<unsigned long>(live.size()) << " allocation(s).\n"
             << "\n -- List of memory leaks --\n";
    for (const AllocationRecord* record : live) {
        ErrorLog << (record->kind == MemTrack::KindObject ? "Object \"" : "Array of \"")
                 << record->typeName << "\" (" << static_cast<unsigned long>(record->size)
                 << " bytes total):\n"
                 << "  -Allocated in " << record->file << " line " << record->line << ".\n"
                 << "  -call stack of allocation:\n"
                 << StackOf(*record) << "\n";
    }
    std::string text = "Memory was allocated and never freed.\n" + std::to_string(total) +
                       " byte(s) leaked.\n" + std::to_string(live.size()) +
                       " total unfreed allocations.\nSee _error.txt for details.\n";
    records.clear();
    SystemMessageBox(text, "Memory Leaks", false);
}

namespace MemTrack {

void CheckTypeName(const char* declaration, const char* typeName) {
    if (std::strncmp(declaration, typeName, std::strlen(typeName)) == 0) return;
    ErrorLog << "object declaration doesn't match type name provided to new2.\n"
             << "  -type name: " << typeName << "\n"
             << "  -object dec: " << declaration << "\n"
             << "  -call stack:\n"
             << CallStackText() << "\n";
}

void* AllocateBlock(size_t size) {
    if (size > SIZE_MAX - 2 * GuardSize) return nullptr;
    unsigned char* block = static_cast<unsigned char*>(std::malloc(size + 2 * GuardSize));
    return block ? block + GuardSize : nullptr;
}

void TrackAllocation(uint32_t kind, void* address, size_t size, const char* typeName,
                     const char* file, int line, uint32_t count) {
    if (!address) {
        if (memMan.enabled)
            ErrorLog << "Out of memory trying to alloc?  A call to now must have failed...\n"
                     << "  -call stack:\n"
                     << CallStackText() << "\n";
        return;
    }
    unsigned char* payload = static_cast<unsigned char*>(address);
    std::memset(payload - GuardSize, GuardByte, GuardSize);
    std::memset(payload + size, GuardByte, GuardSize);

    AllocationRecord record;
    record.kind = kind;
    record.address = address;
    record.size = size;
    record.typeName = typeName;
    record.file = file;
    record.line = line;
    record.count = count;
    // Captured as addresses, the text is made only for a report. The stack
    // starts at this function, as a dropped-first-line stack text would.
    record.frameCount = Platform::CaptureStackQuick(record.frames, StackDepth, 0);
    std::lock_guard<std::mutex> guard(memMan.lock);
    if (!memMan.enabled) return;
    record.order = memMan.nextOrder++;
    memMan.records[address] = record;
}

uint32_t CheckDelete(uint32_t kind, void* address, const char* file, int line, uint32_t& count) {
    count = 1;
    std::lock_guard<std::mutex> guard(memMan.lock);
    if (!memMan.enabled) return KindNone;
    if (!address) {
        memMan.criticalErrors = true;
        ErrorLog << "Error: delete being used on a null pointer.\n"
                 << "  -delete call made in " << file << " line " << line << ".\n"
                 << "  -call stack:\n"
                 << DropFirstLine(CallStackText()) << "\n";
        return KindNone;
    }
    auto found = memMan.records.find(address);
    if (found == memMan.records.end()) {
        memMan.criticalErrors = true;
        ErrorLog << "Error: delete used on memory that doesn't exist.\n"
                 << "  -delete call made in " << file << " line " << line << "\n"
                 << "  -call stack:\n"
                 << DropFirstLine(CallStackText()) << "\n"
                 << "\n";
        return KindNone;
    }
    AllocationRecord& record = found->second;
    if (record.kind != kind) {
        memMan.criticalErrors = true;
        ErrorLog << "Error: Wrong delete operator used when freeing memory.\n"
                 << (record.kind == KindObject ? "  -Delete array used on memory allocated with new (non-array).\n"
                                               : "  -Delete (non-array) used on memory allocated with new array.\n")
                 << "  -delete call made in " << file << " line " << line << ".\n"
                 << "  -call made on memory that was allocated in " << record.file << " line "
                 << record.line << ".\n"
                 << "  -call stack:\n"
                 << DropFirstLine(CallStackText()) << "\n";
    }
    if (memMan.CheckGuards(record)) {
        memMan.criticalErrors = true;
        ErrorLog << "  -object: " << record.typeName << "\n"
                 << "  -Allocated in " << record.file << " line " << record.line << ".\n"
                 << "  -Call stack for allocation:\n"
                 << StackOf(record) << "  -Call stack for this delete:\n"
                 << CallStackText() << "\n\n";
    }
    uint32_t as = record.kind;
    count = record.count;
    memMan.records.erase(found);
    return as;
}

void FreeBlock(void* address, uint32_t kindFound) {
    // A pointer the manager does not know is not freed: it may not be ours,
    // or it was freed already.
    if (!address || kindFound == KindNone) return;
    std::free(static_cast<unsigned char*>(address) - GuardSize);
}

size_t LiveAllocationCount() {
    std::lock_guard<std::mutex> guard(memMan.lock);
    return memMan.records.size();
}

bool HadCriticalErrors() {
    std::lock_guard<std::mutex> guard(memMan.lock);
    return memMan.criticalErrors;
}

}  // namespace MemTrack
