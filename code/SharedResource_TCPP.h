// Handles onto shared, reference-counted records of one resource kind
// (textures, meshes, bones, buffers). Copying a handle shares its record;
// the record, and what it holds, goes when the last handle lets go.
//
// A kind derives its handle from SharedResource<Record>, where Record
// derives from SharedRecord (the count comes first), implements
// SRReleaseData, calls SRShare in its copy operations and SRFree in its
// destructor. Every live record of a kind is listed, oldest first, in
// SRRegistry(), where the kind finds records by name.
#pragma once
#include "CMemMan.h"
#include "LogFile.h"
#include "StaticOrder.h"

#include <algorithm>
#include <cstdint>
#include <list>
#include <type_traits>

struct SharedRecord {
    uint32_t refCount = 0;
};

template <class ResType>
class SharedResource {
    static_assert(std::is_base_of_v<SharedRecord, ResType>, "records begin with SharedRecord");

public:
    SharedResource() = default;
    SharedResource(const SharedResource&) = delete;
    SharedResource& operator=(const SharedResource&) = delete;
    virtual ~SharedResource();

    // Releases what the record holds; called on the handle that lets go last,
    // while the record still exists.
    virtual void SRReleaseData() = 0;

    // A new record of this handle's own, with count 1.
    void SRAlloc();
    // Lets go of the record; the handle holds nothing afterwards.
    void SRFree();
    // Shares the other handle's record (nothing when it holds none).
    void SRShare(const SharedResource& other);

    ResType* SRRecord() const { return record; }
    static const std::list<ResType*>& SRRegistry() { return *registry; }

private:
    static Immortal<std::list<ResType*>> registry;

    ResType* record = nullptr;
};

// Handles that are plain statics of the test and tool programs let go after
// every ordered static.
template <class ResType>
Immortal<std::list<ResType*>> SharedResource<ResType>::registry STATIC_ORDER(STATIC_GRAPHICS);

template <class ResType>
SharedResource<ResType>::~SharedResource() {
    if (!record) return;
    // The kind's part is gone, so its data cannot be released: the record
    // stays counted and the memory manager reports it at exit.
    ErrorLog << "Warning: Base (SharedResource) being destructed, but resource still allocated.  Did child not "
                "call SRFree in destructor?\n"
             << "  -call stack:\n" << CallStackText() << "\n";
}

template <class ResType>
void SharedResource<ResType>::SRAlloc() {
    SRFree();
    ResType* created = new2(ResType, ResType);
    if (!created) return;
    created->refCount = 1;
    registry->push_back(created);
    record = created;
}

template <class ResType>
void SharedResource<ResType>::SRFree() {
    if (!record) return;
    if (--record->refCount == 0) {
        std::list<ResType*>& records = *registry;
        auto found = std::find(records.begin(), records.end(), record);
        if (found == records.end())
            ErrorLog << "Internal error in SharedResource, SRFree()..." << "  -call stack:\n" << CallStackText() << "\n";
        else
            records.erase(found);
        SRReleaseData();
        delete2(record);
    }
    record = nullptr;
}

template <class ResType>
void SharedResource<ResType>::SRShare(const SharedResource& other) {
    if (&other == this) return;
    // Taking the other's pointer first keeps a record both share alive.
    ResType* shared = other.record;
    if (shared) ++shared->refCount;
    SRFree();
    record = shared;
}
