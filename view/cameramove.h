#pragma once
// Camera moves of the mouse and of framing: orbiting a point, the wheel's flight or zoom,
// and fitting a box into a view. Pure arithmetic on a Camera; no GL.
#include "view/camera.h"
#include "view/viewport.h"
#include "core/vecmath.h"

// An orthographic view's half-width kept between a hundredth of a unit and ten thousand,
// the range of the keyboard zoom.
float boundedOrthoHalfWidth(float halfWidth);

// Turns the camera about the world point pivot: pitch about the camera's own left axis,
// then yaw about the world's +z, both through the pivot. Position and orientation turn
// together, so the pivot keeps its place in the camera's frame and stays under its pixel.
void orbitCamera(Camera& c, const Vec3& pivot, float yawDegrees, float pitchDegrees);

// The world point drawn at a window point of the viewport at window depth (0 near plane,
// 1 far plane), from the near corners of its last render.
Vec3 pointAtDepth(const Viewport& v, int px, int py, float depth);

// One wheel notch: forward (+1) or back (−1) by distance along the view direction; an
// orthographic view zooms instead, as far as the keys would over that distance.
void wheelCamera(Camera& c, int notches, float distance);

// Brings box into view in a viewport of the given aspect (height ÷ width), keeping the
// orientation. Orthographic: centred on the box, with the half extents fitted to it.
// Perspective: moved back along the view direction, no further than needed.
void frameBox(Camera& c, const BBox& box, float aspect);
