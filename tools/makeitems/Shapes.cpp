#include "Shapes.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace {

const float Pi = 3.14159265f;

std::vector<Vec3> Ring(const Frame& at, const Lathe& lathe, const RingPoint& p) {
    std::vector<Vec3> ring;
    for (int k = 0; k < lathe.sides; ++k) {
        const float a = (lathe.phaseDegrees + 360.0f * k / lathe.sides) * Pi / 180.0f;
        ring.push_back(Apply(at, {p.radius * std::cos(a), p.radius * lathe.scaleY * std::sin(a), p.z}));
    }
    return ring;
}

float Hash01(int n, int seed) {
    uint32_t h = static_cast<uint32_t>(n) * 374761393u + static_cast<uint32_t>(seed) * 668265263u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return ((h ^ (h >> 16)) & 0xFFFF) / 65535.0f;
}

struct Icosphere {
    std::vector<Vec3> points;  // on the unit sphere
    std::vector<int> faces;    // three per face
};

Icosphere MakeIcosahedron() {
    const float t = (1.0f + std::sqrt(5.0f)) / 2.0f;
    Icosphere s;
    const Vec3 corners[12] = {{-1, t, 0}, {1, t, 0}, {-1, -t, 0}, {1, -t, 0}, {0, -1, t}, {0, 1, t},
                              {0, -1, -t}, {0, 1, -t}, {t, 0, -1}, {t, 0, 1}, {-t, 0, -1}, {-t, 0, 1}};
    for (const Vec3& c : corners) s.points.push_back(Normalized(c));
    s.faces = {0, 11, 5, 0, 5, 1, 0, 1, 7, 0, 7, 10, 0, 10, 11, 1, 5, 9, 5, 11, 4, 11, 10, 2, 10, 7, 6, 7, 1, 8,
               3, 9, 4, 3, 4, 2, 3, 2, 6, 3, 6, 8, 3, 8, 9, 4, 9, 5, 2, 4, 11, 6, 2, 10, 8, 6, 7, 9, 8, 1};
    return s;
}

void Split(Icosphere& s) {
    std::map<std::pair<int, int>, int> middles;
    auto middle = [&](int a, int b) {
        auto key = std::minmax(a, b);
        auto found = middles.find(key);
        if (found != middles.end()) return found->second;
        s.points.push_back(Normalized(s.points[a] + s.points[b]));
        return middles[key] = static_cast<int>(s.points.size()) - 1;
    };
    std::vector<int> faces;
    for (size_t f = 0; f < s.faces.size(); f += 3) {
        const int a = s.faces[f], b = s.faces[f + 1], c = s.faces[f + 2];
        const int ab = middle(a, b), bc = middle(b, c), ca = middle(c, a);
        faces.insert(faces.end(), {a, ab, ca, b, bc, ab, c, ca, bc, ab, bc, ca});
    }
    s.faces = faces;
}

}  // namespace

void Box(MeshBuilder& mesh, const Frame& at, Vec3 lo, Vec3 hi, const Paint& paint, bool bottom) {
    auto P = [&](float x, float y, float z) { return Apply(at, {x, y, z}); };
    mesh.Polygon({P(lo.x, lo.y, hi.z), P(hi.x, lo.y, hi.z), P(hi.x, hi.y, hi.z), P(lo.x, hi.y, hi.z)}, paint);
    mesh.Polygon({P(hi.x, lo.y, lo.z), P(hi.x, hi.y, lo.z), P(hi.x, hi.y, hi.z), P(hi.x, lo.y, hi.z)}, paint);
    mesh.Polygon({P(lo.x, hi.y, lo.z), P(lo.x, lo.y, lo.z), P(lo.x, lo.y, hi.z), P(lo.x, hi.y, hi.z)}, paint);
    mesh.Polygon({P(hi.x, hi.y, lo.z), P(lo.x, hi.y, lo.z), P(lo.x, hi.y, hi.z), P(hi.x, hi.y, hi.z)}, paint);
    mesh.Polygon({P(lo.x, lo.y, lo.z), P(hi.x, lo.y, lo.z), P(hi.x, lo.y, hi.z), P(lo.x, lo.y, hi.z)}, paint);
    if (bottom)
        mesh.Polygon({P(lo.x, hi.y, lo.z), P(hi.x, hi.y, lo.z), P(hi.x, lo.y, lo.z), P(lo.x, lo.y, lo.z)}, paint);
}

