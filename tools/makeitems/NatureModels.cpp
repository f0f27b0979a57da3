// Plants and stones, and the placeholder.
#include <cmath>

#include "ItemModels.h"
#include "Shapes.h"

namespace {

const Frame Origin{};

Vec3 OnBlob(const Blob& b, float azimuthDegrees, float elevationDegrees) {
    const float a = azimuthDegrees * 3.14159265f / 180.0f, e = elevationDegrees * 3.14159265f / 180.0f;
    return b.centre + Vec3{b.radii.x * std::cos(a) * std::cos(e), b.radii.y * std::sin(a) * std::cos(e), b.radii.z * std::sin(e)};
}

// A tiny double cone: a berry or a flower's heart.
void Bead(MeshBuilder& mesh, Vec3 at, float radius, const Paint& paint) {
    Lathe bead;
    bead.profile = {{0, -radius}, {radius, 0}, {0, radius}};
    bead.sides = 4;
    AddLathe(mesh, Translation(at.x, at.y, at.z), bead, paint);
}

// Five petals round a heart, cupped a little, facing up.
void Blossom(MeshBuilder& mesh, Vec3 at, float size, const Paint& petals, float turnDegrees) {
    for (int i = 0; i < 5; ++i) {
        const Frame turn = Compose(Translation(at.x, at.y, at.z), RotationZ(turnDegrees + 72.0f * i));
        mesh.Polygon({Apply(turn, {0, 0, 0}), Apply(turn, {size * 0.5f, -size * 0.35f, size * 0.12f}),
                      Apply(turn, {size, 0, size * 0.3f}), Apply(turn, {size * 0.5f, size * 0.35f, size * 0.12f})},
                     petals);
    }
    Bead(mesh, at + Vec3{0, 0, 0.01f}, size * 0.25f, Plain(0.95f, 0.78f, 0.2f));
}

}  // namespace

Model MakePlaceholder() {
    Assembly model("placeholder.mbm");
    MeshBuilder& mesh = model.AddBone("placeholder");
    Paint label = Textured("placeholder");
    label.stretch = true;
    Box(mesh, Origin, {-0.25f, -0.25f, 0}, {0.25f, 0.25f, 0.5f}, label);
    return model.Finish();
}

Model MakeTree() {
    Assembly model("tree.mbm");
    MeshBuilder& trunk = model.AddBone("trunk");
    Lathe stem;
    stem.profile = {{0.16f, 0}, {0.11f, 0.35f}, {0.09f, 0.95f}, {0.06f, 1.3f}};
    stem.sides = 6;
    stem.capTop = false;
    const Paint bark = Textured("bark", 2.0f);
    AddLathe(trunk, Origin, stem, bark);
    Column(trunk, Compose(Translation(0, 0, 0.75f), RotationY(40)), 0.05f, 0.025f, 0.5f, 5, bark);
    Column(trunk, Compose(Translation(0, 0, 0.9f), Compose(RotationZ(130), RotationY(35))), 0.045f, 0.02f, 0.45f, 5, bark);

    MeshBuilder& crown = model.AddBone("crown", "trunk", Translation(0, 0, 1.35f));
    const Frame at = model.World("crown");
    AddBlob(crown, at, {{0, 0, 0.2f}, {0.62f, 0.6f, 0.5f}, 1, 0.12f, 1}, Plain(0.32f, 0.55f, 0.2f, 0.18f));
    AddBlob(crown, at, {{0.32f, 0.22f, -0.08f}, {0.38f, 0.38f, 0.32f}, 1, 0.15f, 2}, Plain(0.4f, 0.6f, 0.22f, 0.18f));
    AddBlob(crown, at, {{-0.3f, -0.22f, 0.02f}, {0.4f, 0.36f, 0.34f}, 1, 0.15f, 3}, Plain(0.26f, 0.47f, 0.18f, 0.18f));
    return model.Finish();
}

