#pragma once
// The surface pictures: the glow sprite, the ground detail, the bone skin and the
// scenery materials. All but the glow sprite tile seamlessly (they are drawn repeating).
#include "tools/art_image.h"

namespace art {

// A soft round white glow on black that reaches exactly black before the border, so
// additive quads show no square edges.
ArtImage glowSprite(int size);
// Fairly bright earthy greys (about 0.65..1.0) to multiply onto the baked ground colour.
ArtImage groundDetail(int size);
// Ivory with faint pores and streaks, for the sphere-mapped character skin.
ArtImage bone(int size);
// Grey stone blocks in courses with mortar joints.
ArtImage stone(int size);
// Warm planks with grain.
ArtImage wood(int size);
// A green gel with soft bubbles.
ArtImage jelly(int size);
// Brushed steel.
ArtImage metal(int size);

}  // namespace art
