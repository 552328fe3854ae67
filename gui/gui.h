#pragma once
// The on-screen button bar: four textured buttons in the lower-left corner that switch
// the integrator, place a particle source, reset the scene and pause or run it. The bar
// sees every mouse event first and keeps those over a button from the scene.
#include <functional>
#include <vector>

#include "assets/texture.h"
#include "scene/worldinput.h"

class ParScene;
struct InputState;

// A textured rectangle in window pixels (origin bottom-left) that takes mouse events.
class GlGuiButton {
public:
    // Loads the picture when a path is given; a missing one is reported and the button
    // stays, drawn with an empty texture.
    GlGuiButton(int x, int y, int width, int height, const char* imagePath);
    virtual ~GlGuiButton() = default;
    GlGuiButton(const GlGuiButton&) = delete;
    GlGuiButton& operator=(const GlGuiButton&) = delete;

    virtual void draw();
    // The base takes every event inside its rectangle and does nothing with it.
    virtual bool handleMouse(int newButtons, int oldButtons, int x, int y);
    // Both edges included.
    bool contains(int px, int py) const { return px >= x && px <= x + width && py >= y && py <= y + height; }

    Texture image;
    int x, y, width, height;

protected:
    void drawQuad(const Texture& texture) const;
    static bool leftPressed(int newButtons, int oldButtons) { return (newButtons & 1) && !(oldButtons & 1); }
};

// Where a button's change to the world goes: the application's timeline, or straight to
// the world when none is given (tests).
using InputSender = std::function<int(const WorldInput&)>;

class SceneButton : public GlGuiButton {
public:
    SceneButton(ParScene* scene_, int x, int y, int width, int height, const char* imagePath)
        : GlGuiButton(x, y, width, height, imagePath), scene(scene_)
    {
    }

    ParScene* scene;
    const InputSender* sender = nullptr;

protected:
    int send(const WorldInput& in) const;
};

// Shows the picture of the integrator in use; a press switches to the other.
class IntegratorButton : public SceneButton {
public:
    explicit IntegratorButton(ParScene* scene);
    void draw() override;
    bool handleMouse(int newButtons, int oldButtons, int x, int y) override;

    Texture second;  // RK4 picture
};

// A press arms placement: the next press outside the bar places a particle source, or
// with Shift held a sink.
class SourceButton : public SceneButton {
public:
    SourceButton(ParScene* scene, InputState* input);
    // Lit while armed, for a source or a sink.
    void draw() override;
    bool handleMouse(int newButtons, int oldButtons, int x, int y) override;

private:
    InputState* input;  // its placement mode, which the next click in a view consumes
};

// A press rebuilds the world from the data files.
class ResetButton : public SceneButton {
public:
    explicit ResetButton(ParScene* scene);
    bool handleMouse(int newButtons, int oldButtons, int x, int y) override;
};

// Shows play while paused and pause while running; a press switches.
class PlayPauseButton : public SceneButton {
public:
    explicit PlayPauseButton(ParScene* scene);
    void draw() override;
    bool handleMouse(int newButtons, int oldButtons, int x, int y) override;

    Texture second;  // play picture
};

class GuiPanel {
public:
    GuiPanel() = default;
    ~GuiPanel() { destroy(); }
    GuiPanel(const GuiPanel&) = delete;
    GuiPanel& operator=(const GuiPanel&) = delete;

    bool init(ParScene* scene, InputState* input);
    void draw(int width, int height);
    // Offered from the last button to the first; true when a button took the event.
    bool handleMouse(int newButtons, int oldButtons, int x, int y);
    void destroy();

    std::vector<GlGuiButton*> buttons;
    ParScene* scene = nullptr;
    InputSender sender;  // set by the application; the buttons send through it
};
