// The text model format (".mbm"): a tree of bones and the meshes they carry,
// written as keywords with braced bodies. A file whose first construct is a
// RandomID is cached in binary under "gen\" and read from there while the
// two ids agree.
#pragma once
#include <cstdint>
#include <string>

namespace G {

class Model;

// Whitespace-separated words of one file; a brace is a word of its own only
// when white space surrounds it. Every "Error parsing mesh" report sets the
// parse error flag.
class MbmTokenizer {
public:
    explicit MbmTokenizer(std::string text);

    std::string NextToken();
    // A token that begins with a brace is reported (and still returned).
    std::string NextValue();
    int32_t ReadInt();
    float ReadFloat();
    void ReadVec3(float out[3]);
    // Nine floats in reading order.
    void ReadMat3(float out[9]);
    bool ExpectOpen();
    bool ExpectClose();
    bool PeekBrace();
    bool SkipScope();

    bool AtEnd() const { return endFlag; }
    // Bytes not read yet: a bound on the values the rest can hold.
    size_t Remaining() const { return text.size() - position; }
    bool parseError = false;

private:
    std::string text;
    size_t position = 0;
    std::string pushedBack;
    bool endFlag = false;
};

// The model receives the top bone and the RandomID. Nothing stays allocated
// when it fails.
bool LoadMeshMBM(const std::string& path, bool readableMeshes, Model& model, bool optimize);

// "gen\" + the path without its extension + ".bmbm".
std::string CachePathOf(const std::string& modelPath);

}  // namespace G
