#include "app/control.h"

#include <GL/freeglut_std.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "view/cameramove.h"
#include "core/input.h"
#include "app/shell.h"
#include "view/viewport.h"
#include "gui/gui.h"
#include "scene/parscene.h"
#include "terrain/displaysettings.h"
#include "terrain/lodrings.h"

Viewport* hoverViewport = &views.full;
Viewport* activeViewport = nullptr;

namespace {
// The middle-button orbit: the camera it turns, the point it turns about and the last
// cursor place it has followed.
struct Orbit {
    Camera* camera = nullptr;
    Viewport* view = nullptr;
    Vec3 pivot;
    bool pivotKnown = false;  // the press's point is read from the next frame's depth
    int pressX = 0, pressY = 0;  // window point of the press, y up
    int x = 0, y = 0;            // last cursor place followed, GLUT's y
} orbit;
}  // namespace

void resetControl()
{
    hoverViewport = &views.full;
    activeViewport = nullptr;
    input.mouseButtons = 0;
    input.modifiers = 0;
    input.placementMode = 0;
    input.translationSpeed = 1.0f;
    input.rotationSpeed = 3.0f;
    input.singleView = true;
    orbit.camera = nullptr;
}

namespace {
// Later entries win when several keys are down in one frame.
const struct {
    unsigned char key;
    float speed;
} kTranslationKeys[] = {{'1', 0.1f}, {'2', 0.25f}, {'3', 0.5f}, {'4', 1}, {'5', 2.5f},
                        {'6', 5},    {'7', 10},    {'8', 25},    {'9', 50}, {'0', 100}},
  kRotationKeys[] = {{'!', 0.3f}, {'@', 2.25f}, {'#', 1.5f}, {'$', 3},   {'%', 7.5f},
                     {'^', 15},   {'&', 30},    {'*', 75},   {'(', 150}, {')', 300}};

bool active2(char lower, char upper) { return keyActive(lower) || keyActive(upper); }

float axisInput(char plusLower, char plusUpper, char minusLower, char minusUpper, float speed)
{
    float v = 0;
    if (active2(plusLower, plusUpper)) v += speed;
    if (active2(minusLower, minusUpper)) v -= speed;
    return v;
}

Ray rayUnderMouse(const Viewport& v) { return v.rayThrough(input.mouseX, input.mouseY); }

constexpr float kOrbitDegreesPerPixel = 0.4f;
constexpr float kPivotWithoutSurface = 100;  // where the pivot goes over the sky
constexpr float kWheelFrames = 10;         // a notch flies as far as a key held this many frames

// A wheel notch over a view, outside the button bar.
void onWheel(int button, int x, int y)
{
    const int upY = input.windowHeight - y;
    if (buttonBar && buttonBar->handleMouse(input.mouseButtons, input.mouseButtons, x, upY)) return;
    Viewport* v = viewportAt(x, upY);
    if (v && v->camera) wheelCamera(*v->camera, button == 3 ? 1 : -1, kWheelFrames * input.translationSpeed);
}
}  // namespace

void findOrbitPivot()
{
    if (!orbit.camera || orbit.pivotKnown || !orbit.view || orbit.view->camera != orbit.camera) return;
    const Viewport& v = *orbit.view;
    const float depth = v.depthAt(orbit.pressX, orbit.pressY);
    const Vec3 onNear = v.nearPlanePoint(orbit.pressX, orbit.pressY);
    const Camera& c = *v.camera;
    if (depth < 1)
        orbit.pivot = pointAtDepth(v, orbit.pressX, orbit.pressY, depth);
    else if (c.orthographic)
        orbit.pivot = onNear + rotatedX(c.orientation) * kPivotWithoutSurface;
    else
        orbit.pivot = c.position + normalised(onNear - c.position) * kPivotWithoutSurface;
    orbit.pivotKnown = true;
}

void frameWorld(Viewport& v)
{
    if (v.camera) frameBox(*v.camera, scene.worldBox(), v.aspect());
}

namespace {
const char* onOff(bool b) { return b ? "on" : "off"; }

// A flag flips when either of its keys was pressed this cycle.
void toggle(bool& flag, unsigned char a, unsigned char b, const char* message)
{
    if (keyTransition[a] == KEY_PRESSED || keyTransition[b] == KEY_PRESSED) {
        flag = !flag;
        std::printf(message, onOff(flag));
    }
}
}  // namespace

void toggleDisplaySwitches()
{
    toggle(lodFreeze, 'b', 'B', "lod freeze is %s\n");
    toggle(lodMapping, 'm', 'M', "lod mapping is %s\n");
    toggle(whiteSeams, 'y', 'Y', "white seams are %s\n");
    toggle(renderFast, 'h', 'H', "renderFast is %s\n");
    toggle(veg, 'g', 'G', "veg is %s\n");
    // Held keys keep changing the radius, once per update, within what the rings draw;
    // at a limit the line still answers each change.
    const auto stepRadius = [](int by) {
        baseRadius = std::clamp(baseRadius + by, kMinBaseRadius, kMaxBaseRadius);
        std::printf("baseRadius is %d\n", baseRadius);
    };
    if (keyActive('-') || keyActive('_')) stepRadius(-1);
    if (keyActive('=') || keyActive('+')) stepRadius(1);
    toggle(testCompile, 't', 'T', "testCompile is %s\n");
    toggle(wireframe, 'w', 'W', "wireframe is %s\n");
    toggle(trackingMouse, 'c', 'C', "tracking mouse is %s\n");
}

