// Landscape building: the tiles create makes, agreement between levels, baked colours and
// shading, several landscapes side by side, and paging fine tiles at a clicked point.
#include <gtest/gtest.h>

#include <cmath>

#include "core/random.h"
#include "support/glcontext.h"
#include "support/testutil.h"
#include "terrain/landscape.h"
#include "terrain/landscapetile.h"

namespace {

const Vec3 kSceneScale(1024, 1024, 512);

struct Rgb8 {
    int r, g, b;
};

Rgb8 texel(const std::vector<unsigned char>& px, int u, int v)
{
    const unsigned char* p = &px[(v * 128 + u) * 3];
    return {p[0], p[1], p[2]};
}

std::vector<unsigned char> bakeFlat(LandscapeTile& tile, float h, const Vec3& scale = kSceneScale)
{
    for (float& v : tile.heights) v = h;
    std::vector<unsigned char> px(128 * 128 * 3);
    tile.bakePixels(scale, 0, px.data());
    return px;
}

}  // namespace

TEST(Landscape, CreateMakesTheCentreTilesAndAnnouncesThem)
{
    Landscape land;
    StdoutCapture out;
    out.begin();
    EXPECT_TRUE(land.create(7, 213));
    EXPECT_EQ(out.end(), "generating l[0] i[4,4] of [8,8]\ngenerating l[1] i[0,0] of [1,1]\n");
    EXPECT_EQ(land.tileCount(), 2);
    ASSERT_NE(land.tileAt(0, 4, 4), nullptr);
    ASSERT_NE(land.tileAt(1, 0, 0), nullptr);
    EXPECT_EQ(land.tileAt(0, 4, 4)->textureScale, 10);
    EXPECT_EQ(land.tileAt(1, 0, 0)->textureScale, 80);

    // Noise in about (-2, 2), lifted by 0.5.
    for (int l = 0; l < 2; ++l) {
        const LandscapeTile* t = l ? land.tileAt(1, 0, 0) : land.tileAt(0, 4, 4);
        for (float h : t->heights) {
            ASSERT_GT(h, -1.5f);
            ASSERT_LT(h, 2.5f);
        }
    }
}

// Coincident samples of the two levels hold the same value, bit for bit: that is what
// lets tiles be generated in any order without seams.
TEST(Landscape, FineTilesAgreeWithTheCoarseTileWhereSamplesCoincide)
{
    Landscape land;
    StdoutCapture quiet;
    quiet.begin();
    land.create(0, 213);
    quiet.end();
    const LandscapeTile& coarse = *land.tileAt(1, 0, 0);
    EXPECT_EQ(land.tileAt(0, 4, 4)->height(0, 0), coarse.height(64, 64));

    for (auto [c, r] : {std::pair{0, 0}, {2, 6}, {7, 7}, {4, 4}}) {
        LandscapeTile fine;
        fine.generate(c, r, 0, 213);
        for (int j = 0; j <= 16; ++j)
            for (int k = 0; k <= 16; ++k)
                ASSERT_EQ(fine.height(8 * k, 8 * j), coarse.height(16 * c + k, 16 * r + j)) << c << "," << r;
    }
    // Neighbours share their edge.
    LandscapeTile a, b;
    a.generate(2, 3, 0, 213);
    b.generate(3, 3, 0, 213);
    for (int y = 0; y < 129; ++y) ASSERT_EQ(a.height(128, y), b.height(0, y));
}

TEST(Landscape, SecondCreateStartsFromTheDefaults)
{
    Landscape land;
    StdoutCapture quiet;
    quiet.begin();
    land.create(0, 5);
    land.position = Vec3(1, 2, 3);
    land.scale = kSceneScale;
    land.friction = 0.1f;
    land.restitution = 0.9f;
    land.texDetailX = land.texDetailY = 10;
    land.create(0, 99);
    quiet.end();
    EXPECT_EQ(land.position, Vec3(0, 0, 0));
    EXPECT_EQ(land.scale, Vec3(1, 1, 1));
    EXPECT_EQ(land.friction, 0.75f);
    EXPECT_EQ(land.restitution, 0.5f);
    EXPECT_EQ(land.texDetailX, 100);
    EXPECT_EQ(land.seed, 99);
    EXPECT_EQ(land.tileCount(), 2);

    land.releaseTiles();
    land.releaseTiles();
    EXPECT_EQ(land.tileCount(), 0);
}

