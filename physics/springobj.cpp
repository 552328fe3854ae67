#include "physics/springobj.h"

#include <algorithm>
#include <cstdio>
#include <unordered_map>

#include "core/debug.h"

void SpringObj::reset()
{
    vertex.clear();
    spring.clear();
    parSys = nullptr;
    springSys = nullptr;
}

bool SpringObj::init(ParticleSystem* parSys_, SpringSystem* springSys_)
{
    release();
    parSys = parSys_;
    springSys = springSys_;
    return true;
}

void SpringObj::release()
{
    if (parSys) {
        for (Particle* p : vertex)
            if (p) parSys->freeParticle(p);
    }
    if (springSys) {
        for (int index : spring) springSys->freeSpring(index);  // ignores indices out of range
    }
    reset();
}

// Kept, a part-built body's particles would starve every later body and emitter of a
// pool it has no use for. The base init, since a body's own may build.
bool SpringObj::abandonBuild()
{
    SpringObj::init(parSys, springSys);
    return false;
}

bool SpringObj::takeSpring(Particle* a, Particle* b, float rest, float ks, float kd)
{
    TV_ASSERT(springSys);
    if (!a || !b) return false;
    const int index = springSys->allocSpring();
    if (index < 0 || !springSys->spring[index].active) return false;
    Spring& s = springSys->spring[index];
    s.p0 = a;
    s.p1 = b;
    s.rest = rest;
    s.ks = ks;
    s.kd = kd;
    spring.push_back(index);
    return true;
}

void SpringObj::restretch()
{
    for (size_t i = 0; i < spring.size(); ++i) {
        TV_ASSERT_TEXT(spring[i] >= 0 && static_cast<size_t>(spring[i]) < springSys->spring.size(),
                       "spring[i] >= 0 && spring[i] < springSys->spring.size()");
        Spring& s = springSys->spring[spring[i]];
        TV_ASSERT(s.active);
        if (s.p0 && s.p1) {
            s.rest = length(s.p0->pos - s.p1->pos);
        } else {
            printf("spring %d has bad particle poitners\n", spring[i]);
            s.rest = 0;
        }
    }
}

void SpringObj::rotate(const Quat& q)
{
    for (size_t i = 0; i < vertex.size(); ++i) {
        TV_ASSERT(vertex[i]);
        vertex[i]->pos = ::rotate(q, vertex[i]->pos);
    }
}

void SpringObj::translate(const Vec3& v)
{
    for (size_t i = 0; i < vertex.size(); ++i) {
        TV_ASSERT(vertex[i]);
        vertex[i]->pos += v;
    }
}

void SpringObj::scale(const Vec3& v)
{
    for (size_t i = 0; i < vertex.size(); ++i) {
        TV_ASSERT(vertex[i]);
        Vec3& p = vertex[i]->pos;
        p = Vec3(p.x * v.x, p.y * v.y, p.z * v.z);
    }
}

void SpringObj::setKs(float k)
{
    for (size_t i = 0; i < spring.size(); ++i) {
        TV_ASSERT_TEXT(spring[i] >= 0 && static_cast<size_t>(spring[i]) < springSys->spring.size(),
                       "spring[i] >= 0 && spring[i] < springSys->spring.size()");
        Spring& s = springSys->spring[spring[i]];
        TV_ASSERT(s.active);
        s.ks = k;
    }
}

void SpringObj::setKd(float k)
{
    for (size_t i = 0; i < spring.size(); ++i) {
        TV_ASSERT_TEXT(spring[i] >= 0 && static_cast<size_t>(spring[i]) < springSys->spring.size(),
                       "spring[i] >= 0 && spring[i] < springSys->spring.size()");
        Spring& s = springSys->spring[spring[i]];
        TV_ASSERT(s.active);
        s.kd = k;
    }
}

void SpringObj::setViscosity(float most)
{
    std::unordered_map<const Particle*, int> springsAt;
    for (int k : spring) {
        const Spring& s = springSys->spring[k];
        ++springsAt[s.p0];
        ++springsAt[s.p1];
    }
    for (int k : spring) {
        Spring& s = springSys->spring[k];
        s.across = most / static_cast<float>(std::max(springsAt[s.p0], springsAt[s.p1]));
    }
}
