#pragma once
// A window rectangle with a camera, and the application's five viewports, four cameras
// and the list of viewports drawn each frame.
#include <vector>

#include "view/camera.h"
#include "core/vecmath.h"

class Viewport {
public:
    enum Corner { BOTTOM_RIGHT = 0, BOTTOM_LEFT = 1, TOP_RIGHT = 2, TOP_LEFT = 3 };

    void set(int x_, int y_, int w, int h)
    {
        x = x_;
        y = y_;
        width = w;
        height = h;
    }
    // height ÷ width. A zero-sized (minimised) viewport reports 1 so no camera divides by zero.
    float aspect() const;
    bool contains(int px, int py) const { return px >= x && px < x + width && py >= y && py < y + height; }
    // clear: whether to clear the rectangle first (false when the window was cleared whole).
    void render(bool clear = true);
    // Bilinear blend of the near corners of the last render; extrapolates outside.
    Vec3 nearPlanePoint(int px, int py) const;
    // The picking ray from the camera through a window point (direction not normalised).
    Ray rayThrough(int px, int py) const;
    // The depth drawn at a window point in the frame being drawn (0 near plane, 1 far
    // plane or nothing), read back from the depth buffer.
    float depthAt(int px, int py) const;
    // Where a world point shows in the window (pixels from the bottom-left corner) through
    // this viewport's camera; false when it lies outside the view volume.
    bool windowPoint(const Vec3& p, float& wx, float& wy) const;

    int x = 0, y = 0, width = 0, height = 0;
    Camera* camera = nullptr;
    Vec3 nearCorners[4];
};

struct Views {
    Viewport full, topLeft, topRight, bottomLeft, bottomRight;
    Camera top, front, side, main;
    std::vector<Viewport*> list;
};

// The application's views: the list to draw and the one under a window point.
Viewport* viewportAt(Views& views, int px, int py);
void rebuildViewList(Views& views, bool singleView);
void layoutViewports(Views& views, int windowWidth, int windowHeight);
void setUpCameras(Views& views, ViewRenderer* scene);
void attachCameras(Views& views);
// viewCulling: whether views that tile the window may share one clear of it.
void renderViews(Views& views, bool viewCulling);
