#pragma once
// The spring force pass twice over, for physics/ and its tests only: the scalar
// reference, spring by spring, and the SSE lanes, four springs at a time, which must give
// the reference's bits. The pass takes the lanes wherever SSE2 is.
#include <cstddef>

#include "core/debug.h"
#include "physics/springsystem.h"

namespace springforces {

// Inline because both versions take single springs through it.
inline void applyOne(const Spring& s)
{
    Particle* p0 = s.p0;
    Particle* p1 = s.p1;
    TV_ASSERT(p0 && p1);
    Vec3 F = springForce(p0->pos - p1->pos, p0->vel - p1->vel, s.ks, s.kd, s.rest);
    if (s.across != 0) {
        F -= (p0->vel - p1->vel) * s.across;
        if (!isFinite(F)) F = outOfBoundsForce(F);  // an end that is no longer a number
    }
    p0->force += F;
    p1->force -= F;
}

namespace scalar {
// The active springs of s[0, n), in index order.
void apply(const Spring* s, std::size_t n);
}  // namespace scalar

#ifdef __SSE2__
namespace lanes {
void apply(const Spring* s, std::size_t n);
}  // namespace lanes
#endif

}  // namespace springforces
