#pragma once
// The INI built-ins: one open INI file, held in memory and written back (atomically) after
// every change.

#include <span>

#include "script/builtin_routine.h"

namespace kestrin {

std::span<const RFunctionSpec> IniFunctions();

// Forgets the open INI file (its changes are already on disk).
void ResetIniState();

} // namespace kestrin
