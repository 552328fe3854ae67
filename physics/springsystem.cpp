#include "physics/springsystem.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdio>
#include <functional>

#include "core/debug.h"
#include "core/problems.h"
#include "physics/springsystem_lanes.h"

Particle* ParticleSystem::allocParticle()
{
    Particle* p = allocate();
    if (!p) return nullptr;
    p->impact = 0;
    p->force.clear();
    return p;
}

void ParticleSystem::freeParticle(Particle* p)
{
    TV_ASSERT(p);
    if (!handPinned.empty()) std::erase(handPinned, p);
    recycle(p);
}

void ParticleSystem::pinByHand(Particle* p, bool pin)
{
    std::erase(handPinned, p);
    if (pin) {
        p->invMass = 0;
        p->vel = {0, 0, 0};
        handPinned.push_back(p);
    } else {
        p->invMass = 1;
    }
}

namespace {
int runawayForces = -1;  // replaced while a report is open; -1 when none is
}  // namespace

Vec3 outOfBoundsForce(const Vec3& F)
{
    if (runawayForces <= 0) tv::problem("got an out of bounds force: %f %f %f\n", F.x, F.y, F.z);
    if (runawayForces >= 0 && runawayForces < INT_MAX) ++runawayForces;
    return {0, 0, 0};
}

RunawayForceReport::RunawayForceReport() : outermost(runawayForces < 0)
{
    if (outermost) runawayForces = 0;
}

RunawayForceReport::~RunawayForceReport()
{
    if (!outermost) return;
    if (runawayForces > 0) tv::problem("out of bounds forces replaced this update: %d\n", runawayForces);
    runawayForces = -1;
}

int SpringSystem::allocSpring()
{
    while (!freeSlots.empty()) {
        std::pop_heap(freeSlots.begin(), freeSlots.end(), std::greater<>());
        const int i = freeSlots.back();
        freeSlots.pop_back();
        // A slot taken again by hand, or gone with a cleared array, is passed over.
        if (i < count() && !spring[i].active) {
            spring[i].active = true;
            spring[i].across = 0;  // the builders set every other field
            return i;
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
    freeSlots.push_back(index);
    std::push_heap(freeSlots.begin(), freeSlots.end(), std::greater<>());
}

namespace springforces::scalar {
void apply(const Spring* s, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i)
        if (s[i].active) applyOne(s[i]);
}
}  // namespace springforces::scalar

void SpringSystem::applySpringForces(ParticleSystem&)
{
#ifdef __SSE2__
    springforces::lanes::apply(spring.data(), spring.size());
#else
    springforces::scalar::apply(spring.data(), spring.size());
#endif
}
