#pragma once
// Keyboard and mouse control: camera flight for the viewport under the cursor, the
// one/four view toggle, and picking through viewports into the scene after the button
// bar has had its chance at every mouse event.

// The viewport under the cursor at the last motion event, and the one last pressed.
class Viewport;
extern Viewport* hoverViewport;
extern Viewport* activeViewport;

// Back to the start-up state (tests).
void resetControl();

// A middle press turns its view about the point drawn under the cursor: found from the
// depth of the frame being drawn, after the views and before the button bar.
void findOrbitPivot();
// Fits the world into the viewport's camera ('a').
void frameWorld(Viewport& v);

// Run once per frame after the scene's update: the display switches the keys flip, each
// change reported on the console.
void toggleDisplaySwitches();
// Run once per frame after the key transitions: view toggle, speeds, flight, rotation.
void steerFromKeyboard();
// First step of every frame: the scene's ray follows the cursor through the viewport
// last pressed.
void refreshMouseRay();

void onMouseButton(int button, int state, int x, int y, int modifiers);
void onMotion(int x, int y);
void onPassiveMotion(int x, int y);
