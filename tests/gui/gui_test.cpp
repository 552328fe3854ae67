// The button bar: hit edges, dispatch order, press-only actions and what it draws.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "core/input.h"
#include "gui/gui.h"
#include "gui/hud.h"
#include "scene/parscene.h"
#include "support/glcontext.h"
#include "support/testutil.h"
#include "view/viewport.h"

namespace {
constexpr int LEFT = 1, RIGHT = 4;

class GuiTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        StdoutCapture out;
        out.begin();
        ASSERT_TRUE(panel.init(&scene, &input));
        loadMessages = out.end();
    }
    // A left press at (x, y) from no buttons held.
    bool press(int x, int y, int buttons = LEFT, int old = 0) { return panel.handleMouse(buttons, old, x, y); }

    ParScene scene;
    InputState input;
    GuiPanel panel;
    std::string loadMessages;
};
}  // namespace

TEST_F(GuiTest, FourButtonsInOrderAndMissingPicturesReported)
{
    ASSERT_EQ(panel.buttons.size(), 4u);
    EXPECT_NE(dynamic_cast<IntegratorButton*>(panel.buttons[0]), nullptr);
    EXPECT_NE(dynamic_cast<SourceButton*>(panel.buttons[1]), nullptr);
    EXPECT_NE(dynamic_cast<ResetButton*>(panel.buttons[2]), nullptr);
    EXPECT_NE(dynamic_cast<PlayPauseButton*>(panel.buttons[3]), nullptr);
    // Run from the test folder, there are no pictures: each is reported (after the
    // picture reader's own line), nothing fails.
    std::string ours;
    for (size_t p = loadMessages.find("GlGuiButton::"); p != std::string::npos; p = loadMessages.find("GlGuiButton::", p + 1))
        ours += loadMessages.substr(p, loadMessages.find('\n', p) - p + 1);
    EXPECT_EQ(ours,
              "GlGuiButton::GlGuiButton: failed to load file data/int_euler.bmp\n"
              "GlGuiButton::GlGuiButton: failed to load file data/int_rk4.bmp\n"
              "GlGuiButton::GlGuiButton: failed to load file data/source.bmp\n"
              "GlGuiButton::GlGuiButton: failed to load file data/reset.bmp\n"
              "GlGuiButton::GlGuiButton: failed to load file data/pause.bmp\n"
              "GlGuiButton::GlGuiButton: failed to load file data/play.bmp\n");
    GuiPanel none;
    EXPECT_FALSE(none.init(nullptr, nullptr));
}

TEST_F(GuiTest, EdgesAreInclusive)
{
    EXPECT_TRUE(press(64, 48));  // right edge of the source button
    EXPECT_EQ(input.placementMode, 1);
    input.placementMode = 0;
    EXPECT_FALSE(press(65, 48));
    EXPECT_TRUE(press(0, 32));
    EXPECT_FALSE(press(-1, 40));
    EXPECT_TRUE(press(160, 96));  // top-right corner of play/pause
    EXPECT_FALSE(press(161, 96));
    EXPECT_FALSE(press(100, 80));  // the gap between reset and play/pause
    EXPECT_FALSE(press(10, 129));
}

TEST_F(GuiTest, SharedEdgeGoesToTheButtonCreatedLater)
{
    // y = 64 is both the source button's top and the reset button's bottom.
    scene.timeStep = 1.0f / 60;
    StdoutCapture out;
    out.begin();
    EXPECT_TRUE(press(32, 64));
    out.end();
    EXPECT_EQ(input.placementMode, 0);  // not the source button
    EXPECT_EQ(scene.timeStep, 0);       // the reset ran the scene's init
}

TEST_F(GuiTest, OnlyAFreshLeftPressActsButEveryEventOverAButtonIsTaken)
{
    EXPECT_TRUE(press(32, 48, RIGHT));
    EXPECT_EQ(input.placementMode, 0);
    EXPECT_TRUE(press(32, 48, LEFT, LEFT));  // second press event without a release
    EXPECT_EQ(input.placementMode, 0);
    EXPECT_TRUE(press(32, 48, 0, LEFT));  // release
    EXPECT_EQ(input.placementMode, 0);
    EXPECT_TRUE(press(32, 48, LEFT | RIGHT, RIGHT));
    EXPECT_EQ(input.placementMode, 1);
}

