// The scene's side of the physics step: the hand and the fountains it asks for, the swept
// trace through the solid geometry and the collision pass that turns contacts into
// bounces.
#include <chrono>
#include <cmath>
#include <cstdio>

#include "core/debug.h"
#include "core/problems.h"
#include "scene/parscene.h"

namespace {
// A bounce whose reflected move (world units, see collide) is longer than this counts
// as an impact: resting and sliding contacts reflect far less in one step.
constexpr float kImpactThreshold = 0.3f;
// Impact points per world unit of reflected move: the running sum is a score of how
// hard a particle was hit, not an impulse in mass·velocity.
constexpr float kImpactScale = 100;
// Friction acts on floors only, surfaces whose normal is within 2.6° of +z (cos 2.6° =
// 0.999); walls and slopes let particles slide.
constexpr float kFloorNormalZ = 0.999f;
// How far the point the hand pulls to may move in one update, world units (180 units/s,
// about the default world's width in a second). The pull is a lightly damped spring
// that sways about 3 times a second with whatever it carries, and under Euler it gains
// a little each swing; a cursor swung at that rate, unchecked, pumps it until the held
// body sweeps through its neighbours (the pull reaches every particle near the held one)
// and knocks the tower out of its narrow stable range under the Euler step. A hand
// moving slower than this is followed exactly.
constexpr float kMaxPullTargetMove = 3;
}  // namespace

StepWorld ParScene::stepWorld() { return StepWorld{parSys, springSys, sinks, springModels, gravity, airDrag}; }

Hand ParScene::hand() const
{
    Hand h;
    h.held = heldParticle;
    if (heldParticle) h.target = pullTarget;
    h.fountainRequested = fountainRequested;
    return h;
}

void ParScene::computeForces() { ::computeForces(stepWorld(), hand()); }

void ParScene::step(float dt)
{
    int fountains = 0;
    if (heldParticle && dt > 0) {
        const Vec3 toCursor = dragTarget() - pullTarget;
        const float gap = length(toCursor);
        pullTarget += gap > kMaxPullTargetMove ? toCursor * (kMaxPullTargetMove / gap) : toCursor;
    }
    using Clock = std::chrono::steady_clock;
    StepTimes times;
    const Clock::time_point t0 = timeSteps ? Clock::now() : Clock::time_point{};
    {
        RunawayForceReport report;
        StepWorld world = stepWorld();
        if (timeSteps) world.times = &times;
        fountains = useRk4 ? stepRK4(world, hand(), dt) : stepEuler(world, hand(), dt);
    }
    const Clock::time_point t1 = timeSteps ? Clock::now() : Clock::time_point{};
    for (int i = 0; i < fountains; ++i)
        if (Emitter* e = makeFountain(heldParticle)) emitters.push_back(e);
    // After the collision pass, which leaves a particle that is no longer a number as it
    // is, and whose move between two far but finite places can overflow.
    const Clock::time_point t2 = timeSteps ? Clock::now() : Clock::time_point{};
    collide();
    if (timeSteps) {
        const double step = std::chrono::duration<double>(t1 - t0).count();
        lastStep = {times.forces, step - times.forces, std::chrono::duration<double>(Clock::now() - t2).count()};
    }
    if (const int restored = restoreNonFinite(parSys))
        tv::problem("non-finite particles put back at rest this update: %d\n", restored);
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
        if (!isFinite(p->pos)) continue;  // no move to trace: the step puts it back
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
