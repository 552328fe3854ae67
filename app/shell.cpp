#include "app/shell.h"

#include <GL/freeglut.h>
#include <GL/glx.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <thread>
#include <utility>

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
constexpr unsigned char kBackspace = 8;

void switchWorld(Application& app, int by);

// A world's name in the lists: the gallery's own, "default", or the file named at start.
std::string worldName(const std::string& file)
{
    std::string name = WorldList::name(file);
    return !name.empty() ? name : file == "test.scn" ? "default" : file;
}

PanelWorlds panelWorlds(const Application& app)
{
    PanelWorlds w;
    for (const std::string& file : app.worlds.files) w.names.push_back(worldName(file));
    w.current = static_cast<int>(app.worlds.current);
    return w;
}

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
        std::string name = worldName(file);
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
    // The panel's plots move and its controls answer the cursor in every frame.
    if (app.scene.timeStep != 0 || app.input.recording || app.input.mouseButtons || statusPrinted || bannerChanged ||
        app.panel.visible)
        return false;
    for (int k = 0; k < 256; ++k)
        if (app.keys.down[k] || app.keys.transition[k] != KEY_UP) return false;
    return true;
}
}  // namespace

int sendInput(Application& app, const WorldInput& in) { return app.timeline.send(app.scene, in); }

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
    app.buttonBar->sender = [&app](const WorldInput& in) { return sendInput(app, in); };
    app.panel.sendInput = [&app](const WorldInput& in) { sendInput(app, in); };
    app.panel.openWorld = [&app](int index) { switchWorld(app, index - static_cast<int>(app.worlds.current)); };
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
    if (app.panel.visible) app.panel.draw(width, height, app.scene, app.scene.display, panelWorlds(app));
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
    // What the panel asked for lands between updates; its single step is this cycle's
    // update, as 'n''s is.
    const bool panelStepped = app.panel.deliver() && !app.timeline.replaying();
    app.scene.timeSteps = app.panel.visible;
    // Every force pass of the step sees the same press, so the fourth-order step starts
    // four fountains for one.
    if (app.keys.pressed('z')) sendInput(app, {WorldInput::Fountain, {}, 0});
    const int second = app.scene.lastSecond;
    // 'n' on a paused world runs the one update play would have run; while playing it waits.
    if (!panelStepped) {
        if ((app.keys.pressed('n') || app.keys.pressed('N')) && app.scene.timeStep == 0 && !app.timeline.replaying())
            sendInput(app, {WorldInput::SingleStep, {}, 0});
        else
            app.timeline.update(app.scene);
    }
    if (app.panel.visible) app.panel.sample(app.scene);
    toggleDisplaySwitches(app.keys, app.scene.display);
    app.scene.trackMouse();
    const bool statusPrinted = app.scene.lastSecond != second;
    const bool bannerChanged = app.problemBanner.follow(tv::lastProblem(), ParScene::elapsedMs());
    if (app.pace.draw(stillPicture(app, statusPrinted, bannerChanged))) {
        const std::chrono::steady_clock::time_point t0 = std::chrono::steady_clock::now();
        drawSequence(app);
        app.panel.drawSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }
}

void shutdownSystem(Application& app)
{
    if (app.timeline.recording()) app.timeline.finishRecording(app.scene);
    std::printf("shutdown system...");
    std::fflush(stdout);
    app.scene.shutdown();
    app.buttonBar.reset();
    app.dumper.release();
    app.helpOverlay.release();
    app.panel.release();
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
    if (key == kBackspace) {
        if (app.timeline.rewind(app.scene))
            std::printf("back one second, to update %u\n", app.timeline.updates());
        else
            tv::noteProblem("nothing to rewind to: the world was built less than a second ago");
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
    // A replay's world is the log's; a recording holds one world's session.
    if (app.worlds.files.size() < 2 || app.timeline.replaying()) return;
    if (app.timeline.recording()) app.timeline.finishRecording(app.scene);
    app.scene.sceneFile = app.worlds.step(by);
    std::printf("world: %s\n", app.scene.sceneFile.c_str());
    app.timeline.beforeWorldStart(app.scene);
    app.scene.init();
    app.timeline.worldStarted(app.scene);
    glutSetWindowTitle(app.worlds.title().c_str());
}
}  // namespace

