#pragma once
// The process shell: the window, the GLUT callbacks, the initialisation chain, the frame
// cycle and shutdown. One instance of everything, all on the event-loop thread.
#include "app/glext.h"

class ParScene;
class GuiPanel;
class Dumper;

extern ParScene scene;
extern GuiPanel* buttonBar;
extern Dumper dumper;

// The steps of a frame, callable without GLUT.
void setGlState();
bool initChain(ProcAddressLoader loader);
void idleCycle();
void drawSequence();
void shutdownSystem();
void onReshape(int width, int height);
void onKeyboard(unsigned char key, int x, int y);
void onKeyboardUp(unsigned char key, int x, int y);

// Swaps the buffers; the real program uses GLUT's, tests their own.
extern void (*swapBuffers)();

// The entry: window, callbacks, initialisation, event loop, shutdown. Returns the exit status.
int runTessivane(int argc, char** argv);
