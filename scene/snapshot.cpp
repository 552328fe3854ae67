#include "scene/snapshot.h"

#include <new>

#include "scene/parscene.h"
#include "terrain/landscapetile.h"

// Left out on purpose: a spring model's gas keeps nothing but its pressure and rest volume
// from one force pass to the next (its gradient rows are zero between passes), the drawing's
// scratch (cloth and tower shapes, facing flags, the mouse marks) is remade before it is
// read, and the status line's counts follow the wall clock, not the world.

namespace {
template <class T>
void listParts(const std::vector<T*>& list, std::vector<const void*>& parts, std::vector<int>& counts)
{
    counts.push_back(static_cast<int>(list.size()));
    for (const T* p : list) parts.push_back(p);
}

void fixedPartsOf(const ParScene& world, std::vector<const void*>& parts, std::vector<int>& counts)
{
    parts.clear();
    counts.clear();
    listParts(world.springModels, parts, counts);
    listParts(world.springSpaces, parts, counts);
    listParts(world.cloths, parts, counts);
    listParts(world.characters, parts, counts);
    listParts(world.objects, parts, counts);
    listParts(world.landscapes, parts, counts);
    for (const Landscape* l : world.landscapes) counts.push_back(l ? l->levelTileCount[0] : 0);
}

template <class T>
bool listMatches(const std::vector<T*>& list, const WorldSnapshot& s, std::size_t& part, std::size_t& count)
{
    if (count >= s.fixedCounts.size() || s.fixedCounts[count++] != static_cast<int>(list.size())) return false;
    for (const T* p : list)
        if (part >= s.fixedParts.size() || s.fixedParts[part++] != p) return false;
    return true;
}

// Built from the same load: every body, instance and landscape the same object, and
// every landscape's tile grid the same size.
bool sameFixedParts(const ParScene& world, const WorldSnapshot& s)
{
    std::size_t part = 0, count = 0;
    if (!listMatches(world.springModels, s, part, count) || !listMatches(world.springSpaces, s, part, count) ||
        !listMatches(world.cloths, s, part, count) || !listMatches(world.characters, s, part, count) ||
        !listMatches(world.objects, s, part, count) || !listMatches(world.landscapes, s, part, count))
        return false;
    for (const Landscape* l : world.landscapes)
        if (count >= s.fixedCounts.size() || s.fixedCounts[count++] != (l ? l->levelTileCount[0] : 0)) return false;
    return count == s.fixedCounts.size() && part == s.fixedParts.size();
}

// Tiles are made from their place and the ground's seed alone, so one paged out since is
// made again as it was; its texture's jitter draws from the world's stream, which the
// caller puts back afterwards.
void restoreTiles(ParScene& world, const std::vector<unsigned char>& loaded)
{
    const tv::StreamInUse stream(world.random);
    std::size_t k = 0;
    for (Landscape* l : world.landscapes) {
        if (!l) continue;
        const int n = l->levelTileCount[0];
        for (int row = 0; row < n; ++row)
            for (int column = 0; column < n; ++column, ++k) {
                LandscapeSlot& slot = l->levelSlots[0][static_cast<std::size_t>(row * n + column)];
                if (!loaded[k]) {
                    delete slot.tile;
                    slot.tile = nullptr;
                } else if (!slot.tile) {
                    LandscapeTile* tile = new (std::nothrow) LandscapeTile;
                    if (!tile) continue;
                    tile->generate(column, row, 0, l->seed);
                    tile->bakeTexture(l->scale, column, row, 0);
                    slot.tile = tile;
                }
            }
    }
}

// Puts the list back to the snapshot's values, reusing the objects it has.
template <class T>
void restoreObjects(std::vector<T*>& list, const std::vector<T>& values, const std::vector<unsigned char>* present)
{
    for (std::size_t i = values.size(); i < list.size(); ++i) delete list[i];
    list.resize(values.size(), nullptr);
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (present && !(*present)[i]) {
            delete list[i];
            list[i] = nullptr;
            continue;
        }
        if (!list[i]) list[i] = new T;
        *list[i] = values[i];
    }
}
}  // namespace

