#include "GLVert.h"

#include "CMemMan.h"
#include "GLDevice.h"
#include "LogFile.h"

namespace G {

namespace {

VertexBuffer* currentVertexBuffer = nullptr;
IndexBuffer* currentIndexBuffer = nullptr;
bool deviceCallbacksRegistered = false;

void VertexBufferDeviceLost() { ErrorLog << "Vertex Buffer Manager: handling device lost not done yet...\n"; }
void VertexBufferDeviceRestore() { ErrorLog << "Vertex Buffer Manager: handling device restore not done yet...\n"; }

GLenum Usage(bool dynamic, bool writeOnly) {
    if (dynamic) return writeOnly ? GL_DYNAMIC_DRAW_ARB : GL_DYNAMIC_COPY_ARB;
    return writeOnly ? GL_STATIC_DRAW_ARB : GL_STATIC_COPY_ARB;
}

GLenum Access(bool writeOnly) { return writeOnly ? GL_WRITE_ONLY_ARB : GL_READ_WRITE_ARB; }

// Without a context the entry points cannot be called at all.
bool ContextFor(const char* operation) {
    if (IsInited()) return true;
    ReportWithStack(std::string("Error: ") + operation + ", but graphics is not inited.\n");
    return false;
}

void DisableClientArrays() {
    if (Extensions.glClientActiveTextureARB) {
        for (int unit = 3; unit >= 0; --unit) {
            Extensions.glClientActiveTextureARB(GL_TEXTURE0_ARB + unit);
            glDisableClientState(GL_TEXTURE_COORD_ARRAY);
        }
    } else {
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    }
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
}

GLenum ElementType(VertComponentType type) {
    switch (type) {
        case VertComponentType::Float1:
        case VertComponentType::Float2:
        case VertComponentType::Float3:
        case VertComponentType::Float4: return GL_FLOAT;
        case VertComponentType::UByte4: return GL_UNSIGNED_BYTE;
    }
    ErrorLog << "unhandled type in vertex format...\n";
    return GL_FLOAT;
}

// Points one fixed-function array at its component; the texture unit counter
// moves on for every texture coordinate.
void BindComponent(const VertComponent& component, GLsizei stride, uintptr_t offset, uint32_t& unit) {
    const uint32_t size = GetVertComponentSize(component.type);
    const GLenum type = ElementType(component.type);
    const GLint elements = GLint(size / 4);
    const void* at = reinterpret_cast<const void*>(offset);
    switch (component.use) {
        case VertComponentUse::Position:
            glVertexPointer(elements, type, stride, at);
            glEnableClientState(GL_VERTEX_ARRAY);
            return;
        case VertComponentUse::Normal:
            glNormalPointer(type, stride, at);
            glEnableClientState(GL_NORMAL_ARRAY);
            return;
        case VertComponentUse::Color:
            glColorPointer(size == 4 ? 4 : elements, type, stride, at);
            glEnableClientState(GL_COLOR_ARRAY);
            return;
        case VertComponentUse::TexCoord:
            if (Extensions.glClientActiveTextureARB) Extensions.glClientActiveTextureARB(GL_TEXTURE0_ARB + unit);
            glTexCoordPointer(elements, type, stride, at);
            glEnableClientState(GL_TEXTURE_COORD_ARRAY);
            ++unit;
            return;
    }
    ErrorLog << "unhandled use in vertex format...\n";
}

// Makes a buffer object of `bytes` bytes bound to `target`; 0 after a report.
GLuint MakeBufferObject(GLenum target, size_t bytes, GLenum usage, const char* genFailed, const char* header) {
    ClearGLErrors();
    GLuint name = 0;
    Extensions.glGenBuffersARB(1, &name);
    if (name == 0) {
        ErrorLog << genFailed;
        return 0;
    }
    Extensions.glBindBufferARB(target, name);
    Extensions.glBufferDataARB(target, GLsizeiptrARB(bytes), nullptr, usage);
    if (ReportGLErrors(header, true)) {
        Extensions.glDeleteBuffersARB(1, &name);
        return 0;
    }
    return name;
}

void DeleteBufferObject(uint32_t& name) {
    if (name != 0 && IsInited()) {
        GLuint glName = name;
        Extensions.glDeleteBuffersARB(1, &glName);
    }
    name = 0;
}

}  // namespace

uint32_t GetVertComponentSize(VertComponentType type) {
    switch (type) {
        case VertComponentType::Float1: return 4;
        case VertComponentType::Float2: return 8;
        case VertComponentType::Float3: return 12;
        case VertComponentType::Float4: return 16;
        case VertComponentType::UByte4: return 4;
    }
    ErrorLog << "Unhandled type in GetVertComponentSize.\n";
    return 0;
}

VertexBuffer* GetCurrentVertexBuffer() { return currentVertexBuffer; }
IndexBuffer* GetCurrentIndexBuffer() { return currentIndexBuffer; }

// --- VertexBuffer -----------------------------------------------------------

VertexBuffer::VertexBuffer(const VertexBuffer& other) : SharedResource<VertexBufferData>() { SRShare(other); }

VertexBuffer& VertexBuffer::operator=(const VertexBuffer& other) {
    // The handle may now hold another buffer: the next Set must bind it.
    if (currentVertexBuffer == this) currentVertexBuffer = nullptr;
    SRShare(other);
    return *this;
}

VertexBuffer::~VertexBuffer() {
    // A handle that goes away must not stay the draw calls' source.
    if (currentVertexBuffer == this) currentVertexBuffer = nullptr;
    SRFree();
}

bool VertexBuffer::Create(uint32_t vertexCount, const VertexFormat& format, uint32_t vertexSize, bool dynamic,
                          bool writeOnly) {
    if (!deviceCallbacksRegistered) {
        deviceCallbacksRegistered = true;
        RegisterDeviceLostCallback(VertexBufferDeviceLost);
        RegisterDeviceRestoreCallback(VertexBufferDeviceRestore);
    }
    if (!ContextFor("VertexBuffer.Create")) return false;
    ScopedLock lock(GraphicsLock);
    SRFree();
    Extensions.glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
    DisableClientArrays();
    currentVertexBuffer = nullptr;
    const GLuint name = MakeBufferObject(GL_ARRAY_BUFFER_ARB, size_t(vertexCount) * vertexSize,
                                         Usage(dynamic, writeOnly), "glGenBuffersARB failed... so can't make VB.\n",
                                         "Error making Vertex Buffer:\n");
    if (name == 0) return false;
    SRAlloc();
    VertexBufferData& data = *SRRecord();
    data.dynamic = dynamic;
    data.format = format;
    data.vertexCount = vertexCount;
    data.vertexSize = vertexSize;
    data.writeOnly = writeOnly;
    data.api = new2(SVB_API_Data, SVB_API_Data{name});
    return true;
}

void VertexBuffer::Set() {
    if (currentVertexBuffer == this) return;
    if (!SRRecord() || !SRRecord()->api || SRRecord()->api->name == 0) {
        ReportWithStack("Attempt to Set a VertexBuffer that doesn't exist.\n");
        return;
    }
    if (!ContextFor("VertexBuffer.Set")) return;
    ScopedLock lock(GraphicsLock);
    ClearGLErrors();
    Extensions.glBindBufferARB(GL_ARRAY_BUFFER_ARB, SRRecord()->api->name);
    DisableClientArrays();
    uintptr_t offset = 0;
    uint32_t unit = 0;
    for (const VertComponent& component : SRRecord()->format) {
        BindComponent(component, GLsizei(SRRecord()->vertexSize), offset, unit);
        offset += GetVertComponentSize(component.type);
    }
    ReportGLErrors("VertexBuffer.Set:\n", true);
    currentVertexBuffer = this;
}

void VertexBuffer::SRReleaseData() {
    ScopedLock lock(GraphicsLock);
    if (!SRRecord()->api) return;
    DeleteBufferObject(SRRecord()->api->name);
    delete2(SRRecord()->api);
    SRRecord()->api = nullptr;
}

uint32_t VertexBuffer::GetVertexCount() const { return SRRecord() ? SRRecord()->vertexCount : 0; }
uint32_t VertexBuffer::GetVertexSize() const { return SRRecord() ? SRRecord()->vertexSize : 0; }
const VertexFormat* VertexBuffer::GetFormat() const { return SRRecord() ? &SRRecord()->format : nullptr; }
bool VertexBuffer::IsDynamic() const { return SRRecord() && SRRecord()->dynamic; }
bool VertexBuffer::IsWriteOnly() const { return SRRecord() && SRRecord()->writeOnly; }
bool VertexBuffer::IsWritten() const { return SRRecord() && SRRecord()->written; }
uint32_t VertexBuffer::GetGLName() const { return SRRecord() && SRRecord()->api ? SRRecord()->api->name : 0; }

void VertexBuffer::SetWritten(bool written) {
    if (SRRecord()) SRRecord()->written = written;
}

// --- IndexBuffer ------------------------------------------------------------

IndexBuffer::IndexBuffer(const IndexBuffer& other) : SharedResource<IndexBufferData>() { SRShare(other); }

IndexBuffer& IndexBuffer::operator=(const IndexBuffer& other) {
    // The handle may now hold another buffer: the next Set must bind it.
    if (currentIndexBuffer == this) currentIndexBuffer = nullptr;
    SRShare(other);
    return *this;
}

IndexBuffer::~IndexBuffer() {
    if (currentIndexBuffer == this) currentIndexBuffer = nullptr;
    SRFree();
}

bool IndexBuffer::Create(uint16_t indexCount, bool dynamic, bool writeOnly) {
    if (!ContextFor("IndexBuffer.Create")) return false;
    SRFree();
    glDisableClientState(GL_INDEX_ARRAY);
    ScopedLock lock(GraphicsLock);
    currentIndexBuffer = nullptr;
    const GLuint name = MakeBufferObject(GL_ELEMENT_ARRAY_BUFFER_ARB, size_t(indexCount) * 2,
                                         Usage(dynamic, writeOnly), "glGenBuffersARB failed... so can't make IB.\n",
                                         "Error making Index Buffer:");
    if (name == 0) return false;
    SRAlloc();
    IndexBufferData& data = *SRRecord();
    data.dynamic = dynamic;
    data.indexCount = indexCount;
    data.writeOnly = writeOnly;
    data.api = new2(SIB_API_Data, SIB_API_Data{name});
    return true;
}

void IndexBuffer::Set() {
    if (currentIndexBuffer == this) return;
    if (!SRRecord() || !SRRecord()->api || SRRecord()->api->name == 0) {
        ReportWithStack("Attempt to Set an IndexBuffer that doesn't exist.\n");
        return;
    }
    if (!ContextFor("IndexBuffer.Set")) return;
    ScopedLock lock(GraphicsLock);
    ClearGLErrors();
    Extensions.glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, SRRecord()->api->name);
    ReportGLErrors("IndexBuffer.Set:\n", true);
    currentIndexBuffer = this;
}

