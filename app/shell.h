#pragma once
// The process shell: the window, the GLUT callbacks, the initialisation chain, the frame
// cycle and shutdown. One instance of everything, all on the event-loop thread.
#include "core/glext.h"

class ParScene;
class GuiPanel;
class Dumper;
class HelpOverlay;

extern ParScene scene;
extern GuiPanel* buttonBar;
extern Dumper dumper;
extern HelpOverlay helpOverlay;

// The steps of a frame, callable without GLUT.
void setGlState();
bool initChain(ProcAddressLoader loader);
// The first steps of every frame: the mouse ray, the button bar, key transitions, flight.
void readInput();
// readInput, the scene update, drawSequence.
void idleCycle();
void drawSequence();
void shutdownSystem();
void onReshape(int width, int height);
void onKeyboard(unsigned char key, int x, int y);
void onKeyboardUp(unsigned char key, int x, int y);
// F1 shows or hides the help overlay.
void onSpecialKey(int key, int x, int y);

// Swaps the buffers; the real program uses GLUT's, tests their own.
extern void (*swapBuffers)();

// The window "Tessivane", 720 × 480, with its GL context current and GLUT's clock behind
// the scene's status line.
void openWindow(int* argc, char** argv);
// openWindow after the window library has been given the arguments.
void createWindow();
// GL entry points through GLX, for the extension probe.
void* glxLoader(const char* name);

// The entry: window, callbacks, initialisation, event loop, shutdown. Returns the exit status:
// 0 after a run, 1 when the initialisation chain failed.
int runTessivane(int argc, char** argv);
