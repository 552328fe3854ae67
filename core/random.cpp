#include "core/random.h"

namespace tv {
namespace {
// The stream of whatever draws outside a world (tools, tests).
RandomStream shared;
RandomStream* inUse = &shared;
}  // namespace

int rand()
{
    uint32_t& s = inUse->state;
    s = s * 214013u + 2531011u;
    return static_cast<int>((s >> 16) & 0x7fffu);
}

uint32_t randState() { return inUse->state; }
void setRandState(uint32_t state) { inUse->state = state; }

StreamInUse::StreamInUse(RandomStream& stream) : saved(inUse) { inUse = &stream; }
StreamInUse::~StreamInUse() { inUse = saved; }
}  // namespace tv
