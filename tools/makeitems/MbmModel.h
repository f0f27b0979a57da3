// A model as the .mbm text format describes it: meshes of chunks, and bones
// that carry them. The generator builds models in memory and writes them out
// with EncodeMbm, so every file it writes is well-formed by construction.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct Vec3 {
    float x = 0, y = 0, z = 0;
};

// Vertex layouts of the format: position, normal, then a colour (PNC) or one
// texture coordinate pair (PNT2).
enum class VertexKind { PNC, PNT2 };

struct ModelVertex {
    Vec3 position, normal;
    uint8_t color[4] = {255, 255, 255, 255};  // PNC only
    float u = 0, v = 0;                       // PNT2 only
};

struct ModelChunk {
    VertexKind kind = VertexKind::PNC;
    std::string texture;  // stage 0 file name beside the model; PNT2 only
    std::vector<ModelVertex> vertices;
    std::vector<uint16_t> indices;  // three per triangle
};

struct ModelMesh {
    std::string name;
    std::vector<ModelChunk> chunks;
};

// A 3x3 rotation, row-major, and a translation: where a bone sits in its
// parent, or where a part sits in the model.
struct Frame {
    float r[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    Vec3 t;
};

struct ModelBone {
    std::string name, mesh;  // mesh empty when the bone carries none
    std::vector<std::string> children;
    Frame local;             // relative to the parent
};

struct Model {
    std::string fileName;    // e.g. "tree.mbm"
    std::vector<ModelMesh> meshes;
    std::vector<ModelBone> bones;  // the first one is the top bone
};

// The file text: RandomID first, then the meshes, then the bones. The
// RandomID is a hash of everything after it, so a changed model never
// matches a binary cache written for its earlier version.
std::string EncodeMbm(const Model& model);
// Floats as the format's reader accepts them: digits, "." and "-" only.
std::string FormatFloat(double value, int decimals);
