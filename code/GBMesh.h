// 3D models: a tree of bones, each with a place relative to its parent and
// at most one mesh; a mesh is a list of chunks of GPU geometry shared between
// bones by reference counting. A model file is loaded once into a base tree
// kept in the model cache; every user gets its own copy of the bone tree
// sharing the meshes, with its own texture overrides.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "GLTexture.h"
#include "GLVert.h"
#include "Math3D.h"
#include "SharedResource_TCPP.h"

namespace G {

// One draw unit.
struct MeshChunk {
    VertexBuffer vertices;
    IndexBuffer indices;
    Texture textures[2];
};

struct MeshData : SharedRecord {
    std::string name;
    std::vector<MeshChunk> chunks;
    // The position-only copy of all chunks, for whoever needs the shape
    // without the drawing attributes.
    std::vector<Vector3> positions;
    std::vector<uint16_t> positionIndices;
};

class Mesh : public SharedResource<MeshData> {
public:
    Mesh() = default;
    // Shares the mesh data and copies the texture overrides.
    Mesh(const Mesh& other);
    Mesh& operator=(const Mesh& other);
    ~Mesh() override;

    // Fresh, empty mesh data of this handle's own.
    void Create();
    MeshData* Data() const { return SRRecord(); }
    size_t ChunkCount() const { return SRRecord() ? SRRecord()->chunks.size() : 0; }
    const std::string& Name() const;

    // The texture drawn for a chunk's slot 0 instead of the shared one.
    void SetOverride(uint32_t chunk, const Texture& texture);
    const Texture* FindOverride(uint32_t chunk) const;

    // Appends the binary record; false (and a report) when the buffers cannot
    // be read back or the mesh does not fit the format's fields.
    bool BinarySave(std::vector<uint8_t>& out) const;
    // Reads a record into fresh mesh data; the number of bytes consumed, 0
    // when the record is broken or runs past `size`.
    size_t BinaryLoad(const uint8_t* bytes, size_t size, bool readable);

protected:
    void SRReleaseData() override;

private:
    std::vector<std::pair<uint32_t, Texture>> overrides;
};

class Bone {
public:
    Bone();
    // Copies the whole subtree; the meshes are shared.
    Bone(const Bone& other);
    Bone& operator=(const Bone&) = delete;
    // Destroys the subtree.
    ~Bone();

    void SetPosition(float x, float y, float z);
    // Row-major 3 x 3.
    void SetRotation(const float rotation[9], bool setBase);
    // Position and rotation become what places the bone at `world` under its
    // current parent.
    void SetWorldMatrix(const Matrix& world);
    const Matrix& GetWorldMatrix();

    // Appends this bone to the parent's children. With keepWorld the bone
    // stays where it is in the world.
    void AttachTo(Bone* parent, bool saved, bool keepWorld);
    void AddChild(Bone* child) { child->AttachTo(this, true, false); }
    void Detach(bool keepWorld);
    // Depth first through the subtree (this bone included), exact name.
    Bone* FindChild(const std::string& name);

    // Appends the binary record (not the children's records).
    bool BinarySave(std::vector<uint8_t>& out) const;
    // The record's fields into this bone, and the names of the mesh and the
    // children it lists; the number of bytes consumed, 0 when it runs past
    // `size`.
    size_t BinaryLoad(const uint8_t* bytes, size_t size, std::string& meshName,
                      std::vector<std::string>& childNames);

    std::string name;
    uint32_t binaryValue = 0;  // only the binary cache reads and writes it
    Mesh mesh;

    bool IsSavedAsChild() const { return savedAsChild; }
    Bone* Parent() const { return parent; }
    const std::vector<Bone*>& Children() const { return children; }
    const Vector3& Position() const { return position; }
    const float* Rotation() const { return rotation; }
    const float* BaseRotation() const { return baseRotation; }

private:
    void MarkDirty();
    void SetLocal(const Matrix& local);
    void Unlink();

    bool savedAsChild = true;
    Matrix world;
    bool dirty = true;
    Bone* parent = nullptr;
    Vector3 position;
    float rotation[9];
    float baseRotation[9];
    std::vector<Bone*> children;
};

// One user's model: its own bone tree, sharing the cached meshes.
class Model {
public:
    Model() = default;
    Model(const Model& other);
    Model& operator=(const Model& other);
    ~Model();

    // Only ".mbm" files. Welding reads the buffers back, so a model that is
    // not optimized must be asked for with readable meshes: optimize false
    // with readableMeshes false is refused.
    bool Load(const std::string& fileName, bool readableMeshes, bool optimize);
    void Release();
    // Children before their parent.
    void Draw();

    Bone* GetTopBone() const { return top; }
    float GetRandomID() const { return randomID; }
    bool IsReadable() const { return readable; }
    // For the loaders: the model takes the tree.
    void SetTopBone(Bone* bone) { top = bone; }
    void SetRandomID(float value) { randomID = value; }

    // Draws `texture` instead of every slot-0 texture named `oldName`
    // (without folder, exact) of the first bone that has one, children first.
    bool ReplaceTexture(const std::string& oldName, const Texture& texture);

private:
    Bone* top = nullptr;
    float randomID = 0;
    bool readable = false;
};

// Every later load reads its file again.
void EmptyModelCache();
size_t ModelCacheSize();

// Welds records of `recordSize` bytes that are equal byte for byte: the
// first occurrences, in order, go to `unique`; every index of a record moves
// to its first occurrence (indices past the records stay). Linear time.
uint32_t Weld(const uint8_t* records, uint32_t count, uint32_t recordSize, const uint16_t* indices,
              uint32_t indexCount, std::vector<uint8_t>& unique, std::vector<uint16_t>& remapped);
void Optimize(Mesh& mesh);
void RebuildPositionsMesh(Mesh& mesh);
// The chunks' buffers become write-only copies of themselves.
void MakeWriteOnly(Mesh& mesh);

// The load statistics, reset at every model file load.
struct MeshCounters {
    int32_t positionOriginal = 0, positionOptimized = 0;
    int32_t graphicOriginal = 0, graphicOptimized = 0;
    int32_t triangles = 0, totalBones = 0, wastedBones = 0;
};
MeshCounters& MeshStats();

// A file name relative to its folder that stays inside it: not empty, no
// root, no drive colon, no ".." component.
bool IsContainedName(const std::string& name);

}  // namespace G
