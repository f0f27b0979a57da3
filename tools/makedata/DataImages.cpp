#include "DataImages.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "LogFile.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO_FILE_NAMES_UTF8
#include <stb/stb_image_write.h>

namespace {

RgbaImage Blank(int width, int height) {
    RgbaImage img;
    img.width = width;
    img.height = height;
    img.pixels.assign(width * height * 4, 0);
    return img;
}

void Put(RgbaImage& img, int x, int y, double r, double g, double b, double a) {
    uint8_t* p = &img.pixels[(y * img.width + x) * 4];
    p[0] = static_cast<uint8_t>(std::clamp(r, 0.0, 255.0));
    p[1] = static_cast<uint8_t>(std::clamp(g, 0.0, 255.0));
    p[2] = static_cast<uint8_t>(std::clamp(b, 0.0, 255.0));
    p[3] = static_cast<uint8_t>(std::clamp(a, 0.0, 255.0));
}

double Hash01(int x, int y, int salt) {
    uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u + salt * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return ((h ^ (h >> 16)) & 0xFFFF) / 65535.0;
}

bool MakeFolderFor(const std::string& path) {
    std::error_code ec;
    std::filesystem::path parent = std::filesystem::path(path).parent_path();
    if (!parent.empty()) std::filesystem::create_directories(parent, ec);
    return !ec;
}

// A rounded bar of `barWidth` columns from the left, the rest transparent.
void RoundedBar(RgbaImage& img, int barWidth, double r, double g, double b, double a) {
    double radius = barWidth / 2.0;
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < barWidth; ++x) {
            double dy = std::min(y + 0.5, img.height - y - 0.5);
            double inside = dy >= radius ? 1.0 : (std::hypot(x + 0.5 - radius, radius - dy) <= radius ? 1.0 : 0.0);
            double edge = (x == 0 || x == barWidth - 1) ? 0.7 : 1.0;
            double shade = 0.8 + 0.2 * std::sin((x + 0.5) / barWidth * 3.14159);
            Put(img, x, y, r * shade * edge, g * shade * edge, b * shade * edge, a * inside);
        }
}

}  // namespace

RgbaImage MakeChooserMarker() {
    RgbaImage img = Blank(32, 32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            // A right-pointing arrow head: |y - centre| shrinks toward the tip.
            double half = (28 - x) * 0.55;
            double dy = std::fabs(y + 0.5 - 16);
            bool body = x >= 4 && x <= 28 && dy <= half;
            bool outline = body && (dy > half - 1.6 || x < 6);
            if (outline) Put(img, x, y, 90, 50, 10, 255);
            else if (body) Put(img, x, y, 255, 200 - dy * 4, 60, 255);
            else Put(img, x, y, 0, 0, 0, 255);
        }
    return img;
}

RgbaImage MakeScrollTrack() {
    RgbaImage img = Blank(32, 256);
    RoundedBar(img, 24, 70, 80, 100, 200);
    return img;
}

RgbaImage MakeScrollThumb() {
    RgbaImage img = Blank(32, 32);
    RoundedBar(img, 24, 210, 220, 240, 255);
    return img;
}

RgbaImage MakeStoneWall() {
    RgbaImage img = Blank(128, 128);
    const int rowHeight = 16, blockWidth = 32;
    for (int y = 0; y < 128; ++y) {
        int row = y / rowHeight;
        int offset = (row % 2) * blockWidth / 2;
        for (int x = 0; x < 128; ++x) {
            int bx = (x + offset) % 128 / blockWidth;
            int lx = (x + offset) % blockWidth, ly = y % rowHeight;
            bool mortar = lx < 2 || ly < 2;
            double tone = 0.85 + 0.3 * Hash01(bx, row, 1) + 0.12 * (Hash01(x, y, 2) - 0.5);
            if (mortar) Put(img, x, y, 70, 66, 60, 255);
            else Put(img, x, y, 150 * tone, 144 * tone, 132 * tone, 255);
        }
    }
    return img;
}

RgbaImage MakeDreamPortal() {
    RgbaImage img = Blank(128, 128);
    const double pi = 3.14159265358979;
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x) {
            double s = x / 128.0, t = y / 128.0;  // t = 0 is the top of the cylinder
            // The swirl repeats across s so the texture wraps round the cylinder.
            double swirl = std::sin(2 * pi * (s * 2 + t * 1.5)) * 0.5 + 0.5;
            double spark = Hash01(x, y, 3) > 0.985 ? 1.0 : 0.0;
            double r = 90 + 120 * swirl + 120 * spark, g = 60 + 60 * (1 - swirl) + 150 * spark, b = 200 + 55 * swirl;
            Put(img, x, y, r, g, b, 255 * std::pow(t, 0.7) * (0.55 + 0.45 * swirl) + 255 * spark);
        }
    return img;
}

bool WritePng(const std::string& path, const RgbaImage& image) {
    if (MakeFolderFor(path) &&
        stbi_write_png(path.c_str(), image.width, image.height, 4, image.pixels.data(), image.width * 4))
        return true;
    ErrorLog << "Error: could not write image: " << path << "\n";
    return false;
}

bool WriteBmp(const std::string& path, const RgbaImage& image) {
    std::vector<uint8_t> rgb;
    rgb.reserve(image.width * image.height * 3);
    for (size_t i = 0; i < image.pixels.size(); i += 4) rgb.insert(rgb.end(), &image.pixels[i], &image.pixels[i] + 3);
    if (MakeFolderFor(path) && stbi_write_bmp(path.c_str(), image.width, image.height, 3, rgb.data())) return true;
    ErrorLog << "Error: could not write image: " << path << "\n";
    return false;
}