void onSpecialKey(Application& app, int key, int, int)
{
    if (key == GLUT_KEY_PAGE_DOWN || key == GLUT_KEY_PAGE_UP) switchWorld(app, key == GLUT_KEY_PAGE_DOWN ? 1 : -1);
    if (key == GLUT_KEY_F1) app.helpOverlay.visible = !app.helpOverlay.visible;
    if (key == GLUT_KEY_F2) app.panel.toggle();
    if (key == GLUT_KEY_HOME && app.hoverViewport) homeView(app, *app.hoverViewport);
    if (key == GLUT_KEY_F3) {
        if (app.timeline.recording()) {
            app.timeline.finishRecording(app.scene);
        } else if (app.timeline.replaying()) {
            std::printf("no input log while a replay runs\n");
        } else {
            // The log holds the world from its start, so that a replay can build it again.
            std::string error;
            const std::string file = freeSessionName();
            if (app.timeline.startRecording(file, error))
                std::printf("recording inputs to %s\n", file.c_str());
            else
                std::printf("%s\n", error.c_str());
        }
    }
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
// The settings panel sees events first and keeps what falls on it (see SettingsPanel).
void glutMouse(int button, int state, int x, int y)
{
    Application& app = touched();
    if (!app.panel.mouseButton(button, state, x, y)) onMouseButton(app, button, state, x, y, glutGetModifiers());
}
void glutMotion(int x, int y)
{
    Application& app = touched();
    app.panel.motion(x, y);
    onMotion(app, x, y);
}
void glutPassiveMotion(int x, int y)
{
    Application& app = touched();
    app.panel.motion(x, y);
    onPassiveMotion(app, x, y);
}
void glutKeyboard(unsigned char key, int x, int y)
{
    Application& app = touched();
    if (!app.panel.key(key, x, y)) onKeyboard(app, key, x, y);
}
void glutKeyboardUp(unsigned char key, int x, int y)
{
    Application& app = touched();
    app.panel.keyUp(key, x, y);
    onKeyboardUp(app, key, x, y);
}
void glutSpecial(int key, int x, int y)
{
    // F2 is the panel's own switch, over it or not.
    Application& app = touched();
    if (key == GLUT_KEY_F2 || !app.panel.specialKey(key, x, y)) onSpecialKey(app, key, x, y);
}
// Only the panel wants to know of these: while it is off they change nothing.
void glutSpecialUp(int key, int x, int y)
{
    if (running->panel.visible) touched().panel.specialKeyUp(key, x, y);
}
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
    if (!commandLine.replayFile.empty()) {
        // Checked before the window opens: a log that cannot be played is one line and 1.
        InputLog log;
        std::string error;
        if (!readReplay(commandLine.replayFile, log, error)) {
            std::printf("%s\n", error.c_str());
            return 1;
        }
        app.scene.sceneFile = log.sceneName;
        app.timeline.startReplay(std::move(log), commandLine.replayFile);
    }
    if (!commandLine.recordFile.empty()) {
        std::string error;
        if (!app.timeline.startRecording(commandLine.recordFile, error)) {
            std::printf("%s\n", error.c_str());
            return 1;
        }
        std::printf("recording inputs to %s\n", commandLine.recordFile.c_str());
    }
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
    glutSpecialUpFunc(glutSpecialUp);

    // A start that failed must not look like a clean run to whoever started the program.
    int status = 0;
    app.timeline.beforeWorldStart(app.scene);
    if (initChain(app, glxLoader)) {
        app.timeline.worldStarted(app.scene);
        glutMainLoop();
    } else {
        std::printf("init() failed\n");
        status = 1;
    }
    shutdownSystem(app);
    return status;
}
