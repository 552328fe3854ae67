#pragma once
// Display settings: toggled by the shell from the keyboard, read by the world's and the
// landscape's drawing and the landscape's mouse tracking. The world owns one; a
// landscape drawn on its own is handed its own.
struct DisplaySettings {
    bool lodFreeze = false;
    bool lodMapping = false;
    bool whiteSeams = false;
    bool renderFast = false;
    bool veg = false;
    bool testCompile = false;
    bool wireframe = false;
    bool trackingMouse = false;
    int baseRadius = 64;
    // Whether drawing leaves out what a view cannot show, and work no pixel needs (one
    // clear of the window for views that tile it). The picture is the same either way;
    // draw tests turn it off to compare.
    bool viewCulling = true;
};
