#include "GLTexture.h"

#include <algorithm>
#include <list>
#include <vector>

#include "CMemMan.h"
#include "FileUtil.h"
#include "GLDevice.h"
#include "ImageLoader.h"
#include "LogFile.h"
#include "StaticOrder.h"

#ifndef GL_MIRRORED_REPEAT_ARB
#define GL_MIRRORED_REPEAT_ARB 0x8370
#endif

namespace G {

namespace {

const uint32_t OpaqueBlack = 0xFF000000;
const uint32_t CreatedKind = 3;

bool IsPowerOfTwo(uint32_t value) { return BitCount(value) == 1; }

bool SameName(const std::string& a, const std::string& b) { return ToLower(a) == ToLower(b); }

GLenum TargetOf(const STex_API_Data& api) { return api.is3D ? GL_TEXTURE_3D : GL_TEXTURE_2D; }

GLint WrapMode(bool repeat) { return repeat ? GL_REPEAT : GL_MIRRORED_REPEAT_ARB; }

// The driver's limit, checked before the texel copy is sized: a forged size
// must not ask for more memory than any texture can have.
bool WithinDriverLimits(uint32_t width, uint32_t height, uint32_t depth) {
    GLint maxSide = 0;
    glGetIntegerv(depth != 1 ? GL_MAX_3D_TEXTURE_SIZE : GL_MAX_TEXTURE_SIZE, &maxSide);
    const uint32_t limit = uint32_t(std::max(maxSide, 1));
    return width <= limit && height <= limit && depth <= limit;
}

// Every live handle. A record is shared through a handle that holds it, and
// every record with a name is held by at least one live handle.
Immortal<std::list<const Texture*>> liveHandles STATIC_ORDER(STATIC_GRAPHICS);
std::list<const Texture*>& LiveHandles() { return *liveHandles; }

// A handle onto the texture loaded from `fileName` (letter case ignored);
// null when none is loaded. Created textures have no name and are never found.
const Texture* FindLoaded(const std::string& fileName) {
    for (const Texture* handle : LiveHandles()) {
        const TextureData* data = handle->SRRecord();
        if (data && !data->name.empty() && SameName(data->name, fileName)) return handle;
    }
    return nullptr;
}

}  // namespace

Texture::Texture() {
    if (!IsInited()) ReportWithStack("Bad: texture created, but graphics is not inited.\n");
    LiveHandles().push_back(this);
}

Texture::Texture(const Texture& other) : SharedResource<TextureData>() {
    if (!IsInited()) ReportWithStack("Bad: texture created, but graphics is not inited.\n");
    LiveHandles().push_back(this);
    SRShare(other);
}

Texture& Texture::operator=(const Texture& other) {
    SRShare(other);
    return *this;
}

Texture::~Texture() {
    if (!IsInited()) ReportWithStack("Bad: texture being destructed, but graphics is not inited.\n");
    LiveHandles().remove(this);
    SRFree();
}

bool Texture::Create(uint32_t width, uint32_t height, uint32_t, uint32_t depth, bool mipmap) {
    SRFree();
    if (!IsPowerOfTwo(width) || !IsPowerOfTwo(height) || !IsPowerOfTwo(depth)) {
        ReportWithStack("Cannot create texture:\n  -dimensions must be powers of 2\n");
        return false;
    }
    if (depth != 1 && !Extensions.textures3DAvailable) return false;
    if (!IsInited()) {
        ReportWithStack("Error: Texture.Create, but graphics is not inited.\n");
        return false;
    }
    ScopedLock lock(GraphicsLock);
    if (!WithinDriverLimits(width, height, depth)) {
        ReportWithStack("Cannot create texture:\n  -larger than the driver allows\n");
        return false;
    }
    uint32_t* texels = new2_array(unsigned int, size_t(width) * height * depth);
    if (!texels) {
        ReportWithStack("Cannot create texture:\n  -no memory for its texels\n");
        return false;
    }
    ClearGLErrors();
    GLuint name = 0;
    glGenTextures(1, &name);
    if (name == 0) {
        ErrorLog << "glGenTextures failed... so can't make texture.\n";
        delete2_array(texels);
        return false;
    }
    const GLenum target = depth != 1 ? GL_TEXTURE_3D : GL_TEXTURE_2D;
    glBindTexture(target, name);
    glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glTexParameteri(target, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(target, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(target, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(target, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    SRAlloc();
    TextureData& data = *SRRecord();
    data.width = data.width2 = width;
    data.height = data.height2 = height;
    data.depth = depth;
    data.kind = CreatedKind;
    data.mipmap = mipmap;
    data.api = new2(STex_API_Data, STex_API_Data{name, texels, depth != 1});
    SetWrap(true, true, true);
    return true;
}

bool Texture::Load(const std::string& fileName, uint32_t kind, bool mipmap, uint32_t unused) {
    return Load(fileName, false, kind, mipmap, unused);
}

bool Texture::LoadColorKeyed(const std::string& fileName) {
    if (!Load(fileName, true, 1, false, 0)) return false;
    SetWrap(false, false, true);
    return true;
}

bool Texture::Load(const std::string& fileName, bool colorKey, uint32_t kind, bool mipmap, uint32_t) {
    if (SRRecord()) {
        if (SameName(SRRecord()->name, fileName)) return true;
        SRFree();
    }
    if (kind == 0) {
        ReportWithStack("Error: attempt to load texture of type FREE\n");
        return false;
    }
    if (const Texture* loaded = FindLoaded(fileName)) {
        SRShare(*loaded);
        return true;
    }
    if (ToLower(ExtensionOf(fileName)) == "t3d") {
        if (colorKey) {
            ErrorLog << "Color key not supported on 3d textures.\n";
            return false;
        }
        // A failed load leaves the handle empty, even when the texture was made.
        if (!Load3D(fileName)) {
            SRFree();
            return false;
        }
        SRRecord()->name = fileName;
        return true;
    }
    Image image;
    if (!image.Load(fileName)) return false;
    if (!IsPowerOfTwo(image.Width()) || !IsPowerOfTwo(image.Height())) {
        ReportWithStack("Unable to load image \"" + fileName + "\"\n  -dimensions must be powers of 2\n");
        return false;
    }
    ScopedLock lock(GraphicsLock);
    if (!Create(image.Width(), image.Height(), CreatedKind, 1, mipmap)) return false;
    ClearGLErrors();
    Upload(image.Texels(), colorKey);
    if (ReportGLErrors("Error loading image to texture:\n", true)) {
        SRFree();
        return false;
    }
    SRRecord()->name = fileName;
    return true;
}

// Copies a whole image into the texel copy and uploads it; with the colour
// key, opaque pure black (and nothing else) becomes fully transparent.
void Texture::Upload(const uint32_t* texels, bool colorKey) {
    TextureLock lock(*this, 0, true);
    uint32_t *to, pitch, slice, bits, width, height, depth;
    if (!lock.GetInfo(to, pitch, slice, bits, width, height, depth)) return;
    const size_t count = size_t(width) * height;
    if (colorKey)
        std::transform(texels, texels + count, to, [](uint32_t t) { return t == OpaqueBlack ? 0u : t; });
    else
        std::copy(texels, texels + count, to);
    lock.Unlock();
}

bool Texture::Load3D(const std::string& fileName) {
    StringList entries;
    if (!ReadStringList(entries, fileName) || entries.empty()) {
        ErrorLog << "There was a problem loading 3D texture file: " << fileName << "\n";
        if (entries.empty()) ErrorLog << "  -no textures listed?\n";
        return false;
    }
    const std::string folder = DirectoryOf(fileName);
    std::vector<Image> layers(entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        if (!layers[i].Load(folder + entries[i])) {
            ErrorLog << "A layer of 3D texture \"" << fileName << "\" failed to load... 3d texture load failed.\n";
            return false;
        }
        if (layers[i].Width() != layers[0].Width() || layers[i].Height() != layers[0].Height()) {
            ErrorLog << "Error loading 3d texture(" << fileName
                     << ")... dimensions of all files must be the same.\n  - " << folder + entries[i]
                     << " doesn't match the first layer in the list.\n";
            return false;
        }
    }
    if (!Create(layers[0].Width(), layers[0].Height(), CreatedKind, uint32_t(layers.size()), false)) return false;
    TextureLock lock(*this, 0, true);
    uint32_t *to, pitch, slice, bits, width, height, depth;
    if (!lock.GetInfo(to, pitch, slice, bits, width, height, depth)) {
        ReportWithStack("Unable to lock 3d texture to load it... not good to have this happen obviously.\n");
        return false;
    }
    const size_t layerTexels = size_t(width) * height;
    for (size_t i = 0; i < layers.size(); ++i)
        std::copy(layers[i].Texels(), layers[i].Texels() + layerTexels, to + i * layerTexels);
    lock.Unlock();
    return true;
}

void Texture::Set(uint32_t unit) const {
    if (!SRRecord()) {
        ReportWithStack("Attempt to Set a texture that dosen't exist.\n");
        return;
    }
    if (!SRRecord()->api || SRRecord()->api->name == 0) {
        ReportWithStack("Attempt to Set a texture that... isn't set up correctly somehow...\n");
        return;
    }
    if (Extensions.glActiveTextureARB) Extensions.glActiveTextureARB(GL_TEXTURE0_ARB + unit);
    const GLenum target = TargetOf(*SRRecord()->api);
    glBindTexture(target, SRRecord()->api->name);
    glDisable(target == GL_TEXTURE_3D ? GL_TEXTURE_2D : GL_TEXTURE_3D);
    glEnable(target);
}

void Texture::SetWrap(bool repeatS, bool repeatT, bool repeatR) {
    if (!SRRecord() || !SRRecord()->api || SRRecord()->api->name == 0) {
        ReportWithStack("SetWrapFilter cannot execute: texture not created?\n");
        return;
    }
    ScopedLock lock(GraphicsLock);
    const GLenum target = TargetOf(*SRRecord()->api);
    glBindTexture(target, SRRecord()->api->name);
    glTexParameteri(target, GL_TEXTURE_WRAP_S, WrapMode(repeatS));
    glTexParameteri(target, GL_TEXTURE_WRAP_T, WrapMode(repeatT));
    if (SRRecord()->api->is3D) glTexParameteri(target, GL_TEXTURE_WRAP_R, WrapMode(repeatR));
}

void Texture::SetFilter(uint32_t mode) {
    if (!SRRecord() || !SRRecord()->api || SRRecord()->api->name == 0) {
        ReportWithStack("SetWrapFilter cannot execute: texture not created?\n");
        return;
    }
    ScopedLock lock(GraphicsLock);
    const GLenum target = TargetOf(*SRRecord()->api);
    const bool linear = mode >= 2;
    glBindTexture(target, SRRecord()->api->name);
    if (SRRecord()->mipmap) {
        glTexParameteri(target, GL_TEXTURE_MIN_FILTER, linear ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR_MIPMAP_NEAREST);
        return;
    }
    glTexParameteri(target, GL_TEXTURE_MIN_FILTER, linear ? GL_LINEAR : GL_NEAREST);
    glTexParameteri(target, GL_TEXTURE_MAG_FILTER, linear ? GL_LINEAR : GL_NEAREST);
}

void Texture::SRReleaseData() {
    ScopedLock lock(GraphicsLock);
    STex_API_Data* api = SRRecord()->api;
    if (!api) return;
    // Without a context the texture went with it; only the copy is left to free.
    if (api->name != 0 && IsInited()) glDeleteTextures(1, &api->name);
    api->name = 0;
    if (api->texels) delete2_array(api->texels);
    delete2(api);
    SRRecord()->api = nullptr;
}

uint32_t Texture::GetWidth() const { return SRRecord() ? SRRecord()->width : 0; }
uint32_t Texture::GetHeight() const { return SRRecord() ? SRRecord()->height : 0; }
uint32_t Texture::GetDepth() const { return SRRecord() ? SRRecord()->depth : 0; }
std::string Texture::GetName() const { return SRRecord() ? SRRecord()->name : std::string(); }
uint32_t Texture::GetGLName() const { return SRRecord() && SRRecord()->api ? SRRecord()->api->name : 0; }
uint32_t Texture::GetShareCount() const { return SRRecord() ? SRRecord()->refCount : 0; }

void UnsetTexture() {
    if (Extensions.glBindBufferARB) Extensions.glBindBufferARB(GL_PIXEL_UNPACK_BUFFER_ARB, 0);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_TEXTURE_3D);
}

// --- TextureLock --------------------------------------------------------------

TextureLock::TextureLock(Texture& locked, uint32_t, bool update) : texture(locked) {
    lockData = new2(STexLock_API_Data, STexLock_API_Data{0});
    TextureData* data = texture.SRRecord();
    if (!data || !data->api) {
        ReportWithStack("Warning: attempt to lock a non-allocated texture.\n");
        return;
    }
    ScopedLock lock(GraphicsLock);
    if (lockData) lockData->update = update ? 1 : 0;
    pointer = data->api->texels;
    bits = 32;
    pitch = data->width * 4;
    sliceSize = data->height * pitch;
}

TextureLock::~TextureLock() { Unlock(); }

bool TextureLock::GetInfo(uint32_t*& outPointer, uint32_t& outPitch, uint32_t& outSlice, uint32_t& outBits,
                          uint32_t& width, uint32_t& height, uint32_t& depth) const {
    if (!pointer) return false;
    outPointer = pointer;
    outPitch = pitch;
    outSlice = sliceSize;
    outBits = bits;
    width = texture.GetWidth();
    height = texture.GetHeight();
    depth = texture.GetDepth();
    return true;
}

void TextureLock::Unlock() {
    if (!lockData) return;
    ScopedLock lock(GraphicsLock);
    const TextureData* data = texture.SRRecord();
    if (pointer && lockData->update && data && data->api && IsInited()) {
        ClearGLErrors();
        glBindTexture(TargetOf(*data->api), data->api->name);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        if (data->api->is3D)
            Extensions.glTexImage3DEXT(GL_TEXTURE_3D, 0, 4, GLsizei(data->width), GLsizei(data->height),
                                       GLsizei(data->depth), 0, GL_BGRA, GL_UNSIGNED_BYTE, pointer);
        else
            glTexImage2D(GL_TEXTURE_2D, 0, 4, GLsizei(data->width), GLsizei(data->height), 0, GL_BGRA,
                         GL_UNSIGNED_BYTE, pointer);
        ReportGLErrors("Texture unlock, update:\n", true);
    }
    pointer = nullptr;
    delete2(lockData);
    lockData = nullptr;
}

}  // namespace G
