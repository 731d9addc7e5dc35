#pragma once
// Registration of every family of built-in functions, in the fixed order of modules, and of
// the routines of the built-in variables the script language owns.

namespace kestrin {

// Called once, by the registry, before the first lookup.
void RegisterBuiltinFamilies();

} // namespace kestrin
