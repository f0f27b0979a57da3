#include "GBMesh_BMBM.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "CMemMan.h"
#include "CProfiler.h"
#include "FileUtil.h"
#include "GBMesh.h"
#include "LogFile.h"

namespace G {

namespace {

const uint8_t TypeEnd = 0, TypeMesh = 1, TypeBone = 2;

void PutU8(std::vector<uint8_t>& out, uint32_t v) { out.push_back(uint8_t(v)); }
void PutU16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}
void PutBytes(std::vector<uint8_t>& out, const void* data, size_t size) {
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    out.insert(out.end(), bytes, bytes + size);
}
void PutU32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}
void PutFloats(std::vector<uint8_t>& out, const float* values, size_t count) {
    PutBytes(out, values, count * sizeof(float));
}

// A name that its length byte can hold; a longer one would load as another.
bool PutName(std::vector<uint8_t>& out, const std::string& name) {
    if (name.size() > 255) {
        ErrorLog << "Name too long for the binary mesh format (" << unsigned(name.size()) << " bytes): "
                 << name.substr(0, 64) << "...\n";
        return false;
    }
    PutU8(out, uint32_t(name.size()));
    PutBytes(out, name.data(), name.size());
    return true;
}

bool FitsCount(uint32_t count, uint32_t limit, const char* what, const std::string& owner) {
    if (count <= limit) return true;
    ErrorLog << "Too many " << what << " (" << count << ") in " << owner << " for the binary mesh format.\n";
    return false;
}

// Bounds-checked reads: once a read would pass the end every later one
// fails too.
class Reader {
public:
    Reader(const uint8_t* bytes, size_t size) : bytes(bytes), size(size) {}
    bool Ok() const { return ok; }
    size_t Position() const { return position; }
    const uint8_t* Take(size_t count) {
        if (!ok || count > size - position) {
            ok = false;
            return nullptr;
        }
        const uint8_t* at = bytes + position;
        position += count;
        return at;
    }
    uint32_t U8() {
        const uint8_t* p = Take(1);
        return p ? p[0] : 0;
    }
    uint32_t U16() {
        const uint8_t* p = Take(2);
        return p ? uint32_t(p[0] | p[1] << 8) : 0;
    }
    uint32_t U32() {
        const uint8_t* p = Take(4);
        return p ? uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24 : 0;
    }
    std::string Name() {
        const uint32_t length = U8();
        const uint8_t* p = Take(length);
        return p ? std::string(reinterpret_cast<const char*>(p), length) : std::string();
    }
    void Floats(float* out, size_t count) {
        if (const uint8_t* p = Take(count * sizeof(float))) std::memcpy(out, p, count * sizeof(float));
    }

private:
    const uint8_t* bytes;
    size_t size;
    size_t position = 0;
    bool ok = true;
};

struct ChunkRecord {
    std::string textures[2];
    VertexFormat format;
    uint32_t vertexCount = 0, vertexSize = 0;
    const uint8_t* vertices = nullptr;
    std::vector<uint16_t> indices;
};

bool AllBelow(const std::vector<uint16_t>& indices, uint32_t count) {
    for (uint16_t index : indices)
        if (index >= count) return false;
    return true;
}

std::vector<uint16_t> ReadIndices(Reader& reader, uint32_t count) {
    std::vector<uint16_t> indices;
    if (const uint8_t* p = reader.Take(size_t(count) * 2)) {
        indices.resize(count);
        for (uint32_t i = 0; i < count; ++i) indices[i] = uint16_t(p[2 * i] | p[2 * i + 1] << 8);
    }
    return indices;
}

// A chunk entry whose format, sizes and indices can be drawn safely.
bool ReadChunkRecord(Reader& reader, ChunkRecord& chunk) {
    chunk.textures[0] = reader.Name();
    chunk.textures[1] = reader.Name();
    const uint32_t formatBytes = reader.U8();
    if (formatBytes % 8) return false;
    uint32_t sum = 0;
    for (uint32_t i = 0; i < formatBytes / 8; ++i) {
        const uint32_t type = reader.U32(), use = reader.U32();
        if (type > uint32_t(VertComponentType::UByte4) || use > uint32_t(VertComponentUse::TexCoord)) return false;
        chunk.format.push_back({VertComponentType(type), VertComponentUse(use)});
        sum += GetVertComponentSize(VertComponentType(type));
    }
    chunk.vertexCount = reader.U16();
    chunk.vertexSize = reader.U8();
    chunk.vertices = reader.Take(size_t(chunk.vertexCount) * chunk.vertexSize);
    chunk.indices = ReadIndices(reader, reader.U16());
    if (!reader.Ok()) return false;
    if (chunk.vertexCount && (chunk.vertexSize != sum || chunk.format.empty())) return false;
    return AllBelow(chunk.indices, chunk.vertexCount);
}

