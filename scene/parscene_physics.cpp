// The scene's physics step: force accumulation, the two integrators, the swept trace
// through the solid geometry and the collision pass that turns contacts into bounces.
#include <cmath>
#include <cstdio>

#include "core/debug.h"
#include "core/input.h"
#include "scene/parscene.h"

namespace {
// Gravity, world units/s² along −z. A particle's weight is m·g, written g / invMass
// because particles keep their inverse mass; every free particle falls alike.
constexpr float kGravity = 180;
// Linear (viscous) air drag, mass units per second: F = −c·v, which alone slows a
// particle of unit mass as e^(−c·t).
constexpr float kAirDrag = 0.04f;
// A bounce whose reflected move (world units, see collide) is longer than this counts
// as an impact: resting and sliding contacts reflect far less in one step.
constexpr float kImpactThreshold = 0.3f;
// Impact points per world unit of reflected move: the running sum is a score of how
// hard a particle was hit, not an impulse in mass·velocity.
constexpr float kImpactScale = 100;
// Friction acts on floors only, surfaces whose normal is within 2.6° of +z (cos 2.6° =
// 0.999); walls and slopes let particles slide.
constexpr float kFloorNormalZ = 0.999f;
}  // namespace

void ParScene::computeForces()
{
    for (Particle* p = parSys.liveHead; p; p = p->next) {
        p->force.clear();
        p->force += p->vel * -kAirDrag;  // pinned particles included
        if (p->invMass != 0) p->force += Vec3(0, 0, -kGravity / p->invMass);
    }

    springSys.applySpringForces(parSys);

    for (size_t i = 0; i < sinks.size(); ++i) {
        TV_ASSERT(sinks[i]);
        sinks[i]->applyForce(parSys);
    }

    for (SpringModel* m : springModels)
        if (m) {
            m->applyAngleForces();
            m->applyPressureForces();
        }

    if (Particle* H = heldParticle) {
        // Every force pass sees the same per-frame key transition, so the fourth-order
        // step starts four fountains for one press.
        if (keyTransition[static_cast<unsigned char>('z')] == KEY_PRESSED) {
            if (Emitter* e = makeFountain(H)) emitters.push_back(e);
        }
        const Vec3 T = dragTarget();
        const Vec3 offset = H->pos - T;
        for (Particle* q = parSys.liveHead; q; q = q->next) {
            // Neighbours of the held particle follow it, falling off with squared distance.
            const float w = std::exp(-lengthSquared(q->pos - H->pos) / 1000);
            q->force += springForce(offset, q->vel, 360 * w, 3.6f * w, 0);
        }
    }
}

void ParScene::stepEuler(float dt)
{
    computeForces();
    for (Particle* p = parSys.liveHead; p; p = p->next) {
        p->prevPos = p->pos;
        p->prevVel = p->vel;
        p->pos += p->vel * dt;  // the velocity from before this step
        p->vel += finiteForce(p->force) * (dt * p->invMass);
    }
}

// Classical fourth-order Runge–Kutta over the whole particle set: each stage finishes
// every particle before the next force pass.
void ParScene::stepRK4(float dt)
{
    computeForces();
    for (Particle* p = parSys.liveHead; p; p = p->next) {
        p->prevPos = p->pos;
        p->prevVel = p->vel;
        p->dVel[0] = finiteForce(p->force) * (dt * p->invMass);
        p->dPos[0] = p->vel * dt;
        p->vel = p->prevVel + p->dVel[0] / 2;
        p->pos = p->prevPos + p->dPos[0] / 2;
    }
    computeForces();
    for (Particle* p = parSys.liveHead; p; p = p->next) {
        p->dVel[1] = finiteForce(p->force) * (dt * p->invMass);
        p->dPos[1] = p->vel * dt;
        p->vel = p->prevVel + p->dVel[1] / 2;
        p->pos = p->prevPos + p->dPos[1] / 2;
    }
    computeForces();
    for (Particle* p = parSys.liveHead; p; p = p->next) {
        p->dVel[2] = finiteForce(p->force) * (dt * p->invMass);
        p->dPos[2] = p->vel * dt;
        p->vel = p->prevVel + p->dVel[2];
        p->pos = p->prevPos + p->dPos[2];
    }
    computeForces();
    for (Particle* p = parSys.liveHead; p; p = p->next) {
        p->dVel[3] = finiteForce(p->force) * (dt * p->invMass);
        p->dPos[3] = p->vel * dt;
        p->vel = p->prevVel + (p->dVel[0] + p->dVel[1] * 2 + p->dVel[2] * 2 + p->dVel[3]) / 6;
        p->pos = p->prevPos + (p->dPos[0] + p->dPos[1] * 2 + p->dPos[2] * 2 + p->dPos[3]) / 6;
    }
}

