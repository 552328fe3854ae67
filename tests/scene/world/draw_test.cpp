// Drawing: the additive glow pass, the sky, the drag line, and a full start from the
// ready-to-run folder when it holds the data files.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "view/frustum.h"
#include "core/glext.h"
#include "view/viewport.h"
#include "scene/parscene.h"
#include "terrain/displaysettings.h"
#include "support/glcontext.h"
#include "support/testutil.h"

namespace {
GLuint solidTexture(GLenum target, unsigned char r, unsigned char g, unsigned char b)
{
    GLuint id = 0;
    glGenTextures(1, &id);
    glBindTexture(target, id);
    const unsigned char rgb[3] = {r, g, b};
    if (target == GL_TEXTURE_CUBE_MAP) {
        for (int f = 0; f < 6; ++f)
            glTexImage2D(GL_TEXTURE_CUBE_MAP_POSITIVE_X + f, 0, GL_RGB, 1, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, rgb);
    } else {
        glTexImage2D(target, 0, GL_RGB, 1, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, rgb);
    }
    glTexParameteri(target, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(target, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    return id;
}
void paint(Texture& t, unsigned char r, unsigned char g, unsigned char b, GLenum target = GL_TEXTURE_2D)
{
    t.release();
    t.id = solidTexture(target, r, g, b);
    t.target = target;
}

class SceneDrawTest : public GlTest {
protected:
    void SetUp() override
    {
        GlTest::SetUp();
        // Every piece of geometry is sent unless a test turns culling on to compare.
        scene.display.viewCulling = false;
        scene.startCamera = &views.main;
        savedCubeMap = glExt.cubeMap;
        scene.parSys.init();
        scene.emittedParticles.init(&scene.parSys);
        // Eye 10 units behind the origin looking along +x.
        camera.init(&scene, false, 0.25f, 0.25f, 1, 0.25f, 1000, {-10, 0, 0}, kIdentityQuat);
        camera.apply(Camera::ALL, 1);
    }
    void TearDown() override { glExt.cubeMap = savedCubeMap; }

    EmittedParticle* sprite(const Vec3& at, float grey, float radius = 1)
    {
        EmittedParticle* n = scene.emittedParticles.allocate();
        n->par = scene.parSys.allocParticle();
        n->par->pos = n->par->prevPos = at;
        n->color[0] = n->color[1] = n->color[2] = grey;
        n->life = n->remainingLife = 1;
        n->radius = radius;
        return n;
    }

    ParScene scene;
    Views views;
    Camera camera;
    bool savedCubeMap = false;
};

bool same(Rgb a, Rgb b) { return a.r == b.r && a.g == b.g && a.b == b.b; }

bool runFolderReady()
{
    const std::string run = TV_RUN_DIR;
    return access((run + "/data/par_lum.bmp").c_str(), R_OK) == 0 && access((run + "/test.scn").c_str(), R_OK) == 0;
}

// Whole frames of the default world at a quarter of the window's size.
class WorldFrameTest : public SceneDrawTest {
protected:
    int width() const override { return 360; }
    int height() const override { return 240; }
    void TearDown() override
    {
        scene.shutdown();
        SceneDrawTest::TearDown();
    }
    std::vector<uint8_t> frame(bool cull)
    {
        scene.display.viewCulling = cull;
        renderViews(views, cull);
        grab();
        return pixels;
    }
};
}  // namespace

TEST_F(SceneDrawTest, GlowSpritesAddUp)
{
    paint(scene.glowTexture, 255, 255, 255);
    sprite({0, 0, 0}, 0.25f);
    scene.drawGlow(camera);
    grab();
    const int one = pixel(128, 128).r;
    EXPECT_NEAR(one, 64, 2);
    EXPECT_EQ(pixel(5, 5).r, 0);

    glClear(GL_COLOR_BUFFER_BIT);
    sprite({0, 0, 0}, 0.25f);
    sprite({0, 0, 0}, 0.25f);
    scene.drawGlow(camera);
    grab();
    EXPECT_NEAR(pixel(128, 128).r, 3 * one, 3);
    // The pass leaves blending off, depth writes and culling on.
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    GLboolean mask = GL_FALSE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &mask);
    EXPECT_TRUE(mask);
}

// Culling leaves out sprites fainter than kGlowFadedOut. One exactly that faint, drawn
// over every level of the 8-bit channels, still changes none: the fainter ones left out
// could not have either.
TEST_F(SceneDrawTest, SpriteAtTheFadedOutLevelChangesNoPixel)
{
    paint(scene.glowTexture, 255, 255, 255);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glBegin(GL_QUADS);
    for (int i = 0; i < 256; ++i) {
        const float x0 = -1 + i / 128.0f, x1 = -1 + (i + 1) / 128.0f;
        glColor3ub(static_cast<GLubyte>(i), static_cast<GLubyte>(255 - i), static_cast<GLubyte>(i));
        glVertex2f(x0, -1);
        glVertex2f(x1, -1);
        glVertex2f(x1, 1);
        glVertex2f(x0, 1);
    }
    glEnd();
    glEnable(GL_DEPTH_TEST);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    grab();
    const std::vector<uint8_t> before = pixels;

    sprite({0, 0, 0}, kGlowFadedOut, 15);  // covers the whole view
    scene.drawGlow(camera);
    grab();
    EXPECT_TRUE(pixels == before);
    EXPECT_TRUE(glowFadedOut(0, 0, kGlowFadedOut * 0.999f));
    EXPECT_FALSE(glowFadedOut(0, kGlowFadedOut, 0));
}

TEST_F(SceneDrawTest, StillSpriteIsASquareAndMovingOneAStreak)
{
    paint(scene.glowTexture, 255, 255, 255);
    EmittedParticle* n = sprite({0, 0, 0}, 1, 1);
    scene.drawGlow(camera);
    grab();
    // Half size 1 at distance 10 with a near half-width of 0.25 at 0.25: 12.8 pixels.
    EXPECT_GT(pixel(128 + 10, 128).r, 200);
    EXPECT_GT(pixel(128, 128 + 10).r, 200);
    EXPECT_EQ(pixel(128 + 20, 128).r, 0);
    EXPECT_EQ(pixel(128, 128 + 20).r, 0);

    glClear(GL_COLOR_BUFFER_BIT);
    n->par->prevPos = {0, 0, -4};
    n->par->pos = {0, 0, 4};
    scene.drawGlow(camera);
    grab();
    EXPECT_GT(pixel(128, 128 + 50).r, 200);  // stretched along its motion
    EXPECT_EQ(pixel(128 + 20, 128).r, 0);    // but not wider
}

TEST_F(SceneDrawTest, SinksAndEmittersShowInTheSameBatch)
{
    paint(scene.glowTexture, 255, 255, 255);
    Sink* s = new Sink;
    s->pos = {0, 2, 0};  // +y is the image's left
    scene.sinks.push_back(s);
    Emitter* e = new Emitter;
    e->particle = scene.parSys.allocParticle();
    e->particle->pos = {0, -2, 0};
    scene.emitters.push_back(e);
    scene.drawGlow(camera);
    grab();
    const Rgb sink = pixel(128 - 26, 128);
    EXPECT_EQ(sink.r, 0);
    EXPECT_GT(sink.g, 200);
    EXPECT_GT(sink.b, 200);
    const Rgb emitter = pixel(128 + 26, 128);
    EXPECT_GT(emitter.r, 200);
    EXPECT_GT(emitter.g, 200);
}

TEST_F(SceneDrawTest, SkyFillsTheViewAndIgnoresThePosition)
{
    for (bool cube : {false, true}) {
        glExt.cubeMap = cube;
        const unsigned char colours[6][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255},
                                             {255, 255, 0}, {0, 255, 255}, {255, 0, 255}};
        for (int f = 0; f < 6; ++f) paint(scene.sky.face[f], colours[f][0], colours[f][1], colours[f][2]);
        paint(scene.sky.cubeMap, 90, 90, 90, GL_TEXTURE_CUBE_MAP);

        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        scene.sky.render(camera);
        grab();
        const std::vector<uint8_t> here = pixels;
        for (int y = 0; y < height(); y += 17)
            for (int x = 0; x < width(); x += 17) {
                const Rgb p = pixel(x, y);
                EXPECT_GT(p.r + p.g + p.b, 0) << cube << " " << x << "," << y;
            }

        camera.position = {5000, -300, 800};
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        scene.sky.render(camera);
        grab();
        EXPECT_EQ(pixels, here) << cube;

        if (!cube) {
            // Turning does move it: looking up shows another face.
            const Rgb ahead = pixel(128, 128);
            camera.orientation = fromAxisAngle(Vec3(0, 1, 0), -90);
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            scene.sky.render(camera);
            grab();
            EXPECT_FALSE(same(pixel(128, 128), ahead));
            camera.orientation = kIdentityQuat;
        }
        camera.position = {-10, 0, 0};
        EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    }
}

