// The made things of the village: lamps, furniture, the well, the boat.
#include <cmath>

#include "ItemModels.h"
#include "Shapes.h"

namespace {

const Frame Origin{};
const Paint Iron = Plain(0.17f, 0.18f, 0.2f);
const Paint DarkWood = Plain(0.38f, 0.26f, 0.15f);

Paint Wood(float scale = 1.5f) { return Textured("planks", scale); }

// A square post with a pointed cap.
void Post(MeshBuilder& mesh, Vec3 foot, float half, float height, const Paint& paint) {
    Box(mesh, Origin, {foot.x - half, foot.y - half, foot.z}, {foot.x + half, foot.y + half, foot.z + height}, paint);
    Lathe cap;
    cap.profile = {{half * 1.42f, foot.z + height}, {0, foot.z + height + half * 2}};
    cap.sides = 4;
    cap.phaseDegrees = 45;
    AddLathe(mesh, Translation(foot.x, foot.y, 0), cap, paint);
}

void FourLegs(MeshBuilder& mesh, float x, float y, float half, float height, const Paint& paint) {
    for (float sx : {-x, x})
        for (float sy : {-y, y}) Box(mesh, Origin, {sx - half, sy - half, 0}, {sx + half, sy + half, height}, paint);
}

void AddFence(Assembly& model, const Frame& at) {
    MeshBuilder& mesh = model.AddBone("fence", "", at);
    Box(mesh, at, {-0.05f, -0.05f, 0}, {0.05f, 0.05f, 0.62f}, Wood());
    Lathe cap;
    cap.profile = {{0.071f, 0.62f}, {0, 0.72f}};
    cap.sides = 4;
    cap.phaseDegrees = 45;
    AddLathe(mesh, at, cap, Wood());
    // Rails reach the cell's edges, so a row of fences joins up.
    for (float z : {0.22f, 0.44f}) Box(mesh, at, {-0.5f, -0.025f, z}, {0.5f, 0.025f, z + 0.08f}, Wood(), true);
}

void AddChair(Assembly& model, const Frame& facing) {
    MeshBuilder& mesh = model.AddBone("chair", "", facing);
    const Paint wood = Wood();
    Box(mesh, facing, {-0.2f, -0.2f, 0.25f}, {0.2f, 0.2f, 0.29f}, wood, true);
    for (float x : {-0.17f, 0.17f})
        for (float y : {-0.17f, 0.17f}) Box(mesh, facing, {x - 0.025f, y - 0.025f, 0}, {x + 0.025f, y + 0.025f, 0.25f}, wood);
    // The back is on the -x side: the chair faces +x.
    for (float y : {-0.17f, 0.17f}) Box(mesh, facing, {-0.2f, y - 0.025f, 0.29f}, {-0.15f, y + 0.025f, 0.66f}, wood);
    for (float z : {0.42f, 0.56f}) Box(mesh, facing, {-0.2f, -0.15f, z}, {-0.16f, 0.15f, z + 0.07f}, wood, true);
}

// One side of a boat's hull between two stations, from the rim down to the
// chine, facing away from the middle of the boat (outside) or toward it.
struct Station {
    float x, rim, chine, bottom;  // half widths at the rim and the chine; keel height
};
const float RimZ = 0.3f, FloorZ = 0.13f;

const float Planking = 0.025f;  // hull thickness, inside to outside

Vec3 Rim(const Station& s, float side) { return {s.x, side * s.rim, RimZ}; }
Vec3 Inner(Vec3 p) { return {p.x, p.y > 0 ? std::max(0.0f, p.y - Planking) : std::min(0.0f, p.y + Planking), p.z}; }
Vec3 Chine(const Station& s, float side) { return {s.x, side * s.chine, s.bottom + 0.04f}; }
Vec3 AtFloor(const Station& s, float side) {
    const float t = (RimZ - FloorZ) / (RimZ - s.bottom - 0.04f);
    return Rim(s, side) + (Chine(s, side) - Rim(s, side)) * std::min(t, 1.0f);
}

}  // namespace

