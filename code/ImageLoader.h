// The image loader: decodes an image file into 32-bit texels 0xAARRGGBB,
// rows top to bottom, for the textures.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace G {

class Image {
public:
    Image() = default;
    ~Image();
    Image(const Image& other);
    Image& operator=(const Image& other);

    // Decodes the file (a backslash path of the game's folder). False, with
    // "Failed to load image: " and the call stack in the error log, for a file
    // that is missing, unreadable, not an image or damaged; the image is then empty.
    bool Load(const std::string& fileName);
    // The decoding half of Load for bytes already read; `fileName` only names
    // them in the report.
    bool Decode(const unsigned char* bytes, size_t size, const std::string& fileName);
    void Free();

    const uint32_t* Texels() const { return texels; }
    uint32_t Width() const { return width; }
    uint32_t Height() const { return height; }
    uint32_t Depth() const { return depth; }

private:
    void CopyFrom(const Image& other);

    uint32_t* texels = nullptr;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t depth = 0;
};

// Start-up and shut-down of the decoder, around the program's main loop.
bool StartImageLoader();
void StopImageLoader();

}  // namespace G