// Each landscape keeps its own tiles: two of them (as two blocks of one scene file
// make) never share or double-free one.
TEST(Landscape, TwoLandscapesHoldTheirOwnTiles)
{
    StdoutCapture quiet;
    quiet.begin();
    auto* a = new Landscape;
    Landscape b;
    a->create(0, 1);
    b.create(0, 2);
    quiet.end();
    EXPECT_NE(a->tileAt(1, 0, 0), b.tileAt(1, 0, 0));
    EXPECT_NE(a->tileAt(1, 0, 0)->height(3, 3), b.tileAt(1, 0, 0)->height(3, 3));
    delete a;
    EXPECT_EQ(b.tileCount(), 2);
    EXPECT_NE(b.tileAt(0, 4, 4), nullptr);
}

TEST(BakedTexture, FlatGroundTakesItsBandShadedByTheLight)
{
    LandscapeTile tile;
    const double lit = 3 / std::sqrt(11.0);  // flat normal against (1, -1, 3)
    // Below 0 (even with jitter) clamps to band 0, above 1 to band 7.
    Rgb8 low = texel(bakeFlat(tile, -1), 60, 60);
    EXPECT_NEAR(low.r, 0.4 * lit * 255, 1);
    EXPECT_NEAR(low.g, 1.0 * lit * 255, 1);
    EXPECT_NEAR(low.b, 0.1 * lit * 255, 1);
    Rgb8 high = texel(bakeFlat(tile, 3), 60, 60);
    EXPECT_NEAR(high.r, lit * 255, 1);
    EXPECT_EQ(high.r, high.g);
    EXPECT_EQ(high.g, high.b);

    // Between bands the colour blends; the jitter is the last draw of the stream for the
    // far corner texel, which only sample (128, 128) writes.
    tv::setRandState(777);
    int last = 0;
    for (int i = 0; i < 129 * 129; ++i) last = tv::rand();
    tv::setRandState(777);
    Rgb8 mid = texel(bakeFlat(tile, 0.5f), 127, 127);
    double h = 0.5 + last / 32767.0 * 0.1 - 0.05;
    double f = h * 7, t = f - static_cast<int>(f);
    ASSERT_EQ(static_cast<int>(f), 3);
    EXPECT_NEAR(mid.r, (0.3 * (1 - t) + 0.4 * t) * lit * 255, 1);
    EXPECT_NEAR(mid.g, (0.5 * (1 - t) + 1.0 * t) * lit * 255, 1);
    EXPECT_NEAR(mid.b, (0.2 * (1 - t) + 0.3 * t) * lit * 255, 1);
}

TEST(BakedTexture, SlopesAreShadedByLambertWithAnAmbientFloor)
{
    // Heights above 1.05 stay white whatever the jitter, so only the shading shows.
    LandscapeTile tile;
    auto ramp = [&](float slope) {
        for (int r = 0; r < 129; ++r)
            for (int c = 0; c < 129; ++c) tile.heights[r * 129 + c] = 2 + slope * c;
        std::vector<unsigned char> px(128 * 128 * 3);
        tile.bakePixels(kSceneScale, 0, px.data());
        return texel(px, 64, 64).r;  // written by sample (65, 65), an inner one
    };
    // Level 0: one sample is 1024 / 128 / 8 = 1 unit wide; rise per sample slope * 512.
    for (float slope : {0.001f, -0.004f, 0.0f}) {
        double nx = -slope * 512.0, nz = 1;
        double d = (nx * 1 + nz * 3) / (std::sqrt(nx * nx + nz * nz) * std::sqrt(11.0));
        EXPECT_NEAR(ramp(slope), d * 255, 1) << slope;
    }
    // Facing away from the light: the floor of 0.2.
    EXPECT_NEAR(ramp(0.1f), 0.2 * 255, 1);
}

