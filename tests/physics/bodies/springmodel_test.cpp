// Spring model and the spring-object base it builds on: counts, rest lengths, the angle
// term against hand-worked values, the enclosed volume and its pressure, giving
// everything back, and failed builds.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "physics/bodies/bodytest.h"
#include "physics/springmodel.h"
#include "physics/springmodel_lanes.h"
#include "support/testutil.h"

namespace {

void clearForces(Systems& w)
{
    for (Particle* p = w.par.first(); p; p = p->next) p->force = Vec3(0, 0, 0);
}

// The regular icosahedron with its corners on a sphere of radius r, faces found as the
// triples of mutually nearest corners and wound outwards; reversed, wound inwards.
std::string icosahedron(float r, bool inward)
{
    const float g = (1 + std::sqrt(5.0f)) / 2, k = r / std::sqrt(1 + g * g);
    std::vector<Vec3> v;
    for (float a : {-1.0f, 1.0f})
        for (float b : {-g, g}) {
            v.push_back(Vec3(0, a, b) * k);
            v.push_back(Vec3(a, b, 0) * k);
            v.push_back(Vec3(b, 0, a) * k);
        }
    std::string text;
    char line[96];
    for (const Vec3& p : v) {
        snprintf(line, sizeof line, "v %.9g %.9g %.9g\n", p.x, p.y, p.z);
        text += line;
    }
    const float edge = 2 * k * 1.01f;
    for (int a = 0; a < 12; ++a)
        for (int b = a + 1; b < 12; ++b)
            for (int c = b + 1; c < 12; ++c) {
                if (length(v[a] - v[b]) > edge || length(v[b] - v[c]) > edge || length(v[a] - v[c]) > edge) continue;
                const bool out = dot(cross(v[b] - v[a], v[c] - v[a]), v[a]) > 0;
                snprintf(line, sizeof line, "f %d %d %d\n", a + 1, out != inward ? b + 1 : c + 1,
                         out != inward ? c + 1 : b + 1);
                text += line;
            }
    return text;
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

// The sweeps under the angle and pressure passes: the lanes must give the scalar
// reference's bits, forces, gradient rows and sums alike, over whole blocks of four
// triangles and the ones left over, an odd number of vertices, corners without a rest
// angle and sides of no length.
TEST(SpringModel, LaneSweepsGiveTheScalarBits)
{
#ifndef __SSE2__
    GTEST_SKIP() << "no lanes in this build";
#else
    namespace scalar = modelforces::scalar;
    namespace lanes = modelforces::lanes;
    struct Sweeps {
        decltype(&scalar::angles) angles;
        decltype(&scalar::anglesAndNormals) anglesAndNormals;
        decltype(&scalar::normals) normals;
        decltype(&scalar::gasSums) gasSums;
    };
    const Sweeps reference{scalar::angles, scalar::anglesAndNormals, scalar::normals, scalar::gasSums};
    const Sweeps simd{lanes::angles, lanes::anglesAndNormals, lanes::normals, lanes::gasSums};

    struct alignas(16) Row {
        float v[4];
    };
    struct Result {
        std::vector<Vec3> force;
        std::vector<Row> grad;
        double six[2];
        modelforces::GasSums gas;
    };
    // Sizes spread over six decades, so that sums taken in another order round otherwise;
    // a few worlds, since a single one may round alike by chance.
    for (uint32_t world = 1; world <= 8; ++world) {
        uint32_t seed = world;
        auto rnd = [&seed]() {
            seed = seed * 1664525u + 1013904223u;
            return static_cast<float>(seed >> 8) / 16777216.0f;
        };
        Systems w;
        const size_t n = 61, count = 203;
        std::vector<Particle*> vertex;
        for (size_t i = 0; i < n; ++i) {
            Particle* p = w.par.allocParticle();
            p->pos = Vec3(rnd() - 0.5f, rnd() - 0.5f, rnd() - 0.5f) * std::pow(10.0f, 6 * rnd() - 3);
            p->vel = Vec3(rnd() - 0.5f, rnd() - 0.5f, rnd() - 0.5f) * std::pow(10.0f, 4 * rnd() - 2);
            vertex.push_back(p);
        }
        vertex[1]->pos = vertex[0]->pos;
        std::vector<Particle*> corner;
        std::vector<int> row;
        std::vector<float> restCos;
        for (size_t t = 0; t < count; ++t) {
            for (size_t k : {t % n, (7 * t + 3) % n, (13 * t + 1) % n}) {
                corner.push_back(vertex[k]);
                row.push_back(static_cast<int>(4 * k));
            }
            for (int k = 0; k < 4; ++k)
                restCos.push_back(t % 9 == 4 && k == 1 ? modelforces::kNoRestAngle : 2 * rnd() - 1);
        }
        auto run = [&](const Sweeps& s) {
            Result r;
            r.grad.assign(n, Row{});
            clearForces(w);
            s.angles(corner.data(), restCos.data(), count);
            r.six[0] = s.anglesAndNormals(corner.data(), restCos.data(), row.data(), r.grad[0].v, count);
            r.six[1] = s.normals(corner.data(), row.data(), r.grad[0].v, count);
            r.gas = s.gasSums(r.grad[0].v, vertex.data(), n);
            for (Particle* p : vertex) r.force.push_back(p->force);
            return r;
        };
        const Result want = run(reference), got = run(simd);
        EXPECT_EQ(std::memcmp(want.force.data(), got.force.data(), n * sizeof(Vec3)), 0) << world;
        EXPECT_EQ(std::memcmp(want.grad.data(), got.grad.data(), n * sizeof(Row)), 0) << world;
        EXPECT_EQ(std::memcmp(want.six, got.six, sizeof want.six), 0) << world;
        EXPECT_EQ(std::memcmp(&want.gas.sixRate, &got.gas.sixRate, sizeof(double)), 0) << world;
        EXPECT_EQ(std::memcmp(&want.gas.gradSquare, &got.gas.gradSquare, sizeof(double)), 0) << world;
    }
#endif
}

TEST(SpringModel, VolumeOfClosedMeshesMatchesClosedFormsWhereverTheBodyIs)
{
    const float r = 3;
    const float a = r / std::sin(2 * 3.14159265f / 5);  // the icosahedron's edge
    const float ico = 5.0f / 12 * (3 + std::sqrt(5.0f)) * a * a * a;
    const std::string out = icosahedron(r, false), in = icosahedron(r, true);
    struct Case {
        const char* text;
        float volume;
    };
    const Case cases[] = {{kCube, 8}, {kOctahedron, 4.0f / 3}, {out.c_str(), ico}, {in.c_str(), -ico}};
    for (const Case& c : cases) {
        auto mesh = meshFromText(c.text);
        ASSERT_TRUE(mesh);
        Systems w;
        SpringModel body;
        body.init(&w.par, &w.springs);
        ASSERT_TRUE(body.buildFromModel(mesh.get()));
        EXPECT_TRUE(body.closed()) << c.volume;
        EXPECT_NEAR(body.volume(), c.volume, 1e-5f * std::fabs(c.volume));
        body.rotate(fromAxisAngle(normalised(Vec3(1, 2, -3)), 37));
        body.translate(Vec3(120, -45, 300));
        EXPECT_NEAR(body.volume(), c.volume, 1e-4f * std::fabs(c.volume));
    }
}

// The force on each corner is the pressure times the volume's gradient there, so the gas
// does the work it loses; an open mesh refuses the key, and a body crushed flat (or a
// pressure of nothing) puts no unbounded or non-finite force into the world.
TEST(SpringModel, PressurePushesAlongTheVolumeGradientOfClosedMeshesOnly)
{
    auto mesh = meshFromText(kOctahedron);
    Systems w;
    SpringModel body;
    body.init(&w.par, &w.springs);
    ASSERT_TRUE(body.buildFromModel(mesh.get()));
    ASSERT_TRUE(body.setPressure(50));
    EXPECT_FLOAT_EQ(body.restVolume, 4.0f / 3);
    clearForces(w);
    body.applyPressureForces();
    for (Particle* p : body.vertex) EXPECT_VEC_EQ(p->force, Vec3(0, 0, 0));  // nil at rest

    // Squashed to half height and scattered, at rest: P = 50 (V0 / V − 1) on dV/dx.
    for (size_t i = 0; i < body.vertex.size(); ++i) {
        const Vec3 q = body.vertex[i]->pos;
        body.vertex[i]->pos = Vec3(q.x + 0.03f * i, q.y - 0.02f * i, q.z * 0.5f + 0.01f * (i % 2));
    }
    const float V = body.volume();
    const float P = 50 * (4.0f / 3 / V - 1);
    clearForces(w);
    body.applyPressureForces();
    for (Particle* p : body.vertex) {
        Vec3 grad;
        for (int x = 0; x < 3; ++x) {
            const float at = p->pos[x], h = 1e-2f;
            p->pos[x] = at + h;
            const float up = body.volume();
            p->pos[x] = at - h;
            grad[x] = (up - body.volume()) / (2 * h);
            p->pos[x] = at;
        }
        EXPECT_VEC_NEAR(p->force, grad * P, 2e-3f * P);
    }

    // Crushed nearly and then wholly flat: finite, still pushing the top up, and no
    // harder than at a tenth of the rest volume (P = 450 on gradients below 1).
    for (float squash : {0.01f, 0.0f}) {
        for (size_t i = 0; i < body.vertex.size(); ++i) body.vertex[i]->pos = mesh->vertices[i] * 1;
        for (Particle* p : body.vertex) p->pos.z *= squash;
        clearForces(w);
        body.applyPressureForces();
        for (Particle* p : body.vertex) {
            EXPECT_TRUE(std::isfinite(p->force.x) && std::isfinite(p->force.y) && std::isfinite(p->force.z));
            EXPECT_LE(length(p->force), 450) << squash;
        }
        EXPECT_GT(body.vertex[4]->force.z, 100) << squash;
    }

    // Wound inside out, the body still pushes outwards when squashed.
    auto inverted = meshFromText("v 1 0 0\nv -1 0 0\nv 0 1 0\nv 0 -1 0\nv 0 0 1\nv 0 0 -1\n"
                                 "f 1 5 3\nf 3 5 2\nf 2 5 4\nf 4 5 1\nf 3 6 1\nf 2 6 3\nf 4 6 2\nf 1 6 4\n");
    SpringModel inside;
    inside.init(&w.par, &w.springs);
    ASSERT_TRUE(inside.buildFromModel(inverted.get()));
    ASSERT_TRUE(inside.setPressure(50));
    EXPECT_FLOAT_EQ(inside.restVolume, -4.0f / 3);
    for (Particle* p : inside.vertex) p->pos.z *= 0.5f;
    clearForces(w);
    inside.applyPressureForces();
    EXPECT_GT(inside.vertex[4]->force.z, 0);
    EXPECT_LT(inside.vertex[5]->force.z, 0);
    inside.release();

    // Within a force pass the angle pass leaves the normals for the pressure pass, which
    // then pushes as it does alone: also when the triangles do not fill blocks of four
    // (the bipyramid's six), and when an angle pass's normals went unused.
    const char* bipyramid = "v 1 0 0\nv -0.5 0.866 0\nv -0.5 -0.866 0\nv 0 0 1\nv 0 0 -1\n"
                            "f 1 2 4\nf 2 3 4\nf 3 1 4\nf 2 1 5\nf 3 2 5\nf 1 3 5\n";
    for (const char* text : {kOctahedron, bipyramid}) {
        auto shape = meshFromText(text);
        SpringModel gas;
        gas.init(&w.par, &w.springs);
        ASSERT_TRUE(gas.buildFromModel(shape.get()));
        ASSERT_TRUE(gas.setPressure(50));
        for (size_t i = 0; i < gas.vertex.size(); ++i) {
            Particle* p = gas.vertex[i];
            p->pos = Vec3(p->pos.x + 0.03f * i, p->pos.y, p->pos.z * 0.6f);
        }
        auto forces = [&] {
            std::vector<Vec3> f;
            for (Particle* p : gas.vertex) f.push_back(p->force);
            return f;
        };
        clearForces(w);
        gas.applyPressureForces();
        const std::vector<Vec3> still = forces();
        // The gas's viscosity resists a swelling by its rate alone, whichever way the body
        // swells and however it drifts meanwhile.
        std::vector<Vec3> swelling[3];
        for (int x = 0; x < 3; ++x) {
            for (Particle* p : gas.vertex) {
                p->vel = Vec3(0.1f, -0.2f, 0);
                p->vel[x] += 5 * p->pos[x];
            }
            clearForces(w);
            gas.applyPressureForces();
            swelling[x] = forces();
            EXPECT_LT(length(swelling[x][0]), 0.95f * length(still[0])) << text;
            EXPECT_VEC_NEAR(swelling[x][0], swelling[0][0], 1e-4f * length(still[0])) << text;
        }
        const std::vector<Vec3>& alone = swelling[2];
        Vec3 net(0, 0, 0);  // a gas moves no closed body as a whole
        for (const Vec3& f : alone) net += f;
        EXPECT_VEC_NEAR(net, Vec3(0, 0, 0), 1e-4f * length(alone[0])) << text;
        EXPECT_GT(length(alone[0]), 1.0f) << text;
        clearForces(w);
        gas.applyAngleForces();
        const std::vector<Vec3> angle = forces();
        gas.applyAngleForces();
        gas.applyPressureForces();
        for (size_t i = 0; i < alone.size(); ++i) {
            const float tol = 1e-4f * (1 + length(alone[i]));
            EXPECT_VEC_NEAR(gas.vertex[i]->force, angle[i] * 2 + alone[i], tol) << text;
        }
        clearForces(w);
        gas.applyPressureForces();
        for (size_t i = 0; i < alone.size(); ++i)
            EXPECT_VEC_NEAR(gas.vertex[i]->force, alone[i], 1e-4f * (1 + length(alone[i]))) << text;
        gas.release();
    }
    for (Particle* p : body.vertex) p->pos.z = 0;

    // Restretch takes the volume it finds as the rest volume.
    body.restretch();
    EXPECT_EQ(body.restVolume, 0.0f);
    clearForces(w);
    body.applyPressureForces();
    for (Particle* p : body.vertex) EXPECT_VEC_EQ(p->force, Vec3(0, 0, 0));

    // An octahedron missing a face, and a pressure below nothing, are refused by name.
    auto open = meshFromText("v 1 0 0\nv -1 0 0\nv 0 1 0\nv 0 -1 0\nv 0 0 1\nv 0 0 -1\n"
                             "f 1 3 5\nf 3 2 5\nf 2 4 5\nf 4 1 5\nf 3 1 6\nf 2 3 6\nf 4 2 6\n");
    SpringModel lid;
    lid.init(&w.par, &w.springs);
    ASSERT_TRUE(lid.buildFromModel(open.get()));
    EXPECT_FALSE(lid.closed());
    StdoutCapture capture;
    capture.begin();
    EXPECT_FALSE(lid.setPressure(50));
    EXPECT_FALSE(body.setPressure(-1));
    EXPECT_EQ(capture.end(), "the springmodel mesh.obj is not a closed mesh, so it gets no pressure\n"
                             "the springmodel mesh.obj cannot take a pressure below 0\n");
    EXPECT_EQ(lid.pressure, 0.0f);
    EXPECT_EQ(body.pressure, 0.0f);
    for (Particle* p : lid.vertex) p->pos = p->pos * 0.5f;
    clearForces(w);
    lid.applyPressureForces();
    for (Particle* p : lid.vertex) EXPECT_VEC_EQ(p->force, Vec3(0, 0, 0));
}

// However strong the gas, however the skin is stretched or crushed, the explicit 1/60 s
// step keeps the body finite: a gas too strong at rest gets the most its skin can hold,
// in words, and a gas that grows too strong as the skin moves is held back on the step.
TEST(SpringModel, NoGasOutrunsTheExplicitStep)
{
    struct Case {
        const char* name;
        float pressure, reshape;  // positions scaled by reshape after the pressure line
        bool capped;
    };
    for (const Case& c : {Case{"strong", 1e4f, 1, true}, Case{"scaled down", 1000, 0.5f, false},
                          Case{"stretched", 1000, 3, false}, Case{"crushed", 1000, 0.05f, false}}) {
        auto mesh = meshFromText(kCube);
        Systems w;
        SpringModel body;
        body.init(&w.par, &w.springs);
        ASSERT_TRUE(body.buildFromModel(mesh.get()));
        body.setKs(400);
        body.setKd(10);
        StdoutCapture capture;
        capture.begin();
        ASSERT_TRUE(body.setPressure(c.pressure));
        const std::string said = capture.end();
        if (c.capped) {
            // The most at rest: p·|dV/dx|²/V0 = 3600 per second squared.
            float g2 = 0;
            for (Particle* p : body.vertex)
                for (int x = 0; x < 3; ++x) {
                    const float at = p->pos[x], d = 1e-2f;
                    p->pos[x] = at + d;
                    const float up = body.volume();
                    p->pos[x] = at - d;
                    const float slope = (up - body.volume()) / (2 * d);
                    p->pos[x] = at;
                    g2 += slope * slope;
                }
            const float most = 3600 * 8 / g2;
            EXPECT_NEAR(body.pressure, most, 1e-3f * most) << c.name;
            char line[128];
            std::snprintf(line, sizeof line, "the springmodel mesh.obj gets pressure %g, the most its skin can hold\n",
                          body.pressure);
            EXPECT_EQ(said, line) << c.name;
        } else {
            EXPECT_EQ(said, "") << c.name;
            EXPECT_EQ(body.pressure, c.pressure) << c.name;
        }
        for (Particle* p : body.vertex) p->pos = p->pos * c.reshape + Vec3(0.01f, -0.02f, 0.03f) * p->pos.x;
        const float h = 1.0f / 60;
        float worst = 0;
        for (int step = 0; step < 600; ++step) {
            clearForces(w);
            w.springs.applySpringForces(w.par);
            body.applyAngleForces();
            body.applyPressureForces();
            for (Particle* p : body.vertex) {
                p->pos += p->vel * h;
                p->vel += p->force * h;
            }
            for (Particle* p : body.vertex) worst = std::max(worst, length(p->pos));
        }
        EXPECT_LT(worst, 100) << c.name << ": the body flew apart";
        for (Particle* p : body.vertex) ASSERT_LT(length(p->vel), 1) << c.name << ": still ringing";
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

// Every body takes its springs through one door: a spring without both ends is refused
// before it takes a slot, while one from a particle to itself (a mesh whose faces repeat a
// corner has such an edge) is taken, so that the mesh still gets its body.
TEST(SpringObj, SpringsWithoutBothEndsAreRefusedBeforeTakingASlot)
{
    struct Taker : SpringObj {
        using SpringObj::takeSpring;
    };
    Systems w;
    Particle* a = w.par.allocParticle();
    Taker body;
    body.init(&w.par, &w.springs);
    EXPECT_FALSE(body.takeSpring(nullptr, a, 1, 2, 3));
    EXPECT_FALSE(body.takeSpring(a, nullptr, 1, 2, 3));
    EXPECT_EQ(w.springs.count(), 0);
    EXPECT_TRUE(body.spring.empty());

    auto mesh = meshFromText("v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 1 2\nf 1 1 3\n");
    ASSERT_TRUE(mesh);
    SpringModel model;
    model.init(&w.par, &w.springs);
    ASSERT_TRUE(model.buildFromModel(mesh.get()));
    ASSERT_EQ(model.spring.size(), 1u);
    const Spring& s = w.springs.spring[model.spring[0]];
    EXPECT_TRUE(s.active);
    EXPECT_EQ(s.p0, s.p1);
    EXPECT_EQ(s.ks, 700.0f);
    clearForces(w);
    w.springs.applySpringForces(w.par);
    EXPECT_VEC_EQ(s.p0->force, Vec3(0, 0, 0));
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

    // The pool runs out half way: the build fails and gives back at once what it took,
    // and neither the force hook nor a later scene key reaches a missing particle.
    auto mesh = meshFromText(kOctahedron);
    w.exhaust(4);
    const int before = w.par.liveCount();
    EXPECT_FALSE(body.buildFromModel(mesh.get()));
    EXPECT_EQ(w.par.liveCount(), before);
    EXPECT_TRUE(body.vertex.empty());
    body.applyAngleForces();
    body.draw();
    body.translate(Vec3(0, 0, 1));
    body.restretch();
    body.release();
    EXPECT_EQ(w.par.liveCount(), before);
}

}  // namespace
