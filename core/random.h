#pragma once
#include <cstdint>

// The program's random numbers: noise jitter, emitters and BSP splits draw from one
// stream in turn. It is never seeded, so every run draws the same sequence. Each world
// owns a stream of its own and puts it in use while it works, so that two worlds side by
// side each draw exactly what a world alone draws.
namespace tv {
constexpr int RAND_MAX_VALUE = 32767;

struct RandomStream {
    uint32_t state = 1;  // where an unseeded program starts
};

// From the stream in use: state = state * 214013 + 2531011 (mod 2^32); returns bits 16..30.
int rand();

// For tests and tools that need a known position in the stream in use.
uint32_t randState();
void setRandState(uint32_t state);

// While one lives, rand() draws from its stream; the one in use before comes back after.
class StreamInUse {
public:
    explicit StreamInUse(RandomStream& stream);
    ~StreamInUse();
    StreamInUse(const StreamInUse&) = delete;
    StreamInUse& operator=(const StreamInUse&) = delete;

private:
    RandomStream* saved;
};
}  // namespace tv
