#include "MbmModel.h"

#include <cmath>
#include <cstdio>

namespace {

void Append(std::string& out, const std::string& keyword, const std::string& body) {
    out += keyword + " { " + body + " }\n";
}

std::string Join(const float* values, int count, int decimals) {
    std::string out;
    for (int i = 0; i < count; ++i) out += (i ? " " : "") + FormatFloat(values[i], decimals);
    return out;
}

// A byte b is read back as trunc(value * 255); b + 0.5 keeps the rounding of
// the written decimal from landing just under b.
std::string ColorValue(uint8_t byte) {
    return byte == 255 ? "1" : FormatFloat((byte + 0.5) / 255.0, 6);
}

std::string VertexLine(const ModelChunk& chunk, const ModelVertex& v) {
    const float pn[6] = {v.position.x, v.position.y, v.position.z, v.normal.x, v.normal.y, v.normal.z};
    std::string line = "    " + Join(pn, 3, 4) + " " + Join(pn + 3, 3, 4);
    if (chunk.kind == VertexKind::PNC) {
        for (uint8_t c : v.color) line += " " + ColorValue(c);
    } else {
        const float uv[2] = {v.u, v.v};
        line += " " + Join(uv, 2, 4);
    }
    return line + "\n";
}

void EncodeChunk(std::string& out, const ModelChunk& chunk) {
    out += "  Chunk {\n";
    if (!chunk.texture.empty()) out += "    TextureC { 0 " + chunk.texture + " }\n";
    out += "    Indices { " + std::to_string(chunk.indices.size()) + "\n     ";
    for (size_t i = 0; i < chunk.indices.size(); ++i)
        out += " " + std::to_string(chunk.indices[i]) + ((i % 3 == 2 && i + 1 < chunk.indices.size()) ? " " : "");
    out += "\n    }\n";
    out += std::string("    Vertices { ") + (chunk.kind == VertexKind::PNC ? "PNC " : "PNT2 ") +
           std::to_string(chunk.vertices.size()) + "\n";
    for (const ModelVertex& v : chunk.vertices) out += VertexLine(chunk, v);
    out += "    }\n  }\n";
}

void EncodeMesh(std::string& out, const ModelMesh& mesh) {
    out += "Mesh {\n  ";
    Append(out, "Name", mesh.name);
    for (const ModelChunk& chunk : mesh.chunks) EncodeChunk(out, chunk);
    out += "}\n";
}

void EncodeBone(std::string& out, const ModelBone& bone) {
    out += "Bone {\n  ";
    Append(out, "Name", bone.name);
    if (!bone.mesh.empty()) out += "  ", Append(out, "Mesh", bone.mesh);
    for (const std::string& child : bone.children) out += "  ", Append(out, "Child", child);
    const float pos[3] = {bone.local.t.x, bone.local.t.y, bone.local.t.z};
    out += "  ", Append(out, "ConnectPos", Join(pos, 3, 4));
    // The format lists the rotation column by column.
    const float* r = bone.local.r;
    const float columns[9] = {r[0], r[3], r[6], r[1], r[4], r[7], r[2], r[5], r[8]};
    out += "  ", Append(out, "ConnectRot", Join(columns, 9, 6));
    out += "}\n";
}

// FNV-1a, folded to 24 bits so that the value is an integer a float holds exactly.
uint32_t Hash24(const std::string& text) {
    uint32_t h = 2166136261u;
    for (unsigned char c : text) h = (h ^ c) * 16777619u;
    return ((h >> 24) ^ h) & 0xFFFFFF;
}

}  // namespace

std::string FormatFloat(double value, int decimals) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    std::string text = buffer;
    if (text.find('.') != std::string::npos) {
        while (text.back() == '0') text.pop_back();
        if (text.back() == '.') text.pop_back();
    }
    return text == "-0" ? "0" : text;
}

std::string EncodeMbm(const Model& model) {
    std::string body;
    for (const ModelMesh& mesh : model.meshes) EncodeMesh(body, mesh);
    for (const ModelBone& bone : model.bones) EncodeBone(body, bone);
    // Zero is kept free: an ID of 0 would look like a forgotten one.
    return "RandomID { " + std::to_string(Hash24(body) | 1) + " }\n" + body;
}
