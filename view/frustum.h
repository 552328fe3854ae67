#pragma once
// What a view can show, as six half-spaces in the coordinates the matrices were loaded
// for. Drawing code asks it whether a box may show before sending the box's geometry:
// anything wholly outside one plane would only be clipped away.
#include "core/vecmath.h"

class Frustum {
public:
    // projection and modelview as the GL keeps them (column-major 4 × 4).
    static Frustum fromMatrices(const float projection[16], const float modelview[16]);
    // The matrices currently loaded (frustum_draw.cpp).
    static Frustum current();

    // False only when the box lies outside one plane by more than rounding could bridge:
    // nothing inside the box can then reach a pixel. An empty box (lo above hi) is hidden.
    bool mayShow(const Vec3& lo, const Vec3& hi) const;

    // a x + b y + c z + d >= 0 inside: left, right, bottom, top, near, far.
    float plane[6][4] = {};
};

