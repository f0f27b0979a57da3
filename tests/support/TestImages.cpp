#include "TestImages.h"

#include "TestUtil.h"

#include <utility>

namespace TestImages {

namespace {

void Put(std::string& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out += char((value >> (8 * i)) & 0xFF);
}

std::string Bitmap(uint32_t width, uint32_t height, const std::vector<uint32_t>& texels, uint32_t bits) {
    const uint32_t stride = (width * bits + 31) / 32 * 4;
    // The file header, then the 40-byte info header: positive height (rows stored bottom up), one plane,
    // no compression, 72 dpi.
    const std::pair<uint32_t, int> fields[] = {
        {54 + stride * height, 4}, {0, 4},    {54, 4},   {40, 4}, {width, 4}, {height, 4}, {1, 2}, {bits, 2}, {0, 4},
        {stride * height, 4},      {2835, 4}, {2835, 4}, {0, 4},  {0, 4}};
    std::string out = "BM";
    for (auto [value, bytes] : fields) Put(out, value, bytes);
    for (uint32_t row = height; row-- > 0;) {
        std::string line;
        for (uint32_t x = 0; x < width; ++x) Put(line, texels[row * width + x], bits / 8);
        line.resize(stride, '\0');
        out += line;
    }
    return out;
}

}  // namespace

std::string Bitmap32(uint32_t width, uint32_t height, const std::vector<uint32_t>& texels) {
    return Bitmap(width, height, texels, 32);
}

std::string Bitmap24(uint32_t width, uint32_t height, const std::vector<uint32_t>& texels) {
    return Bitmap(width, height, texels, 24);
}

std::vector<uint32_t> Solid(uint32_t width, uint32_t height, uint32_t texel) {
    return std::vector<uint32_t>(size_t(width) * height, texel);
}

std::string WriteSolidBitmap(const std::string& path, uint32_t width, uint32_t height, uint32_t texel) {
    std::string bytes = Bitmap32(width, height, Solid(width, height, texel));
    TestUtil::WriteFile(path, bytes);
    return bytes;
}

}  // namespace TestImages
