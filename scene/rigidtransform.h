#pragma once
#include "core/vecmath.h"

// A rotation followed by a translation. Composing T with a child C rotates C into T's
// frame: rotation T.rot·C.rot, translation T.rot(C.trans) + T.trans.
struct RigidTransform {
    Quat rot;
    Vec3 trans{0, 0, 0};

    RigidTransform compose(const RigidTransform& child) const
    {
        return {multiply(rot, child.rot), rotate(rot, child.trans) + trans};
    }
};