void ParScene::step(float dt)
{
    {
        RunawayForceReport report;
        if (useRk4)
            stepRK4(dt);
        else
            stepEuler(dt);
    }
    int restored = restoreNonFinite();
    collide();
    // Again: a move between two far but finite places can overflow in the trace.
    restored += restoreNonFinite();
    if (restored) std::printf("non-finite particles put back at rest this update: %d\n", restored);
}

// A particle that stopped being a number goes back where this step found it, at rest;
// every step starts from finite particles, so that is its last finite place. Forces
// that are not numbers are already kept from every other particle. Returns how many.
int ParScene::restoreNonFinite()
{
    int restored = 0;
    for (Particle* p = parSys.liveHead; p; p = p->next) {
        if (isFinite(p->pos) && isFinite(p->vel)) continue;
        p->pos = isFinite(p->prevPos) ? p->prevPos : Vec3(0, 0, 0);
        p->prevPos = p->pos;
        p->vel = p->prevVel = Vec3(0, 0, 0);
        ++restored;
    }
    return restored;
}

TraceHit ParScene::trace(const Vec3& start, const Vec3& end, float radius) const
{
    TraceHit hit = TraceHit::towards(end);
    for (const ObjInst* o : objects) {
        // An instance whose model never loaded has no surface to hit.
        if (!o || !o->model) continue;
        o->sweep(start, radius, hit);
        if (hit.t == 0) break;
    }
    if (hit.t != 0) {
        for (const Landscape* l : landscapes)
            if (l) l->intersect(start, radius, hit);
    }
    return hit;
}

// Walks each particle's move of this step through the geometry. Every retry starts
// again from the position before the step, so a particle can never be pushed through a
// surface by the reflected rest of its motion.
void ParScene::collide()
{
    // With nothing solid every trace runs its whole length: the pass reduces to putting
    // each particle at P0 + d (d with its dead-zone components dropped), exactly as the
    // full loop would.
    bool solid = !landscapes.empty();
    for (const ObjInst* o : objects) solid = solid || (o && o->model);
    if (!solid) {
        for (Particle* p = parSys.liveHead; p; p = p->next) {
            Vec3 d = p->pos - p->prevPos;
            for (int i = 0; i < 3; ++i)
                if (d[i] > -0.001f && d[i] < 0.001f) d[i] = 0;
            if (d.x == 0 && d.y == 0 && d.z == 0) continue;
            p->pos = p->prevPos + d;
        }
        return;
    }
    for (Particle* p = parSys.liveHead; p; p = p->next) {
        const Vec3 P0 = p->prevPos;
        Vec3 d = p->pos - P0;
        float covered = 0;
        int traces = 0;
        bool backAtStart = false;  // the last trace stopped where the step began
        for (int attempt = 0; attempt < 5; ++attempt) {
            for (int i = 0; i < 3; ++i)
                if (d[i] > -0.001f && d[i] < 0.001f) d[i] = 0;
            if (d.x == 0 && d.y == 0 && d.z == 0) break;
            const TraceHit hit = trace(P0, P0 + d, 1);
            p->pos = hit.target;
            ++traces;
            backAtStart = hit.t == 0;
            covered = covered + (1 - covered) * hit.t;
            if (covered == 1) break;
            d = d * (1 - hit.t);
            const Vec3& n = hit.plane.normal;
            // Newton's law of restitution: the normal part of the velocity is reversed
            // and scaled by e, a change of (1 + e) times it; the rest of the move alike.
            const float bounce = hit.restitution + 1;
            p->vel -= n * (dot(n, p->vel) * bounce);
            const float j = dot(n, d) * bounce;
            d -= n * j;
            if (std::fabs(j) > kImpactThreshold) p->impact += std::fabs(j) * kImpactScale;
            if (n.z >= kFloorNormalZ) {
                p->vel.x *= hit.friction;
                p->vel.y *= hit.friction;
            }
        }
        // Five contacts and the particle is back where the step began: it is held (a
        // sphere wedged between surfaces, or overlapping one, meets them at once whichever
        // way it moves), so its velocity is no motion it can make. Kept, every step's force
        // would pile onto it while the particle stays put, and fling it off once it comes
        // free.
        if (traces == 5 && backAtStart) p->vel = Vec3(0, 0, 0);
    }
}
