#pragma once
// The world's mechanical energy, summed in double so that a drift of a part in a million
// still shows against totals in the millions: what the explicit Euler step gains and the
// fourth-order step keeps.
#include "physics/springsystem.h"

struct WorldEnergy {
    double kinetic = 0;        // ½·m·|v|² of every particle with a mass (invMass > 0)
    double gravitational = 0;  // m·g·z of the same, zero at z = 0
    double spring = 0;         // ½·ks·(L − rest)² of every active spring
    double total() const { return kinetic + gravitational + spring; }
};

// Pinned particles (infinite mass) hold no energy of motion or height. Left out: the gas of
// pressure bodies, the sinks' pull and the hand's, which are forces without a stored term here.
WorldEnergy worldEnergy(const ParticleSystem& particles, const SpringSystem& springs, float gravity);
