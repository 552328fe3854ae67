#pragma once
// What reaches the world from a hand, a key, a button or the panel, as data. The shell
// turns events into these and applies them; a recording keeps them, a replay and a rewind
// apply them again, so everything that changes the world between updates goes through
// applyInput.
#include <cstdint>

#include "core/vecmath.h"

class ParScene;

struct WorldInput {
    enum Kind : uint8_t {
        MouseRay,     // the world's mouse ray (the held particle is pulled along it)
        Grab,         // takes the particle nearest `ray`
        Release,      // lets the held particle go
        Pin,          // pins the held particle, or frees it when pinned
        Fountain,     // 'z': the next update starts a fountain on the held particle
        TerrainLoad,  // pages in the fine tile under `ray`
        TerrainUnload,
        Source,       // places a source where `ray` meets solid ground
        Sink,         // places a sink where `ray` meets the ground plane
        SingleStep,   // 'n' on a paused world
        TimeStep,     // `value` seconds an update; 0 pauses
        Integrator,   // `value` 1: fourth order, 0: Euler
        Reset,        // the world read again from its scene file
        Gravity,      // `value` units/s²
        AirDrag,      // `value` mass units per second
        BodyKs,       // the held or last-held particle's body: its springs' stiffness
        BodyKd,       // ... their damping
        BodyPressure, // ... its gas, for a closed spring model
        KindCount
    };
    Kind kind = MouseRay;
    Ray ray;
    float value = 0;
};

// Whether a kind carries `ray` or `value`. Inline: the log's reader knows no world.
inline bool carriesRay(WorldInput::Kind kind)
{
    switch (kind) {
    case WorldInput::MouseRay:
    case WorldInput::Grab:
    case WorldInput::TerrainLoad:
    case WorldInput::TerrainUnload:
    case WorldInput::Source:
    case WorldInput::Sink:
        return true;
    default:
        return false;
    }
}

inline bool carriesValue(WorldInput::Kind kind)
{
    switch (kind) {
    case WorldInput::TimeStep:
    case WorldInput::Integrator:
    case WorldInput::Gravity:
    case WorldInput::AirDrag:
    case WorldInput::BodyKs:
    case WorldInput::BodyKd:
    case WorldInput::BodyPressure:
        return true;
    default:
        return false;
    }
}

// Applies one input as the shell always has. SingleStep runs its update; every other kind
// takes effect at once or at the next update.
// Returns placeSource's answer for a Source, else 0.
int applyInput(ParScene& world, const WorldInput& input);
