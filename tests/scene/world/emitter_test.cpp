// Emission counts, recoil, colours and velocities, the sprite pool, ageing and sinks.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <vector>

#include "core/random.h"
#include "support/testutil.h"
#include "worldfixture.h"

namespace {
constexpr float kDt = 1.0f / 60.0f;

class EmitterTest : public WorldTest {
protected:
    Emitter* emitter(const Vec3& at, float invMass = 0)
    {
        Emitter* e = new Emitter;
        e->particle = add(at, invMass);
        e->life = e->remainingLife = 100;
        scene.emitters.push_back(e);
        return e;
    }
    int emitOnce(float dt = kDt)
    {
        const int before = scene.emittedParticles.liveCount();
        scene.emit(dt);
        return scene.emittedParticles.liveCount() - before;
    }
};
}  // namespace

TEST_F(EmitterTest, RatesGiveWholeChildrenPerUpdate)
{
    Emitter* e = emitter({0, 0, 0});
    for (int i = 0; i < 6; ++i) EXPECT_EQ(emitOnce(), 2) << i;
    e->rate = 90;
    e->accumulator = 0;
    const int expected[6] = {1, 2, 1, 2, 1, 2};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(emitOnce(), expected[i]) << i;
    EXPECT_EQ(emitOnce(0), 0);  // paused: nothing owed, nothing made
    EXPECT_EQ(scene.parSys.liveCount(), 1 + 12 + 9);
}

TEST_F(EmitterTest, ChildrenStartAtTheEmitterWithSpreadVelocityAndDrawnColours)
{
    Emitter* e = emitter({3, 4, 5});
    e->childVel = {10, 0, 50};
    e->childSpread = 8;
    e->childLife = 2;
    e->childRadius = 0.75f;
    e->setColors(0.2f, 0.4f, 0.6f, 0.8f, 0.3f, 0.9f, 0.6f, 1.0f);
    e->rate = 60;

    tv::setRandState(4242);
    std::vector<float> u;
    for (int i = 0; i < 7; ++i) u.push_back(randUnit());
    tv::setRandState(4242);
    ASSERT_EQ(emitOnce(), 1);
    const EmittedParticle* node = scene.emittedParticles.first();
    const Particle* c = node->par;
    // Alpha is drawn first, then blue, green, red; then the velocity offsets x, y, z.
    EXPECT_FLOAT_EQ(node->color[3], 0.8f + u[0] * 0.2f);
    EXPECT_FLOAT_EQ(node->color[2], 0.6f);
    EXPECT_FLOAT_EQ(node->color[1], 0.4f + u[2] * 0.5f);
    EXPECT_FLOAT_EQ(node->color[0], 0.2f + u[3] * 0.1f);
    EXPECT_FLOAT_EQ(c->vel.x, 10 + (u[4] - 0.5f) * 8);
    EXPECT_FLOAT_EQ(c->vel.y, (u[5] - 0.5f) * 8);
    EXPECT_FLOAT_EQ(c->vel.z, 50 + (u[6] - 0.5f) * 8);
    EXPECT_EQ(c->pos, Vec3(3, 4, 5));
    EXPECT_EQ(c->invMass, 1);
    EXPECT_EQ(node->life, 2);
    EXPECT_EQ(node->remainingLife, 2);
    EXPECT_EQ(node->radius, 0.75f);

    // Many children: offsets stay within half the spread; spread 0 gives the base.
    for (int i = 0; i < 50; ++i) emitOnce();
    for (const EmittedParticle* n = scene.emittedParticles.first(); n; n = n->next) {
        EXPECT_LE(std::fabs(n->par->vel.x - 10), 4.0f);
        EXPECT_LE(std::fabs(n->par->vel.z - 50), 4.0f);
        EXPECT_GE(n->color[0], 0.2f);
        EXPECT_LE(n->color[0], 0.3f);
    }
    e->childSpread = 0;
    emitOnce();
    EXPECT_EQ(scene.emittedParticles.first()->par->vel, Vec3(10, 0, 50));
}

TEST_F(EmitterTest, RecoilScalesWithTheInverseMassesAndSparesPinnedEmitters)
{
    Emitter* light = emitter({0, 0, 0}, 0.5f);
    light->childVel = {0, 0, 20};
    light->childSpread = 0;
    light->rate = 60;
    Emitter* pinned = emitter({10, 0, 0}, 0);
    pinned->childVel = {0, 0, 20};
    pinned->rate = 60;
    scene.emit(kDt);
    EXPECT_EQ(light->particle->vel, Vec3(0, 0, -10));
    EXPECT_EQ(pinned->particle->vel, Vec3(0, 0, 0));
}

TEST_F(EmitterTest, FullPoolsDropChildrenButDrainTheAccumulator)
{
    Emitter* e = emitter({0, 0, 0});
    e->rate = 600;  // 10 per update
    while (scene.parSys.allocParticle()) {
    }
    const int created = scene.emittedParticles.createdCount();
    EXPECT_EQ(emitOnce(), 0);
    EXPECT_LT(e->accumulator, 1);
    EXPECT_EQ(scene.emittedParticles.createdCount(), created);
}

