#include "GBMesh_LoadMBM.h"

#include <cmath>
#include <cstring>
#include <list>

#include "CMemMan.h"
#include "CProfiler.h"
#include "FileUtil.h"
#include "GBMesh.h"
#include "GBMesh_BMBM.h"
#include "LogFile.h"
#include "Vary.h"

namespace G {

// --- Tokenizer ---------------------------------------------------------------------

MbmTokenizer::MbmTokenizer(std::string content) : text(std::move(content)) {}

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

bool OnlyOf(const std::string& token, const char* allowed) {
    return token.find_first_not_of(allowed) == std::string::npos;
}

}  // namespace

std::string MbmTokenizer::NextToken() {
    if (!pushedBack.empty()) return std::exchange(pushedBack, std::string());
    while (position < text.size() && IsBlank(text[position])) ++position;
    const size_t start = position;
    while (position < text.size() && !IsBlank(text[position])) ++position;
    std::string token = text.substr(start, position - start);
    if (token.empty()) endFlag = true;
    return token;
}

std::string MbmTokenizer::NextValue() {
    std::string token = NextToken();
    if (!token.empty() && (token[0] == '}' || token[0] == '{')) {
        ErrorLog << (token[0] == '}' ? "Error parsing mesh: unexpected }\n" : "Error parsing mesh: unexpected {\n");
        parseError = true;
    }
    return token;
}

int32_t MbmTokenizer::ReadInt() {
    std::string token = NextValue();
    if (!OnlyOf(token, "0123456789-")) {
        ErrorLog << "Error parsing mesh: expected integer... but found: " << token << "\n";
        parseError = true;
    }
    return Vary(token).AsInt();
}

float MbmTokenizer::ReadFloat() {
    std::string token = NextValue();
    if (!OnlyOf(token, "0123456789.-e")) {
        ErrorLog << "Error parsing mesh: expected float... but found: " << token << "\n";
        parseError = true;
    }
    return Vary(token).AsFloat();
}

void MbmTokenizer::ReadVec3(float out[3]) {
    for (int i = 0; i < 3; ++i) out[i] = ReadFloat();
}

void MbmTokenizer::ReadMat3(float out[9]) {
    for (int i = 0; i < 9; ++i) out[i] = ReadFloat();
}

bool MbmTokenizer::ExpectOpen() {
    std::string token = NextToken();
    if (token == "{") return true;
    ErrorLog << "Error parsing mesh: expected {... but found: " << token << "\n";
    parseError = true;
    return false;
}

bool MbmTokenizer::ExpectClose() {
    std::string token = NextToken();
    if (token == "}") return true;
    ErrorLog << "Error parsing mesh: expected }... but found: " << token << "\n";
    parseError = true;
    return false;
}

bool MbmTokenizer::PeekBrace() {
    std::string token = NextToken();
    const bool brace = token == "{" || token == "}";
    pushedBack = token;
    return brace;
}

bool MbmTokenizer::SkipScope() {
    int depth = 0;
    bool opened = false;
    while (true) {
        std::string token = NextToken();
        if (endFlag) break;
        if (token == "{") {
            opened = true;
            ++depth;
        } else if (token == "}") {
            if (!opened) {
                ErrorLog << "Error parsing mesh: unexpected } while trying to skip scope.\n";
                parseError = true;
                return false;
            }
            if (--depth == 0) return true;
        }
    }
    if (opened) return true;
    ErrorLog << "Error parsing mesh: never found opening {, trying to skip scope.\n";
    parseError = true;
    return false;
}

std::string CachePathOf(const std::string& modelPath) { return "gen\\" + StripExtension(modelPath) + ".bmbm"; }

// --- Parser ------------------------------------------------------------------------

