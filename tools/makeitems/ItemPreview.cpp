#include "ItemPreview.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "ItemModels.h"
#include "ItemTextures.h"

namespace {

const int Tile = 200, Columns = 6;

struct Canvas {
    RgbaImage image;
    std::vector<float> depth;
};

struct Camera {
    Vec3 eye, right, up, forward;
    float focal;
};

Camera GameCamera() {
    Camera c;
    c.eye = {6.8f * 0.7071f, 6.8f * 0.7071f, 7.9f};
    c.forward = Normalized(Vec3{0, 0, 0.6f} - c.eye);
    c.right = Normalized(Cross(c.forward, {0, 0, 1}));
    c.up = Cross(c.right, c.forward);
    c.focal = 300 / std::tan(3.14159265f / 8);  // the game's 45 degrees over 600 rows
    return c;
}

void WorldFrames(const Model& model, const std::string& name, const Frame& parent, std::map<std::string, Frame>& out) {
    for (const ModelBone& bone : model.bones)
        if (bone.name == name) {
            out[name] = Compose(parent, bone.local);
            for (const std::string& child : bone.children) WorldFrames(model, child, out[name], out);
        }
}

struct Screen {
    float x, y, z;
};

Screen Project(const Camera& c, Vec3 p, int ox, int oy) {
    const Vec3 d = p - c.eye;
    const float z = Dot(d, c.forward);
    return {ox + Tile / 2 + c.focal * Dot(d, c.right) / z, oy + Tile / 2 - c.focal * Dot(d, c.up) / z, z};
}

const uint8_t* Texel(const std::map<std::string, RgbaImage>& textures, const std::string& name, float u, float v) {
    const RgbaImage& img = textures.at(name);
    const int x = ((static_cast<int>(std::floor(u * img.width)) % img.width) + img.width) % img.width;
    const int y = ((static_cast<int>(std::floor(v * img.height)) % img.height) + img.height) % img.height;
    return &img.pixels[(y * img.width + x) * 4];
}

uint8_t Shade(float value, float light) { return static_cast<uint8_t>(std::min(255.0f, value * light)); }

// `light`: each corner's sunlight, blended across the face as the item shader's is.
void DrawTriangle(Canvas& canvas, const Screen s[3], const ModelVertex* v[3], const float light[3], const ModelChunk& chunk,
                  const std::map<std::string, RgbaImage>& textures) {
    const float area = (s[1].x - s[0].x) * (s[2].y - s[0].y) - (s[2].x - s[0].x) * (s[1].y - s[0].y);
    if (area <= 0) return;  // clockwise on a y-down canvas is the front
    const int x0 = std::max(0, static_cast<int>(std::min({s[0].x, s[1].x, s[2].x})));
    const int x1 = std::min(canvas.image.width - 1, static_cast<int>(std::max({s[0].x, s[1].x, s[2].x})) + 1);
    const int y0 = std::max(0, static_cast<int>(std::min({s[0].y, s[1].y, s[2].y})));
    const int y1 = std::min(canvas.image.height - 1, static_cast<int>(std::max({s[0].y, s[1].y, s[2].y})) + 1);
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            const float px = x + 0.5f, py = y + 0.5f;
            float w[3];
            for (int i = 0; i < 3; ++i) {
                const Screen &a = s[(i + 1) % 3], &b = s[(i + 2) % 3];
                w[i] = ((b.x - a.x) * (py - a.y) - (px - a.x) * (b.y - a.y)) / area;
            }
            if (w[0] < 0 || w[1] < 0 || w[2] < 0) continue;
            const float z = w[0] * s[0].z + w[1] * s[1].z + w[2] * s[2].z;
            float& depth = canvas.depth[y * canvas.image.width + x];
            if (z >= depth) continue;
            depth = z;
            uint8_t* out = &canvas.image.pixels[(y * canvas.image.width + x) * 4];
            const float lit = w[0] * light[0] + w[1] * light[1] + w[2] * light[2];
            if (chunk.kind == VertexKind::PNC) {
                for (int k = 0; k < 3; ++k)
                    out[k] = Shade(w[0] * v[0]->color[k] + w[1] * v[1]->color[k] + w[2] * v[2]->color[k], lit);
            } else {
                const float u = w[0] * v[0]->u + w[1] * v[1]->u + w[2] * v[2]->u, t = w[0] * v[0]->v + w[1] * v[1]->v + w[2] * v[2]->v;
                const uint8_t* texel = Texel(textures, chunk.texture, u, t);
                for (int k = 0; k < 3; ++k) out[k] = Shade(texel[k], lit);
            }
        }
}

void DrawModel(Canvas& canvas, const Model& model, int ox, int oy, const std::map<std::string, RgbaImage>& textures) {
    const Camera camera = GameCamera();
    std::map<std::string, Frame> frames;
    WorldFrames(model, model.bones.front().name, Frame{}, frames);
    for (const ModelBone& bone : model.bones)
        for (const ModelMesh& mesh : model.meshes)
            if (mesh.name == bone.mesh)
                for (const ModelChunk& chunk : mesh.chunks)
                    for (size_t i = 0; i + 2 < chunk.indices.size(); i += 3) {
                        Screen s[3];
                        const ModelVertex* v[3];
                        float light[3];
                        for (int k = 0; k < 3; ++k) {
                            v[k] = &chunk.vertices[chunk.indices[i + k]];
                            s[k] = Project(camera, Apply(frames[bone.name], v[k]->position), ox, oy);
                            light[k] = SunLight(ApplyDirection(frames[bone.name], v[k]->normal));
                        }
                        DrawTriangle(canvas, s, v, light, chunk, textures);
                    }
}

}  // namespace

bool WritePreviewSheet(const std::string& pngPath) {
    std::map<std::string, RgbaImage> textures;
    for (const Material& m : Materials()) textures[TextureName(m.name)] = m.make();
    const std::vector<ItemModel>& models = ItemModels();
    const int rows = (static_cast<int>(models.size()) + Columns - 1) / Columns;
    Canvas canvas;
    canvas.image.width = Tile * Columns;
    canvas.image.height = Tile * rows;
    canvas.depth.assign(canvas.image.width * canvas.image.height, 1e9f);
    for (int y = 0; y < canvas.image.height; ++y)
        for (int x = 0; x < canvas.image.width; ++x)
            for (uint8_t c : {uint8_t(90), uint8_t(130), uint8_t(70), uint8_t(255)}) canvas.image.pixels.push_back(c);
    for (size_t i = 0; i < models.size(); ++i)
        DrawModel(canvas, models[i].make(), static_cast<int>(i % Columns) * Tile, static_cast<int>(i / Columns) * Tile, textures);
    return WritePng(pngPath, canvas.image);
}