TEST_F(GuiTest, PlayPauseAndIntegratorToggle)
{
    ASSERT_EQ(scene.timeStep, 0);
    press(140, 80);
    EXPECT_EQ(scene.timeStep, 0.016666668f);
    press(140, 80);
    EXPECT_EQ(scene.timeStep, 0);
    scene.timeStep = 0.5f;
    press(140, 80);
    EXPECT_EQ(scene.timeStep, 0);

    ASSERT_TRUE(scene.useRk4);
    press(10, 100);
    EXPECT_FALSE(scene.useRk4);
    press(10, 100);
    EXPECT_TRUE(scene.useRk4);
}

namespace {
GLuint solidTexture(unsigned char r, unsigned char g, unsigned char b)
{
    GLuint id = 0;
    glGenTextures(1, &id);
    glBindTexture(GL_TEXTURE_2D, id);
    const unsigned char rgb[3] = {r, g, b};
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 1, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, rgb);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    return id;
}
void paint(Texture& t, unsigned char r, unsigned char g, unsigned char b)
{
    t.release();
    t.id = solidTexture(r, g, b);
    t.target = GL_TEXTURE_2D;
}

class GuiDrawTest : public GlTest {
protected:
    void SetUp() override
    {
        GlTest::SetUp();
        StdoutCapture out;
        out.begin();
        ASSERT_TRUE(panel.init(&scene, &input));
        out.end();
        auto* integrator = static_cast<IntegratorButton*>(panel.buttons[0]);
        paint(integrator->image, 255, 0, 0);
        paint(integrator->second, 0, 255, 0);
        paint(panel.buttons[1]->image, 0, 0, 255);
        paint(panel.buttons[2]->image, 255, 255, 0);
        auto* play = static_cast<PlayPauseButton*>(panel.buttons[3]);
        paint(play->image, 255, 0, 255);
        paint(play->second, 0, 255, 255);
    }
    void TearDown() override { panel.destroy(); }

    ParScene scene;
    InputState input;
    GuiPanel panel;
};

bool same(Rgb a, Rgb b) { return a.r == b.r && a.g == b.g && a.b == b.b; }
}  // namespace

TEST_F(GuiDrawTest, BarShowsItsPicturesLowerLeft)
{
    panel.draw(width(), height());
    grab();
    EXPECT_TRUE(same(pixel(32, 112), {0, 255, 0}));  // RK4 in use: second picture
    EXPECT_TRUE(same(pixel(32, 48), {0, 0, 255}));
    EXPECT_TRUE(same(pixel(32, 80), {255, 255, 0}));
    EXPECT_TRUE(same(pixel(144, 80), {0, 255, 255}));  // paused: the play picture
    EXPECT_TRUE(same(pixel(100, 80), {0, 0, 0}));
    EXPECT_TRUE(same(pixel(200, 200), {0, 0, 0}));
    EXPECT_TRUE(same(pixel(32, 16), {0, 0, 0}));

    scene.useRk4 = false;
    scene.timeStep = 1.0f / 60;
    glClear(GL_COLOR_BUFFER_BIT);
    panel.draw(width(), height());
    grab();
    EXPECT_TRUE(same(pixel(32, 112), {255, 0, 0}));
    EXPECT_TRUE(same(pixel(144, 80), {255, 0, 255}));

    // SOURCE is lit while it waits for its click, and only then.
    for (int mode : {1, 0}) {
        input.placementMode = mode;
        glClear(GL_COLOR_BUFFER_BIT);
        panel.draw(width(), height());
        grab();
        const Rgb inside = pixel(32, 48);
        EXPECT_EQ(inside.r > 80 && inside.g > 60 && inside.b == 255, mode == 1) << mode;
        EXPECT_EQ(same(pixel(32, 48), {0, 0, 255}), mode == 0) << mode;
        EXPECT_TRUE(same(pixel(32, 80), {255, 255, 0}));
    }
}

