#pragma once
// Shared geometric value types. Everything is single precision and returned by value;
// the formulas are written out term by term because results must be reproducible to
// the last bit (the build disables floating-point contraction).
#include <cmath>
#include <limits>

constexpr float kInfinity = std::numeric_limits<float>::infinity();
constexpr float kPi = 3.1415927f;

struct Vec3 {
    float x = 0, y = 0, z = 0;

    constexpr Vec3() = default;
    constexpr Vec3(float x_, float y_, float z_) : x(x_), y(y_), z(z_) {}

    void clear() { x = y = z = 0; }
    // By name, not by pointer arithmetic from x; loops over constant indices fold to the members.
    float& operator[](int i) { return i == 0 ? x : i == 1 ? y : z; }
    float operator[](int i) const { return i == 0 ? x : i == 1 ? y : z; }

    Vec3& operator+=(const Vec3& b) { x += b.x; y += b.y; z += b.z; return *this; }
    Vec3& operator-=(const Vec3& b) { x -= b.x; y -= b.y; z -= b.z; return *this; }
    Vec3& operator*=(float s) { x *= s; y *= s; z *= s; return *this; }
};

inline Vec3 operator+(const Vec3& a, const Vec3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(const Vec3& a, const Vec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator-(const Vec3& a) { return {-a.x, -a.y, -a.z}; }
inline Vec3 operator*(const Vec3& a, float s) { return {s * a.x, s * a.y, s * a.z}; }
inline Vec3 operator*(float s, const Vec3& a) { return {s * a.x, s * a.y, s * a.z}; }
// Division multiplies by the reciprocal, computed once and never checked for zero.
inline Vec3 operator/(const Vec3& a, float s) { return a * (1.0f / s); }
inline bool operator==(const Vec3& a, const Vec3& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }

inline float dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3 cross(const Vec3& a, const Vec3& b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline float lengthSquared(const Vec3& a) { return dot(a, a); }
inline float length(const Vec3& a) { return std::sqrt(dot(a, a)); }
inline Vec3 lerp(const Vec3& a, const Vec3& b, float t)
{
    return {(1 - t) * a.x + t * b.x, (1 - t) * a.y + t * b.y, (1 - t) * a.z + t * b.z};
}
// Near-zero vectors (squared length below 1e-6) fall back to +x rather than blowing up.
inline Vec3 normalised(const Vec3& a)
{
    float l2 = dot(a, a);
    if (l2 < 0.000001f) return {1, 0, 0};
    return a / std::sqrt(l2);
}

// Rotation (x, y, z, w with w the scalar), axis-angle pair (angle in degrees in w) or colour.
struct Quat {
    float x = 0, y = 0, z = 0, w = 1;

    constexpr Quat() = default;
    constexpr Quat(float x_, float y_, float z_, float w_) : x(x_), y(y_), z(z_), w(w_) {}
};

constexpr Quat kIdentityQuat{0, 0, 0, 1};

inline bool operator==(const Quat& a, const Quat& b) { return a.x == b.x && a.y == b.y && a.z == b.z && a.w == b.w; }

// q holds an axis (not normalised first) and an angle in degrees.
Quat fromAxisAngle(const Quat& q);
inline Quat fromAxisAngle(const Vec3& axis, float degrees) { return fromAxisAngle(Quat(axis.x, axis.y, axis.z, degrees)); }
Quat toAxisAngle(const Quat& q);

// Hamilton product: b is applied first, then a.
inline Quat multiply(const Quat& a, const Quat& b)
{
    return {a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y,
            a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x,
            a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w,
            a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z};
}
inline Quat operator*(const Quat& a, const Quat& b) { return multiply(a, b); }

// The rotation matrix of q applied to v; a non-unit q also scales.
inline Vec3 rotate(const Quat& q, const Vec3& v)
{
    const float x = q.x, y = q.y, z = q.z, w = q.w;
    return {(w * w + x * x - y * y - z * z) * v.x + 2 * (x * y - w * z) * v.y + 2 * (x * z + w * y) * v.z,
            2 * (x * y + w * z) * v.x + (w * w - x * x + y * y - z * z) * v.y + 2 * (y * z - w * x) * v.z,
            2 * (x * z - w * y) * v.x + 2 * (y * z + w * x) * v.y + (w * w - x * x - y * y + z * z) * v.z};
}
inline float dot(const Quat& a, const Quat& b) { return a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w; }
inline Quat scale(const Quat& q, float s) { return {q.x * s, q.y * s, q.z * s, q.w * s}; }
inline Quat divide(const Quat& q, float s) { return scale(q, 1.0f / s); }
inline Quat normalised(const Quat& q) { return divide(q, std::sqrt(dot(q, q))); }

// The rotated x axis of a unit quaternion (the direction a camera with this orientation looks).
inline Vec3 rotatedX(const Quat& q)
{
    return {1 - 2 * (q.y * q.y + q.z * q.z), 2 * (q.x * q.y + q.z * q.w), 2 * (q.x * q.z - q.y * q.w)};
}

// Points p with normal·p + d = 0.
struct Plane {
    Vec3 normal{0, 0, 0};
    float d = 1;

    static Plane fromNormal(const Vec3& n) { return {n, 0}; }
    static Plane fromNormalDistance(const Vec3& n, float k) { return {n, -k}; }
    // Counter-clockwise a, b, c seen from the side the normal points to.
    static Plane fromPoints(const Vec3& a, const Vec3& b, const Vec3& c)
    {
        Vec3 n = normalised(cross(b - a, c - b));
        return {n, -dot(n, a)};
    }
    void setThrough(const Vec3& p) { d = -dot(normal, p); }
    float distance(const Vec3& p) const { return dot(normal, p) + d; }
    Vec3 project(const Vec3& p) const { return p - normal * distance(p); }
};

struct BBox {
    Vec3 min{0, 0, 0};
    Vec3 max{0, 0, 0};

    void set(const Vec3& lo, const Vec3& hi) { min = lo; max = hi; }
    static BBox fromPoint(const Vec3& p) { return {p, p}; }
    static BBox empty() { return {{kInfinity, kInfinity, kInfinity}, {-kInfinity, -kInfinity, -kInfinity}}; }
    void extend(const Vec3& p) { extend(p, p); }
    void extend(const Vec3& lo, const Vec3& hi)
    {
        if (lo.x < min.x) min.x = lo.x;
        if (lo.y < min.y) min.y = lo.y;
        if (lo.z < min.z) min.z = lo.z;
        if (hi.x > max.x) max.x = hi.x;
        if (hi.y > max.y) max.y = hi.y;
        if (hi.z > max.z) max.z = hi.z;
    }
};

// Strict: boxes that only touch do not overlap.
inline bool overlaps(const BBox& a, const BBox& b)
{
    return a.min.x < b.max.x && a.max.x > b.min.x && a.min.y < b.max.y && a.max.y > b.min.y &&
           a.min.z < b.max.z && a.max.z > b.min.z;
}

// A half-line with a direction that is deliberately not normalised (mouse picking).
struct Ray {
    Vec3 origin{0, 0, 0};
    Vec3 direction{1, 0, 0};
};

// Fraction in [0, 1] of the move from -> to at which a sphere first touches the front of
// triangle (A, B, C), or exactly 1.0 without contact. On contact outPlane gets the
// triangle's plane; outWeights always gets the barycentric weights of the projected
// contact point once the plane has been reached.
float sweepSphereTriangle(const Vec3& from, const Vec3& to, float radius, const Vec3* const triangle[3],
                          Plane& outPlane, float outWeights[3]);
