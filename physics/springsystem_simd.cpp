// The spring force pass in SSE lanes: the same springs, in the same order, with the same
// bits as the scalar reference in springsystem.cpp.
#include "physics/springsystem_lanes.h"

#include <cstddef>

#ifdef __SSE2__
#include <immintrin.h>
#endif

// Kept in every build, since the layout is the pool's and the lanes rely on it.
namespace {
// pos (at 44) starts 68 bytes into a line, and the rows read by the force pass,
// pos..vel.y+16 and force..+16, stay in one line each.
static_assert(sizeof(Particle) % 64 == 0);
static_assert((kParticlePhase + offsetof(Particle, pos)) % 64 + 8 * sizeof(float) <= 64);
static_assert(offsetof(Particle, force) == 0 && offsetof(Particle, impact) >= 4 * sizeof(float));
// The four-float rows read by the force pass stay inside each record.
static_assert(offsetof(Particle, vel) == offsetof(Particle, pos) + 3 * sizeof(float));
static_assert(offsetof(Particle, prevPos) == offsetof(Particle, vel) + 3 * sizeof(float));
static_assert(offsetof(Spring, ks) == offsetof(Spring, rest) + sizeof(float));
static_assert(offsetof(Spring, kd) == offsetof(Spring, ks) + sizeof(float));
static_assert(sizeof(Spring) >= offsetof(Spring, rest) + 4 * sizeof(float));
}  // namespace

