// The scene's force pass and both integrators against closed forms and a fine reference.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "physics/bodies/bodytest.h"
#include "physics/springmodel.h"
#include "scene/parscene.h"
#include "support/testutil.h"

namespace {
constexpr float kDt = 1.0f / 60.0f;

// A scene with an empty world and n particles at rest with inverse mass 1.
struct World {
    ParScene scene;
    explicit World(bool rk4)
    {
        scene.parSys.init();
        scene.emittedParticles.init(&scene.parSys);
        scene.useRk4 = rk4;
    }
    Particle* add(const Vec3& pos, float invMass = 1, const Vec3& vel = {0, 0, 0})
    {
        Particle* p = scene.parSys.allocParticle();
        p->pos = pos;
        p->vel = vel;
        p->invMass = invMass;
        return p;
    }
};

// Exact fall with linear drag k = 0.04 and gravity g = 180 from rest.
double exactVel(double t) { return -180.0 / 0.04 * (1 - std::exp(-0.04 * t)); }
double exactDrop(double t) { return -180.0 / 0.04 * t + 180.0 / (0.04 * 0.04) * (1 - std::exp(-0.04 * t)); }

// A particle of inverse mass 0.5 on a damped spring to a pinned anchor at the origin,
// with gravity and drag: position and velocity, and their rates written out in double.
constexpr double kKs = 200, kKd = 7.2, kRest = 2, kInvMass = 0.5;
using State = std::array<double, 6>;
State rates(const State& s)
{
    const double L = std::sqrt(s[0] * s[0] + s[1] * s[1] + s[2] * s[2]);
    const double radial = ((L - kRest) * kKs + (s[0] * s[3] + s[1] * s[4] + s[2] * s[5]) * kKd / L) / L;
    State r{s[3], s[4], s[5]};
    for (int i = 0; i < 3; ++i) r[3 + i] = (-s[i] * radial - 0.04 * s[3 + i]) * kInvMass;
    r[5] -= 180;
    return r;
}
// Midpoint rule in 20000 substeps: a reference far finer than any error a step can make.
State fineReference(State s, double dt)
{
    const int n = 20000;
    const double h = dt / n;
    for (int k = 0; k < n; ++k) {
        const State a = rates(s);
        State mid;
        for (int i = 0; i < 6; ++i) mid[i] = s[i] + a[i] * h / 2;
        const State b = rates(mid);
        for (int i = 0; i < 6; ++i) s[i] += b[i] * h;
    }
    return s;
}
}  // namespace

TEST(Integrators, OneStepOfADampedSpringMatchesItsTruth)
{
    const State start{3, 1, 2, -20, 15, 10};
    // Euler: the position moves with the old velocity, the velocity with the old forces.
    const State a = rates(start);
    State euler;
    for (int i = 0; i < 6; ++i) euler[i] = start[i] + (i < 3 ? start[3 + i] : a[i]) * kDt;
    // Fourth order: within its own local error of the fine reference, about 2e-6 in
    // position and 3e-5 in velocity; any wrong stage fraction or weight is off by ten
    // times the tolerance or more.
    const struct {
        bool rk4;
        State expected;
        double posTol, velTol;
    } cases[] = {{false, euler, 2e-6, 2e-5}, {true, fineReference(start, kDt), 1.5e-5, 2.5e-4}};
    for (const auto& c : cases) {
        World w(c.rk4);
        Particle* anchor = w.add({0, 0, 0}, 0);
        Particle* p = w.add(Vec3(float(start[0]), float(start[1]), float(start[2])), float(kInvMass),
                            Vec3(float(start[3]), float(start[4]), float(start[5])));
        const int s = w.scene.springSys.allocSpring();
        w.scene.springSys.spring[s] = {true, p, anchor, float(kRest), float(kKs), float(kKd)};
        w.scene.step(kDt);
        for (int i = 0; i < 3; ++i) {
            EXPECT_NEAR(p->pos[i], c.expected[i], c.posTol) << c.rk4 << " " << i;
            EXPECT_NEAR(p->vel[i], c.expected[3 + i], c.velTol) << c.rk4 << " " << i;
        }
    }
}

