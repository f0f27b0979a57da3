// Small ".mbm" texts written by the mesh and item tests: boxes, one chunk
// each, coloured (PNC) or textured (PNT2), and the bones that carry them.
#pragma once
#include <cstdio>
#include <string>
#include <vector>

namespace MeshTest {

struct Box {
    float cx = 0, cy = 0, cz = 0.5f;  // centre
    float hx = 0.3f, hy = 0.3f, hz = 0.5f;  // half sizes
};

inline std::string Num(float v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

// Six faces, four vertices each, wound clockwise seen from outside: through
// the game's camera that is what the item renderer keeps.
inline std::string BoxChunk(const Box& b, bool textured, float r, float g, float bl,
                            const std::string& texture = "") {
    const float n[6][3] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    std::string vertices, indices;
    for (int f = 0; f < 6; ++f) {
        // u x v = n: corners -u-v, +u-v, +u+v, -u+v run counter-clockwise seen from outside.
        float u[3], v[3];
        const int axis = f / 2;
        const float s = n[f][axis];
        const int a1 = (axis + 1) % 3, a2 = (axis + 2) % 3;
        for (int i = 0; i < 3; ++i) u[i] = v[i] = 0;
        u[a1] = 1;
        v[a2] = s;
        const float half[3] = {b.hx, b.hy, b.hz}, centre[3] = {b.cx, b.cy, b.cz};
        const float corner[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
        for (int c = 0; c < 4; ++c) {
            for (int i = 0; i < 3; ++i)
                vertices += Num(centre[i] + half[i] * (n[f][i] + corner[c][0] * u[i] + corner[c][1] * v[i])) + " ";
            vertices += Num(n[f][0]) + " " + Num(n[f][1]) + " " + Num(n[f][2]) + " ";
            if (textured)
                vertices += Num(corner[c][0] > 0 ? 1.f : 0.f) + " " + Num(corner[c][1] > 0 ? 1.f : 0.f) + "\n";
            else
                vertices += Num(r) + " " + Num(g) + " " + Num(bl) + " 1\n";
        }
        const int base = 4 * f;
        for (int k : {0, 2, 1, 0, 3, 2}) indices += std::to_string(base + k) + " ";
    }
    std::string chunk = "Chunk {\n";
    if (!texture.empty()) chunk += "TextureC { 0 " + texture + " }\n";
    chunk += "Vertices { " + std::string(textured ? "PNT2" : "PNC") + " 24\n" + vertices + "}\n";
    chunk += "Indices { 36 " + indices + "}\n}\n";
    return chunk;
}

inline std::string MeshText(const std::string& name, const std::string& chunks) {
    return "Mesh {\nName { " + name + " }\n" + chunks + "}\n";
}

inline std::string BoneText(const std::string& name, const std::string& mesh,
                            const std::vector<std::string>& children = {}, float x = 0, float y = 0,
                            float z = 0) {
    std::string text = "Bone {\nName { " + name + " }\n";
    if (!mesh.empty()) text += "Mesh { " + mesh + " }\n";
    for (const std::string& child : children) text += "Child { " + child + " }\n";
    text += "ConnectPos { " + Num(x) + " " + Num(y) + " " + Num(z) + " }\n}\n";
    return text;
}

// One bone carrying one coloured box.
inline std::string ColouredBoxModel(float r, float g, float b, const Box& box = Box()) {
    return MeshText("box", BoxChunk(box, false, r, g, b)) + BoneText("root", "box");
}

}  // namespace MeshTest
