// Arbitrary bytes to the image decoder of the platform layer, as the image
// loader hands a file's bytes to it: the answer must be false or a whole
// image, and nothing may be read or written outside the buffers.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/PlatformImage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint32_t> texels;
    auto allocate = [&texels](uint32_t width, uint32_t height) {
        texels.assign(size_t(width) * height, 0);
        return texels.data();
    };
    uint32_t width = 0, height = 0;
    std::string reason;
    const bool decoded = Platform::DecodeImage(data, size, allocate, width, height, reason);
    // A decoded image fills exactly the room it asked for; a refused one says why.
    if (decoded && (width == 0 || height == 0 || texels.size() != size_t(width) * height)) __builtin_trap();
    if (!decoded && (reason.empty() || width != 0 || height != 0)) __builtin_trap();
    return 0;
}
