#pragma once
// The twelve effect presets on two particle systems of their own, one under everything
// (depth 100000) and one over it (depth -100000), both made on first use together with the
// effects' particle types.

#include <cstdint>

namespace kestrin {

// ORDER effects: ef_explosion .. ef_snow.
inline constexpr int32_t kEffectCount = 12;

// kind 0..11 at (x, y) with size 0 (small), 1 (medium, also any other value) or 2 (large).
void Effect_Create(bool above, int32_t kind, double x, double y, int32_t size, int32_t colour);
// Removes every particle of both effect systems (effect_clear and every room start).
void Effect_Clear();
// The speed factor that keeps effects alike at different step rates.
double Effect_SpeedFactor(int32_t roomSpeed, int32_t fps);
// Forgets the effect systems and types (the tables are being cleared).
void Effect_Reset();
// The effect systems' ids, -1 before first use (tests).
int32_t Effect_System(bool above);

} // namespace kestrin
