#include "physics/step.h"

#include <chrono>
#include <cmath>

#include "core/debug.h"
#include "physics/springmodel.h"

namespace {
// Adds the time from its making to its end to a step's force time, when one is asked for.
class ForceTimer {
public:
    explicit ForceTimer(StepTimes* times_) : times(times_)
    {
        if (times) start = std::chrono::steady_clock::now();
    }
    ~ForceTimer()
    {
        if (times) times->forces += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    ForceTimer(const ForceTimer&) = delete;
    ForceTimer& operator=(const ForceTimer&) = delete;

private:
    StepTimes* times;
    std::chrono::steady_clock::time_point start;
};
}  // namespace

void Sink::applyForce(ParticleSystem& parSys) const
{
    for (Particle* p = parSys.liveHead; p; p = p->next) {
        const Vec3 d = pos - p->pos;
        p->force += d * strength / (lengthSquared(d) + 1);
    }
}

int computeForces(const StepWorld& world, const Hand& hand)
{
    const ForceTimer timer(world.times);
    ParticleSystem& parSys = world.particles;
    // A particle's weight is m·g, written g / invMass because particles keep their inverse
    // mass; every free particle falls alike.
    const float drag = world.airDrag, gravity = world.gravity;
    for (Particle* p = parSys.liveHead; p; p = p->next) {
        p->force.clear();
        p->force += p->vel * -drag;  // pinned particles included
        if (p->invMass != 0) p->force += Vec3(0, 0, -gravity / p->invMass);
    }

    world.springs.applySpringForces(parSys);

    for (size_t i = 0; i < world.sinks.size(); ++i) {
        TV_ASSERT(world.sinks[i]);
        world.sinks[i]->applyForce(parSys);
    }

    for (SpringModel* m : world.springModels)
        if (m) {
            m->applyAngleForces();
            m->applyPressureForces();
        }

    Particle* H = hand.held;
    if (!H) return 0;
    const Vec3 offset = H->pos - hand.target;
    for (Particle* q = parSys.liveHead; q; q = q->next) {
        // Neighbours of the held particle follow it, falling off with squared distance.
        const float w = std::exp(-lengthSquared(q->pos - H->pos) / 1000);
        q->force += springForce(offset, q->vel, 360 * w, 3.6f * w, 0);
    }
    return hand.fountainRequested ? 1 : 0;
}

int stepEuler(const StepWorld& world, const Hand& hand, float dt)
{
    const int fountains = computeForces(world, hand);
    for (Particle* p = world.particles.liveHead; p; p = p->next) {
        p->prevPos = p->pos;
        p->prevVel = p->vel;
        p->pos += p->vel * dt;  // the velocity from before this step
        p->vel += finiteForce(p->force) * (dt * p->invMass);
    }
    return fountains;
}

// Classical fourth-order Runge–Kutta over the whole particle set: each stage finishes
// every particle before the next force pass.
int stepRK4(const StepWorld& world, const Hand& hand, float dt)
{
    ParticleSystem& parSys = world.particles;
    int fountains = computeForces(world, hand);
    for (Particle* p = parSys.liveHead; p; p = p->next) {
        p->prevPos = p->pos;
        p->prevVel = p->vel;
        p->dVel[0] = finiteForce(p->force) * (dt * p->invMass);
        p->dPos[0] = p->vel * dt;
        p->vel = p->prevVel + p->dVel[0] / 2;
        p->pos = p->prevPos + p->dPos[0] / 2;
    }
    fountains += computeForces(world, hand);
    for (Particle* p = parSys.liveHead; p; p = p->next) {
        p->dVel[1] = finiteForce(p->force) * (dt * p->invMass);
        p->dPos[1] = p->vel * dt;
        p->vel = p->prevVel + p->dVel[1] / 2;
        p->pos = p->prevPos + p->dPos[1] / 2;
    }
    fountains += computeForces(world, hand);
    for (Particle* p = parSys.liveHead; p; p = p->next) {
        p->dVel[2] = finiteForce(p->force) * (dt * p->invMass);
        p->dPos[2] = p->vel * dt;
        p->vel = p->prevVel + p->dVel[2];
        p->pos = p->prevPos + p->dPos[2];
    }
    fountains += computeForces(world, hand);
    for (Particle* p = parSys.liveHead; p; p = p->next) {
        p->dVel[3] = finiteForce(p->force) * (dt * p->invMass);
        p->dPos[3] = p->vel * dt;
        p->vel = p->prevVel + (p->dVel[0] + p->dVel[1] * 2 + p->dVel[2] * 2 + p->dVel[3]) / 6;
        p->pos = p->prevPos + (p->dPos[0] + p->dPos[1] * 2 + p->dPos[2] * 2 + p->dPos[3]) / 6;
    }
    return fountains;
}

// Every step starts from finite particles, so where the step found one is its last
// finite place. Forces that are not numbers are already kept from every other particle.
int restoreNonFinite(ParticleSystem& particles)
{
    int restored = 0;
    for (Particle* p = particles.liveHead; p; p = p->next) {
        if (isFinite(p->pos) && isFinite(p->vel)) continue;
        p->pos = isFinite(p->prevPos) ? p->prevPos : Vec3(0, 0, 0);
        p->prevPos = p->pos;
        p->vel = p->prevVel = Vec3(0, 0, 0);
        ++restored;
    }
    return restored;
}