bool MakeChunk(const ChunkRecord& record, MeshChunk& chunk, bool readable) {
    if (record.vertexCount) {
        if (!chunk.vertices.Create(record.vertexCount, record.format, record.vertexSize, false, !readable)) {
            ErrorLog << "Failed to make VB in Mesh::BinaryLoad.\n";
            return false;
        }
        VertexBufferLock lock(chunk.vertices);
        if (lock.GetPointer())
            std::memcpy(lock.GetPointer(), record.vertices, size_t(record.vertexCount) * record.vertexSize);
    }
    if (!record.indices.empty()) {
        if (!chunk.indices.Create(uint16_t(record.indices.size()), false, !readable)) {
            ErrorLog << "Failed to make IB in Mesh::BinaryLoad.\n";
            return false;
        }
        IndexBufferLock lock(chunk.indices);
        uint16_t* out = nullptr;
        if (lock.GetPointer(out)) std::memcpy(out, record.indices.data(), record.indices.size() * 2);
    }
    for (int slot = 0; slot < 2; ++slot)
        if (!record.textures[slot].empty() && IsContainedName(record.textures[slot]))
            chunk.textures[slot].Load(record.textures[slot], 1, true, 0);
    return true;
}

bool SaveChunk(std::vector<uint8_t>& out, MeshChunk& chunk) {
    if (!PutName(out, chunk.textures[0].GetName()) || !PutName(out, chunk.textures[1].GetName())) return false;
    const VertexFormat* format = chunk.vertices.GetFormat();
    const bool drawable = chunk.vertices.GetGLName() && chunk.indices.GetGLName() && format;
    if (!drawable) {
        // Nothing to draw: an empty entry keeps the chunk numbers of the overrides.
        PutU8(out, 0);
        PutU16(out, 0);
        PutU8(out, 0);
        PutU16(out, 0);
        return true;
    }
    if (chunk.vertices.IsWriteOnly()) {
        ErrorLog << "Bad: VB is write only... not readable... but attempt to save it.\n";
        return false;
    }
    if (chunk.indices.IsWriteOnly()) {
        ErrorLog << "Bad: IB is write only... not readable... but attempt to save it.\n";
        return false;
    }
    PutU8(out, uint32_t(format->size() * 8));
    for (const VertComponent& component : *format) {
        PutU32(out, uint32_t(component.type));
        PutU32(out, uint32_t(component.use));
    }
    PutU16(out, chunk.vertices.GetVertexCount());
    PutU8(out, chunk.vertices.GetVertexSize());
    {
        VertexBufferLock lock(chunk.vertices);
        if (!lock.GetPointer()) {
            ErrorLog << "Could not lock VB in BinarySave.\n";
            return false;
        }
        PutBytes(out, lock.GetPointer(), size_t(chunk.vertices.GetVertexCount()) * chunk.vertices.GetVertexSize());
    }
    IndexBufferLock lock(chunk.indices);
    uint16_t* indices = nullptr;
    if (!lock.GetPointer(indices)) {
        ErrorLog << "Could not lock IB in BinarySave.\n";
        return false;
    }
    PutU16(out, chunk.indices.GetIndexCount());
    for (uint32_t i = 0; i < chunk.indices.GetIndexCount(); ++i) PutU16(out, indices[i]);
    return true;
}

bool SaveTree(std::vector<uint8_t>& out, const Bone* bone) {
    for (const Bone* child : bone->Children())
        if (!SaveTree(out, child)) return false;
    if (bone->mesh.ChunkCount() > 0) {
        PutU8(out, TypeMesh);
        if (!bone->mesh.BinarySave(out)) return false;
    }
    PutU8(out, TypeBone);
    return bone->BinarySave(out);
}

void FreeBones(std::vector<Bone*>& bones) {
    for (Bone* bone : bones) delete2(bone);
    bones.clear();
}