namespace {

struct BoneRecord {
    Bone* bone;
    std::string meshName;
    StringList childNames;
    bool hasParent = false;
};

struct VertexLayout {
    const char* token;
    uint32_t values, size;
    VertexFormat format;
};

const VertexLayout Layouts[] = {
    {"PNC", 10, 28,
     {{VertComponentType::Float3, VertComponentUse::Position},
      {VertComponentType::Float3, VertComponentUse::Normal},
      {VertComponentType::UByte4, VertComponentUse::Color}}},
    {"PNT2", 8, 32,
     {{VertComponentType::Float3, VertComponentUse::Position},
      {VertComponentType::Float3, VertComponentUse::Normal},
      {VertComponentType::Float2, VertComponentUse::TexCoord}}},
};

const int32_t MaxCount = 65535;

// The colour byte of a float 0..1; values no integer holds give 0 instead of
// an undefined conversion.
uint8_t ColorByte(float value) {
    const float scaled = value * 255.0f;
    if (!(scaled > -2147483648.0f && scaled < 2147483648.0f)) return 0;
    return uint8_t(int32_t(scaled) & 0xFF);
}

class MbmParser {
public:
    MbmParser(const std::string& path, bool readable, bool optimize, Model& model, std::string text)
        : tokens(std::move(text)), path(path), readable(readable), optimize(optimize), model(model) {}
    bool Run();

private:
    bool ParseFirstRandomID();
    void ParseMesh();
    void ParseChunk(Mesh& mesh);
    void ParseChunkItem(MeshChunk& chunk, const std::string& keyword, const std::string& meshName,
                        std::vector<uint16_t>& indices, uint32_t& vertexCount);
    void ParseIndices(MeshChunk& chunk, const std::string& meshName, std::vector<uint16_t>& indices);
    void ParseVertices(MeshChunk& chunk, uint32_t& vertexCount);
    void ParseTexture(MeshChunk& chunk, const std::string& keyword);
    void ParseBone();
    void ParseBoneItem(BoneRecord& record, const std::string& keyword);
    void CheckScale(const BoneRecord& record);
    bool CountFits(int32_t count, uint32_t valuesEach, const std::string& keyword);
    template <class Item>
    void Items(Item item);

    void ArrangeBones();
    Bone* FindTopBone();
    void AttachMeshes();
    bool Finish(Bone* top, bool cached);
    void FreeAll();

