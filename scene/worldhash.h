#pragma once
// A 64-bit fingerprint of the world's motion: every live particle's position and velocity
// to the last bit, and the pools' counts. Two runs agree on it only if they moved alike.
#include <cstdint>
#include <string>

class ParScene;

uint64_t worldHash(const ParScene& world);
// As "0x" and sixteen hex digits.
std::string hashText(uint64_t hash);
