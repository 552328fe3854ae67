#include "view/camera.h"

#include <GL/gl.h>

#include "view/viewport.h"

void Camera::init(ViewRenderer* renderer_, bool orthographic_, float halfWidth_, float halfHeight_, int aspectMode_,
                  float near_, float far_, const Vec3& position_, const Quat& orientation_)
{
    renderer = renderer_;
    orthographic = orthographic_;
    halfWidth = halfWidth_;
    halfHeight = halfHeight_;
    aspectMode = aspectMode_;
    near = near_;
    far = far_;
    position = position_;
    orientation = orientation_;
}

void Camera::halfExtents(float aspect, float& hw, float& hh) const
{
    hw = halfWidth;
    hh = halfHeight;
    if (aspectMode == 1)
        hh = aspect * halfWidth;
    else if (aspectMode == 2)
        hw = halfHeight / aspect;
}

void Camera::applyAxisChange() const
{
    // Camera +x becomes eye −z and camera +z eye +y.
    glRotatef(90, 0, 1, 0);
    glRotatef(-90, 1, 0, 0);
}

void Camera::applyInverseRotation() const
{
    Quat aa = toAxisAngle(orientation);
    glRotatef(aa.w, -aa.x, -aa.y, -aa.z);
}

void Camera::apply(int flags, float aspect) const
{
    if (flags & (LOAD_PROJECTION_IDENTITY | SET_PROJECTION)) {
        glMatrixMode(GL_PROJECTION);
        if (flags & LOAD_PROJECTION_IDENTITY) glLoadIdentity();
        if (flags & SET_PROJECTION) {
            float hw, hh;
            halfExtents(aspect, hw, hh);
            if (orthographic)
                glOrtho(-hw, hw, -hh, hh, near, far);
            else
                glFrustum(-hw, hw, -hh, hh, near, far);
        }
    }
    if (flags & (LOAD_MODELVIEW_IDENTITY | INVERSE_ROTATION | INVERSE_TRANSLATION)) {
        glMatrixMode(GL_MODELVIEW);
        if (flags & LOAD_MODELVIEW_IDENTITY) glLoadIdentity();
        applyAxisChange();
        if (flags & INVERSE_ROTATION) applyInverseRotation();
        if (flags & INVERSE_TRANSLATION) glTranslatef(-position.x, -position.y, -position.z);
    }
}

void Camera::computeNearCorners(Viewport& viewport, float aspect) const
{
    float hw, hh;
    halfExtents(aspect, hw, hh);
    // +y is the image's left, so the right-hand corners have −hw.
    const Vec3 local[4] = {{near, -hw, -hh}, {near, hw, -hh}, {near, -hw, hh}, {near, hw, hh}};
    for (int i = 0; i < 4; ++i) viewport.nearCorners[i] = rotate(orientation, local[i]) + position;
}

void Camera::render(Viewport& viewport)
{
    if (!renderer) return;
    apply(ALL, viewport.aspect());
    renderer->render(viewport, *this);
}
