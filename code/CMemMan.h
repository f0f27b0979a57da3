// The tracking memory manager. Every heap object of the program is made with
// new2 and released with delete2 (delete2_array for arrays): each block is
// recorded with its type name, source line and call stack, and fenced with
// guard bytes that are checked on delete and at exit.
//
//   Foo* f = new2(Foo, Foo(1, 2));          // declaration text "Foo(1, 2)"
//   Bar* b = new2(Bar, Bar);                // bare type name
//   int* a = new2_array(int, 100);
//   delete2(f); delete2_array(a);
//
// Delete through the pointer new2 returned, or a pointer to a polymorphic base.
#pragma once
#include <cstddef>
#include <cstdint>
#include <new>
#include <type_traits>
#include <utility>

namespace MemTrack {

enum : uint32_t { KindNone = 0, KindObject = 1, KindArray = 2 };
const size_t GuardSize = 8;
const unsigned char GuardByte = 0xA5;

void CheckTypeName(const char* declaration, const char* typeName);
// Raw block of size + 16 bytes; returns the payload address (block + 8), or null.
void* AllocateBlock(size_t size);
void TrackAllocation(uint32_t kind, void* address, size_t size, const char* typeName,
                     const char* file, int line, uint32_t count);
// Returns the kind to destroy the block as (0: do not run destructors).
uint32_t CheckDelete(uint32_t kind, void* address, const char* file, int line, uint32_t& count);
void FreeBlock(void* address, uint32_t kindFound);

template <class T, class Construct>
T* New(const char* typeName, const char* declaration, const char* file, int line, Construct construct) {
    CheckTypeName(declaration, typeName);
    void* memory = AllocateBlock(sizeof(T));
    T* object = memory ? construct(memory) : nullptr;
    TrackAllocation(KindObject, object, sizeof(T), typeName, file, line, 1);
    return object;
}

template <class T>
T* NewArray(const char* typeName, size_t count, const char* file, int line) {
    CheckTypeName(typeName, typeName);
    // A count whose size does not fit is refused like a failed allocation.
    void* memory = count <= SIZE_MAX / sizeof(T) ? AllocateBlock(sizeof(T) * count) : nullptr;
    T* first = nullptr;
    if (memory) {
        first = static_cast<T*>(memory);
        for (size_t i = 0; i < count; ++i) new (first + i) T();
    }
    TrackAllocation(KindArray, first, sizeof(T) * count, typeName, file, line, static_cast<uint32_t>(count));
    return first;
}

template <class T>
void Delete(T* object, uint32_t kind, const char* file, int line) {
    void* address = object;
    if constexpr (std::is_polymorphic_v<T>)
        if (object) address = dynamic_cast<void*>(object);
    uint32_t count = 1;
    uint32_t as = CheckDelete(kind, address, file, line, count);
    if (as == KindObject) {
        object->~T();
    } else if (as == KindArray) {
        for (uint32_t i = 0; i < count; ++i) object[i].~T();
    }
    FreeBlock(address, as);
}

// Totals for tests and statistics.
size_t LiveAllocationCount();
bool HadCriticalErrors();

}  // namespace MemTrack

#define new2(Type, ...)                                                                         \
    (::MemTrack::New<Type>(#Type, #__VA_ARGS__, __FILE__, __LINE__,                             \
                           [&](void* memory_) -> Type* { return new (memory_) __VA_ARGS__; }))
#define new2_array(Type, count) (::MemTrack::NewArray<Type>(#Type, (count), __FILE__, __LINE__))
#define delete2(pointer) (::MemTrack::Delete((pointer), ::MemTrack::KindObject, __FILE__, __LINE__))
#define delete2_array(pointer) (::MemTrack::Delete((pointer), ::MemTrack::KindArray, __FILE__, __LINE__))
