// Vertex and index buffers: geometry in GPU buffer objects, filled through a
// scoped lock that maps the buffer, and made current with Set before a draw
// call. A vertex format lists the components of one vertex in memory order.
#pragma once
#include <cstdint>
#include <vector>

#include "SharedResource_TCPP.h"

namespace G {

enum class VertComponentType : uint32_t { Float1 = 0, Float2 = 1, Float3 = 2, Float4 = 3, UByte4 = 4 };
enum class VertComponentUse : uint32_t { Position = 0, Normal = 1, Color = 2, TexCoord = 3 };

struct VertComponent {
    VertComponentType type;
    VertComponentUse use;
};

// Components packed in list order from byte 0 of each vertex, no padding.
typedef std::vector<VertComponent> VertexFormat;

// Bytes of one component; 0 (after a report) for a type that does not exist.
uint32_t GetVertComponentSize(VertComponentType type);

struct SVB_API_Data {
    uint32_t name;
};

struct SIB_API_Data {
    uint32_t name;
};

struct VertexBufferData : SharedRecord {
    uint32_t vertexCount = 0;
    uint32_t vertexSize = 0;
    VertexFormat format;
    bool dynamic = false;
    bool writeOnly = true;
    bool written = false;
    SVB_API_Data* api = nullptr;
};

struct IndexBufferData : SharedRecord {
    uint32_t indexCount = 0;
    bool dynamic = false;
    bool writeOnly = true;
    bool written = false;
    SIB_API_Data* api = nullptr;
};

class VertexBuffer : public SharedResource<VertexBufferData> {
public:
    VertexBuffer() = default;
    VertexBuffer(const VertexBuffer& other);
    VertexBuffer& operator=(const VertexBuffer& other);
    ~VertexBuffer() override;

    // `vertexSize` must be the sum of the format's component sizes.
    bool Create(uint32_t vertexCount, const VertexFormat& format, uint32_t vertexSize, bool dynamic,
                bool writeOnly);
    // Makes this buffer the source of the next draw calls.
    void Set();

    uint32_t GetVertexCount() const;
    uint32_t GetVertexSize() const;
    const VertexFormat* GetFormat() const;  // null when empty
    bool IsDynamic() const;
    bool IsWriteOnly() const;
    bool IsWritten() const;
    void SetWritten(bool written);
    uint32_t GetGLName() const;  // 0 when empty

protected:
    void SRReleaseData() override;
};

class IndexBuffer : public SharedResource<IndexBufferData> {
public:
    IndexBuffer() = default;
    IndexBuffer(const IndexBuffer& other);
    IndexBuffer& operator=(const IndexBuffer& other);
    ~IndexBuffer() override;

    bool Create(uint16_t indexCount, bool dynamic, bool writeOnly);
    void Set();

    uint32_t GetIndexCount() const;
    bool IsDynamic() const;
    bool IsWriteOnly() const;
    bool IsWritten() const;
    uint32_t GetGLName() const;

protected:
    void SRReleaseData() override;
};

// Maps a vertex buffer for the CPU while it lives. The pointer is null when
// mapping failed. Call Unlock when done writing (the destructor does it for
// a lock still open), then Set the buffer again before drawing.
class VertexBufferLock {
public:
    explicit VertexBufferLock(VertexBuffer& buffer);
    ~VertexBufferLock();
    VertexBufferLock(const VertexBufferLock&) = delete;
    VertexBufferLock& operator=(const VertexBufferLock&) = delete;

    void* GetPointer() const { return pointer; }
    void Unlock();

private:
    void* pointer = nullptr;
    VertexBuffer& buffer;
};

class IndexBufferLock {
public:
    explicit IndexBufferLock(IndexBuffer& buffer);
    ~IndexBufferLock();
    IndexBufferLock(const IndexBufferLock&) = delete;
    IndexBufferLock& operator=(const IndexBufferLock&) = delete;

    // Hands the mapped indices out and marks the buffer written; false when
    // there is nothing mapped.
    bool GetPointer(uint16_t*& out);
    void Unlock();

private:
    void* pointer = nullptr;
    IndexBuffer& buffer;
};

// The buffers the draw calls use; null when none is current. Any create,
// lock or unlock of a buffer of the kind clears its current one.
VertexBuffer* GetCurrentVertexBuffer();
IndexBuffer* GetCurrentIndexBuffer();

}  // namespace G
