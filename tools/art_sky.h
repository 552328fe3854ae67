#pragma once
// The sky: one function of the world direction, painted onto the six cube faces so that
// the faces meet without seams. The face layout is the sky cube's own table (corners and
// texture coordinates in the cube frame); the cube reaches the world turned by -90
// degrees about x, so cube +y points down and cube +z points north (+y).
#include "core/vecmath.h"
#include "tools/art_image.h"

namespace sky {

constexpr int kFaceCount = 6;
constexpr int kFaceSize = 512;  // texels per side: sharp enough for a 90° view across 720 pixels
// Picture suffixes in face order: "data/sky/blue<name>.bmp".
extern const char* const kFaceNames[kFaceCount];
// The cube's corners k (bit 2 = x, bit 1 = y, bit 0 = z set means +1) per face, in
// drawing order, and the texture coordinate of each.
extern const int kFaceCorners[kFaceCount][4];
extern const float kFaceTexCoords[kFaceCount][4][2];

// Corner k of the unit cube (coordinates +-1).
Vec3 corner(int k);
// The point of face `face` (cube frame, on the unit cube) at texture coordinate (s, t),
// interpolated from the face's four corners.
Vec3 facePoint(int face, float s, float t);
// Cube frame to world: the sky's -90 degree turn about x.
Vec3 cubeToWorld(const Vec3& v);

// Colour of the sky seen along the world direction `dir` (any length; z up).
Colour colour(const Vec3& dir);

// One face picture, size x size. Texel (i, j) (j counted from the bottom row, t = 0) is
// the sky at (s, t) = (i, j) / (size - 1): the outermost texels lie on the cube's edges,
// so the two faces meeting at an edge hold the same colours there.
ArtImage face(int face, int size);

}  // namespace sky
