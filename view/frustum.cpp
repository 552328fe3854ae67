#include "view/frustum.h"

#include <cmath>

Frustum Frustum::fromMatrices(const float projection[16], const float modelview[16])
{
    // clip = projection · modelview · (x, y, z, 1); row r of the product, column c.
    float m[4][4];
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            float s = 0;
            for (int k = 0; k < 4; ++k) s += projection[k * 4 + r] * modelview[c * 4 + k];
            m[r][c] = s;
        }
    // A point shows only when −w <= x, y, z <= w: w ± x, w ± y, w ± z are the planes.
    Frustum f;
    for (int axis = 0; axis < 3; ++axis)
        for (int side = 0; side < 2; ++side) {
            const float sign = side ? -1.0f : 1.0f;
            float* p = f.plane[2 * axis + side];
            for (int c = 0; c < 4; ++c) p[c] = m[3][c] + sign * m[axis][c];
        }
    return f;
}

bool Frustum::mayShow(const Vec3& lo, const Vec3& hi) const
{
    if (!(lo.x <= hi.x && lo.y <= hi.y && lo.z <= hi.z)) return false;
    // The GL rounds its own product of the same matrices; a relative slack of 1e-3 of
    // the terms' sizes is far beyond either rounding, so a box is dropped only when it
    // is really outside, never when it grazes a plane.
    const float kSlack = 1e-3f;
    for (const float* p : plane) {
        // The corner furthest inside this plane.
        const float x = p[0] >= 0 ? hi.x : lo.x;
        const float y = p[1] >= 0 ? hi.y : lo.y;
        const float z = p[2] >= 0 ? hi.z : lo.z;
        const float ax = p[0] * x, ay = p[1] * y, az = p[2] * z;
        const float v = ax + ay + az + p[3];
        const float size = std::fabs(ax) + std::fabs(ay) + std::fabs(az) + std::fabs(p[3]);
        if (v < -kSlack * size) return false;
    }
    return true;
}
