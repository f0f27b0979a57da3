// Image decoding: the bytes of an image file (BMP, PNG, JPEG, GIF, TGA) into
// 32-bit texels 0xAARRGGBB, rows top to bottom, no padding.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace Platform {

// Images wider or taller than this are refused before any texel is decoded,
// so a forged header cannot make the decoder ask for gigabytes.
const uint32_t MaxImageSide = 8192;

// Asked once per decode for room for width x height texels; may return null
// to refuse the image.
using TexelAllocator = std::function<uint32_t*(uint32_t width, uint32_t height)>;

// Decodes `size` bytes. True with width, height and the allocator's buffer
// filled; false (width and height 0, `reason` says why) for anything that is
// not a whole image of a supported format.
bool DecodeImage(const unsigned char* bytes, size_t size, const TexelAllocator& allocate,
                 uint32_t& width, uint32_t& height, std::string& reason);

// The decoder's start-up and shut-down around the program's run (a system
// decoder needs them; the one used on this platform keeps no global state, so
// start-up cannot fail and shut-down has nothing to release).
bool StartImageDecoder();
void StopImageDecoder();

}  // namespace Platform
