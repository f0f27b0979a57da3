// The image loader, then textures: sharing by name, 3D layer lists, sizes,
// wrap modes, locks and uploads, and the reports for bad files.
#include <gtest/gtest.h>

#include "GLDevice.h"
#include "GLRender.h"
#include "GLTestContext.h"
#include "GLTexture.h"
#include "ImageLoader.h"
#include "TestImages.h"
#include "TestUtil.h"

namespace {

std::string ErrorText() { return TestUtil::ReadFile("_error.txt"); }

const std::vector<uint32_t> Quad = {0xFF102030, 0x80FF0000,   // top row
                                    0x0000FF00, 0xFF0000FF};  // bottom row

GLint TexParameter(GLenum target, GLenum what) {
    GLint value = 0;
    glGetTexParameteriv(target, what, &value);
    return value;
}

using Textures = GLTest::Suite;

}  // namespace

// Texel byte order, alpha (24-bit files are opaque) and row order.
TEST(ImageLoader, EveryFormatGivesArgbTexelsTopRowFirst) {
    TestUtil::WriteFile("quad32.bmp", TestImages::Bitmap32(2, 2, Quad));
    TestUtil::WriteFile("quad24.bmp", TestImages::Bitmap24(2, 2, Quad));
    const std::pair<std::string, std::vector<uint32_t>> cases[] = {
        {"quad32.bmp", Quad},
        {"quad24.bmp", {Quad[0] | 0xFF000000, Quad[1] | 0xFF000000, Quad[2] | 0xFF000000, Quad[3]}},
        {TestUtil::SourceDir() + "/tests/data/gfx/rgba2x2.png", {0xFFFF0000, 0x8000FF00, 0x100000FF, 0xFFFFFFFF}}};
    for (const auto& [file, texels] : cases) {
        G::Image image;
        ASSERT_TRUE(image.Load(file)) << file;
        EXPECT_EQ(std::vector<uint32_t>({image.Width(), image.Height(), image.Depth()}),
                  std::vector<uint32_t>({2, 2, 0}));
        EXPECT_EQ(std::vector<uint32_t>(image.Texels(), image.Texels() + 4), texels) << file;
    }
}

TEST(ImageLoader, CopyHasItsOwnTexels) {
    TestUtil::WriteFile("copy.bmp", TestImages::Bitmap32(2, 2, Quad));
    G::Image image;
    ASSERT_TRUE(image.Load("copy.bmp"));
    G::Image copy(image), assigned;
    image.Free();
    assigned = copy;
    ASSERT_NE(assigned.Texels(), copy.Texels());
    EXPECT_EQ(copy.Texels()[3], Quad[3]);
    EXPECT_EQ(assigned.Texels()[0], Quad[0]);
}

TEST(ImageLoader, BadFilesReportAndLeaveTheImageEmpty) {
    TestUtil::WriteFile("quad32.bmp", TestImages::Bitmap32(2, 2, Quad));
    const std::string whole = TestImages::Bitmap32(4, 4, TestImages::Solid(4, 4, 0xFF336699));
    const std::string png = TestUtil::ReadFile(TestUtil::SourceDir() + "/tests/data/gfx/rgba2x2.png");
    ASSERT_FALSE(png.empty());
    struct Case {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"missing.bmp", ""},
        {"empty.bmp", ""},
        {"text.bmp", "this is not an image at all"},
        {"cut.bmp", whole.substr(0, whole.size() - 7)},
        {"cutheader.bmp", whole.substr(0, 20)},
        {"cut.png", png.substr(0, png.size() - 30)},
        // A GIF whose only image descriptor is damaged: the decoder gives up without a reason.
        {"noframe.gif", std::string("GIF89a\1\0\1\0\x80\0\0\xff\0\0\0\0\0,\0\0\0\0\1\0\1\0N\x91\0\2\2D\1\0;", 37)},
    };
    for (const Case& c : cases) {
        if (std::string(c.name) != "missing.bmp") TestUtil::WriteFile(c.name, c.bytes);
        TestUtil::ClearLog("_error.txt");
        G::Image image;
        image.Load("quad32.bmp");  // what it held before must be dropped
        EXPECT_FALSE(image.Load(c.name)) << c.name;
        EXPECT_EQ(image.Texels(), nullptr) << c.name;
        EXPECT_EQ(image.Width(), 0u) << c.name;
        const std::string log = ErrorText();
        EXPECT_EQ(log.rfind(std::string("Failed to load image: ") + c.name + "\n  -call stack:\n", 0), 0u)
            << c.name << ": " << log;
    }
}

