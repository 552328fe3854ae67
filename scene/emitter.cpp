// Emitters and the glow-sprite pool: emission with recoil, ageing of sprites and
// emitters.
#include "scene/emitter.h"

#include <cmath>

#include "core/debug.h"
#include "core/random.h"
#include "scene/parscene.h"

float randUnit() { return static_cast<float>(tv::rand()) / 32767.0f; }

bool glowFadedOut(float r, float g, float b)
{
    return r < kGlowFadedOut && g < kGlowFadedOut && b < kGlowFadedOut;
}

float fadeCurve(float remainingLife, float life)
{
    float g = remainingLife / life;
    if (!(g < 1)) g = 1;  // also catches a zero life
    const float k = 1 - g;
    return 1 - k * k * k * k * k;
}

// ---------------------------------------------------------------------------------------
// EmittedParticleList

void EmittedParticleList::remove(EmittedParticle* node)
{
    TV_ASSERT(node);
    if (node->par && parSys) parSys->freeParticle(node->par);
    node->par = nullptr;
    recycle(node);
}

// ---------------------------------------------------------------------------------------
// The scene's emission and ageing steps

void ParScene::emit(float dt)
{
    for (Emitter* e : emitters) {
        if (!e || !e->particle) continue;
        Particle* ep = e->particle;
        const Vec3 E = ep->pos;
        e->accumulator += dt * e->rate;
        int requests = 0;
        while (e->accumulator >= 1) {
            // No update makes more children than the pool holds, and once a request is
            // refused every later one in the update is too: requests past the pool's size
            // can make nothing. They are dropped at once, which also spares a float
            // accumulator past 2^24 (where taking 1 away changes nothing) an endless loop.
            if (requests == MAX_PARTICLES) {
                const float owed = std::fmod(e->accumulator, 1.0f);
                e->accumulator = owed >= 0 ? owed : 0;  // an infinite rate leaves nothing owed
                break;
            }
            ++requests;
            Particle* child = parSys.allocParticle();
            if (child) {
                EmittedParticle* node = emittedParticles.allocate();
                if (!node) {
                    parSys.freeParticle(child);
                } else {
                    node->life = node->remainingLife = e->childLife;
                    node->par = child;
                    node->radius = e->childRadius;
                    for (int c = 3; c >= 0; --c)
                        node->color[c] = e->colorMin[c] + randUnit() * (e->colorMax[c] - e->colorMin[c]);
                    child->invMass = 1;
                    child->pos = E;
                    child->vel = e->childVel;
                    for (int a = 0; a < 3; ++a) child->vel[a] += (randUnit() - 0.5f) * e->childSpread;
                    ep->vel -= child->vel * (ep->invMass / child->invMass);  // recoil
                }
            }
            // Children that cannot be allocated are dropped, not postponed.
            e->accumulator -= 1;
        }
    }
}

void ParScene::ageGlow(float dt)
{
    EmittedParticle* node = emittedParticles.first();
    while (node) {
        EmittedParticle* next = node->next;
        node->remainingLife -= dt;
        if (node->remainingLife <= 0) {
            // A hand holding an expiring child lets go, and fountains started on it stop,
            // rather than drag or push a record the pool will hand to someone else.
            if (node->par == heldParticle) grabParticle(nullptr);
            for (Emitter* e : emitters)
                if (e && e->particle == node->par) e->particle = nullptr;
            emittedParticles.remove(node);
        }
        node = next;
    }
}

void ParScene::ageEmitters(float dt)
{
    size_t i = 0;
    while (i < emitters.size()) {
        Emitter* e = emitters[i];
        if (e) e->remainingLife -= dt;
        if (e && e->remainingLife < 0) {
            // Its particle stays live: it may belong to a body.
            delete e;
            emitters.erase(emitters.begin() + static_cast<long>(i));
            continue;
        }
        ++i;
    }
}
