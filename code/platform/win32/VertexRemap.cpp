// The two calls of the mesh optimiser that the mesh unit uses, for the
// Windows build: Debian packages the library for Linux only, and its header
// (the same declarations) is all that crosses over. Vertices are compared
// byte for byte and numbered in the order of their first use, as the library
// does.
#include <meshoptimizer.h>

#include <cstring>
#include <string_view>
#include <unordered_map>

size_t meshopt_generateVertexRemap(unsigned int* destination, const unsigned int* indices, size_t index_count,
                                   const void* vertices, size_t vertex_count, size_t vertex_size) {
    const char* bytes = static_cast<const char*>(vertices);
    std::unordered_map<std::string_view, unsigned int> first;
    first.reserve(vertex_count);
    for (size_t i = 0; i < vertex_count; ++i) destination[i] = ~0u;
    unsigned int next = 0;
    for (size_t i = 0; i < index_count; ++i) {
        size_t vertex = indices ? indices[i] : i;
        if (destination[vertex] != ~0u) continue;
        auto found = first.emplace(std::string_view(bytes + vertex * vertex_size, vertex_size), next);
        destination[vertex] = found.first->second;
        if (found.second) ++next;
    }
    return next;
}

void meshopt_remapVertexBuffer(void* destination, const void* vertices, size_t vertex_count, size_t vertex_size,
                               const unsigned int* remap) {
    char* out = static_cast<char*>(destination);
    const char* in = static_cast<const char*>(vertices);
    for (size_t i = 0; i < vertex_count; ++i)
        if (remap[i] != ~0u) std::memcpy(out + size_t(remap[i]) * vertex_size, in + i * vertex_size, vertex_size);
}