// A bone record and the children it names, taken from the bones without a
// parent; false when one is missing.
bool LoadBoneRecord(Reader& reader, const uint8_t* bytes, size_t size, Mesh& pending,
                    std::vector<Bone*>& parentless) {
    Bone* bone = new2(Bone, Bone);
    if (!bone) return false;
    std::string meshName;
    std::vector<std::string> childNames;
    const size_t used = bone->BinaryLoad(bytes + reader.Position(), size - reader.Position(), meshName, childNames);
    if (used == 0) {
        ErrorLog << "Problem during loading a binary mesh...\n";
        delete2(bone);
        return false;
    }
    reader.Take(used);
    if (pending.Data() && pending.Name() == meshName) {
        bone->mesh = pending;
        pending.SRFree();
    }
    for (const std::string& child : childNames) {
        auto found = parentless.begin();
        while (found != parentless.end() && (*found)->name != child) ++found;
        if (found == parentless.end()) {
            ErrorLog << "Bone " << bone->name << " asked for child " << child << " but it wasn't found...\n";
            delete2(bone);
            return false;
        }
        bone->AddChild(*found);
        parentless.erase(found);
    }
    parentless.push_back(bone);
    return true;
}

bool LoadMeshRecord(Reader& reader, const uint8_t* bytes, size_t size, bool readable, Mesh& pending) {
    if (pending.Data()) ErrorLog << "Note: a mesh went unused in DoLoadBMBMHierarchy.\n";
    pending.SRFree();
    const size_t used = pending.BinaryLoad(bytes + reader.Position(), size - reader.Position(), readable);
    if (used == 0) {
        ErrorLog << "Problem during loading a binary mesh...\n";
        return false;
    }
    reader.Take(used);
    return true;
}

}  // namespace

// --- Records ---------------------------------------------------------------------

bool Mesh::BinarySave(std::vector<uint8_t>& out) const {
    MeshData* data = SRRecord();
    if (!data || !PutName(out, data->name)) return false;
    if (!FitsCount(uint32_t(data->chunks.size()), 255, "chunks", "Mesh(" + data->name + ")")) return false;
    PutU8(out, uint32_t(data->chunks.size()));
    for (MeshChunk& chunk : data->chunks)
        if (!SaveChunk(out, chunk)) return false;
    if (!FitsCount(uint32_t(data->positions.size()), 65535, "positions", "Mesh(" + data->name + ")") ||
        !FitsCount(uint32_t(data->positionIndices.size()), 65535, "position indices", "Mesh(" + data->name + ")"))
        return false;
    PutU16(out, uint32_t(data->positions.size()));
    for (const Vector3& p : data->positions) PutFloats(out, &p.x, 3);
    PutU16(out, uint32_t(data->positionIndices.size()));
    for (uint16_t index : data->positionIndices) PutU16(out, index);
    return true;
}

size_t Mesh::BinaryLoad(const uint8_t* bytes, size_t size, bool readable) {
    Reader reader(bytes, size);
    const std::string name = reader.Name();
    std::vector<ChunkRecord> records(reader.U8());
    for (ChunkRecord& record : records)
        if (!ReadChunkRecord(reader, record)) return 0;
    std::vector<Vector3> positions(reader.U16());
    for (Vector3& p : positions) reader.Floats(&p.x, 3);
    const std::vector<uint16_t> positionIndices = ReadIndices(reader, reader.U16());
    if (!reader.Ok() || !AllBelow(positionIndices, uint32_t(positions.size()))) return 0;
    Create();
    MeshData* data = SRRecord();
    if (!data) return 0;
    data->name = name;
    data->chunks.resize(records.size());
    for (size_t i = 0; i < records.size(); ++i)
        if (!MakeChunk(records[i], data->chunks[i], readable)) {
            SRFree();
            return 0;
        }
    data->positions = std::move(positions);
    data->positionIndices = positionIndices;
    return reader.Position();
}

bool Bone::BinarySave(std::vector<uint8_t>& out) const {
    PutU32(out, binaryValue);
    if (!PutName(out, name) || !PutName(out, mesh.Name())) return false;
    std::vector<const Bone*> saved;
    for (const Bone* child : children)
        if (child->savedAsChild) saved.push_back(child);
    if (!FitsCount(uint32_t(saved.size()), 255, "child bones", "Bone(" + name + ")")) return false;
    PutU8(out, uint32_t(saved.size()));
    for (const Bone* child : saved)
        if (!PutName(out, child->name)) return false;
    PutFloats(out, &position.x, 3);
    PutFloats(out, rotation, 9);
    return true;
}

