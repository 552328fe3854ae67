// Spring character: the figure's tables (bones, joints, extents, skin) and the build.
#include <gtest/gtest.h>

#include <bit>
#include <map>
#include <set>

#include "physics/bodies/bodytest.h"
#include "physics/springchar.h"
#include "support/testutil.h"

namespace {

using Nodes = SpringChar;

TEST(SpringCharTables, BonesJointsAndExtents)
{
    struct Bone {
        int count;
        std::set<int> joints;
        float x0, x1;
        float y0 = 0, y1 = 0;  // unchecked when equal
    };
    const Bone bones[11] = {
        {7, {45}, -1.5f, 1.5f, 12, 14},
        {13, {18, 23, 45, 73, 78}, -2.5f, 2.5f, 7, 12},
        {10, {9}, 5.5f, 8.5f, 10.5f, 11.5f},
        {10, {9, 18}, 2.5f, 5.5f},
        {10, {78, 87}, -5.5f, -2.5f},
        {10, {87}, -8.5f, -5.5f},
        {8, {23, 26, 70, 73}, -1, 1, 6, 7},
        {10, {26, 35}, 1, 2, 0, 6},
        {10, {35}, 1, 2, -6, 0},
        {10, {61, 70}, -2, -1, 0, 6},
        {10, {61}, -2, -1, -6, 0},
    };
    BBox all = BBox::empty();
    for (int b = 0; b < 11; ++b) {
        int count = 0;
        std::set<int> joints;
        BBox box = BBox::empty();
        for (int i = 0; i < Nodes::kNodeCount; ++i) {
            const SpringCharNode& n = Nodes::nodes[i];
            EXPECT_EQ(n.bones >> 11, 0u) << i;
            EXPECT_GE(std::popcount(n.bones), 1) << i;
            EXPECT_LE(std::popcount(n.bones), 2) << i;
            if (!(n.bones >> b & 1)) continue;
            ++count;
            if (std::popcount(n.bones) == 2) joints.insert(i);
            box.extend(Vec3(n.x, n.y, n.z));
            all.extend(Vec3(n.x, n.y, n.z));
        }
        EXPECT_EQ(count, bones[b].count) << "bone " << b;
        EXPECT_EQ(joints, bones[b].joints) << "bone " << b;
        EXPECT_EQ(box.min.x, bones[b].x0) << "bone " << b;
        EXPECT_EQ(box.max.x, bones[b].x1) << "bone " << b;
        if (bones[b].y0 != bones[b].y1) {
            EXPECT_EQ(box.min.y, bones[b].y0) << "bone " << b;
            EXPECT_EQ(box.max.y, bones[b].y1) << "bone " << b;
        }
    }
    EXPECT_VEC_EQ(all.min, Vec3(-8.5f, -6, -1));
    EXPECT_VEC_EQ(all.max, Vec3(8.5f, 14, 1));
    EXPECT_EQ(Nodes::nodes[23].bones, Nodes::nodes[73].bones);
    EXPECT_EQ(Nodes::nodes[23].bones, (1u << 1) | (1u << 6));

    // The rows the figure is pinned by.
    auto at = [](int i) { return Vec3(Nodes::nodes[i].x, Nodes::nodes[i].y, Nodes::nodes[i].z); };
    EXPECT_VEC_EQ(at(0), Vec3(8.5f, 11, 0));
    EXPECT_EQ(Nodes::nodes[0].bones, 1u << 2);
    EXPECT_VEC_EQ(at(9), Vec3(5.5f, 11, 0));
    EXPECT_EQ(Nodes::nodes[9].bones, (1u << 2) | (1u << 3));
    EXPECT_EQ(Nodes::nodes[45].bones, 3u);
    EXPECT_VEC_EQ(at(96), Vec3(-8.5f, 11, 0));
    EXPECT_EQ(Nodes::nodes[96].bones, 1u << 5);
    EXPECT_VEC_EQ(at(1), Vec3(8, 11.5f, 0));
    EXPECT_VEC_EQ(at(2), Vec3(8, 11, -0.5f));
    EXPECT_VEC_EQ(at(3), Vec3(8, 10.5f, 0));
    EXPECT_VEC_EQ(at(4), Vec3(8, 11, 0.5f));
    // No two nodes share a position (a zero-length spring would have no direction).
    for (int i = 0; i < 97; ++i)
        for (int j = 0; j < i; ++j) EXPECT_GT(length(at(i) - at(j)), 0.1f) << i << " " << j;
}

TEST(SpringCharTables, SkinUsesEveryNodeAndIsClosedAndWoundOutward)
{
    std::set<int> used;
    std::map<std::pair<int, int>, int> directed;
    double volume = 0;
    auto at = [](int i) { return Vec3(Nodes::nodes[i].x, Nodes::nodes[i].y, Nodes::nodes[i].z); };
    for (const auto& t : Nodes::skin) {
        for (int k = 0; k < 3; ++k) {
            ASSERT_GE(t[k], 0);
            ASSERT_LT(t[k], 97);
            used.insert(t[k]);
            ++directed[{t[k], t[(k + 1) % 3]}];
        }
        EXPECT_GT(length(cross(at(t[1]) - at(t[0]), at(t[2]) - at(t[0]))), 1e-4f);
        volume += dot(at(t[0]), cross(at(t[1]), at(t[2]))) / 6.0;
    }
    EXPECT_EQ(used.size(), 97u);
    // Closed and consistently wound: every edge is walked as often one way as the other.
    for (const auto& [edge, count] : directed) {
        auto back = directed.find({edge.second, edge.first});
        ASSERT_NE(back, directed.end()) << edge.first << "-" << edge.second;
        EXPECT_EQ(back->second, count);
    }
    // Outward: positive enclosed volume, and a sensible one for a figure about 17 × 20 × 2.
    EXPECT_GT(volume, 20.0);
    EXPECT_LT(volume, 200.0);
}

TEST(SpringChar, BuildTakes97ParticlesAnd486SpringsAtRest)
{
    Systems w;
    SpringChar figure;
    figure.SpringObj::init(&w.par, &w.springs);
    ASSERT_TRUE(figure.build());
    EXPECT_EQ(figure.vertex.size(), 97u);
    EXPECT_EQ(w.par.liveCount(), 97);
    EXPECT_EQ(figure.spring.size(), 486u);
    EXPECT_EQ(w.activeSprings(), 486);

    // The first spring joins node 1 to the arm tip, node 0.
    const Spring& first = w.springs.spring[figure.spring[0]];
    EXPECT_EQ(first.p0, figure.vertex[1]);
    EXPECT_EQ(first.p1, figure.vertex[0]);
    int toAnkle = 0, wristToShoulderSide = 0;
    for (int index : figure.spring) {
        const Spring& s = w.springs.spring[index];
        EXPECT_EQ(s.ks, 700.0f);
        EXPECT_EQ(s.kd, 10.0f);
        EXPECT_EQ(s.rest, length(s.p0->pos - s.p1->pos));
        toAnkle += s.p0 == figure.vertex[44] || s.p1 == figure.vertex[44];
        wristToShoulderSide += s.p0 == figure.vertex[18] && s.p1 == figure.vertex[9];
    }
    EXPECT_EQ(toAnkle, 9);  // the shin's other nodes only
    EXPECT_EQ(wristToShoulderSide, 1);

    // At rest: springs exert nothing, so only gravity will move the figure.
    w.springs.applySpringForces(w.par);
    for (Particle* p : figure.vertex) EXPECT_VEC_EQ(p->force, Vec3(0, 0, 0));

    for (int i = 0; i < 97; ++i) figure.vertex[i]->impact = i;
    figure.computeTotalImpact();
    EXPECT_EQ(figure.totalImpact, 96.0 * 97 / 2);

    figure.release();
    EXPECT_EQ(w.par.liveCount(), 0);
    EXPECT_EQ(w.activeSprings(), 0);
    EXPECT_EQ(figure.envMap, nullptr);
}

TEST(SpringChar, ShortPoolFailsWithItsMessageAndGivesBackOnRelease)
{
    Systems w;
    w.exhaust(96);
    const int before = w.par.liveCount();
    SpringChar figure;
    figure.SpringObj::init(&w.par, &w.springs);
    StdoutCapture out;
    out.begin();
    EXPECT_FALSE(figure.build());
    EXPECT_EQ(out.end(), "couldnt alloc enough particles for the spring char\n");
    EXPECT_EQ(figure.vertex.size(), 96u);
    // What was taken is harmless meanwhile: its springs join real particles.
    for (int index : figure.spring) {
        const Spring& s = w.springs.spring[index];
        EXPECT_TRUE(s.p0 && s.p1);
    }
    w.springs.applySpringForces(w.par);
    figure.release();
    EXPECT_EQ(w.par.liveCount(), before);
    EXPECT_EQ(w.activeSprings(), 0);
}

}  // namespace
