// GLSL programs made from text files: an optional vertex and an optional
// fragment stage, each compiled with the common base file in front, linked
// into one program. Reports go to "_shaders.txt". Without shader support in
// the driver every operation quietly does nothing and drawing stays on the
// fixed-function pipeline.
#pragma once
#include <cstdint>
#include <string>

namespace G {

struct SShaderApiData {
    uint32_t program = 0;
    uint32_t vertexShader = 0;
    uint32_t fragmentShader = 0;
};

class Shader {
public:
    Shader();
    ~Shader();
    Shader(const Shader&) = delete;
    Shader& operator=(const Shader&) = delete;

    // `vertexName` + ".glsl_v" and `fragmentName` + ".glsl_f"; either may be
    // empty, not both.
    bool Load(const std::string& vertexName, const std::string& fragmentName);
    void Free();
    void Set();
    bool IsLoaded() const { return loaded; }

    // Constants go to the program in use: Set the shader first.
    void SetConstant(const char* name, float x);
    void SetConstant(const char* name, float x, float y);
    void SetConstant(const char* name, float x, float y, float z);
    void SetConstant(const char* name, float x, float y, float z, float w);
    enum MatrixSize { Matrix2 = 2, Matrix3 = 3, Matrix4 = 4 };
    void SetConstant(const char* name, MatrixSize size, const float* values);

    const SShaderApiData& ApiData() const { return *api; }

private:
    SShaderApiData* api;
    bool loaded = false;
};

// Back to the fixed-function pipeline.
void UnsetShader();
Shader* CurrentShader();
// -1 when shaders are unavailable, the shader has no program or the program
// has no such constant (the last is reported).
int GetConstantLocation(const Shader* shader, const char* name);
// "ModelMatrix" and "ViewProjectionMatrix" of the current shader from the
// matrices as set; silent for shaders that do not use them.
void UpdateBuiltInConstants();

// The vertex and fragment names of every live shader's last Load, oldest
// first, so that shaders could be reloaded from their files.
struct ShaderRegistryEntry {
    const Shader* shader;
    std::string vertexName;
    std::string fragmentName;
};
const ShaderRegistryEntry* FindShaderRegistryEntry(const Shader* shader);

// The driver's info log with its line numbers moved back by `baseLines`, so
// that they count lines of the shader's own file. Understands "(5) ...",
// "0:5: ...", "0:5(12): ..." and "0(5) : ..."; other lines stay as they are.
std::string RewriteInfoLogLineNumbers(const std::string& log, int baseLines);

}  // namespace G
