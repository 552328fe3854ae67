// The ground sweep against a brute-force sweep over every terrain triangle, and its
// special cases: box rejection, one-sidedness, contact at the start, mouse tracking.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "terrain/displaysettings.h"
#include "support/testutil.h"
#include "terrain/landscape.h"
#include "terrain/landscapetile.h"

namespace {

class GroundSweep : public ::testing::Test {
protected:
    void SetUp() override
    {
        StdoutCapture quiet;
        quiet.begin();
        land.create(0, 213);
        quiet.end();
        land.scale = Vec3(1024, 1024, 512);
        land.position = Vec3(30, -20, 5);
        land.restitution = 0.3f;
        land.friction = 0.6f;
    }
    void flatten(float h)
    {
        for (float& v : land.tileAt(1, 0, 0)->heights) v = h;
    }

    // Contacts with all 2 × 128 × 128 triangles, each against the whole segment.
    std::vector<std::pair<float, Vec3>> bruteForce(const Vec3& from, const Vec3& to, float radius)
    {
        const LandscapeTile& t = *land.tileAt(1, 0, 0);
        const Vec3 p = land.position, s = land.scale;
        const float dx = s.x * 2 / 128, dy = s.y * 2 / 128;
        auto corner = [&](int x, int y) {
            return Vec3(p.x - s.x + x * dx, p.y - s.y + y * dy, p.z + t.height(x, y) * s.z);
        };
        std::vector<std::pair<float, Vec3>> contacts;
        for (int y = 0; y < 128; ++y) {
            for (int x = 0; x < 128; ++x) {
                Vec3 A = corner(x, y), B = corner(x + 1, y), C = corner(x, y + 1), D = corner(x + 1, y + 1);
                const Vec3* const tris[2][3] = {{&C, &A, &D}, {&B, &D, &A}};
                for (const auto& tri : tris) {
                    Plane plane;
                    float w[3];
                    float f = sweepSphereTriangle(from, to, radius, tri, plane, w);
                    if (f < 1) contacts.push_back({f, plane.normal});
                }
            }
        }
        std::sort(contacts.begin(), contacts.end(), [](auto& a, auto& b) { return a.first < b.first; });
        return contacts;
    }

    // Height of the ground at world (x, y): the cell's triangle under the point, with the
    // diagonal from sample (x, y) to (x + 1, y + 1).
    float groundZ(float x, float y)
    {
        const LandscapeTile& t = *land.tileAt(1, 0, 0);
        const float u = (x - land.position.x + land.scale.x) / (land.scale.x * 2 / 128);
        const float v = (y - land.position.y + land.scale.y) / (land.scale.y * 2 / 128);
        const int cx = std::clamp(static_cast<int>(std::floor(u)), 0, 127);
        const int cy = std::clamp(static_cast<int>(std::floor(v)), 0, 127);
        const float fx = u - cx, fy = v - cy;
        const float a = t.height(cx, cy), b = t.height(cx + 1, cy), c = t.height(cx, cy + 1), d = t.height(cx + 1, cy + 1);
        const float h = fx <= fy ? a + fy * (c - a) + fx * (d - c) : a + fx * (b - a) + fy * (d - b);
        return land.position.z + h * land.scale.z;
    }
    // Where the line from `from` to `to` first passes from above the ground to below it:
    // small steps, then bisection.
    bool firstCrossing(const Vec3& from, const Vec3& to, Vec3& at)
    {
        auto above = [&](float f) {
            const Vec3 p = from + (to - from) * f;
            return p.z > groundZ(p.x, p.y);
        };
        const int n = 20000;
        for (int i = 0; i < n; ++i) {
            float lo = static_cast<float>(i) / n, hi = static_cast<float>(i + 1) / n;
            if (!above(lo) || above(hi)) continue;
            for (int k = 0; k < 40; ++k) (above((lo + hi) / 2) ? lo : hi) = (lo + hi) / 2;
            at = from + (to - from) * lo;
            return true;
        }
        return false;
    }