Model MakeLampPost() {
    Assembly model("lamppost.mbm");
    MeshBuilder& post = model.AddBone("post");
    Box(post, Origin, {-0.16f, -0.16f, 0}, {0.16f, 0.16f, 0.16f}, Textured("masonry", 2.5f));
    Lathe pole;
    pole.profile = {{0.09f, 0.16f}, {0.07f, 0.24f}, {0.045f, 0.32f}, {0.04f, 1.56f}, {0.07f, 1.62f}};
    AddLathe(post, Origin, pole, Iron);

    MeshBuilder& head = model.AddBone("lantern", "post", Translation(0, 0, 1.62f));
    const Frame at = model.World("lantern");
    Lathe tray;
    tray.profile = {{0.05f, 0}, {0.12f, 0.04f}};
    tray.sides = 4;
    tray.phaseDegrees = 45;
    AddLathe(head, at, tray, Iron);
    Paint glow = Plain(1.0f, 0.86f, 0.48f);
    glow.shaded = false;
    Lathe glass;
    glass.profile = {{0.1f, 0.04f}, {0.13f, 0.24f}};
    glass.sides = 4;
    glass.phaseDegrees = 45;
    glass.capTop = false;
    AddLathe(head, at, glass, glow);
    Lathe roof;
    roof.profile = {{0.12f, 0.24f}, {0.18f, 0.24f}, {0, 0.38f}};
    roof.sides = 4;
    roof.phaseDegrees = 45;
    AddLathe(head, at, roof, Iron);
    Column(head, Compose(at, Translation(0, 0, 0.38f)), 0.02f, 0, 0.07f, 4, Iron);
    return model.Finish();
}

Model MakeWell() {
    Assembly model("well.mbm");
    MeshBuilder& well = model.AddBone("well");
    Lathe wall;
    wall.profile = {{0.46f, 0}, {0.46f, 0.5f}, {0.36f, 0.5f}, {0.36f, 0.18f}};
    wall.sides = 10;
    wall.capTop = false;
    AddLathe(well, Origin, wall, Textured("masonry", 2.5f));
    Paint water = Plain(0.2f, 0.36f, 0.55f);
    water.shaded = false;
    std::vector<Vec3> surface;
    for (int k = 0; k < 10; ++k) {
        const float a = k * 3.14159265f / 5;
        surface.push_back({0.36f * std::cos(a), 0.36f * std::sin(a), 0.22f});
    }
    well.Polygon(surface, water);
    for (float x : {-0.41f, 0.41f}) Box(well, Origin, {x - 0.035f, -0.04f, 0.3f}, {x + 0.035f, 0.04f, 1.08f}, Wood());
    Column(well, Compose(Translation(-0.44f, 0, 0.88f), RotationY(90)), 0.035f, 0.035f, 0.88f, 6, DarkWood);

    MeshBuilder& roof = model.AddBone("roof", "well", Translation(0, 0, 1.05f));
    const Frame at = model.World("roof");
    const Paint tiles = Textured("shingles", 2.0f), boards = Wood();
    auto P = [&](float x, float y, float z) { return Apply(at, {x, y, z}); };
    // Tiles on top, boards a little lower underneath, and the eaves' edge between them.
    const float thick = 0.03f;
    for (float side : {-1.0f, 1.0f}) {
        auto slope = [&](float drop) {
            return std::vector<Vec3>{P(-0.52f, side * 0.4f, -drop), P(0.52f, side * 0.4f, -drop), P(0.52f, 0, 0.32f - drop),
                                     P(-0.52f, 0, 0.32f - drop)};
        };
        roof.PolygonAwayFrom(slope(0), tiles, P(0, 0, -1));
        roof.PolygonFacing(slope(thick), boards, P(0, 0, -1));
        roof.PolygonAwayFrom({P(-0.52f, side * 0.4f, 0), P(0.52f, side * 0.4f, 0), P(0.52f, side * 0.4f, -thick),
                              P(-0.52f, side * 0.4f, -thick)},
                             boards, P(0, 0, 0));
        for (float end : {-0.52f, 0.52f})
            roof.PolygonAwayFrom({P(end, side * 0.4f, 0), P(end, 0, 0.32f), P(end, 0, 0.32f - thick), P(end, side * 0.4f, -thick)},
                                 boards, P(0, 0, 0.1f));
        const std::vector<Vec3> gable = {P(side * 0.5f, -0.4f, -thick), P(side * 0.5f, 0.4f, -thick), P(side * 0.5f, 0, 0.32f - thick)};
        roof.PolygonAwayFrom(gable, boards, P(0, 0, 0.1f));
    }

    MeshBuilder& bucket = model.AddBone("bucket", "well", Translation(0, 0, 0.62f));
    const Frame hang = model.World("bucket");
    Lathe pail;
    pail.profile = {{0.07f, 0}, {0.09f, 0.13f}, {0.08f, 0.13f}, {0.08f, 0.03f}};
    pail.capBottom = true;
    AddLathe(bucket, hang, pail, Textured("staves", 3.0f));
    Column(bucket, Compose(hang, Translation(0, 0, 0.13f)), 0.01f, 0.01f, 0.13f, 4, Plain(0.7f, 0.62f, 0.45f));
    return model.Finish();
}

