#pragma once
// The spring model's sweeps over its triangles and vertices twice over, for physics/ and
// its tests only: the scalar reference (springmodel.cpp) and the SSE lanes
// (springmodel_simd.cpp), which must give the reference's bits. The body takes the lanes
// wherever SSE2 is.
//
// The triangle sweeps read `count` triangles: cp, three corner particles each; c0s, four
// floats each, the corners' rest cosines and a facing flag they leave alone; cv, each
// corner's row in grad as a float offset (4 × vertex). grad holds one row of four floats
// per vertex, 16-byte aligned, the last float 0.
#include <cstddef>

#include "core/vecmath.h"
#include "physics/springsystem.h"

namespace modelforces {

// Corners whose sides are shorter than this have no usable angle (same cut-off as a
// degenerate spring): they get no rest cosine and give no angle force.
constexpr float kMinSide = 0.0001f;
// Stored in place of a rest cosine for a corner that had no angle when measured.
constexpr float kNoRestAngle = 2.0f;

constexpr int kFar[3] = {2, 0, 1};  // corner r's far corner a = r + 2

// One triangle's three corner terms, in corner order. Inline because the lanes finish
// with it the triangles that do not fill a block.
inline void angleTerms(Particle* const* cp, const float* c0s)
{
    // Each side once: side k runs from corner k to corner k + 1. Corner r's vectors are
    // u = -side(r + 2) and v = side(r); negation is exact, so this is the same
    // arithmetic as forming P(a) - P(r) and P(c) - P(r) afresh.
    const Vec3 side[3] = {cp[1]->pos - cp[0]->pos, cp[2]->pos - cp[1]->pos, cp[0]->pos - cp[2]->pos};
    const float len[3] = {length(side[0]), length(side[1]), length(side[2])};
    const float inv[3] = {1.0f / len[0], 1.0f / len[1], 1.0f / len[2]};
    for (int r = 0; r < 3; ++r) {
        const float c0 = c0s[r];
        const int a = kFar[r];
        if (c0 == kNoRestAngle || !(len[a] >= kMinSide && len[r] >= kMinSide)) continue;
        const Vec3 uu = -side[a];
        const Vec3& vv = side[r];
        const float iu = inv[a];
        const float iv = inv[r];
        float d = dot(uu, vv);
        Vec3 g = vv * (2 * d * iu * iv) - uu * (d * d * iu * iu * iu * iv) - vv * c0 + uu * (c0 * iu * iu);
        cp[a]->force += g * -0.1f;
    }
}

// One triangle's normal (b − a) × (c − a), added to its corners' gradient rows; returns
// its share of 6 V.
inline float addNormal(Particle* const* cp, const int* cv, float* grad)
{
    const Vec3& a = cp[0]->pos;
    const Vec3 normal = cross(cp[1]->pos - a, cp[2]->pos - a);
    for (int k = 0; k < 3; ++k) {
        float* g = grad + cv[k];
        g[0] += normal.x;
        g[1] += normal.y;
        g[2] += normal.z;
    }
    return dot(a, normal);
}

// What the pressure pass sums over the vertices.
struct GasSums {
    double sixRate = 0;     // 6 dV/dt: the rows dotted with the velocities
    double gradSquare = 0;  // 36 |dV/dx|²
};

namespace scalar {
void angles(Particle* const* cp, const float* c0s, std::size_t count);
// Also adds every triangle's normal to its corners' rows; returns 6 V.
double anglesAndNormals(Particle* const* cp, const float* c0s, const int* cv, float* grad, std::size_t count);
double normals(Particle* const* cp, const int* cv, float* grad, std::size_t count);
GasSums gasSums(const float* grad, Particle* const* vertex, std::size_t n);
}  // namespace scalar

#ifdef __SSE2__
namespace lanes {
void angles(Particle* const* cp, const float* c0s, std::size_t count);
double anglesAndNormals(Particle* const* cp, const float* c0s, const int* cv, float* grad, std::size_t count);
double normals(Particle* const* cp, const int* cv, float* grad, std::size_t count);
GasSums gasSums(const float* grad, Particle* const* vertex, std::size_t n);
}  // namespace lanes
#endif

}  // namespace modelforces
