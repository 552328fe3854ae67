// The shared-edge search against the plain pairwise search it replaces.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "objtest.h"

namespace {

// The pairwise search, written as directly as possible: for each pair a < b, the first
// (cornerA, cornerB) whose edges run in opposite directions and, with onePartner, have
// not been paired before.
std::vector<ObjEdge> pairwiseEdges(const std::vector<ObjTriangle>& tris, bool onePartner = true)
{
    std::vector<ObjEdge> out;
    const int n = int(tris.size());
    std::vector<bool> paired(size_t(n) * 3, false);
    for (int a = 0; a < n - 1; ++a) {
        for (int b = a + 1; b < n; ++b) {
            bool found = false;
            for (int ca = 0; ca < 3 && !found; ++ca) {
                for (int cb = 0; cb < 3 && !found; ++cb) {
                    if (tris[a].corner[(ca + 1) % 3].vertex == tris[b].corner[cb].vertex &&
                        tris[a].corner[ca].vertex == tris[b].corner[(cb + 1) % 3].vertex &&
                        !(onePartner && (paired[3 * a + ca] || paired[3 * b + cb]))) {
                        out.push_back({a, b, ca, cb});
                        paired[3 * a + ca] = paired[3 * b + cb] = true;
                        found = true;
                    }
                }
            }
        }
    }
    return out;
}

std::vector<ObjTriangle> makeTriangles(const std::vector<std::vector<int>>& corners)
{
    std::vector<ObjTriangle> tris;
    for (const auto& c : corners) {
        ObjTriangle t;
        for (int k = 0; k < 3; ++k) t.corner[k].vertex = c[k];
        tris.push_back(t);
    }
    return tris;
}

std::vector<ObjEdge> fastEdges(const std::vector<ObjTriangle>& tris, std::string* printed = nullptr)
{
    ObjFile obj;
    obj.triangles = tris;
    StdoutCapture out;
    out.begin();
    obj.generateEdges();
    std::string text = out.end();
    if (printed) *printed = text;
    return obj.edges;
}

::testing::AssertionResult sameEdges(const std::vector<ObjEdge>& got, const std::vector<ObjEdge>& want)
{
    if (got.size() != want.size())
        return ::testing::AssertionFailure() << got.size() << " edges, expected " << want.size();
    for (size_t i = 0; i < got.size(); ++i) {
        const ObjEdge &g = got[i], &w = want[i];
        if (g.a != w.a || g.b != w.b || g.cornerA != w.cornerA || g.cornerB != w.cornerB)
            return ::testing::AssertionFailure() << "edge " << i << ": (" << g.a << "," << g.b << "," << g.cornerA
                                                 << "," << g.cornerB << ") expected (" << w.a << "," << w.b << ","
                                                 << w.cornerA << "," << w.cornerB << ")";
    }
    return ::testing::AssertionSuccess();
}

}  // namespace

TEST(ObjEdges, WindingDecidesWhetherAnEdgeIsShared)
{
    // Consistent: 0-1-2 and 2-1-3 share 1-2 in opposite directions.
    auto edges = fastEdges(makeTriangles({{0, 1, 2}, {2, 1, 3}}));
    ASSERT_EQ(edges.size(), 1u);
    EXPECT_TRUE(sameEdges(edges, {{0, 1, 1, 0}}));
    // Inconsistent: both run 1 -> 2.
    EXPECT_TRUE(fastEdges(makeTriangles({{0, 1, 2}, {1, 2, 3}})).empty());
}

