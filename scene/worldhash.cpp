#include "scene/worldhash.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "scene/parscene.h"

namespace {
// FNV-1a over the bytes, low byte first.
uint64_t mix(uint64_t h, uint32_t v)
{
    for (int i = 0; i < 4; ++i) {
        h ^= (v >> (8 * i)) & 0xffu;
        h *= 1099511628211ull;
    }
    return h;
}

uint64_t mix(uint64_t h, float f)
{
    uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return mix(h, bits);
}
}  // namespace

uint64_t worldHash(const ParScene& s)
{
    uint64_t h = 14695981039346656037ull;
    for (const Particle* p = s.parSys.first(); p; p = p->next)
        for (int a = 0; a < 3; ++a) h = mix(mix(h, p->pos[a]), p->vel[a]);
    for (int n : {s.parSys.liveCount(), s.parSys.createdCount(), s.emittedParticles.liveCount(),
                  s.emittedParticles.createdCount(), s.springSys.count(), static_cast<int>(s.emitters.size())})
        h = mix(h, static_cast<uint32_t>(n));
    return h;
}

std::string hashText(uint64_t hash)
{
    char text[19];
    std::snprintf(text, sizeof text, "0x%016" PRIx64, hash);
    return text;
}
