#include <gtest/gtest.h>

#include "FoundationTest.h"
#include "Math3D.h"
#include "TestUtil.h"

#include <cmath>

using FoundationTest::Contains;
using FoundationTest::StartsWith;

namespace {

const float Pi = 3.14159265f;

void ExpectNear(const Vector3& a, const Vector3& b, float tolerance = 1e-4f) {
    EXPECT_NEAR(a.x, b.x, tolerance);
    EXPECT_NEAR(a.y, b.y, tolerance);
    EXPECT_NEAR(a.z, b.z, tolerance);
}

Matrix FromRows(std::initializer_list<float> values) {
    Matrix m;
    int i = 0;
    for (float v : values) m[i++] = v;
    return m;
}

void ExpectNear(const Matrix& a, const Matrix& b, float tolerance) {
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(a[i], b[i], tolerance) << i;
}

class MathTest : public FoundationTest::ErrorLogTest {};

}  // namespace

TEST_F(MathTest, NormalizeGivesUnitLengthAndReportsZeroVectors) {
    Vector3 v(3, 0, 4);
    Normalize(v);
    ExpectNear(v, Vector3(0.6f, 0, 0.8f));
    ExpectNear(NormalizedCopy(Vector3(0, -2, 0)), Vector3(0, -1, 0));
    EXPECT_EQ(ErrorText(), "");

    Vector3 zero;
    Normalize(zero);
    EXPECT_TRUE(std::isfinite(zero.x) && std::isfinite(zero.y) && std::isfinite(zero.z));
    NormalizedCopy(Vector3(1e-6f, 0, 0));
    EXPECT_TRUE(StartsWith(ErrorText(), "Attepmt to divide by 0 while normalizing.\n  -call stack   "));
    EXPECT_TRUE(Contains(ErrorText(), "Attepmt to divide by 0 while doing normal.\n  -call stack   "));
}

