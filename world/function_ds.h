#pragma once
// Function_Data_Structures: the built-ins of the six container kinds, registered in one
// table, and the state they keep for the whole run.

#include <span>

#include "script/builtin_routine.h"

namespace kestrin {

// ORDER: ds_set_precision, then stacks, queues, lists, maps, priority queues and grids.
std::span<const RFunctionSpec> DataStructureFunctions();

// Destroys every container of every kind and restores the precision, as at the start of a
// run. Room changes never call it; whoever starts a game afresh does.
void ResetDataStructures();

} // namespace kestrin
