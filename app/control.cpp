#include "app/control.h"

#include <GL/freeglut_std.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "view/cameramove.h"
#include "core/input.h"
#include "core/problems.h"
#include "app/shell.h"
#include "view/viewport.h"
#include "gui/gui.h"
#include "scene/parscene.h"
#include "terrain/displaysettings.h"
#include "terrain/lodrings.h"

static_assert(kShiftModifier == GLUT_ACTIVE_SHIFT, "the input state keeps the window library's modifier bits");


void resetControl(Application& app)
{
    app.hoverViewport = &app.views.full;
    app.activeViewport = nullptr;
    app.input.mouseButtons = 0;
    app.input.modifiers = 0;
    app.input.placementMode = 0;
    app.input.translationSpeed = 1.0f;
    app.input.rotationSpeed = 3.0f;
    app.input.singleView = true;
    app.orbit.camera = nullptr;
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

bool active2(const Application& app, char lower, char upper) { return app.keys.active(lower) || app.keys.active(upper); }

float axisInput(const Application& app, char plusLower, char plusUpper, char minusLower, char minusUpper, float speed)
{
    float v = 0;
    if (active2(app, plusLower, plusUpper)) v += speed;
    if (active2(app, minusLower, minusUpper)) v -= speed;
    return v;
}

Ray rayUnderMouse(const Application& app, const Viewport& v) { return v.rayThrough(app.input.mouseX, app.input.mouseY); }

constexpr float kOrbitDegreesPerPixel = 0.4f;
constexpr float kPivotWithoutSurface = 100;  // where the pivot goes over the sky
constexpr float kWheelFrames = 10;         // a notch flies as far as a key held this many frames

// A wheel notch over a view, outside the button bar.
void onWheel(Application& app, int button, int x, int y)
{
    const int upY = app.input.windowHeight - y;
    if (app.buttonBar && app.buttonBar->handleMouse(app.input.mouseButtons, app.input.mouseButtons, x, upY)) return;
    Viewport* v = viewportAt(app.views, x, upY);
    if (v && v->camera) wheelCamera(*v->camera, button == 3 ? 1 : -1, kWheelFrames * app.input.translationSpeed);
}
}  // namespace

void findOrbitPivot(Application& app)
{
    if (!app.orbit.camera || app.orbit.pivotKnown || !app.orbit.view || app.orbit.view->camera != app.orbit.camera) return;
    const Viewport& v = *app.orbit.view;
    const float depth = v.depthAt(app.orbit.pressX, app.orbit.pressY);
    const Vec3 onNear = v.nearPlanePoint(app.orbit.pressX, app.orbit.pressY);
    const Camera& c = *v.camera;
    if (depth < 1)
        app.orbit.pivot = pointAtDepth(v, app.orbit.pressX, app.orbit.pressY, depth);
    else if (c.orthographic)
        app.orbit.pivot = onNear + rotatedX(c.orientation) * kPivotWithoutSurface;
    else
        app.orbit.pivot = c.position + normalised(onNear - c.position) * kPivotWithoutSurface;
    app.orbit.pivotKnown = true;
}

void frameWorld(Application& app, Viewport& v)
{
    if (v.camera) frameBox(*v.camera, app.scene.worldBox(), v.aspect());
}

void homeView(Application& app, Viewport& v)
{
    Camera* c = v.camera;
    if (!c) return;
    if (c == &app.views.main) {
        app.scene.placeAtStart(*c);
        return;
    }
    Views start;
    setUpCameras(start, c->renderer);
    if (c == &app.views.top) *c = start.top;
    if (c == &app.views.front) *c = start.front;
    if (c == &app.views.side) *c = start.side;
}

namespace {
const char* onOff(bool b) { return b ? "on" : "off"; }

// A flag flips when either of its keys was pressed this cycle.
void toggle(const KeyTable& keys, bool& flag, unsigned char a, unsigned char b, const char* message)
{
    if (keys.pressed(a) || keys.pressed(b)) {
        flag = !flag;
        std::printf(message, onOff(flag));
    }
}
}  // namespace

