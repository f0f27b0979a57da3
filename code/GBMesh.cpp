#include "GBMesh.h"

#include <meshoptimizer.h>

#include <cstring>
#include <list>

#include "CMemMan.h"
#include "CProfiler.h"
#include "FileUtil.h"
#include "GBMesh_LoadMBM.h"
#include "GLDevice.h"
#include "GLRender.h"
#include "GLShader.h"
#include "LogFile.h"

namespace G {

namespace {

const float IdentityRotation[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};

struct CacheEntry {
    std::string name;
    bool readable;
    float randomID;
    Bone* baseBone;
};

// Emptied explicitly (F10, shut-down): the trees must go while the graphics
// foundation still runs.
std::list<CacheEntry>& ModelCache() {
    static std::list<CacheEntry> cache;
    return cache;
}

CacheEntry* FindCached(const std::string& name, bool readable) {
    for (CacheEntry& entry : ModelCache())
        if (entry.name == name && entry.readable == readable) return &entry;
    return nullptr;
}

void CountBones(Bone* bone, int32_t& total, int32_t& wasted) {
    ++total;
    if (bone->mesh.ChunkCount() == 0) ++wasted;
    for (Bone* child : bone->Children()) CountBones(child, total, wasted);
}

void WriteTotals(Bone* top) {
    MeshCounters& stats = MeshStats();
    MeshStatsLog << " >Total:\n";
    const std::pair<const char*, int32_t> lines[] = {
        {"    -POSITION, original verts: ", stats.positionOriginal},
        {"    -POSITION, optimized verts: ", stats.positionOptimized},
        {"    -GRAPHIC, original verts: ", stats.graphicOriginal},
        {"    -GRAPHIC, optimized verts: ", stats.graphicOptimized},
        {"    -Triangle Count: ", stats.triangles}};
    for (const auto& line : lines)
        if (line.second > 0) MeshStatsLog << line.first << line.second << "\n";
    if (top) CountBones(top, stats.totalBones, stats.wastedBones);
    MeshStatsLog << "    -Total Bones: " << stats.totalBones << "\n"
                 << "    -Wasted Bones: " << stats.wastedBones << "\n\n";
}

bool HasColor(const VertexBuffer& buffer) {
    const VertexFormat* format = buffer.GetFormat();
    if (!format) return false;
    for (const VertComponent& component : *format)
        if (component.use == VertComponentUse::Color) return true;
    return false;
}

void SelectTextureUnit(uint32_t unit) {
    if (Extensions.glActiveTextureARB) Extensions.glActiveTextureARB(GL_TEXTURE0_ARB + unit);
}

void DrawChunk(MeshChunk& chunk, const Texture* slot0) {
    // A chunk whose buffers were never made would draw whatever was current.
    if (!chunk.vertices.GetGLName() || !chunk.indices.GetGLName()) return;
    chunk.vertices.Set();
    chunk.indices.Set();
    SelectTextureUnit(1);
    if (chunk.textures[1].GetGLName())
        chunk.textures[1].Set(1);
    else
        UnsetTexture();
    SelectTextureUnit(0);
    if (slot0 && slot0->GetGLName())
        slot0->Set(0);
    else
        UnsetTexture();
    // Without a colour array the colour left by an earlier draw would tint.
    if (!HasColor(chunk.vertices)) glColor4ub(255, 255, 255, 255);
    RenderIndTris(chunk.indices.GetIndexCount() / 3);
}

void DrawBone(Bone* bone) {
    for (Bone* child : bone->Children()) DrawBone(child);
    MeshData* data = bone->mesh.Data();
    if (!data || data->chunks.empty()) return;
    SetWorldMatrix(bone->GetWorldMatrix());
    UpdateBuiltInConstants();
    for (uint32_t i = 0; i < data->chunks.size(); ++i) {
        const Texture* slot0 = bone->mesh.FindOverride(i);
        DrawChunk(data->chunks[i], slot0 ? slot0 : &data->chunks[i].textures[0]);
    }
}

bool ReplaceInBone(Bone* bone, const std::string& oldName, const Texture& texture) {
    for (Bone* child : bone->Children())
        if (ReplaceInBone(child, oldName, texture)) return true;
    MeshData* data = bone->mesh.Data();
    if (!data) return false;
    bool matched = false;
    for (uint32_t i = 0; i < data->chunks.size(); ++i) {
        const Texture& slot0 = data->chunks[i].textures[0];
        if (slot0.SRRecord() && FileNameOf(slot0.GetName()) == oldName) {
            bone->mesh.SetOverride(i, texture);
            matched = true;
        }
    }
    return matched;
}

bool Readable(const MeshChunk& chunk) { return !chunk.vertices.IsWriteOnly() && !chunk.indices.IsWriteOnly(); }

bool HasBuffers(const MeshChunk& chunk) { return chunk.vertices.GetGLName() && chunk.indices.GetGLName(); }

// Copies a chunk's vertices and indices out of their buffers.
bool ReadChunk(MeshChunk& chunk, std::vector<uint8_t>& vertices, std::vector<uint16_t>& indices) {
    VertexBufferLock vertexLock(chunk.vertices);
    IndexBufferLock indexLock(chunk.indices);
    uint16_t* mappedIndices = nullptr;
    if (!vertexLock.GetPointer() || !indexLock.GetPointer(mappedIndices)) return false;
    const uint8_t* mappedVertices = static_cast<const uint8_t*>(vertexLock.GetPointer());
    vertices.assign(mappedVertices,
                    mappedVertices + size_t(chunk.vertices.GetVertexCount()) * chunk.vertices.GetVertexSize());
    indices.assign(mappedIndices, mappedIndices + chunk.indices.GetIndexCount());
    vertexLock.Unlock();
    indexLock.Unlock();
    return true;
}

// New buffers with the given contents, the same format and the given
// write-only flag; the chunk keeps its old ones when they cannot be made.
bool ReplaceBuffers(MeshChunk& chunk, const std::vector<uint8_t>& vertices, uint32_t count,
                    const std::vector<uint16_t>& indices, bool writeOnly) {
    VertexBuffer newVertices;
    IndexBuffer newIndices;
    if (!newVertices.Create(count, *chunk.vertices.GetFormat(), chunk.vertices.GetVertexSize(), false, writeOnly))
        return false;
    {
        VertexBufferLock lock(newVertices);
        if (!lock.GetPointer()) {
            ErrorLog << "bad... couldn't lock newly created vb during mesh optimization.\n";
            return false;
        }
        std::memcpy(lock.GetPointer(), vertices.data(), vertices.size());
    }
    if (!newIndices.Create(uint16_t(indices.size()), false, writeOnly)) return false;
    {
        IndexBufferLock lock(newIndices);
        uint16_t* out = nullptr;
        if (!lock.GetPointer(out)) {
            ErrorLog << "bad... couldn't lock newly created ib during mesh optimization.\n";
            return false;
        }
        std::memcpy(out, indices.data(), indices.size() * 2);
    }
    chunk.vertices = newVertices;
    chunk.indices = newIndices;
    return true;
}

void OptimizeChunk(MeshChunk& chunk) {
    MeshCounters& stats = MeshStats();
    if (!Readable(chunk)) {
        ReportWithStack("Cannot optimize mesh chunk.  Vertex/Index buffer not readable.\n");
        return;
    }
    const uint32_t count = chunk.vertices.GetVertexCount(), size = chunk.vertices.GetVertexSize();
    stats.graphicOriginal += int32_t(count);
    std::vector<uint8_t> vertices, unique;
    std::vector<uint16_t> indices, remapped;
    if (!ReadChunk(chunk, vertices, indices)) {
        ErrorLog << "Lock on VB/IB failed... skipping chunk opt.\n";
        return;
    }
    const uint32_t welded = Weld(vertices.data(), count, size, indices.data(), uint32_t(indices.size()), unique,
                                 remapped);
    if (!ReplaceBuffers(chunk, unique, welded, remapped, chunk.vertices.IsWriteOnly())) return;
    stats.graphicOptimized += int32_t(welded);
    stats.triangles += int32_t(remapped.size() / 3);
}

bool CollectPositions(MeshData& data, std::vector<uint8_t>& positions, std::vector<uint16_t>& indices) {
    for (MeshChunk& chunk : data.chunks) {
        if (!HasBuffers(chunk)) continue;
        const uint16_t base = uint16_t(positions.size() / 12);
        {
            IndexBufferLock lock(chunk.indices);
            uint16_t* mapped = nullptr;
            if (!lock.GetPointer(mapped)) {
                ErrorLog << "RebuildPositionsMesh: lock IB failed??\n";
                return false;
            }
            for (uint32_t i = 0; i < chunk.indices.GetIndexCount(); ++i) indices.push_back(uint16_t(mapped[i] + base));
        }
        VertexBufferLock lock(chunk.vertices);
        if (!lock.GetPointer()) {
            ErrorLog << "RebuildPositionsMesh: lock VB failed??\n";
            return false;
        }
        const uint8_t* mapped = static_cast<const uint8_t*>(lock.GetPointer());
        const uint32_t size = chunk.vertices.GetVertexSize();
        for (uint32_t v = 0; v < chunk.vertices.GetVertexCount(); ++v)
            positions.insert(positions.end(), mapped + size_t(v) * size, mapped + size_t(v) * size + 12);
    }
    return true;
}

}  // namespace

// --- Mesh ------------------------------------------------------------------------

Mesh::Mesh(const Mesh& other) : SharedResource<MeshData>(), overrides(other.overrides) { SRShare(other); }

Mesh& Mesh::operator=(const Mesh& other) {
    SRShare(other);
    overrides = other.overrides;
    return *this;
}

Mesh::~Mesh() { SRFree(); }

void Mesh::Create() {
    SRAlloc();
    overrides.clear();
}

const std::string& Mesh::Name() const {
    static const std::string none;
    return SRRecord() ? SRRecord()->name : none;
}

void Mesh::SetOverride(uint32_t chunk, const Texture& texture) {
    for (auto& entry : overrides)
        if (entry.first == chunk) {
            entry.second = texture;
            return;
        }
    overrides.emplace_back(chunk, texture);
}

const Texture* Mesh::FindOverride(uint32_t chunk) const {
    for (const auto& entry : overrides)
        if (entry.first == chunk) return &entry.second;
    return nullptr;
}

// The chunks' handles go with the record's destructor.
void Mesh::SRReleaseData() {}

// --- Bone ------------------------------------------------------------------------

Bone::Bone() {
    std::memcpy(rotation, IdentityRotation, sizeof rotation);
    std::memcpy(baseRotation, IdentityRotation, sizeof baseRotation);
}

Bone::Bone(const Bone& other)
    : name(other.name), binaryValue(other.binaryValue), mesh(other.mesh), savedAsChild(other.savedAsChild),
      position(other.position) {
    std::memcpy(rotation, other.rotation, sizeof rotation);
    std::memcpy(baseRotation, other.baseRotation, sizeof baseRotation);
    for (auto i = other.children.begin(); i != other.children.end(); ++i) {
        Bone* copy = new2(Bone, Bone(**i));
        if (!copy) continue;
        copy->parent = this;
        children.push_back(copy);
    }
}

Bone::~Bone() {
    std::vector<Bone*> owned;
    owned.swap(children);
    for (Bone* child : owned) {
        child->parent = nullptr;
        delete2(child);
    }
    Unlink();
}

void Bone::MarkDirty() {
    dirty = true;
    for (Bone* child : children) child->MarkDirty();
}

void Bone::SetPosition(float x, float y, float z) {
    MarkDirty();
    position = Vector3(x, y, z);
}

void Bone::SetRotation(const float values[9], bool setBase) {
    MarkDirty();
    std::memcpy(rotation, values, sizeof rotation);
    if (setBase) std::memcpy(baseRotation, values, sizeof baseRotation);
}

void Bone::SetLocal(const Matrix& local) {
    position = Vector3(local[3], local[7], local[11]);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) rotation[3 * r + c] = local.At(r, c);
    MarkDirty();
}