TEST(ImageLoader, ForgedHugeHeaderIsRefusedWithoutDecoding) {
    std::string bytes = TestImages::Bitmap24(2, 2, Quad);
    // 100000 x 100000 pixels claimed by a 70-byte file.
    for (int i = 0; i < 4; ++i) bytes[18 + i] = bytes[22 + i] = char((100000 >> (8 * i)) & 0xFF);
    TestUtil::ClearLog("_error.txt");
    G::Image image;
    EXPECT_FALSE(image.Decode(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), "huge.bmp"));
    EXPECT_EQ(TestUtil::CountOf(ErrorText(), "Failed to load image: huge.bmp\n"), 1);
}

TEST_F(Textures, OneFileLoadedThroughTwoHandlesSharesOneTexture) {
    TestImages::WriteSolidBitmap("art/Marker.bmp", 8, 4, 0xFF102030);
    G::Texture first, second, third;
    ASSERT_TRUE(first.Load("art\\Marker.bmp", 1, true, 0));
    ASSERT_TRUE(second.Load("art\\Marker.bmp", 1, true, 0));
    EXPECT_EQ(second.GetGLName(), first.GetGLName());
    EXPECT_EQ(first.GetShareCount(), 2u);
    // Letter case does not matter, to the name search or to the file system.
    ASSERT_TRUE(third.Load("ART\\marker.BMP", 1, true, 0));
    EXPECT_EQ(third.GetGLName(), first.GetGLName());
    EXPECT_EQ(first.GetShareCount(), 3u);
    EXPECT_EQ(first.GetName(), "art\\Marker.bmp");
    EXPECT_EQ(std::vector<uint32_t>({first.GetWidth(), first.GetHeight(), first.GetDepth()}),
              std::vector<uint32_t>({8, 4, 1}));
    // The same name again into a handle that holds it: nothing happens.
    ASSERT_TRUE(first.Load("art\\marker.bmp", 1, true, 0));
    EXPECT_EQ(first.GetShareCount(), 3u);
    // The GL texture goes with the last handle.
    const GLuint name = first.GetGLName();
    first.SRFree();
    second.SRFree();
    EXPECT_TRUE(glIsTexture(name));
    third.SRFree();
    EXPECT_FALSE(glIsTexture(name));
    // Created textures have no name and are never found by one.
    G::Texture created, loaded;
    ASSERT_TRUE(created.Create(8, 4, 1, 1, false));
    ASSERT_TRUE(loaded.Load("art\\Marker.bmp", 1, false, 0));
    EXPECT_NE(loaded.GetGLName(), created.GetGLName());
    EXPECT_EQ(ErrorText(), "");
}

TEST_F(Textures, OddSizesBrokenFilesAndBadKindsAreRefusedAndReported) {
    G::Texture texture;
    EXPECT_FALSE(texture.Create(64, 48, 3, 1, false));
    EXPECT_EQ(ErrorText().rfind("Cannot create texture:\n  -dimensions must be powers of 2\n  -call stack:\n", 0), 0u);
    EXPECT_EQ(texture.GetGLName(), 0u);
    EXPECT_FALSE(texture.Create(0, 4, 3, 1, false));
    EXPECT_TRUE(texture.Create(1, 1, 3, 1, false));
    EXPECT_TRUE(texture.Create(8192, 1, 3, 1, false)) << "wider than a 3D texture may be";
    TestUtil::ClearLog("_error.txt");
    TestImages::WriteSolidBitmap("odd.bmp", 6, 4, 0xFFFFFFFF);
    EXPECT_FALSE(texture.Load("odd.bmp", 1, true, 0));
    EXPECT_EQ(ErrorText().rfind("Unable to load image \"odd.bmp\"\n  -dimensions must be powers of 2\n  -call stack:\n", 0),
              0u);
    EXPECT_EQ(texture.GetGLName(), 0u);
    // A forged huge size is refused before any memory is taken.
    TestUtil::ClearLog("_error.txt");
    EXPECT_FALSE(texture.Create(1u << 30, 1u << 30, 3, 1, false));
    EXPECT_EQ(ErrorText().rfind("Cannot create texture:\n  -larger than the driver allows\n", 0), 0u);
    // A broken file or a bad kind leaves the handle empty.
    TestUtil::WriteFile("broken.bmp", "BM not really");
    TestImages::WriteSolidBitmap("good.bmp", 2, 2, 0xFFFFFFFF);
    ASSERT_TRUE(texture.Load("good.bmp", 1, false, 0));
    EXPECT_FALSE(texture.Load("broken.bmp", 1, false, 0));
    EXPECT_EQ(texture.GetGLName(), 0u);
    EXPECT_FALSE(texture.LoadColorKeyed("broken.bmp"));
    TestUtil::ClearLog("_error.txt");
    EXPECT_FALSE(texture.Load("good.bmp", 0, false, 0));
    EXPECT_EQ(ErrorText().rfind("Error: attempt to load texture of type FREE\n  -call stack:\n", 0), 0u);
}

