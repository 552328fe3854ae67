#include "view/cameramove.h"

#include <algorithm>
#include <cmath>

namespace {
// An orthographic view zooms between a hundredth of a unit, still far above the float
// spacing of world positions, and ten thousand units, the whole ground many times over and
// well short of the far plane. Unbounded, a held key drives the half-width to 0 or to
// infinity and the projection is lost for good.
constexpr float kMinOrthoHalfWidth = 0.01f;
constexpr float kMaxOrthoHalfWidth = 10000.0f;
// A framed box keeps a twentieth of the view free round it.
constexpr float kFrameMargin = 1.05f;

// The box's corners in the camera's frame: x forward, y left, z up.
void cornersInCameraFrame(const Camera& c, const BBox& box, const Vec3& origin, Vec3 out[8])
{
    const Vec3 fwd = rotate(c.orientation, {1, 0, 0}), left = rotate(c.orientation, {0, 1, 0}),
               up = rotate(c.orientation, {0, 0, 1});
    for (int i = 0; i < 8; ++i) {
        const Vec3 p((i & 1) ? box.max.x : box.min.x, (i & 2) ? box.max.y : box.min.y,
                     (i & 4) ? box.max.z : box.min.z);
        const Vec3 d = p - origin;
        out[i] = {dot(d, fwd), dot(d, left), dot(d, up)};
    }
}
}  // namespace

float boundedOrthoHalfWidth(float halfWidth) { return std::clamp(halfWidth, kMinOrthoHalfWidth, kMaxOrthoHalfWidth); }

void orbitCamera(Camera& c, const Vec3& pivot, float yawDegrees, float pitchDegrees)
{
    const Quat pitch = fromAxisAngle(rotate(c.orientation, {0, 1, 0}), pitchDegrees);
    const Quat turn = multiply(fromAxisAngle({0, 0, 1}, yawDegrees), pitch);
    c.position = pivot + rotate(turn, c.position - pivot);
    c.orientation = normalised(multiply(turn, c.orientation));
}

Vec3 pointAtDepth(const Viewport& v, int px, int py, float depth)
{
    const Camera& c = *v.camera;
    const Vec3 onNear = v.nearPlanePoint(px, py);
    // Window depth is linear in eye distance for an orthographic projection; for a
    // perspective one it is linear in 1 / distance: d = far (z − near) / (z (far − near)).
    if (c.orthographic) return onNear + rotatedX(c.orientation) * (depth * (c.far - c.near));
    const float distance = c.near * c.far / (c.far - depth * (c.far - c.near));
    return c.position + (onNear - c.position) * (distance / c.near);
}

void wheelCamera(Camera& c, int notches, float distance)
{
    const float along = static_cast<float>(notches) * distance;
    if (c.orthographic) {
        c.halfWidth = boundedOrthoHalfWidth(c.halfWidth * std::exp(-0.01f * along));
        if (c.aspectMode != 1) c.halfHeight *= std::exp(-0.01f * along);
    } else {
        c.position = c.position + rotate(c.orientation, {along, 0, 0});
    }
}

void frameBox(Camera& c, const BBox& box, float aspect)
{
    if (!(box.min.x <= box.max.x && box.min.y <= box.max.y && box.min.z <= box.max.z)) return;
    const Vec3 fwd = rotate(c.orientation, {1, 0, 0});
    Vec3 local[8];
    if (c.orthographic) {
        const Vec3 centre = (box.min + box.max) * 0.5f;
        cornersInCameraFrame(c, box, centre, local);
        float depth = 0, wide = 0, high = 0;
        for (const Vec3& p : local) {
            depth = std::max(depth, std::fabs(p.x));
            wide = std::max(wide, std::fabs(p.y));
            high = std::max(high, std::fabs(p.z));
        }
        // Stand in front of the box along the view axis, a step past the near plane.
        c.position = centre - fwd * (depth + c.near + 1);
        wide *= kFrameMargin;
        high *= kFrameMargin;
        // The stored extents the camera's aspect mode reads (see Camera::halfExtents).
        if (c.aspectMode == 1) {
            c.halfWidth = boundedOrthoHalfWidth(std::max(wide, high / aspect));
        } else if (c.aspectMode == 2) {
            c.halfHeight = std::max(high, wide * aspect);
        } else {
            c.halfWidth = boundedOrthoHalfWidth(wide);
            c.halfHeight = high;
        }
        return;
    }
    float hw, hh;
    c.halfExtents(aspect, hw, hh);
    cornersInCameraFrame(c, box, c.position, local);
    // A corner is in sight once its distance ahead reaches near × |offset| / half extent.
    float back = 0;
    for (const Vec3& p : local) {
        const float ahead = std::max({c.near, kFrameMargin * std::fabs(p.y) * c.near / hw,
                                      kFrameMargin * std::fabs(p.z) * c.near / hh});
        back = std::max(back, ahead - p.x);
    }
    c.position = c.position - fwd * back;
}