void AddLathe(MeshBuilder& mesh, const Frame& at, const Lathe& lathe, const Paint& paint) {
    std::vector<std::vector<Vec3>> rings;
    for (const RingPoint& p : lathe.profile) rings.push_back(Ring(at, lathe, p));
    for (size_t i = 0; i + 1 < rings.size(); ++i)
        for (int k = 0; k < lathe.sides; ++k) {
            const int next = (k + 1) % lathe.sides;
            mesh.Polygon({rings[i][k], rings[i][next], rings[i + 1][next], rings[i + 1][k]}, paint);
        }
    if (lathe.capTop && lathe.profile.back().radius > 0) mesh.Polygon(rings.back(), paint);
    if (lathe.capBottom && lathe.profile.front().radius > 0)
        mesh.Polygon(std::vector<Vec3>(rings.front().rbegin(), rings.front().rend()), paint);
}

void Column(MeshBuilder& mesh, const Frame& at, float radius, float topRadius, float height, int sides,
            const Paint& paint) {
    Lathe lathe;
    lathe.profile = {{radius, 0}, {topRadius, height}};
    lathe.sides = sides;
    AddLathe(mesh, at, lathe, paint);
}

void AddBlob(MeshBuilder& mesh, const Frame& at, const Blob& blob, const Paint& paint) {
    Icosphere s = MakeIcosahedron();
    for (int i = 0; i < blob.splits; ++i) Split(s);
    std::vector<Vec3> points, normals;
    for (size_t i = 0; i < s.points.size(); ++i) {
        const Vec3 u = s.points[i];
        const float bump = 1.0f + blob.roughness * (2.0f * Hash01(static_cast<int>(i), blob.seed) - 1.0f);
        const Vec3 local = blob.centre + Vec3{u.x * blob.radii.x, u.y * blob.radii.y, u.z * blob.radii.z} * bump;
        points.push_back(Apply(at, local));
        normals.push_back(Normalized(ApplyDirection(at, {u.x / blob.radii.x, u.y / blob.radii.y, u.z / blob.radii.z})));
    }
    const Vec3 centre = Apply(at, blob.centre);
    for (size_t f = 0; f < s.faces.size(); f += 3) {
        int a = s.faces[f], b = s.faces[f + 1], c = s.faces[f + 2];
        const Vec3 middle = (points[a] + points[b] + points[c]) * (1.0f / 3.0f);
        if (Dot(Cross(points[b] - points[a], points[c] - points[a]), middle - centre) < 0) std::swap(b, c);
        const std::vector<Vec3> n = {normals[a], normals[b], normals[c]};
        mesh.Polygon({points[a], points[b], points[c]}, paint, blob.smooth ? &n : nullptr);
    }
}

void Slab(MeshBuilder& mesh, const Frame& at, const std::vector<Vec3>& outline, float z0, float z1, const Paint& paint) {
    std::vector<Vec3> top, bottom;
    Vec3 centre;
    for (const Vec3& p : outline) {
        top.push_back(Apply(at, {p.x, p.y, z1}));
        bottom.push_back(Apply(at, {p.x, p.y, z0}));
        centre = centre + p * (1.0f / outline.size());
    }
    const Vec3 middle = Apply(at, {centre.x, centre.y, (z0 + z1) / 2});
    mesh.PolygonAwayFrom(top, paint, middle);
    mesh.PolygonAwayFrom(bottom, paint, middle);
    for (size_t i = 0; i < outline.size(); ++i) {
        const size_t j = (i + 1) % outline.size();
        mesh.PolygonAwayFrom({bottom[i], bottom[j], top[j], top[i]}, paint, middle);
    }
}