TEST(BakedTexture, JitterFollowsTheRandomStream)
{
    LandscapeTile tile;
    tile.generate(4, 4, 0, 213);
    std::vector<unsigned char> a(128 * 128 * 3), b(128 * 128 * 3), c(128 * 128 * 3);
    tv::setRandState(31);
    tile.bakePixels(kSceneScale, 0, a.data());
    tile.bakePixels(kSceneScale, 0, b.data());
    EXPECT_NE(a, b);
    tv::setRandState(31);
    tile.bakePixels(kSceneScale, 0, c.data());
    EXPECT_EQ(a, c);
}

// Paging bakes textures, so it runs with a GL context.
class Paging : public GlTest {
protected:
    void SetUp() override
    {
        GlTest::SetUp();
        StdoutCapture quiet;
        quiet.begin();
        land.create(0, 213);
        quiet.end();
        land.scale = kSceneScale;
    }
    // A vertical ray into level-0 tile (c, r), off the coarse grid lines and diagonals.
    Ray downOnto(float c, float r)
    {
        Ray ray;
        ray.origin = Vec3(-1024 + (c + 0.3f) / 8 * 2048, -1024 + (r + 0.6f) / 8 * 2048, 5000);
        ray.direction = Vec3(0, 0, -1);
        return ray;
    }
    std::string page(const Ray& ray, bool load)
    {
        StdoutCapture out;
        out.begin();
        land.pageTileAtRay(ray, load);
        return out.end();
    }
    Landscape land;
};

TEST_F(Paging, LoadAndEvictAreIdempotent)
{
    // Straight down onto sloped ground, far from the tile centre lines.
    EXPECT_EQ(page(downOnto(0.1f, 6.2f), true), "level 0 tile 0 6\n");
    page(downOnto(0.1f, 6.2f), false);

    EXPECT_EQ(page(downOnto(2, 3), true), "level 0 tile 2 3\n");
    EXPECT_EQ(land.tileCount(), 3);
    LandscapeTile* t = land.tileAt(0, 2, 3);
    ASSERT_NE(t, nullptr);
    LandscapeTile expect;
    expect.generate(2, 3, 0, 213);
    EXPECT_EQ(0, memcmp(t->heights, expect.heights, sizeof expect.heights));

    EXPECT_EQ(page(downOnto(2, 3), true), "level 0 tile 2 3\n");
    EXPECT_EQ(land.tileAt(0, 2, 3), t);
    EXPECT_EQ(land.tileCount(), 3);

    EXPECT_EQ(page(downOnto(2, 3), false), "level 0 tile 2 3\n");
    EXPECT_EQ(land.tileAt(0, 2, 3), nullptr);
    EXPECT_EQ(page(downOnto(2, 3), false), "level 0 tile 2 3\n");
    EXPECT_EQ(land.tileCount(), 2);

    // The centre tile can go too; the coarse tile is never paged.
    page(downOnto(4, 4), false);
    EXPECT_EQ(land.tileCount(), 1);
    EXPECT_NE(land.tileAt(1, 0, 0), nullptr);
}

TEST_F(Paging, MissesAndClicksOffTheGridChangeNothing)
{
    Ray up = downOnto(1, 1);
    up.direction = Vec3(0, 0, 1);
    EXPECT_EQ(page(up, true), "got not landscape intersection!\n");
    Ray beside = downOnto(1, 1);
    beside.origin.x = 3000;
    EXPECT_EQ(page(beside, true), "got not landscape intersection!\n");

    for (float& h : land.tileAt(1, 0, 0)->heights) h = 0;
    Ray graze;
    graze.origin = Vec3(1100, 10, 1);
    // Grazing onto flat ground well inside the far column: that tile is paged.
    graze.direction = Vec3(-1, 0, -0.01f);
    EXPECT_EQ(page(graze, true), "level 0 tile 7 4\n");
    EXPECT_EQ(land.tileCount(), 3);
    EXPECT_EQ(land.tileCount(), 3);
}