void steerFromKeyboard()
{
    if (keyPressed(' ')) {
        if (input.singleView) {
            input.singleView = false;
            rebuildViewList(false);
        } else if (Viewport* v = viewportAt(input.mouseX, input.mouseY)) {
            views.full.camera = v->camera;
            input.singleView = true;
            rebuildViewList(true);
        }
    }

    if (!hoverViewport || !hoverViewport->camera) return;
    Camera& c = *hoverViewport->camera;
    if (keyPressed('a') || keyPressed('A')) frameWorld(*hoverViewport);

    for (const auto& k : kTranslationKeys)
        if (keyActive(k.key)) input.translationSpeed = k.speed;
    for (const auto& k : kRotationKeys)
        if (keyActive(k.key)) input.rotationSpeed = k.speed;

    // Movement in the camera's own frame: +x forward, +y left, +z up.
    const float ts = input.translationSpeed;
    Vec3 local(axisInput('e', 'E', 'd', 'D', ts), axisInput('s', 'S', 'f', 'F', ts), axisInput('r', 'R', 'v', 'V', ts));
    c.position = c.position + rotate(c.orientation, local);
    // An orthographic view zooms instead of getting closer: forward narrows it.
    if (c.orthographic)
        c.halfWidth = boundedOrthoHalfWidth(c.halfWidth * std::exp(-0.01f * local.x));

    const float rs = input.rotationSpeed;
    float ax = axisInput('o', 'O', 'u', 'U', rs);
    float ay = axisInput('i', 'I', 'k', 'K', rs);
    float az = axisInput('j', 'J', 'l', 'L', rs);
    if (ax != 0 || ay != 0 || az != 0) {
        // Right-multiplying turns about the camera's own axes.
        if (ax != 0) c.orientation = multiply(c.orientation, fromAxisAngle({1, 0, 0}, ax));
        if (ay != 0) c.orientation = multiply(c.orientation, fromAxisAngle({0, 1, 0}, ay));
        if (az != 0) c.orientation = multiply(c.orientation, fromAxisAngle({0, 0, 1}, az));
        c.orientation = normalised(c.orientation);
    }
}

void refreshMouseRay()
{
    if (activeViewport && activeViewport->camera) scene.setMouseRay(rayUnderMouse(*activeViewport));
}

void onMouseButton(int button, int state, int x, int y, int modifiers)
{
    // The wheel comes as buttons 3 (away) and 4 (towards), a press and a release a notch.
    if (button == 3 || button == 4) {
        if (state == GLUT_DOWN) onWheel(button, x, y);
        return;
    }
    input.mouseX = x;
    input.mouseY = input.windowHeight - y;
    input.modifiers = modifiers;
    const int oldButtons = input.mouseButtons;
    if (button >= 0 && button < 31) {
        if (state == GLUT_DOWN)
            input.mouseButtons |= 1 << button;
        else
            input.mouseButtons &= ~(1 << button);
    }
    if (buttonBar && buttonBar->handleMouse(input.mouseButtons, oldButtons, x, input.mouseY)) return;

    if (state == GLUT_DOWN) {
        Viewport* v = viewportAt(input.mouseX, input.mouseY);
        activeViewport = v;
        const bool hasCamera = v && v->camera;
        if (input.placementMode == 1 || input.placementMode == 2) {
            if (hasCamera) {
                Ray ray = rayUnderMouse(*v);
                if (input.placementMode == 1)
                    scene.placeSource(ray);
                else
                    scene.placeSink(ray);
            }
            input.placementMode = 0;
        } else if (modifiers & GLUT_ACTIVE_SHIFT) {
            if (hasCamera) {
                scene.setMouseRay(rayUnderMouse(*v));
                if (button == GLUT_LEFT_BUTTON)
                    scene.editTerrain(true);
                else if (button == GLUT_RIGHT_BUTTON)
                    scene.editTerrain(false);
            }
        } else if (button == GLUT_LEFT_BUTTON) {
            if (hasCamera) {
                Ray ray = rayUnderMouse(*v);
                scene.setMouseRay(ray);
                scene.grabParticle(scene.nearestParticle(ray));
            }
        } else if (button == GLUT_MIDDLE_BUTTON) {
            if (hasCamera) orbit = {v->camera, v, {}, false, input.mouseX, input.mouseY, x, y};
        } else if (button == GLUT_RIGHT_BUTTON) {
            // Pin the held particle in place, or free it again.
            if (Particle* p = scene.heldParticle) {
                if (p->invMass != 0) {
                    p->invMass = 0;
                    p->vel = {0, 0, 0};
                } else {
                    p->invMass = 1;
                }
            }
        }
    } else if (state == GLUT_UP) {
        if (button == GLUT_LEFT_BUTTON) scene.grabParticle(nullptr);
        if (button == GLUT_MIDDLE_BUTTON) orbit.camera = nullptr;
        rebuildViewList(input.singleView);
    }
}

void onMotion(int x, int y)
{
    input.mouseX = x;
    input.mouseY = input.windowHeight - y;
    hoverViewport = viewportAt(input.mouseX, input.mouseY);
    // Dragging right or up turns the world with the cursor, as if grabbing it.
    if (orbit.camera && orbit.pivotKnown && (input.mouseButtons & (1 << GLUT_MIDDLE_BUTTON))) {
        orbitCamera(*orbit.camera, orbit.pivot, -kOrbitDegreesPerPixel * static_cast<float>(x - orbit.x),
                    kOrbitDegreesPerPixel * static_cast<float>(y - orbit.y));
        orbit.x = x;
        orbit.y = y;
    }
}

void onPassiveMotion(int x, int y)
{
    input.mouseX = x;
    input.mouseY = input.windowHeight - y;
    hoverViewport = viewportAt(input.mouseX, input.mouseY);
    if (hoverViewport && hoverViewport->camera) scene.setMouseRay(rayUnderMouse(*hoverViewport));
}
