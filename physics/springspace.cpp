#include "physics/springspace.h"

#include "core/debug.h"

namespace {
// Corner pairs of the 28 lattice springs, corners numbered x + 2y + 4z: the 12 cube
// edges, the 4 body diagonals, then two diagonals per face (x = 0, y = 0, z = 0, x = 1,
// y = 1, z = 1).
constexpr int kLatticeSprings[28][2] = {
    {0, 1}, {0, 2}, {0, 4}, {2, 3}, {4, 6}, {1, 5}, {4, 5}, {1, 3}, {2, 6}, {6, 7}, {5, 7}, {3, 7},
    {0, 7}, {1, 6}, {2, 5}, {3, 4},
    {0, 6}, {4, 2}, {0, 5}, {1, 4}, {0, 3}, {2, 1}, {1, 7}, {5, 3}, {2, 7}, {3, 6}, {4, 7}, {6, 5},
};
}  // namespace

void SpringSpace::reset()
{
    SpringObj::reset();
    model = nullptr;
    deformed.clear();
}

bool SpringSpace::setModel(const ObjFile* m)
{
    if (!init(parSys, springSys)) return false;
    model = m;
    if (!m) return true;
    // A mesh without vertices has no box to put a lattice round.
    if (m->vertices.empty()) return abandonBuild();

    const Vec3 lo = m->bounds.min, hi = m->bounds.max;
    vertex.assign(8, nullptr);
    size_t e = 0;
    for (int z = 0; z < 2; ++z) {
        for (int y = 0; y < 2; ++y) {
            for (int x = 0; x < 2; ++x) {
                Particle* p = parSys->allocParticle();
                if (!p) return abandonBuild();
                p->invMass = 1.0f;
                p->pos = Vec3(lo.x + x * (hi.x - lo.x), lo.y + y * (hi.y - lo.y), lo.z + z * (hi.z - lo.z));
                p->vel = Vec3(0, 0, 0);
                p->force = Vec3(0, 0, 0);
                vertex[x + 2 * y + 4 * z] = p;
                ++e;
            }
        }
    }
    TV_ASSERT(e == vertex.size());

    deformed.resize(m->vertices.size());

    spring.reserve(28);
    e = 0;
    for (const auto& pair : kLatticeSprings) {
        Particle* a = vertex[pair[0]];
        Particle* b = vertex[pair[1]];
        if (!takeSpring(a, b, length(a->pos - b->pos), 360.0f, 3.6f)) return abandonBuild();
        ++e;
    }
    TV_ASSERT(e == spring.size());
    return true;
}

void SpringSpace::deform()
{
    if (!model) return;
    const Vec3 lo = model->bounds.min, hi = model->bounds.max;
    // A flat axis (zero extent) has no lattice coordinate; its vertices sit half way
    // between the two layers of corners, which coincide while the body is at rest.
    Vec3 s(1 / (hi.x - lo.x), 1 / (hi.y - lo.y), 1 / (hi.z - lo.z));
    const bool flat[3] = {!(hi.x > lo.x), !(hi.y > lo.y), !(hi.z > lo.z)};
    Vec3 corner[8];
    for (int i = 0; i < 8; ++i) corner[i] = vertex[i]->pos;
    const size_t n = model->vertices.size();
    for (size_t q = 0; q < n; ++q) {
        const Vec3& p = model->vertices[q];
        Vec3 t((p.x - lo.x) * s.x, (p.y - lo.y) * s.y, (p.z - lo.z) * s.z);
        for (int a = 0; a < 3; ++a)
            if (flat[a]) t[a] = 0.5f;
        Vec3 sum(0, 0, 0);
        for (int z = 0; z < 2; ++z) {
            float wz = z ? t.z : 1 - t.z;
            for (int y = 0; y < 2; ++y) {
                float wy = y ? t.y : 1 - t.y;
                for (int x = 0; x < 2; ++x) {
                    float wx = x ? t.x : 1 - t.x;
                    sum += corner[x + 2 * y + 4 * z] * (wx * wy * wz);
                }
            }
        }
        deformed[q] = sum;
    }
}
