#pragma once
// The records of input: the key table and the mouse, window and mode state the shell
// keeps and hands to the camera flight and the button bar.

constexpr unsigned char KEY_UP = 0;
constexpr unsigned char KEY_HELD = 1;
constexpr unsigned char KEY_PRESSED = 2;
constexpr unsigned char KEY_RELEASED = 3;

// The keyboard as the frame sees it: what is down now, what was down at the last frame,
// and this frame's transition code for every key.
struct KeyTable {
    unsigned char down[256] = {};
    unsigned char prev[256] = {};
    unsigned char transition[256] = {};

    // Turns the raw key-down table into this frame's transition codes, then remembers it.
    void update();
    bool active(unsigned char key) const { return transition[key] != KEY_UP; }
    bool pressed(unsigned char key) const { return transition[key] == KEY_PRESSED; }
};

// The Shift bit of InputState::modifiers, as the window library reports it.
constexpr int kShiftModifier = 1;

struct InputState {
    int windowWidth = 1;
    int windowHeight = 1;
    int mouseX = 0;
    int mouseY = 0;  // counted from the bottom edge: window height − GLUT's y
    int mouseButtons = 0;
    int modifiers = 0;
    int placementMode = 0;  // 0 none, 1 particle source, 2 sink
    float translationSpeed = 1.0f;
    float rotationSpeed = 3.0f;
    bool singleView = true;
    bool recording = false;
};

