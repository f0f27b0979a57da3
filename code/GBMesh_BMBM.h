// The binary model cache (".bmbm"): the RandomID of the text it was made
// from, then the bone tree in post-order, each bone's mesh record directly
// before its bone record, then an end byte. Records are read with bounds: a
// record that would run past the end fails the load.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace G {

class Model;

bool SaveMeshBMBM(const std::string& path, const Model& model);
bool LoadMeshBMBM(const std::string& path, bool readableMeshes, Model& model);
// The bytes after the RandomID.
bool DoLoadBMBMHierarchy(const uint8_t* bytes, size_t size, bool readableMeshes, Model& model);
// The RandomID at the head of a cache file; a number in [-1, 0] that almost
// never matches when there is no such file.
float ReadStoredRandomID(const std::string& path);

}  // namespace G
