// The scene's update: status lines, display toggles, mouse-side operations, lifecycle.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "support/testutil.h"
#include "terrain/lodrings.h"
#include "worldfixture.h"

TEST_F(WorldTest, StatusLinePrintsOncePerWallClockSecond)
{
    add({0, 0, 0});
    scene.sinks.push_back(new Sink);
    StdoutCapture out;
    out.begin();
    for (int i = 0; i < 10; ++i) {
        FakeClock::now = i * 100;
        scene.update();
    }
    FakeClock::now = 1000;
    scene.update();
    // A slow frame changes nothing but the count.
    FakeClock::now = 5000;
    scene.update();
    const std::string text = out.end();
    EXPECT_EQ(text,
              "updates/sec: 0\npar: 1/1 emit: 0/0 spring: 0 emitter: 0 sink: 1 \n"
              "updates/sec: 10\npar: 1/1 emit: 0/0 spring: 0 emitter: 0 sink: 1 \n"
              "updates/sec: 1\npar: 1/1 emit: 0/0 spring: 0 emitter: 0 sink: 1 \n");
    EXPECT_FLOAT_EQ(scene.frameTime, 4.0f);
}

TEST_F(WorldTest, PausedUpdatesMoveNothingWhateverTheFrameTook)
{
    Particle* p = add({0, 0, 50});
    Emitter* e = new Emitter;
    e->particle = p;
    scene.emitters.push_back(e);
    StdoutCapture out;
    out.begin();
    FakeClock::now = 0;
    scene.update();
    FakeClock::now = 900;  // a very slow frame
    scene.update();
    out.end();
    EXPECT_EQ(p->pos, Vec3(0, 0, 50));
    EXPECT_EQ(e->accumulator, 0);
    EXPECT_EQ(e->remainingLife, 1);
    EXPECT_EQ(scene.emittedParticles.liveCount(), 0);

    scene.timeStep = 1.0f / 60;
    scene.update();
    EXPECT_LT(p->pos.z, 50);  // the step is timeStep, not the frame's 0.9 s
    EXPECT_GT(p->pos.z, 49.9f);
}

// A paused world stepped once lands exactly where one played update takes a twin world,
// under either integrator, and is paused again afterwards.
TEST_F(WorldTest, SingleStepIsOnePlayedUpdate)
{
    for (bool rk4 : {true, false}) {
        ParScene played;
        played.parSys.init();
        played.emittedParticles.init(&played.parSys);
        played.useRk4 = scene.useRk4 = rk4;
        played.timeStep = ParScene::kPlayStep;
        scene.timeStep = 0;
        Particle* stepped[2] = {add({0, 0, 50}, 1, {3, -2, 40}), add({5, 1, 20}, 0.5f, {-7, 0, 0})};
        Particle* twin[2];
        for (int i = 0; i < 2; ++i) {
            twin[i] = played.parSys.allocParticle();
            twin[i]->pos = twin[i]->prevPos = stepped[i]->pos;
            twin[i]->vel = stepped[i]->vel;
            twin[i]->invMass = stepped[i]->invMass;
        }
        StdoutCapture out;
        out.begin();
        scene.singleStep();
        played.update();
        out.end();
        for (int i = 0; i < 2; ++i) {
            EXPECT_EQ(stepped[i]->pos, twin[i]->pos) << rk4 << i;
            EXPECT_EQ(stepped[i]->vel, twin[i]->vel) << rk4 << i;
        }
        EXPECT_NE(stepped[0]->pos, Vec3(0, 0, 50));
        EXPECT_EQ(scene.timeStep, 0);
        for (Particle* p : stepped) scene.parSys.freeParticle(p);
    }
}

