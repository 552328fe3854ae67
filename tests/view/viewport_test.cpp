#include <gtest/gtest.h>

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "view/cameramove.h"
#include "view/viewport.h"
#include "support/glcontext.h"
#include "support/testutil.h"

class ViewportLayoutTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setUpCameras(views, nullptr);
        rebuildViewList(views, false);
        attachCameras(views);
    }
    Views views;
};

TEST_F(ViewportLayoutTest, QuadrantsSplitTheWindow)
{
    layoutViewports(views, 720, 480);
    EXPECT_EQ(views.bottomLeft.width, 360);
    EXPECT_EQ(views.bottomLeft.height, 240);
    EXPECT_EQ(views.topRight.x, 360);
    EXPECT_EQ(views.topRight.y, 240);

    layoutViewports(views, 721, 481);
    EXPECT_EQ(views.bottomRight.x, 360);
    EXPECT_EQ(views.bottomRight.width, 360);
    EXPECT_EQ(views.topLeft.y, 240);
    EXPECT_EQ(viewportAt(views, 720, 10), nullptr);  // the odd last column belongs to nobody
    EXPECT_EQ(viewportAt(views, 10, 480), nullptr);
}

TEST_F(ViewportLayoutTest, PickingFindsTheQuadrantUnderAPoint)
{
    layoutViewports(views, 720, 480);
    EXPECT_EQ(viewportAt(views, 359, 10), &views.bottomLeft);
    EXPECT_EQ(viewportAt(views, 360, 10), &views.bottomRight);  // the boundary belongs to the right
    EXPECT_EQ(viewportAt(views, 360, 240), &views.topRight);
    EXPECT_EQ(viewportAt(views, 720, 10), nullptr);
    EXPECT_EQ(viewportAt(views, 0, 480), nullptr);  // the topmost GLUT row maps to y = height

    rebuildViewList(views, true);
    EXPECT_EQ(viewportAt(views, 500, 400), &views.full);
    EXPECT_EQ(views.full.camera, &views.main);
    EXPECT_EQ(views.bottomLeft.camera, &views.top);
    EXPECT_EQ(views.topLeft.camera, &views.front);
    EXPECT_EQ(views.topRight.camera, &views.side);
}

TEST_F(ViewportLayoutTest, FixedCamerasLookWhereTheirNamesSay)
{
    EXPECT_VEC_NEAR(rotatedX(views.top.orientation), Vec3(0, 0, -1), 1e-6f);
    EXPECT_VEC_NEAR(rotate(views.top.orientation, Vec3(0, 0, 1)), Vec3(0, 1, 0), 1e-6f);
    EXPECT_VEC_NEAR(rotatedX(views.front.orientation), Vec3(0, 1, 0), 1e-6f);
    EXPECT_VEC_NEAR(rotatedX(views.side.orientation), Vec3(1, 0, 0), 1e-6f);
}

TEST_F(ViewportLayoutTest, NearCornersAndNearPlanePoints)
{
    layoutViewports(views, 720, 480);
    Viewport& v = views.topRight;  // the side camera in a 360 × 240 quadrant
    views.side.computeNearCorners(v, v.aspect());
    EXPECT_VEC_NEAR(v.nearCorners[Viewport::BOTTOM_LEFT], Vec3(-14.75f, 15, -10), 1e-5f);
    EXPECT_VEC_NEAR(v.nearCorners[Viewport::TOP_RIGHT], Vec3(-14.75f, -15, 10), 1e-5f);

    EXPECT_VEC_NEAR(v.nearPlanePoint(v.x, v.y), v.nearCorners[Viewport::BOTTOM_LEFT], 1e-5f);
    EXPECT_VEC_NEAR(v.nearPlanePoint(v.x + v.width, v.y + v.height), v.nearCorners[Viewport::TOP_RIGHT], 1e-5f);
    // Outside the rectangle the blend extrapolates along the same plane.
    EXPECT_VEC_NEAR(v.nearPlanePoint(v.x + 2 * v.width, v.y), Vec3(-14.75f, -45, -10), 1e-4f);

    Ray r = v.rayThrough(v.x + v.width / 2, v.y + v.height / 2);
    EXPECT_VEC_NEAR(r.origin, Vec3(-15, 0, 0), 0);
    EXPECT_VEC_NEAR(r.direction, Vec3(0.25f, 0, 0), 1e-5f);  // not normalised
}

