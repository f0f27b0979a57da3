// Builds one mesh of a model from faces given in model space: plain faces
// (PNC) carry their colour, textured faces (PNT2) one chunk per material. The
// sun's light comes from the item shader, by the normals, as the model turns;
// only what the sun cannot give is baked into plain faces' colours: a little
// per-face variation and the darker contact with the ground.
#pragma once
#include <map>
#include <string>
#include <vector>

#include "MbmModel.h"

struct Rgb {
    float r = 1, g = 1, b = 1;
};

struct Paint {
    Rgb color;              // plain faces
    std::string material;   // textured when set: the file material.png
    float texScale = 1.5f;  // texture repeats per unit
    float jitter = 0;       // per-face colour variation of plain faces, 0..1
    bool stretch = false;   // the texture covers each face once (labels), instead of tiling
    bool shaded = true;     // false for things that glow: lantern glass, water
};

Paint Plain(float r, float g, float b, float jitter = 0);
Paint Textured(const std::string& material, float texScale = 1.5f);

std::string TextureName(const std::string& material);

// What the item shader's sun gives a vertex of this normal (unturned model).
float SunLight(Vec3 normal);

// Vector and frame helpers shared by the shape functions.
Vec3 operator+(Vec3 a, Vec3 b);
Vec3 operator-(Vec3 a, Vec3 b);
Vec3 operator*(Vec3 a, float s);
float Dot(Vec3 a, Vec3 b);
Vec3 Cross(Vec3 a, Vec3 b);
Vec3 Normalized(Vec3 a);
Vec3 Apply(const Frame& f, Vec3 p);
Vec3 ApplyDirection(const Frame& f, Vec3 d);
Frame Compose(const Frame& outer, const Frame& inner);
Frame Translation(float x, float y, float z);
Frame RotationZ(float degrees, Vec3 at = {});
Frame RotationX(float degrees, Vec3 at = {});
Frame RotationY(float degrees, Vec3 at = {});

class MeshBuilder {
public:
    // `bone` is where the carrying bone sits in the model: faces are given in
    // model space and stored relative to it.
    MeshBuilder(std::string name, const Frame& bone);

    // A convex polygon, counter-clockwise seen from its front (the file
    // stores its triangles the other way round, as the renderer wants). With
    // `normals` (one per point) the vertices carry those instead of the
    // face normal, for rounded shapes.
    void Polygon(const std::vector<Vec3>& points, const Paint& paint, const std::vector<Vec3>* normals = nullptr);
    // The same, turned to face toward or away from a point when needed.
    void PolygonFacing(std::vector<Vec3> points, const Paint& paint, Vec3 toward);
    void PolygonAwayFrom(std::vector<Vec3> points, const Paint& paint, Vec3 from);
    ModelMesh Finish() const;

private:
    ModelVertex PlainVertex(Vec3 p, Vec3 n, const Paint& paint, float faceTint) const;
    void TexturedFace(const std::vector<Vec3>& points, const std::vector<Vec3>& normals, Vec3 faceNormal,
                      const Paint& paint);
    void AddFace(ModelChunk& chunk, const std::vector<ModelVertex>& vertices);
    ModelChunk& ChunkFor(const std::string& texture, VertexKind kind);

    std::string name;
    Frame bone;
    std::map<std::string, ModelChunk> chunks;  // by texture; "" holds the plain faces
    int faceCount = 0;
};
