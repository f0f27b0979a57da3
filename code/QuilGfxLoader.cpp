#include "QuilGfxLoader.h"

#include "CProfiler.h"
#include "FileUtil.h"
#include "LogFile.h"
#include "StaticOrder.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <utility>
#include <sstream>
#include <thread>

Palette GamePalette STATIC_ORDER(STATIC_GAME);
PartColorTable PartColorTables[ColorPartCount] STATIC_ORDER(STATIC_GAME);

namespace {

const char* const PartNames[ColorPartCount] = {"badge", "bracer", "boot",    "cape",  "eye",
                                               "fur",   "hair",   "marking", "pants", "vest"};
const char* const ColorPairsFile = "data\\colors\\colors.txt";
const size_t PcxPaletteSize = 768;

uint8_t Low8(long long value) { return static_cast<uint8_t>(value & 0xFF); }

}  // namespace

std::string PartColorFile(ColorPart part) { return std::string("data\\colors\\") + PartNames[part] + ".txt"; }

void LoadPcxPalette(const std::string& path) {
    uint32_t length = FileLength(path);
    FILE* file = OpenFile(path, "rb");
    if (!file) {
        ErrorLog << "Failed to open file to read pcx palette (" << path << ")\n";
        return;
    }
    unsigned char rgb[PcxPaletteSize];
    bool read = length >= PcxPaletteSize && std::fseek(file, long(length - PcxPaletteSize), SEEK_SET) == 0 &&
                std::fread(rgb, 1, PcxPaletteSize, file) == PcxPaletteSize;
    std::fclose(file);
    if (!read) {
        ErrorLog << "Warning: pcx file too short to hold a palette (" << path << "), palette left as it was.\n";
        return;
    }
    for (size_t i = 0; i < GamePalette.size(); ++i) {
        GamePalette[i].red = rgb[3 * i];
        GamePalette[i].green = rgb[3 * i + 1];
        GamePalette[i].blue = rgb[3 * i + 2];
    }
}

void LoadColorPairs(ColorNameMap& map) {
    map.clear();
    std::string bytes;
    if (!ReadWholeFile(ColorPairsFile, true, bytes)) {
        ErrorLog << "Failed to open data\\colors\\colors.txt to load color pairs.\n";
        return;
    }
    std::istringstream in(bytes);
    std::string word;
    long long r, g, b;
    while (in >> word && word != "End" && in >> r >> g >> b)
        map.emplace(word, ColorWord{0, Low8(r), Low8(g), Low8(b)});
    if (word != "End") ErrorLog << "Error in file data\\colors\\colors.txt, some colors may be wrong...\n";
}

void LoadColorIndices(const std::string& path, const ColorNameMap& map, PartColorTable& table) {
    if (map.empty()) return;
    std::string bytes;
    if (!ReadWholeFile(path, true, bytes)) {
        ErrorLog << "Failed to open " << path << " to load color indices from.\n";
        return;
    }
    table.colors.fill(ColorWord());
    std::istringstream in(bytes);
    long long n;
    std::string name;
    while (true) {
        if (!(in >> n)) break;
        if (n < 0) return;
        if (!(in >> name)) break;
        if (n >= 64) {
            ErrorLog << "Color index too high (" << std::to_string(n) << ") in file " << path << "...  ignoring it.\n";
            continue;
        }
        auto found = map.find(name);
        if (found != map.end())
            table.colors[size_t(n)] = found->second;
        else
            ErrorLog << "No such color (" << name << "), referanced in file " << path << "\n";
    }
    ErrorLog << "Error in file " << path << "\n";
}

void LoadColorTables() {
    ColorNameMap map;
    LoadColorPairs(map);
    for (int part = 0; part < ColorPartCount; ++part)
        LoadColorIndices(PartColorFile(ColorPart(part)), map, PartColorTables[part]);
}

// --- shape files -------------------------------------------------------------

namespace {

// Reads little-endian fields from a file held in memory; reads past the end
// give zeros and set `short`.
struct ByteReader {
    const std::string& bytes;
    size_t at = 0;
    bool shortRead = false;