TEST_F(ViewportLayoutTest, PerspectiveCornersUseTheAspect)
{
    views.main.init(nullptr, false, 0.25f, 0.25f, 1, 0.25f, 20000, {0, 0, 0}, kIdentityQuat);
    Viewport v;
    v.set(0, 0, 720, 480);
    views.main.computeNearCorners(v, v.aspect());
    EXPECT_VEC_NEAR(v.nearCorners[Viewport::TOP_LEFT], Vec3(0.25f, 0.25f, 0.25f * 480 / 720), 1e-6f);
    float hw, hh;
    Camera c;
    c.aspectMode = 2;
    c.halfHeight = 3;
    c.halfExtents(0.5f, hw, hh);
    EXPECT_FLOAT_EQ(hw, 6);
    EXPECT_FLOAT_EQ(hh, 3);
}

namespace {
// Where p lands in the viewport, as fractions of its width and height (0 to 1 inside),
// found through the near corners that drawing and picking use: along the view axis for an
// orthographic camera, towards the eye for a perspective one.
void viewFraction(Viewport& v, const Vec3& p, float& u, float& w)
{
    const Camera& c = *v.camera;
    c.computeNearCorners(v, v.aspect());
    const Vec3 bl = v.nearCorners[Viewport::BOTTOM_LEFT], across = v.nearCorners[Viewport::BOTTOM_RIGHT] - bl,
               upward = v.nearCorners[Viewport::TOP_LEFT] - bl;
    const Vec3 fwd = normalised(cross(upward, across));
    Vec3 q = p - fwd * dot(p - bl, fwd);
    if (!c.orthographic) q = c.position + (p - c.position) * (dot(bl - c.position, fwd) / dot(p - c.position, fwd));
    u = dot(q - bl, across) / dot(across, across);
    w = dot(q - bl, upward) / dot(upward, upward);
}
}  // namespace

// Orbiting turns the view yet keeps the pivot under the same pixel, at the same distance,
// for the perspective camera and for the fixed orthographic ones.
TEST_F(ViewportLayoutTest, OrbitKeepsThePivotUnderItsPixel)
{
    layoutViewports(views, 720, 480);
    views.main.init(nullptr, false, 0.25f, 0.25f, 1, 0.25f, 20000, {10, -40, 20},
                    normalised(multiply(fromAxisAngle({0, 0, 1}, 30), fromAxisAngle({0, 1, 0}, 15))));
    const struct {
        Viewport* view;
        int px, py;
        float yaw, pitch;
    } cases[] = {
        {&views.bottomRight, 500, 150, 35, -20},
        {&views.bottomRight, 700, 10, -80, 60},
        {&views.bottomLeft, 100, 200, 50, 30},
        {&views.topRight, 600, 300, -25, -45},
        {&views.topLeft, 40, 460, 170, 10},
    };
    for (const auto& k : cases) {
        Viewport& v = *k.view;
        Camera& c = *v.camera;
        c.computeNearCorners(v, v.aspect());
        const Ray r = v.rayThrough(k.px, k.py);
        const Vec3 pivot = c.orthographic ? v.nearPlanePoint(k.px, k.py) + rotatedX(c.orientation) * 40
                                          : r.origin + r.direction * 200;
        float u0, w0, u1, w1;
        viewFraction(v, pivot, u0, w0);
        const Vec3 before = c.position;
        orbitCamera(c, pivot, k.yaw, k.pitch);
        viewFraction(v, pivot, u1, w1);
        EXPECT_NEAR(u1, u0, 1e-4f) << k.px;
        EXPECT_NEAR(w1, w0, 1e-4f) << k.px;
        EXPECT_NEAR(length(c.position - pivot), length(before - pivot), 1e-3f) << k.px;
        EXPECT_GT(length(c.position - before), 1.0f) << k.px;
    }
}

