#include "view/viewport.h"

#include <GL/gl.h>

#include <cmath>



float Viewport::aspect() const
{
    if (width <= 0 || height <= 0) return 1.0f;
    return static_cast<float>(height) / static_cast<float>(width);
}

void Viewport::render(bool clear)
{
    glViewport(x, y, width, height);
    glScissor(x, y, width, height);
    glEnable(GL_SCISSOR_TEST);
    if (clear) glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    if (camera) {
        camera->computeNearCorners(*this, aspect());
        // A minimised window has nothing to draw into.
        if (width > 0 && height > 0) camera->render(*this);
    }
    glDisable(GL_SCISSOR_TEST);
}

Vec3 Viewport::nearPlanePoint(int px, int py) const
{
    float u = static_cast<float>(px - x) / static_cast<float>(width);
    float v = static_cast<float>(py - y) / static_cast<float>(height);
    if (width <= 0 || height <= 0) u = v = 0.5f;  // a zero-sized viewport picks through its centre
    return nearCorners[BOTTOM_RIGHT] * (u * (1 - v)) + nearCorners[BOTTOM_LEFT] * ((1 - u) * (1 - v)) +
           nearCorners[TOP_RIGHT] * (u * v) + nearCorners[TOP_LEFT] * ((1 - u) * v);
}

Ray Viewport::rayThrough(int px, int py) const
{
    Ray r;
    r.origin = camera->position;
    r.direction = nearPlanePoint(px, py) - camera->position;
    return r;
}

float Viewport::depthAt(int px, int py) const
{
    if (!contains(px, py)) return 1;
    GLfloat depth = 1;
    glReadPixels(px, py, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
    return depth;
}

bool Viewport::windowPoint(const Vec3& p, float& wx, float& wy) const
{
    if (!camera || width <= 0 || height <= 0) return false;
    const Camera& c = *camera;
    const Quat q = normalised(c.orientation);
    // In the camera's frame: +x ahead, +y the image's left, +z its up.
    const Vec3 local = rotate(Quat(-q.x, -q.y, -q.z, q.w), p - c.position);
    if (!(local.x >= c.near && local.x <= c.far)) return false;
    float hw, hh;
    c.halfExtents(aspect(), hw, hh);
    const float perspective = c.orthographic ? 1 : c.near / local.x;
    const float u = -local.y * perspective / hw, v = local.z * perspective / hh;
    if (!(std::fabs(u) <= 1 && std::fabs(v) <= 1)) return false;
    wx = static_cast<float>(x) + 0.5f * (u + 1) * static_cast<float>(width);
    wy = static_cast<float>(y) + 0.5f * (v + 1) * static_cast<float>(height);
    return true;
}

Viewport* viewportAt(Views& views, int px, int py)
{
    for (auto it = views.list.rbegin(); it != views.list.rend(); ++it)
        if ((*it)->contains(px, py)) return *it;
    return nullptr;
}

void rebuildViewList(Views& views, bool singleView)
{
    views.list.clear();
    if (singleView) {
        views.list.push_back(&views.full);
    } else {
        views.list.push_back(&views.topLeft);
        views.list.push_back(&views.topRight);
        views.list.push_back(&views.bottomLeft);
        views.list.push_back(&views.bottomRight);
    }
}

void layoutViewports(Views& views, int w, int h)
{
    int w2 = w / 2, h2 = h / 2;
    views.full.set(0, 0, w, h);
    views.bottomLeft.set(0, 0, w2, h2);
    views.bottomRight.set(w2, 0, w2, h2);
    views.topLeft.set(0, h2, w2, h2);
    views.topRight.set(w2, h2, w2, h2);
}

void setUpCameras(Views& views, ViewRenderer* scene)
{
    const Quat down = multiply(fromAxisAngle({0, 1, 0}, 90), fromAxisAngle({1, 0, 0}, -90));
    views.top.init(scene, true, 15, 15, 1, 0.25f, 20000, {0, 0, 15}, down);
    views.front.init(scene, true, 15, 15, 1, 0.25f, 20000, {0, -15, 0}, fromAxisAngle({0, 0, 1}, 90));
    views.side.init(scene, true, 15, 15, 1, 0.25f, 20000, {-15, 0, 0}, kIdentityQuat);
}

void attachCameras(Views& views)
{
    views.bottomLeft.camera = &views.top;
    views.topLeft.camera = &views.front;
    views.topRight.camera = &views.side;
    views.bottomRight.camera = &views.main;
    views.full.camera = &views.main;
}

namespace {
// Whether the views in the list cover the whole window between them, each pixel once.
bool viewsTileWindow(const Views& views)
{
    const Viewport& w = views.full;
    long area = 0;
    for (const Viewport* v : views.list) {
        if (v->x < w.x || v->y < w.y || v->x + v->width > w.x + w.width || v->y + v->height > w.y + w.height)
            return false;
        area += static_cast<long>(v->width) * v->height;
    }
    return views.list.size() > 1 && area == static_cast<long>(w.width) * w.height;
}
}  // namespace

void renderViews(Views& views, bool viewCulling)
{
    // A clear limited to part of the window is drawn by the software rasteriser as a
    // quad over that part; one clear of the whole window is written tile by tile, for
    // far less. The views never overlap, so together they clear the same pixels.
    const bool once = viewCulling && viewsTileWindow(views);
    if (once) glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    for (Viewport* v : views.list) v->render(!once);
}
