#pragma once
// The graphics built-in tables read their arguments the way every family does.

#include "script/builtin_args.h"

namespace kestrin {
namespace graphics_args = builtin_args;
} // namespace kestrin
