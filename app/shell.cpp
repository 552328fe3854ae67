#include "app/shell.h"

#include <GL/freeglut.h>
#include <GL/glx.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <thread>

#include "app/commandline.h"
#include "app/control.h"
#include "core/debug.h"
#include "core/input.h"
#include "core/problems.h"
#include "view/viewport.h"
#include "assets/dumper.h"
#include "gui/gui.h"
#include "gui/hud.h"
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
    for (const std::string& file : app.worlds.files) {
        std::string name = WorldList::name(file);
        if (name.empty()) name = file == "test.scn" ? "default" : file;
        std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::toupper(c); });
        f.worlds.push_back(name);
    }
    f.world = static_cast<int>(app.worlds.current);
    return f;
}

// Whether nothing a paused frame shows is changing: no key or button down (held keys fly,
// step and drag), no recording, no new status line (the overlay's figures) and the
// problem line as it was. Input events mark their own change through the pace.
bool stillPicture(const Application& app, bool statusPrinted, bool bannerChanged)
{
    if (app.scene.timeStep != 0 || app.input.recording || app.input.mouseButtons || statusPrinted || bannerChanged)
        return false;
    for (int k = 0; k < 256; ++k)
        if (app.keys.down[k] || app.keys.transition[k] != KEY_UP) return false;
    return true;
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
    const int width = app.input.windowWidth, height = app.input.windowHeight;
    renderViews(app.views, app.scene.display.viewCulling);
    findOrbitPivot(app);
    drawParticleMarks(particleMarks(app.views.list, app.scene.heldParticle, app.scene.parSys.handPinned), width,
                      height);
    if (!app.input.singleView)
        for (const Viewport* v : app.views.list) drawViewLabel(*v, cameraName(app.views, v->camera));
    TV_ASSERT(app.buttonBar);
    app.buttonBar->draw(width, height);
    app.problemBanner.draw(width, height);
    if (app.helpOverlay.visible) app.helpOverlay.draw(width, height, currentFigures(app));
    if (app.input.recording) {
        app.dumper.dump();
        // After the read-back: the recording keeps the world, not the sign that it runs.
        drawRecordingDot(width, height);
    }
    app.swapBuffers();
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
    const int second = app.scene.lastSecond;
    // 'n' on a paused world runs the one update play would have run; while playing it waits.
    if ((app.keys.pressed('n') || app.keys.pressed('N')) && app.scene.timeStep == 0)
        app.scene.singleStep();
    else
        app.scene.update();
    toggleDisplaySwitches(app.keys, app.scene.display);
    app.scene.trackMouse();
    const bool statusPrinted = app.scene.lastSecond != second;
    const bool bannerChanged = app.problemBanner.follow(tv::lastProblem(), ParScene::elapsedMs());
    if (app.pace.draw(stillPicture(app, statusPrinted, bannerChanged))) drawSequence(app);
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

namespace {
// As RESET does, with another scene file: a failure leaves an empty world.
void switchWorld(Application& app, int by)
{
    if (app.worlds.files.size() < 2) return;
    app.scene.sceneFile = app.worlds.step(by);
    std::printf("world: %s\n", app.scene.sceneFile.c_str());
    app.scene.init();
    glutSetWindowTitle(app.worlds.title().c_str());
}
}  // namespace

void onSpecialKey(Application& app, int key, int, int)
{
    if (key == GLUT_KEY_PAGE_DOWN || key == GLUT_KEY_PAGE_UP) switchWorld(app, key == GLUT_KEY_PAGE_DOWN ? 1 : -1);
    if (key == GLUT_KEY_F1) app.helpOverlay.visible = !app.helpOverlay.visible;
    if (key == GLUT_KEY_HOME && app.hoverViewport) homeView(app, *app.hoverViewport);
}

namespace {
// The application the window library's callbacks work on: they carry no pointer of their
// own. Set by runTessivane for the length of its event loop.
Application* running = nullptr;

// The application every event reaches, which may change what the next frames show.
Application& touched()
{
    running->pace.changed();
    return *running;
}

void glutDisplay() { drawSequence(*running); }
void glutIdle()
{
    Application& app = *running;
    const FramePace::Clock::duration wait = app.pace.wait(FramePace::Clock::now());
    if (wait > FramePace::Clock::duration::zero()) {
        std::this_thread::sleep_for(wait);
        return;
    }
    idleCycle(app);
    if (app.crosshair != (app.input.placementMode != 0)) {
        app.crosshair = !app.crosshair;
        glutSetCursor(app.crosshair ? GLUT_CURSOR_CROSSHAIR : GLUT_CURSOR_INHERIT);
    }
}
void glutReshape(int width, int height) { onReshape(touched(), width, height); }
void glutMouse(int button, int state, int x, int y)
{
    onMouseButton(touched(), button, state, x, y, glutGetModifiers());
}
void glutMotion(int x, int y) { onMotion(touched(), x, y); }
void glutPassiveMotion(int x, int y) { onPassiveMotion(touched(), x, y); }
void glutKeyboard(unsigned char key, int x, int y) { onKeyboard(touched(), key, x, y); }
void glutKeyboardUp(unsigned char key, int x, int y) { onKeyboardUp(touched(), key, x, y); }
void glutSpecial(int key, int x, int y) { onSpecialKey(touched(), key, x, y); }
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
    app.worlds.load(app.scene.sceneFile);
    createWindow();
    glutSetWindowTitle(app.worlds.title().c_str());

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