TEST_F(SceneDrawTest, HeldParticleGetsACyanLine)
{
    Particle* p = scene.parSys.allocParticle();
    p->pos = {0, 0, -3};
    scene.setMouseRay({{0, 0, 0}, {0, 0, 1}});
    scene.grabParticle(p);
    scene.holdDistance = 3;
    Viewport vp;
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    scene.render(vp, camera);
    grab();
    bool cyan = false;
    for (int x = 126; x <= 130; ++x) {
        const Rgb c = pixel(x, 128);
        cyan |= c.r == 0 && c.g == 255 && c.b == 255;
    }
    EXPECT_TRUE(cyan);
}

// The whole start: sky, pools, glow texture, the three required models, the default
// scene file and the main camera, from the ready-to-run folder.
TEST_F(SceneDrawTest, InitFromTheRunFolderBuildsTheDefaultWorld)
{
    const std::string run = TV_RUN_DIR;
    if (access((run + "/data/par_lum.bmp").c_str(), R_OK) != 0 || access((run + "/test.scn").c_str(), R_OK) != 0)
        GTEST_SKIP() << "run folder without its data files";
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(chdir(run.c_str()), 0);
    StdoutCapture out;
    out.begin();
    const bool ok = scene.init();
    const bool again = scene.init();  // the reset button: the same world again
    const std::string text = out.end();
    ASSERT_EQ(chdir(cwd), 0);
    ASSERT_TRUE(ok) << text;
    ASSERT_TRUE(again) << text;
    EXPECT_GE(scene.emitters.size(), 3u);
    EXPECT_EQ(scene.timeStep, 0);
    EXPECT_NE(scene.yawModel, nullptr);
    EXPECT_NE(scene.glowTexture.id, 0u);
    const Vec3 X = rotatedX(scene.startTransform.rot);
    EXPECT_VEC_NEAR(views.main.position, scene.startTransform.trans - X * 100 + Vec3(0, 0, 30), 1e-4f);
    EXPECT_EQ(views.main.renderer, &scene);

    // A few seconds of play light up the view in front of the start camera.
    scene.timeStep = 1.0f / 60;
    out.begin();
    for (int i = 0; i < 120; ++i) scene.update();
    out.end();
    EXPECT_GT(scene.emittedParticles.liveCount(), 100);
    Viewport vp;
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    views.main.apply(Camera::ALL, 1);
    scene.render(vp, views.main);
    grab();
    int bright = 0;
    for (int y = 0; y < height(); y += 2)
        for (int x = 0; x < width(); x += 2) {
            const Rgb p = pixel(x, y);
            if (p.r > 240 || p.g > 240) ++bright;
        }
    EXPECT_GT(bright, 20);

    // The sky goes in after the opaque scene yet the picture is the one with the sky
    // drawn first: wherever ground or a body covers it, it never shows. Wireframe rings
    // leave sky between their lines.
    for (bool wire : {false, true}) {
        scene.display.wireframe = wire;
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        scene.render(vp, views.main);
        grab();
        const std::vector<uint8_t> skyLast = pixels;
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        scene.sky.render(views.main);
        grab();
        const std::vector<uint8_t> skyOnly = pixels;
        scene.render(vp, views.main);
        grab();
        EXPECT_EQ(pixels, skyLast) << "wireframe " << wire;
        size_t skyShows = 0, covered = 0;
        for (size_t i = 0; i < pixels.size(); i += 4) {
            const bool same = std::memcmp(&pixels[i], &skyOnly[i], 3) == 0;
            skyShows += same;
            covered += !same;
        }
        EXPECT_GT(skyShows, pixels.size() / 40) << "wireframe " << wire;
        EXPECT_GT(covered, pixels.size() / 40) << "wireframe " << wire;
    }
    scene.shutdown();
}