    MbmTokenizer tokens;
    const std::string& path;
    bool readable, optimize;
    Model& model;
    std::vector<BoneRecord> bones;
    std::list<Mesh> meshes;
    std::string errorStack;
    bool boneError = false, meshError = false;
};

// The items of a braced body, each handled by item(keyword); a body may be
// empty, and a file that ends inside it is an error.
template <class Item>
void MbmParser::Items(Item item) {
    if (!tokens.ExpectOpen()) return;
    if (tokens.PeekBrace()) {
        tokens.ExpectClose();
        return;
    }
    while (!tokens.parseError) {
        std::string keyword = tokens.NextValue();
        if (tokens.AtEnd() || tokens.parseError) break;
        item(keyword);
        if (tokens.PeekBrace()) {
            tokens.ExpectClose();
            return;
        }
        if (tokens.AtEnd()) break;
    }
    if (!tokens.parseError) tokens.ExpectClose();
}

bool MbmParser::CountFits(int32_t count, uint32_t valuesEach, const std::string& keyword) {
    // Every value takes a character and a separator (the last one may not).
    const uint64_t room = (uint64_t(tokens.Remaining()) + 1) / 2;
    if (count >= 0 && count <= MaxCount && uint64_t(count) * valuesEach <= room) return true;
    ErrorLog << "Error parsing mesh: count " << count << " in " << keyword << " of model " << path
             << " is negative, above 65535 or more than the rest of the file holds.\n";
    tokens.parseError = true;
    return false;
}

void MbmParser::ParseIndices(MeshChunk& chunk, const std::string& meshName, std::vector<uint16_t>& indices) {
    if (!tokens.ExpectOpen()) return;
    const int32_t count = tokens.ReadInt();
    if (!CountFits(count, 1, "Indices")) return;
    indices.clear();
    indices.reserve(size_t(count));
    for (int32_t i = 0; i < count && !tokens.AtEnd(); ++i) {
        const int32_t value = tokens.ReadInt();
        if (value < 0 || value > 65535)
            ErrorLog << "Bad.. loading index list from mesh.. an index is out of range (must be 0 to 65535).\n"
                     << "  -index value: " << value << "\n"
                     << "  -curMesh name: " << meshName << "\n";
        indices.push_back(uint16_t(value));
    }
    chunk.indices = IndexBuffer();
    if (!indices.empty() && chunk.indices.Create(uint16_t(indices.size()), false, false)) {
        IndexBufferLock lock(chunk.indices);
        uint16_t* out = nullptr;
        if (lock.GetPointer(out))
            std::memcpy(out, indices.data(), indices.size() * 2);
        else
            ReportWithStack("could not lock IB, trying to load mesh.\n");
    }
    tokens.ExpectClose();
}

void MbmParser::ParseVertices(MeshChunk& chunk, uint32_t& vertexCount) {
    if (!tokens.ExpectOpen()) return;
    const std::string type = tokens.NextValue();
    const int32_t count = tokens.ReadInt();
    const VertexLayout* layout = nullptr;
    for (const VertexLayout& candidate : Layouts)
        if (type == candidate.token) layout = &candidate;
    if (!layout) {
        ErrorLog << "Unsupported vertex type in Mesh.Chunk.Vertices: " << type << "\n";
        while (!tokens.PeekBrace() && !tokens.AtEnd()) tokens.NextToken();
        tokens.ExpectClose();
        return;
    }
    if (!CountFits(count, layout->values, "Vertices")) return;
    std::vector<uint8_t> bytes(size_t(count) * layout->size);
    for (int32_t v = 0; v < count && !tokens.AtEnd(); ++v) {
        float values[10];
        for (uint32_t i = 0; i < layout->values; ++i) values[i] = tokens.ReadFloat();
        uint8_t* out = bytes.data() + size_t(v) * layout->size;
        std::memcpy(out, values, 24);
        if (layout->values == 10)
            for (int c = 0; c < 4; ++c) out[24 + c] = ColorByte(values[6 + c]);
        else
            std::memcpy(out + 24, values + 6, 8);
    }
    vertexCount = uint32_t(count);
    chunk.vertices = VertexBuffer();
    // Readable while loading: the weld, the position mesh and the cache read
    // the buffers back.
    if (count > 0 && chunk.vertices.Create(uint32_t(count), layout->format, layout->size, false, false)) {
        VertexBufferLock lock(chunk.vertices);
        if (lock.GetPointer())
            std::memcpy(lock.GetPointer(), bytes.data(), bytes.size());
        else
            ReportWithStack("could not lock VB, trying to load mesh.\n");
    }
    tokens.ExpectClose();
}

void MbmParser::ParseTexture(MeshChunk& chunk, const std::string& keyword) {
    if (!tokens.ExpectOpen()) return;
    const int32_t stage = tokens.ReadInt();
    const std::string file = tokens.NextValue();
    tokens.ExpectClose();
    const std::string texturePath = DirectoryOf(path) + file;
    if (!IsContainedName(file)) {
        ErrorLog << "Warning: mesh(" << path << ") names a texture outside its folder: " << file << "\n";
        return;
    }
    if (stage != 0 && stage != 1) {
        ErrorLog << "Bad texture stage in " << keyword << " for texture " << texturePath << ": " << stage << "\n";
        return;
    }
    if (!chunk.textures[stage].Load(texturePath, keyword == "TextureB" ? 5 : 1, true, 0))
        ErrorLog << "Note: mesh(" << path << ") failed to load texture: " << texturePath << "\n";
}

void MbmParser::ParseChunkItem(MeshChunk& chunk, const std::string& keyword, const std::string& meshName,
                               std::vector<uint16_t>& indices, uint32_t& vertexCount) {
    if (keyword == "Indices") {
        ParseIndices(chunk, meshName, indices);
    } else if (keyword == "Vertices") {
        ParseVertices(chunk, vertexCount);
    } else if (keyword == "TextureC" || keyword == "TextureB") {
        ParseTexture(chunk, keyword);
    } else {
        ErrorLog << "Warning parsing mesh: unknown Mesh.Chunk sub-construct: " << keyword << "\n";
        tokens.SkipScope();
    }
}

void MbmParser::ParseChunk(Mesh& mesh) {
    mesh.Data()->chunks.emplace_back();
    MeshChunk& chunk = mesh.Data()->chunks.back();
    std::vector<uint16_t> indices;
    uint32_t vertexCount = 0;
    Items([&](const std::string& keyword) {
        ParseChunkItem(chunk, keyword, mesh.Name(), indices, vertexCount);
        if (tokens.parseError) errorStack += keyword + " ";
    });
    // An index past the vertices would have the GPU read outside the buffer.
    if (tokens.parseError) return;
    for (uint16_t index : indices)
        if (index >= vertexCount) {
            ErrorLog << "Error: index " << int(index) << " in a chunk of Mesh(" << mesh.Name() << ") of model "
                     << path << " is past the chunk's " << vertexCount << " vertices.\n";
            meshError = true;
            return;
        }
}

void MbmParser::ParseMesh() {
    meshes.emplace_back();
    Mesh& mesh = meshes.back();
    mesh.Create();
    if (!mesh.Data()) return;
    Items([&](const std::string& keyword) {
        if (keyword == "Name") {
            if (tokens.ExpectOpen()) {
                mesh.Data()->name = tokens.NextValue();
                tokens.ExpectClose();
            }
        } else if (keyword == "Chunk") {
            ParseChunk(mesh);
        } else {
            ErrorLog << "Warning parsing mesh: unknown Mesh sub-construct: " << keyword << "\n";
            tokens.SkipScope();
        }
        if (tokens.parseError) errorStack += keyword + " Mesh(name=" + mesh.Name() + ")    ";
    });
}

void MbmParser::CheckScale(const BoneRecord& record) {
    const float* r = record.bone->Rotation();
    for (int row = 0; row < 3; ++row) {
        const float length = std::sqrt(r[3 * row] * r[3 * row] + r[3 * row + 1] * r[3 * row + 1] +
                                       r[3 * row + 2] * r[3 * row + 2]);
        if (length < 0.998f || length > 1.002f) {
            ErrorLog << "Warning: Bone \"" << record.bone->name << "\" in model \"" << path
                     << "\" has a scale component in its rotation.\n";
            return;
        }
    }
}

void MbmParser::ParseBoneItem(BoneRecord& record, const std::string& keyword) {
    const bool known = keyword == "Name" || keyword == "Mesh" || keyword == "Child" || keyword == "ConnectPos" ||
                       keyword == "ConnectRot";
    if (!known) {
        ErrorLog << "Warning parsing mesh: unknown Bone sub-construct: " << keyword << "\n";
        tokens.SkipScope();
        return;
    }
    if (!tokens.ExpectOpen()) return;
    if (keyword == "Name") {
        record.bone->name = tokens.NextValue();
    } else if (keyword == "Mesh") {
        record.meshName = tokens.NextValue();
    } else if (keyword == "Child") {
        record.childNames.push_back(tokens.NextValue());
    } else if (keyword == "ConnectPos") {
        float p[3];
        tokens.ReadVec3(p);
        record.bone->SetPosition(p[0], p[1], p[2]);
    } else {
        // Given column by column.
        float read[9], rotation[9];
        tokens.ReadMat3(read);
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) rotation[3 * r + c] = read[3 * c + r];
        record.bone->SetRotation(rotation, true);
        CheckScale(record);
    }
    tokens.ExpectClose();
}