Model MakePine() {
    Assembly model("pine.mbm");
    MeshBuilder& mesh = model.AddBone("pine");
    Column(mesh, Origin, 0.1f, 0.07f, 0.5f, 6, Plain(0.36f, 0.24f, 0.15f));
    struct Tier {
        float bottom, radius, height;
    };
    const Tier tiers[] = {{0.35f, 0.62f, 0.85f}, {0.85f, 0.5f, 0.78f}, {1.35f, 0.37f, 0.95f}};
    for (int i = 0; i < 3; ++i) {
        Lathe cone;
        cone.profile = {{0.12f, tiers[i].bottom + 0.12f}, {tiers[i].radius, tiers[i].bottom}, {0, tiers[i].bottom + tiers[i].height}};
        cone.sides = 9;
        cone.phaseDegrees = 17.0f * i;
        AddLathe(mesh, Origin, cone, Plain(0.15f + 0.03f * i, 0.37f + 0.04f * i, 0.21f, 0.16f));
    }
    return model.Finish();
}

Model MakeBush() {
    Assembly model("bush.mbm");
    MeshBuilder& mesh = model.AddBone("bush");
    const Blob blobs[] = {{{0, 0, 0.24f}, {0.38f, 0.36f, 0.3f}, 1, 0.2f, 11},
                          {{0.24f, 0.14f, 0.18f}, {0.25f, 0.25f, 0.22f}, 1, 0.2f, 12},
                          {{-0.21f, 0.13f, 0.16f}, {0.26f, 0.24f, 0.2f}, 1, 0.2f, 13}};
    const Paint leaves[] = {Plain(0.22f, 0.44f, 0.19f, 0.2f), Plain(0.28f, 0.5f, 0.2f, 0.2f), Plain(0.2f, 0.4f, 0.2f, 0.2f)};
    for (int i = 0; i < 3; ++i) AddBlob(mesh, Origin, blobs[i], leaves[i]);
    const Paint berries = Plain(0.8f, 0.14f, 0.16f);
    const float where[][2] = {{-60, 30}, {10, 45}, {80, 20}, {150, 35}, {220, 15}, {300, 40}};
    for (const auto& w : where) Bead(mesh, OnBlob(blobs[0], w[0], w[1]), 0.035f, berries);
    return model.Finish();
}

Model MakeFlowers() {
    Assembly model("flowers.mbm");
    MeshBuilder& mesh = model.AddBone("flowers");
    const Paint leaf = Plain(0.25f, 0.52f, 0.2f, 0.15f);
    for (int i = 0; i < 6; ++i) {
        const Frame turn = RotationZ(60.0f * i + 15.0f);
        mesh.Polygon({Apply(turn, {0.02f, 0, 0.01f}), Apply(turn, {0.16f, -0.05f, 0.06f}), Apply(turn, {0.3f, 0, 0.1f}),
                      Apply(turn, {0.16f, 0.05f, 0.08f})},
                     leaf);
    }
    struct Flower {
        float x, y, height;
        Rgb color;
    };
    const Flower flowers[] = {{0, 0, 0.34f, {0.86f, 0.2f, 0.22f}},      {0.15f, 0.08f, 0.26f, {0.95f, 0.82f, 0.22f}},
                              {-0.12f, 0.14f, 0.3f, {0.62f, 0.36f, 0.82f}}, {-0.16f, -0.08f, 0.22f, {0.96f, 0.95f, 0.92f}},
                              {0.08f, -0.16f, 0.29f, {0.93f, 0.45f, 0.62f}}, {0.24f, -0.06f, 0.2f, {0.86f, 0.2f, 0.22f}},
                              {-0.02f, 0.24f, 0.24f, {0.95f, 0.82f, 0.22f}}};
    const Paint stem = Plain(0.3f, 0.55f, 0.22f);
    for (size_t i = 0; i < std::size(flowers); ++i) {
        const Flower& f = flowers[i];
        Column(mesh, Translation(f.x, f.y, 0), 0.012f, 0.01f, f.height, 3, stem);
        Blossom(mesh, {f.x, f.y, f.height}, 0.075f, Plain(f.color.r, f.color.g, f.color.b, 0.1f), 23.0f * i);
    }
    return model.Finish();
}

Model MakeRock() {
    Assembly model("rock.mbm");
    MeshBuilder& mesh = model.AddBone("rock");
    const Paint stone = Textured("rock", 2.0f);
    Blob big{{0, 0, 0.1f}, {0.42f, 0.34f, 0.3f}, 1, 0.22f, 3, false};
    Blob small{{0.3f, -0.25f, 0.02f}, {0.16f, 0.14f, 0.13f}, 0, 0.2f, 5, false};
    AddBlob(mesh, Origin, big, stone);
    AddBlob(mesh, Origin, small, stone);
    return model.Finish();
}
