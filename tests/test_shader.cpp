// GLSL programs on a real context (run under Xvfb): loading, the reports in
// "_shaders.txt" with the files' own line numbers, constants and the
// built-in matrices.
#include <gtest/gtest.h>

#include "GLShader.h"
#include "LogFile.h"
#include "Math3D.h"
#include "TextTestGL.h"

using namespace GLTest;

namespace {

class ShaderTest : public GLTest::Suite {
protected:
    static void SetUpTestSuite() {
        TestUtil::InstallDataFiles();
        // Line 3 of the broken file holds the error.
        const std::pair<const char*, const char*> files[] = {
            {"broken.glsl_f", "void main()\n{\n    gl_FragColor = 1.0 +;\n}\n"},
            {"plain.glsl_f", "void main()\n{\n    gl_FragColor = gl_Color;\n}\n"},
            {"nomain.glsl_v", "vec4 Helper() { return vec4(1.0); }\n"},
            {"tint.glsl_f", "uniform vec4 Tint;\nvoid main()\n{\n    gl_FragColor = Tint;\n}\n"}};
        for (auto [name, text] : files) TestUtil::WriteFile(std::string("data/shaders/") + name, text);
        Suite::SetUpTestSuite();
    }
    void SetUp() override {
        Suite::SetUp();
        ASSERT_TRUE(G::Extensions.shadersAvailable) << "Mesa offers shader objects";
        TestUtil::ClearLog("_shaders.txt");
    }
};

std::string ShaderLogText() { return TestUtil::ReadFile("_shaders.txt"); }

// A white square from (x0, y0) to (x1, y1) through the shader in use.
void Square(float x0, float y0, float x1, float y1) {
    G::IMBegin(G::IMPrimitive::TriangleFan);
    G::IMColor(0xFFFFFFFFu);
    G::IMVertex(x0, y0);
    G::IMVertex(x1, y0);
    G::IMVertex(x1, y1);
    G::IMVertex(x0, y1);
    G::IMEnd();
}

}  // namespace

TEST(ShaderLogLines, DriverFormsMoveBackByTheBaseLinesAndOtherTextStays) {
    // A base file of three newlines is four lines: line 5 is the file's line 1.
    const struct {
        const char* log;
        int baseLines;
        const char* rewritten;
    } cases[] = {
        {"(5) : error: nope", 4, "(1) : error: nope"},
        {"ERROR: 0:5: 'x' : undeclared", 4, "ERROR: 0:1: 'x' : undeclared"},
        // Mesa's and other drivers' forms; every line of a log, each only once.
        {"0:17(12): error: `x' undeclared", 14, "0:3(12): error: `x' undeclared"},
        {"0(17) : error C1008: undefined variable", 14, "0(3) : error C1008: undefined variable"},
        {"0:20(1): error: a\n0:21(5): error: b 0:30:\n", 14, "0:6(1): error: a\n0:7(5): error: b 0:30:\n"},
        // A number inside a word is not a source index.
        {"vec4(20) and 0(20) :", 14, "vec4(20) and 0(6) :"},
    };
    for (const auto& c : cases) EXPECT_EQ(G::RewriteInfoLogLineNumbers(c.log, c.baseLines), c.rewritten);
    for (const char* unchanged : {"", "\n", "error: something went wrong", "vec4(1) is not a float",
                                  "line 5: bad", "(x) : error", "0:: error", "()"})
        EXPECT_EQ(G::RewriteInfoLogLineNumbers(unchanged, 14), unchanged);
}

TEST_F(ShaderTest, TheSystemsShadersLoadQuietly) {
    G::Shader text, items;
    EXPECT_TRUE(text.Load("data\\shaders\\gbfont", ""));
    EXPECT_TRUE(items.Load("data\\shaders\\simple", ""));
    EXPECT_EQ(ShaderLogText(), "") << "a clean compile and link write nothing";
    EXPECT_EQ(TestUtil::ReadFile("_error.txt"), "");
}

TEST_F(ShaderTest, AFailingStagePointsAtItsOwnLineAndFreesEverything) {
    G::Shader shader;
    EXPECT_FALSE(shader.Load("data\\shaders\\simple", "data\\shaders\\broken"));
    EXPECT_EQ(shader.ApiData().program, 0u);
    EXPECT_EQ(shader.ApiData().vertexShader, 0u);
    EXPECT_EQ(shader.ApiData().fragmentShader, 0u);
    std::string log = ShaderLogText();
    EXPECT_EQ(log.rfind("Error(s) compiling shader: data\\shaders\\broken.glsl_f\n", 0), 0u) << log;
    EXPECT_NE(log.find("0:3("), std::string::npos) << log;
    EXPECT_EQ(log.find("0:1"), std::string::npos) << "only line 3 is named: " << log;

    // A loaded shader loaded again with a bad file ends up with nothing.
    ASSERT_TRUE(shader.Load("data\\shaders\\simple", "data\\shaders\\plain"));
    EXPECT_NE(shader.ApiData().fragmentShader, 0u);
    EXPECT_FALSE(shader.Load("data\\shaders\\simple", "data\\shaders\\missing"));
    EXPECT_EQ(shader.ApiData().program, 0u);
    EXPECT_EQ(shader.ApiData().vertexShader, 0u);
}

