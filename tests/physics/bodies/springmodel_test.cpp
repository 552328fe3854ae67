// Spring model and the spring-object base it builds on: counts, rest lengths, the angle
// term against hand-worked values, giving everything back, and failed builds.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "physics/bodies/bodytest.h"
#include "physics/springmodel.h"
#include "support/testutil.h"

namespace {

void clearForces(Systems& w)
{
    for (Particle* p = w.par.first(); p; p = p->next) p->force = Vec3(0, 0, 0);
}

TEST(SpringModel, ClosedMeshGetsOneParticlePerVertexAndOneSpringPerEdge)
{
    auto mesh = meshFromText(kOctahedron);
    ASSERT_TRUE(mesh);
    ASSERT_EQ(mesh->edges.size(), 12u);
    Systems w;
    SpringModel body;
    ASSERT_TRUE(body.init(&w.par, &w.springs));
    ASSERT_TRUE(body.buildFromModel(mesh.get()));

    EXPECT_EQ(body.vertex.size(), 6u);
    EXPECT_EQ(w.par.liveCount(), 6);
    ASSERT_EQ(body.spring.size(), 12u);  // 3F/2
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(body.vertex[i]->pos, mesh->vertices[i]);
        EXPECT_EQ(body.vertex[i]->invMass, 1.0f);
    }
    for (int index : body.spring) {
        const Spring& s = w.springs.spring[index];
        EXPECT_TRUE(s.active);
        EXPECT_EQ(s.ks, 700.0f);
        EXPECT_EQ(s.kd, 10.0f);
        EXPECT_FLOAT_EQ(s.rest, std::sqrt(2.0f));
        EXPECT_NE(s.p0, s.p1);
    }
    // Every face of the octahedron is equilateral.
    for (size_t k = 0; k < 8 * 4; ++k) {
        if (k % 4 != 3) {
            EXPECT_NEAR(body.cornerCos[k], 0.5f, 1e-6f);
        }
    }
}

TEST(SpringModel, EquilateralTriangleAtRestStillPushesEachFarCorner)
{
    const float h = std::sqrt(3.0f) / 2;
    char text[160];
    snprintf(text, sizeof text, "v 0 0 0\nv 1 0 0\nv 0.5 %.9g 0\nf 1 2 3\n", h);
    auto mesh = meshFromText(text);
    ASSERT_TRUE(mesh);
    Systems w;
    SpringModel body;
    body.init(&w.par, &w.springs);
    ASSERT_TRUE(body.buildFromModel(mesh.get()));
    EXPECT_TRUE(body.spring.empty());  // a lone triangle has no shared edge
    EXPECT_NEAR(body.cornerCos[0], 0.5f, 1e-6f);

    clearForces(w);
    body.applyAngleForces();
    // Particle q is the far corner a of corner r = q + 1: it receives -0.05 v - 0.025 u
    // with u = P(q) - P(r) and v = P(r + 2) - P(r).
    for (int q = 0; q < 3; ++q) {
        int r = (q + 1) % 3, c = (q + 2) % 3;
        Vec3 u = body.vertex[q]->pos - body.vertex[r]->pos;
        Vec3 v = body.vertex[c]->pos - body.vertex[r]->pos;
        EXPECT_VEC_NEAR(body.vertex[q]->force, v * -0.05f - u * 0.025f, 1e-6f);
    }
}

TEST(SpringModel, RightAngledCornerAtRestGivesNoAngleForce)
{
    auto mesh = meshFromText("v 0 0 0\nv 2 0 0\nv 0 3 0\nf 1 2 3\n");
    ASSERT_TRUE(mesh);
    Systems w;
    SpringModel body;
    body.init(&w.par, &w.springs);
    ASSERT_TRUE(body.buildFromModel(mesh.get()));
    clearForces(w);
    body.applyAngleForces();
    // Vertex 3 is only ever the far corner of the right angle at vertex 1.
    EXPECT_VEC_EQ(body.vertex[2]->force, Vec3(0, 0, 0));
    EXPECT_GT(lengthSquared(body.vertex[0]->force), 0.0f);

    // Bending the right angle open pulls the far corner back towards it.
    body.vertex[2]->pos = Vec3(-0.5f, 3, 0);
    clearForces(w);
    body.applyAngleForces();
    EXPECT_GT(body.vertex[2]->force.x, 0.0f);
}