std::size_t WorldSnapshot::bytes() const
{
    auto held = [](const auto& v) { return v.capacity() * sizeof(v[0]); };
    return sizeof *this + held(particles) + held(handPinned) + held(glow) + held(springs) + held(freeSpringSlots) +
           held(emitters) + held(emitterPresent) + held(sinks) + held(gas) + held(tilesLoaded) + held(fixedParts) +
           held(fixedCounts);
}

void takeSnapshot(const ParScene& world, WorldSnapshot& s)
{
    s.particleHeaders = world.parSys.headers();
    const Particle* particles = world.parSys.carvedRecords();
    s.particles.assign(particles, particles + s.particleHeaders.carved);
    s.handPinned = world.parSys.handPinned;
    s.glowHeaders = world.emittedParticles.headers();
    const EmittedParticle* glow = world.emittedParticles.carvedRecords();
    s.glow.assign(glow, glow + s.glowHeaders.carved);
    s.springs = world.springSys.spring;
    s.freeSpringSlots = world.springSys.freeSlotHeap();

    s.emitters.clear();
    s.emitterPresent.clear();
    for (const Emitter* e : world.emitters) {
        s.emitters.push_back(e ? *e : Emitter{});
        s.emitterPresent.push_back(e != nullptr);
    }
    s.sinks.clear();
    for (const Sink* k : world.sinks) s.sinks.push_back(*k);
    s.gas.clear();
    for (const SpringModel* m : world.springModels) {
        s.gas.push_back(m ? m->pressure : 0);
        s.gas.push_back(m ? m->restVolume : 0);
    }

    s.tilesLoaded.clear();
    for (const Landscape* l : world.landscapes) {
        if (!l) continue;
        for (const LandscapeSlot& slot : l->levelSlots[0]) s.tilesLoaded.push_back(slot.tile != nullptr);
    }
    fixedPartsOf(world, s.fixedParts, s.fixedCounts);

    s.heldParticle = world.heldParticle;
    s.tunedBody = world.tunedBody;
    s.fountainRequested = world.fountainRequested;
    s.holdDistance = world.holdDistance;
    s.pullTarget = world.pullTarget;
    s.mouseRay = world.mouseRay;
    s.timeStep = world.timeStep;
    s.useRk4 = world.useRk4;
    s.gravity = world.gravity;
    s.airDrag = world.airDrag;
    s.random = world.random;
    s.taken = true;
}

bool restoreSnapshot(ParScene& world, const WorldSnapshot& s)
{
    if (!s.taken || !world.parSys.sameBuild(s.particleHeaders) || !world.emittedParticles.sameBuild(s.glowHeaders) ||
        !sameFixedParts(world, s))
        return false;

    world.parSys.restore(s.particleHeaders, s.particles.data());
    world.parSys.handPinned = s.handPinned;
    world.emittedParticles.restore(s.glowHeaders, s.glow.data());
    world.springSys.spring = s.springs;
    world.springSys.setFreeSlotHeap(s.freeSpringSlots);
    restoreObjects(world.emitters, s.emitters, &s.emitterPresent);
    restoreObjects(world.sinks, s.sinks, nullptr);
    for (std::size_t i = 0; i < world.springModels.size(); ++i)
        if (SpringModel* m = world.springModels[i]) {
            m->pressure = s.gas[2 * i];
            m->restVolume = s.gas[2 * i + 1];
        }
    restoreTiles(world, s.tilesLoaded);

    world.heldParticle = s.heldParticle;
    world.tunedBody = s.tunedBody;
    world.fountainRequested = s.fountainRequested;
    world.holdDistance = s.holdDistance;
    world.pullTarget = s.pullTarget;
    world.mouseRay = s.mouseRay;
    world.timeStep = s.timeStep;
    world.useRk4 = s.useRk4;
    world.gravity = s.gravity;
    world.airDrag = s.airDrag;
    world.random = s.random;
    return true;
}