void toggleDisplaySwitches(const KeyTable& keys, DisplaySettings& display)
{
    toggle(keys, display.lodFreeze, 'b', 'B', "lod freeze is %s\n");
    toggle(keys, display.lodMapping, 'm', 'M', "lod mapping is %s\n");
    toggle(keys, display.whiteSeams, 'y', 'Y', "white seams are %s\n");
    toggle(keys, display.renderFast, 'h', 'H', "renderFast is %s\n");
    toggle(keys, display.veg, 'g', 'G', "veg is %s\n");
    // Held keys keep changing the radius, once per update, within what the rings draw;
    // at a limit the line still answers each change.
    const auto stepRadius = [&display](int by) {
        display.baseRadius = std::clamp(display.baseRadius + by, kMinBaseRadius, kMaxBaseRadius);
        std::printf("baseRadius is %d\n", display.baseRadius);
    };
    if (keys.active('-') || keys.active('_')) stepRadius(-1);
    if (keys.active('=') || keys.active('+')) stepRadius(1);
    toggle(keys, display.testCompile, 't', 'T', "testCompile is %s\n");
    toggle(keys, display.wireframe, 'w', 'W', "wireframe is %s\n");
    toggle(keys, display.trackingMouse, 'c', 'C', "tracking mouse is %s\n");
}

void steerFromKeyboard(Application& app)
{
    if (app.keys.pressed(' ')) {
        if (app.input.singleView) {
            app.input.singleView = false;
            rebuildViewList(app.views, false);
        } else if (Viewport* v = viewportAt(app.views, app.input.mouseX, app.input.mouseY)) {
            app.views.full.camera = v->camera;
            app.input.singleView = true;
            rebuildViewList(app.views, true);
        }
    }

    if (!app.hoverViewport || !app.hoverViewport->camera) return;
    Camera& c = *app.hoverViewport->camera;
    if (app.keys.pressed('a') || app.keys.pressed('A')) frameWorld(app, *app.hoverViewport);

    for (const auto& k : kTranslationKeys)
        if (app.keys.active(k.key)) app.input.translationSpeed = k.speed;
    for (const auto& k : kRotationKeys)
        if (app.keys.active(k.key)) app.input.rotationSpeed = k.speed;

    // Movement in the camera's own frame: +x forward, +y left, +z up.
    const float ts = app.input.translationSpeed;
    Vec3 local(axisInput(app, 'e', 'E', 'd', 'D', ts), axisInput(app, 's', 'S', 'f', 'F', ts), axisInput(app, 'r', 'R', 'v', 'V', ts));
    c.position = c.position + rotate(c.orientation, local);
    // An orthographic view zooms instead of getting closer: forward narrows it.
    if (c.orthographic)
        c.halfWidth = boundedOrthoHalfWidth(c.halfWidth * std::exp(-0.01f * local.x));

    const float rs = app.input.rotationSpeed;
    float ax = axisInput(app, 'o', 'O', 'u', 'U', rs);
    float ay = axisInput(app, 'i', 'I', 'k', 'K', rs);
    float az = axisInput(app, 'j', 'J', 'l', 'L', rs);
    if (ax != 0 || ay != 0 || az != 0) {
        // Right-multiplying turns about the camera's own axes.
        if (ax != 0) c.orientation = multiply(c.orientation, fromAxisAngle({1, 0, 0}, ax));
        if (ay != 0) c.orientation = multiply(c.orientation, fromAxisAngle({0, 1, 0}, ay));
        if (az != 0) c.orientation = multiply(c.orientation, fromAxisAngle({0, 0, 1}, az));
        c.orientation = normalised(c.orientation);
    }
}

void refreshMouseRay(Application& app)
{
    if (app.activeViewport && app.activeViewport->camera)
        sendInput(app, {WorldInput::MouseRay, rayUnderMouse(app, *app.activeViewport), 0});
}