TEST(Integrators, EulerFreeFallIsExactForOneStepAndFollowsItsRecurrence)
{
    World w(false);
    Particle* p = w.add({5, 6, 100});
    w.scene.step(kDt);
    EXPECT_EQ(p->pos, Vec3(5, 6, 100));  // moves with the velocity from before the step
    EXPECT_EQ(p->vel, Vec3(0, 0, -180 * kDt));
    EXPECT_EQ(p->prevPos, Vec3(5, 6, 100));

    // n steps: v_n = −(g/k)(1 − (1 − k·dt)^n), z_n = z0 + dt·Σ v_i.
    double v = 0, z = 100;
    for (int i = 1; i < 120; ++i) {
        z += v * kDt;
        v += (-0.04 * v - 180) * kDt;
        w.scene.step(kDt);
    }
    z += v * kDt;
    v += (-0.04 * v - 180) * kDt;
    EXPECT_NEAR(p->vel.z, (-180 / 0.04) * (1 - std::pow(1 - 0.04 * kDt, 120)), 1e-2);
    EXPECT_NEAR(p->vel.z, v, 1e-2);
    EXPECT_NEAR(p->pos.z, z, 1e-2);
    EXPECT_EQ(p->pos.x, 5);
}

TEST(Integrators, Rk4FreeFallMatchesTheExactDraggedSolution)
{
    World w(true);
    Particle* p = w.add({0, 0, 0});
    w.scene.step(kDt);
    // Without drag: v = −180·dt and z = −90·dt²; the drag term makes the only difference.
    EXPECT_NEAR(p->vel.z, -180 * kDt, 180 * kDt * 0.04 * kDt);
    EXPECT_NEAR(p->pos.z, -90 * kDt * kDt, 90 * kDt * kDt * 0.04 * kDt);
    EXPECT_NEAR(p->vel.z, exactVel(kDt), 1e-5);
    EXPECT_NEAR(p->pos.z, exactDrop(kDt), 1e-6);
    for (int i = 1; i < 300; ++i) w.scene.step(kDt);
    EXPECT_NEAR(p->vel.z, exactVel(300 * kDt), 2e-3);
    EXPECT_NEAR(p->pos.z, exactDrop(300 * kDt), 2e-3);
}

TEST(Integrators, PinnedParticlesKeepTheirVelocityAndZeroStepMovesNothing)
{
    for (bool rk4 : {false, true}) {
        World w(rk4);
        Particle* still = w.add({0, 0, 0}, 0);
        Particle* drifting = w.add({0, 0, 0}, 0, {1, 0, 0});
        Particle* free = w.add({5, 0, 0}, 1);
        // A stiff spring pulls on the pinned particles too.
        int s = w.scene.springSys.allocSpring();
        w.scene.springSys.spring[s] = {true, still, free, 1, 360, 3.6f};
        for (int i = 0; i < 10; ++i) w.scene.step(kDt);
        EXPECT_EQ(still->pos, Vec3(0, 0, 0)) << rk4;
        EXPECT_EQ(still->vel, Vec3(0, 0, 0)) << rk4;
        EXPECT_EQ(drifting->vel, Vec3(1, 0, 0)) << rk4;
        EXPECT_NEAR(drifting->pos.x, 10 * kDt, 1e-6) << rk4;
        EXPECT_NE(still->force, Vec3(0, 0, 0)) << rk4;  // forces were applied, just not felt

        const Vec3 before = free->pos;
        const Vec3 vBefore = free->vel;
        w.scene.step(0);
        EXPECT_EQ(free->pos, before) << rk4;
        EXPECT_EQ(free->vel, vBefore) << rk4;
    }
}

