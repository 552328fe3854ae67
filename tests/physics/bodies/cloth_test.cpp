// Cloth: spring counts and creation order, triangles, pinning and the box.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>

#include "physics/bodies/bodytest.h"
#include "physics/cloth.h"
#include "support/testutil.h"

namespace {

int countRest(const Cloth& c, const SpringSystem& s, float rest)
{
    int n = 0;
    for (int index : c.spring) n += std::fabs(s.spring[index].rest - rest) < 1e-6f;
    return n;
}

TEST(Cloth, SpringCountsByKind)
{
    for (int n : {2, 3, 54}) {
        Systems w;
        Cloth cloth;
        ASSERT_TRUE(cloth.init(n, &w.par, &w.springs, nullptr)) << n;
        EXPECT_EQ(static_cast<int>(cloth.vertex.size()), n * n);
        EXPECT_EQ(static_cast<int>(cloth.spring.size()), 6 * n * n - 10 * n + 2);
        EXPECT_EQ(w.springs.count(), 6 * n * n - 10 * n + 2);
        const float h = 1.0f / (n - 1);
        EXPECT_EQ(countRest(cloth, w.springs, h), 2 * n * (n - 1)) << "structural, n = " << n;
        EXPECT_EQ(countRest(cloth, w.springs, h * std::sqrt(2.0f)), 2 * (n - 1) * (n - 1)) << "shear, n = " << n;
        EXPECT_EQ(countRest(cloth, w.springs, 2 * h), 2 * n * (n - 2)) << "bend, n = " << n;
    }
    Systems w;
    Cloth cloth;
    ASSERT_TRUE(cloth.init(54, &w.par, &w.springs, nullptr));
    EXPECT_EQ(cloth.vertex.size(), 2916u);
    EXPECT_EQ(cloth.spring.size(), 16958u);
}

TEST(Cloth, GridPositionsAndSpringCreationOrder)
{
    Systems w;
    Cloth cloth;
    ASSERT_TRUE(cloth.init(3, &w.par, &w.springs, nullptr));
    EXPECT_VEC_EQ(cloth.vertex[0]->pos, Vec3(-0.5f, -0.5f, 0));
    EXPECT_VEC_EQ(cloth.vertex[5]->pos, Vec3(0.5f, 0, 0));  // row 1, column 2
    EXPECT_VEC_EQ(cloth.vertex[8]->pos, Vec3(0.5f, 0.5f, 0));

    // Columns outer, rows inner; per particle: row, column, two shears, two bends.
    const int pairs[13][2] = {{3, 0}, {6, 3}, {6, 0}, {1, 0}, {1, 3}, {4, 3}, {4, 1},
                              {4, 0}, {4, 6}, {7, 6}, {7, 4}, {7, 3}, {7, 1}};
    for (int k = 0; k < 13; ++k) {
        const Spring& s = w.springs.spring[cloth.spring[k]];
        EXPECT_EQ(s.p0, cloth.vertex[pairs[k][0]]) << k;
        EXPECT_EQ(s.p1, cloth.vertex[pairs[k][1]]) << k;
        EXPECT_EQ(s.ks, 360.0f);
        EXPECT_EQ(s.kd, 3.6f);
    }
    // Flat sheet at rest: no spring force anywhere.
    w.springs.applySpringForces(w.par);
    for (Particle* p : cloth.vertex) EXPECT_VEC_EQ(p->force, Vec3(0, 0, 0));
}

TEST(Cloth, TrianglesPinningAndBox)
{
    Systems w;
    Cloth cloth;
    ASSERT_TRUE(cloth.init(3, &w.par, &w.springs, nullptr));
    EXPECT_EQ(cloth.triangleCount(), 8);
    auto idx = [&](Particle* p) { return static_cast<int>(std::find(cloth.vertex.begin(), cloth.vertex.end(), p) - cloth.vertex.begin()); };
    const int expect[4][3] = {{0, 4, 1}, {3, 0, 4}, {1, 5, 2}, {4, 1, 5}};
    for (int t = 0; t < 4; ++t) {
        Cloth::Triangle tri = cloth.triangle(t);
        for (int k = 0; k < 3; ++k) EXPECT_EQ(idx(tri.p[k]), expect[t][k]) << t << " " << k;
    }
    // The last triangle is the bottom-right quad's second half.
    Cloth::Triangle last = cloth.triangle(7);
    EXPECT_EQ(idx(last.p[0]), 7);
    EXPECT_EQ(idx(last.p[2]), 8);

    EXPECT_VEC_EQ(cloth.box.min, Vec3(-0.5f, -0.5f, 0));
    EXPECT_VEC_EQ(cloth.box.max, Vec3(0.5f, 0.5f, 0));
    cloth.vertex[4]->pos.z = -2;
    cloth.vertex[8]->pos.x = 3;
    cloth.computeBox();
    EXPECT_VEC_EQ(cloth.box.min, Vec3(-0.5f, -0.5f, -2));
    EXPECT_VEC_EQ(cloth.box.max, Vec3(3, 0.5f, 0));

    Cloth four;
    ASSERT_TRUE(four.init(4, &w.par, &w.springs, nullptr));
    four.pinBorder();
    int pinned = 0;
    for (int i = 0; i < 16; ++i) {
        int r = i / 4, c = i % 4;
        bool border = r == 0 || c == 0 || r == 3 || c == 3;
        EXPECT_EQ(four.vertex[i]->invMass, border ? 0.0f : 1.0f) << i;
        pinned += four.vertex[i]->invMass == 0;
    }
    EXPECT_EQ(pinned, 12);
}

TEST(Cloth, BadSizesAndMissingPicturesFailCleanly)
{
    Systems w;
    Cloth cloth;
    // Too small to space, or more particles than the pool could ever hold (55² is the
    // first; 46341² and beyond overflow an int): refused before anything is taken.
    for (int n : {1, 0, -3, 55, 46341, INT_MAX}) {
        StdoutCapture out;
        out.begin();
        EXPECT_FALSE(cloth.init(n, &w.par, &w.springs, nullptr));
        EXPECT_NE(out.end().find("Cloth.init()"), std::string::npos) << n;
        EXPECT_EQ(cloth.n, 0);
        EXPECT_EQ(cloth.triangleCount(), 0);
        cloth.pinBorder();
        cloth.computeBox();
        cloth.draw();
    }
    EXPECT_EQ(w.par.liveCount(), 0);
    EXPECT_EQ(w.par.createdCount(), 0);

    // A picture that does not load leaves no sheet whose triangles reach missing particles.
    StdoutCapture out;
    out.begin();
    EXPECT_FALSE(cloth.init(3, &w.par, &w.springs, "no-such-cloth-picture.bmp"));
    EXPECT_NE(out.end().find("Cloth.init() failed to load texture filename no-such-cloth-picture.bmp"),
              std::string::npos);
    EXPECT_EQ(cloth.triangleCount(), 0);
    EXPECT_TRUE(cloth.vertex.empty());
}

TEST(Cloth, PoolRunningOutKeepsOnlyWhatWasTaken)
{
    Systems w;
    w.exhaust(5);
    const int before = w.par.liveCount();
    Cloth cloth;
    EXPECT_FALSE(cloth.init(3, &w.par, &w.springs, nullptr));
    EXPECT_EQ(cloth.vertex.size(), 5u);
    EXPECT_TRUE(cloth.spring.empty());
    EXPECT_EQ(cloth.triangleCount(), 0);  // no triangle names a particle it never got
    cloth.pinBorder();
    cloth.draw();
    cloth.release();
    EXPECT_EQ(w.par.liveCount(), before);
    EXPECT_EQ(w.activeSprings(), 0);
}

}  // namespace
