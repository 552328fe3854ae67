#pragma once
#include <cstdint>

// The one random stream of the program: noise jitter, emitters and BSP splits draw
// from it in turn. It is never seeded, so every run draws the same sequence.
namespace tv {
constexpr int RAND_MAX_VALUE = 32767;

// state = state * 214013 + 2531011 (mod 2^32); returns bits 16..30.
int rand();

// For tests and tools that need a known position in the stream.
uint32_t randState();
void setRandState(uint32_t state);
}  // namespace tv
