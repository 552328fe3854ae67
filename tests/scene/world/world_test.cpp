// The scene's update: status lines, display toggles, mouse-side operations, lifecycle.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "physics/bodies/bodytest.h"
#include "scene/worldinput.h"
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
    // Held, and the cursor moved far past the pull's stride: the pull waits for the world
    // to run, or a rewind counting only moving updates would find it elsewhere.
    scene.setMouseRay(Ray{{0, -100, 50}, {0, 1, 0}});
    scene.grabParticle(p);
    scene.setMouseRay(Ray{{0, -100, 80}, {0, 1, 0}});
    const Vec3 pull = scene.pullTarget;
    StdoutCapture out;
    out.begin();
    FakeClock::now = 0;
    scene.update();
    FakeClock::now = 900;  // a very slow frame
    scene.update();
    out.end();
    EXPECT_EQ(p->pos, Vec3(0, 0, 50));
    EXPECT_EQ(scene.pullTarget, pull);
    EXPECT_EQ(e->accumulator, 0);
    EXPECT_EQ(e->remainingLife, 1);
    EXPECT_EQ(scene.emittedParticles.liveCount(), 0);

    scene.grabParticle(nullptr);
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

// The panel's tuning goes through the world's inputs and reaches exactly the chosen body,
// the one whose particle the hand took last: its springs, and its gas when it is closed.
// Gravity and drag reach the force pass and stay through a RESET; the choice does not.
TEST_F(WorldTest, TuningReachesExactlyTheChosenBody)
{
    const auto closedMesh = meshFromText(kOctahedron);
    // The octahedron less a face: springs on its shared edges, no inside.
    const auto openMesh = meshFromText("v 1 0 0\nv -1 0 0\nv 0 1 0\nv 0 -1 0\nv 0 0 1\nv 0 0 -1\n"
                                       "f 1 3 5\nf 3 2 5\nf 2 4 5\nf 4 1 5\nf 3 1 6\nf 2 3 6\nf 4 2 6\n");
    SpringModel* body[3] = {};
    for (int i = 0; i < 3; ++i) {
        body[i] = new SpringModel;
        scene.springModels.push_back(body[i]);
        body[i]->init(&scene.parSys, &scene.springSys);
        ASSERT_TRUE(body[i]->buildFromModel(i < 2 ? closedMesh.get() : openMesh.get()));
        body[i]->translate({10.0f * i, 0, 0});
        body[i]->setKs(400);
        body[i]->setKd(10);
    }
    // A spring of no body, and a spark.
    Particle* a = add({0, 50, 0});
    Particle* b = add({0, 52, 0});
    const int loose = scene.springSys.allocSpring();
    scene.springSys.spring[loose] = {true, a, b, 2, 50, 1};
    Particle* spark = add({0, 100, 0});

    const auto take = [&](const Vec3& at) {
        applyInput(scene, {WorldInput::Grab, Ray{at + Vec3(0, 0, 100), {0, 0, -1}}, 0});
        applyInput(scene, {WorldInput::Release, {}, 0});
    };
    const auto send = [&](WorldInput::Kind kind, float value) { applyInput(scene, {kind, {}, value}); };
    // Each body's stiffness and damping, then the loose spring's; a body whose springs
    // disagree shows as −1.
    using Tuning = std::vector<std::pair<float, float>>;
    const auto tuning = [&] {
        Tuning seen;
        for (const SpringModel* m : body) {
            const Spring& first = scene.springSys.spring[m->spring.front()];
            std::pair<float, float> t{first.ks, first.kd};
            for (int k : m->spring)
                if (scene.springSys.spring[k].ks != t.first || scene.springSys.spring[k].kd != t.second) t = {-1, -1};
            seen.push_back(t);
        }
        seen.push_back({scene.springSys.spring[loose].ks, scene.springSys.spring[loose].kd});
        return seen;
    };

    send(WorldInput::BodyKs, 1);  // nothing held yet: nothing chosen
    EXPECT_EQ(tuning(), Tuning({{400, 10}, {400, 10}, {400, 10}, {50, 1}}));
    take(body[1]->vertex[0]->pos);
    EXPECT_EQ(scene.tunedBody, body[1]);
    EXPECT_EQ(scene.tunedBodyName(), "spring model mesh.obj");
    send(WorldInput::BodyKs, 777);
    send(WorldInput::BodyKd, 3);
    EXPECT_EQ(tuning(), Tuning({{400, 10}, {777, 3}, {400, 10}, {50, 1}}));

    // The gas, at once: squashed since it was given, the body keeps the rest volume it had.
    send(WorldInput::BodyPressure, 150);
    const float rest = body[1]->restVolume;
    EXPECT_EQ(body[1]->pressure, 150);
    EXPECT_GT(rest, 0);
    body[1]->scale({1, 1, 0.5f});
    send(WorldInput::BodyPressure, 300);
    EXPECT_EQ(body[1]->pressure, 300);
    EXPECT_EQ(body[1]->restVolume, rest);
    EXPECT_EQ(body[0]->pressure, 0);

    // An open body takes stiffness but no gas.
    take(body[2]->vertex[1]->pos);
    send(WorldInput::BodyPressure, 100);
    send(WorldInput::BodyKs, 5);
    EXPECT_EQ(body[2]->pressure, 0);
    EXPECT_EQ(tuning(), Tuning({{400, 10}, {777, 3}, {5, 10}, {50, 1}}));

    // A particle of no body chooses none.
    take(spark->pos);
    EXPECT_EQ(scene.tunedBody, nullptr);
    send(WorldInput::BodyKs, 9);
    send(WorldInput::BodyKd, 9);
    EXPECT_EQ(tuning(), Tuning({{400, 10}, {777, 3}, {5, 10}, {50, 1}}));

    // Gravity and drag through the force pass: −c·v and −g/invMass.
    send(WorldInput::Gravity, 90);
    send(WorldInput::AirDrag, 0.5f);
    spark->vel = {2, 0, 0};
    spark->invMass = 0.5f;
    scene.computeForces();
    EXPECT_EQ(spark->force, Vec3(-1, 0, -180));
    take(body[0]->vertex[0]->pos);
    scene.shutdown();
    EXPECT_EQ(scene.tunedBody, nullptr);
    EXPECT_EQ(scene.gravity, 90);
    EXPECT_EQ(scene.airDrag, 0.5f);
}
