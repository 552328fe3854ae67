#pragma once
// The particle pool, the spring array and the damped-spring force law: every simulated
// point mass of the program lives in the one ParticleSystem of the scene, and every
// spring in its one SpringSystem.
#include <cmath>
#include <cstddef>
#include <vector>

#include "core/vecmath.h"
#include "physics/recordpool.h"

struct Particle {
    Vec3 force;
    double impact = 0;  // running sum of collision impulses
    Particle* prev = nullptr;
    Particle* next = nullptr;
    float invMass = 0;  // 0: pinned (infinite mass)
    Vec3 pos;
    Vec3 vel;
    Vec3 prevPos;  // state at the start of the last step
    Vec3 prevVel;
    Vec3 dPos[4];  // Runge–Kutta increments
    Vec3 dVel[4];
};

constexpr int MAX_PARTICLES = 3000;

// Records are 3 cache lines long, and the block starts this far past a line so that in
// every record pos and vel share one line and force sits in another: the force pass
// reads each as one row.
constexpr std::size_t kParticlePhase = 24;

// The pool every particle of the program lives in. A record handed out again keeps its
// position, velocity and mass; only its impact and force start from zero.
class ParticleSystem : public RecordPool<Particle, MAX_PARTICLES, kParticlePhase> {
public:
    bool init()
    {
        release();
        return true;
    }
    void release()
    {
        clear();
        handPinned.clear();
    }

    // None once MAX_PARTICLES records exist and none is free; `created` still counts
    // the refused request, up to INT_MAX.
    Particle* allocParticle();
    void freeParticle(Particle* p);

    // Pins by the user's hand (invMass 0 and at rest), or frees them (invMass 1).
    void pinByHand(Particle* p, bool pin);
    // The particles the hand pinned, for the window to mark. A record given back leaves
    // the list, so a record handed out again is never taken for a pinned one.
    std::vector<Particle*> handPinned;
};

struct Spring {
    bool active = false;
    Particle* p0 = nullptr;
    Particle* p1 = nullptr;
    float rest = 0;
    float ks = 0;
    float kd = 0;
    // A second dashpot, on the ends' whole relative velocity rather than only its part
    // along the spring, in mass units per second; 0 for none. The dashpot along the
    // spring leaves a taut skin's sideways ripples undamped, and the explicit step makes
    // undamped ripples grow. It sits in what was padding, so the record keeps its size.
    float across = 0;
};
static_assert(sizeof(Spring) == 8 + 2 * sizeof(Particle*) + 4 * sizeof(float), "Spring grew");

// Prints a runaway spring force and gives the zero force that replaces it.
Vec3 outOfBoundsForce(const Vec3& F);

inline bool isFinite(const Vec3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

// A particle's summed force as the integrators take it: one that is not a finite number
// (from a body part gone bad) is replaced like a runaway spring force, so that it moves
// nothing.
inline Vec3 finiteForce(const Vec3& F) { return isFinite(F) ? F : outOfBoundsForce(F); }

// Open while the scene runs one update's step. A runaway body would otherwise print a
// line for every spring in every force pass: while a report is open only the first
// runaway force is printed, and the number replaced follows when the report closes.
// Outside a report every runaway force is printed.
class RunawayForceReport {
public:
    RunawayForceReport();
    ~RunawayForceReport();
    RunawayForceReport(const RunawayForceReport&) = delete;
    RunawayForceReport& operator=(const RunawayForceReport&) = delete;

private:
    bool outermost;
};

// The force on the first end of a damped spring; posDelta and velDelta are first end
// minus second end. Hooke's term (L − rest)·ks plus dashpot (Δv·Δx)·kd/L along Δx.
// Inline because the force passes call it for every spring several times a frame.
inline Vec3 springForce(const Vec3& posDelta, const Vec3& velDelta, float ks, float kd, float rest)
{
    const float L = length(posDelta);
    if (L < 0.0001f) return {0, 0, 0};  // degenerate: ends on top of each other
    const float S = (L - rest) * ks;
    const float D = dot(velDelta, posDelta) * kd / L;
    const Vec3 F = posDelta * (-(S + D) / L);
    // Squared lengths below 9.9e13 are surely within 1e7; only forces near the bound
    // (or not a number) pay for the exact test.
    if (lengthSquared(F) < 9.9e13f) return F;
    // Not a number fails every comparison, so it is caught as a runaway too.
    if (!(length(F) <= 10000000.0f)) return outOfBoundsForce(F);
    return F;
}

// A growable array of springs. Slots are never removed: a slot is freed by freeSpring
// and reused, lowest index first, by the next allocSpring; the array grows by one slot
// when none is free. Nobody keeps a pointer into the array because it moves when it grows.
class SpringSystem {
public:
    bool init() { return true; }
    void shutdown() {}

    int allocSpring();
    void freeSpring(int index);
    int count() const { return static_cast<int>(spring.size()); }
    void applySpringForces(ParticleSystem& particles);

    std::vector<Spring> spring;

    // The free-slot heap, with `spring` the system's whole state, for copies that put it back.
    const std::vector<int>& freeSlotHeap() const { return freeSlots; }
    void setFreeSlotHeap(const std::vector<int>& heap) { freeSlots = heap; }

private:
    // Freed slots as a min-heap, so the lowest is found without walking the array: a
    // body of n springs would otherwise cost n² steps to build. A slot cleared by hand
    // instead of through freeSpring is not known here and stays unused.
    std::vector<int> freeSlots;
};
