#include "physics/energy.h"

#include <cmath>

WorldEnergy worldEnergy(const ParticleSystem& particles, const SpringSystem& springs, float gravity)
{
    WorldEnergy e;
    for (const Particle* p = particles.liveHead; p; p = p->next) {
        if (!(p->invMass > 0)) continue;
        const double m = 1.0 / p->invMass;
        const double vx = p->vel.x, vy = p->vel.y, vz = p->vel.z;
        e.kinetic += 0.5 * m * (vx * vx + vy * vy + vz * vz);
        e.gravitational += m * gravity * p->pos.z;
    }
    for (const Spring& s : springs.spring) {
        if (!s.active || !s.p0 || !s.p1) continue;
        const double dx = double(s.p0->pos.x) - s.p1->pos.x, dy = double(s.p0->pos.y) - s.p1->pos.y,
                     dz = double(s.p0->pos.z) - s.p1->pos.z;
        const double stretch = std::sqrt(dx * dx + dy * dy + dz * dz) - s.rest;
        e.spring += 0.5 * s.ks * stretch * stretch;
    }
    return e;
}