// Two particles on a spring falling under gravity: the energy's terms against values
// worked by hand, then a second of flight and swing without drag or damping, where the
// fourth-order step keeps the sum and the Euler step gains it.
TEST(Energy, TwoParticlesOnASpringFallingUnderGravity)
{
    for (bool rk4 : {true, false}) {
        World w(rk4);
        Particle* a = w.add({0, 0, 10}, 1, {0, 0, -3});
        Particle* b = w.add({0, 0, 13}, 0.5f, {4, 0, -3});
        Particle* pinned = w.add({0, 0, 100}, 0, {5, 5, 5});  // no mass to move or lift
        int s = w.scene.springSys.allocSpring();
        w.scene.springSys.spring[s] = {true, a, b, 2, 100, 0};
        s = w.scene.springSys.allocSpring();
        w.scene.springSys.spring[s] = {true, a, pinned, 1, 1000, 0};
        w.scene.springSys.freeSpring(s);  // no longer in the world
        // ½·1·3² + ½·2·(4² + 3²); m·g·z of each; ½·100·(3 − 2)².
        WorldEnergy e = w.scene.energy();
        EXPECT_DOUBLE_EQ(e.kinetic, 4.5 + 25);
        EXPECT_DOUBLE_EQ(e.gravitational, 1 * 180 * 10 + 2 * 180 * 13);
        EXPECT_DOUBLE_EQ(e.spring, 50);
        EXPECT_DOUBLE_EQ(e.total(), 29.5 + 6480 + 50);
        w.scene.gravity = 100;  // the world's own gravity, not the one it started with
        EXPECT_DOUBLE_EQ(w.scene.energy().gravitational, 1 * 100 * 10 + 2 * 100 * 13);

        w.scene.gravity = kDefaultGravity;
        w.scene.airDrag = 0;
        const double before = w.scene.energy().total();
        for (int i = 0; i < 60; ++i) w.scene.step(kDt);
        e = w.scene.energy();
        EXPECT_LT(a->pos.z, 0) << rk4;  // it fell
        // The spring's swing (ω·dt ≈ 0.2) costs the fourth-order step under a part in a
        // million; Euler's step gains a twenty-fourth of the swing's energy each update
        // and m·g²·dt²/2 of the fall's.
        if (rk4)
            EXPECT_NEAR(e.total(), before, 0.05) << e.kinetic << " " << e.gravitational << " " << e.spring;
        else
            EXPECT_GT(e.total() - before, 500) << e.kinetic << " " << e.gravitational << " " << e.spring;
    }
}

TEST(ForcePass, DragGravitySinksAndSpringModelAngles)
{
    const float h = std::sqrt(3.0f) / 2;
    char text[160];
    snprintf(text, sizeof text, "v 0 0 0\nv 1 0 0\nv 0.5 %.9g 0\nf 1 2 3\n", h);
    auto mesh = meshFromText(text);  // outlives the scene that holds its body
    ASSERT_TRUE(mesh);
    World w(false);
    Particle* p = w.add({0, 0, 0}, 0.5f, {10, 0, 0});
    Sink* s = new Sink;
    s->pos = {0, 1, 0};
    s->strength = 2000;
    w.scene.sinks.push_back(s);
    w.scene.computeForces();
    // Drag −0.04·v, gravity 180/invMass, sink strength·d/(|d|²+1) peaking at distance 1.
    EXPECT_VEC_NEAR(p->force, Vec3(-0.4f, 1000, -360), 1e-4f);
    // On the sink itself: no pull.
    p->pos = s->pos;
    p->vel = {0, 0, 0};
    w.scene.computeForces();
    EXPECT_VEC_NEAR(p->force, Vec3(0, 0, -360), 1e-4f);
    // Far away the pull decays like strength / distance.
    p->pos = {0, 1001, 0};
    w.scene.computeForces();
    EXPECT_NEAR(p->force.y, -2000.0 * 1000 / (1000 * 1000 + 1), 1e-3);

    // A spring model's angle term joins in: a lone equilateral triangle of side 1 at rest
    // pushes each far corner a of a corner r by -0.05 v - 0.025 u, u and v its sides from r.
    w.scene.sinks.clear();
    delete s;
    SpringModel* body = new SpringModel;
    w.scene.springModels.push_back(body);
    body->init(&w.scene.parSys, &w.scene.springSys);
    ASSERT_TRUE(body->buildFromModel(mesh.get()));
    w.scene.computeForces();
    EXPECT_VEC_NEAR(body->vertex[0]->force, Vec3(0.05f, -0.05f * h, -180), 1e-5f);
    EXPECT_VEC_NEAR(body->vertex[1]->force, Vec3(0.0125f, 0.075f * h, -180), 1e-5f);
    EXPECT_VEC_NEAR(body->vertex[2]->force, Vec3(-0.0625f, -0.025f * h, -180), 1e-5f);
    EXPECT_VEC_NEAR(p->force, Vec3(0, 0, -360), 1e-4f);
}