TEST_F(WorldTest, NearestParticleMeasuresToTheLineAndKeepsTheFirstOfEquals)
{
    Ray ray{{0, 0, 0}, {2, 0, 0}};
    EXPECT_EQ(scene.nearestParticle(ray), nullptr);
    Particle* a = add({10, 3, 0});
    Particle* b = add({-50, 0, 3});  // behind the origin, same distance
    EXPECT_EQ(scene.nearestParticle(ray), b);  // newest first in the live list
    Particle* c = add({5, 0, 2.5f});
    EXPECT_EQ(scene.nearestParticle(ray), c);
    (void)a;

    // Grabbing measures the hold distance along the stored ray.
    scene.setMouseRay(ray);
    scene.grabParticle(a);
    EXPECT_FLOAT_EQ(scene.holdDistance, 10);
    EXPECT_VEC_NEAR(scene.dragTarget(), Vec3(10, 0, 0), 1e-5f);
    scene.grabParticle(nullptr);
    EXPECT_EQ(scene.heldParticle, nullptr);
    EXPECT_EQ(scene.holdDistance, 0);
}

TEST_F(WorldTest, PlaceSinkMeetsTheGroundAndRefusesALevelRay)
{
    scene.placeSink({{10, 20, 30}, {1, 0, -3}});
    ASSERT_EQ(scene.sinks.size(), 1u);
    EXPECT_VEC_NEAR(scene.sinks[0]->pos, Vec3(20, 20, 0), 1e-5f);
    EXPECT_EQ(scene.sinks[0]->strength, 2000);

    StdoutCapture out;
    out.begin();
    scene.placeSink({{10, 20, 30}, {1, 0, 0}});
    EXPECT_EQ(out.end(), "unable to place a sink: the ray never meets the ground\n");
    EXPECT_EQ(scene.sinks.size(), 1u);
}

TEST_F(WorldTest, PlaceSourceNeedsASurface)
{
    EXPECT_EQ(scene.placeSource({{0, 0, 100}, {0, 0, -1}}), -1);
    EXPECT_TRUE(scene.emitters.empty());
    EXPECT_EQ(scene.parSys.liveCount(), 0);
}

TEST_F(WorldTest, ShutdownTwiceAndResetKeepNothingBehind)
{
    Particle* p = add({0, 0, 0});
    Emitter* e = scene.makeFountain(p);
    scene.emitters.push_back(e);
    scene.sinks.push_back(new Sink);
    scene.objects.push_back(new ObjInst);
    scene.grabParticle(p);
    scene.timeStep = 1.0f / 60;
    scene.useRk4 = false;
    scene.startTransform.trans = {1, 2, 3};
    scene.timeStep = 1.0f / 60;
    scene.emit(1.0f / 60);
    EXPECT_EQ(scene.emittedParticles.liveCount(), 2);

    scene.shutdown();
    EXPECT_TRUE(scene.emitters.empty());
    EXPECT_TRUE(scene.sinks.empty());
    EXPECT_TRUE(scene.objects.empty());
    EXPECT_EQ(scene.parSys.liveCount(), 0);
    EXPECT_EQ(scene.parSys.createdCount(), 0);
    EXPECT_EQ(scene.emittedParticles.liveCount(), 0);
    EXPECT_EQ(scene.heldParticle, nullptr);
    EXPECT_EQ(scene.timeStep, 0);
    EXPECT_TRUE(scene.useRk4);
    EXPECT_EQ(scene.startTransform.trans, Vec3(0, 0, 0));
    scene.shutdown();
    EXPECT_EQ(scene.parSys.liveCount(), 0);
}

TEST_F(WorldTest, AStepAllocatesNoParticlesOrSprings)
{
    for (int i = 0; i < 50; ++i) add({float(i), 0, 10});
    for (int i = 0; i + 1 < 50; ++i) {
        int s = scene.springSys.allocSpring();
        Particle* a = nullptr;
        Particle* b = nullptr;
        int k = 0;
        for (Particle* p = scene.parSys.first(); p; p = p->next, ++k) {
            if (k == i) a = p;
            if (k == i + 1) b = p;
        }
        scene.springSys.spring[s] = {true, a, b, 1, 100, 1};
    }
    const size_t capacity = scene.springSys.spring.capacity();
    for (int i = 0; i < 30; ++i) scene.step(1.0f / 60);
    EXPECT_EQ(scene.parSys.createdCount(), 50);
    EXPECT_EQ(scene.springSys.spring.capacity(), capacity);
}
