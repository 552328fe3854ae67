#include "app/control.h"

#include <GL/freeglut_std.h>

#include <algorithm>
#include <cmath>

#include "app/input.h"
#include "app/shell.h"
#include "app/viewport.h"
#include "gui/gui.h"
#include "scene/parscene.h"

Viewport* hoverViewport = &views.full;
Viewport* activeViewport = nullptr;

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

// An orthographic view zooms between a hundredth of a unit, still far above the float
// spacing of world positions, and ten thousand units, the whole ground many times over and
// well short of the far plane. Unbounded, a held key drives the half-width to 0 or to
// infinity and the projection is lost for good.
constexpr float kMinOrthoHalfWidth = 0.01f;
constexpr float kMaxOrthoHalfWidth = 10000.0f;
}  // namespace

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
        c.halfWidth = std::clamp(c.halfWidth * std::exp(-0.01f * local.x), kMinOrthoHalfWidth, kMaxOrthoHalfWidth);

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
        rebuildViewList(input.singleView);
    }
}

void onMotion(int x, int y)
{
    input.mouseX = x;
    input.mouseY = input.windowHeight - y;
    hoverViewport = viewportAt(input.mouseX, input.mouseY);
}

void onPassiveMotion(int x, int y)
{
    input.mouseX = x;
    input.mouseY = input.windowHeight - y;
    hoverViewport = viewportAt(input.mouseX, input.mouseY);
    if (hoverViewport && hoverViewport->camera) scene.setMouseRay(rayUnderMouse(*hoverViewport));
}
