#include "MeshBuilder.h"

#include <algorithm>
#include <cmath>

namespace {

// Contact shade: parts near the ground are a little darker.
float Occlusion(float z) { return 0.78f + 0.22f * std::clamp(z / 0.3f, 0.0f, 1.0f); }

uint8_t Byte(float value) { return static_cast<uint8_t>(std::clamp(value, 0.0f, 1.0f) * 255.0f + 0.5f); }

float Hash01(int n, int salt) {
    uint32_t h = static_cast<uint32_t>(n) * 2654435761u ^ static_cast<uint32_t>(salt) * 40503u;
    h = (h ^ (h >> 15)) * 2246822519u;
    return ((h ^ (h >> 13)) & 0xFFFF) / 65535.0f;
}

// Newell's normal: robust for polygons with a repeated point (a cone's tip).
Vec3 FaceNormal(const std::vector<Vec3>& p) {
    Vec3 n;
    for (size_t i = 0; i < p.size(); ++i) {
        const Vec3 a = p[i], b = p[(i + 1) % p.size()];
        n.x += (a.y - b.y) * (a.z + b.z);
        n.y += (a.z - b.z) * (a.x + b.x);
        n.z += (a.x - b.x) * (a.y + b.y);
    }
    return Normalized(n);
}

std::vector<Vec3> WithoutRepeats(const std::vector<Vec3>& points) {
    std::vector<Vec3> out;
    for (const Vec3& p : points) {
        Vec3 last = out.empty() ? points.back() : out.back();
        if (Dot(p - last, p - last) > 1e-10f) out.push_back(p);
    }
    return out;
}

Frame Rotation(float degrees, int axis, Vec3 at) {
    const float a = degrees * 3.14159265f / 180.0f, c = std::cos(a), s = std::sin(a);
    Frame f;
    const int i = (axis + 1) % 3, j = (axis + 2) % 3;
    f.r[i * 3 + i] = c, f.r[i * 3 + j] = -s, f.r[j * 3 + i] = s, f.r[j * 3 + j] = c;
    f.t = at - ApplyDirection(f, at);
    return f;
}

}  // namespace

Paint Plain(float r, float g, float b, float jitter) {
    Paint p;
    p.color = {r, g, b};
    p.jitter = jitter;
    return p;
}

Paint Textured(const std::string& material, float texScale) {
    Paint p;
    p.material = material;
    p.texScale = texScale;
    return p;
}

std::string TextureName(const std::string& material) { return material + ".png"; }

