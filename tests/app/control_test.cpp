#include <gtest/gtest.h>

#include <GL/freeglut_std.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/control.h"
#include "core/input.h"
#include "core/problems.h"
#include "app/shell.h"
#include "view/viewport.h"
#include "scene/parscene.h"
#include "support/testutil.h"
#include "terrain/displaysettings.h"
#include "terrain/lodrings.h"

// The shell's globals with a 720 × 480 window, cameras attached, single view, no bar.
class ControlTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        views = Views{};
        setUpCameras(views, nullptr);
        views.main.init(nullptr, false, 0.25f, 0.25f, 1, 0.25f, 20000, {0, 0, 0}, kIdentityQuat);
        rebuildViewList(views, true);
        attachCameras(views);
        input.windowWidth = 720;
        input.windowHeight = 480;
        layoutViewports(views, 720, 480);
        for (Viewport* v : {&views.full, &views.topLeft, &views.topRight, &views.bottomLeft, &views.bottomRight})
            v->camera->computeNearCorners(*v, v->aspect());
        resetControl(app);
        scene.parSys.init();
        scene.heldParticle = nullptr;
    }
    void TearDown() override { scene.parSys.release(); }

    // One frame of keyboard steering with the given keys down.
    void frame(std::initializer_list<unsigned char> keys)
    {
        std::memset(keyDown, 0, sizeof keyDown);
        for (unsigned char k : keys) keyDown[k] = 1;
        app.keys.update();
        steerFromKeyboard(app);
    }

    Application app;
    Views& views = app.views;
    InputState& input = app.input;
    ParScene& scene = app.scene;
    DisplaySettings& display = app.scene.display;
    unsigned char (&keyDown)[256] = app.keys.down;
    unsigned char (&keyTransition)[256] = app.keys.transition;
    Viewport*& hoverViewport = app.hoverViewport;
    Viewport*& activeViewport = app.activeViewport;
};

TEST_F(ControlTest, LaterSpeedKeysInTableOrderWin)
{
    frame({'9', '0', '(', ')'});
    EXPECT_FLOAT_EQ(input.translationSpeed, 100);
    EXPECT_FLOAT_EQ(input.rotationSpeed, 300);
    frame({'@'});  // ')' is still active in the frame it comes up
    EXPECT_FLOAT_EQ(input.rotationSpeed, 300);
    frame({'@'});
    EXPECT_FLOAT_EQ(input.rotationSpeed, 2.25f);
    frame({'1', '5'});
    EXPECT_FLOAT_EQ(input.translationSpeed, 2.5f);
}

TEST_F(ControlTest, FlightMovesOneUnitPerFrameInTheCameraFrame)
{
    Camera& c = views.main;
    c.orientation = fromAxisAngle({0, 0, 1}, 90);  // looking along world +y
    frame({'e'});
    EXPECT_VEC_NEAR(c.position, Vec3(0, 1, 0), 1e-6f);
    frame({'e'});  // held
    EXPECT_VEC_NEAR(c.position, Vec3(0, 2, 0), 1e-6f);
    frame({});  // the release frame still counts
    EXPECT_VEC_NEAR(c.position, Vec3(0, 3, 0), 1e-6f);
    frame({});
    EXPECT_VEC_NEAR(c.position, Vec3(0, 3, 0), 1e-6f);
    frame({'s', 'r'});  // left is world −x when looking along +y; up stays up
    EXPECT_VEC_NEAR(c.position, Vec3(-1, 3, 1), 1e-5f);
}

TEST_F(ControlTest, OrthographicViewsZoomInsteadOfGrowing)
{
    hoverViewport = &views.topRight;  // the side camera
    float before = views.side.halfWidth;
    frame({'e'});
    EXPECT_FLOAT_EQ(views.side.halfWidth, before * std::exp(-0.01f));
    EXPECT_VEC_NEAR(views.side.position, Vec3(-14, 0, 0), 1e-6f);

    // Held at top speed the zoom stops at ten thousand units out and a hundredth in, and
    // turns back from either end at once.
    frame({});
    frame({});
    input.translationSpeed = 100;  // one frame scales by e
    for (int i = 0; i < 200; ++i) frame({'d'});
    EXPECT_EQ(views.side.halfWidth, 10000.0f);
    frame({});  // 'd' coming up still widens
    frame({});
    frame({'e'});
    EXPECT_FLOAT_EQ(views.side.halfWidth, 10000.0f * std::exp(-1.0f));
    for (int i = 0; i < 200; ++i) frame({'e'});
    EXPECT_EQ(views.side.halfWidth, 0.01f);
    frame({});
    frame({});
    frame({'d'});
    EXPECT_FLOAT_EQ(views.side.halfWidth, 0.01f * std::exp(1.0f));
}

