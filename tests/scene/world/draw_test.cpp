// Drawing: the additive glow pass, the sky, the drag line, and a full start from the
// ready-to-run folder when it holds the data files.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "app/glext.h"
#include "app/input.h"
#include "app/viewport.h"
#include "scene/parscene.h"
#include "scene/settings.h"
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
    Camera camera;
    bool savedCubeMap = false;
};

bool same(Rgb a, Rgb b) { return a.r == b.r && a.g == b.g && a.b == b.b; }
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
    EXPECT_NE(yawModel, nullptr);
    EXPECT_NE(scene.glowTexture.id, 0u);
    const Vec3 X = rotatedX(scene.startTransform.rot);
    EXPECT_VEC_NEAR(views.main.position, scene.startTransform.trans - X * 100 + Vec3(0, 0, 30), 1e-4f);
    EXPECT_EQ(views.main.renderer, &scene);

    // A few seconds of play light up the view in front of the start camera.
    scene.timeStep = 1.0f / 60;
    std::memset(keyTransition, 0, sizeof keyTransition);
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
        wireframe = wire;
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
    wireframe = false;
    scene.shutdown();
}