// After framing, every corner of a box far from the origin is in each fixed view, and the
// box fills the view along one axis; the perspective view only backs away to see it all.
TEST_F(ViewportLayoutTest, FramingFitsTheBoxInEveryView)
{
    layoutViewports(views, 720, 480);
    views.main.init(nullptr, false, 0.25f, 0.25f, 1, 0.25f, 20000, {100, -60, 10}, fromAxisAngle({0, 0, 1}, 20));
    BBox box;
    box.set({150, -80, -5}, {260, -30, 40});
    for (Viewport* v : {&views.bottomLeft, &views.topLeft, &views.topRight, &views.full}) {
        v->camera = v == &views.full ? &views.front : v->camera;
        frameBox(*v->camera, box, v->aspect());
        float fill = 0;
        for (int i = 0; i < 8; ++i) {
            const Vec3 p(i & 1 ? box.max.x : box.min.x, i & 2 ? box.max.y : box.min.y, i & 4 ? box.max.z : box.min.z);
            float u, w;
            viewFraction(*v, p, u, w);
            EXPECT_TRUE(u >= 0 && u <= 1 && w >= 0 && w <= 1) << v->x << "," << v->y << " corner " << i;
            fill = std::max({fill, std::fabs(2 * u - 1), std::fabs(2 * w - 1)});
            // In front of the camera: between the near and the far plane.
            const float ahead = dot(p - v->camera->position, rotatedX(v->camera->orientation));
            EXPECT_GE(ahead, v->camera->near);
            EXPECT_LE(ahead, v->camera->far);
        }
        EXPECT_GT(fill, 0.9f) << v->x << "," << v->y;
    }

    Camera& c = views.main;
    const Quat turned = c.orientation;
    const Vec3 start = c.position;
    views.full.camera = &c;
    frameBox(c, box, views.full.aspect());
    EXPECT_EQ(c.orientation, turned);
    EXPECT_NEAR(length(cross(c.position - start, rotatedX(turned))), 0, 1e-3f);
    EXPECT_LT(dot(c.position - start, rotatedX(turned)), -1);
    float fill = 0;
    for (int i = 0; i < 8; ++i) {
        const Vec3 p(i & 1 ? box.max.x : box.min.x, i & 2 ? box.max.y : box.min.y, i & 4 ? box.max.z : box.min.z);
        float u, w;
        viewFraction(views.full, p, u, w);
        EXPECT_TRUE(u >= 0 && u <= 1 && w >= 0 && w <= 1) << "corner " << i;
        fill = std::max({fill, std::fabs(2 * u - 1), std::fabs(2 * w - 1)});
    }
    EXPECT_GT(fill, 0.9f);
    // Already in sight, it stays where it is.
    const Vec3 framed = c.position;
    frameBox(c, box, views.full.aspect());
    EXPECT_VEC_NEAR(c.position, framed, 1e-3f);
}

TEST_F(ViewportLayoutTest, MinimisedWindowStaysFinite)
{
    layoutViewports(views, 0, 0);
    Viewport& v = views.full;
    v.camera = &views.side;
    EXPECT_FLOAT_EQ(v.aspect(), 1.0f);
    views.side.computeNearCorners(v, v.aspect());
    Vec3 p = v.nearPlanePoint(0, 0);
    EXPECT_TRUE(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z));
}

// Draws a marker through the camera so tests can see where the world lands on screen.
struct MarkerRenderer : ViewRenderer {
    int calls = 0;
    void render(Viewport&, Camera&) override
    {
        ++calls;
        glDisable(GL_DEPTH_TEST);
        glColor3f(1, 0, 0);
        glBegin(GL_QUADS);  // a square 10 units ahead along world +x, spanning y and z ±1
        glVertex3f(10, -1, -1);
        glVertex3f(10, 1, -1);
        glVertex3f(10, 1, 1);
        glVertex3f(10, -1, 1);
        glEnd();
        glColor3f(0, 1, 0);
        glBegin(GL_QUADS);  // a green square to the camera's left (+y) at the same depth
        glVertex3f(10, 3, -1);
        glVertex3f(10, 5, -1);
        glVertex3f(10, 5, 1);
        glVertex3f(10, 3, 1);
        glEnd();
    }
};

class ViewportDrawTest : public GlTest {};

