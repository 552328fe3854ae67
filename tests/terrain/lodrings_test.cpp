// Ring geometry recorded without GL: every tile cell drawn exactly once, no T-junction
// left open, neighbouring tiles meeting vertex for vertex, the coarse level's holes.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <tuple>
#include <vector>

#include "terrain/displaysettings.h"
#include "terrain/landscape.h"
#include "terrain/landscapetile.h"
#include "terrain/lodrings.h"

namespace {

struct P {
    int x, y;
    bool operator<(const P& o) const { return std::tie(x, y) < std::tie(o.x, o.y); }
    bool operator==(const P& o) const { return x == o.x && y == o.y; }
};

// Records strips as integer sample positions; flags misuse of the strip protocol.
class Recorder : public StripEmitter {
public:
    void beginStrip() override
    {
        EXPECT_FALSE(open) << "strip opened twice";
        open = true;
        strips.emplace_back();
        seam.push_back(inSeam);
    }
    void vertex(float x, float y, float) override
    {
        EXPECT_TRUE(open) << "vertex outside a strip";
        strips.back().push_back({static_cast<int>(x), static_cast<int>(y)});
    }
    void endStrip() override
    {
        EXPECT_TRUE(open);
        open = false;
    }
    void beginWhiteSeam() override { inSeam = true; }
    void endWhiteSeam() override { inSeam = false; }

    std::vector<std::vector<P>> strips;
    std::vector<bool> seam;
    bool open = false, inSeam = false;
};

struct Tri {
    P a, b, c;
};

std::vector<Tri> triangles(const Recorder& r)
{
    std::vector<Tri> out;
    for (const auto& s : r.strips)
        for (size_t i = 2; i < s.size(); ++i) {
            if (s[i - 2] == s[i - 1] || s[i - 1] == s[i] || s[i - 2] == s[i]) continue;
            // Every other triangle of a strip is wound the other way round.
            if (i % 2 == 0) out.push_back({s[i - 2], s[i - 1], s[i]});
            else out.push_back({s[i - 1], s[i - 2], s[i]});
        }
    return out;
}

long long area2(const Tri& t)
{
    return static_cast<long long>(t.b.x - t.a.x) * (t.c.y - t.a.y) - static_cast<long long>(t.c.x - t.a.x) * (t.b.y - t.a.y);
}

LandscapeTile& flatTile()
{
    static LandscapeTile* tile = [] {
        auto* t = new LandscapeTile;
        for (float& h : t->heights) h = 0;
        return t;
    }();
    return *tile;
}

Recorder rings(int viewX, int viewY, int radius, int column = 0, int row = 0, int level = 0,
               const Landscape* owner = nullptr, bool white = false)
{
    Recorder r;
    LodContext ctx{flatTile(), r, owner, radius, white};
    drawLodRings(ctx, viewX, viewY, column, row, level);
    EXPECT_FALSE(r.open);
    return r;
}

// How often each unit cell of the tile lies under a drawn (non-flat) triangle, probed at
// one point inside the cell.
std::vector<int> coverage(const Recorder& r)
{
    std::vector<int> cover(128 * 128, 0);
    for (const Tri& t : triangles(r)) {
        long long a = area2(t);
        if (a == 0) continue;
        int x0 = std::min({t.a.x, t.b.x, t.c.x}), x1 = std::max({t.a.x, t.b.x, t.c.x});
        int y0 = std::min({t.a.y, t.b.y, t.c.y}), y1 = std::max({t.a.y, t.b.y, t.c.y});
        EXPECT_GT(a, 0) << "triangle facing down";
        for (int y = y0; y < y1; ++y) {
            for (int x = x0; x < x1; ++x) {
                // Probe (x + 0.5, y + 0.25), never on a quad's diagonal; times 4 to stay in integers.
                auto side = [&](P p, P q) {
                    return static_cast<long long>(q.x - p.x) * (4 * y + 1 - 4 * p.y) -
                           static_cast<long long>(q.y - p.y) * (4 * x + 2 - 4 * p.x);
                };
                if (side(t.a, t.b) > 0 && side(t.b, t.c) > 0 && side(t.c, t.a) > 0) ++cover[y * 128 + x];
                if (side(t.a, t.b) < 0 && side(t.b, t.c) < 0 && side(t.c, t.a) < 0) ++cover[y * 128 + x];
            }
        }
    }
    return cover;
}

// Edges of non-degenerate triangles (seam triangles stand upright, flat in x-y but with
// three distinct vertices); an open T-junction leaves an inner edge used only once.
std::map<std::pair<P, P>, int> edgeUse(const Recorder& r)
{
    std::map<std::pair<P, P>, int> use;
    for (const Tri& t : triangles(r)) {
        const P v[3] = {t.a, t.b, t.c};
        for (int i = 0; i < 3; ++i) {
            P p = v[i], q = v[(i + 1) % 3];
            if (q < p) std::swap(p, q);
            ++use[{p, q}];
        }
    }
    return use;
}

bool onBorder(const std::pair<P, P>& e)
{
    const P& a = e.first;
    const P& b = e.second;
    return (a.x == b.x && (a.x == 0 || a.x == 128)) || (a.y == b.y && (a.y == 0 || a.y == 128));
}

}  // namespace

