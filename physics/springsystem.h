#pragma once
// The particle pool, the spring array and the damped-spring force law: every simulated
// point mass of the program lives in the one ParticleSystem of the scene, and every
// spring in its one SpringSystem.
#include <cstddef>
#include <memory>
#include <vector>

#include "app/vecmath.h"

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

// A pool of at most MAX_PARTICLES records on intrusive live and free lists. Records are
// recycled through the free list and only returned to the heap by release(), so a
// pointer to a particle stays valid until then.
class ParticleSystem {
public:
    ParticleSystem() = default;
    ~ParticleSystem() { release(); }
    ParticleSystem(const ParticleSystem&) = delete;
    ParticleSystem& operator=(const ParticleSystem&) = delete;

    bool init()
    {
        release();
        return true;
    }
    void release();

    // None once MAX_PARTICLES records exist and none is free; `created` still counts
    // the refused request, up to INT_MAX.
    Particle* allocParticle();
    void freeParticle(Particle* p);

    Particle* first() const { return liveHead; }
    int liveCount() const { return live; }
    int createdCount() const { return created; }

    int created = 0;
    int live = 0;
    Particle* liveHead = nullptr;
    Particle* freeHead = nullptr;

private:
    // Records are carved from one block so the force passes walk nearby memory. Records
    // are 3 cache lines long and the block is placed so that in every record pos and
    // vel share one line and force sits in another.
    std::unique_ptr<unsigned char[]> storage;
    Particle* block = nullptr;
    int carved = 0;  // records handed out of the block so far; never more than MAX_PARTICLES
};

struct Spring {
    bool active = false;
    Particle* p0 = nullptr;
    Particle* p1 = nullptr;
    float rest = 0;
    float ks = 0;
    float kd = 0;
};

// Prints a runaway spring force and gives the zero force that replaces it.
Vec3 outOfBoundsForce(const Vec3& F);

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
    if (length(F) > 10000000.0f) return outOfBoundsForce(F);
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

private:
    // Freed slots as a min-heap, so the lowest is found without walking the array: a
    // body of n springs would otherwise cost n² steps to build. A slot cleared by hand
    // instead of through freeSpring is not known here and stays unused.
    std::vector<int> freeSlots;
};
