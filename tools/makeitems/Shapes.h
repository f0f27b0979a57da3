// The few solids every item is made of, added to a mesh in model space.
// `at` places the shape's own coordinates in the model.
#pragma once
#include <vector>

#include "MeshBuilder.h"

struct RingPoint {
    float radius, z;
};

// An axis-aligned box from `lo` to `hi`; the bottom face only when asked for,
// since most boxes stand on something.
void Box(MeshBuilder& mesh, const Frame& at, Vec3 lo, Vec3 hi, const Paint& paint, bool bottom = false);

// A solid of revolution round the z axis through a profile, bottom to top:
// `sides` faces round, the first one starting at `phaseDegrees`. A profile
// going up faces outward, one going down faces the axis (the inside of a ring).
struct Lathe {
    std::vector<RingPoint> profile;
    int sides = 8;
    float phaseDegrees = 0;
    bool capBottom = false, capTop = true;
    float scaleY = 1;  // squashes the ring into an ellipse
};
void AddLathe(MeshBuilder& mesh, const Frame& at, const Lathe& lathe, const Paint& paint);

// A cylinder or, with `topRadius` 0, a cone, standing on z = 0 of `at`.
void Column(MeshBuilder& mesh, const Frame& at, float radius, float topRadius, float height, int sides,
            const Paint& paint);

// A lumpy ellipsoid: an icosahedron split `splits` times (20 or 80 faces),
// each corner moved in or out by up to `roughness` of the radius. Smooth
// normals round it off; without them it is faceted.
struct Blob {
    Vec3 centre, radii;
    int splits = 1;
    float roughness = 0.15f;
    int seed = 1;
    bool smooth = true;
};
void AddBlob(MeshBuilder& mesh, const Frame& at, const Blob& blob, const Paint& paint);

// A flat plate: a convex outline in the shape's x-y plane (counter-clockwise
// seen from +z), from z0 up to z1.
void Slab(MeshBuilder& mesh, const Frame& at, const std::vector<Vec3>& outline, float z0, float z1, const Paint& paint);