float SunLight(Vec3 normal) {
    const Vec3 sun = Normalized({0.37f, -0.28f, 0.886f});  // as in data/shaders/simple
    return 0.6f + 0.4f * std::max(0.0f, Dot(normal, sun));
}

Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 operator*(Vec3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
float Dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec3 Cross(Vec3 a, Vec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
Vec3 Normalized(Vec3 a) {
    const float length = std::sqrt(Dot(a, a));
    return length > 0 ? a * (1.0f / length) : Vec3{0, 0, 1};
}

Vec3 ApplyDirection(const Frame& f, Vec3 d) {
    const float* r = f.r;
    return {r[0] * d.x + r[1] * d.y + r[2] * d.z, r[3] * d.x + r[4] * d.y + r[5] * d.z,
            r[6] * d.x + r[7] * d.y + r[8] * d.z};
}

Vec3 Apply(const Frame& f, Vec3 p) { return ApplyDirection(f, p) + f.t; }

Frame Compose(const Frame& outer, const Frame& inner) {
    Frame f;
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col) {
            float sum = 0;
            for (int k = 0; k < 3; ++k) sum += outer.r[row * 3 + k] * inner.r[k * 3 + col];
            f.r[row * 3 + col] = sum;
        }
    f.t = Apply(outer, inner.t);
    return f;
}

Frame Translation(float x, float y, float z) {
    Frame f;
    f.t = {x, y, z};
    return f;
}

Frame RotationX(float degrees, Vec3 at) { return Rotation(degrees, 0, at); }
Frame RotationY(float degrees, Vec3 at) { return Rotation(degrees, 1, at); }
Frame RotationZ(float degrees, Vec3 at) { return Rotation(degrees, 2, at); }

MeshBuilder::MeshBuilder(std::string name, const Frame& bone) : name(std::move(name)), bone(bone) {}

void MeshBuilder::Polygon(const std::vector<Vec3>& points, const Paint& paint, const std::vector<Vec3>* normals) {
    const std::vector<Vec3> p = normals ? points : WithoutRepeats(points);
    if (p.size() < 3) return;
    const Vec3 faceNormal = FaceNormal(p);
    const std::vector<Vec3> n = normals ? *normals : std::vector<Vec3>(p.size(), faceNormal);
    ++faceCount;
    if (!paint.material.empty()) return TexturedFace(p, n, faceNormal, paint);
    const float tint = 1.0f + paint.jitter * (Hash01(faceCount, 7) - 0.5f);
    std::vector<ModelVertex> vertices;
    for (size_t i = 0; i < p.size(); ++i) vertices.push_back(PlainVertex(p[i], n[i], paint, tint));
    AddFace(ChunkFor("", VertexKind::PNC), vertices);
}

void MeshBuilder::PolygonFacing(std::vector<Vec3> points, const Paint& paint, Vec3 toward) {
    Vec3 centre;
    for (const Vec3& p : points) centre = centre + p * (1.0f / points.size());
    if (Dot(FaceNormal(points), toward - centre) < 0) std::reverse(points.begin(), points.end());
    Polygon(points, paint);
}

void MeshBuilder::PolygonAwayFrom(std::vector<Vec3> points, const Paint& paint, Vec3 from) {
    Vec3 centre;
    for (const Vec3& p : points) centre = centre + p * (1.0f / points.size());
    PolygonFacing(points, paint, centre + (centre - from));
}

ModelVertex MeshBuilder::PlainVertex(Vec3 p, Vec3 n, const Paint& paint, float faceTint) const {
    const float light = paint.shaded ? Occlusion(p.z) * faceTint : 1.0f;
    ModelVertex v;
    v.position = p;
    v.normal = n;
    v.color[0] = Byte(paint.color.r * light);
    v.color[1] = Byte(paint.color.g * light);
    v.color[2] = Byte(paint.color.b * light);
    return v;
}

// Texture coordinates by projection in model space, so that neighbouring
// faces continue each other's pattern; v runs down the image as z goes up.
void MeshBuilder::TexturedFace(const std::vector<Vec3>& points, const std::vector<Vec3>& normals, Vec3 faceNormal,
                               const Paint& paint) {
    Vec3 right, up;
    if (std::fabs(faceNormal.z) > 0.7f) {
        float minX = 1e9f, maxX = -1e9f, minY = 1e9f, maxY = -1e9f;
        for (const Vec3& p : points) minX = std::min(minX, p.x), maxX = std::max(maxX, p.x), minY = std::min(minY, p.y), maxY = std::max(maxY, p.y);
        // Grain runs along the longer side of a board.
        const bool alongY = maxY - minY > maxX - minX;
        right = alongY ? Vec3{0, faceNormal.z > 0 ? 1.0f : -1.0f, 0} : Vec3{1, 0, 0};
        up = alongY ? Vec3{-1, 0, 0} : Vec3{0, faceNormal.z > 0 ? 1.0f : -1.0f, 0};
    } else {
        right = Normalized(Cross(faceNormal * -1.0f, {0, 0, 1}));
        up = Cross(faceNormal, right);
    }
    float minU = 1e9f, maxU = -1e9f, minV = 1e9f, maxV = -1e9f;
    for (const Vec3& p : points) {
        minU = std::min(minU, Dot(p, right)), maxU = std::max(maxU, Dot(p, right));
        minV = std::min(minV, Dot(p, up)), maxV = std::max(maxV, Dot(p, up));
    }
    std::vector<ModelVertex> vertices;
    for (size_t i = 0; i < points.size(); ++i) {
        ModelVertex v;
        v.position = points[i];
        v.normal = normals[i];
        if (paint.stretch) {
            v.u = (Dot(points[i], right) - minU) / std::max(maxU - minU, 1e-6f);
            v.v = (maxV - Dot(points[i], up)) / std::max(maxV - minV, 1e-6f);
        } else {
            v.u = Dot(points[i], right) * paint.texScale;
            v.v = -Dot(points[i], up) * paint.texScale;
        }
        vertices.push_back(v);
    }
    AddFace(ChunkFor(TextureName(paint.material), VertexKind::PNT2), vertices);
}

void MeshBuilder::AddFace(ModelChunk& chunk, const std::vector<ModelVertex>& vertices) {
    const uint16_t first = static_cast<uint16_t>(chunk.vertices.size());
    for (ModelVertex v : vertices) {
        // Stored relative to the bone: the inverse of a rotation is its transpose.
        const Vec3 d = v.position - bone.t, n = v.normal;
        const float* r = bone.r;
        v.position = {r[0] * d.x + r[3] * d.y + r[6] * d.z, r[1] * d.x + r[4] * d.y + r[7] * d.z,
                      r[2] * d.x + r[5] * d.y + r[8] * d.z};
        v.normal = {r[0] * n.x + r[3] * n.y + r[6] * n.z, r[1] * n.x + r[4] * n.y + r[7] * n.z,
                    r[2] * n.x + r[5] * n.y + r[8] * n.z};
        chunk.vertices.push_back(v);
    }
    // Stored clockwise seen from outside: the item renderer keeps faces that
    // are clockwise on the screen, and the view is not mirrored.
    for (size_t i = 1; i + 1 < vertices.size(); ++i) {
        chunk.indices.push_back(first);
        chunk.indices.push_back(static_cast<uint16_t>(first + i + 1));
        chunk.indices.push_back(static_cast<uint16_t>(first + i));
    }
}

ModelChunk& MeshBuilder::ChunkFor(const std::string& texture, VertexKind kind) {
    ModelChunk& chunk = chunks[texture];
    chunk.kind = kind;
    chunk.texture = texture;
    return chunk;
}

ModelMesh MeshBuilder::Finish() const {
    ModelMesh mesh;
    mesh.name = name;
    for (const auto& [texture, chunk] : chunks) mesh.chunks.push_back(chunk);
    return mesh;
}
