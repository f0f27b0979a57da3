// Shared by the model fuzz targets: a graphics foundation when a display is
// there (buffers are then really made and read back), and the check that
// every loaded chunk only indexes its own vertices.
#pragma once
#include "GBMesh.h"
#include "GLDevice.h"
#include "platform/PlatformWindow.h"

namespace MeshFuzz {

inline void StartGraphicsOnce() {
    static bool tried = false;
    if (tried) return;
    tried = true;
    if (!Platform::CreateMainWindow("mesh fuzz", 64, 64)) return;
    G::Setup setup;
    G::Init(Platform::MainWindow(), &setup);
}

inline void CheckIndices(G::Bone* bone) {
    for (G::Bone* child : bone->Children()) CheckIndices(child);
    G::MeshData* data = bone->mesh.Data();
    if (!data) return;
    for (G::MeshChunk& chunk : data->chunks) {
        if (!chunk.indices.GetGLName() || chunk.indices.IsWriteOnly()) continue;
        G::IndexBufferLock lock(chunk.indices);
        uint16_t* indices = nullptr;
        if (!lock.GetPointer(indices)) continue;
        for (uint32_t i = 0; i < chunk.indices.GetIndexCount(); ++i)
            if (indices[i] >= chunk.vertices.GetVertexCount()) __builtin_trap();
    }
    for (uint16_t index : data->positionIndices)
        if (index >= data->positions.size()) __builtin_trap();
}

}  // namespace MeshFuzz
