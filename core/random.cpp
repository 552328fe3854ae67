#include "core/random.h"

namespace tv {
namespace {
uint32_t gState = 1;
}

int rand()
{
    gState = gState * 214013u + 2531011u;
    return static_cast<int>((gState >> 16) & 0x7fffu);
}

uint32_t randState() { return gState; }
void setRandState(uint32_t state) { gState = state; }
}  // namespace tv