TEST(LodRings, ViewerAtTheCentreDrawsOneFullResolutionRing)
{
    Recorder r = rings(64, 64, 64);
    ASSERT_EQ(r.strips.size(), 128u);
    for (size_t i = 0; i < r.strips.size(); ++i) {
        ASSERT_EQ(r.strips[i].size(), 258u);
        EXPECT_EQ(r.strips[i].front().x, 0);
        EXPECT_EQ(r.strips[i].back().x, 128);
        EXPECT_EQ(r.strips[i][1].y, static_cast<int>(i));
        EXPECT_EQ(r.strips[i][0].y, static_cast<int>(i) + 1);
    }
}

TEST(LodRings, SmallRadiiDrawAsThreeAndRingsDoubleTheirStep)
{
    // Radii below three would not nest the rings (cells left out or drawn twice).
    for (int small : {-5, 0, 1, 2}) EXPECT_EQ(rings(40, 70, small).strips, rings(40, 70, 3).strips) << small;

    // From a corner with radius 3 ring 5 (step 32, r = 96) is the first to cover.
    Recorder r = rings(0, 0, 3);
    std::set<int> steps;
    for (const auto& s : r.strips)
        for (size_t i = 1; i < s.size(); i += 2)
            if (s[i - 1].y != s[i].y && s[i - 1].x == s[i].x) steps.insert(s[i - 1].y - s[i].y);
    ASSERT_FALSE(steps.empty());
    EXPECT_EQ(*steps.begin(), 1);
    EXPECT_EQ(*steps.rbegin(), 32);
    EXPECT_EQ(steps.size(), 6u);
}

// A tile far from the viewer is still drawn whole by its last, coarsest ring.
TEST(LodRings, FarTilesAreDrawnWhole)
{
    for (int v : {-3000, 5000}) {
        std::vector<int> c = coverage(rings(v, v, 3));
        for (int n : c) ASSERT_EQ(n, 1) << v;
    }
}

// Viewers inside, on the edges and far outside the tile, radii from 0 up past the tile.
TEST(LodRings, EveryCellOnceAndNoOpenTJunctions)
{
    const int views[] = {-300, -1, 0, 5, 37, 64, 127, 129, 190};
    const int radii[] = {3, 4, 7, 16, 64};
    for (int vx : views) {
        for (int vy : views) {
            for (int radius : radii) {
                Recorder r = rings(vx, vy, radius);
                std::vector<int> cover = coverage(r);
                int wrong = 0, first = -1;
                for (int i = 0; i < 128 * 128; ++i)
                    if (cover[i] != 1 && wrong++ == 0) first = i;
                ASSERT_EQ(wrong, 0) << "view " << vx << "," << vy << " radius " << radius << ": cell (" << first % 128
                                    << "," << first / 128 << ") drawn " << (first >= 0 ? cover[first] : 0) << " times";
                for (const auto& [edge, count] : edgeUse(r)) {
                    if (onBorder(edge)) continue;
                    ASSERT_GE(count, 2) << "crack at (" << edge.first.x << "," << edge.first.y << ")-(" << edge.second.x
                                        << "," << edge.second.y << ") view " << vx << "," << vy << " radius "
                                        << radius;
                }
            }
        }
    }
}