TEST(SpringModel, AngleForcesOfABentMeshFollowTheCornerFormulaExactly)
{
    // Eight triangles (blocks of four only) and a fan of five (a block and one more).
    const char* meshes[] = {kOctahedron,
                            "v 0 0 0\nv 2 0 0\nv 1.5 1.5 0\nv 0 2 0\nv -1.5 1.5 0\nv -2 0 0\nv 0 0 1\n"
                            "f 1 2 3\nf 1 3 4\nf 1 4 5\nf 1 5 6\nf 7 2 3\n"};
    for (const char* text : meshes) {
        auto mesh = meshFromText(text);
        ASSERT_TRUE(mesh);
        Systems w;
        SpringModel body;
        body.init(&w.par, &w.springs);
        ASSERT_TRUE(body.buildFromModel(mesh.get()));
        for (size_t i = 0; i < body.vertex.size(); ++i)
            body.vertex[i]->pos += Vec3(0.1f * i, -0.07f * i * i, 0.05f * (i % 3));
        clearForces(w);
        body.applyAngleForces();

        // Corner by corner, as written: u, v from corner r, the rest cosine, then G.
        std::vector<Vec3> expect(body.vertex.size());
        for (size_t t = 0; t < mesh->triangles.size(); ++t) {
            const ObjTriangle& tri = mesh->triangles[t];
            for (int r = 0; r < 3; ++r) {
                const int a = (r + 2) % 3, c = (r + 1) % 3;
                const Vec3 pr = body.vertex[tri.corner[r].vertex]->pos;
                const Vec3 u = body.vertex[tri.corner[a].vertex]->pos - pr;
                const Vec3 v = body.vertex[tri.corner[c].vertex]->pos - pr;
                const float iu = 1 / length(u), iv = 1 / length(v), d = dot(u, v);
                const float c0 = body.cornerCos[4 * t + r];
                const Vec3 g = v * (2 * d * iu * iv) - u * (d * d * iu * iu * iu * iv) - v * c0 + u * (c0 * iu * iu);
                expect[tri.corner[a].vertex] += g * -0.1f;
            }
        }
        for (size_t i = 0; i < expect.size(); ++i) EXPECT_VEC_EQ(body.vertex[i]->force, expect[i]) << i;
    }
}

TEST(SpringModel, DegenerateTrianglesPutNoNaNIntoTheWorld)
{
    // A zero-length side at rest (vertices 1 and 2 coincide), and a healthy triangle that
    // collapses later.
    // (Five triangles, so that both the four-wide and the one-by-one paths meet them.)
    auto mesh = meshFromText("v 0 0 0\nv 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\nv 2 0 0\nv 2 1 0\n"
                             "f 1 2 3\nf 3 5 4\nf 3 6 5\nf 6 7 5\nf 1 3 2\n");
    ASSERT_TRUE(mesh);
    Systems w;
    SpringModel body;
    body.init(&w.par, &w.springs);
    ASSERT_TRUE(body.buildFromModel(mesh.get()));
    for (int k = 0; k < 20; ++k) EXPECT_FALSE(std::isnan(body.cornerCos[k])) << k;

    body.vertex[4]->pos = body.vertex[3]->pos;
    for (int pass = 0; pass < 2; ++pass) {
        clearForces(w);
        body.applyAngleForces();
        for (Particle* p : body.vertex) {
            EXPECT_TRUE(std::isfinite(p->force.x) && std::isfinite(p->force.y) && std::isfinite(p->force.z));
        }
        body.restretch();  // rest angles measured on the collapsed shape are skipped too
    }
}

TEST(SpringModel, ReleaseAndRebuildGiveEverythingBack)
{
    auto mesh = meshFromText(kOctahedron);
    Systems w;
    Particle* other = w.par.allocParticle();  // someone else's particle and spring
    int otherSpring = w.springs.allocSpring();
    {
        SpringModel body;
        body.init(&w.par, &w.springs);
        ASSERT_TRUE(body.buildFromModel(mesh.get()));
        ASSERT_TRUE(body.buildFromModel(mesh.get()));  // the second build gives the first back
        EXPECT_EQ(w.par.liveCount(), 7);
        EXPECT_EQ(w.activeSprings(), 13);
        EXPECT_EQ(w.springs.count(), 13);

        body.release();
        EXPECT_EQ(w.par.liveCount(), 1);
        EXPECT_EQ(w.activeSprings(), 1);
        EXPECT_TRUE(body.vertex.empty() && body.spring.empty());
        EXPECT_EQ(body.model, nullptr);
        body.release();  // a second release does nothing
        EXPECT_EQ(w.par.liveCount(), 1);

        body.init(&w.par, &w.springs);
        ASSERT_TRUE(body.buildFromModel(mesh.get()));
    }
    // Destruction gives back as release does; the lowest freed slot is reused first.
    EXPECT_EQ(w.par.liveCount(), 1);
    EXPECT_EQ(w.par.first(), other);
    EXPECT_TRUE(w.springs.spring[otherSpring].active);
    EXPECT_EQ(w.springs.allocSpring(), 1);
}

