#pragma once
// A camera loads the projection and modelview matrices for a viewport and asks its
// renderer (the scene) to draw. Camera frame: +x looks forward, +y is the image's left,
// +z the image's up.
#include "core/vecmath.h"

class Camera;
class Viewport;

// Whatever a camera draws; the scene implements it.
class ViewRenderer {
public:
    virtual ~ViewRenderer() = default;
    virtual void render(Viewport& viewport, Camera& camera) = 0;
};

class Camera {
public:
    enum ApplyFlags : int {
        LOAD_PROJECTION_IDENTITY = 1,
        SET_PROJECTION = 2,
        LOAD_MODELVIEW_IDENTITY = 4,
        INVERSE_ROTATION = 8,
        INVERSE_TRANSLATION = 16,
        ALL = 31,
    };

    void init(ViewRenderer* renderer, bool orthographic, float halfWidth, float halfHeight, int aspectMode,
              float near, float far, const Vec3& position, const Quat& orientation);

    // The half extents actually used for a viewport of this aspect (height ÷ width).
    void halfExtents(float aspect, float& hw, float& hh) const;
    void apply(int flags, float aspect) const;
    void applyAxisChange() const;
    void applyInverseRotation() const;
    void computeNearCorners(Viewport& viewport, float aspect) const;
    void render(Viewport& viewport);

    bool isOrthographic() const { return orthographic; }

    ViewRenderer* renderer = nullptr;
    bool orthographic = false;
    float halfWidth = 1;
    float halfHeight = 1;
    int aspectMode = 1;  // 0 as stored; 1 hh = hw·aspect; 2 hw = hh ÷ aspect
    float near = 1;
    float far = 3000;
    Quat orientation;
    Vec3 position;
};