void Bone::SetWorldMatrix(const Matrix& target) {
    if (!parent) {
        SetLocal(target);
        return;
    }
    Matrix inverse, local;
    Inverse(inverse, parent->GetWorldMatrix());
    Multiply(local, inverse, target);
    SetLocal(local);
}

const Matrix& Bone::GetWorldMatrix() {
    if (!dirty) return world;
    dirty = false;
    Matrix local = Matrix::Identity();
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) local.At(r, c) = rotation[3 * r + c];
    local[3] = position.x;
    local[7] = position.y;
    local[11] = position.z;
    if (parent)
        Multiply(world, parent->GetWorldMatrix(), local);
    else
        world = local;
    return world;
}

void Bone::Unlink() {
    if (!parent) return;
    std::vector<Bone*>& siblings = parent->children;
    for (auto i = siblings.begin(); i != siblings.end(); ++i)
        if (*i == this) {
            siblings.erase(i);
            break;
        }
    parent = nullptr;
}

void Bone::AttachTo(Bone* newParent, bool saved, bool keepWorld) {
    // A bone has one parent: it leaves the old one's list first.
    const Matrix placed = GetWorldMatrix();
    Unlink();
    if (keepWorld) {
        Matrix inverse, local;
        Inverse(inverse, newParent->GetWorldMatrix());
        Multiply(local, inverse, placed);
        SetLocal(local);
    }
    newParent->children.push_back(this);
    parent = newParent;
    savedAsChild = saved;
    MarkDirty();
}