// A cube of side 20 without stiffness squashed to half height and let fall: its gas brings
// most of the volume back within a second, under either integrator,
// and a pressure of 0 moves it bit for bit as a body never given one.
TEST(ForcePass, PressureRestoresASquashedCubeAndNoPressureChangesNothing)
{
    auto mesh = meshFromText(kCube);
    ASSERT_TRUE(mesh);
    for (bool rk4 : {false, true}) {
        float ratio[3];
        std::vector<Vec3> end[3];
        for (int kind = 0; kind < 3; ++kind) {  // no key, pressure 0, pressure 20
            World w(rk4);
            SpringModel* body = new SpringModel;
            w.scene.springModels.push_back(body);
            body->init(&w.scene.parSys, &w.scene.springSys);
            ASSERT_TRUE(body->buildFromModel(mesh.get()));
            body->scale(Vec3(10, 10, 10));
            body->restretch();
            body->setKs(0);  // only the gas (and the weak corner angles) can restore it
            body->setKd(1);
            if (kind) {
                ASSERT_TRUE(body->setPressure(kind == 2 ? 20 : 0));
            }
            const float v0 = body->volume();
            body->scale(Vec3(1, 1, 0.5f));
            for (int step = 0; step < 60; ++step) w.scene.step(kDt);
            ratio[kind] = body->volume() / v0;
            for (Particle* p : body->vertex) end[kind].push_back(p->pos);
        }
        EXPECT_GE(ratio[2], 0.85f) << rk4;
        EXPECT_LE(ratio[2], 1.15f) << rk4;
        EXPECT_LT(ratio[0], 0.7f) << rk4;
        for (size_t i = 0; i < end[0].size(); ++i) EXPECT_VEC_EQ(end[1][i], end[0][i]) << rk4 << i;
    }
}

TEST(ForcePass, HeldParticlePullFallsOffWithSquaredDistance)
{
    // Each particle is pulled by the held particle's offset from the target, (0, 0, -4),
    // with stiffness 360 w and damping 3.6 w on its own velocity along that offset, where
    // w = exp(-d²/1000) of its distance d from the held particle; plus drag -0.04 v.
    const struct {
        Vec3 pos, vel, force;
    } cases[] = {
        {{0, 0, 0}, {0, 3, -2}, {0, -0.12f, 1440 + 7.2f + 0.08f}},  // the held particle itself
        {{10, 0, 0}, {0, 1, 5}, {0, -0.04f, std::exp(-0.1f) * (1440 - 18) - 0.2f}},
        {{10, 20, -20}, {0, 0, 0}, {0, 0, std::exp(-0.9f) * 1440}},
        {{500, 0, 0}, {0, 0, 0}, {0, 0, 0}},
    };
    World w(false);
    std::vector<Particle*> ps;
    for (const auto& c : cases) ps.push_back(w.add(c.pos, 0, c.vel));
    w.scene.mouseRay = {{0, 0, 0}, {0, 0, 2}};  // not normalised
    w.scene.grabParticle(ps[0]);
    EXPECT_EQ(w.scene.holdDistance, 0);
    w.scene.holdDistance = 4;
    EXPECT_VEC_EQ(w.scene.dragTarget(), Vec3(0, 0, 4));
    w.scene.pullTarget = w.scene.dragTarget();  // a hand at rest: the pull has caught up
    w.scene.computeForces();
    for (size_t i = 0; i < ps.size(); ++i) EXPECT_VEC_NEAR(ps[i]->force, cases[i].force, 1e-3f) << i;
}

TEST(ForcePass, RunawayForcesArePrintedOncePerUpdateWithTheirCount)
{
    // Five runaway springs (a batch of four and one more) in one pass under Euler, four
    // passes under the fourth-order step.
    for (bool rk4 : {false, true}) {
        World w(rk4);
        Particle* a = w.add({0, 0, 0}, 0);
        Particle* b = w.add({2, 0, 0}, 0);
        for (int i = 0; i < 5; ++i) {
            const int s = w.scene.springSys.allocSpring();
            w.scene.springSys.spring[s] = {true, a, b, 1, 1e30f, 0};
        }
        char first[160];
        std::snprintf(first, sizeof first, "got an out of bounds force: %f %f %f\n", 1e30f, -0.0f, -0.0f);
        const std::string expected = std::string(first) + "out of bounds forces replaced this update: " +
                                     (rk4 ? "20" : "5") + "\n";
        StdoutCapture out;
        for (int update = 0; update < 2; ++update) {
            out.begin();
            w.scene.step(kDt);
            EXPECT_EQ(out.end(), expected) << rk4 << update;
        }
        EXPECT_EQ(a->force, Vec3(0, 0, 0)) << rk4;
    }
}

