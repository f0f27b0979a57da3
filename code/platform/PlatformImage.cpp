#include "platform/PlatformImage.h"

#include <climits>

// Only the formats the program's data can be in: a smaller decoder is a
// smaller surface for hostile files.
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_BMP
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_ONLY_GIF
#define STBI_ONLY_TGA
#define STBI_NO_STDIO
#define STBI_MAX_DIMENSIONS 8192
#define STBI_FAILURE_USERMSG
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#pragma GCC diagnostic ignored "-Wunused-but-set-variable"
#endif
#include <stb_image.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

static_assert(STBI_MAX_DIMENSIONS == Platform::MaxImageSide, "one limit for both");

namespace Platform {

namespace {

// stb gives bytes R, G, B, A; a texel 0xAARRGGBB is the same four bytes read
// as one little-endian word in the order B, G, R, A.
void ToTexels(const unsigned char* rgba, uint32_t count, uint32_t* texels) {
    for (uint32_t i = 0; i < count; ++i, rgba += 4)
        texels[i] = uint32_t(rgba[3]) << 24 | uint32_t(rgba[0]) << 16 | uint32_t(rgba[1]) << 8 | rgba[2];
}

uint32_t ReadLE(const unsigned char* p, int bytes) {
    uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) value = value << 8 | p[i];
    return value;
}

// The decoder reads past the end of a bitmap as zero bytes and would hand
// back a half-black picture; an uncompressed bitmap whose pixel rows do not
// all fit in the file is refused instead.
bool IsTruncatedBitmap(const unsigned char* bytes, size_t size) {
    if (size < 30 || bytes[0] != 'B' || bytes[1] != 'M') return false;
    const uint64_t pixelOffset = ReadLE(bytes + 10, 4);
    const uint32_t headerSize = ReadLE(bytes + 14, 4);
    if (headerSize < 40 || size < 34) return false;  // old OS/2 headers: left to the decoder
    const int64_t width = int32_t(ReadLE(bytes + 18, 4));
    const int64_t height = int32_t(ReadLE(bytes + 22, 4));
    const uint64_t bitsPerPixel = ReadLE(bytes + 28, 2);
    const uint32_t compression = ReadLE(bytes + 30, 4);
    if (compression != 0 && compression != 3) return false;  // run-length data has no fixed size
    if (width <= 0 || height == 0 || bitsPerPixel == 0) return false;  // the decoder refuses these
    const uint64_t stride = (uint64_t(width) * bitsPerPixel + 31) / 32 * 4;
    const uint64_t rows = uint64_t(height < 0 ? -height : height);
    return pixelOffset + stride * rows > size;
}

bool Refuse(std::string& reason, const char* why, uint32_t& width, uint32_t& height) {
    reason = why;
    width = height = 0;
    return false;
}

}  // namespace

bool DecodeImage(const unsigned char* bytes, size_t size, const TexelAllocator& allocate,
                 uint32_t& width, uint32_t& height, std::string& reason) {
    width = height = 0;
    if (!bytes || size == 0) return Refuse(reason, "no data", width, height);
    if (size > size_t(INT_MAX)) return Refuse(reason, "file too large", width, height);
    if (IsTruncatedBitmap(bytes, size)) return Refuse(reason, "truncated bitmap", width, height);
    int w = 0, h = 0, channels = 0;
    const int length = static_cast<int>(size);
    if (!stbi_info_from_memory(bytes, length, &w, &h, &channels))
        return Refuse(reason, stbi_failure_reason(), width, height);
    if (w <= 0 || h <= 0 || uint32_t(w) > MaxImageSide || uint32_t(h) > MaxImageSide)
        return Refuse(reason, "image too large", width, height);
    unsigned char* rgba = stbi_load_from_memory(bytes, length, &w, &h, &channels, 4);
    if (!rgba) return Refuse(reason, stbi_failure_reason(), width, height);
    uint32_t* texels = allocate(uint32_t(w), uint32_t(h));
    if (texels) ToTexels(rgba, uint32_t(w) * uint32_t(h), texels);
    stbi_image_free(rgba);
    if (!texels) return Refuse(reason, "no memory for the texels", width, height);
    width = uint32_t(w);
    height = uint32_t(h);
    reason.clear();
    return true;
}

bool StartImageDecoder() { return true; }

void StopImageDecoder() {}

}  // namespace Platform