TEST_F(Textures, LayerListMakesA3DTexture) {
    ASSERT_TRUE(G::Extensions.textures3DAvailable);
    TestImages::WriteSolidBitmap("fog/a.bmp", 4, 4, 0xFFFF0000);
    TestImages::WriteSolidBitmap("fog/b.bmp", 4, 4, 0xFF0000FF);
    TestUtil::WriteFile("fog/Layers.T3D", "a.bmp\nb.bmp\n\nignored.bmp\n");
    G::Texture texture;
    ASSERT_TRUE(texture.Load("fog\\Layers.T3D", 1, true, 0)) << ErrorText();
    EXPECT_EQ(texture.GetDepth(), 2u);
    // Slice 1 holds the second layer, uploaded as a 3D texture.
    texture.Set(0);
    std::vector<uint32_t> texels(4 * 4 * 2);
    glGetTexImage(GL_TEXTURE_3D, 0, GL_BGRA, GL_UNSIGNED_BYTE, texels.data());
    EXPECT_EQ(texels[0], 0xFFFF0000u);
    EXPECT_EQ(texels[16], 0xFF0000FFu);
    GLboolean enabled3D = GL_FALSE, enabled2D = GL_TRUE;
    glGetBooleanv(GL_TEXTURE_3D, &enabled3D);
    glGetBooleanv(GL_TEXTURE_2D, &enabled2D);
    EXPECT_TRUE(enabled3D);
    EXPECT_FALSE(enabled2D);
    // R wraps too on a 3D texture.
    texture.SetWrap(true, false, false);
    EXPECT_EQ(TexParameter(GL_TEXTURE_3D, GL_TEXTURE_WRAP_S), GL_REPEAT);
    EXPECT_EQ(TexParameter(GL_TEXTURE_3D, GL_TEXTURE_WRAP_T), GL_MIRRORED_REPEAT);
    EXPECT_EQ(TexParameter(GL_TEXTURE_3D, GL_TEXTURE_WRAP_R), GL_MIRRORED_REPEAT);
}

TEST_F(Textures, BadLayerListsAreReported) {
    TestImages::WriteSolidBitmap("l/a.bmp", 4, 4, 0xFFFF0000);
    TestImages::WriteSolidBitmap("l/wide.bmp", 8, 4, 0xFFFF0000);
    TestUtil::WriteFile("l/three.t3d", "a.bmp\na.bmp\na.bmp\n");
    TestUtil::WriteFile("l/empty.t3d", "\n");
    TestUtil::WriteFile("l/missing.t3d", "a.bmp\nnot_there.bmp\n");
    TestUtil::WriteFile("l/mixed.t3d", "a.bmp\nwide.bmp\n");
    struct Case {
        const char* file;
        bool colorKey;
        const char* report;
    } cases[] = {
        {"l\\three.t3d", false, "Cannot create texture:\n  -dimensions must be powers of 2\n  -call stack:\n"},
        {"l\\empty.t3d", false, "There was a problem loading 3D texture file: l\\empty.t3d\n  -no textures listed?\n"},
        {"l\\missing.t3d", false,
         "A layer of 3D texture \"l\\missing.t3d\" failed to load... 3d texture load failed.\n"},
        {"l\\mixed.t3d", false,
         "Error loading 3d texture(l\\mixed.t3d)... dimensions of all files must be the same.\n"
         "  - l\\wide.bmp doesn't match the first layer in the list.\n"},
        {"l\\three.t3d", true, "Color key not supported on 3d textures.\n"},
        {"l\\nothing.t3d", false, "There was a problem loading 3D texture file: l\\nothing.t3d\n  -no textures listed?\n"},
    };
    for (const Case& c : cases) {
        TestUtil::ClearLog("_error.txt");
        G::Texture texture;
        EXPECT_FALSE(texture.Load(c.file, c.colorKey, 1, false, 0)) << c.file;
        EXPECT_EQ(texture.GetGLName(), 0u) << c.file;
        EXPECT_NE(ErrorText().find(c.report), std::string::npos) << c.file << ":\n" << ErrorText();
    }
}

