#include "physics/springsystem.h"

#include <cstdio>
#include <new>

#include "app/debug.h"

#ifdef __SSE2__
#include <immintrin.h>
#endif

void ParticleSystem::release()
{
    // Every record lives in the block; dropping it frees live and free records alike.
    block.reset();
    created = 0;
    live = 0;
    liveHead = nullptr;
    freeHead = nullptr;
}

Particle* ParticleSystem::allocParticle()
{
    Particle* p = freeHead;
    if (p) {
        freeHead = p->next;
        if (freeHead) freeHead->prev = nullptr;
    } else {
        ++created;
        if (created > MAX_PARTICLES) return nullptr;
        if (!block) {
            block.reset(new (std::nothrow) Particle[MAX_PARTICLES]);
            if (!block) {
                --created;
                return nullptr;
            }
        }
        p = &block[created - 1];
        *p = Particle{};
    }
    p->prev = nullptr;
    p->next = liveHead;
    if (liveHead) liveHead->prev = p;
    liveHead = p;
    p->impact = 0;
    p->force.clear();
    ++live;
    return p;
}

void ParticleSystem::freeParticle(Particle* p)
{
    TV_ASSERT(p);
    if (p->prev)
        p->prev->next = p->next;
    else
        liveHead = p->next;
    if (p->next) p->next->prev = p->prev;
    --live;
    p->prev = nullptr;
    p->next = freeHead;
    if (freeHead) freeHead->prev = p;
    freeHead = p;
}

Vec3 outOfBoundsForce(const Vec3& F)
{
    std::printf("got an out of bounds force: %f %f %f\n", F.x, F.y, F.z);
    return {0, 0, 0};
}

int SpringSystem::allocSpring()
{
    for (size_t i = 0; i < spring.size(); ++i) {
        if (!spring[i].active) {
            spring[i].active = true;
            return static_cast<int>(i);
        }
    }
    spring.emplace_back();
    spring.back().active = true;
    return static_cast<int>(spring.size() - 1);
}

void SpringSystem::freeSpring(int index)
{
    if (index < 0 || index >= count()) return;
    spring[index].active = false;
}

namespace {
inline void applyOne(const Spring& s)
{
    Particle* p0 = s.p0;
    Particle* p1 = s.p1;
    TV_ASSERT(p0 && p1);
    Vec3 F = springForce(p0->pos - p1->pos, p0->vel - p1->vel, s.ks, s.kd, s.rest);
    p0->force += F;
    p1->force -= F;
}
}  // namespace

// Four active springs at a time share the square root and the two divisions in SIMD
// lanes. Every lane performs exactly the scalar operations of springForce in the same
// order (no contraction), so the forces are bit-identical; they are then checked and
// added to the particles one spring at a time, in index order.
void SpringSystem::applySpringForces(ParticleSystem&)
{
    const size_t n = spring.size();
    size_t i = 0;
#ifdef __SSE2__
    for (; i + 4 <= n; i += 4) {
        const Spring* s = &spring[i];
        if (!(s[0].active && s[1].active && s[2].active && s[3].active)) {
            for (int k = 0; k < 4; ++k)
                if (s[k].active) applyOne(s[k]);
            continue;
        }
        const Particle* p0[4] = {s[0].p0, s[1].p0, s[2].p0, s[3].p0};
        const Particle* p1[4] = {s[0].p1, s[1].p1, s[2].p1, s[3].p1};
        for (int k = 0; k < 4; ++k) TV_ASSERT(p0[k] && p1[k]);
        // Lanes are built in registers: a vector load of four separate scalar stores
        // would stall on store forwarding.
#define TV_LANES(e) _mm_setr_ps(e(0), e(1), e(2), e(3))
#define TV_PX(k) p0[k]->pos.x
#define TV_PY(k) p0[k]->pos.y
#define TV_PZ(k) p0[k]->pos.z
#define TV_QX(k) p1[k]->pos.x
#define TV_QY(k) p1[k]->pos.y
#define TV_QZ(k) p1[k]->pos.z
#define TV_VX(k) p0[k]->vel.x
#define TV_VY(k) p0[k]->vel.y
#define TV_VZ(k) p0[k]->vel.z
#define TV_WX(k) p1[k]->vel.x
#define TV_WY(k) p1[k]->vel.y
#define TV_WZ(k) p1[k]->vel.z
#define TV_KS(k) s[k].ks
#define TV_KD(k) s[k].kd
#define TV_REST(k) s[k].rest
        const __m128 dx = _mm_sub_ps(TV_LANES(TV_PX), TV_LANES(TV_QX));
        const __m128 dy = _mm_sub_ps(TV_LANES(TV_PY), TV_LANES(TV_QY));
        const __m128 dz = _mm_sub_ps(TV_LANES(TV_PZ), TV_LANES(TV_QZ));
        const __m128 vx = _mm_sub_ps(TV_LANES(TV_VX), TV_LANES(TV_WX));
        const __m128 vy = _mm_sub_ps(TV_LANES(TV_VY), TV_LANES(TV_WY));
        const __m128 vz = _mm_sub_ps(TV_LANES(TV_VZ), TV_LANES(TV_WZ));
        const __m128 ks = TV_LANES(TV_KS), kd = TV_LANES(TV_KD), rest = TV_LANES(TV_REST);
#undef TV_LANES
        const __m128 L = _mm_sqrt_ps(_mm_add_ps(_mm_add_ps(_mm_mul_ps(dx, dx), _mm_mul_ps(dy, dy)), _mm_mul_ps(dz, dz)));
        const __m128 S = _mm_mul_ps(_mm_sub_ps(L, rest), ks);
        const __m128 dv = _mm_add_ps(_mm_add_ps(_mm_mul_ps(vx, dx), _mm_mul_ps(vy, dy)), _mm_mul_ps(vz, dz));
        const __m128 D = _mm_div_ps(_mm_mul_ps(dv, kd), L);
        const __m128 c = _mm_div_ps(_mm_xor_ps(_mm_add_ps(S, D), _mm_set1_ps(-0.0f)), L);
        // Degenerate springs (ends closer than 0.0001) give exactly zero.
        const __m128 keep = _mm_cmpnlt_ps(L, _mm_set1_ps(0.0001f));
        alignas(16) float f[3][4];
        _mm_store_ps(f[0], _mm_and_ps(_mm_mul_ps(c, dx), keep));
        _mm_store_ps(f[1], _mm_and_ps(_mm_mul_ps(c, dy), keep));
        _mm_store_ps(f[2], _mm_and_ps(_mm_mul_ps(c, dz), keep));
        for (int k = 0; k < 4; ++k) {
            Vec3 F(f[0][k], f[1][k], f[2][k]);
            if (!(lengthSquared(F) < 9.9e13f) && length(F) > 10000000.0f) F = outOfBoundsForce(F);
            s[k].p0->force += F;
            s[k].p1->force -= F;
        }
    }
#endif
    for (; i < n; ++i)
        if (spring[i].active) applyOne(spring[i]);
}