    Landscape land;
};

}  // namespace

TEST_F(GroundSweep, AgreesWithABruteForceSweepOverEveryTriangle)
{
    std::mt19937 gen(12345);
    std::uniform_real_distribution<float> across(-1100, 1100), up(-300, 1200), step(-60, 60);
    int hits = 0;
    for (int i = 0; i < 300; ++i) {
        const float radius = i % 3 == 0 ? 0.0f : 1.0f;
        Vec3 from(across(gen), across(gen), up(gen));
        // Short particle-like moves and long rays, mostly downward.
        Vec3 to = i % 2 ? from + Vec3(step(gen), step(gen), step(gen) - 40)
                        : Vec3(across(gen), across(gen), up(gen) - 600);
        auto contacts = bruteForce(from, to, radius);
        float expect = contacts.empty() ? 1.0f : contacts[0].first;
        TraceHit hit = TraceHit::towards(to);
        bool got = land.intersect(from, radius, hit);
        ASSERT_EQ(got, expect < 1) << i;
        if (!got) {
            EXPECT_EQ(hit.t, 1);
            EXPECT_EQ(hit.target, to);
            continue;
        }
        ++hits;
        EXPECT_NEAR(hit.t, expect, 2e-3) << i;
        EXPECT_VEC_NEAR(hit.target, from + (to - from) * hit.t, 0.05f);
        // Triangles touched within the sweep's back-off of the first may win instead.
        bool known = false;
        for (const auto& [f, n] : contacts)
            if (f <= expect + 2e-3f && vecNear(n, hit.plane.normal, 1e-4f)) known = true;
        EXPECT_TRUE(known) << i;
        EXPECT_EQ(hit.restitution, 0.3f);
        EXPECT_EQ(hit.friction, 0.6f);
    }
    EXPECT_GT(hits, 60);
}

// Particle-sized drops onto the ground from every side: the rare contacts the sweep
// makes with a triangle next to the one below (steep slopes, edges) must be found too.
TEST_F(GroundSweep, ShortDropsAgreeWithTheirNeighbourhood)
{
    const LandscapeTile& t = *land.tileAt(1, 0, 0);
    const Vec3 p = land.position, s = land.scale;
    auto corner = [&](int x, int y) {
        return Vec3(p.x - s.x + x * 16, p.y - s.y + y * 16, p.z + t.height(x, y) * s.z);
    };
    std::mt19937 gen(7);
    std::uniform_real_distribution<float> u(0, 1);
    int differ = 0;
    for (int i = 0; i < 20000; ++i) {
        const int gx = 2 + gen() % 124, gy = 2 + gen() % 124;
        const float fx = u(gen), fy = u(gen);
        const Vec3 A = corner(gx, gy), B = corner(gx + 1, gy), C = corner(gx, gy + 1), D = corner(gx + 1, gy + 1);
        const float z = fx <= fy ? A.z + fy * (C.z - A.z) + fx * (D.z - C.z) : A.z + fx * (B.z - A.z) + fy * (D.z - B.z);
        const Vec3 from(A.x + fx * 16, A.y + fy * 16, z + 1 + u(gen) * 2.5f);
        const Vec3 to = from + Vec3((u(gen) - 0.5f) * 3, (u(gen) - 0.5f) * 3, -3 * u(gen));

        TraceHit expect = TraceHit::towards(to);
        for (int y = gy - 2; y <= gy + 2; ++y) {
            for (int x = gx - 2; x <= gx + 2; ++x) {
                Vec3 a = corner(x, y), b = corner(x + 1, y), c = corner(x, y + 1), d = corner(x + 1, y + 1);
                const Vec3* const tris[2][3] = {{&c, &a, &d}, {&b, &d, &a}};
                for (const auto& tri : tris) {
                    Plane plane;
                    float w[3];
                    float f = sweepSphereTriangle(from, expect.target, 1, tri, plane, w);
                    if (f < 1) {
                        expect.target = from + (expect.target - from) * f;
                        expect.t *= f;
                    }
                }
            }
        }
        TraceHit hit = TraceHit::towards(to);
        land.intersect(from, 1, hit);
        differ += std::fabs(hit.t - expect.t) > 1e-3f;
    }
    EXPECT_EQ(differ, 0);
}

