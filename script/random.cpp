#include "script/random.h"

#include <chrono>

namespace kestrin {

namespace {

uint32_t ClockSeed() {
    const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
    return static_cast<uint32_t>(static_cast<uint64_t>(ticks));
}

uint32_t g_seed = 0;
RandomSeedSource g_source = &ClockSeed;

uint32_t Advance() {
    g_seed = g_seed * 134775813u + 1u; // unsigned arithmetic wraps modulo 2^32
    return g_seed;
}

} // namespace

uint32_t RandomSeed() {
    return g_seed;
}

void SetRandomSeed(uint32_t seed) {
    g_seed = seed;
}

void SetRandomSeedSource(RandomSeedSource source) {
    g_source = source ? source : &ClockSeed;
}

void RandomizeSeed() {
    g_seed = g_source();
}

double RandomReal() {
    return static_cast<double>(Advance()) / 4294967296.0;
}

uint32_t RandomBelow(uint32_t n) {
    return static_cast<uint32_t>((static_cast<uint64_t>(n) * Advance()) >> 32);
}

} // namespace kestrin
