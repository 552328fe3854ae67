#pragma once
// Display settings: toggled by the scene's update from the keyboard, read by the
// landscape's drawing and mouse tracking.
extern bool lodFreeze;
extern bool lodMapping;
extern bool whiteSeams;
extern bool renderFast;
extern bool veg;
extern bool testCompile;
extern bool wireframe;
extern bool trackingMouse;
extern int baseRadius;

// Back to the start-up values (tests).
void resetDisplaySettings();
