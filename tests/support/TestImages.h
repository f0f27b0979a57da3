// Image files made by the tests themselves, for the image loader and textures.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace TestImages {

// Texels are 0xAARRGGBB, rows top to bottom.
// A 32-bit uncompressed bitmap (alpha kept as given).
std::string Bitmap32(uint32_t width, uint32_t height, const std::vector<uint32_t>& texels);
// A 24-bit bitmap (alpha dropped; the decoder makes it opaque).
std::string Bitmap24(uint32_t width, uint32_t height, const std::vector<uint32_t>& texels);
// Width x height texels of one colour.
std::vector<uint32_t> Solid(uint32_t width, uint32_t height, uint32_t texel);
// Writes a 32-bit bitmap of one colour and returns its bytes.
std::string WriteSolidBitmap(const std::string& path, uint32_t width, uint32_t height, uint32_t texel);

}  // namespace TestImages
