// Drawing the bodies into an offscreen framebuffer: each appears where its particles are,
// textured or lit as it should be, and leaves the GL state as it found it.
#include <GL/gl.h>
#include <GL/glext.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "view/camera.h"
#include "core/glext.h"
#include "assets/dumper.h"
#include "assets/texture.h"
#include "physics/bodies/bodytest.h"
#include "support/glcontext.h"
#include "physics/cloth.h"
#include "physics/springchar.h"
#include "physics/springmodel.h"
#include "physics/springspace.h"
#include "support/testutil.h"

namespace {

// A 2 × 2 unit square centred on the origin, in the plane z = 0, wound towards +z.
constexpr const char* kSquare = "v -1 -1 0\nv 1 -1 0\nv 1 1 0\nv -1 1 0\nvt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n"
                                "f 1/1 2/2 3/3\nf 1/1 3/3 4/4\n";

// Writes a width × height 24-bit picture whose left half is `left` and right half `right`.
bool writePicture(const char* path, int width, int height, Rgb left, Rgb right)
{
    const int stride = Dumper::stride(width);
    std::vector<uint8_t> px(static_cast<size_t>(stride) * height, 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            Rgb c = x < width / 2 ? left : right;
            uint8_t* p = &px[static_cast<size_t>(y) * stride + x * 3];
            p[0] = static_cast<uint8_t>(c.b);
            p[1] = static_cast<uint8_t>(c.g);
            p[2] = static_cast<uint8_t>(c.r);
        }
    return Dumper::writeBmp(path, px.data(), width, height);
}

using BodiesDraw = GlWorldTest;

TEST_F(BodiesDraw, SpringModelIsDrawnWhereItsParticlesStand)
{
    auto mesh = meshFromText(kSquare);
    ASSERT_TRUE(mesh);
    Systems w;
    SpringModel body;
    body.init(&w.par, &w.springs);
    ASSERT_TRUE(body.buildFromModel(mesh.get()));
    body.scale(Vec3(0.5f, 0.5f, 1));
    body.translate(Vec3(2, -2, 0));
    glColor3f(1, 1, 1);
    body.draw();
    grab();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_TRUE(lit(2, -2));
    EXPECT_TRUE(lit(2.4f, -1.6f));
    EXPECT_FALSE(lit(0, 0));
    EXPECT_FALSE(lit(2.7f, -2));
}

TEST_F(BodiesDraw, SpringSpaceDrawsTheMeshInsideItsMovedLattice)
{
    auto mesh = meshFromText(kSquare, false);
    ASSERT_TRUE(mesh);
    Systems w;
    SpringSpace body;
    body.init(&w.par, &w.springs);
    ASSERT_TRUE(body.setModel(mesh.get()));
    // Stretch the lattice's +x side out to x = 3: the square follows.
    for (int i = 1; i < 8; i += 2) body.vertex[i]->pos.x = 3;
    body.translate(Vec3(0, 2, 0));
    body.draw(false);
    grab();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_TRUE(lit(-0.8f, 2));
    EXPECT_TRUE(lit(2.8f, 2.8f));
    EXPECT_FALSE(lit(0, -0.5f));
    EXPECT_FALSE(lit(3.3f, 2));
}

TEST_F(BodiesDraw, ClothStripsCarryTheirTexture)
{
    const std::string dir = scratchDir("cloth");
    const std::string file = dir + "/halves.bmp";
    ASSERT_TRUE(writePicture(file.c_str(), 8, 8, {255, 0, 0}, {0, 0, 255}));
    Systems w;
    Cloth cloth;
    ASSERT_TRUE(cloth.init(5, &w.par, &w.springs, file.c_str()));
    cloth.scale(Vec3(6, 6, 1));  // the sheet spans -3 .. 3
    glEnable(GL_CULL_FACE);      // the sheet is two-sided whatever the caller has on
    glCullFace(GL_FRONT);
    cloth.draw();
    grab();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    Rgb left = pixel(px(-2), px(0)), right = pixel(px(2), px(1));
    EXPECT_GT(left.r, 200);
    EXPECT_LT(left.b, 50);
    EXPECT_GT(right.b, 200);
    EXPECT_LT(right.r, 50);
    EXPECT_FALSE(lit(3.5f, 0));
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));  // the attribute group was popped
    glCullFace(GL_BACK);
    glDisable(GL_CULL_FACE);

    StdoutCapture out;
    out.begin();
    EXPECT_FALSE(cloth.init(3, &w.par, &w.springs, "no/such/cloth.bmp"));
    std::string text = out.end();
    EXPECT_NE(text.find("Cloth.init() failed to load texture filename no/such/cloth.bmp\n"), std::string::npos);
    cloth.release();
    EXPECT_EQ(w.par.liveCount(), 0);
}