Model MakeTable() {
    Assembly model("table.mbm");
    MeshBuilder& mesh = model.AddBone("table");
    Box(mesh, Origin, {-0.4f, -0.3f, 0.42f}, {0.4f, 0.3f, 0.48f}, Wood(), true);
    FourLegs(mesh, 0.33f, 0.23f, 0.03f, 0.42f, Wood());
    return model.Finish();
}

Model MakeChair() {
    Assembly model("chair.mbm");
    AddChair(model, Origin);
    return model.Finish();
}

Model MakeChairFacingWest() {
    Assembly model("chair_w.mbm");
    AddChair(model, RotationZ(180));
    return model.Finish();
}

Model MakeBed() {
    Assembly model("bed.mbm");
    MeshBuilder& mesh = model.AddBone("bed");
    Box(mesh, Origin, {-0.28f, -0.45f, 0.08f}, {0.28f, 0.43f, 0.2f}, Wood());
    FourLegs(mesh, 0.25f, 0.4f, 0.03f, 0.08f, Wood());
    Box(mesh, Origin, {-0.3f, 0.43f, 0}, {0.3f, 0.48f, 0.55f}, Wood());
    Box(mesh, Origin, {-0.3f, -0.48f, 0}, {0.3f, -0.45f, 0.34f}, Wood());
    Box(mesh, Origin, {-0.26f, -0.44f, 0.2f}, {0.26f, 0.42f, 0.28f}, Plain(0.92f, 0.9f, 0.84f));
    Box(mesh, Origin, {-0.27f, -0.45f, 0.21f}, {0.27f, 0.12f, 0.3f}, Plain(0.3f, 0.42f, 0.72f));
    Box(mesh, Origin, {-0.18f, 0.22f, 0.28f}, {0.18f, 0.39f, 0.35f}, Plain(0.97f, 0.97f, 0.95f));
    return model.Finish();
}

Model MakeBarrel() {
    Assembly model("barrel.mbm");
    MeshBuilder& mesh = model.AddBone("barrel");
    Lathe body;
    body.profile = {{0.22f, 0}, {0.27f, 0.18f}, {0.285f, 0.35f}, {0.27f, 0.52f}, {0.22f, 0.7f}, {0.2f, 0.7f}, {0.2f, 0.66f}};
    body.sides = 10;
    AddLathe(mesh, Origin, body, Textured("staves", 2.0f));
    // Hoops reach into the staves, so no gap shows between them.
    for (float z : {0.1f, 0.56f}) {
        Lathe hoop;
        hoop.profile = {{0.24f, z}, {0.268f, z}, {0.276f, z + 0.05f}, {0.24f, z + 0.05f}};
        hoop.sides = 10;
        hoop.capTop = false;
        AddLathe(mesh, Origin, hoop, Iron);
    }
    return model.Finish();
}

Model MakeCrate() {
    Assembly model("crate.mbm");
    MeshBuilder& mesh = model.AddBone("crate");
    Box(mesh, Origin, {-0.27f, -0.27f, 0}, {0.27f, 0.27f, 0.54f}, Wood(1.8f));
    for (float x : {-0.27f, 0.27f})
        for (float y : {-0.27f, 0.27f}) Box(mesh, Origin, {x - 0.03f, y - 0.03f, 0}, {x + 0.03f, y + 0.03f, 0.56f}, DarkWood);
    for (float y : {-0.28f, 0.28f}) Box(mesh, Origin, {-0.26f, y - 0.015f, 0.49f}, {0.26f, y + 0.015f, 0.55f}, DarkWood);
    for (float x : {-0.28f, 0.28f}) Box(mesh, Origin, {x - 0.015f, -0.26f, 0.49f}, {x + 0.015f, 0.26f, 0.55f}, DarkWood);
    return model.Finish();
}