TEST_F(ViewportDrawTest, CameraFrameMapsForwardAheadAndPlusYLeft)
{
    MarkerRenderer marker;
    Camera cam;
    cam.init(&marker, false, 0.25f, 0.25f, 1, 0.25f, 100, {0, 0, 0}, kIdentityQuat);
    Viewport v;
    v.set(0, 0, 256, 256);
    v.camera = &cam;
    glClearColor(0, 0, 1, 1);
    v.render();
    grab();
    EXPECT_EQ(marker.calls, 1);
    Rgb centre = pixel(128, 128);
    EXPECT_EQ(centre.r, 255);
    EXPECT_EQ(centre.b, 0);
    // Green sits left of centre in the image.
    EXPECT_EQ(pixel(128 - 50, 128).g, 255);
    EXPECT_EQ(pixel(128 + 50, 128).b, 255);
    glClearColor(0, 0, 0, 0);
}

TEST_F(ViewportDrawTest, CameraWithoutRendererOnlyClearsItsRectangle)
{
    glClearColor(1, 1, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(0, 0, 0, 0);
    Camera cam;  // no renderer
    Viewport v;
    v.set(0, 0, 128, 128);
    v.camera = &cam;
    v.render();
    grab();
    EXPECT_EQ(pixel(10, 10).r, 0);     // cleared inside
    EXPECT_EQ(pixel(200, 200).r, 255);  // untouched outside
    EXPECT_EQ(pixel(127, 127).r, 0);
    EXPECT_EQ(pixel(128, 128).r, 255);
    EXPECT_NE(v.nearCorners[Viewport::TOP_LEFT].x, 0.0f);  // corners are still computed
}

// Draws one white point at a world position.
struct PointRenderer : ViewRenderer {
    Vec3 at;
    void render(Viewport&, Camera&) override
    {
        glColor3f(1, 1, 1);
        glBegin(GL_POINTS);
        glVertex3f(at.x, at.y, at.z);
        glEnd();
    }
};

TEST_F(ViewportDrawTest, TurnedAndRolledCamerasPutAWorldPointOnTheHandWorkedPixel)
{
    // Perspective with half extents equal to the near distance: a point at c in the camera
    // frame (x ahead, y left, z up) shows at (-c.y / c.x, c.z / c.x) in [-1, 1]², that is
    // at 128 · (1 + those) in the 256 × 256 view, a pixel corner here.
    const struct {
        const char* what;
        Quat orientation;
        Vec3 position, world;
        int x, y;
    } cases[] = {
        // Turned left by 90°: ahead is world +y, left world -x, up world +z. The point is
        // 10 ahead, 5 left and 2.5 up of the eye: (-0.5, 0.25).
        {"turned", fromAxisAngle({0, 0, 1}, 90), {3, -4, 1}, {3 - 5, -4 + 10, 1 + 2.5f}, 64, 160},
        // Rolled by 90° about the line of sight: left is world +z, up world -y. The point
        // is 10 ahead, 2.5 left and 5 up: (-0.25, 0.5).
        {"rolled", fromAxisAngle({1, 0, 0}, 90), {0, 0, 0}, {10, -5, 2.5f}, 96, 192},
    };
    for (const auto& c : cases) {
        PointRenderer point;
        point.at = c.world;
        Camera cam;
        cam.init(&point, false, 0.25f, 0.25f, 0, 0.25f, 100, c.position, c.orientation);
        Viewport v;
        v.set(0, 0, 256, 256);
        v.camera = &cam;
        v.render();
        grab();
        int lit = 0, x = -1, y = -1;
        for (int j = 0; j < 256; ++j)
            for (int i = 0; i < 256; ++i)
                if (pixel(i, j).r > 0) ++lit, x = i, y = j;
        EXPECT_EQ(lit, 1) << c.what;
        EXPECT_NEAR(x + 0.5f, c.x, 1.0f) << c.what;
        EXPECT_NEAR(y + 0.5f, c.y, 1.0f) << c.what;
        // Picking runs the other way: the ray through that pixel meets the point.
        Ray r = v.rayThrough(c.x, c.y);
        EXPECT_VEC_NEAR(normalised(r.direction), normalised(c.world - c.position), 1e-6f) << c.what;
    }
}