    uint8_t U8() {
        if (at < bytes.size()) return static_cast<uint8_t>(bytes[at++]);
        shortRead = true;
        return 0;
    }
    uint16_t U16() {
        uint16_t low = U8();
        return static_cast<uint16_t>(low | (U8() << 8));
    }
    void Row(std::vector<uint8_t>& row) {
        for (uint8_t& pixel : row) pixel = U8();
    }
};

void ReadShape(ByteReader& in, Shape& shape) {
    uint8_t width = in.U8(), height = in.U8();
    in.U8();
    in.U8();
    shape.rows.assign(height, std::vector<uint8_t>(width, 0));
    for (size_t fileRow = 0; fileRow < height; ++fileRow) in.Row(shape.rows[height - 1 - fileRow]);
    shape.transparent = (height > 0 && width > 0) ? shape.rows[0][0] : 0;
}

}  // namespace

bool LoadShapeFile(ShapeList& shapes, const std::string& path) {
    shapes.clear();
    std::string bytes;
    if (!ReadWholeFile(path, true, bytes)) {
        ErrorLog << "Unable to open " << path << " to load FSH data.\n";
        return false;
    }
    ByteReader in{bytes};
    shapes.resize(in.U16());
    for (size_t i = 0; i < shapes.size(); ++i) in.U16();
    for (Shape& shape : shapes) ReadShape(in, shape);
    if (in.shortRead) ErrorLog << "Warning: shape file ended early: " << path << "\n";
    return true;
}

void DiamondToSquare(float s, float t, float& u, float& v) {
    const float quarterTurn = 3.1415927f / 4;
    const float c = std::cos(quarterTurn), d = std::sin(quarterTurn);
    const float k = static_cast<float>(1.0 / (std::sqrt(2.0) * 1.025));
    const float px = s - 0.5f, py = t - 0.5f;
    u = k * (c * px - d * py) + 0.5f;
    v = k * (d * px + c * py) + 0.5f;
}

namespace {

const int FloorTextureSize = 64;

// The first of two neighbouring pixels along one axis and its weight. The
// clamps keep both inside the image, also for an image one pixel wide.
struct Axis {
    int first = 0, second = 0;
    float weight = 0;
};

Axis AxisAt(float position, int size) {
    Axis axis;
    const double whole = std::floor(static_cast<double>(position));
    int index = static_cast<int>(whole);
    // Equal to 1 - fmod(position, 1) wherever the weight is kept: a negative
    // position is clamped below.
    axis.weight = static_cast<float>(1.0 - (static_cast<double>(position) - whole));
    if (index < 0) {
        index = 0;
        axis.weight = 0;
    }
    if (index > size - 2) {
        index = size - 2;
        axis.weight = 1;
    }
    axis.first = std::max(index, 0);
    axis.second = std::min(index + 1, size - 1);
    return axis;
}

// Red, green, blue and weight side by side: one multiply and one add per
// sample, one division per texel. Each lane rounds as its own float would.
typedef float Float4 __attribute__((vector_size(16)));
typedef int32_t Int4 __attribute__((vector_size(16)));

// Where one texel samples an image of a given size: four pixels, each an
// offset into the image's rows laid end to end, with their weights, in
// blending order.
struct TexelSamples {
    uint32_t offset[4];
    float weight[4];
};

TexelSamples SamplesAt(int tx, int ty, int width, int height) {
    float u = 0, v = 0;
    DiamondToSquare(float(tx) * 0.015625f, float(ty) * 0.015625f, u, v);
    const Axis x = AxisAt(u * float(width) - 0.5f, width), y = AxisAt(v * float(height) - 0.5f, height);
    const uint32_t top = uint32_t(y.first * width), bottom = uint32_t(y.second * width);
    return TexelSamples{
        {top + uint32_t(x.first), top + uint32_t(x.second), bottom + uint32_t(x.first), bottom + uint32_t(x.second)},
        {x.weight * y.weight, (1 - x.weight) * y.weight, x.weight * (1 - y.weight), (1 - x.weight) * (1 - y.weight)}};
}

// The palette as (red, green, blue, 1), converted once per run rather than
// four times per texel.
struct FloatPalette {
    Float4 rgb1[256];
    FloatPalette() {
        for (size_t i = 0; i < 256; ++i)
            rgb1[i] = Float4{float(GamePalette[i].red), float(GamePalette[i].green), float(GamePalette[i].blue), 1};
    }
};

// The shape's pixels in one block, row after row, and the palette as this
// shape sees it: its transparent colour all zero, so that a transparent
// pixel adds neither colour nor weight without a test per sample (adding
// zero leaves every sum exactly as skipping it would).
struct FlatShape {
    std::vector<uint8_t> pixels;
    FloatPalette palette;
    explicit FlatShape(const Shape& shape, const FloatPalette& shared) : palette(shared) {
        for (const std::vector<uint8_t>& row : shape.rows)
            pixels.insert(pixels.end(), row.begin(), row.end());
        palette.rgb1[shape.transparent] = Float4{0, 0, 0, 0};
    }
};

// With no weight at all the texel is black. Alpha is always full. Inlined
// into the texture loop, where a call per texel cost as much as the blend.
inline __attribute__((always_inline)) uint32_t BlendTexel(const FlatShape& shape, const TexelSamples& samples,
                                                          uint32_t bitsPerTexel) {
    const uint8_t* pixels = shape.pixels.data();
    const Float4* rgb1 = shape.palette.rgb1;
    Float4 sum = rgb1[pixels[samples.offset[0]]] * samples.weight[0];
    sum += rgb1[pixels[samples.offset[1]]] * samples.weight[1];
    sum += rgb1[pixels[samples.offset[2]]] * samples.weight[2];
    sum += rgb1[pixels[samples.offset[3]]] * samples.weight[3];
    if (sum[3] > 0) sum /= sum[3];
    // Every lane lies in [0, 256): truncating all four at once equals
    // truncating each to an unsigned integer.
    if (bitsPerTexel == 32) {
        const Int4 c = __builtin_convertvector(sum, Int4);
        return 0xFF000000u | uint32_t(c[0]) << 16 | uint32_t(c[1]) << 8 | uint32_t(c[2]);
    }
    const Int4 c = __builtin_convertvector(sum * 0.0625f, Int4);
    return 0xF000u | uint32_t(c[0]) << 8 | uint32_t(c[1]) << 4 | uint32_t(c[2]);
}

int ShapeWidth(const Shape& shape) { return shape.rows.empty() ? 0 : static_cast<int>(shape.rows[0].size()); }
int ShapeHeight(const Shape& shape) { return static_cast<int>(shape.rows.size()); }

}  // namespace

