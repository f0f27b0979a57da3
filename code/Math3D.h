// Vectors, 4 x 4 matrices, the look-at and perspective matrices, picking
// (window point <-> world point, ray against plane) and the cameras.
//
// Matrices are row-major and act on column vectors: element (r, c) sits at
// index 4r + c, v' = M * v, and the translation is in elements 3, 7 and 11.
// Arithmetic is in floats; the threshold Epsilon is compared in doubles.
#pragma once

struct Vector3 {
    float x = 0, y = 0, z = 0;
    Vector3() = default;
    Vector3(float x, float y, float z) : x(x), y(y), z(z) {}
};

struct Vector4 {
    float x = 0, y = 0, z = 0, w = 0;
    Vector4() = default;
    Vector4(float x, float y, float z, float w) : x(x), y(y), z(z), w(w) {}
};

struct Matrix {
    float m[16] = {};
    float& operator[](int i) { return m[i]; }
    float operator[](int i) const { return m[i]; }
    float& At(int row, int column) { return m[4 * row + column]; }
    float At(int row, int column) const { return m[4 * row + column]; }
    static Matrix Identity();
};

// x and y measured from the bottom left of the window.
struct Viewport {
    int x = 0, y = 0, width = 0, height = 0;
};

// A point and a direction.
struct Ray {
    Vector3 origin, direction;
};

const double Epsilon = 2e-5;

Vector3 operator+(const Vector3& a, const Vector3& b);
Vector3 operator-(const Vector3& a, const Vector3& b);
Vector3 operator*(const Vector3& v, float s);
Vector3& operator+=(Vector3& a, const Vector3& b);
Vector3& operator-=(Vector3& a, const Vector3& b);
float Dot(const Vector3& a, const Vector3& b);
Vector3 Cross(const Vector3& a, const Vector3& b);
float Length(const Vector3& v);

// Both report a vector shorter than Epsilon to ErrorLog; such a vector has no
// direction and becomes the zero vector rather than an infinite one.
void Normalize(Vector3& v);
Vector3 NormalizedCopy(const Vector3& v);

// out = a * b; out may be a or b.
void Multiply(Matrix& out, const Matrix& a, const Matrix& b);
void Transform(Vector4& out, const Matrix& m, const Vector4& v);
float Determinant(const Matrix& m);
// A matrix without an inverse is reported and gives the zero matrix.
void Inverse(Matrix& out, const Matrix& m);
Matrix Transpose(const Matrix& m);

// The view matrix of a camera at `eye` looking at `target`; it looks along +z.
void LookAt(Matrix& out, const Vector3& eye, const Vector3& target, const Vector3& up);
// `aspect` is height / width: it multiplies the x scale.
void Perspective(Matrix& out, float fovY, float aspect, float zNear, float zFar);

// The world point under a window point at a depth.
void Unproject(Vector3& out, float windowX, float windowY, float depth, const Matrix& view,
               const Matrix& projection, const Viewport& viewport);
// The window point (and depth in z) of a world point; false when the point
// lies in the camera plane.
bool Project(Vector3& out, const Vector3& point, const Matrix& projection, const Matrix& view,
             const Viewport& viewport);
// Where a ray meets the plane through the origin with the given normal;
// false when the ray runs parallel to it.
bool RayPlane(const Ray& ray, const Vector3& normal, Vector3& out);

class Camera {
public:
    virtual ~Camera();
    virtual void SetUp(const Vector3& up, bool immediate) = 0;
    virtual Vector3 GetUp() const = 0;
    virtual void SetPosition(const Vector3& position, bool immediate) = 0;
    virtual Vector3 GetPosition() const = 0;
    virtual void SetTarget(const Vector3& target, bool immediate) = 0;
    virtual Vector3 GetTarget() const = 0;
    virtual void SetDrift(const Vector3& drift) = 0;
    virtual Vector3 GetDrift() const = 0;
    virtual void Update(float seconds, bool driftGoals, bool driftCurrent) = 0;
};

// The camera last applied to the graphics foundation; cleared when that
// camera is destroyed.
Camera* CurrentCamera();
void SetCurrentCamera(Camera* camera);

// A camera whose position, target and up glide toward their goals.
class SmoothCamera : public Camera {
public:
    SmoothCamera();
    SmoothCamera(const Vector3& position, const Vector3& target, const Vector3& up);

    void SetUp(const Vector3& up, bool immediate) override;
    Vector3 GetUp() const override { return up.current; }
    void SetPosition(const Vector3& position, bool immediate) override;
    Vector3 GetPosition() const override { return position.current; }
    void SetTarget(const Vector3& target, bool immediate) override;
    Vector3 GetTarget() const override { return target.current; }
    void SetDrift(const Vector3& value) override { drift = value; }
    Vector3 GetDrift() const override { return drift; }
    // Spring and damper motion.
    void Update(float seconds, bool driftGoals, bool driftCurrent) override;

    // Moves each channel straight toward its goal at a speed that grows with
    // the distance, never overshooting. The game camera uses this one.
    void Step(float seconds, bool driftGoals, bool driftCurrent);

    Vector3 GetPositionGoal() const { return position.goal; }
    Vector3 GetTargetGoal() const { return target.goal; }
    Vector3 GetUpGoal() const { return up.goal; }

private:
    struct Channel {
        Vector3 current, goal, velocity;
        void Set(const Vector3& value, bool immediate);
    };
    void StepChannel(Channel& channel, float speed, float seconds, bool drifts, bool driftGoals,
                     bool driftCurrent);
    void SpringChannel(Channel& channel, float damping, float pull, float push, float seconds);
    void Drift(Channel& channel, float seconds, bool driftGoals, bool driftCurrent);

    Channel position, target, up;
    Vector3 drift;
};