void MbmParser::ParseBone() {
    Bone* bone = new2(Bone, Bone);
    if (!bone) return;
    bones.push_back({bone, "", {}, false});
    const size_t index = bones.size() - 1;
    Items([&](const std::string& keyword) { ParseBoneItem(bones[index], keyword); });
}

bool MbmParser::ParseFirstRandomID() {
    if (!tokens.ExpectOpen()) return false;
    const float id = tokens.ReadFloat();
    model.SetRandomID(id);
    const std::string cache = CachePathOf(path);
    if (!tokens.parseError && IsContainedName(path) && ReadStoredRandomID(cache) == id &&
        LoadMeshBMBM(cache, readable, model)) {
        // A cache without bones cannot stand for a text that has them.
        if (model.GetTopBone()) return true;
    }
    tokens.ExpectClose();
    return false;
}

bool IsAncestor(const Bone* candidate, const Bone* bone) {
    for (const Bone* b = bone; b; b = b->Parent())
        if (b == candidate) return true;
    return false;
}

void MbmParser::ArrangeBones() {
    for (BoneRecord& record : bones) {
        for (const std::string& child : record.childNames) {
            if (boneError) return;
            BoneRecord* found = nullptr;
            for (BoneRecord& candidate : bones)
                if (candidate.bone->name == child) {
                    found = &candidate;
                    break;
                }
            if (!found) {
                ErrorLog << "Bone(" << record.bone->name << ") asked for child \"" << child
                         << "\" that doesn't exist.\n";
                boneError = true;
            } else if (found->hasParent) {
                ErrorLog << "Bone(" << record.bone->name << ") asked for child \"" << child
                         << "\", but that child already has a parent(" << found->bone->name << ")\n";
                boneError = true;
            } else if (IsAncestor(found->bone, record.bone)) {
                ErrorLog << "Bone(" << record.bone->name << ") asked for child \"" << child
                         << "\", which would close a loop of bones.\n";
                boneError = true;
            } else {
                record.bone->AddChild(found->bone);
                found->hasParent = true;
            }
        }
    }
}

Bone* MbmParser::FindTopBone() {
    Bone* top = nullptr;
    for (const BoneRecord& record : bones) {
        if (record.hasParent) continue;
        if (!top) {
            top = record.bone;
            continue;
        }
        ErrorLog << "Error arranging bones: more than one bone with no parent was found.\n"
                 << "  -previosly found top-bone name: " << top->name << "\n"
                 << "  -other top bone found: " << record.bone->name << "\n";
        boneError = true;
    }
    return top;
}

