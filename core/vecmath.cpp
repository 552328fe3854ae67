#include "core/vecmath.h"

#include <algorithm>

Quat fromAxisAngle(const Quat& q)
{
    float h = q.w * kPi / 360.0f;
    float s = std::sin(h);
    return {q.x * s, q.y * s, q.z * s, std::cos(h)};
}

Quat toAxisAngle(const Quat& q)
{
    float w = std::clamp(q.w, -1.0f, 1.0f);
    float h = std::acos(w);
    float s = std::sin(h);
    if (s != 0) return {q.x / s, q.y / s, q.z / s, h * 360.0f / kPi};
    return {0, 0, 1, 0};
}

float sweepSphereTriangle(const Vec3& from, const Vec3& to, float radius, const Vec3* const triangle[3],
                          Plane& outPlane, float outWeights[3])
{
    const float eps = 0.0003125f;
    const Vec3& A = *triangle[0];
    const Vec3& B = *triangle[1];
    const Vec3& C = *triangle[2];

    // The plane's front side is the only one that collides.
    Vec3 m = to - from;
    Plane P = Plane::fromPoints(A, B, C);
    const Vec3& n = P.normal;
    float s = dot(n, m);
    if (s > 0 || std::isnan(s)) return 1.0f;

    // Fractions at which the sphere's front touches the plane at the start and end, and
    // at which the whole sphere has passed behind it.
    float t0 = (radius - P.d - dot(n, from)) / s;
    float t1 = (radius - P.d - dot(n, to)) / s;
    float tb = t0 - 2 * radius / s;
    if (t0 < 0 && t1 < 0) {
        if (tb < 0) return 1.0f;
        t0 = 0;  // already cutting the plane
    }
    if (!(t0 < 0) && !(t1 < 0)) return 1.0f;

    // Stop slightly short of the touching point.
    float t = t0 >= 0 ? (t0 - eps) / (t0 - t1) : (t0 + eps) / (t0 - t1);
    t = std::clamp(t, 0.0f, 1.0f);

    // Judge the contact where the sphere really touches the plane, not at the pulled-back
    // centre: the pull-back is a fraction of the move, so on a long ray it would slide the
    // projected point off the triangle near every edge and a ray would slip between cells.
    float tTouch = std::clamp(t0 / (t0 - t1), 0.0f, 1.0f);
    Vec3 c = lerp(from, to, tTouch);
    Vec3 q = P.project(c);

    // Barycentric weights of the projected centre.
    Vec3 e1 = B - A, e2 = C - A, v = q - A;
    Vec3 N = cross(e1, e2);
    float nn = dot(N, N);
    float wB = dot(cross(v, e2), N) / nn;
    float wC = -dot(cross(v, e1), N) / nn;
    float wA = 1 - wB - wC;
    outWeights[0] = wA;
    outWeights[1] = wB;
    outWeights[2] = wC;

    // weight × height = signed distance from the opposite edge's line.
    float lenN = std::sqrt(nn);
    float hA = lenN / length(B - C);
    float hB = lenN / length(C - A);
    float hC = lenN / length(A - B);

    bool contact;
    if (wA > 0 && wB > 0 && wC > 0) {
        contact = true;
    } else if (wA * hA < -radius || wB * hB < -radius || wC * hC < -radius) {
        contact = false;  // more than a radius beyond one edge's line: the whole triangle is
    } else {
        // Judge the edge whose line q lies farthest outside of: near its middle by the
        // distance to its line, beyond its ends by the distance to the corner. (Always
        // judging the edge B–C would let a sliver report contacts far beyond its other
        // corners.) Touching exactly counts, so a ray along an edge or through a corner hits.
        const float d[3] = {wA * hA, wB * hB, wC * hC};
        int k = 0;
        if (d[1] < d[k]) k = 1;
        if (d[2] < d[k]) k = 2;
        const Vec3* const ends[3][2] = {{&B, &C}, {&C, &A}, {&A, &B}};
        const Vec3& P0 = *ends[k][0];
        const Vec3& P1 = *ends[k][1];
        Vec3 e = P1 - P0;
        if (dot(e, q - P1) > 0)
            contact = lengthSquared(q - P1) <= radius * radius;
        else if (dot(e, q - P0) < 0)
            contact = lengthSquared(q - P0) <= radius * radius;
        else
            contact = d[k] >= -radius;
    }
    if (!contact) return 1.0f;
    outPlane = P;
    return t;
}
