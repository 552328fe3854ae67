#pragma once
#include "app/vecmath.h"

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
};