TEST(ObjEdges, OneEdgePerPairAndDuplicates)
{
    // A triangle and its reverse share all three edges: only the first counts.
    EXPECT_TRUE(sameEdges(fastEdges(makeTriangles({{0, 1, 2}, {2, 1, 0}})), {{0, 1, 0, 1}}));
    // Duplicated triangles each take the first reversed neighbour still free, never each other.
    auto tris = makeTriangles({{0, 1, 2}, {0, 1, 2}, {1, 0, 3}, {1, 0, 3}});
    EXPECT_TRUE(sameEdges(fastEdges(tris), {{0, 2, 0, 0}, {1, 3, 0, 0}}));
    // Degenerate triangles with a repeated vertex match through their zero-length edge.
    tris = makeTriangles({{4, 4, 5}, {4, 4, 6}, {5, 4, 4}});
    EXPECT_TRUE(sameEdges(fastEdges(tris), pairwiseEdges(tris)));
    EXPECT_FALSE(pairwiseEdges(tris).empty());

    // A fan of alternately wound triangles round one edge pairs them off two by two: as
    // many edges as pairs, not one per opposite pair (which grows with the square).
    std::vector<std::vector<int>> fan;
    for (int t = 0; t < 20000; ++t)
        fan.push_back(t % 2 ? std::vector<int>{1, 0, t + 2} : std::vector<int>{0, 1, t + 2});
    const auto fanEdges = fastEdges(makeTriangles(fan));
    ASSERT_EQ(fanEdges.size(), 10000u);
    for (int i = 0; i < 10000; ++i)
        ASSERT_TRUE(sameEdges({fanEdges[i]}, {{2 * i, 2 * i + 1, 0, 0}})) << "pair " << i;
}

TEST(ObjEdges, MatchesPairwiseSearchOnRandomMeshes)
{
    std::mt19937 gen(1234);
    for (int round = 0; round < 200; ++round) {
        // Few vertices make shared, doubled and degenerate edges common.
        int vertexCount = 2 + int(gen() % 12);
        int triCount = int(gen() % 60);
        std::vector<std::vector<int>> corners;
        for (int t = 0; t < triCount; ++t)
            corners.push_back({int(gen() % vertexCount), int(gen() % vertexCount), int(gen() % vertexCount)});
        auto tris = makeTriangles(corners);
        ASSERT_TRUE(sameEdges(fastEdges(tris), pairwiseEdges(tris))) << "round " << round;
    }
}

TEST(ObjEdges, MatchesPairwiseSearchOnAGridWithFlippedFaces)
{
    // A 20 x 20 quad grid, some triangles flipped and, in the second round, some repeated.
    // Without repeats no edge has more than two triangles, and the one-partner rule must
    // change nothing.
    for (bool repeats : {false, true}) {
        std::mt19937 gen(99);
        std::vector<std::vector<int>> corners;
        auto at = [](int x, int y) { return y * 21 + x; };
        for (int y = 0; y < 20; ++y) {
            for (int x = 0; x < 20; ++x) {
                corners.push_back({at(x, y), at(x + 1, y), at(x + 1, y + 1)});
                corners.push_back({at(x, y), at(x + 1, y + 1), at(x, y + 1)});
                if (gen() % 7 == 0) std::swap(corners.back()[0], corners.back()[1]);
                if (gen() % 11 == 0 && repeats) corners.push_back(corners[gen() % corners.size()]);
            }
        }
        auto tris = makeTriangles(corners);
        auto want = pairwiseEdges(tris, repeats);
        EXPECT_GT(want.size(), 1000u);
        EXPECT_TRUE(sameEdges(fastEdges(tris), want)) << "repeats " << repeats;
    }
}

TEST(ObjEdges, ProgressLines)
{
    std::string printed;
    fastEdges(makeTriangles({{0, 1, 2}, {2, 1, 3}, {3, 1, 4}}), &printed);
    EXPECT_EQ(printed, "generating edges...\n 0 of 3 (0%) done \ndone generating edges.\n");
    fastEdges({}, &printed);
    EXPECT_EQ(printed, "generating edges...\ndone generating edges.\n");
}

TEST(ObjEdges, LoadWithEdgesRunsAfterNormals)
{
    ObjFile obj;
    std::string printed = loadText(obj, "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nf 1 2 3 4\n", true);
    EXPECT_EQ(printed,
              "found no/invaild normals - generating...\ndone generating normals.\ngenerating edges...\n"
              " 0 of 2 (0%) done \ndone generating edges.\n");
    // The quad's diagonal: (0, 1, 3) runs 1 -> 3 from corner 1, (2, 3, 1) runs 3 -> 1 from corner 1.
    EXPECT_TRUE(sameEdges(obj.edges, {{0, 1, 1, 1}}));
    loadText(obj, "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nf 1 2 3 4\n", false);
    EXPECT_TRUE(obj.edges.empty());
}
