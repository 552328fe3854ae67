// The spring model's sweeps in SSE lanes: the same triangles and vertices as the scalar
// reference in springmodel.cpp, in the same order, with the same bits.
#include "physics/springmodel_lanes.h"

#ifdef __SSE2__
#include <emmintrin.h>

#include <cstddef>

namespace modelforces::lanes {
namespace {
using Transposed = float[3][3][4];  // corner, component, lane

// Four triangles side by side, lane by lane the same operations in the same order as
// angleTerms (so the same bits); the forces are then added triangle by triangle, corner
// by corner, as angleTerms adds them.
[[gnu::always_inline]] inline void angleTerms4(Particle* const* cp, const Transposed& p, const float (&c0)[3][4])
{
    __m128 side[3][3], len[3], inv[3];
    for (int k = 0; k < 3; ++k) {
        const int next = (k + 1) % 3;
        for (int x = 0; x < 3; ++x) side[k][x] = _mm_sub_ps(_mm_load_ps(p[next][x]), _mm_load_ps(p[k][x]));
        len[k] = _mm_sqrt_ps(_mm_add_ps(_mm_add_ps(_mm_mul_ps(side[k][0], side[k][0]), _mm_mul_ps(side[k][1], side[k][1])),
                                        _mm_mul_ps(side[k][2], side[k][2])));
        inv[k] = _mm_div_ps(_mm_set1_ps(1.0f), len[k]);
    }
    const __m128 sign = _mm_set1_ps(-0.0f), two = _mm_set1_ps(2.0f), scale = _mm_set1_ps(-0.1f);
    const __m128 minSide = _mm_set1_ps(kMinSide), noRest = _mm_set1_ps(kNoRestAngle);
    alignas(16) float f[3][3][4];
    int use[3];
    for (int r = 0; r < 3; ++r) {
        const int a = kFar[r];
        const __m128 c = _mm_load_ps(c0[r]);
        const __m128 ok = _mm_and_ps(_mm_cmpneq_ps(c, noRest),
                                     _mm_and_ps(_mm_cmpge_ps(len[a], minSide), _mm_cmpge_ps(len[r], minSide)));
        use[r] = _mm_movemask_ps(ok);
        __m128 u[3], v[3];
        for (int x = 0; x < 3; ++x) {
            u[x] = _mm_xor_ps(side[a][x], sign);
            v[x] = side[r][x];
        }
        const __m128 iu = inv[a], iv = inv[r];
        const __m128 d = _mm_add_ps(_mm_add_ps(_mm_mul_ps(u[0], v[0]), _mm_mul_ps(u[1], v[1])), _mm_mul_ps(u[2], v[2]));
        const __m128 k1 = _mm_mul_ps(_mm_mul_ps(_mm_mul_ps(two, d), iu), iv);
        const __m128 k2 = _mm_mul_ps(_mm_mul_ps(_mm_mul_ps(_mm_mul_ps(_mm_mul_ps(d, d), iu), iu), iu), iv);
        const __m128 k3 = _mm_mul_ps(_mm_mul_ps(c, iu), iu);
        for (int x = 0; x < 3; ++x) {
            __m128 g = _mm_sub_ps(_mm_mul_ps(k1, v[x]), _mm_mul_ps(k2, u[x]));
            g = _mm_sub_ps(g, _mm_mul_ps(c, v[x]));
            g = _mm_add_ps(g, _mm_mul_ps(k3, u[x]));
            _mm_store_ps(f[r][x], _mm_mul_ps(scale, g));
        }
    }
    for (int l = 0; l < 4; ++l) {
        for (int r = 0; r < 3; ++r) {
            if (!(use[r] >> l & 1)) continue;
            Vec3& force = cp[3 * l + kFar[r]]->force;
            force.x += f[r][0][l];
            force.y += f[r][1][l];
            force.z += f[r][2][l];
        }
    }
}

// The same four triangles' normals (b − a) × (c − a), each added to its corners' rows as
// one row, and their shares of 6 V.
[[gnu::always_inline]] inline void normals4(const Transposed& p, const int* cv, float* grad, __m128d& sixLo,
                                            __m128d& sixHi)
{
    __m128 a[3], e[3], w[3];
    for (int x = 0; x < 3; ++x) {
        a[x] = _mm_load_ps(p[0][x]);
        e[x] = _mm_sub_ps(_mm_load_ps(p[1][x]), a[x]);
        w[x] = _mm_sub_ps(_mm_load_ps(p[2][x]), a[x]);
    }
    __m128 n0 = _mm_sub_ps(_mm_mul_ps(e[1], w[2]), _mm_mul_ps(e[2], w[1]));
    __m128 n1 = _mm_sub_ps(_mm_mul_ps(e[2], w[0]), _mm_mul_ps(e[0], w[2]));
    __m128 n2 = _mm_sub_ps(_mm_mul_ps(e[0], w[1]), _mm_mul_ps(e[1], w[0]));
    const __m128 six = _mm_add_ps(_mm_add_ps(_mm_mul_ps(a[0], n0), _mm_mul_ps(a[1], n1)), _mm_mul_ps(a[2], n2));
    sixLo = _mm_add_pd(sixLo, _mm_cvtps_pd(six));
    sixHi = _mm_add_pd(sixHi, _mm_cvtps_pd(_mm_movehl_ps(six, six)));
    __m128 n3 = _mm_setzero_ps();
    _MM_TRANSPOSE4_PS(n0, n1, n2, n3);
    const __m128 row[4] = {n0, n1, n2, n3};
    for (int l = 0; l < 4; ++l)
        for (int k = 0; k < 3; ++k) {
            float* g = grad + cv[3 * l + k];
            _mm_store_ps(g, _mm_add_ps(_mm_load_ps(g), row[l]));
        }
}

// The positions are transposed once for both.
template <bool kAngles, bool kNormals>
[[gnu::always_inline]] inline void triangles4(Particle* const* cp, const float* c0s, const int* cv, float* grad,
                                              __m128d& sixLo, __m128d& sixHi)
{
    alignas(16) Transposed p;
    alignas(16) float c0[3][4];
    for (int l = 0; l < 4; ++l) {
        for (int k = 0; k < 3; ++k) {
            const Vec3& q = cp[3 * l + k]->pos;
            p[k][0][l] = q.x;
            p[k][1][l] = q.y;
            p[k][2][l] = q.z;
            if constexpr (kAngles) c0[k][l] = c0s[4 * l + k];
        }
    }
    if constexpr (kNormals) normals4(p, cv, grad, sixLo, sixHi);
    if constexpr (kAngles) angleTerms4(cp, p, c0);
}

// Whole blocks of four triangles from the first; with the normals, returns 6 V of the
// blocks, summed in two halves so that consecutive blocks do not wait on one add.
template <bool kAngles, bool kNormals>
double triangleBlocks(std::size_t blocks, Particle* const* cp, const float* c0s, const int* cv, float* grad)
{
    __m128d sixLo = _mm_setzero_pd(), sixHi = _mm_setzero_pd();
    for (std::size_t b = 0; b < blocks; ++b, cp += 12) {
        triangles4<kAngles, kNormals>(cp, c0s, cv, grad, sixLo, sixHi);
        if constexpr (kAngles) c0s += 16;
        if constexpr (kNormals) cv += 12;
    }
    const __m128d both = _mm_add_pd(sixLo, sixHi);
    return _mm_cvtsd_f64(_mm_add_sd(both, _mm_unpackhi_pd(both, both)));
}
}  // namespace

void angles(Particle* const* cp, const float* c0s, std::size_t count)
{
    const std::size_t blocked = count / 4 * 4;
    triangleBlocks<true, false>(count / 4, cp, c0s, nullptr, nullptr);
    for (std::size_t t = blocked; t < count; ++t) angleTerms(cp + 3 * t, c0s + 4 * t);
}

double anglesAndNormals(Particle* const* cp, const float* c0s, const int* cv, float* grad, std::size_t count)
{
    const std::size_t blocked = count / 4 * 4;
    double six = triangleBlocks<true, true>(count / 4, cp, c0s, cv, grad);
    for (std::size_t t = blocked; t < count; ++t) {
        angleTerms(cp + 3 * t, c0s + 4 * t);
        six += addNormal(cp + 3 * t, cv + 3 * t, grad);
    }
    return six;
}

double normals(Particle* const* cp, const int* cv, float* grad, std::size_t count)
{
    const std::size_t blocked = count / 4 * 4;
    double six = triangleBlocks<false, true>(count / 4, cp, nullptr, cv, grad);
    for (std::size_t t = blocked; t < count; ++t) six += addNormal(cp + 3 * t, cv + 3 * t, grad);
    return six;
}

GasSums gasSums(const float* grad, Particle* const* vertex, std::size_t n)
{
    double sixRate = 0, gradSquare = 0;
    std::size_t i = 0;
    // Per component in lanes of doubles, two vertices at a time: no horizontal add
    // per vertex, and the adds overlap.
    auto product = [&](std::size_t j) {
        const Vec3& v = vertex[j]->vel;
        const __m128 xy = _mm_loadl_pi(_mm_setzero_ps(), reinterpret_cast<const __m64*>(&v.x));
        return _mm_mul_ps(_mm_load_ps(grad + 4 * j), _mm_movelh_ps(xy, _mm_load_ss(&v.z)));
    };
    __m128d xy0 = _mm_setzero_pd(), z0 = _mm_setzero_pd(), xy1 = _mm_setzero_pd(), z1 = _mm_setzero_pd();
    __m128 square = _mm_setzero_ps();  // the pad lane is 0
    for (; i + 1 < n; i += 2) {
        const __m128 p0 = product(i), p1 = product(i + 1);
        const __m128 g0 = _mm_load_ps(grad + 4 * i), g1 = _mm_load_ps(grad + 4 * (i + 1));
        square = _mm_add_ps(square, _mm_add_ps(_mm_mul_ps(g0, g0), _mm_mul_ps(g1, g1)));
        xy0 = _mm_add_pd(xy0, _mm_cvtps_pd(p0));
        z0 = _mm_add_pd(z0, _mm_cvtps_pd(_mm_movehl_ps(p0, p0)));
        xy1 = _mm_add_pd(xy1, _mm_cvtps_pd(p1));
        z1 = _mm_add_pd(z1, _mm_cvtps_pd(_mm_movehl_ps(p1, p1)));
    }
    const __m128d all = _mm_add_pd(_mm_add_pd(xy0, z0), _mm_add_pd(xy1, z1));
    sixRate = _mm_cvtsd_f64(_mm_add_sd(all, _mm_unpackhi_pd(all, all)));
    const __m128d sq = _mm_add_pd(_mm_cvtps_pd(square), _mm_cvtps_pd(_mm_movehl_ps(square, square)));
    gradSquare = _mm_cvtsd_f64(_mm_add_sd(sq, _mm_unpackhi_pd(sq, sq)));
    for (; i < n; ++i) {
        const Vec3 g(grad[4 * i], grad[4 * i + 1], grad[4 * i + 2]);
        sixRate += dot(g, vertex[i]->vel);
        gradSquare += lengthSquared(g);
    }
    return {sixRate, gradSquare};
}

}  // namespace modelforces::lanes
#endif
