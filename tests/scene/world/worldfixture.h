#pragma once
// A scene with live pools but no data files, a fake clock and a clean key table.
#include <cstring>

#include "scene/parscene.h"

struct FakeClock {
    static inline int now = 0;
    static int read() { return now; }
};

class WorldTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FakeClock::now = 0;
        savedClock = ParScene::elapsedMs;
        ParScene::elapsedMs = FakeClock::read;
        scene.parSys.init();
        scene.emittedParticles.init(&scene.parSys);
    }
    void TearDown() override
    {
        ParScene::elapsedMs = savedClock;
    }
    Particle* add(const Vec3& pos, float invMass = 1, const Vec3& vel = {0, 0, 0})
    {
        Particle* p = scene.parSys.allocParticle();
        p->pos = pos;
        p->prevPos = pos;
        p->vel = vel;
        p->invMass = invMass;
        return p;
    }

    ParScene scene;
    int (*savedClock)() = nullptr;
};