uint32_t FloorTexel(const Shape& shape, int tx, int ty, uint32_t bitsPerTexel) {
    const int width = ShapeWidth(shape), height = ShapeHeight(shape);
    // An empty image has nothing to sample: opaque black.
    if (width == 0 || height == 0) return bitsPerTexel == 32 ? 0xFF000000u : 0xF000u;
    return BlendTexel(FlatShape(shape, FloatPalette()), SamplesAt(tx, ty, width, height), bitsPerTexel);
}

namespace {

// The samples of all 4096 texels depend only on the image's size, and a
// shape file's floors mostly share one: worked out once per size.
class SamplePlans {
public:
    const std::vector<TexelSamples>& For(int width, int height) {
        std::vector<TexelSamples>& plan = plans[{width, height}];
        if (plan.empty()) {
            plan.reserve(FloorTextureSize * FloorTextureSize);
            for (int ty = 0; ty < FloorTextureSize; ++ty)
                for (int tx = 0; tx < FloorTextureSize; ++tx) plan.push_back(SamplesAt(tx, ty, width, height));
        }
        return plan;
    }

private:
    std::map<std::pair<int, int>, std::vector<TexelSamples>> plans;
};

// One shape's texture from its creation to its upload. The texels are
// written straight into the locked texture's memory.
struct FloorJob {
    const Shape* shape = nullptr;
    const std::vector<TexelSamples>* plan = nullptr;  // null for an empty image
    G::Texture texture;
    G::TextureLock* lock = nullptr;
    uint8_t* texels = nullptr;
    uint32_t pitch = 0, bits = 0;
    std::atomic<bool> written{false};
};

void WriteFloorTexels(const FloorJob& job, const FloatPalette& palette) {
    const FlatShape flat(*job.shape, palette);
    uint8_t* to = job.texels;
    for (int ty = 0; ty < FloorTextureSize; ++ty, to += job.pitch)
        for (int tx = 0; tx < FloorTextureSize; ++tx) {
            const uint32_t texel = job.plan ? BlendTexel(flat, (*job.plan)[size_t(ty * FloorTextureSize + tx)], job.bits)
                                            : FloorTexel(*job.shape, tx, ty, job.bits);
            if (job.bits == 32) {
                std::memcpy(to + tx * 4, &texel, 4);
            } else {
                const uint16_t half = static_cast<uint16_t>(texel);
                std::memcpy(to + tx * 2, &half, 2);
            }
        }
}

// Creates and locks the texture of one shape; false, with the message, when
// either step fails.
bool StartFloorJob(FloorJob& job, const Shape& shape, SamplePlans& plans) {
    job.shape = &shape;
    const int width = ShapeWidth(shape), height = ShapeHeight(shape);
    if (width && height) job.plan = &plans.For(width, height);
    if (!job.texture.Create(FloorTextureSize, FloorTextureSize, 3, 1, true)) {
        ErrorLog << "Texture create failed while doing floor tile conversion.\n";
        return false;
    }
    job.texture.SetWrap(false, false, true);
    job.lock = new2(G::TextureLock, G::TextureLock(job.texture, 0, true));
    uint32_t *texels, slice, width32, height32, depth;
    if (!job.lock->GetInfo(texels, job.pitch, slice, job.bits, width32, height32, depth)) {
        ErrorLog << "Lock on newly created texture failed while floor tile conversion.\n";
        delete2(job.lock);
        job.lock = nullptr;
        job.texture = G::Texture();
        return false;
    }
    job.texels = reinterpret_cast<uint8_t*>(texels);
    return true;
}

// The conversion is the costly part and each shape's is independent: a
// second thread converts each texture as soon as it is created and locked,
// while this thread goes on creating, then uploads the converted textures
// in shape order (GL stays on this thread), converting itself whenever the
// next upload is not ready yet.
class FloorConversion {
public:
    FloorConversion(const ShapeList& shapes, const FloatPalette& palette) : jobs(shapes.size()), palette(palette) {}

