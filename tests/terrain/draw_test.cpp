// Rendered views of the landscape: no background showing through cracks at ring, tile or
// level borders, and the same picture with one multitexture pass or two blended passes.
#include <gtest/gtest.h>

#include <GL/glu.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "view/camera.h"
#include "core/glext.h"
#include "assets/dumper.h"
#include "terrain/displaysettings.h"
#include "support/glcontext.h"
#include "support/testutil.h"
#include "terrain/landscape.h"
#include "terrain/landscapetile.h"

namespace {

class LandscapeDraw : public GlTest {
protected:
    int width() const override { return 320; }
    int height() const override { return 240; }

    void SetUp() override
    {
        GlTest::SetUp();
        // Every piece of geometry is sent, as in the other draw tests.
        display.viewCulling = false;
        StdoutCapture quiet;
        quiet.begin();
        land.create(0, 213);
        land.scale = Vec3(1024, 1024, 512);
        // A fine tile beside the centre one and one on its own, so fine-fine and
        // fine-coarse borders are both in view.
        for (auto [c, r] : {std::pair{3, 4}, {5, 5}, {4, 3}}) {
            Ray ray;
            ray.origin = Vec3(-1024 + (c + 0.3f) * 256, -1024 + (r + 0.6f) * 256, 5000);
            ray.direction = Vec3(0, 0, -1);
            land.pageTileAtRay(ray, true);
        }
        land.buildTileTextures();
        quiet.end();
        // Our own detail texture: soft grey speckle.
        std::vector<unsigned char> detail(64 * 64 * 3);
        unsigned s = 1;
        for (auto& b : detail) {
            s = s * 1103515245u + 12345u;
            b = static_cast<unsigned char>(170 + (s >> 16) % 70);
        }
        land.groundTexture.build2DMipmaps(64, 64, GL_RGB, GL_UNSIGNED_BYTE, detail.data(), 3, 64 * 3);
    }
    // Draws from eye towards target over a magenta background and reads the frame, in
    // the state the scene draws landscapes with: back faces culled.
    void view(const Vec3& eye, const Vec3& target)
    {
        glEnable(GL_DEPTH_TEST);
        glEnable(GL_CULL_FACE);
        glClearColor(1, 0, 1, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPerspective(60, static_cast<double>(width()) / height(), 1, 6000);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        gluLookAt(eye.x, eye.y, eye.z, target.x, target.y, target.z, 0, 0, 1);
        Camera camera;
        camera.position = eye;
        land.render(camera, display);
        glFinish();
        grab();
    }
    // Background pixels with ground both above and below them in their column: cracks,
    // as opposed to sky over the horizon or the space beside the square.
    int holes()
    {
        int n = 0;
        for (int x = 0; x < width(); ++x) {
            int lo = -1, hi = -1;
            for (int y = 0; y < height(); ++y)
                if (!isBackground(x, y)) {
                    if (lo < 0) lo = y;
                    hi = y;
                }
            for (int y = lo + 1; lo >= 0 && y < hi; ++y) n += isBackground(x, y);
        }
        return n;
    }
    bool isBackground(int x, int y)
    {
        Rgb p = pixel(x, y);
        return p.r == 255 && p.g == 0 && p.b == 255;
    }
    void save(const std::string& name)
    {
        const int stride = Dumper::stride(width());
        std::vector<uint8_t> bmp(static_cast<size_t>(stride) * height());
        for (int y = 0; y < height(); ++y)
            for (int x = 0; x < width(); ++x) {
                Rgb p = pixel(x, y);
                uint8_t* o = &bmp[static_cast<size_t>(y) * stride + x * 3];
                o[0] = static_cast<uint8_t>(p.b);
                o[1] = static_cast<uint8_t>(p.g);
                o[2] = static_cast<uint8_t>(p.r);
            }
        Dumper::writeBmp((scratchDir("terrain_draw") + "/../" + name).c_str(), bmp.data(), width(), height());
    }

    Landscape land;
    DisplaySettings display;
};

}  // namespace

// Looking down across the fine tiles and into the coarse ground around them, at the
// default radius and at small radii where many rings and seams are in view.
TEST_F(LandscapeDraw, NoBackgroundShowsThroughTheGround)
{
    struct Shot {
        Vec3 eye, target;
        int radius;
        const char* name;
    } shots[] = {
        {{-100, -420, 700}, {60, 60, 0}, 64, "terrain_default.bmp"},
        {{-100, -420, 700}, {60, 60, 0}, 4, "terrain_radius4.bmp"},
        {{300, 300, 420}, {-200, -150, 0}, 8, "terrain_borders.bmp"},
        {{0, 0, 2600}, {1, 1, 0}, 16, "terrain_top.bmp"},
    };
    for (const Shot& s : shots) {
        display.baseRadius = s.radius;
        view(s.eye, s.target);
        save(s.name);
        EXPECT_EQ(holes(), 0) << s.name;
    }
    // Low across each side of the lone tile (5, 5), from the coarse ground and from the
    // tile: the upright strips closing a side face whichever of the two is lower.
    const LandscapeTile* lone = land.tileAt(0, 5, 5);
    const LandscapeTile* coarse = land.tileAt(1, 0, 0);
    ASSERT_TRUE(lone && coarse);
    display.baseRadius = 64;
    for (int side = 0; side < 4; ++side) {
        const bool alongY = side < 2, far = side % 2;
        const int sx = alongY ? (far ? 128 : 0) : 96, sy = alongY ? 96 : (far ? 128 : 0);
        const Vec3 target(256 + sx * 2.0f, 256 + sy * 2.0f, lone->height(sx, sy) * land.scale.z);
        const float out = far ? 160.0f : -160.0f;
        for (float away : {out, -out}) {
            Vec3 eye = target + (alongY ? Vec3(away, 0, 0) : Vec3(0, away, 0));
            const float below = coarse->height(static_cast<int>((eye.x + 1024) / 16),
                                               static_cast<int>((eye.y + 1024) / 16)) * land.scale.z;
            eye.z = std::max(target.z, below) + 60;
            view(eye, target);
            const std::string name = "terrain_side" + std::to_string(side) + (away == out ? "_out" : "_in") + ".bmp";
            save(name);
            EXPECT_EQ(holes(), 0) << name;
        }
    }

    display.whiteSeams = true;
    display.baseRadius = 4;
    view(shots[1].eye, shots[1].target);
    save("terrain_white_seams.bmp");
    EXPECT_EQ(holes(), 0);
}

TEST_F(LandscapeDraw, OneMultitexturePassLooksLikeTwoBlendedPasses)
{
    ASSERT_TRUE(glExt.multitexture);
    view({-100, -420, 700}, {60, 60, 0});
    std::vector<uint8_t> multi = pixels;
    glExt.multitexture = false;
    view({-100, -420, 700}, {60, 60, 0});
    glExt.multitexture = true;
    int off = 0;
    for (size_t i = 0; i < multi.size(); ++i) off += std::abs(multi[i] - pixels[i]) > 3;
    EXPECT_LT(off, static_cast<int>(multi.size() / 200));
    // And the ground is textured: not flat white.
    Rgb c = pixel(width() / 2, height() / 3);
    EXPECT_FALSE(c.r == 255 && c.g == 255 && c.b == 255);
}

TEST_F(LandscapeDraw, FrozenRingsIgnoreTheMovingCamera)
{
    display.baseRadius = 4;
    view({-100, -420, 700}, {60, 60, 0});
    display.lodFreeze = true;
    view({500, 500, 700}, {60, 60, 0});
    EXPECT_VEC_EQ(land.frozenViewer, Vec3(-100, -420, 700));
    display.lodFreeze = false;
    view({500, 500, 700}, {60, 60, 0});
    EXPECT_VEC_EQ(land.frozenViewer, Vec3(500, 500, 700));
}
