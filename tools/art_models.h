#pragma once
// Our own models for the default world. Units: +z up, a particle has radius 1, so the
// scenery is some 10 to 60 units across. Every model is closed (each edge is shared by
// exactly two triangles, traversed once each way) and wound counter-clockwise from
// outside, so back-face culling and the spring model's edge search both work.
#include "tools/art_mesh.h"

namespace art {

// The three small helper models: a ring arrow about z, a half-ring arrow in the x-z
// plane with heads at both ends, and an arrow along +x.
Mesh yawArrow();
Mesh pitchArrow();
Mesh forwardArrow();

// Scenery for object instances, each with its own material, centred on the origin
// (the blob on its middle, the others standing on z = 0).
Mesh ramp();    // a wedge 60 long (x), 30 wide, rising to 15 towards +x
Mesh bowl();    // a thick dish 50 across and 12 deep
Mesh pillar();  // a column 40 tall with base and capital
// A soft body: a plump rounded cube about 26 across whose 8 x 8 face grids share their
// border vertices, so every mesh edge is one spring.
Mesh blob();
// A small round tower with a conical roof, for a spring space.
Mesh tower();

}  // namespace art