TEST_F(ControlTest, TurningIsAboutTheCamerasOwnAxes)
{
    Camera& c = views.main;
    input.rotationSpeed = 90;
    frame({'!', 'j'});  // '!' sets 0.3 before j turns by it
    EXPECT_FLOAT_EQ(input.rotationSpeed, 0.3f);
    EXPECT_VEC_NEAR(rotatedX(c.orientation), Vec3(std::cos(0.3f * kPi / 180), std::sin(0.3f * kPi / 180), 0), 1e-6f);
    frame({});
    frame({});
    c.orientation = kIdentityQuat;
    input.rotationSpeed = 45;  // a tap turns twice: in its press and in its release frame
    frame({'j'});
    frame({});  // turned left: forward swings from +x to +y
    EXPECT_VEC_NEAR(rotatedX(c.orientation), Vec3(0, 1, 0), 1e-6f);
    frame({'k'});
    frame({});  // tilted up about the camera's own left axis
    EXPECT_VEC_NEAR(rotatedX(c.orientation), Vec3(0, 0, 1), 1e-5f);
    EXPECT_NEAR(c.orientation.x * c.orientation.x + c.orientation.y * c.orientation.y +
                    c.orientation.z * c.orientation.z + c.orientation.w * c.orientation.w,
                1.0f, 1e-6f);
}

TEST_F(ControlTest, SpaceTogglesBetweenOneAndFourViews)
{
    input.mouseX = 5000;  // nowhere: single view always goes to the quadrants
    frame({' '});
    EXPECT_FALSE(input.singleView);
    EXPECT_EQ(views.list.size(), 4u);
    frame({});
    frame({' '});  // still outside every viewport: nothing changes
    EXPECT_FALSE(input.singleView);
    input.mouseX = 100;
    input.mouseY = 100;  // over the bottom-left quadrant: the top camera
    frame({});
    frame({' '});
    EXPECT_TRUE(input.singleView);
    EXPECT_EQ(views.list.size(), 1u);
    EXPECT_EQ(views.full.camera, &views.top);
}

TEST_F(ControlTest, LeftPressGrabsTheParticleUnderTheCursor)
{
    Particle* far = scene.parSys.allocParticle();
    far->pos = {50, 30, 0};
    Particle* near = scene.parSys.allocParticle();
    near->pos = {50, 0, 0};  // straight ahead of the main camera
    onMouseButton(app, GLUT_LEFT_BUTTON, GLUT_DOWN, 360, 240, 0);
    EXPECT_EQ(activeViewport, &views.full);
    EXPECT_EQ(scene.heldParticle, near);
    EXPECT_NEAR(scene.holdDistance, 50, 1e-3f);

    // Right presses pin and free it; freeing restores inverse mass 1.
    near->invMass = 0.5f;
    near->vel = {1, 2, 3};
    onMouseButton(app, GLUT_RIGHT_BUTTON, GLUT_DOWN, 360, 240, 0);
    EXPECT_EQ(near->invMass, 0);
    EXPECT_VEC_EQ(near->vel, Vec3(0, 0, 0));
    EXPECT_EQ(scene.parSys.handPinned, std::vector<Particle*>{near});  // marked on screen
    onMouseButton(app, GLUT_RIGHT_BUTTON, GLUT_UP, 360, 240, 0);
    onMouseButton(app, GLUT_RIGHT_BUTTON, GLUT_DOWN, 360, 240, 0);
    EXPECT_EQ(near->invMass, 1);
    EXPECT_TRUE(scene.parSys.handPinned.empty());
    onMouseButton(app, GLUT_RIGHT_BUTTON, GLUT_UP, 360, 240, 0);

    onMouseButton(app, GLUT_LEFT_BUTTON, GLUT_UP, 360, 240, 0);
    EXPECT_EQ(scene.heldParticle, nullptr);
    EXPECT_EQ(activeViewport, &views.full);  // not cleared on release
}

