#include "physics/cloth.h"

#include <cstdio>

#include "core/debug.h"

void Cloth::reset()
{
    SpringObj::reset();
    n = 0;
    box.min = Vec3(0, 0, 0);
    box.max = Vec3(0, 0, 0);
}

bool Cloth::prepare(int n_, ParticleSystem* parSys_, SpringSystem* springSys_)
{
    release();
    if (!SpringObj::init(parSys_, springSys_)) return false;
    // The grid spacing divides by n − 1.
    if (n_ < 2) {
        printf("Cloth.init() needs at least 2 particles a side, got %d\n", n_);
        return false;
    }
    // A sheet the pool could never hold is refused before anything is taken (and before
    // n² can overflow).
    if (static_cast<long long>(n_) * n_ > MAX_PARTICLES) {
        printf("Cloth.init() couldnt alloc enough particles for %d x %d, the pool holds %d\n", n_, n_, MAX_PARTICLES);
        return false;
    }
    n = n_;
    return true;
}

bool Cloth::buildSheet()
{
    // On failure the body keeps exactly what it obtained, so release gives back only
    // particles and springs that are its own.
    const int count = n * n;
    vertex.reserve(count);
    for (int r = 0; r < n; ++r) {
        for (int c = 0; c < n; ++c) {
            Particle* p = parSys->allocParticle();
            if (!p) return false;
            vertex.push_back(p);
            p->invMass = 1.0f;
            p->pos = Vec3(static_cast<float>(c) / (n - 1) - 0.5f, static_cast<float>(r) / (n - 1) - 0.5f, 0);
            p->vel = Vec3(0, 0, 0);
        }
    }

    const int springCount = 6 * n * n - 10 * n + 2;
    spring.reserve(springCount);
    auto at = [&](int r, int c) { return vertex[r * n + c]; };
    auto make = [&](Particle* a, Particle* b) { return takeSpring(a, b, 0, 360.0f, 3.6f); };
    for (int c = 0; c < n; ++c) {
        for (int r = 0; r < n; ++r) {
            Particle* b = at(r, c);
            if (c > 0 && !make(b, at(r, c - 1))) return false;
            if (r > 0 && !make(b, at(r - 1, c))) return false;
            if (c > 0 && r > 0 && !make(b, at(r - 1, c - 1))) return false;
            if (c > 0 && r < n - 1 && !make(b, at(r + 1, c - 1))) return false;
            if (c > 1 && !make(b, at(r, c - 2))) return false;
            if (r > 1 && !make(b, at(r - 2, c))) return false;
        }
    }
    TV_ASSERT(static_cast<int>(spring.size()) == springCount);
    restretch();
    computeBox();
    return true;
}

void Cloth::pinBorder()
{
    if (static_cast<int>(vertex.size()) != n * n) return;
    for (int r = 0; r < n; ++r)
        for (int c = 0; c < n; ++c)
            if (r == 0 || c == 0 || r == n - 1 || c == n - 1) vertex[r * n + c]->invMass = 0;
}

Cloth::Triangle Cloth::triangle(int t) const
{
    TV_ASSERT(t >= 0 && t < triangleCount());
    int q = t / 2;
    int e = (q % (n - 1)) + (q / (n - 1)) * n;
    if (t % 2 == 0) return {{vertex[e], vertex[e + n + 1], vertex[e + 1]}};
    return {{vertex[e + n], vertex[e], vertex[e + n + 1]}};
}

void Cloth::computeBox()
{
    TV_ASSERT(parSys);
    if (vertex.empty()) {
        box.min = Vec3(0, 0, 0);
        box.max = Vec3(0, 0, 0);
        return;
    }
    box = BBox::fromPoint(vertex[0]->pos);
    for (size_t i = 1; i < vertex.size(); ++i) box.extend(vertex[i]->pos);
}