void MbmParser::AttachMeshes() {
    for (BoneRecord& record : bones) {
        if (record.meshName.empty()) continue;
        const Mesh* found = nullptr;
        for (const Mesh& mesh : meshes)
            if (mesh.Name() == record.meshName) {
                found = &mesh;
                break;
            }
        if (found) {
            record.bone->mesh = *found;
        } else {
            ErrorLog << "Error attaching meshes to bones: Bone(" << record.bone->name << ") asked for Mesh("
                     << record.meshName << ") that couldn't be found.\n";
            meshError = true;
        }
    }
}

void MbmParser::FreeAll() {
    // Deleting a bone deletes its subtree: find every root before any goes.
    std::vector<Bone*> roots;
    for (BoneRecord& record : bones)
        if (!record.bone->Parent()) roots.push_back(record.bone);
    for (Bone* root : roots) delete2(root);
    bones.clear();
    meshes.clear();
}

bool MbmParser::Finish(Bone* top, bool cached) {
    if (tokens.parseError || boneError || meshError) {
        if (tokens.parseError)
            ErrorLog << "Errors occured parsing the file " << path << "\n  error stack: " << errorStack << "\n";
        if (boneError) ErrorLog << "Errors in bones of model file: " << path << "\n";
        if (meshError) ErrorLog << "Errors in meshes of model file: " << path << "\n";
        FreeAll();
        return false;
    }
    model.SetTopBone(top);
    for (Mesh& mesh : meshes) {
        if (optimize) Optimize(mesh);
        RebuildPositionsMesh(mesh);
    }
    if (cached) {
        if (IsContainedName(path))
            SaveMeshBMBM(CachePathOf(path), model);
        else
            ErrorLog << "Warning: no binary cache for " << path << ": its path leaves the game's folder.\n";
    }
    // Read back while loading; now the GPU may keep them where it likes.
    if (!readable)
        for (Mesh& mesh : meshes) MakeWriteOnly(mesh);
    return true;
}

bool MbmParser::Run() {
    bool first = true, cached = false;
    while (!tokens.AtEnd() && !tokens.parseError) {
        const std::string keyword = tokens.NextValue();
        if (tokens.AtEnd() || tokens.parseError) break;
        if (first && keyword != "RandomID")
            ErrorLog << "Warning: .mbm file (" << path
                     << "), first construct is not RandomID.  Binary version will not be cached.  Quit being lazy "
                        "if you want the game to load faster...\n";
        if (keyword == "RandomID" && first) {
            cached = true;
            if (ParseFirstRandomID()) return true;
        } else if (keyword == "RandomID") {
            ErrorLog << "Warning: .mbm file (" << path << "), RandomID is only valid as first construct in the file.\n";
            tokens.SkipScope();
        } else if (keyword == "Mesh") {
            ParseMesh();
        } else if (keyword == "Bone") {
            ParseBone();
        } else {
            ErrorLog << "Warning parsing mesh(" << path << "): unrecognized base construct: " << keyword << "\n";
            tokens.SkipScope();
        }
        first = false;
    }
    if (!tokens.parseError) ArrangeBones();
    Bone* top = FindTopBone();
    if (!tokens.parseError)
        for (const Mesh& mesh : meshes)
            if (mesh.Name().empty()) {
                ErrorLog << "Error: A Mesh has no name (and hence no way for a bone to use it) in model: " << path
                         << "\n";
                meshError = true;
            }
    if (!tokens.parseError && !boneError && !meshError) AttachMeshes();
    return Finish(top, cached);
}

bool ReadText(const std::string& path, std::string& text) {
    FILE* file = OpenFile(path, "rb");
    if (!file) return false;
    char block[4096];
    size_t got;
    while ((got = std::fread(block, 1, sizeof block, file)) > 0) text.append(block, got);
    std::fclose(file);
    return true;
}

}  // namespace

bool LoadMeshMBM(const std::string& path, bool readableMeshes, Model& model, bool optimize) {
    ProfileStart("Load Mesh (mbm or bmbm)", __FILE__);
    std::string text;
    bool loaded = false;
    if (!ReadText(path, text)) {
        ErrorLog << "Failed to open file: " << path << "\n";
    } else {
        MbmParser parser(path, readableMeshes, optimize, model, std::move(text));
        loaded = parser.Run();
    }
    ProfileStop("Load Mesh (mbm or bmbm)", __FILE__);
    return loaded;
}

}  // namespace G