void IndexBuffer::SRReleaseData() {
    ScopedLock lock(GraphicsLock);
    if (!SRRecord()->api) return;
    DeleteBufferObject(SRRecord()->api->name);
    delete2(SRRecord()->api);
    SRRecord()->api = nullptr;
}

uint32_t IndexBuffer::GetIndexCount() const { return SRRecord() ? SRRecord()->indexCount : 0; }
bool IndexBuffer::IsDynamic() const { return SRRecord() && SRRecord()->dynamic; }
bool IndexBuffer::IsWriteOnly() const { return SRRecord() && SRRecord()->writeOnly; }
bool IndexBuffer::IsWritten() const { return SRRecord() && SRRecord()->written; }
uint32_t IndexBuffer::GetGLName() const { return SRRecord() && SRRecord()->api ? SRRecord()->api->name : 0; }

// --- Locks ------------------------------------------------------------------

namespace {

// Maps `name` on `target`; the binding changes, so the caller clears its
// current buffer afterwards.
void* MapBuffer(GLenum target, uint32_t name, bool writeOnly, const char* header) {
    ClearGLErrors();
    Extensions.glBindBufferARB(target, name);
    void* pointer = Extensions.glMapBufferARB(target, Access(writeOnly));
    ReportGLErrors(header, true);
    return pointer;
}

void UnmapBuffer(GLenum target, uint32_t name, const char* damaged) {
    Extensions.glBindBufferARB(target, name);
    if (!Extensions.glUnmapBufferARB(target)) ReportWithStack(damaged);
}

}  // namespace

