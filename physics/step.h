#pragma once
// The physics step: the force pass (drag, gravity, springs, sinks, the bodies' own
// forces, the hand's pull) and the two integrators. The collision pass belongs to the
// world's solid geometry and runs after it.
#include <vector>

#include "core/vecmath.h"
#include "physics/springsystem.h"

class SpringModel;

// A fixed point pulling every particle with strength·d/(|d|²+1): zero on top of it,
// strongest at distance 1, then falling like strength/distance.
struct Sink {
    Vec3 pos{0, 0, 0};
    float strength = 2000;

    void applyForce(ParticleSystem& parSys) const;
};

// What the mouse holds, as the step sees it: input arrives as data, never from the
// key table.
struct Hand {
    Particle* held = nullptr;
    Vec3 target;                     // where the held particle is pulled to
    bool fountainRequested = false;  // this frame asks for a fountain on the held particle
};

// Gravity, world units/s² along −z, and linear (viscous) air drag, mass units per second
// (F = −c·v, which alone slows a particle of unit mass as e^(−c·t)): what every world
// starts with, and keeps until it is tuned.
constexpr float kDefaultGravity = 180;
constexpr float kDefaultAirDrag = 0.04f;

// Steady-clock seconds a step's force passes took, summed over its passes.
struct StepTimes {
    double forces = 0;
};

// Everything a force pass reads and writes.
struct StepWorld {
    ParticleSystem& particles;
    SpringSystem& springs;
    const std::vector<Sink*>& sinks;
    const std::vector<SpringModel*>& springModels;
    float gravity = kDefaultGravity;
    float airDrag = kDefaultAirDrag;
    // Read the clock only when asked: the clock changes no number of the step.
    StepTimes* times = nullptr;
};

// One force pass. Returns how many fountains it asks for: one when a particle is held
// and the frame requested one. Every pass asks alike, so the fourth-order step asks four
// times for one press.
int computeForces(const StepWorld& world, const Hand& hand);
// The two integrators; each returns the fountains its force passes asked for.
int stepEuler(const StepWorld& world, const Hand& hand, float dt);
int stepRK4(const StepWorld& world, const Hand& hand, float dt);
// A particle that stopped being a number goes back where the step found it, at rest;
// returns how many did.
int restoreNonFinite(ParticleSystem& particles);
