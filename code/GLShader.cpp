#include "GLShader.h"

#include <cctype>
#include <list>

#include "CMemMan.h"
#include "FileUtil.h"
#include "GLDevice.h"
#include "GLRender.h"
#include "LogFile.h"
#include "Math3D.h"
#include "StaticOrder.h"

namespace G {

namespace {

std::list<ShaderRegistryEntry> Registry STATIC_ORDER(STATIC_GRAPHICS);
Shader* Current = nullptr;
std::string BaseText STATIC_ORDER(STATIC_GRAPHICS);
bool ConstantWarning = true;

const char* const BaseFile = "data\\shaders\\glsl_base.glsl";

bool ShadersAvailable() { return IsInited() && Extensions.shadersAvailable; }

ShaderRegistryEntry* EntryOf(const Shader* shader) {
    for (ShaderRegistryEntry& entry : Registry)
        if (entry.shader == shader) return &entry;
    return nullptr;
}

// --- info-log line numbers -------------------------------------------------

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Digits from `at`; false when there are none (or too many to be a line number).
bool ReadNumber(const std::string& text, size_t& at, long& value) {
    size_t begin = at;
    value = 0;
    while (at < text.size() && IsDigit(text[at]) && at - begin < 9) value = value * 10 + (text[at++] - '0');
    return at > begin && (at >= text.size() || !IsDigit(text[at]));
}

// Where the line number of one driver message lies: [begin, end) of its digits.
bool FindLineNumber(const std::string& line, size_t& begin, size_t& end) {
    long value = 0;
    if (!line.empty() && line[0] == '(') {  // "(5) : ..."
        size_t at = 1;
        if (!ReadNumber(line, at, value) || at >= line.size() || line[at] != ')') return false;
        begin = 1;
        end = at;
        return true;
    }
    for (size_t p = 0; p < line.size(); ++p) {
        if (!IsDigit(line[p]) || (p > 0 && (std::isalnum(uint8_t(line[p - 1])) || line[p - 1] == '_'))) continue;
        size_t at = p;
        if (!ReadNumber(line, at, value) || at >= line.size()) continue;
        char separator = line[at];
        size_t numberBegin = at + 1, numberEnd = numberBegin;
        if ((separator != ':' && separator != '(') || !ReadNumber(line, numberEnd, value) ||
            numberEnd >= line.size())
            continue;
        char after = line[numberEnd];
        // "0:5: ..." and "0:5(12): ..." name source and line; so does "0(5) : ...".
        if ((separator == ':' && (after == ':' || after == '(')) || (separator == '(' && after == ')')) {
            begin = numberBegin;
            end = numberEnd;
            return true;
        }
    }
    return false;
}

std::string RewriteLine(const std::string& line, int baseLines) {
    size_t begin = 0, end = 0;
    if (!FindLineNumber(line, begin, end)) return line;
    long number = std::stol(line.substr(begin, end - begin));
    return line.substr(0, begin) + std::to_string(number - baseLines) + line.substr(end);
}

// --- compiling and linking -------------------------------------------------

int BaseLineCount() {
    int newlines = 0;
    for (char c : BaseText) newlines += c == '\n';
    return newlines + 1;
}

std::string InfoLog(GLhandleARB object, GLint length) {
    std::string log(size_t(length), '\0');
    GLsizei written = 0;
    Extensions.glGetInfoLogARB(object, length, &written, log.data());
    log.resize(size_t(written > 0 ? written : 0));
    return log;
}

void ReportToBoth(const std::string& text) {
    ErrorLog << text;
    ShaderLog << text;
}

GLhandleARB CompileFile(const std::string& fileName, GLenum type) {
    if (BaseText.empty()) BaseText = ReadWholeFile(BaseFile, false);
    std::string text = ReadWholeFile(fileName, false);
    if (text.empty()) {
        ReportToBoth("Can't compile shader " + fileName + " because the file dosen't exist.\n");
        return 0;
    }
    std::string source = BaseText + "\n" + text;
    GLhandleARB object = Extensions.glCreateShaderObjectARB(type);
    if (!object) {
        ReportToBoth("glCreateShaderObjectARB failed... so load failed on: " + fileName + "\n");
        return 0;
    }
    const GLcharARB* sources[1] = {source.c_str()};
    Extensions.glShaderSourceARB(object, 1, sources, nullptr);
    Extensions.glCompileShaderARB(object);
    GLint compiled = 0, logLength = 0;
    Extensions.glGetObjectParameterivARB(object, GL_OBJECT_COMPILE_STATUS_ARB, &compiled);
    Extensions.glGetObjectParameterivARB(object, GL_OBJECT_INFO_LOG_LENGTH_ARB, &logLength);
    if (!compiled || logLength >= 2) {
        ShaderLog << (compiled ? "Shader compiled: " : "Error(s) compiling shader: ") << fileName << "\n";
        if (logLength > 1)
            ShaderLog << RewriteInfoLogLineNumbers(InfoLog(object, logLength), BaseLineCount()) << "\n";
    }
    if (!compiled) {
        Extensions.glDeleteObjectARB(object);
        return 0;
    }
    return object;
}

GLhandleARB Link(GLhandleARB vertex, GLhandleARB fragment, const std::string& description) {
    GLhandleARB program = Extensions.glCreateProgramObjectARB();
    if (!program) {
        ErrorLog << "glCreateProgramObjectARB failed...\n";
        return 0;
    }
    if (vertex) Extensions.glAttachObjectARB(program, vertex);
    if (fragment) Extensions.glAttachObjectARB(program, fragment);
    Extensions.glLinkProgramARB(program);
    GLint linked = 0, logLength = 0;
    Extensions.glGetObjectParameterivARB(program, GL_OBJECT_LINK_STATUS_ARB, &linked);
    Extensions.glGetObjectParameterivARB(program, GL_OBJECT_INFO_LOG_LENGTH_ARB, &logLength);
    if (!linked || logLength >= 2) {
        ShaderLog << (linked ? "Shader program linked: " : "Error(s) linking shader program: ") << description
                  << "\n";
        if (logLength > 1) ShaderLog << InfoLog(program, logLength) << "\n";
    }
    if (!linked) {
        Extensions.glDeleteObjectARB(program);
        return 0;
    }
    return program;
}

}  // namespace

std::string RewriteInfoLogLineNumbers(const std::string& log, int baseLines) {
    std::string result;
    size_t start = 0;
    while (start <= log.size()) {
        size_t end = log.find('\n', start);
        if (end == std::string::npos) end = log.size();
        result += RewriteLine(log.substr(start, end - start), baseLines);
        if (end < log.size()) result += '\n';
        start = end + 1;
    }
    return result;
}

Shader::Shader() {
    api = new2(SShaderApiData, SShaderApiData());
    Registry.push_back({this, std::string(), std::string()});
}

Shader::~Shader() {
    for (auto it = Registry.begin(); it != Registry.end(); ++it)
        if (it->shader == this) {
            Registry.erase(it);
            break;
        }
    Free();
    delete2(api);
}

bool Shader::Load(const std::string& vertexName, const std::string& fragmentName) {
    if (!ShadersAvailable()) return false;
    if (ShaderRegistryEntry* entry = EntryOf(this)) {
        entry->vertexName = vertexName;
        entry->fragmentName = fragmentName;
    }
    Free();
    ClearGLErrors();
    std::string vertexFile = vertexName.empty() ? std::string() : vertexName + ".glsl_v";
    std::string fragmentFile = fragmentName.empty() ? std::string() : fragmentName + ".glsl_f";
    if (!vertexFile.empty()) api->vertexShader = CompileFile(vertexFile, GL_VERTEX_SHADER_ARB);
    if (!fragmentFile.empty()) api->fragmentShader = CompileFile(fragmentFile, GL_FRAGMENT_SHADER_ARB);
    ReportGLErrors("Compiling shaders:\n", true);
    if (!api->vertexShader && !api->fragmentShader) return false;
    if ((!vertexFile.empty() && !api->vertexShader) || (!fragmentFile.empty() && !api->fragmentShader)) {
        Free();
        return false;
    }
    std::string description = vertexFile.empty()     ? fragmentFile
                              : fragmentFile.empty() ? vertexFile
                                                     : vertexFile + " and " + fragmentFile;
    api->program = Link(api->vertexShader, api->fragmentShader, description);
    ReportGLErrors("Linking Shaders:\n", true);
    loaded = api->program != 0;
    return loaded;
}

void Shader::Free() {
    // A freed shader cannot stay the one the built-in constants go to.
    if (Current == this) UnsetShader();
    // Deleting needs the entry points; without them nothing was ever made.
    if (Extensions.glDeleteObjectARB && IsInited()) {
        if (api->vertexShader) Extensions.glDeleteObjectARB(api->vertexShader);
        if (api->fragmentShader) Extensions.glDeleteObjectARB(api->fragmentShader);
        if (api->program) Extensions.glDeleteObjectARB(api->program);
    }
    *api = SShaderApiData();
    loaded = false;
}

void Shader::Set() {
    if (!ShadersAvailable()) return;
    if (loaded) {
        Extensions.glUseProgramObjectARB(api->program);
        Current = this;
    } else {
        Extensions.glUseProgramObjectARB(0);
        Current = nullptr;
    }
}

void Shader::SetConstant(const char* name, float x) {
    float v[1] = {x};
    int location = GetConstantLocation(this, name);
    if (location != -1) Extensions.glUniform1fvARB(location, 1, v);
}

void Shader::SetConstant(const char* name, float x, float y) {
    float v[2] = {x, y};
    int location = GetConstantLocation(this, name);
    if (location != -1) Extensions.glUniform2fvARB(location, 1, v);
}

void Shader::SetConstant(const char* name, float x, float y, float z) {
    float v[3] = {x, y, z};
    int location = GetConstantLocation(this, name);
    if (location != -1) Extensions.glUniform3fvARB(location, 1, v);
}

void Shader::SetConstant(const char* name, float x, float y, float z, float w) {
    float v[4] = {x, y, z, w};
    int location = GetConstantLocation(this, name);
    if (location != -1) Extensions.glUniform4fvARB(location, 1, v);
}

void Shader::SetConstant(const char* name, MatrixSize size, const float* values) {
    int location = GetConstantLocation(this, name);
    if (location == -1) return;
    if (size == Matrix2) Extensions.glUniformMatrix2fvARB(location, 1, GL_FALSE, values);
    else if (size == Matrix3) Extensions.glUniformMatrix3fvARB(location, 1, GL_FALSE, values);
    else Extensions.glUniformMatrix4fvARB(location, 1, GL_FALSE, values);
}

void UnsetShader() {
    if (ShadersAvailable()) Extensions.glUseProgramObjectARB(0);
    Current = nullptr;
}

Shader* CurrentShader() { return Current; }

int GetConstantLocation(const Shader* shader, const char* name) {
    if (!ShadersAvailable() || !shader || !shader->ApiData().program) return -1;
    int location = Extensions.glGetUniformLocationARB(shader->ApiData().program, name);
    if (location == -1 && ConstantWarning)
        ShaderLog << "Warning: Asking for constant (" << name << ") in a shader, but it's not there.\n"
                  << "  -call stack:\n" << CallStackText() << "\n";
    return location;
}

void UpdateBuiltInConstants() {
    if (!Current) return;
    ConstantWarning = false;
    Matrix world = GetWorldMatrix(), view = GetViewMatrix(), projection, viewProjection;
    GetProjectionMatrix(projection);
    Current->SetConstant("ModelMatrix", Shader::Matrix4, world.m);
    Multiply(viewProjection, Transpose(view), projection);
    Current->SetConstant("ViewProjectionMatrix", Shader::Matrix4, viewProjection.m);
    ConstantWarning = true;
}

const ShaderRegistryEntry* FindShaderRegistryEntry(const Shader* shader) { return EntryOf(shader); }

}  // namespace G