TEST_F(ShaderTest, MissingFilesAreReportedInBothLogs) {
    G::Shader shader;
    EXPECT_FALSE(shader.Load("data\\shaders\\missing", ""));
    const char* message = "Can't compile shader data\\shaders\\missing.glsl_v because the file dosen't exist.\n";
    EXPECT_NE(ShaderLogText().find(message), std::string::npos);
    EXPECT_NE(TestUtil::ReadFile("_error.txt").find(message), std::string::npos);
    EXPECT_FALSE(shader.Load("", ""));
}

TEST_F(ShaderTest, LinkFailuresNameTheFilesAndFreeTheProgram) {
    G::Shader shader;
    EXPECT_FALSE(shader.Load("data\\shaders\\nomain", ""));
    EXPECT_NE(ShaderLogText().find("Error(s) linking shader program: data\\shaders\\nomain.glsl_v\n"),
              std::string::npos)
        << ShaderLogText();
    EXPECT_EQ(shader.ApiData().program, 0u);
    TestUtil::ClearLog("_shaders.txt");
    EXPECT_FALSE(shader.Load("data\\shaders\\nomain", "data\\shaders\\plain"));
    EXPECT_NE(ShaderLogText().find("data\\shaders\\nomain.glsl_v and data\\shaders\\plain.glsl_f\n"),
              std::string::npos)
        << ShaderLogText();
}

TEST_F(ShaderTest, SetAndUnsetTrackTheCurrentShader) {
    G::Shader loaded, unloaded;
    ASSERT_TRUE(loaded.Load("data\\shaders\\simple", ""));
    loaded.Set();
    EXPECT_EQ(G::CurrentShader(), &loaded);
    unloaded.Set();  // harmless: shaders off
    GLint program = 1;
    glGetIntegerv(GL_CURRENT_PROGRAM, &program);
    EXPECT_EQ(program, 0);
    EXPECT_EQ(G::CurrentShader(), nullptr);
    loaded.Set();
    G::UnsetShader();
    EXPECT_EQ(G::CurrentShader(), nullptr);
    // A shader that goes away stops being current: the built-in constants
    // then have nothing to update.
    {
        G::Shader gone;
        ASSERT_TRUE(gone.Load("data\\shaders\\simple", ""));
        gone.Set();
    }
    EXPECT_EQ(G::CurrentShader(), nullptr);
    G::UpdateBuiltInConstants();
}

TEST_F(ShaderTest, MissingConstantsWarnExceptForTheBuiltInOnes) {
    G::Shader shader;
    ASSERT_TRUE(shader.Load("", "data\\shaders\\plain"));  // uses neither matrix
    shader.Set();
    G::UpdateBuiltInConstants();
    EXPECT_EQ(ShaderLogText(), "");
    shader.SetConstant("Nothing", 1.0f, 2.0f);
    std::string log = ShaderLogText();
    EXPECT_EQ(log.rfind("Warning: Asking for constant (Nothing) in a shader, but it's not there.\n  -call stack:\n", 0),
              0u)
        << log;
    EXPECT_EQ(G::GetConstantLocation(nullptr, "Tint"), -1);
}

TEST_F(ShaderTest, ConstantsAndBuiltInMatricesReachTheProgramInUse) {
    G::Shader tint, simple;
    ASSERT_TRUE(tint.Load("data\\shaders\\simple", "data\\shaders\\tint"));
    ASSERT_TRUE(simple.Load("data\\shaders\\simple", ""));
    tint.Set();
    tint.SetConstant("Tint", 0.0f, 1.0f, 0.0f, 1.0f);
    G::UpdateBuiltInConstants();
    Square(100, 100, 200, 200);
    EXPECT_EQ(ReadPixel(150, 150), 0x00FF00u);
    // The world matrix moves a square by (300, 50); view and projection are 2D.
    G::Clear(0xFF000000, true, true, false);
    Matrix world = Matrix::Identity();
    world.At(0, 3) = 300;
    world.At(1, 3) = 50;
    G::SetWorldMatrix(world);
    simple.Set();
    G::UpdateBuiltInConstants();
    Square(10, 20, 60, 70);
    Box box = LitBox(ReadPixels(0, 0, 800, 600));
    EXPECT_EQ(std::vector<int>({box.left, box.top, box.right, box.bottom}),
              std::vector<int>({310, 70, 359, 119}));
    EXPECT_EQ(ShaderLogText(), "");
}

TEST(ShaderWithoutDevice, EverythingQuietlyDoesNothing) {
    TestUtil::ClearLog("_shaders.txt");
    G::Shader shader;
    EXPECT_FALSE(shader.Load("data\\shaders\\simple", ""));
    shader.Set();
    G::UnsetShader();
    EXPECT_EQ(G::CurrentShader(), nullptr);
    EXPECT_EQ(G::GetConstantLocation(&shader, "ModelMatrix"), -1);
    shader.SetConstant("Tint", 1.0f);
    EXPECT_EQ(ShaderLogText(), "");
}
