#include "app/shell.h"

#include <GL/freeglut.h>
#include <GL/glx.h>

#include <cstdio>

#include "app/commandline.h"
#include "app/control.h"
#include "core/debug.h"
#include "core/input.h"
#include "view/viewport.h"
#include "assets/dumper.h"
#include "gui/gui.h"
#include "gui/overlay.h"
#include "scene/parscene.h"

ParScene scene;
GuiPanel* buttonBar = nullptr;
Dumper dumper;
void (*swapBuffers)() = glutSwapBuffers;

HelpOverlay helpOverlay;

namespace {
constexpr unsigned char kEscape = 27;

const char* cameraName(const Camera* c)
{
    if (c == &views.top) return "TOP";
    if (c == &views.front) return "FRONT";
    if (c == &views.side) return "SIDE";
    return "MAIN";
}

OverlayFigures currentFigures()
{
    // The counts are the last status line's: they agree with the console, and the panel's
    // picture is painted and uploaded again once a second rather than every played frame.
    OverlayFigures f;
    const ParScene::StatusFigures& st = scene.lastStatus;
    f.updatesPerSecond = st.updatesPerSecond;
    f.particles = st.particles;
    f.pool = MAX_PARTICLES;
    f.glow = st.glow;
    f.springs = st.springs;
    f.emitters = st.emitters;
    f.sinks = st.sinks;
    f.rk4 = scene.useRk4;
    f.paused = scene.timeStep == 0;
    f.recording = input.recording;
    // The view the keys steer: the one under the cursor.
    f.view = hoverViewport ? cameraName(hoverViewport->camera) : "NONE";
    f.fourViews = !input.singleView;
    return f;
}
}  // namespace

void setGlState()
{
    glClearColor(0, 0, 0, 0);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_NORMALIZE);
    glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, 1);
    const GLfloat ambient[4] = {0, 0, 0, 1};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
    const GLfloat white[4] = {1, 1, 1, 1};
    glLightfv(GL_LIGHT0, GL_AMBIENT, white);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
    glLightfv(GL_LIGHT0, GL_SPECULAR, white);
    // Given while the modelview matrix is still the identity.
    const GLfloat up[4] = {0, 0, 1, 0};
    glLightfv(GL_LIGHT0, GL_POSITION, up);
    if (glExt.separateSpecular) glLightModeli(GL_LIGHT_MODEL_COLOR_CONTROL, GL_SEPARATE_SPECULAR_COLOR);
}

bool initChain(ProcAddressLoader loader)
{
    probeGlExtensions(loader);
    setGlState();
    if (!scene.init()) {
        std::printf("failed to init object scene!\n");
        return false;
    }
    setUpCameras(&scene);
    rebuildViewList(true);
    attachCameras();

    buttonBar = new GuiPanel;
    if (!buttonBar->init(&scene)) {
        delete buttonBar;
        buttonBar = nullptr;
        std::printf("couldn't create the GUI object\n");
        return false;
    }
    if (!dumper.init()) {
        std::printf("failed to init the dumper\n");
        return false;
    }
    return true;
}

void drawSequence()
{
    renderViews();
    findOrbitPivot();
    TV_ASSERT(buttonBar);
    buttonBar->draw(input.windowWidth, input.windowHeight);
    if (helpOverlay.visible) helpOverlay.draw(input.windowWidth, input.windowHeight, currentFigures());
    swapBuffers();
    if (input.recording) dumper.dump();
}

void readInput()
{
    refreshMouseRay();
    if (buttonBar) buttonBar->handleMouse(input.mouseButtons, input.mouseButtons, input.mouseX, input.mouseY);
    updateKeyTransitions();
    steerFromKeyboard();
}

void idleCycle()
{
    readInput();
    // Every force pass of the step sees the same press, so the fourth-order step starts
    // four fountains for one.
    scene.fountainRequested = keyPressed('z');
    // 'n' on a paused world runs the one update play would have run; while playing it waits.
    if ((keyPressed('n') || keyPressed('N')) && scene.timeStep == 0)
        scene.singleStep();
    else
        scene.update();
    toggleDisplaySwitches();
    scene.trackMouse();
    drawSequence();
}

void shutdownSystem()
{
    std::printf("shutdown system...");
    std::fflush(stdout);
    scene.shutdown();
    delete buttonBar;
    buttonBar = nullptr;
    dumper.release();
    helpOverlay.release();
}

void onReshape(int width, int height)
{
    input.windowWidth = width;
    input.windowHeight = height;
    layoutViewports(width, height);
    dumper.resize(0, 0, width, height);
}

void onKeyboard(unsigned char key, int x, int y)
{
    input.mouseX = x;
    input.mouseY = input.windowHeight - y;
    if (key == '\\') {
        input.recording = !input.recording;
        std::printf(input.recording ? "begin recording\n" : "end recording\n");
    }
    keyDown[key] = 1;
    // Escape leaves like closing the window, for displays without a window manager.
    if (key == kEscape) glutLeaveMainLoop();
}

void onKeyboardUp(unsigned char key, int, int) { keyDown[key] = 0; }

void onSpecialKey(int key, int, int)
{
    if (key == GLUT_KEY_F1) helpOverlay.visible = !helpOverlay.visible;
}

namespace {
void glutDisplay() { drawSequence(); }
void glutIdle() { idleCycle(); }
void glutMouse(int button, int state, int x, int y) { onMouseButton(button, state, x, y, glutGetModifiers()); }
}  // namespace

void* glxLoader(const char* name)
{
    return reinterpret_cast<void*>(glXGetProcAddressARB(reinterpret_cast<const GLubyte*>(name)));
}

void openWindow(int* argc, char** argv)
{
    glutInit(argc, argv);
    createWindow();
}

void createWindow()
{
    // The scene's status line counts updates per second of the toolkit's clock.
    ParScene::elapsedMs = [] { return glutGet(GLUT_ELAPSED_TIME); };
    glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE | GLUT_ALPHA | GLUT_DEPTH | GLUT_STENCIL);
    glutInitWindowSize(720, 480);
    glutInitWindowPosition(0, 0);
    glutCreateWindow("Tessivane");
    // Closing the window ends the event loop instead of the process, so shutdown runs.
    glutSetOption(GLUT_ACTION_ON_WINDOW_CLOSE, GLUT_ACTION_GLUTMAINLOOP_RETURNS);
}

int runTessivane(int argc, char** argv)
{
    // The window library takes its own options first; what it leaves is ours.
    glutInit(&argc, argv);
    const CommandLine commandLine = readCommandLine(argc, argv);
    if (commandLine.status != 0) {
        std::printf("%s\n", commandLine.message.c_str());
        return commandLine.status;
    }
    scene.sceneFile = commandLine.sceneFile;
    createWindow();

    glutDisplayFunc(glutDisplay);
    glutIdleFunc(glutIdle);
    glutReshapeFunc(onReshape);
    glutMouseFunc(glutMouse);
    glutMotionFunc(onMotion);
    glutPassiveMotionFunc(onPassiveMotion);
    glutKeyboardFunc(onKeyboard);
    glutKeyboardUpFunc(onKeyboardUp);
    glutSpecialFunc(onSpecialKey);

    // A start that failed must not look like a clean run to whoever started the program.
    int status = 0;
    if (initChain(glxLoader)) {
        glutMainLoop();
    } else {
        std::printf("init() failed\n");
        status = 1;
    }
    shutdownSystem();
    return status;
}