void Bone::Detach(bool keepWorld) {
    const Matrix placed = GetWorldMatrix();
    Unlink();
    if (keepWorld) SetLocal(placed);
    savedAsChild = true;
    MarkDirty();
}

Bone* Bone::FindChild(const std::string& wanted) {
    if (name == wanted) return this;
    for (Bone* child : children)
        if (Bone* found = child->FindChild(wanted)) return found;
    return nullptr;
}

// --- Model -----------------------------------------------------------------------

Model::Model(const Model& other) { *this = other; }

Model& Model::operator=(const Model& other) {
    if (&other == this) return *this;
    Release();
    if (other.top) top = new2(Bone, Bone(*other.top));
    randomID = other.randomID;
    readable = other.readable;
    return *this;
}

Model::~Model() { Release(); }

void Model::Release() {
    if (top) delete2(top);
    top = nullptr;
}

bool Model::Load(const std::string& fileName, bool readableMeshes, bool optimize) {
    if (!optimize && !readableMeshes) {
        ErrorLog << "No.  If optimize is false, then readableMeshes must be true.  Read the comment in GBMesh.h ... "
                    "...\n";
        return false;
    }
    Release();
    if (CacheEntry* existing = FindCached(fileName, readableMeshes)) {
        randomID = existing->randomID;
        readable = existing->readable;
        top = new2(Bone, Bone(*existing->baseBone));
        return top != nullptr;
    }
    MeshStatsLog << "Model: " << fileName << "\n";
    MeshStats() = MeshCounters();
    if (ToLower(ExtensionOf(fileName)) != "mbm") {
        ReportWithStack("Cannot load mesh (" + fileName + ").  Unrecognized file extension.\n");
        return false;
    }
    Model base;
    const bool loaded = LoadMeshMBM(fileName, readableMeshes, base, optimize);
    if (loaded) WriteTotals(base.top);
    if (!base.top) {
        ErrorLog << "Failed to load mesh: " << fileName << "\n";
        if (loaded) ErrorLog << "  -No bones found...\n";
        ErrorLog << "  -call stack:\n" << CallStackText() << "\n";
        return false;
    }
    struct {
        Bone* boneTree;
    } newBase{base.top};
    ModelCache().push_back({fileName, readableMeshes, base.randomID, newBase.boneTree});
    base.top = nullptr;
    randomID = base.randomID;
    readable = readableMeshes;
    top = new2(Bone, Bone(*newBase.boneTree));
    return top != nullptr;
}