// Rays lying exactly over the boundary between two fine tiles, or through the corner of
// four, find the ground there, in one of the tiles beside it.
TEST_F(GroundSweep, RaysOnTileSeamsFindTheGround)
{
    const float left = land.position.x - land.scale.x, bottom = land.position.y - land.scale.y;
    const float tileW = land.scale.x / 4, tileH = land.scale.y / 4;
    struct Seam {
        int cx, cy;   // seam at the low-x side of column cx (or none: -1), low-y side of row cy
        float along;  // where along a single seam, in tiles
        Vec3 eye;     // offset of the ray's origin from the ground point
    } seams[] = {
        {4, -1, 4.3f, {0, 0, 3000}},     {3, -1, 2.71f, {0, -400, 300}}, {6, -1, 5.5f, {0, 300, 900}},
        {1, -1, 6.05f, {0, 30, 2000}},   {-1, 4, 4.62f, {0, 0, 3000}},   {-1, 5, 3.2f, {-500, 0, 250}},
        {-1, 2, 0.4f, {400, 0, 900}},    {-1, 7, 6.8f, {-60, 0, 1500}},  {4, 4, 0, {0, 0, 3000}},
        {2, 6, 0, {0, 0, 900}},          {7, 1, 0, {0, 0, 40}},          {5, 3, 0, {0, 0, 5000}},
        // Oblique rays not in a seam's plane, aimed at a point of the seam.
        {4, -1, 3.4f, {-100, -300, 200}}, {3, -1, 4.8f, {250, 90, 400}}, {-1, 4, 4.1f, {-80, -150, 350}},
        {-1, 3, 2.9f, {300, 420, 700}},  {4, 4, 0, {-100, -160, 320}},   {6, 2, 0, {333, -222, 444}},
    };
    int i = 0;
    for (const Seam& s : seams) {
        SCOPED_TRACE(i++);
        const float x = s.cx >= 0 ? left + s.cx * tileW : left + s.along * tileW;
        const float y = s.cy >= 0 ? bottom + s.cy * tileH : bottom + s.along * tileH;
        const Vec3 ground(x, y, groundZ(x, y));
        const Vec3 from = ground + s.eye, to = ground - s.eye * 4;
        Vec3 expect;
        ASSERT_TRUE(firstCrossing(from, to, expect));
        TraceHit hit = TraceHit::towards(to);
        EXPECT_TRUE(land.intersect(from, 0, hit));
        EXPECT_NEAR(hit.t, length(expect - from) / length(to - from), 2e-3);

        // A click along the same ray names a tile beside the seam.
        ASSERT_LT(length(expect - ground), 0.01f);  // nothing in front of the seam
        Ray ray;
        ray.origin = from;
        ray.direction = to - from;
        StdoutCapture out;
        out.begin();
        land.pageTileAtRay(ray, false);
        int column = -9, row = -9;
        sscanf(out.end().c_str(), "level 0 tile %d %d", &column, &row);
        const int alongTile = static_cast<int>(s.along);
        EXPECT_TRUE(s.cx >= 0 ? column == s.cx - 1 || column == s.cx : column == alongTile) << column;
        EXPECT_TRUE(s.cy >= 0 ? row == s.cy - 1 || row == s.cy : row == alongTile) << row;
    }
}