TEST_F(ControlTest, TopmostRowPicksNothingAndClearsTheActiveViewport)
{
    Particle* p = scene.parSys.allocParticle();
    p->pos = {50, 0, 0};
    onMouseButton(app, GLUT_LEFT_BUTTON, GLUT_DOWN, 360, 240, 0);
    ASSERT_EQ(activeViewport, &views.full);
    onMouseButton(app, GLUT_LEFT_BUTTON, GLUT_UP, 360, 240, 0);
    onMouseButton(app, GLUT_LEFT_BUTTON, GLUT_DOWN, 360, 0, 0);  // GLUT y = 0 → mouse y = 480
    EXPECT_EQ(input.mouseY, 480);
    EXPECT_EQ(activeViewport, nullptr);
    EXPECT_EQ(scene.heldParticle, nullptr);
}

TEST_F(ControlTest, PlacementModeIsConsumedByTheNextPress)
{
    input.placementMode = 1;
    onMouseButton(app, GLUT_RIGHT_BUTTON, GLUT_DOWN, 360, 0, 0);  // outside every viewport
    EXPECT_EQ(input.placementMode, 0);
    input.placementMode = 2;
    onMouseButton(app, GLUT_MIDDLE_BUTTON, GLUT_DOWN, 360, 240, 0);
    EXPECT_EQ(input.placementMode, 0);
    EXPECT_EQ(scene.heldParticle, nullptr);  // placing never grabs

    // A source click that meets nothing says so in the window, not on the console.
    const unsigned serial = tv::lastProblem().serial;
    StdoutCapture out;
    out.begin();
    input.placementMode = 1;
    onMouseButton(app, GLUT_LEFT_BUTTON, GLUT_DOWN, 360, 240, 0);
    EXPECT_EQ(out.end(), "");
    EXPECT_EQ(input.placementMode, 0);
    EXPECT_TRUE(scene.emitters.empty());
    EXPECT_EQ(tv::lastProblem().serial, serial + 1);
    EXPECT_EQ(tv::lastProblem().text, "no source placed: nothing solid under the cursor");
}

TEST_F(ControlTest, HomePutsTheViewUnderTheCursorBackWhereItStarted)
{
    const Camera top = views.top;
    views.top.position = {5, 6, 7};
    views.top.halfWidth = 300;
    views.main.position = {1, 2, 3};
    views.main.orientation = fromAxisAngle({1, 0, 0}, 40);  // rolled
    scene.startTransform.trans = {10, 20, 0};
    for (bool single : {true, false}) {
        rebuildViewList(views, single);
        Viewport* main = viewportAt(views, 700, 10);  // the lower right shows the main camera
        ASSERT_EQ(main->camera, &views.main);
        homeView(app, *main);
        EXPECT_VEC_EQ(views.main.position, Vec3(-90, 20, 30));  // 100 behind the start, 30 above
        EXPECT_EQ(views.main.orientation, kIdentityQuat);
        EXPECT_EQ(views.main.renderer, &scene);
        views.main.position = {1, 2, 3};
    }
    homeView(app, *viewportAt(views, 10, 10));  // the lower left shows the top view
    EXPECT_VEC_EQ(views.top.position, top.position);
    EXPECT_EQ(views.top.orientation, top.orientation);
    EXPECT_EQ(views.top.halfWidth, top.halfWidth);
    EXPECT_VEC_EQ(views.main.position, Vec3(1, 2, 3));  // only the view under the cursor
}

// At most one frame a period however often the loop asks, no burst to make up for a
// stall, and a still picture drawn only for the few frames after its last change.
TEST(FramePaceTest, SixtyFramesASecondAndRestWhenStill)
{
    using namespace std::chrono;
    FramePace pace;
    const FramePace::Clock::time_point t0{};
    int frames = 0;
    for (int ms = 0; ms < 2000; ++ms) frames += pace.wait(t0 + milliseconds(ms)) == FramePace::Clock::duration::zero();
    EXPECT_GE(frames, 119);
    EXPECT_LE(frames, 121);
    const auto late = t0 + seconds(3);
    EXPECT_EQ(pace.wait(late), FramePace::Clock::duration::zero());
    EXPECT_EQ(pace.wait(late + milliseconds(1)), FramePace::kPeriod - milliseconds(1));

    int drawn = 0;
    for (int i = 0; i < 10; ++i) drawn += pace.draw(true);
    EXPECT_EQ(drawn, FramePace::kSettleFrames);
    pace.changed();
    EXPECT_TRUE(pace.draw(true));
    for (int i = 0; i < 10; ++i) drawn += pace.draw(false);
    EXPECT_EQ(drawn, FramePace::kSettleFrames + 10);
}