TEST_F(EmitterTest, HugeRatesFillThePoolInOneUpdateAndDropTheRest)
{
    // Past 2^24 a float accumulator no longer counts down by ones; an infinite rate owes
    // an infinite number. Each update asks for one pool's worth at most: it fills the
    // pool, every later request is refused and counted, and less than one child stays owed.
    for (float rate : {1e8f, 1e10f, INFINITY}) {
        for (Emitter* e : scene.emitters) delete e;
        scene.emitters.clear();
        scene.parSys.init();
        scene.emittedParticles.init(&scene.parSys);
        Emitter* e = emitter({0, 0, 0});
        e->rate = rate;
        EXPECT_EQ(emitOnce(), MAX_PARTICLES - 1) << rate;
        EXPECT_EQ(scene.parSys.createdCount(), MAX_PARTICLES + 1) << rate;
        EXPECT_GE(e->accumulator, 0) << rate;
        EXPECT_LT(e->accumulator, 1) << rate;
        EXPECT_EQ(emitOnce(), 0) << rate;
        EXPECT_EQ(scene.parSys.createdCount(), 2 * MAX_PARTICLES + 1) << rate;
    }
}

TEST_F(EmitterTest, SpritePoolIsCappedAndRecyclesNodes)
{
    EmittedParticleList& list = scene.emittedParticles;
    std::vector<EmittedParticle*> nodes;
    for (int i = 0; i < MAX_EMITTED_PARTICLES; ++i) nodes.push_back(list.allocate());
    EXPECT_EQ(list.allocate(), nullptr);
    EXPECT_EQ(list.createdCount(), MAX_EMITTED_PARTICLES + 1);
    EXPECT_EQ(list.liveCount(), MAX_EMITTED_PARTICLES);
    // Removing gives the child particle back to the pool.
    nodes[10]->par = scene.parSys.allocParticle();
    const int live = scene.parSys.liveCount();
    list.remove(nodes[10]);
    EXPECT_EQ(scene.parSys.liveCount(), live - 1);
    EXPECT_EQ(list.allocate(), nodes[10]);
    EXPECT_EQ(list.createdCount(), MAX_EMITTED_PARTICLES + 1);
    list.created = INT_MAX - 1;  // saturates like the particle pool's count
    EXPECT_EQ(list.allocate(), nullptr);
    EXPECT_EQ(list.allocate(), nullptr);
    EXPECT_EQ(list.createdCount(), INT_MAX);
    list.clear();
    EXPECT_EQ(list.liveCount(), 0);
    EXPECT_EQ(list.createdCount(), 0);
    EXPECT_EQ(list.first(), nullptr);
}

TEST_F(EmitterTest, SpritesAndEmittersAgeOut)
{
    Emitter* a = emitter({0, 0, 0});
    a->childLife = 2 * kDt;
    a->rate = 60;
    Emitter* b = emitter({1, 0, 0});
    b->rate = 0;
    Emitter* c = emitter({2, 0, 0});
    c->rate = 0;
    a->life = a->remainingLife = 100;
    b->life = b->remainingLife = kDt * 0.5f;
    scene.emit(kDt);
    ASSERT_EQ(scene.emittedParticles.liveCount(), 1);
    const int live = scene.parSys.liveCount();
    scene.ageGlow(kDt);
    EXPECT_EQ(scene.emittedParticles.liveCount(), 1);
    scene.ageGlow(kDt);  // remaining life reaches 0: gone, particle returned
    EXPECT_EQ(scene.emittedParticles.liveCount(), 0);
    EXPECT_EQ(scene.parSys.liveCount(), live - 1);

    Particle* bp = b->particle;
    scene.ageEmitters(kDt);
    ASSERT_EQ(scene.emitters.size(), 2u);
    EXPECT_EQ(scene.emitters[0], a);
    EXPECT_EQ(scene.emitters[1], c);
    // The emitter's particle stays live.
    bool found = false;
    for (Particle* p = scene.parSys.first(); p; p = p->next) found |= p == bp;
    EXPECT_TRUE(found);
    scene.ageEmitters(0);
    EXPECT_EQ(scene.emitters.size(), 2u);
}

TEST_F(EmitterTest, AnExpiringChildIsLetGoAndItsFountainsStop)
{
    Emitter* e = emitter({0, 0, 0});
    e->rate = 60;
    e->childLife = kDt;
    scene.emit(kDt);
    Particle* child = scene.emittedParticles.first()->par;
    scene.grabParticle(child);
    ASSERT_NE(scene.heldParticle, nullptr);
    Emitter* fountain = scene.makeFountain(child);
    scene.emitters.push_back(fountain);
    scene.ageGlow(kDt);
    EXPECT_EQ(scene.heldParticle, nullptr);
    // The fountain no longer rides the recycled record: it neither emits nor pushes it.
    EXPECT_EQ(fountain->particle, nullptr);
    Particle* reused = scene.parSys.allocParticle();
    ASSERT_EQ(reused, child);
    reused->vel = {0, 0, 0};
    const int live = scene.emittedParticles.liveCount();
    scene.emit(kDt);
    EXPECT_EQ(reused->vel, Vec3(0, 0, 0));
    EXPECT_EQ(scene.emittedParticles.liveCount(), live + 1);  // only the first emitter's child
}

TEST(FadeCurve, FullAtBirthSteepAtTheEnd)
{
    EXPECT_EQ(fadeCurve(2, 2), 1);
    EXPECT_EQ(fadeCurve(5, 2), 1);  // capped
    EXPECT_EQ(fadeCurve(0, 2), 0);
    EXPECT_FLOAT_EQ(fadeCurve(1, 2), 1 - 0.03125f);
    EXPECT_FLOAT_EQ(fadeCurve(0.2f, 2), 1 - std::pow(0.9f, 5.0f));
    EXPECT_EQ(fadeCurve(1, 0), 1);  // no life: no division trouble
}