void Model::Draw() {
    if (top) DrawBone(top);
}

bool Model::ReplaceTexture(const std::string& oldName, const Texture& texture) {
    return top && ReplaceInBone(top, oldName, texture);
}

void EmptyModelCache() {
    for (CacheEntry& entry : ModelCache()) delete2(entry.baseBone);
    ModelCache().clear();
}

size_t ModelCacheSize() { return ModelCache().size(); }

// --- Welding and the position mesh ---------------------------------------------------

uint32_t Weld(const uint8_t* records, uint32_t count, uint32_t recordSize, const uint16_t* indices,
              uint32_t indexCount, std::vector<uint8_t>& unique, std::vector<uint16_t>& remapped) {
    remapped.assign(indices, indices + indexCount);
    unique.clear();
    if (count == 0) return 0;
    // First occurrences in order: the remap of a vertex list without indices.
    std::vector<unsigned int> remap(count);
    const size_t kept = meshopt_generateVertexRemap(remap.data(), nullptr, count, records, count, recordSize);
    unique.resize(kept * recordSize);
    meshopt_remapVertexBuffer(unique.data(), records, count, recordSize, remap.data());
    for (uint16_t& index : remapped)
        if (index < count) index = uint16_t(remap[index]);
    return uint32_t(kept);
}