TEST_F(Textures, WrapModesAndUncreatedTextures) {
    G::Texture texture;
    ASSERT_TRUE(texture.Create(4, 4, 3, 1, false));
    texture.Set(0);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_R, GL_CLAMP_TO_EDGE);
    texture.SetWrap(false, false, true);
    EXPECT_EQ(TexParameter(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S), GL_MIRRORED_REPEAT);
    EXPECT_EQ(TexParameter(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T), GL_MIRRORED_REPEAT);
    EXPECT_EQ(TexParameter(GL_TEXTURE_2D, GL_TEXTURE_WRAP_R), GL_CLAMP_TO_EDGE);
    G::Texture empty;
    empty.SetWrap(true, true, true);
    empty.SetFilter(2);
    EXPECT_EQ(TestUtil::CountOf(ErrorText(), "SetWrapFilter cannot execute: texture not created?\n  -call stack:\n"), 2);
}

TEST_F(Textures, SetSelectsTheUnitAndTurnsTheOtherTargetOff) {
    ASSERT_NE(G::Extensions.glActiveTextureARB, nullptr);
    G::Extensions.glActiveTextureARB(GL_TEXTURE1_ARB);
    glEnable(GL_TEXTURE_3D);
    G::Extensions.glActiveTextureARB(GL_TEXTURE0_ARB);
    G::Texture texture;
    ASSERT_TRUE(texture.Create(2, 2, 3, 1, false));
    texture.Set(1);
    GLint active = 0, bound = 0;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(active, GL_TEXTURE1);
    EXPECT_EQ(GLuint(bound), texture.GetGLName());
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_3D));
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    G::UnsetTexture();
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    G::Texture empty;
    empty.Set(0);
    EXPECT_EQ(TestUtil::CountOf(ErrorText(), "Attempt to Set a texture that dosen't exist.\n  -call stack:\n"), 1);
}

TEST_F(Textures, OnlyALockForUpdateUploadsAndAnEmptyOneIsReported) {
    G::Texture texture;
    ASSERT_TRUE(
        GLTest::MakeTexture(texture, 8, 4, [](uint32_t x, uint32_t y) { return 0xFF000000 | (y * 8 + x); }));
    {
        G::TextureLock lock(texture, 0, false);
        uint32_t* texels = GLTest::LockedTexels(lock);
        ASSERT_NE(texels, nullptr);
        texels[0] = 0xFFFFFFFF;
    }
    texture.Set(0);
    std::vector<uint32_t> uploaded(32);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_BGRA, GL_UNSIGNED_BYTE, uploaded.data());
    for (uint32_t i = 0; i < 32; ++i) EXPECT_EQ(uploaded[i], 0xFF000000 | i) << i;
    G::Texture empty;
    G::TextureLock lock(empty, 0, true);
    uint32_t* texels = nullptr;
    uint32_t pitch = 7, slice, bits, w, h, d;
    EXPECT_FALSE(lock.GetInfo(texels, pitch, slice, bits, w, h, d));
    EXPECT_EQ(pitch, 7u);
    EXPECT_EQ(ErrorText().rfind("Warning: attempt to lock a non-allocated texture.\n  -call stack:\n", 0), 0u);
}

TEST(TexturesWithoutContext, AreReportedAndRefused) {
    ASSERT_FALSE(G::IsInited());
    TestUtil::ClearLog("_error.txt");
    {
        G::Texture texture;
        EXPECT_FALSE(texture.Create(4, 4, 3, 1, false));
    }
    const std::string log = TestUtil::ReadFile("_error.txt");
    EXPECT_EQ(log.rfind("Bad: texture created, but graphics is not inited.\n  -call stack:\n", 0), 0u);
    EXPECT_NE(log.find("Bad: texture being destructed, but graphics is not inited.\n  -call stack:\n"), std::string::npos);
}