VertexBufferLock::VertexBufferLock(VertexBuffer& locked) : buffer(locked) {
    if (!buffer.GetFormat() || buffer.GetGLName() == 0) {
        ReportWithStack("Warning: attempt to lock a non-allocated vertex buffer.\n");
        return;
    }
    if (!ContextFor("VertexBufferLock")) return;
    ScopedLock lock(GraphicsLock);
    pointer = MapBuffer(GL_ARRAY_BUFFER_ARB, buffer.GetGLName(), buffer.IsWriteOnly(), "Lock VB:\n");
    currentVertexBuffer = nullptr;
}

VertexBufferLock::~VertexBufferLock() { Unlock(); }

void VertexBufferLock::Unlock() {
    // Nothing mapped (the lock failed, or Unlock ran already): nothing to unmap.
    if (!pointer) return;
    pointer = nullptr;
    if (buffer.GetGLName() == 0 || !IsInited()) return;
    ScopedLock lock(GraphicsLock);
    UnmapBuffer(GL_ARRAY_BUFFER_ARB, buffer.GetGLName(),
                "Warning... contents of vertex buffer damaged during mapping.\n");
    currentVertexBuffer = nullptr;
}

IndexBufferLock::IndexBufferLock(IndexBuffer& locked) : buffer(locked) {
    if (buffer.GetGLName() == 0) {
        ReportWithStack("Warning: attempt to lock a non-allocated index buffer.\n");
        return;
    }
    if (!ContextFor("IndexBufferLock")) return;
    ScopedLock lock(GraphicsLock);
    pointer = MapBuffer(GL_ELEMENT_ARRAY_BUFFER_ARB, buffer.GetGLName(), buffer.IsWriteOnly(), "Lock IB:\n");
    currentIndexBuffer = nullptr;
}

IndexBufferLock::~IndexBufferLock() { Unlock(); }

bool IndexBufferLock::GetPointer(uint16_t*& out) {
    out = static_cast<uint16_t*>(pointer);
    if (!pointer) return false;
    buffer.SRRecord()->written = true;
    return true;
}

void IndexBufferLock::Unlock() {
    // Nothing mapped (the lock failed, or Unlock ran already): nothing to unmap.
    if (!pointer) return;
    pointer = nullptr;
    if (buffer.GetGLName() == 0 || !IsInited()) return;
    ScopedLock lock(GraphicsLock);
    UnmapBuffer(GL_ELEMENT_ARRAY_BUFFER_ARB, buffer.GetGLName(),
                "Warning... contents of index buffer damaged during mapping.\n");
    currentIndexBuffer = nullptr;
}

}  // namespace G
