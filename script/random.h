#pragma once
// The runner's one random generator: a 32-bit linear congruential sequence whose every draw
// is reproducible from the seed, so that a run started with a given seed replays exactly.

#include <cstdint>

namespace kestrin {

// The seed as it stands (the state the next draw advances from).
uint32_t RandomSeed();
void SetRandomSeed(uint32_t seed);

// Where randomize() and the start of a game take a fresh seed from; the default reads the
// low 32 bits of a high-resolution clock. A replaying run installs a fixed source. Null
// restores the default.
using RandomSeedSource = uint32_t (*)();
void SetRandomSeedSource(RandomSeedSource source);
// Seeds the generator from the source.
void RandomizeSeed();

// A real draw in [0, 1): the advanced seed divided by 2^32.
double RandomReal();
// An integer draw below n (0 .. n-1; 0 when n is 0): the high 32 bits of n times the seed.
uint32_t RandomBelow(uint32_t n);

} // namespace kestrin