TEST_F(MathTest, MultiplyIsRowByColumnAndMayOverwriteAnOperand) {
    Matrix a = FromRows({1, 2, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
    Matrix b = FromRows({1, 0, 0, 5, 0, 1, 0, 6, 0, 0, 1, 7, 0, 0, 0, 1});
    Matrix out;
    Multiply(out, a, b);
    // Row 0 of a times column 3 of b: 1*5 + 2*6.
    EXPECT_FLOAT_EQ(out.At(0, 3), 17);
    EXPECT_FLOAT_EQ(out.At(1, 3), 6);
    Multiply(a, a, b);
    ExpectNear(a, out, 0);
    Multiply(b, Matrix::Identity(), b);
    EXPECT_FLOAT_EQ(b.At(2, 3), 7);
    // Transform applies the translation column to points, not to directions.
    Vector4 point, direction;
    Transform(point, b, Vector4(1, 1, 1, 1));
    Transform(direction, b, Vector4(1, 1, 1, 0));
    ExpectNear(Vector3(point.x, point.y, point.z), Vector3(6, 7, 8));
    ExpectNear(Vector3(direction.x, direction.y, direction.z), Vector3(1, 1, 1));
}

TEST_F(MathTest, InverseExchangesRowsAndRefusesSingularMatrices) {
    Matrix m = FromRows({2, 0, 0, 1, 0, 3, 0, 2, 0, 0, 4, 3, 0, 0, 0, 1});
    EXPECT_FLOAT_EQ(Determinant(m), 24);
    // A matrix with a swapped row pair has the opposite determinant.
    Matrix swapped = FromRows({0, 3, 0, 2, 2, 0, 0, 1, 0, 0, 4, 3, 0, 0, 0, 1});
    EXPECT_FLOAT_EQ(Determinant(swapped), -24);
    Matrix inverse, product;
    Inverse(inverse, swapped);  // needs a row exchange: the first pivot is 0
    Multiply(product, swapped, inverse);
    ExpectNear(product, Matrix::Identity(), 1e-5f);
    EXPECT_EQ(ErrorText(), "");

    Inverse(inverse, Matrix());
    ExpectNear(inverse, Matrix(), 0);
    Inverse(inverse, FromRows({1, 2, 3, 4, 2, 4, 6, 8, 0, 0, 1, 0, 0, 0, 0, 1}));
    EXPECT_EQ(ErrorText(), "Attempt to take the inverse of a matrix that doesn't have an inverse.\n"
                           "Attempt to take the inverse of a matrix that doesn't have an inverse.\n");
}

TEST_F(MathTest, LookAtWarnsAboutDegenerateCameras) {
    Matrix view;
    LookAt(view, Vector3(1, 1, 1), Vector3(1, 1, 1), Vector3(0, 0, 1));
    EXPECT_TRUE(StartsWith(ErrorText(), "Making an attempt to construct a singularity camera.\n"));
    EXPECT_TRUE(Contains(ErrorText(), "Attepmt to divide by 0 while doing normal.\n"));
    EXPECT_EQ(ErrorText().find("no orientation"), std::string::npos);

    TestUtil::ClearLog("_error.txt");
    LookAt(view, Vector3(0, 0, 0), Vector3(0, 0, 5), Vector3(0, 0, 0));
    EXPECT_TRUE(StartsWith(ErrorText(), "Trying to make a camera with no orientation.\n"));
}

// Unproject takes the depth in -1..1 terms, Project reports 0..1.
TEST_F(MathTest, PerspectiveProjectMirrorsXAndUnprojectUndoesIt) {
    Matrix view, projection;
    LookAt(view, Vector3(0, 0, 0), Vector3(0, 0, 10), Vector3(0, 1, 0));
    Perspective(projection, Pi / 2, 0.5f, 1, 101);
    Viewport viewport{10, 20, 200, 100};
    Vector3 window, world;
    // The near plane maps to depth 0, the far plane to 1, which Project reports as 0.5 and 1.
    ASSERT_TRUE(Project(window, Vector3(0, 0, 1), projection, view, viewport));
    ExpectNear(window, Vector3(110, 70, 0.5f));
    ASSERT_TRUE(Project(window, Vector3(0, 0, 101), projection, view, viewport));
    EXPECT_NEAR(window.z, 1, 1e-5f);
    // A point on the camera's side axis s lands left of centre: x is mirrored (and scaled by the aspect).
    // Its up axis u = f x s is -y here.
    const Vector3 side(view.At(0, 0), view.At(0, 1), view.At(0, 2)), point = side * 5 + Vector3(0, -2, 10);
    ASSERT_TRUE(Project(window, point, projection, view, viewport));
    EXPECT_NEAR(window.x, 85, 1e-3f);
    EXPECT_NEAR(window.y, 80, 1e-3f);
    Unproject(world, window.x, window.y, window.z * 2 - 1, view, projection, viewport);
    ExpectNear(world, point, 1e-3f);
    EXPECT_FALSE(Project(window, Vector3(3, 4, 0), projection, view, viewport));
    EXPECT_EQ(ErrorText(), "");
}

TEST_F(MathTest, RayPlaneHitsOrLeavesThePointAlone) {
    struct {
        Ray ray;
        bool hits;
        Vector3 hit;
    } cases[] = {
        {{Vector3(0, 0, 4), Vector3(1, 1, -1)}, true, Vector3(4, 4, 0)},
        {{Vector3(0, 0, 4), Vector3(1, 0, 0)}, false, Vector3(9, 9, 9)},  // parallel
    };
    for (const auto& c : cases) {
        Vector3 hit(9, 9, 9);
        EXPECT_EQ(RayPlane(c.ray, Vector3(0, 0, 1), hit), c.hits);
        ExpectNear(hit, c.hit);
    }
}

// Goals set without `immediate` are reached by steps; up is kept at unit length.
TEST_F(MathTest, StepMovesAtTheDistanceSpeedWithoutOvershooting) {
    SmoothCamera camera(Vector3(0, 0, 0), Vector3(0, 0, 10), Vector3(0, 0, 5));
    // 10 units away: x = 0.2, speed 20 units/s; 0.1 s moves 2 units.
    camera.SetPosition(Vector3(10, 0, 0), false);
    camera.Step(0.1f, false, false);
    ExpectNear(camera.GetPosition(), Vector3(2, 0, 0));
    // 8 units away: x = 0.16, speed 12 + (0.06 / 0.1) * 8 = 16.8.
    camera.Step(0.1f, false, false);
    ExpectNear(camera.GetPosition(), Vector3(3.68f, 0, 0));
    // Far beyond: 100 units away is x = 2, speed 300; a long step arrives.
    camera.SetTarget(Vector3(0, 100, 10), false);
    camera.Step(1.0f, false, false);
    ExpectNear(camera.GetTarget(), Vector3(0, 100, 10));
    // Up: 2 units apart (opposite), x = 1, speed 1.
    camera.SetUp(Vector3(0, 0, -3), false);
    camera.Step(0.5f, false, false);
    EXPECT_NEAR(camera.GetUp().z, 0.5f, 1e-4f);
}

TEST_F(MathTest, CurrentCameraIsForgottenWhenDestroyed) {
    SmoothCamera other;
    ExpectNear(other.GetPosition(), Vector3(0, 0, 0));
    ExpectNear(other.GetTarget(), Vector3(0, 0, 10));
    ExpectNear(other.GetUp(), Vector3(1, 0, 0));
    {
        SmoothCamera camera;
        SetCurrentCamera(&camera);
        EXPECT_EQ(CurrentCamera(), &camera);
    }
    EXPECT_EQ(CurrentCamera(), nullptr);
    SetCurrentCamera(&other);
    { SmoothCamera unrelated; }
    EXPECT_EQ(CurrentCamera(), &other);
    SetCurrentCamera(nullptr);
}
