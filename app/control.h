#pragma once
// Keyboard and mouse control: camera flight for the viewport under the cursor, the
// one/four view toggle, and picking through viewports into the scene after the button
// bar has had its chance at every mouse event.

#include "core/vecmath.h"

class Camera;
class Viewport;
struct Application;
struct KeyTable;
struct DisplaySettings;

// The middle-button orbit: the camera it turns, the point it turns about and the last
// cursor place it has followed.
struct Orbit {
    Camera* camera = nullptr;
    Viewport* view = nullptr;
    Vec3 pivot;
    bool pivotKnown = false;     // the press's point is read from the next frame's depth
    int pressX = 0, pressY = 0;  // window point of the press, y up
    int x = 0, y = 0;            // last cursor place followed, GLUT's y
};

// Back to the start-up state (tests).
void resetControl(Application& app);

// A middle press turns its view about the point drawn under the cursor: found from the
// depth of the frame being drawn, after the views and before the button bar.
void findOrbitPivot(Application& app);
// Fits the world into the viewport's camera ('a').
void frameWorld(Application& app, Viewport& v);
// Puts the viewport's camera back where it started (Home): the main camera at the
// world's start, level; a fixed view where the program opened it.
void homeView(Application& app, Viewport& v);

// Run once per frame after the scene's update: the display switches the keys flip, each
// change reported on the console.
void toggleDisplaySwitches(const KeyTable& keys, DisplaySettings& display);
// Run once per frame after the key transitions: view toggle, speeds, flight, rotation.
void steerFromKeyboard(Application& app);
// First step of every frame: the scene's ray follows the cursor through the viewport
// last pressed.
void refreshMouseRay(Application& app);

void onMouseButton(Application& app, int button, int state, int x, int y, int modifiers);
void onMotion(Application& app, int x, int y);
void onPassiveMotion(Application& app, int x, int y);
