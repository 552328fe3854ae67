// Spring space: the lattice round the mesh's box and the trilinear deformation.
#include <gtest/gtest.h>

#include <cmath>

#include "physics/bodies/bodytest.h"
#include "physics/springspace.h"
#include "support/testutil.h"

namespace {

// The box (-1, 0, 1)-(3, 2, 5) by its corners 1 and 8, its centre (vertex 3) and
// a point a quarter of the way along every axis (vertex 4).
constexpr const char* kBoxMesh = "v -1 0 1\nv 3 2 5\nv 1 1 3\nv 0 0.5 2\nf 1 2 3\nf 2 4 3\n";

struct SpringSpaceTest : ::testing::Test {
    void SetUp() override
    {
        mesh = meshFromText(kBoxMesh, false);
        ASSERT_TRUE(mesh);
        body.init(&w.par, &w.springs);
        ASSERT_TRUE(body.setModel(mesh.get()));
    }
    void clearAndApply()
    {
        for (Particle* p : body.vertex) p->force = Vec3(0, 0, 0);
        w.springs.applySpringForces(w.par);
    }
    std::unique_ptr<ObjFile> mesh;
    Systems w;
    SpringSpace body;
};

TEST_F(SpringSpaceTest, CornersFollowLatticeOrderAndAllSpringsStartAtRest)
{
    ASSERT_EQ(body.vertex.size(), 8u);
    for (int i = 0; i < 8; ++i) {
        Vec3 expect(i & 1 ? 3.0f : -1.0f, i & 2 ? 2.0f : 0.0f, i & 4 ? 5.0f : 1.0f);
        EXPECT_VEC_EQ(body.vertex[i]->pos, expect) << i;
        EXPECT_EQ(body.vertex[i]->invMass, 1.0f);
    }
    ASSERT_EQ(body.spring.size(), 28u);
    const int expectPairs[4][2] = {{0, 1}, {3, 7}, {0, 7}, {6, 5}};  // first and last of each kind
    const int at[4] = {0, 11, 12, 27};
    for (int k = 0; k < 4; ++k) {
        const Spring& s = w.springs.spring[body.spring[at[k]]];
        EXPECT_EQ(s.p0, body.vertex[expectPairs[k][0]]);
        EXPECT_EQ(s.p1, body.vertex[expectPairs[k][1]]);
    }
    // Edges 4, 2, 4; face diagonals; body diagonals sqrt(16 + 4 + 16) = 6.
    int edges = 0, faceDiagonals = 0, bodyDiagonals = 0;
    for (int index : body.spring) {
        const Spring& s = w.springs.spring[index];
        EXPECT_EQ(s.rest, length(s.p0->pos - s.p1->pos));
        EXPECT_EQ(s.ks, 360.0f);
        EXPECT_EQ(s.kd, 3.6f);
        if (s.rest == 6.0f) ++bodyDiagonals;
        else if (s.rest == 2.0f || s.rest == 4.0f) ++edges;
        else ++faceDiagonals;
    }
    EXPECT_EQ(edges, 12);
    EXPECT_EQ(faceDiagonals, 12);
    EXPECT_EQ(bodyDiagonals, 4);

    clearAndApply();
    for (Particle* p : body.vertex) EXPECT_VEC_EQ(p->force, Vec3(0, 0, 0));
}

TEST_F(SpringSpaceTest, TrilinearDeformationFollowsTheCorners)
{
    body.deform();
    ASSERT_EQ(body.deformed.size(), 4u);
    for (int q = 0; q < 4; ++q) EXPECT_VEC_NEAR(body.deformed[q], mesh->vertices[q], 1e-6f);

    body.vertex[7]->pos += Vec3(0, 0, 1);
    body.deform();
    EXPECT_VEC_NEAR(body.deformed[2], Vec3(1, 1, 3.125f), 1e-6f);  // centre: weight 1/8
    EXPECT_VEC_NEAR(body.deformed[1], Vec3(3, 2, 6), 1e-6f);        // the moved corner
    EXPECT_VEC_NEAR(body.deformed[0], Vec3(-1, 0, 1), 1e-6f);       // the opposite corner
    // (1/4)^3 of the move at a quarter of the way along every axis.
    EXPECT_VEC_NEAR(body.deformed[3], Vec3(0, 0.5f, 2 + 1.0f / 64), 1e-6f);

    // Moving the whole lattice moves the mesh with it.
    body.translate(Vec3(10, 0, 0));
    body.deform();
    EXPECT_VEC_NEAR(body.deformed[0], Vec3(9, 0, 1), 1e-5f);
}

TEST(SpringSpace, FlatMeshDeformsWithoutNaN)
{
    auto mesh = meshFromText("v 0 0 0\nv 2 0 0\nv 0 2 0\nv 1 1 0\nf 1 2 3\n", false);
    ASSERT_TRUE(mesh);
    Systems w;
    SpringSpace body;
    body.init(&w.par, &w.springs);
    ASSERT_TRUE(body.setModel(mesh.get()));
    body.deform();
    for (int q = 0; q < 4; ++q) EXPECT_VEC_NEAR(body.deformed[q], mesh->vertices[q], 1e-6f);
    // Lifting the top layer lifts the flat mesh by half the move.
    for (int i = 4; i < 8; ++i) body.vertex[i]->pos.z += 1;
    body.deform();
    EXPECT_VEC_NEAR(body.deformed[3], Vec3(1, 1, 0.5f), 1e-6f);
}

TEST(SpringSpace, EmptyOrFailedBodiesAreHarmless)
{
    Systems w;
    SpringSpace body;
    body.init(&w.par, &w.springs);
    EXPECT_TRUE(body.setModel(nullptr));
    body.draw(false);  // draws nothing, touches no GL
    EXPECT_EQ(w.par.liveCount(), 0);

    auto mesh = meshFromText(kBoxMesh, false);
    w.exhaust(5);
    const int before = w.par.liveCount();
    // A failed build gives back at once what it took.
    EXPECT_FALSE(body.setModel(mesh.get()));
    EXPECT_EQ(w.par.liveCount(), before);
    EXPECT_TRUE(body.vertex.empty());
    body.draw(false);
    body.translate(Vec3(1, 0, 0));
    body.release();
    EXPECT_EQ(w.par.liveCount(), before);
}

}  // namespace