TEST(SpringModel, ScaleMovesPositionsOnlyUntilRestretch)
{
    auto mesh = meshFromText(kOctahedron);
    Systems w;
    SpringModel body;
    body.init(&w.par, &w.springs);
    ASSERT_TRUE(body.buildFromModel(mesh.get()));
    const float rest = std::sqrt(2.0f);

    body.restretch();  // right after building: unchanged
    EXPECT_FLOAT_EQ(w.springs.spring[body.spring[0]].rest, rest);

    body.scale(Vec3(2, 2, 2));
    EXPECT_VEC_EQ(body.vertex[0]->pos, Vec3(2, 0, 0));
    EXPECT_FLOAT_EQ(w.springs.spring[body.spring[0]].rest, rest);
    // Without restretch the stretched springs pull the body back in.
    clearForces(w);
    w.springs.applySpringForces(w.par);
    EXPECT_LT(body.vertex[0]->force.x, 0.0f);

    body.restretch();
    for (int index : body.spring) EXPECT_FLOAT_EQ(w.springs.spring[index].rest, 2 * rest);
    clearForces(w);
    w.springs.applySpringForces(w.par);
    EXPECT_NEAR(body.vertex[0]->force.x, 0.0f, 1e-4f);

    body.setKs(5);
    body.setKd(0.5f);
    for (int index : body.spring) {
        EXPECT_EQ(w.springs.spring[index].ks, 5.0f);
        EXPECT_EQ(w.springs.spring[index].kd, 0.5f);
    }

    body.translate(Vec3(1, 2, 3));
    body.rotate(fromAxisAngle(Vec3(0, 0, 1), 90));
    EXPECT_VEC_NEAR(body.vertex[0]->pos, Vec3(-2, 3, 3), 1e-5f);
}

TEST(SpringModel, FacingFlagsFollowTheLight)
{
    auto mesh = meshFromText(kOctahedron);
    Systems w;
    SpringModel body;
    body.init(&w.par, &w.springs);
    ASSERT_TRUE(body.buildFromModel(mesh.get()));
    body.computeFacing(Quat(0, 0, 10, 1));  // a point light high above: the upper half faces it
    for (int t = 0; t < 8; ++t) EXPECT_EQ(body.cornerCos[4 * t + 3], t < 4 ? 1.0f : 0.0f) << t;
    body.computeFacing(Quat(0, 0, -1, 0));  // a light from straight below, at infinity
    for (int t = 0; t < 8; ++t) EXPECT_EQ(body.cornerCos[4 * t + 3], t < 4 ? 0.0f : 1.0f) << t;
    // The rest cosines are untouched.
    EXPECT_NEAR(body.cornerCos[0], 0.5f, 1e-6f);
}

TEST(SpringModel, EmptyOrFailedBodiesAreHarmless)
{
    Systems w;
    SpringModel body;
    body.init(&w.par, &w.springs);
    // A model that failed to load: an empty body.
    EXPECT_TRUE(body.buildFromModel(nullptr));
    body.applyAngleForces();
    body.draw();
    body.translate(Vec3(1, 1, 1));
    EXPECT_EQ(w.par.liveCount(), 0);

    // The pool runs out half way: the build fails, keeps what it took until released,
    // and neither the force hook nor a later scene key reaches a missing particle.
    auto mesh = meshFromText(kOctahedron);
    w.exhaust(4);
    const int before = w.par.liveCount();
    EXPECT_FALSE(body.buildFromModel(mesh.get()));
    EXPECT_EQ(w.par.liveCount(), before + 4);
    body.applyAngleForces();
    body.draw();
    body.translate(Vec3(0, 0, 1));
    body.restretch();
    body.release();
    EXPECT_EQ(w.par.liveCount(), before);
}

}  // namespace
