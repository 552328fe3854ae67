#pragma once
// Process-wide input state shared by the shell, the camera flight, the scene and the
// button bar. Everything runs on the one event-loop thread.

constexpr unsigned char KEY_UP = 0;
constexpr unsigned char KEY_HELD = 1;
constexpr unsigned char KEY_PRESSED = 2;
constexpr unsigned char KEY_RELEASED = 3;

extern unsigned char keyDown[256];
extern unsigned char keyPrev[256];
extern unsigned char keyTransition[256];

// Turns the raw key-down table into this frame's transition codes, then remembers it.
void updateKeyTransitions();
inline bool keyActive(unsigned char key) { return keyTransition[key] != KEY_UP; }
inline bool keyPressed(unsigned char key) { return keyTransition[key] == KEY_PRESSED; }

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

extern InputState input;
