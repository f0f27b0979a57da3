// Binary model caches: any bytes after the RandomID load or fail, never
// reading outside them; a model that loads never indexes past its vertices.
#include "GBMesh_BMBM.h"
#include "LogFile.h"
#include "MeshFuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MeshFuzz::StartGraphicsOnce();
    ErrorLog.Truncate();
    G::Model model;
    if (G::DoLoadBMBMHierarchy(data, size, true, model) && model.GetTopBone())
        MeshFuzz::CheckIndices(model.GetTopBone());
    return 0;
}
