#pragma once
// Exact copies of the running world for rewinding: a world put back from one and run on
// with the same input moves to the last bit as it did the first time.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/random.h"
#include "core/vecmath.h"
#include "physics/springobj.h"
#include "physics/springsystem.h"
#include "physics/step.h"
#include "scene/emitter.h"

class ParScene;

// Only what running and the hand change: bodies, instances, models and the coarse ground
// are fixed from load to the next init (but for the springs' tuning and the gas, which
// are copied), and are named, not copied, so that a copy from another build of the world
// is refused. Taking one again reuses its buffers.
struct WorldSnapshot {
    // Memory held, buffers' spare room included.
    std::size_t bytes() const;
    bool empty() const { return !taken; }

    bool taken = false;

    ParticleSystem::Headers particleHeaders;
    std::vector<Particle> particles;  // the carved part of the block
    std::vector<Particle*> handPinned;
    EmittedParticleList::Headers glowHeaders;
    std::vector<EmittedParticle> glow;
    std::vector<Spring> springs;
    std::vector<int> freeSpringSlots;
    std::vector<Emitter> emitters;
    std::vector<unsigned char> emitterPresent;  // the list may hold empty places
    std::vector<Sink> sinks;
    // Each spring model's gas, pressure then rest volume: the panel retunes it.
    std::vector<float> gas;
    // Level-0 tiles loaded, every landscape's grid in turn.
    std::vector<unsigned char> tilesLoaded;
    // The bodies, instances and landscapes it was taken with, list by list.
    std::vector<const void*> fixedParts;
    std::vector<int> fixedCounts;

    Particle* heldParticle = nullptr;
    SpringObj* tunedBody = nullptr;
    bool fountainRequested = false;
    float holdDistance = 0;
    Vec3 pullTarget;
    Ray mouseRay;
    float timeStep = 0;
    bool useRk4 = true;
    float gravity = 0;
    float airDrag = 0;
    tv::RandomStream random;
};

void takeSnapshot(const ParScene& world, WorldSnapshot& snapshot);
// False, with the world untouched, when the snapshot is empty or the world was built
// again since it was taken (init, reset, another world).
bool restoreSnapshot(ParScene& world, const WorldSnapshot& snapshot);