TEST_F(BodiesDraw, CharacterIsLitAndRestoresTheState)
{
    // The bone picture is read from the working folder.
    const std::filesystem::path home = std::filesystem::current_path();
    std::filesystem::current_path(scratchDir("bone"));
    ASSERT_TRUE(writePicture("bone.bmp", 8, 8, {255, 255, 255}, {255, 255, 255}));
    Systems w;
    SpringChar figure;
    const bool built = figure.init(&w.par, &w.springs);
    std::filesystem::current_path(home);
    ASSERT_TRUE(built);
    EXPECT_EQ(figure.vertex.size(), 97u);

    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-10, 10, -8, 16, -50, 50);
    glMatrixMode(GL_MODELVIEW);
    // The light sits at the modelview origin: here the eye, in front of the figure.
    figure.translate(Vec3(0, 0, -20));
    Camera camera;
    figure.draw(camera);
    grab();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    auto at = [&](float x, float y) { return pixel(static_cast<int>((x + 10) / 20 * 256), static_cast<int>((y + 8) / 24 * 256)); };
    Rgb chest = at(0, 9.5f), leg = at(1.5f, -3), hand = at(7, 11), gap = at(0, -3), sky = at(-9, 15);
    // Facing the light: well above the ambient floor of 0.2 × 0.2 (about 10).
    EXPECT_GT(chest.r, 100);
    EXPECT_GT(leg.r, 100);
    EXPECT_GT(hand.r, 100);
    EXPECT_EQ(gap.r + gap.g + gap.b, 0);
    EXPECT_EQ(sky.r + sky.g + sky.b, 0);
    // Lit, not flat: the limbs' rounded sides shade differently from their fronts.
    Rgb side = at(7, 11.45f);
    EXPECT_NE(side.r, hand.r);
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_S));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_T));

    // With a reflection map, where cube maps and multitexture are offered, the figure is
    // drawn brighter and every unit and matrix is given back.
    if (!glExt.cubeMap || !glExt.multitexture || !glExt.activeTexture) GTEST_SKIP() << "no cube maps here";
    Texture env;
    ASSERT_TRUE(env.initCubeMap());
    const uint8_t grey[3] = {60, 60, 60};
    for (int face = 0; face < 6; ++face)
        env.uploadCubeFace(GL_TEXTURE_CUBE_MAP_POSITIVE_X_ARB + face, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, grey, 3, 3);
    Texture::disableTargets();
    figure.envMap = &env;
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    figure.draw(camera);
    grab();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    Rgb brighter = at(0, 9.5f);
    EXPECT_GT(brighter.r, chest.r);
    GLint unit = 0, depth = 0;
    glGetIntegerv(GL_ACTIVE_TEXTURE_ARB, &unit);
    EXPECT_EQ(unit, GL_TEXTURE0_ARB);
    glExt.activeTexture(GL_TEXTURE1_ARB);
    glGetIntegerv(GL_TEXTURE_STACK_DEPTH, &depth);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_CUBE_MAP_ARB));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_R));
    glExt.activeTexture(GL_TEXTURE0_ARB);
    EXPECT_EQ(depth, 1);
}

}  // namespace