Model MakeSignpost() {
    Assembly model("signpost.mbm");
    MeshBuilder& post = model.AddBone("post");
    Post(post, {0, 0, 0}, 0.045f, 1.22f, Wood());
    // Two arrows turned on their own bones, pointing different ways.
    const std::vector<Vec3> arrow = {{0.04f, -0.08f, 0}, {0.5f, -0.08f, 0}, {0.6f, 0, 0}, {0.5f, 0.08f, 0}, {0.04f, 0.08f, 0}};
    const struct {
        const char* name;
        float height, turn;
    } arms[] = {{"arrow_east", 1.08f, 20}, {"arrow_north", 0.86f, 115}};
    for (const auto& arm : arms) {
        Frame local = Compose(Translation(0, 0, arm.height), RotationZ(arm.turn));
        MeshBuilder& mesh = model.AddBone(arm.name, "post", local);
        Slab(mesh, Compose(model.World(arm.name), RotationX(90)), arrow, -0.02f, 0.02f, Textured("planks", 2.0f));
    }
    return model.Finish();
}

Model MakeBench() {
    Assembly model("bench.mbm");
    MeshBuilder& mesh = model.AddBone("bench");
    for (float y : {-0.14f, -0.04f, 0.06f}) Box(mesh, Origin, {-0.45f, y, 0.26f}, {0.45f, y + 0.085f, 0.3f}, Wood(), true);
    for (float z : {0.4f, 0.52f}) Box(mesh, Origin, {-0.45f, 0.17f, z}, {0.45f, 0.2f, z + 0.08f}, Wood(), true);
    for (float x : {-0.4f, 0.4f}) {
        Box(mesh, Origin, {x - 0.025f, -0.15f, 0}, {x + 0.025f, -0.11f, 0.26f}, Iron);
        Box(mesh, Origin, {x - 0.025f, 0.15f, 0}, {x + 0.025f, 0.2f, 0.62f}, Iron);
        Box(mesh, Origin, {x - 0.025f, -0.16f, 0.38f}, {x + 0.025f, 0.15f, 0.42f}, Iron, true);
        Box(mesh, Origin, {x - 0.025f, -0.15f, 0.3f}, {x + 0.025f, -0.11f, 0.38f}, Iron);
    }
    return model.Finish();
}

Model MakeFence() {
    Assembly model("fence.mbm");
    AddFence(model, Origin);
    return model.Finish();
}

// The same fence, turned a quarter round on its top bone.
Model MakeFenceAlongY() {
    Assembly model("fence_y.mbm");
    AddFence(model, RotationZ(90));
    return model.Finish();
}

Model MakeChest() {
    Assembly model("chest.mbm");
    MeshBuilder& mesh = model.AddBone("chest");
    const Paint oak = Textured("oak", 2.0f);
    Box(mesh, Origin, {-0.3f, -0.2f, 0}, {0.3f, 0.2f, 0.3f}, oak);
    Lathe lid;
    lid.profile = {{0.2f, 0}, {0.2f, 0.6f}};
    lid.sides = 8;
    lid.phaseDegrees = 22.5f;
    lid.capBottom = true;
    AddLathe(mesh, Compose(Translation(-0.3f, 0, 0.3f), RotationY(90)), lid, oak);
    for (float x : {-0.2f, 0.2f}) {
        Box(mesh, Origin, {x - 0.025f, -0.205f, 0}, {x + 0.025f, 0.205f, 0.3f}, Iron);
        Lathe band;
        band.profile = {{0.206f, 0}, {0.206f, 0.05f}};
        band.sides = 8;
        band.phaseDegrees = 22.5f;
        band.capTop = false;
        AddLathe(mesh, Compose(Translation(x - 0.025f, 0, 0.3f), RotationY(90)), band, Iron);
    }
    // The clasp is a bone of its own without wood, so a wood replacement
    // finds the chest's own mesh.
    MeshBuilder& clasp = model.AddBone("clasp", "chest", Translation(0, 0.2f, 0.3f));
    Box(clasp, model.World("clasp"), {-0.04f, -0.005f, -0.09f}, {0.04f, 0.025f, 0.04f}, Plain(0.86f, 0.68f, 0.26f));
    return model.Finish();
}

