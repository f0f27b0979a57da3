#include "Math3D.h"

#include "LogFile.h"

#include <cmath>
#include <utility>

Matrix Matrix::Identity() {
    Matrix out;
    out[0] = out[5] = out[10] = out[15] = 1;
    return out;
}

Vector3 operator+(const Vector3& a, const Vector3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vector3 operator-(const Vector3& a, const Vector3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vector3 operator*(const Vector3& v, float s) { return {v.x * s, v.y * s, v.z * s}; }
Vector3& operator+=(Vector3& a, const Vector3& b) { return a = a + b; }
Vector3& operator-=(Vector3& a, const Vector3& b) { return a = a - b; }
float Dot(const Vector3& a, const Vector3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vector3 Cross(const Vector3& a, const Vector3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
float Length(const Vector3& v) { return std::sqrt(Dot(v, v)); }

static bool TooShort(float length) { return static_cast<double>(length) < Epsilon; }

void Normalize(Vector3& v) {
    float length = Length(v);
    if (TooShort(length)) {
        ErrorLog << "Attepmt to divide by 0 while normalizing.\n" << "  -call stack" << CallStackText() << "\n";
        v = Vector3();
        return;
    }
    v = v * (1.0f / length);
}

Vector3 NormalizedCopy(const Vector3& v) {
    float length = Length(v);
    if (TooShort(length)) {
        ErrorLog << "Attepmt to divide by 0 while doing normal.\n" << "  -call stack" << CallStackText() << "\n";
        return Vector3();
    }
    return v * (1.0f / length);
}

void Multiply(Matrix& out, const Matrix& a, const Matrix& b) {
    Matrix product;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            float sum = 0;
            for (int k = 0; k < 4; ++k) sum += a.At(r, k) * b.At(k, c);
            product.At(r, c) = sum;
        }
    out = product;
}

void Transform(Vector4& out, const Matrix& m, const Vector4& v) {
    const float in[4] = {v.x, v.y, v.z, v.w};
    float result[4];
    for (int r = 0; r < 4; ++r)
        result[r] = m.At(r, 0) * in[0] + m.At(r, 1) * in[1] + m.At(r, 2) * in[2] + m.At(r, 3) * in[3];
    out = Vector4(result[0], result[1], result[2], result[3]);
}

// Determinant of the 3 x 3 minor that leaves out row 0 and `column`.
static float Minor(const Matrix& m, int column) {
    int c[3], n = 0;
    for (int i = 0; i < 4; ++i)
        if (i != column) c[n++] = i;
    return m.At(1, c[0]) * (m.At(2, c[1]) * m.At(3, c[2]) - m.At(2, c[2]) * m.At(3, c[1])) -
           m.At(1, c[1]) * (m.At(2, c[0]) * m.At(3, c[2]) - m.At(2, c[2]) * m.At(3, c[0])) +
           m.At(1, c[2]) * (m.At(2, c[0]) * m.At(3, c[1]) - m.At(2, c[1]) * m.At(3, c[0]));
}

float Determinant(const Matrix& m) {
    float det = 0;
    for (int c = 0; c < 4; ++c) det += (c % 2 ? -1.0f : 1.0f) * m.At(0, c) * Minor(m, c);
    return det;
}

void Inverse(Matrix& out, const Matrix& m) {
    if (std::fabs(static_cast<double>(Determinant(m))) < Epsilon) {
        ErrorLog << "Attempt to take the inverse of a matrix that doesn't have an inverse.\n";
        out = Matrix();
        return;
    }
    // Gauss-Jordan on [m | I] with partial pivoting.
    Matrix left = m, right = Matrix::Identity();
    for (int col = 0; col < 4; ++col) {
        int pivot = col;
        for (int r = col + 1; r < 4; ++r)
            if (std::fabs(left.At(r, col)) > std::fabs(left.At(pivot, col))) pivot = r;
        for (int c = 0; c < 4; ++c) {
            std::swap(left.At(col, c), left.At(pivot, c));
            std::swap(right.At(col, c), right.At(pivot, c));
        }
        float scale = 1.0f / left.At(col, col);
        for (int c = 0; c < 4; ++c) {
            left.At(col, c) *= scale;
            right.At(col, c) *= scale;
        }
        for (int r = 0; r < 4; ++r) {
            if (r == col) continue;
            float factor = left.At(r, col);
            for (int c = 0; c < 4; ++c) {
                left.At(r, c) -= factor * left.At(col, c);
                right.At(r, c) -= factor * right.At(col, c);
            }
        }
    }
    out = right;
}

Matrix Transpose(const Matrix& m) {
    Matrix out;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) out.At(c, r) = m.At(r, c);
    return out;
}

void LookAt(Matrix& out, const Vector3& eye, const Vector3& target, const Vector3& up) {
    if (static_cast<double>(Length(eye - target)) < Epsilon)
        ErrorLog << "Making an attempt to construct a singularity camera.\n";
    if (static_cast<double>(Length(up)) < Epsilon) ErrorLog << "Trying to make a camera with no orientation.\n";
    Vector3 f = NormalizedCopy(target - eye);
    Vector3 s = NormalizedCopy(Cross(f, up));
    Vector3 u = Cross(f, s);
    const Vector3 rows[3] = {s, u, f};
    out = Matrix();
    for (int r = 0; r < 3; ++r) {
        out.At(r, 0) = rows[r].x;
        out.At(r, 1) = rows[r].y;
        out.At(r, 2) = rows[r].z;
        out.At(r, 3) = -Dot(rows[r], eye);
    }
    out.At(3, 3) = 1;
}

void Perspective(Matrix& out, float fovY, float aspect, float zNear, float zFar) {
    float c = 1.0f / std::tan(fovY / 2);
    out = Matrix();
    out.At(0, 0) = aspect * c;
    out.At(1, 1) = c;
    out.At(2, 2) = zFar / (zFar - zNear);
    out.At(2, 3) = zNear * zFar / (zNear - zFar);
    out.At(3, 2) = 1;
}

void Unproject(Vector3& out, float windowX, float windowY, float depth, const Matrix& view,
               const Matrix& projection, const Viewport& viewport) {
    Matrix combined, inverse;
    Multiply(combined, projection, view);
    Inverse(inverse, combined);
    // x is mirrored to match LookAt, which looks along +z.
    Vector4 n((((windowX - viewport.x) / viewport.width) - 0.5f) * -2.0f,
              (((windowY - viewport.y) / viewport.height) - 0.5f) * 2.0f, depth, 1);
    Vector4 p;
    Transform(p, inverse, n);
    out = Vector3(p.x / p.w, p.y / p.w, p.z / p.w);
}

bool Project(Vector3& out, const Vector3& point, const Matrix& projection, const Matrix& view,
             const Viewport& viewport) {
    Vector4 seen, t;
    Transform(seen, view, Vector4(point.x, point.y, point.z, 1));
    Transform(t, projection, seen);
    if (std::fabs(static_cast<double>(t.w)) < Epsilon) return false;
    Vector3 n(t.x / t.w, t.y / t.w, t.z / t.w);
    out.x = (1 - n.x) * viewport.width * 0.5f + viewport.x;
    out.y = (n.y + 1) * viewport.height * 0.5f + viewport.y;
    out.z = (n.z + 1) * 0.5f;
    return true;
}

bool RayPlane(const Ray& ray, const Vector3& normal, Vector3& out) {
    float facing = Dot(ray.direction, normal);
    if (std::fabs(static_cast<double>(facing)) <= Epsilon) return false;
    float t = -Dot(ray.origin, normal) / facing;
    out = ray.origin + ray.direction * t;
    return true;
}

// --- cameras ---------------------------------------------------------------

static Camera* currentCamera = nullptr;

Camera* CurrentCamera() { return currentCamera; }
void SetCurrentCamera(Camera* camera) { currentCamera = camera; }

Camera::~Camera() {
    if (currentCamera == this) currentCamera = nullptr;
}

void SmoothCamera::Channel::Set(const Vector3& value, bool immediate) {
    goal = value;
    if (!immediate) return;
    current = value;
    velocity = Vector3();
}

SmoothCamera::SmoothCamera() {
    target.current = target.goal = Vector3(0, 0, 10);
    up.current = up.goal = Vector3(1, 0, 0);
}

SmoothCamera::SmoothCamera(const Vector3& position_, const Vector3& target_, const Vector3& up_) {
    position.Set(position_, true);
    target.Set(target_, true);
    SetUp(up_, true);
}

void SmoothCamera::SetUp(const Vector3& value, bool immediate) {
    up.Set(value, immediate);
    up.current = NormalizedCopy(up.current);
    up.goal = NormalizedCopy(up.goal);
}

void SmoothCamera::SetPosition(const Vector3& value, bool immediate) { position.Set(value, immediate); }
void SmoothCamera::SetTarget(const Vector3& value, bool immediate) { target.Set(value, immediate); }

namespace {
struct Point {
    float x, y;
};

// Piecewise-linear through the points (ascending x): the first point's y
// before it, the last point's y after it.
template <int N>
float Curve(const Point (&points)[N], float x) {
    if (x <= points[0].x) return points[0].y;
    for (int i = 1; i < N; ++i)
        if (x <= points[i].x) {
            float t = (x - points[i - 1].x) / (points[i].x - points[i - 1].x);
            return points[i - 1].y + (points[i].y - points[i - 1].y) * t;
        }
    return points[N - 1].y;
}

const Point MoveSpeed[] = {{0, 0}, {0.05f, 4}, {0.1f, 12}, {0.2f, 20}, {0.4f, 40}, {0.8f, 100}, {1.0f, 300}};
const Point TurnSpeed[] = {{0, 0}, {0.25f, 0.2f}, {0.5f, 0.5f}, {1.0f, 1.0f}};
const Point SpringDamping[] = {{0.02f, 0}, {1, 1}, {4, 0.75f}, {16, 0.5f}, {64, 0.3f}};
const Point SpringSpeed[] = {{0.02f, 0}, {1, 0.5f}, {4, 4}, {16, 8}, {64, 40}};

// Direction of a vector, or none for a vector too short to have one.
Vector3 DirectionOf(const Vector3& v) {
    float length = Length(v);
    return static_cast<double>(length) < Epsilon ? Vector3() : v * (1.0f / length);
}
}  // namespace

void SmoothCamera::Drift(Channel& channel, float seconds, bool driftGoals, bool driftCurrent) {
    if (driftCurrent) channel.current += drift * seconds;
    if (driftGoals) channel.goal += drift * seconds;
}

void SmoothCamera::StepChannel(Channel& channel, float speed, float seconds, bool drifts, bool driftGoals,
                               bool driftCurrent) {
    float dist = Length(channel.current - channel.goal);
    if (dist >= 0.0001f) {
        if (speed * seconds > dist) {
            // It would overshoot: arrive and stay put this step.
            channel.current = channel.goal;
            channel.velocity = Vector3();
            return;
        }
        channel.current += NormalizedCopy(channel.goal - channel.current) * (speed * seconds);
    }
    if (drifts) Drift(channel, seconds, driftGoals, driftCurrent);
}

void SmoothCamera::Step(float seconds, bool driftGoals, bool driftCurrent) {
    StepChannel(position, Curve(MoveSpeed, Length(position.current - position.goal) * 0.02f), seconds, true,
                driftGoals, driftCurrent);
    StepChannel(target, Curve(MoveSpeed, Length(target.current - target.goal) * 0.02f), seconds, true,
                driftGoals, driftCurrent);
    StepChannel(up, Curve(TurnSpeed, Length(up.current - up.goal) * 0.5f), seconds, false, driftGoals,
                driftCurrent);
}

void SmoothCamera::SpringChannel(Channel& channel, float damping, float pull, float push, float seconds) {
    Vector3 toGoal = channel.goal - channel.current;
    float dist = Length(toGoal);
    Vector3& v = channel.velocity;
    Vector3 n = DirectionOf(v);
    v -= n * (Length(v) * damping * seconds);
    v -= n * (Curve(SpringDamping, dist) * pull * seconds);
    // At the goal there is no direction to push toward.
    v += DirectionOf(toGoal) * ((Curve(SpringSpeed, dist) - Length(v)) * push * seconds);
    if (dist < Length(v) * seconds && Dot(v, toGoal) > 0) {
        channel.current = channel.goal;
        v = Vector3();
    }
    channel.current += v * seconds;
}

void SmoothCamera::Update(float seconds, bool driftGoals, bool driftCurrent) {
    SpringChannel(position, 0.05f, 1, 1, seconds);
    Drift(position, seconds, driftGoals, driftCurrent);
    SpringChannel(target, 0.05f, 1, 1, seconds);
    Drift(target, seconds, driftGoals, driftCurrent);
    SpringChannel(up, 0.1f, 0.25f, 2, seconds);
    up.current = NormalizedCopy(up.current);
    up.goal = NormalizedCopy(up.goal);
}