void Optimize(Mesh& mesh) {
    MeshData* data = mesh.Data();
    if (!data) return;
    for (MeshChunk& chunk : data->chunks)
        if (HasBuffers(chunk)) OptimizeChunk(chunk);
}

void RebuildPositionsMesh(Mesh& mesh) {
    MeshData* data = mesh.Data();
    if (!data) return;
    ProfileStart("Build Position Mesh", __FILE__);
    bool readable = true;
    for (const MeshChunk& chunk : data->chunks)
        if (HasBuffers(chunk) && !Readable(chunk)) readable = false;
    std::vector<uint8_t> positions;
    std::vector<uint16_t> indices;
    if (!readable) {
        ErrorLog << "RebuildPositionsMesh failing... some ib/vb are write-only.\n"
                 << "  -Call stack:\n" << CallStackText() << "\n";
    } else if (CollectPositions(*data, positions, indices)) {
        const uint32_t count = uint32_t(positions.size() / 12);
        MeshStats().positionOriginal += int32_t(count);
        ProfileStart("Optimize Position Mesh", __FILE__);
        std::vector<uint8_t> unique;
        const uint32_t kept = Weld(positions.data(), count, 12, indices.data(), uint32_t(indices.size()), unique,
                                   data->positionIndices);
        data->positions.resize(kept);
        if (kept) std::memcpy(data->positions.data(), unique.data(), unique.size());
        MeshStats().positionOptimized += int32_t(kept);
        ProfileStop("Optimize Position Mesh", __FILE__);
    }
    ProfileStop("Build Position Mesh", __FILE__);
}

void MakeWriteOnly(Mesh& mesh) {
    MeshData* data = mesh.Data();
    if (!data) return;
    for (MeshChunk& chunk : data->chunks) {
        if (!HasBuffers(chunk) || !Readable(chunk)) continue;
        std::vector<uint8_t> vertices;
        std::vector<uint16_t> indices;
        if (ReadChunk(chunk, vertices, indices))
            ReplaceBuffers(chunk, vertices, chunk.vertices.GetVertexCount(), indices, true);
    }
}

MeshCounters& MeshStats() {
    static MeshCounters counters;
    return counters;
}

bool IsContainedName(const std::string& name) {
    if (name.empty() || name[0] == '\\' || name[0] == '/' || name.find(':') != std::string::npos) return false;
    StringList parts;
    SplitString(name, parts, "\\/");
    for (const std::string& part : parts)
        if (part == "..") return false;
    return true;
}

}  // namespace G