Model MakeStatue() {
    Assembly model("statue.mbm");
    MeshBuilder& plinth = model.AddBone("plinth");
    Box(plinth, Origin, {-0.32f, -0.32f, 0}, {0.32f, 0.32f, 0.12f}, Textured("masonry", 2.5f));
    const Paint marble = Textured("marble", 2.0f);
    Box(plinth, Origin, {-0.25f, -0.25f, 0.12f}, {0.25f, 0.25f, 0.45f}, marble);

    MeshBuilder& figure = model.AddBone("figure", "plinth", Translation(0, 0, 0.45f));
    const Frame at = model.World("figure");
    Lathe robe;
    robe.profile = {{0.17f, 0}, {0.13f, 0.45f}, {0.1f, 0.74f}, {0.16f, 0.8f}, {0.14f, 0.87f}, {0.05f, 0.91f}};
    robe.scaleY = 0.75f;
    AddLathe(figure, at, robe, marble);
    AddBlob(figure, at, {{0, 0, 1.02f}, {0.09f, 0.09f, 0.11f}, 1, 0.03f, 7}, marble);
    // One arm raised holding a star, one at the side.
    Column(figure, Compose(at, Compose(Translation(0.13f, 0, 0.82f), RotationY(25))), 0.04f, 0.03f, 0.42f, 5, marble);
    AddBlob(figure, at, {{0.32f, 0, 1.24f}, {0.06f, 0.06f, 0.06f}, 0, 0.3f, 9, false}, Plain(0.95f, 0.82f, 0.35f));
    Column(figure, Compose(at, Compose(Translation(-0.13f, 0, 0.82f), RotationY(-165))), 0.04f, 0.03f, 0.38f, 5, marble);
    return model.Finish();
}

Model MakeBoat() {
    Assembly model("boat.mbm");
    MeshBuilder& hull = model.AddBone("hull");
    const Station stations[] = {{-0.62f, 0.18f, 0.1f, 0.08f}, {-0.35f, 0.26f, 0.15f, 0.01f}, {0, 0.27f, 0.16f, 0},
                                {0.35f, 0.23f, 0.11f, 0.03f},  {0.68f, 0.001f, 0.001f, 0.2f}};
    const Paint planks = Textured("planks", 2.0f);
    const Vec3 middle{0, 0, 0.2f};
    for (size_t i = 0; i + 1 < std::size(stations); ++i) {
        const Station &a = stations[i], &b = stations[i + 1];
        const Vec3 inside{(a.x + b.x) / 2, 0, 0.2f};
        for (float side : {-1.0f, 1.0f}) {
            hull.PolygonAwayFrom({Rim(a, side), Rim(b, side), Chine(b, side), Chine(a, side)}, planks, inside);
            hull.PolygonFacing({Inner(Rim(a, side)), Inner(Rim(b, side)), Inner(AtFloor(b, side)), Inner(AtFloor(a, side))},
                               planks, inside);
            hull.PolygonFacing({Rim(a, side), Rim(b, side), Inner(Rim(b, side)), Inner(Rim(a, side))}, DarkWood, {0, 0, 1});
        }
        hull.PolygonAwayFrom({Chine(a, 1), Chine(b, 1), Chine(b, -1), Chine(a, -1)}, planks, middle);
    }
    const Station& stern = stations[0];
    hull.PolygonAwayFrom({Rim(stern, 1), Rim(stern, -1), Chine(stern, -1), Chine(stern, 1)}, planks, middle);
    const Vec3 transom{Planking, 0, 0};
    auto aft = [&](Vec3 p) { return Inner(p) + transom; };
    hull.PolygonFacing({aft(Rim(stern, 1)), aft(Rim(stern, -1)), aft(AtFloor(stern, -1)), aft(AtFloor(stern, 1))}, planks, middle);
    hull.PolygonFacing({Rim(stern, 1), Rim(stern, -1), aft(Rim(stern, -1)), aft(Rim(stern, 1))}, DarkWood, {0, 0, 1});
    std::vector<Vec3> floor;
    for (const Station& s : stations) floor.push_back(Inner(AtFloor(s, -1)));
    for (int i = static_cast<int>(std::size(stations)) - 1; i >= 0; --i) floor.push_back(Inner(AtFloor(stations[i], 1)));
    hull.PolygonFacing(floor, DarkWood, {0, 0, 1});
    for (float x : {-0.3f, 0.22f}) Box(hull, Origin, {x - 0.06f, -0.24f, 0.2f}, {x + 0.06f, 0.24f, 0.24f}, planks, true);

    MeshBuilder& oars = model.AddBone("oars", "hull", Compose(Translation(0, 0, 0.25f), RotationZ(8)));
    const Frame at = model.World("oars");
    const Paint oar = Plain(0.66f, 0.5f, 0.32f);
    for (float y : {-0.12f, 0.12f}) {
        Box(oars, at, {-0.5f, y - 0.015f, 0}, {0.3f, y + 0.015f, 0.03f}, oar, true);
        Box(oars, at, {0.3f, y - 0.05f, 0.005f}, {0.55f, y + 0.05f, 0.025f}, oar, true);
    }
    return model.Finish();
}