// Leaving out what a view cannot show changes no pixel. The default world plays with a
// blob particle held and fountains started on it until the pools are nearly full; then
// every frame, from cameras in the open, inside the bowl, over a paged tile and looking
// back, in one view and in four (the fixed orthographic ones among them), solid and
// wireframe, must come out byte for byte the same with culling and without.
TEST_F(WorldFrameTest, CullingLeavesEveryFrameAsItWas)
{
    if (!runFolderReady()) GTEST_SKIP() << "run folder without its data files";
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(chdir(TV_RUN_DIR), 0);
    StdoutCapture out;
    out.begin();
    const bool ok = scene.init();
    ASSERT_EQ(chdir(cwd), 0);
    ASSERT_TRUE(ok) << out.end();
    setUpCameras(views, &scene);
    attachCameras(views);
    layoutViewports(views, width(), height());
    ASSERT_FALSE(scene.landscapes.empty());
    ASSERT_FALSE(scene.springSpaces.empty());
    Landscape& ground = *scene.landscapes[0];

    // A fine tile of its own south-west of the middle one.
    const int tiles = ground.tileCount();
    scene.setMouseRay({{-100, -100, 400}, {0, 0, -1}});
    scene.editTerrain(true);
    ASSERT_EQ(ground.tileCount(), tiles + 1);

    Particle* held = scene.springSpaces[0]->vertex[0];  // the blob's cube
    scene.setMouseRay({views.main.position, held->pos - views.main.position});
    scene.grabParticle(held);
    scene.timeStep = 1.0f / 60;
    for (int i = 0; i < 300; ++i) {
        scene.fountainRequested = i % 20 == 0;
        scene.update();
    }
    out.end();
    EXPECT_GT(scene.emittedParticles.liveCount(), 2000);
    struct Shot {
        const char* name;
        Vec3 position;
        Quat orientation;
    };
    const Quat start = views.main.orientation;
    const Shot shots[] = {
        {"start", views.main.position, start},
        {"in the bowl", {58, 38, -5}, fromAxisAngle({0.3f, 1, 0.2f}, -25)},
        {"over the paged tile", {-96, -80, 60}, multiply(fromAxisAngle({0, 0, 1}, -100), fromAxisAngle({0, 1, 0}, 55))},
        {"looking back", {160, 10, 30}, multiply(fromAxisAngle({0, 0, 1}, 170), fromAxisAngle({0, 1, 0}, 10))},
        {"the blob across the right edge", {0, -74, 72}, fromAxisAngle({0, 0, 1}, 50)},
        {"the tower across the top edge", {63, 0, 14}, multiply(fromAxisAngle({0, 0, 1}, 90), fromAxisAngle({0, 1, 0}, 10))},
    };
    // Nor may a frame depend on where the immediate-mode buffer fills up and is cut,
    // which depends on everything sent before it.
    rebuildViewList(views, true);
    scene.display.wireframe = true;
    const std::vector<uint8_t> first = frame(false);
    int changed = 0;
    for (int pad = 1000; pad <= 40000; pad += 1000) {
        glBegin(GL_POINTS);
        for (int k = 0; k < pad; ++k) glVertex3f(0, 0, 1e6f);
        glEnd();
        changed += frame(false) != first;
    }
    EXPECT_EQ(changed, 0);

    for (const Shot& shot : shots) {
        views.main.position = shot.position;
        views.main.orientation = shot.orientation;
        for (bool single : {true, false}) {
            rebuildViewList(views, single);
            for (bool wire : {false, true}) {
                scene.display.wireframe = wire;
                const std::vector<uint8_t> all = frame(false);
                const std::vector<uint8_t> culled = frame(true);
                size_t differ = 0;
                for (size_t i = 0; i < all.size(); ++i) differ += all[i] != culled[i];
                EXPECT_EQ(differ, 0u) << shot.name << (single ? ", one view" : ", four views")
                                      << (wire ? ", wireframe" : ", solid");
            }
        }
    }

    // Four views of a window one pixel short each way leave a row and a column to no
    // view, which keep what was drawn there before.
    layoutViewports(views, width() - 1, height() - 1);
    rebuildViewList(views, false);
    const std::vector<uint8_t> all = frame(false);
    EXPECT_TRUE(frame(true) == all) << "four views with an uncovered row and column";
    layoutViewports(views, width(), height());
}