    // False when a texture could not be made; those made before it are kept.
    bool Run(const ShapeList& shapes, std::vector<G::Texture>& textures) {
        std::thread helper;
        if (std::thread::hardware_concurrency() > 1 && shapes.size() > 1) helper = std::thread([this] { Help(); });
        SamplePlans plans;
        size_t made = 0;
        while (made < shapes.size() && StartFloorJob(jobs[made], shapes[made], plans))
            published.store(++made, std::memory_order_release);
        creating.store(false, std::memory_order_release);
        for (size_t index = 0; index < made; ++index) {
            FloorJob& job = jobs[index];
            while (!job.written.load(std::memory_order_acquire))
                if (!ConvertNext()) std::this_thread::yield();
            textures.push_back(job.texture);
            job.lock->Unlock();
            delete2(job.lock);
            job.texture = G::Texture();
        }
        if (helper.joinable()) helper.join();
        return made == shapes.size();
    }

private:
    void Help() {
        while (ConvertNext() || creating.load(std::memory_order_acquire) ||
               next.load() < published.load(std::memory_order_acquire))
            std::this_thread::yield();
    }

    // Converts the next created texture nobody has taken yet, if there is one.
    bool ConvertNext() {
        size_t index = next.load();
        do {
            if (index >= published.load(std::memory_order_acquire)) return false;
        } while (!next.compare_exchange_weak(index, index + 1));
        WriteFloorTexels(jobs[index], palette);
        jobs[index].written.store(true, std::memory_order_release);
        return true;
    }

    std::deque<FloorJob> jobs;  // sized once: never moved while converted
    const FloatPalette& palette;
    std::atomic<size_t> published{0}, next{0};
    std::atomic<bool> creating{true};
};

}  // namespace

bool BuildFloorTextures(const ShapeList& shapes, std::vector<G::Texture>& textures) {
    textures.clear();
    ProfileStart("Generate floor textures from .fsh", __FILE__);
    const FloatPalette palette;
    const bool made = FloorConversion(shapes, palette).Run(shapes, textures);
    ProfileStop("Generate floor textures from .fsh", __FILE__);
    return made;
}