// The marks sit where the camera itself draws the held and the pinned particle, in a
// perspective view turned off the axes and an orthographic one looking down, and
// nowhere else; nothing is drawn once nothing is held or pinned.
TEST_F(GuiDrawTest, MarksSitWhereTheHeldAndPinnedParticlesShow)
{
    // Each particle drawn by the camera as one pixel of its own colour.
    struct Dots : ViewRenderer {
        std::vector<std::pair<const Particle*, Rgb>> dots;
        void render(Viewport&, Camera&) override
        {
            glDisable(GL_TEXTURE_2D);
            glDisable(GL_LIGHTING);
            glBegin(GL_POINTS);
            for (const auto& [p, c] : dots) {
                glColor3ub(static_cast<GLubyte>(c.r), static_cast<GLubyte>(c.g), static_cast<GLubyte>(c.b));
                glVertex3f(p->pos.x, p->pos.y, p->pos.z);
            }
            glEnd();
        }
    } dots;
    Camera eye, top;
    eye.init(&dots, false, 0.25f, 0.25f, 1, 0.25f, 20000, {0, 0, 0},
             multiply(fromAxisAngle({0, 0, 1}, 10), fromAxisAngle({0, 1, 0}, -5)));
    top.init(&dots, true, 60, 60, 1, 0.25f, 20000, {100, 0, 200},
             multiply(fromAxisAngle({0, 1, 0}, 90), fromAxisAngle({1, 0, 0}, -90)));
    Viewport left, right;
    left.set(0, 0, 128, 256);
    right.set(128, 0, 128, 256);
    left.camera = &eye;
    right.camera = &top;
    const std::vector<Viewport*> views{&left, &right};

    Particle* held = scene.parSys.allocParticle();
    Particle* pinned = scene.parSys.allocParticle();
    Particle* other = scene.parSys.allocParticle();
    held->pos = {100, 40, 10};
    pinned->pos = {100, -40, -30};
    other->pos = {80, 0, 40};
    held->invMass = pinned->invMass = other->invMass = 1;
    scene.parSys.pinByHand(pinned, true);
    const Rgb red{255, 0, 0}, green{0, 255, 0}, blue{0, 0, 255};
    dots.dots = {{held, red}, {pinned, green}, {other, blue}};

    glClear(GL_COLOR_BUFFER_BIT);
    for (Viewport* v : views) v->render();
    grab();
    struct Found {
        int x = -1, y = -1;
    } at[2][3];
    for (int y = 0; y < height(); ++y)
        for (int x = 0; x < width(); ++x)
            for (int i = 0; i < 3; ++i)
                if (same(pixel(x, y), dots.dots[static_cast<size_t>(i)].second)) at[x >= 128][i] = {x, y};

    const Rgb yellow{255, 255, 0}, magenta{255, 0, 255};
    glClear(GL_COLOR_BUFFER_BIT);
    drawParticleMarks(particleMarks(views, held, scene.parSys.handPinned), width(), height());
    grab();
    auto count = [&](Rgb colour, int cx, int cy) {
        int n = 0;
        for (int y = std::max(0, cy - 14); y <= std::min(height() - 1, cy + 14); ++y)
            for (int x = std::max(0, cx - 14); x <= std::min(width() - 1, cx + 14); ++x) n += same(pixel(x, y), colour);
        return n;
    };
    int yellowNear = 0, magentaNear = 0;
    for (int view = 0; view < 2; ++view)
        for (int i = 0; i < 3; ++i) {
            const Found f = at[view][i];
            ASSERT_GE(f.x, 0) << "particle " << i << " not drawn in view " << view;
            const int y = count(yellow, f.x, f.y), m = count(magenta, f.x, f.y);
            EXPECT_EQ(y > 20, i == 0) << "held ring, particle " << i << ", view " << view;
            EXPECT_EQ(m > 20, i == 1) << "pin square, particle " << i << ", view " << view;
            yellowNear += y;
            magentaNear += m;
        }
    int yellowAll = 0, magentaAll = 0;
    for (int y = 0; y < height(); ++y)
        for (int x = 0; x < width(); ++x) {
            yellowAll += same(pixel(x, y), yellow);
            magentaAll += same(pixel(x, y), magenta);
        }
    EXPECT_EQ(yellowAll, yellowNear) << "a ring away from the held particle";
    EXPECT_EQ(magentaAll, magentaNear) << "a square away from the pinned particle";

    // Freed by the hand, or its record given back, a pin is no longer marked.
    scene.parSys.pinByHand(pinned, false);
    EXPECT_EQ(pinned->invMass, 1);
    EXPECT_TRUE(particleMarks(views, nullptr, scene.parSys.handPinned).empty());
    scene.parSys.pinByHand(other, true);
    scene.parSys.freeParticle(other);
    EXPECT_TRUE(scene.parSys.handPinned.empty());
    glClear(GL_COLOR_BUFFER_BIT);
    drawParticleMarks(particleMarks(views, nullptr, scene.parSys.handPinned), width(), height());
    grab();
    for (size_t i = 0; i < pixels.size(); i += 4) ASSERT_EQ(pixels[i] | pixels[i + 1] | pixels[i + 2], 0) << i / 4;
}
