#include "physics/springsystem.h"

#include <cstdio>
#include <new>

#include "app/debug.h"

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

Vec3 springForce(const Vec3& posDelta, const Vec3& velDelta, float ks, float kd, float rest)
{
    float L = length(posDelta);
    if (L < 0.0001f) return {0, 0, 0};  // degenerate: ends on top of each other
    float S = (L - rest) * ks;
    float D = dot(velDelta, posDelta) * kd / L;
    Vec3 F = posDelta * (-(S + D) / L);
    if (length(F) > 10000000.0f) {
        std::printf("got an out of bounds force: %f %f %f\n", F.x, F.y, F.z);
        return {0, 0, 0};
    }
    return F;
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

void SpringSystem::applySpringForces(ParticleSystem&)
{
    const size_t n = spring.size();
    for (size_t i = 0; i < n; ++i) {
        const Spring& s = spring[i];
        if (!s.active) continue;
        Particle* p0 = s.p0;
        Particle* p1 = s.p1;
        TV_ASSERT(p0 && p1);
        Vec3 F = springForce(p0->pos - p1->pos, p0->vel - p1->vel, s.ks, s.kd, s.rest);
        p0->force += F;
        p1->force -= F;
    }
}
