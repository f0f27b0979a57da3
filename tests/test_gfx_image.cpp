// The image loader: texel byte order, row order, and refusal of broken files.
#include <gtest/gtest.h>

#include "ImageLoader.h"
#include "LogFile.h"
#include "TestImages.h"
#include "TestUtil.h"

using G::Image;

namespace {

const std::vector<uint32_t> Quad = {0xFF102030, 0x80FF0000,   // top row
                                    0x0000FF00, 0xFF0000FF};  // bottom row

std::string ErrorText() { return TestUtil::ReadFile("_error.txt"); }

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
        Image image;
        ASSERT_TRUE(image.Load(file)) << file;
        EXPECT_EQ(std::vector<uint32_t>({image.Width(), image.Height(), image.Depth()}),
                  std::vector<uint32_t>({2, 2, 0}));
        EXPECT_EQ(std::vector<uint32_t>(image.Texels(), image.Texels() + 4), texels) << file;
    }
}

TEST(ImageLoader, CopyHasItsOwnTexels) {
    TestUtil::WriteFile("copy.bmp", TestImages::Bitmap32(2, 2, Quad));
    Image image;
    ASSERT_TRUE(image.Load("copy.bmp"));
    Image copy(image);
    image.Free();
    ASSERT_NE(copy.Texels(), nullptr);
    EXPECT_EQ(copy.Texels()[3], Quad[3]);
    Image assigned;
    assigned = copy;
    EXPECT_NE(assigned.Texels(), copy.Texels());
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
        Image image;
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
    Image image;
    EXPECT_FALSE(image.Decode(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), "huge.bmp"));
    EXPECT_EQ(TestUtil::CountOf(ErrorText(), "Failed to load image: huge.bmp\n"), 1);
}
