// Textures: shared handles to one OpenGL texture (2D, or 3D from a "t3d"
// layer list) that keep a CPU copy of their texels, 0xAARRGGBB. Filled
// through a TextureLock, or loaded from an image file; files are loaded once
// and shared by name, letter case ignored.
#pragma once
#include <cstdint>
#include <string>

#include "SharedResource_TCPP.h"

namespace G {

struct STex_API_Data {
    uint32_t name = 0;
    uint32_t* texels = nullptr;  // width x height x depth
    bool is3D = false;
};

struct TextureData : SharedRecord {
    uint32_t kind = 0;
    std::string name;  // the file it was loaded from; empty for created textures
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t width2 = 0;
    uint32_t height2 = 0;
    uint32_t depth = 0;
    bool mipmap = false;
    STex_API_Data* api = nullptr;
};

class Texture : public SharedResource<TextureData> {
public:
    Texture();
    Texture(const Texture& other);
    Texture& operator=(const Texture& other);
    ~Texture() override;

    // An empty texture; every side a power of two. `kind` is not used.
    bool Create(uint32_t width, uint32_t height, uint32_t kind, uint32_t depth, bool mipmap);
    // Loads an image file, or a "t3d" layer list as a 3D texture, or shares
    // the texture already loaded from that name. Kind 0 is refused.
    bool Load(const std::string& fileName, bool colorKey, uint32_t kind, bool mipmap, uint32_t unused);
    bool Load(const std::string& fileName, uint32_t kind, bool mipmap, uint32_t unused);
    // Opaque pure black becomes transparent; edges do not wrap.
    bool LoadColorKeyed(const std::string& fileName);

    // Binds to texture unit `unit` (0 based) and enables it.
    void Set(uint32_t unit) const;
    // Each axis repeats when true and mirrors when false (R only for 3D).
    void SetWrap(bool repeatS, bool repeatT, bool repeatR);
    // 0 and 1 nearest, 2 and 3 linear.
    void SetFilter(uint32_t mode);

    uint32_t GetWidth() const;
    uint32_t GetHeight() const;
    uint32_t GetDepth() const;
    std::string GetName() const;
    uint32_t GetGLName() const;  // 0 without GPU data
    uint32_t GetShareCount() const;

protected:
    void SRReleaseData() override;

private:
    bool Load3D(const std::string& fileName);
    void Upload(const uint32_t* texels, bool colorKey);
};

// Texturing off on the active unit, before untextured drawing.
void UnsetTexture();

struct STexLock_API_Data {
    unsigned char update;
};

// Hands out the texture's texel copy; with the update flag, Unlock uploads
// the whole texture. Unlock runs at the latest when the lock goes.
class TextureLock {
public:
    TextureLock(Texture& texture, uint32_t unused, bool update);
    ~TextureLock();
    TextureLock(const TextureLock&) = delete;
    TextureLock& operator=(const TextureLock&) = delete;

    // False, and nothing written, when the lock has no texels.
    bool GetInfo(uint32_t*& pointer, uint32_t& pitch, uint32_t& sliceSize, uint32_t& bits, uint32_t& width,
                 uint32_t& height, uint32_t& depth) const;
    void Unlock();

private:
    uint32_t* pointer = nullptr;
    uint32_t pitch = 0;
    uint32_t sliceSize = 0;
    uint32_t bits = 0;
    Texture& texture;
    STexLock_API_Data* lockData = nullptr;
};

}  // namespace G