#ifdef __SSE2__
namespace springforces::lanes {

// Four active springs at a time share the square root and the two divisions in SIMD
// lanes. Every lane performs exactly the scalar operations of springForce in the same
// order (no contraction), so the forces are bit-identical; they are then checked and
// added to the particles one spring at a time, in index order, each as one four-float
// row whose last lane adds zero to the padding after `force`.
void apply(const Spring* springs, std::size_t n)
{
    std::size_t i = 0;
    for (; i + 4 <= n; i += 4) {
        const Spring* s = &springs[i];
        if (!(s[0].active && s[1].active && s[2].active && s[3].active)) {
            for (int k = 0; k < 4; ++k)
                if (s[k].active) applyOne(s[k]);
            continue;
        }
        Particle* p0[4] = {s[0].p0, s[1].p0, s[2].p0, s[3].p0};
        Particle* p1[4] = {s[0].p1, s[1].p1, s[2].p1, s[3].p1};
        for (int k = 0; k < 4; ++k) TV_ASSERT_TEXT(p0[k] && p1[k], "p0 && p1");
        // Each end is read as two four-float rows, (pos, vel.x) and (vel.y, vel.z, …);
        // the row differences are the spring's deltas, turned into lanes by transposes.
        __m128 r0 = _mm_sub_ps(_mm_loadu_ps(&p0[0]->pos.x), _mm_loadu_ps(&p1[0]->pos.x));
        __m128 r1 = _mm_sub_ps(_mm_loadu_ps(&p0[1]->pos.x), _mm_loadu_ps(&p1[1]->pos.x));
        __m128 r2 = _mm_sub_ps(_mm_loadu_ps(&p0[2]->pos.x), _mm_loadu_ps(&p1[2]->pos.x));
        __m128 r3 = _mm_sub_ps(_mm_loadu_ps(&p0[3]->pos.x), _mm_loadu_ps(&p1[3]->pos.x));
        _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
        const __m128 dx = r0, dy = r1, dz = r2, vx = r3;
        const __m128 q0 = _mm_sub_ps(_mm_loadu_ps(&p0[0]->vel.y), _mm_loadu_ps(&p1[0]->vel.y));
        const __m128 q1 = _mm_sub_ps(_mm_loadu_ps(&p0[1]->vel.y), _mm_loadu_ps(&p1[1]->vel.y));
        const __m128 q2 = _mm_sub_ps(_mm_loadu_ps(&p0[2]->vel.y), _mm_loadu_ps(&p1[2]->vel.y));
        const __m128 q3 = _mm_sub_ps(_mm_loadu_ps(&p0[3]->vel.y), _mm_loadu_ps(&p1[3]->vel.y));
        const __m128 lo = _mm_unpacklo_ps(q0, q1), hi = _mm_unpacklo_ps(q2, q3);
        const __m128 vy = _mm_movelh_ps(lo, hi);
        const __m128 vz = _mm_movehl_ps(hi, lo);
        // (rest, ks, kd, across) rows of the four springs.
        __m128 t0 = _mm_loadu_ps(&s[0].rest), t1 = _mm_loadu_ps(&s[1].rest);
        __m128 t2 = _mm_loadu_ps(&s[2].rest), t3 = _mm_loadu_ps(&s[3].rest);
        _MM_TRANSPOSE4_PS(t0, t1, t2, t3);
        const __m128 rest = t0, ks = t1, kd = t2, across = t3;
        const __m128 L = _mm_sqrt_ps(_mm_add_ps(_mm_add_ps(_mm_mul_ps(dx, dx), _mm_mul_ps(dy, dy)), _mm_mul_ps(dz, dz)));
        const __m128 S = _mm_mul_ps(_mm_sub_ps(L, rest), ks);
        const __m128 dv = _mm_add_ps(_mm_add_ps(_mm_mul_ps(vx, dx), _mm_mul_ps(vy, dy)), _mm_mul_ps(vz, dz));
        const __m128 D = _mm_div_ps(_mm_mul_ps(dv, kd), L);
        const __m128 c = _mm_div_ps(_mm_xor_ps(_mm_add_ps(S, D), _mm_set1_ps(-0.0f)), L);
        // Degenerate springs (ends closer than 0.0001) give exactly zero.
        const __m128 keep = _mm_cmpnlt_ps(L, _mm_set1_ps(0.0001f));
        __m128 fx = _mm_and_ps(_mm_mul_ps(c, dx), keep);
        __m128 fy = _mm_and_ps(_mm_mul_ps(c, dy), keep);
        __m128 fz = _mm_and_ps(_mm_mul_ps(c, dz), keep);
        const __m128 f2 = _mm_add_ps(_mm_add_ps(_mm_mul_ps(fx, fx), _mm_mul_ps(fy, fy)), _mm_mul_ps(fz, fz));
        int small = _mm_movemask_ps(_mm_cmplt_ps(f2, _mm_set1_ps(9.9e13f)));
        // The second dashpot, as applyOne adds it: after the bound, and only where set, so
        // that other springs keep their bits (x − (+0) is x, −0 included). With no force
        // near the bound nothing is replaced, and it is taken off in the lanes at once.
        const __m128 set = _mm_cmpneq_ps(across, _mm_setzero_ps());
        const int crossing = _mm_movemask_ps(set);
        const bool crossLater = crossing && small != 0xF;
        if (crossing && !crossLater) {
            fx = _mm_sub_ps(fx, _mm_and_ps(_mm_mul_ps(vx, across), set));
            fy = _mm_sub_ps(fy, _mm_and_ps(_mm_mul_ps(vy, across), set));
            fz = _mm_sub_ps(fz, _mm_and_ps(_mm_mul_ps(vz, across), set));
            // An end that is no longer a number: its lane goes to the check below.
            const __m128 zero = _mm_setzero_ps();
            const __m128 finite = _mm_and_ps(_mm_cmpord_ps(_mm_mul_ps(fx, zero), _mm_mul_ps(fy, zero)),
                                             _mm_cmpord_ps(_mm_mul_ps(fz, zero), zero));
            small &= _mm_movemask_ps(finite);
        }
        __m128 fw = _mm_setzero_ps();
        _MM_TRANSPOSE4_PS(fx, fy, fz, fw);
        __m128 row[4] = {fx, fy, fz, fw};  // (Fx, Fy, Fz, 0) of each spring
        __m128 cross[4] = {};
        if (crossLater) {
            cross[0] = _mm_mul_ps(vx, across);
            cross[1] = _mm_mul_ps(vy, across);
            cross[2] = _mm_mul_ps(vz, across);
            cross[3] = _mm_setzero_ps();
            _MM_TRANSPOSE4_PS(cross[0], cross[1], cross[2], cross[3]);
        }
        for (int k = 0; k < 4; ++k) {
            if (!(small & (1 << k))) {
                alignas(16) float f[4];
                _mm_store_ps(f, row[k]);
                const Vec3 F(f[0], f[1], f[2]);
                if (!(length(F) <= 10000000.0f)) {
                    outOfBoundsForce(F);
                    row[k] = _mm_setzero_ps();
                }
            }
            if (crossLater && (crossing & (1 << k))) {
                row[k] = _mm_sub_ps(row[k], cross[k]);
                alignas(16) float f[4];
                _mm_store_ps(f, row[k]);
                const Vec3 F(f[0], f[1], f[2]);
                if (!(small & (1 << k)) && !isFinite(F)) {
                    outOfBoundsForce(F);
                    row[k] = _mm_setzero_ps();
                }
            }
            // The fourth lane adds zero to the padding after force.
            float* a0 = &p0[k]->force.x;
            float* a1 = &p1[k]->force.x;
            _mm_storeu_ps(a0, _mm_add_ps(_mm_loadu_ps(a0), row[k]));
            _mm_storeu_ps(a1, _mm_sub_ps(_mm_loadu_ps(a1), row[k]));
        }
    }
    for (; i < n; ++i)
        if (springs[i].active) applyOne(springs[i]);
}

}  // namespace springforces::lanes
#endif
