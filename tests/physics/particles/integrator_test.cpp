// The scene's force pass and both integrators against closed forms.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/input.h"
#include "scene/parscene.h"
#include "support/testutil.h"

namespace {
constexpr float kDt = 1.0f / 60.0f;

// A scene with an empty world and n particles at rest with inverse mass 1.
struct World {
    ParScene scene;
    explicit World(bool rk4)
    {
        std::memset(keyTransition, 0, sizeof keyTransition);
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
}  // namespace

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

TEST(ForcePass, DragGravityAndSinks)
{
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
}

TEST(ForcePass, HeldParticlePullFallsOffWithSquaredDistance)
{
    World w(false);
    Particle* h = w.add({0, 0, 0}, 0);
    Particle* near = w.add({10, 0, 0}, 0, {0, 1, 0});
    Particle* far = w.add({500, 0, 0}, 0);
    w.scene.mouseRay = {{0, 0, 0}, {0, 0, 2}};  // not normalised
    w.scene.grabParticle(h);
    EXPECT_EQ(w.scene.holdDistance, 0);
    w.scene.holdDistance = 4;
    EXPECT_VEC_EQ(w.scene.dragTarget(), Vec3(0, 0, 4));
    w.scene.computeForces();
    // H is pulled by its offset from the target with the full stiffness.
    EXPECT_VEC_NEAR(h->force, Vec3(0, 0, 360 * 4), 1e-3f);
    // A neighbour at distance 10 is pulled by the same offset, weighted by exp(−100/1000),
    // and damped by its own velocity.
    const float wt = std::exp(-100.0f / 1000);
    const Vec3 expected = springForce({0, 0, -4}, {0, 1, 0}, 360 * wt, 3.6f * wt, 0) + Vec3(0, -0.04f, 0);
    EXPECT_VEC_NEAR(near->force, expected, 1e-3f);
    EXPECT_VEC_NEAR(far->force, Vec3(0, 0, 0), 1e-6f);
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

TEST(ForcePass, ZKeyStartsOneFountainUnderEulerAndFourUnderRk4)
{
    for (bool rk4 : {false, true}) {
        World w(rk4);
        Particle* h = w.add({1, 2, 3});
        w.scene.step(kDt);
        keyTransition['z'] = KEY_PRESSED;
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
        keyTransition['z'] = KEY_HELD;  // only the press starts one
        w.scene.step(kDt);
        EXPECT_EQ(w.scene.emitters.size(), rk4 ? 4u : 1u);
        keyTransition['z'] = KEY_UP;
    }
}
