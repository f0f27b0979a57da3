// Shape files: every shape read has the rows and widths it claims.
#include "LogFile.h"
#include "QuilGfxLoader.h"

#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (FILE* f = std::fopen("fuzz_input.fsh", "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    ErrorLog.Truncate();
    ShapeList shapes;
    LoadShapeFile(shapes, "fuzz_input.fsh");
    for (const Shape& shape : shapes)
        for (const auto& row : shape.rows)
            if (row.size() != shape.rows[0].size()) __builtin_trap();
    return 0;
}