void onMouseButton(Application& app, int button, int state, int x, int y, int modifiers)
{
    // The wheel comes as buttons 3 (away) and 4 (towards), a press and a release a notch.
    if (button == 3 || button == 4) {
        if (state == GLUT_DOWN) onWheel(app, button, x, y);
        return;
    }
    app.input.mouseX = x;
    app.input.mouseY = app.input.windowHeight - y;
    app.input.modifiers = modifiers;
    const int oldButtons = app.input.mouseButtons;
    if (button >= 0 && button < 31) {
        if (state == GLUT_DOWN)
            app.input.mouseButtons |= 1 << button;
        else
            app.input.mouseButtons &= ~(1 << button);
    }
    if (app.buttonBar && app.buttonBar->handleMouse(app.input.mouseButtons, oldButtons, x, app.input.mouseY)) return;

    if (state == GLUT_DOWN) {
        Viewport* v = viewportAt(app.views, app.input.mouseX, app.input.mouseY);
        app.activeViewport = v;
        const bool hasCamera = v && v->camera;
        if (app.input.placementMode == 1 || app.input.placementMode == 2) {
            if (hasCamera) {
                Ray ray = rayUnderMouse(app, *v);
                if (app.input.placementMode == 2)
                    sendInput(app, {WorldInput::Sink, ray, 0});
                else if (sendInput(app, {WorldInput::Source, ray, 0}) < 0)
                    // Said in the window only: the console stays as it always was.
                    tv::noteProblem(app.scene.parSys.liveCount() < MAX_PARTICLES
                                        ? "no source placed: nothing solid under the cursor"
                                        : "no source placed: every particle is in use");
            }
            app.input.placementMode = 0;
        } else if (modifiers & GLUT_ACTIVE_SHIFT) {
            if (hasCamera && (button == GLUT_LEFT_BUTTON || button == GLUT_RIGHT_BUTTON))
                sendInput(app, {button == GLUT_LEFT_BUTTON ? WorldInput::TerrainLoad : WorldInput::TerrainUnload,
                                rayUnderMouse(app, *v), 0});
        } else if (button == GLUT_LEFT_BUTTON) {
            if (hasCamera) sendInput(app, {WorldInput::Grab, rayUnderMouse(app, *v), 0});
        } else if (button == GLUT_MIDDLE_BUTTON) {
            if (hasCamera) app.orbit = {v->camera, v, {}, false, app.input.mouseX, app.input.mouseY, x, y};
        } else if (button == GLUT_RIGHT_BUTTON) {
            // Pin the held particle in place, or free it again.
            if (app.scene.heldParticle) sendInput(app, {WorldInput::Pin, {}, 0});
        }
    } else if (state == GLUT_UP) {
        if (button == GLUT_LEFT_BUTTON && app.scene.heldParticle) sendInput(app, {WorldInput::Release, {}, 0});
        if (button == GLUT_MIDDLE_BUTTON) app.orbit.camera = nullptr;
        rebuildViewList(app.views, app.input.singleView);
    }
}

void onMotion(Application& app, int x, int y)
{
    app.input.mouseX = x;
    app.input.mouseY = app.input.windowHeight - y;
    app.hoverViewport = viewportAt(app.views, app.input.mouseX, app.input.mouseY);
    // Dragging right or up turns the world with the cursor, as if grabbing it.
    if (app.orbit.camera && app.orbit.pivotKnown && (app.input.mouseButtons & (1 << GLUT_MIDDLE_BUTTON))) {
        orbitCamera(*app.orbit.camera, app.orbit.pivot, -kOrbitDegreesPerPixel * static_cast<float>(x - app.orbit.x),
                    kOrbitDegreesPerPixel * static_cast<float>(y - app.orbit.y));
        app.orbit.x = x;
        app.orbit.y = y;
    }
}

void onPassiveMotion(Application& app, int x, int y)
{
    app.input.mouseX = x;
    app.input.mouseY = app.input.windowHeight - y;
    app.hoverViewport = viewportAt(app.views, app.input.mouseX, app.input.mouseY);
    if (app.hoverViewport && app.hoverViewport->camera)
        sendInput(app, {WorldInput::MouseRay, rayUnderMouse(app, *app.hoverViewport), 0});
}
