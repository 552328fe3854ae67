#pragma once
// Particle sources, point attractors and the pooled glow sprites that children carry.
#include "core/vecmath.h"
#include "physics/recordpool.h"
#include "physics/springsystem.h"
#include "physics/step.h"

// A source riding on one pool particle: spawns children at `rate` per second, each with
// a glow sprite that fades over the child's life.
struct Emitter {
    float colorMin[4] = {0, 0, 0, 1};
    float colorMax[4] = {0, 0, 0, 1};
    Vec3 childVel{0, 0, 0};
    float childSpread = 1;
    float childLife = 1;
    float childRadius = 1.5f;
    float remainingLife = 1;
    float life = 1;
    float rate = 120;
    float accumulator = 0;
    Particle* particle = nullptr;  // not owned; its position is the emitter's

    void setColors(float r0, float g0, float b0, float a0, float r1, float g1, float b1, float a1)
    {
        colorMin[0] = r0, colorMin[1] = g0, colorMin[2] = b0, colorMin[3] = a0;
        colorMax[0] = r1, colorMax[1] = g1, colorMax[2] = b1, colorMax[3] = a1;
    }
};

struct EmittedParticle {
    EmittedParticle* prev = nullptr;
    EmittedParticle* next = nullptr;
    float color[4] = {0, 0, 0, 1};
    float radius = 0;
    float remainingLife = 0;
    float life = 0;
    Particle* par = nullptr;  // the child particle, set while live
};

constexpr int MAX_EMITTED_PARTICLES = 3000;

// Pool of glow sprites, capped like the particle pool. Removing a sprite returns its
// child particle to the bound ParticleSystem.
class EmittedParticleList : public RecordPool<EmittedParticle, MAX_EMITTED_PARTICLES> {
public:
    bool init(ParticleSystem* particles)
    {
        clear();
        parSys = particles;
        return true;
    }
    // None once MAX_EMITTED_PARTICLES nodes exist and none is free; `created` still
    // counts the refused request, up to INT_MAX.
    using RecordPool::allocate;
    void remove(EmittedParticle* node);

    ParticleSystem* parSys = nullptr;
};

// 1 at birth, falling steeply only near the end: 1 − (1 − g)^5 with g = remaining/life ≤ 1.
float fadeCurve(float remainingLife, float life);

// Glow adds its colour (times a texel of at most 1) to 8-bit channels that round to the
// nearest step, so a colour below half a step adds nothing anywhere. A little under half,
// so that the rasteriser's interpolation of a constant colour cannot lift it over.
constexpr float kGlowFadedOut = 0.49f / 255;
// Whether a glow sprite of this colour can no longer change a pixel.
bool glowFadedOut(float r, float g, float b);

// u in [0, 1] from the program's one random stream.
float randUnit();
