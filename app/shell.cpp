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

Application::Application() : hoverViewport(&views.full), swapBuffers(glutSwapBuffers)
{
    // Every init puts the main camera at the world's start, RESET's included.
    scene.startCamera = &views.main;
}

Application::~Application() = default;

namespace {
constexpr unsigned char kEscape = 27;

const char* cameraName(const Views& views, const Camera* c)
{
    if (c == &views.top) return "TOP";
    if (c == &views.front) return "FRONT";
    if (c == &views.side) return "SIDE";
    return "MAIN";
}

OverlayFigures currentFigures(const Application& app)
{
    // The counts are the last status line's: they agree with the console, and the panel's
    // picture is painted and uploaded again once a second rather than every played frame.
    OverlayFigures f;
    const ParScene::StatusFigures& st = app.scene.lastStatus;
    f.updatesPerSecond = st.updatesPerSecond;
    f.particles = st.particles;
    f.pool = MAX_PARTICLES;
    f.glow = st.glow;
    f.springs = st.springs;
    f.emitters = st.emitters;
    f.sinks = st.sinks;
    f.rk4 = app.scene.useRk4;
    f.paused = app.scene.timeStep == 0;
    f.recording = app.input.recording;
    // The view the keys steer: the one under the cursor.
    f.view = app.hoverViewport ? cameraName(app.views, app.hoverViewport->camera) : "NONE";
    f.fourViews = !app.input.singleView;
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

bool initChain(Application& app, ProcAddressLoader loader)
{
    probeGlExtensions(loader);
    setGlState();
    if (!app.scene.init()) {
        std::printf("failed to init object scene!\n");
        return false;
    }
    setUpCameras(app.views, &app.scene);
    rebuildViewList(app.views, true);
    attachCameras(app.views);

    app.buttonBar = std::make_unique<GuiPanel>();
    if (!app.buttonBar->init(&app.scene, &app.input)) {
        app.buttonBar.reset();
        std::printf("couldn't create the GUI object\n");
        return false;
    }
    if (!app.dumper.init()) {
        std::printf("failed to init the dumper\n");
        return false;
    }
    return true;
}

void drawSequence(Application& app)
{
    renderViews(app.views, app.scene.display.viewCulling);
    findOrbitPivot(app);
    TV_ASSERT(app.buttonBar);
    app.buttonBar->draw(app.input.windowWidth, app.input.windowHeight);
    if (app.helpOverlay.visible) app.helpOverlay.draw(app.input.windowWidth, app.input.windowHeight, currentFigures(app));
    app.swapBuffers();
    if (app.input.recording) app.dumper.dump();
}

void readInput(Application& app)
{
    refreshMouseRay(app);
    if (app.buttonBar) app.buttonBar->handleMouse(app.input.mouseButtons, app.input.mouseButtons, app.input.mouseX, app.input.mouseY);
    app.keys.update();
    steerFromKeyboard(app);
}

void idleCycle(Application& app)
{
    readInput(app);
    // Every force pass of the step sees the same press, so the fourth-order step starts
    // four fountains for one.
    app.scene.fountainRequested = app.keys.pressed('z');
    // 'n' on a paused world runs the one update play would have run; while playing it waits.
    if ((app.keys.pressed('n') || app.keys.pressed('N')) && app.scene.timeStep == 0)
        app.scene.singleStep();
    else
        app.scene.update();
    toggleDisplaySwitches(app.keys, app.scene.display);
    app.scene.trackMouse();
    drawSequence(app);
}

void shutdownSystem(Application& app)
{
    std::printf("shutdown system...");
    std::fflush(stdout);
    app.scene.shutdown();
    app.buttonBar.reset();
    app.dumper.release();
    app.helpOverlay.release();
}

void onReshape(Application& app, int width, int height)
{
    app.input.windowWidth = width;
    app.input.windowHeight = height;
    layoutViewports(app.views, width, height);
    app.dumper.resize(0, 0, width, height);
}

void onKeyboard(Application& app, unsigned char key, int x, int y)
{
    app.input.mouseX = x;
    app.input.mouseY = app.input.windowHeight - y;
    if (key == '\\') {
        app.input.recording = !app.input.recording;
        std::printf(app.input.recording ? "begin recording\n" : "end recording\n");
    }
    app.keys.down[key] = 1;
    // Escape leaves like closing the window, for displays without a window manager.
    if (key == kEscape) glutLeaveMainLoop();
}

void onKeyboardUp(Application& app, unsigned char key, int, int) { app.keys.down[key] = 0; }

void onSpecialKey(Application& app, int key, int, int)
{
    if (key == GLUT_KEY_F1) app.helpOverlay.visible = !app.helpOverlay.visible;
}

namespace {
// The application the window library's callbacks work on: they carry no pointer of their
// own. Set by runTessivane for the length of its event loop.
Application* running = nullptr;

void glutDisplay() { drawSequence(*running); }
void glutIdle() { idleCycle(*running); }
void glutReshape(int width, int height) { onReshape(*running, width, height); }
void glutMouse(int button, int state, int x, int y)
{
    onMouseButton(*running, button, state, x, y, glutGetModifiers());
}
void glutMotion(int x, int y) { onMotion(*running, x, y); }
void glutPassiveMotion(int x, int y) { onPassiveMotion(*running, x, y); }
void glutKeyboard(unsigned char key, int x, int y) { onKeyboard(*running, key, x, y); }
void glutKeyboardUp(unsigned char key, int x, int y) { onKeyboardUp(*running, key, x, y); }
void glutSpecial(int key, int x, int y) { onSpecialKey(*running, key, x, y); }
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

int runTessivane(Application& app, int argc, char** argv)
{
    // The window library takes its own options first; what it leaves is ours.
    glutInit(&argc, argv);
    const CommandLine commandLine = readCommandLine(argc, argv);
    if (commandLine.status != 0) {
        std::printf("%s\n", commandLine.message.c_str());
        return commandLine.status;
    }
    app.scene.sceneFile = commandLine.sceneFile;
    createWindow();

    running = &app;
    glutDisplayFunc(glutDisplay);
    glutIdleFunc(glutIdle);
    glutReshapeFunc(glutReshape);
    glutMouseFunc(glutMouse);
    glutMotionFunc(glutMotion);
    glutPassiveMotionFunc(glutPassiveMotion);
    glutKeyboardFunc(glutKeyboard);
    glutKeyboardUpFunc(glutKeyboardUp);
    glutSpecialFunc(glutSpecial);

    // A start that failed must not look like a clean run to whoever started the program.
    int status = 0;
    if (initChain(app, glxLoader)) {
        glutMainLoop();
    } else {
        std::printf("init() failed\n");
        status = 1;
    }
    shutdownSystem(app);
    return status;
}