TEST_F(ControlTest, RayFollowsTheCursorThroughTheActiveViewport)
{
    onMouseButton(app, GLUT_MIDDLE_BUTTON, GLUT_DOWN, 360, 240, 0);
    input.mouseX = 720;  // leaves the window: the near-plane point extrapolates
    input.mouseY = 240;
    refreshMouseRay(app);
    Vec3 expected = views.full.nearPlanePoint(720, 240) - views.main.position;
    EXPECT_VEC_NEAR(scene.mouseRay.direction, expected, 1e-6f);
    onPassiveMotion(app, 0, 0);
    EXPECT_EQ(hoverViewport, nullptr);
}

TEST_F(ControlTest, DisplayTogglesReportEachChange)
{
    display = DisplaySettings{};
    StdoutCapture out;
    const char* keys = "bmyhg-=twc";
    for (const char* k = keys; *k; ++k) keyTransition[static_cast<unsigned char>(*k)] = KEY_PRESSED;
    out.begin();
    toggleDisplaySwitches(app.keys, display);
    std::string text = out.end();
    EXPECT_EQ(text,
              "lod freeze is on\nlod mapping is on\nwhite seams are on\nrenderFast is on\nveg is on\n"
              "baseRadius is 63\nbaseRadius is 64\ntestCompile is on\nwireframe is on\ntracking mouse is on\n");
    EXPECT_TRUE(display.lodFreeze && display.lodMapping && display.whiteSeams && display.renderFast && display.veg &&
                display.testCompile && display.wireframe && display.trackingMouse);

    // The capital keys flip them back; held keys do not flip.
    std::memset(keyTransition, 0, sizeof keyTransition);
    for (const char* k = "BMYHGTWC"; *k; ++k) keyTransition[static_cast<unsigned char>(*k)] = KEY_PRESSED;
    keyTransition['b'] = KEY_HELD;
    out.begin();
    toggleDisplaySwitches(app.keys, display);
    text = out.end();
    EXPECT_EQ(text,
              "lod freeze is off\nlod mapping is off\nwhite seams are off\nrenderFast is off\nveg is off\n"
              "testCompile is off\nwireframe is off\ntracking mouse is off\n");
}

// Each held frame moves the radius by one and says so, but never out of the range the
// rings draw: at a limit the line repeats the limit.
TEST_F(ControlTest, HeldRadiusKeysStepOncePerUpdateWithinTheDrawnRange)
{
    display = DisplaySettings{};
    StdoutCapture out;
    std::string expected;
    out.begin();
    for (int i = 0; i < 11; ++i) {
        keyTransition['='] = i == 0 ? KEY_PRESSED : i < 10 ? KEY_HELD : KEY_RELEASED;
        toggleDisplaySwitches(app.keys, display);
        expected += "baseRadius is " + std::to_string(65 + i) + "\n";
    }
    keyTransition['='] = KEY_UP;
    toggleDisplaySwitches(app.keys, display);
    EXPECT_EQ(out.end(), expected);
    EXPECT_EQ(display.baseRadius, 75);
    keyTransition['_'] = KEY_HELD;
    out.begin();
    toggleDisplaySwitches(app.keys, display);
    EXPECT_EQ(out.end(), "baseRadius is 74\n");
    keyTransition['_'] = KEY_UP;

    // Held far past each end.
    const struct {
        unsigned char key;
        int limit;
    } ends[] = {{'-', kMinBaseRadius}, {'=', kMaxBaseRadius}};
    for (const auto& end : ends) {
        const int from = display.baseRadius, by = end.limit < from ? -1 : 1, steps = std::abs(end.limit - from);
        keyTransition[end.key] = KEY_HELD;
        expected.clear();
        out.begin();
        for (int i = 1; i <= steps + 20; ++i) {
            toggleDisplaySwitches(app.keys, display);
            const int want = i < steps ? from + by * i : end.limit;
            expected += "baseRadius is " + std::to_string(want) + "\n";
        }
        EXPECT_EQ(out.end(), expected) << end.key;
        EXPECT_EQ(display.baseRadius, end.limit) << end.key;
        keyTransition[end.key] = KEY_UP;
    }
}
