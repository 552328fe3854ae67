#pragma once
#include "core/vecmath.h"

// Result of a swept query. Every surface query sweeps from its start to the current
// target and only ever shortens the segment, so after all queries the record holds the
// earliest contact found.
struct TraceHit {
    float t = 1;
    Vec3 target;
    Plane plane{{0, 0, 0}, 0};
    Vec3 triangle[3];
    float weights[3] = {0, 0, 0};
    float restitution = 0.5f;
    float friction = 0.75f;

    static TraceHit towards(const Vec3& end)
    {
        TraceHit h;
        h.target = end;
        return h;
    }

    // Takes a contact at fraction `frac` (< 1) of the rest of the sweep from `start` on
    // the triangle `corners`. Returns true when the sweep touches at its start (frac 0),
    // where no later query can come earlier.
    bool record(const Vec3& start, float frac, const Vec3* const corners[3], const float contactWeights[3],
                float surfaceRestitution, float surfaceFriction)
    {
        for (int k = 0; k < 3; ++k) {
            triangle[k] = *corners[k];
            weights[k] = contactWeights[k];
        }
        restitution = surfaceRestitution;
        friction = surfaceFriction;
        if (frac == 0) {
            target = start;
            t = 0;
            return true;
        }
        target = start + (target - start) * frac;
        t = t * frac;
        return false;
    }
};