size_t Bone::BinaryLoad(const uint8_t* bytes, size_t size, std::string& meshName,
                        std::vector<std::string>& childNames) {
    Reader reader(bytes, size);
    const uint32_t value = reader.U32();
    std::string boneName = reader.Name();
    meshName = reader.Name();
    childNames.assign(reader.U8(), std::string());
    for (std::string& child : childNames) child = reader.Name();
    float place[3], turn[9];
    reader.Floats(place, 3);
    reader.Floats(turn, 9);
    if (!reader.Ok()) return 0;
    binaryValue = value;
    name = std::move(boneName);
    SetPosition(place[0], place[1], place[2]);
    SetRotation(turn, true);
    return reader.Position();
}

// --- Files -----------------------------------------------------------------------

bool SaveMeshBMBM(const std::string& path, const Model& model) {
    std::vector<uint8_t> bytes;
    const float id = model.GetRandomID();
    PutFloats(bytes, &id, 1);
    const bool serialised = !model.GetTopBone() || SaveTree(bytes, model.GetTopBone());
    PutU8(bytes, TypeEnd);
    if (!serialised) {
        ErrorLog << "An error occured trying to save " << path << "\n";
        return false;
    }
    MakeDirectories(path);
    FILE* file = OpenFile(path, "wb");
    if (!file) {
        ErrorLog << "Could not open \"" << path << "\" to write to.\n";
        return false;
    }
    const size_t written = std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
    if (written != bytes.size()) {
        ErrorLog << "fwrite didn't complete in SaveMeshBMBM???\n";
        return false;
    }
    return true;
}

bool DoLoadBMBMHierarchy(const uint8_t* bytes, size_t size, bool readableMeshes, Model& model) {
    Reader reader(bytes, size);
    Mesh pending;
    std::vector<Bone*> parentless;
    while (true) {
        const uint32_t type = reader.U8();
        bool ok = reader.Ok();
        if (!ok) ErrorLog << "Binary mesh data ends without its end byte.\n";
        if (ok && type == TypeEnd) break;
        if (ok && type == TypeMesh) ok = LoadMeshRecord(reader, bytes, size, readableMeshes, pending);
        else if (ok && type == TypeBone) ok = LoadBoneRecord(reader, bytes, size, pending, parentless);
        else if (ok) {
            ErrorLog << "Bad TYPE byte in DoLoadBMBMHierarchy.\n";
            ok = false;
        }
        if (!ok) {
            FreeBones(parentless);
            return false;
        }
    }
    if (parentless.size() > 1) {
        ErrorLog << "Too many parent bones after DoLoadBMBMHierarchy finished.\n";
        FreeBones(parentless);
        return false;
    }
    if (!parentless.empty()) model.SetTopBone(parentless[0]);
    return true;
}

bool LoadMeshBMBM(const std::string& path, bool readableMeshes, Model& model) {
    ProfileStart("Load BMBM file (binary)", __FILE__);
    bool loaded = false;
    FILE* file = OpenFile(path, "rb");
    if (!file) {
        ErrorLog << "Could not open file \"" << path << "\" for LoadMeshBMBM.\n";
    } else {
        std::vector<uint8_t> bytes;
        uint8_t block[2048];
        size_t got;
        while ((got = std::fread(block, 1, sizeof block, file)) > 0) bytes.insert(bytes.end(), block, block + got);
        std::fclose(file);
        loaded = bytes.size() >= 4 && DoLoadBMBMHierarchy(bytes.data() + 4, bytes.size() - 4, readableMeshes, model);
        if (!loaded) ErrorLog << "Failed to load " << path << "\n";
    }
    ProfileStop("Load BMBM file (binary)", __FILE__);
    return loaded;
}

float ReadStoredRandomID(const std::string& path) {
    float id = 0;
    FILE* file = OpenFile(path, "rb");
    const bool read = file && std::fread(&id, 1, sizeof id, file) == sizeof id;
    if (file) std::fclose(file);
    if (read) return id;
    return -float(std::rand() & 0x7FFF) * 3.051851e-5f;
}

}  // namespace G