// A particle that stops being a number goes back where the step found it, at rest, and
// said so once; through the spring, the sink and the pull it held nothing reaches
// another particle but replaced forces.
TEST(ForcePass, ANonFiniteParticleIsPutBackAndReachesNoOther)
{
    for (bool rk4 : {false, true}) {
        World w(rk4);
        Particle* good = w.add({0, 0, 10});
        Particle* bad = w.add({3, 0, 10}, 1, {std::numeric_limits<float>::infinity(), 0, 0});
        const int s = w.scene.springSys.allocSpring();
        w.scene.springSys.spring[s] = {true, good, bad, 3, 100, 1, 1};  // a skin's sideways dashpot too
        w.scene.sinks.push_back(new Sink);
        w.scene.sinks.back()->pos = {1, 0, 10};
        w.scene.mouseRay = {{3, -10, 10}, {0, 1, 0}};
        w.scene.grabParticle(bad);
        // And a body with a gas, one of whose corners goes bad: its angle and gas terms
        // would reach the other corners.
        auto mesh = meshFromText(kOctahedron);
        SpringModel* body = new SpringModel;
        body->init(&w.scene.parSys, &w.scene.springSys);
        ASSERT_TRUE(body->buildFromModel(mesh.get()));
        body->translate({-50, 0, 10});
        body->setPressure(50);
        w.scene.springModels.push_back(body);
        body->vertex[0]->vel.z = -std::numeric_limits<float>::infinity();
        StdoutCapture out;
        out.begin();
        w.scene.step(kDt);
        const std::string said = out.end();
        EXPECT_EQ(bad->pos, Vec3(3, 0, 10)) << rk4;
        EXPECT_EQ(bad->vel, Vec3(0, 0, 0)) << rk4;
        EXPECT_TRUE(isFinite(good->pos) && isFinite(good->vel)) << rk4;
        EXPECT_LT(length(good->pos - Vec3(0, 0, 10)), 0.2f) << rk4;  // the sink and gravity alone
        EXPECT_LT(good->vel.z, -2) << rk4;  // its own forces kept
        EXPECT_EQ(said.rfind("non-finite particles put back at rest this update: 2\n"), said.size() - 53) << said;
        for (size_t i = 1; i < body->vertex.size(); ++i) EXPECT_TRUE(isFinite(body->vertex[i]->vel)) << rk4;
        EXPECT_EQ(said.find("got an out of bounds force: "), 0u) << said;
        for (Sink* k : w.scene.sinks) delete k;
        w.scene.sinks.clear();
        w.scene.springModels.clear();
        delete body;
    }
}

TEST(ForcePass, ZKeyStartsOneFountainUnderEulerAndFourUnderRk4)
{
    for (bool rk4 : {false, true}) {
        World w(rk4);
        Particle* h = w.add({1, 2, 3});
        w.scene.step(kDt);
        w.scene.fountainRequested = true;  // the shell's flag for a 'z' press
        w.scene.step(0);  // paused: still evaluated without a held particle -> nothing
        EXPECT_TRUE(w.scene.emitters.empty());
        w.scene.grabParticle(h);
        w.scene.step(0);
        ASSERT_EQ(w.scene.emitters.size(), rk4 ? 4u : 1u);
        for (Emitter* e : w.scene.emitters) {
            EXPECT_EQ(e->particle, h);
            EXPECT_EQ(e->rate, 120);
            EXPECT_EQ(e->childSpread, 20);
            EXPECT_EQ(e->life, 5);
            EXPECT_EQ(e->remainingLife, 5);
            EXPECT_EQ(e->colorMax[1], 0.8f);
        }
        w.scene.fountainRequested = false;  // a held key is no new press
        w.scene.step(kDt);
        EXPECT_EQ(w.scene.emitters.size(), rk4 ? 4u : 1u);
    }
}
