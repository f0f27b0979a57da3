// Text models: any bytes load or are refused with a report; a model that
// loads never indexes past its vertices.
#include <cstdio>

#include "FileUtil.h"
#include "GBMesh_LoadMBM.h"
#include "LogFile.h"
#include "MeshFuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MeshFuzz::StartGraphicsOnce();
    if (FILE* f = std::fopen("fuzz_input.mbm", "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    // A cache left by an earlier input would make runs depend on each other.
    DeleteFile("gen\\fuzz_input.bmbm");
    ErrorLog.Truncate();
    G::Model model;
    if (G::LoadMeshMBM("fuzz_input.mbm", true, model, true) && model.GetTopBone())
        MeshFuzz::CheckIndices(model.GetTopBone());
    return 0;
}