// Tiles beside each other see the viewer 128 samples apart. Along their shared edge every
// segment drawn by one side must be matched by the other side or closed by a seam
// strip, or a crack opens between the tiles.
TEST(LodRings, NeighbouringTilesMeetWithoutCracks)
{
    const int views[] = {-90, 3, 60, 127, 128, 131, 200, 250, 300};
    const int radii[] = {0, 2, 9, 64};
    auto shared = [](const Recorder& a, const Recorder& b, bool alongX) {
        std::map<std::pair<int, int>, int> use;
        std::set<std::pair<int, int>> surface;  // edges of ground triangles, not of upright seams
        auto add = [&](const Recorder& r, int line) {
            for (const Tri& t : triangles(r)) {
                const bool ground = area2(t) != 0;
                const P v[3] = {t.a, t.b, t.c};
                for (int i = 0; i < 3; ++i) {
                    P p = v[i], q = v[(i + 1) % 3];
                    int pl = alongX ? p.x : p.y, ql = alongX ? q.x : q.y;
                    if (pl != line || ql != line) continue;
                    int lo = alongX ? p.y : p.x, hi = alongX ? q.y : q.x;
                    if (lo > hi) std::swap(lo, hi);
                    ++use[{lo, hi}];
                    if (ground) surface.insert({lo, hi});
                }
            }
        };
        add(a, 128);
        add(b, 0);
        for (const auto& [seg, count] : use)
            if (count < 2 && surface.count(seg)) return testing::AssertionFailure() << "open segment " << seg.first << ".." << seg.second;
        return testing::AssertionSuccess();
    };
    for (int vx : views) {
        for (int vy : views) {
            for (int radius : radii) {
                Recorder a = rings(vx, vy, radius);
                Recorder right = rings(vx - 128, vy, radius);
                Recorder up = rings(vx, vy - 128, radius);
                EXPECT_TRUE(shared(a, right, true)) << vx << "," << vy << " r " << radius;
                EXPECT_TRUE(shared(a, up, false)) << vx << "," << vy << " r " << radius;
            }
        }
    }
}

TEST(LodRings, WhiteSeamsWrapOnlySeamStrips)
{
    Recorder r = rings(10, 10, 2, 0, 0, 0, nullptr, true);
    int seams = 0;
    for (size_t i = 0; i < r.strips.size(); ++i) {
        if (!r.seam[i]) continue;
        ++seams;
        // A seam strip runs along one line of constant x or y.
        const auto& s = r.strips[i];
        bool constX = true, constY = true;
        for (const P& p : s) {
            constX = constX && p.x == s[0].x;
            constY = constY && p.y == s[0].y;
        }
        EXPECT_TRUE(constX || constY);
    }
    EXPECT_GT(seams, 0);
}

class CoarseHoles : public ::testing::Test {
protected:
    void SetUp() override
    {
        owner.levelTileCount[0] = 8;
        owner.levelSlots[0].assign(64, LandscapeSlot{});
    }
    void TearDown() override
    {
        for (auto& s : owner.levelSlots[0]) s.tile = nullptr;
    }
    void cover(int c, int r) { owner.levelSlots[0][r * 8 + c].tile = &flatTile(); }
    Landscape owner;
};

TEST_F(CoarseHoles, FineTilesCutHolesWhileTheStepIsBelowEight)
{
    cover(4, 4);
    cover(7, 2);  // on the far edge: x = 128 names column 8
    cover(0, 7);
    Recorder r = rings(64, 64, 64, 0, 0, 1, &owner);
    std::vector<int> c = coverage(r);
    for (int y = 0; y < 128; ++y) {
        for (int x = 0; x < 128; ++x) {
            int cx = x >> 4, cy = y >> 4;
            bool hole = (cx == 4 && cy == 4) || (cx == 7 && cy == 2) || (cx == 0 && cy == 7);
            ASSERT_EQ(c[y * 128 + x], hole ? 0 : 1) << x << "," << y;
        }
    }
    // From step 8 on the coarse level draws under the fine tiles too.
    Recorder far = rings(-600, -600, 0, 0, 0, 1, &owner);
    std::vector<int> cf = coverage(far);
    for (int y = 96; y < 128; ++y)
        for (int x = 96; x < 128; ++x) ASSERT_EQ(cf[y * 128 + x], 1);
}

TEST_F(CoarseHoles, EvictingRefillsTheHole)
{
    cover(3, 5);
    owner.levelSlots[0][5 * 8 + 3].tile = nullptr;
    std::vector<int> c = coverage(rings(64, 64, 64, 0, 0, 1, &owner));
    for (int v : c) ASSERT_EQ(v, 1);
}
