#include "ImageLoader.h"

#include <algorithm>
#include <vector>

#include "CMemMan.h"
#include "FileUtil.h"
#include "LogFile.h"
#include "platform/PlatformImage.h"

namespace G {

namespace {

// No image the decoder accepts is larger than its biggest raw bitmap; a longer
// file is not read into memory at all.
const size_t MaxImageFileBytes = size_t(Platform::MaxImageSide) * Platform::MaxImageSide * 4 + 4096;

}  // namespace

Image::~Image() { Free(); }

Image::Image(const Image& other) { CopyFrom(other); }

Image& Image::operator=(const Image& other) {
    if (this != &other) {
        Free();
        CopyFrom(other);
    }
    return *this;
}

void Image::CopyFrom(const Image& other) {
    if (!other.texels) return;
    const size_t count = size_t(other.width) * other.height;
    texels = new2_array(unsigned int, count);
    if (!texels) return;
    std::copy(other.texels, other.texels + count, texels);
    width = other.width;
    height = other.height;
    depth = other.depth;
}

void Image::Free() {
    if (texels) delete2_array(texels);
    texels = nullptr;
    width = height = depth = 0;
}

bool Image::Load(const std::string& fileName) {
    Free();
    std::string bytes;
    ReadWholeFile(fileName, true, bytes, MaxImageFileBytes);
    return Decode(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), fileName);
}

bool Image::Decode(const unsigned char* bytes, size_t size, const std::string& fileName) {
    Free();
    uint32_t* made = nullptr;
    auto allocate = [&made](uint32_t w, uint32_t h) {
        made = new2_array(unsigned int, size_t(w) * h);
        return made;
    };
    uint32_t w = 0, h = 0;
    std::string reason;
    if (!Platform::DecodeImage(bytes, size, allocate, w, h, reason)) {
        if (made) delete2_array(made);
        ReportWithStack("Failed to load image: " + fileName + "\n");
        return false;
    }
    texels = made;
    width = w;
    height = h;
    return true;
}

bool StartImageLoader() { return Platform::StartImageDecoder(); }

void StopImageLoader() { Platform::StopImageDecoder(); }

}  // namespace G
