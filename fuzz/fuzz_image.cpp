// Arbitrary bytes to the image loader: it must answer false or a whole image,
// never read or write outside its buffers.
#include <cstddef>
#include <cstdint>

#include "ImageLoader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    G::Image image;
    if (image.Decode(data, size, "fuzz.bmp")) {
        // Touch every texel so that a short buffer shows up under the sanitizer.
        uint32_t sum = 0;
        const size_t count = size_t(image.Width()) * image.Height();
        for (size_t i = 0; i < count; ++i) sum ^= image.Texels()[i];
        if (count == 0 || sum == 0xDEADBEEF) image.Free();
    }
    return 0;
}
