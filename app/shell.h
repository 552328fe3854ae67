#pragma once
// The process shell: the window, the GLUT callbacks, the initialisation chain, the frame
// cycle and shutdown, all on the event-loop thread, working on one Application.
#include <memory>

#include "app/control.h"
#include "app/framepace.h"
#include "app/worlds.h"
#include "assets/dumper.h"
#include "core/glext.h"
#include "core/input.h"
#include "gui/gui.h"
#include "gui/hud.h"
#include "gui/overlay.h"
#include "gui/panel.h"
#include "scene/parscene.h"
#include "scene/timeline.h"
#include "view/viewport.h"

// Everything the program has once: the world, the views and the input that steers them,
// the button bar, the help overlay and the frame recorder. main makes it; the window
// library's callbacks reach it through the shell, since they carry no pointer of their own.
struct Application {
    Application();
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    ParScene scene;
    Views views;
    KeyTable keys;
    InputState input;
    std::unique_ptr<GuiPanel> buttonBar;
    Dumper dumper;
    HelpOverlay helpOverlay;
    SettingsPanel panel;  // F2
    // The viewport under the cursor at the last motion event, and the one last pressed.
    Viewport* hoverViewport = nullptr;
    Viewport* activeViewport = nullptr;
    Orbit orbit;
    FramePace pace;
    ProblemBanner problemBanner;
    WorldList worlds;  // Page Up / Page Down
    Timeline timeline;  // every input to the world; recording, replay and rewind
    bool crosshair = false;  // the cursor shown while a click will place a source or a sink
    // Swaps the buffers; the real program uses GLUT's, tests their own.
    void (*swapBuffers)() = nullptr;
};

// What the shell, the button bar and the panel send the world: through the timeline, which
// keeps it for a recording and a rewind, or drops it while a replay drives the world.
int sendInput(Application& app, const WorldInput& in);

// The steps of a frame, callable without GLUT.
void setGlState();
bool initChain(Application& app, ProcAddressLoader loader);
// The first steps of every frame: the mouse ray, the button bar, key transitions, flight.
void readInput(Application& app);
// readInput, the scene update, drawSequence (unless the paused picture stands still).
void idleCycle(Application& app);
void drawSequence(Application& app);
void shutdownSystem(Application& app);
void onReshape(Application& app, int width, int height);
void onKeyboard(Application& app, unsigned char key, int x, int y);
void onKeyboardUp(Application& app, unsigned char key, int x, int y);
// F1 shows or hides the help overlay, F2 the settings panel; Home takes the view under the cursor home; Page Up
// and Page Down open the previous and next world; F3 starts and finishes an input log.
void onSpecialKey(Application& app, int key, int x, int y);

// The window "Tessivane", 720 × 480, with its GL context current and GLUT's clock behind
// the scene's status line.
void openWindow(int* argc, char** argv);
// openWindow after the window library has been given the arguments.
void createWindow();
// GL entry points through GLX, for the extension probe.
void* glxLoader(const char* name);

// The entry: window, callbacks, initialisation, event loop, shutdown, all on `app`.
// Returns the exit status: 0 after a run, 1 when the initialisation chain failed.
int runTessivane(Application& app, int argc, char** argv);