TEST_F(GroundSweep, FallingSphereStopsOneRadiusAboveFlatGround)
{
    flatten(0);
    const float groundZ = land.position.z;
    TraceHit hit = TraceHit::towards(Vec3(100, 100, groundZ - 10));
    ASSERT_TRUE(land.intersect(Vec3(100, 100, groundZ + 10), 1, hit));
    EXPECT_NEAR(hit.t, 9.0f / 20, 1e-3);
    EXPECT_NEAR(hit.target.z, groundZ + 1, 0.02);
    EXPECT_VEC_NEAR(hit.plane.normal, Vec3(0, 0, 1), 1e-6f);
    float wsum = hit.weights[0] + hit.weights[1] + hit.weights[2];
    EXPECT_NEAR(wsum, 1, 1e-5);
    for (const Vec3& c : hit.triangle) EXPECT_NEAR(c.z, groundZ, 1e-4);
}

TEST_F(GroundSweep, StartingOnTheSurfaceGivesAnImmediateContact)
{
    flatten(0);
    const Vec3 start(10, 10, land.position.z);
    TraceHit hit = TraceHit::towards(start + Vec3(3, 0, -5));
    ASSERT_TRUE(land.intersect(start, 0, hit));
    EXPECT_EQ(hit.t, 0);
    EXPECT_EQ(hit.target, start);
}

TEST_F(GroundSweep, RejectsWhatCannotTouch)
{
    // Beside the square by more than the one-unit margin.
    TraceHit beside = TraceHit::towards(Vec3(1060, 0, -5000));
    EXPECT_FALSE(land.intersect(Vec3(1060, 0, 5000), 0, beside));
    EXPECT_EQ(beside.t, 1);

    // From below, moving up through the ground: triangles are one-sided.
    TraceHit upward = TraceHit::towards(Vec3(0, 0, 3000));
    EXPECT_FALSE(land.intersect(Vec3(0, 0, -3000), 0, upward));

    // A box bounded in z: a segment entirely above it.
    land.zTop = 2;
    TraceHit above = TraceHit::towards(Vec3(0, 0, 1500));
    EXPECT_FALSE(land.intersect(Vec3(0, 0, 2000), 0, above));

    // Nothing absurd from huge or non-finite coordinates.
    land.zTop = kInfinity;
    TraceHit huge = TraceHit::towards(Vec3(-1e30f, 0, -1e30f));
    land.intersect(Vec3(1e30f, 0, 1e30f), 0, huge);
    TraceHit nan = TraceHit::towards(Vec3(NAN, 0, 0));
    EXPECT_FALSE(land.intersect(Vec3(0, 0, 100), 0, nan));

    Landscape empty;
    TraceHit none = TraceHit::towards(Vec3(0, 0, -10));
    EXPECT_FALSE(empty.intersect(Vec3(0, 0, 10), 0, none));
}

TEST_F(GroundSweep, TrackingMarksTheGroundUnderTheRay)
{
    DisplaySettings display;
    flatten(0.25f);
    Ray ray;
    ray.origin = Vec3(30 + 512, -20 - 256, 3000);
    ray.direction = Vec3(0, 0, -2);

    land.trackMouse(ray, display);  // tracking off: nothing moves
    EXPECT_EQ(land.probeStart, Vec3(0, 0, 0));

    display.trackingMouse = true;
    land.trackMouse(ray, display);
    EXPECT_VEC_NEAR(land.probeStart, Vec3(542, -276, 5 + 512 + 1), 1e-3f);
    EXPECT_VEC_NEAR(land.probeEnd, Vec3(542, -276, 5 - 512), 1e-3f);
    EXPECT_VEC_NEAR(land.mouseHit, Vec3(0.5f, -0.25f, 0.25f), 1e-3f);

    // A ray parallel to the ground meets neither plane: the marks stay.
    Ray flat = ray;
    flat.direction = Vec3(1, 0, 0);
    land.trackMouse(flat, display);
    EXPECT_VEC_NEAR(land.mouseHit, Vec3(0.5f, -0.25f, 0.25f), 1e-3f);
}
