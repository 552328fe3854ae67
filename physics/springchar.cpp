#include "physics/springchar.h"

#include <cstdio>

bool SpringChar::build()
{
    vertex.reserve(kNodeCount);
    spring.reserve(486);
    for (int j = 0; j < kNodeCount; ++j) {
        Particle* p = parSys->allocParticle();
        if (!p) {
            printf("couldnt alloc enough particles for the spring char\n");
            return false;
        }
        vertex.push_back(p);
        p->pos = Vec3(nodes[j].x, nodes[j].y, nodes[j].z);
        p->vel = Vec3(0, 0, 0);
        p->force = Vec3(0, 0, 0);
        p->invMass = 1.0f;
        for (int k = j - 1; k >= 0; --k) {
            if (!(nodes[j].bones & nodes[k].bones)) continue;
            // Slack (no stiffness, no damping) until the whole body stands, so that a
            // build that runs out part-way never leaves a stiff spring behind.
            if (!takeSpring(vertex[j], vertex[k], 0, 0, 0)) {
                printf("couldnt alloc enough springs for the spring char\n");
                return false;
            }
        }
    }

    // Every particle stands at its node: the joints take their stiffness.
    for (int index : spring) {
        Spring& s = springSys->spring[index];
        s.ks = 700.0f;
        s.kd = 10.0f;
    }
    restretch();
    return true;
}

void SpringChar::computeTotalImpact()
{
    totalImpact = 0;
    for (Particle* p : vertex)
        if (p) totalImpact += p->impact;
}
