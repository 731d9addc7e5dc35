#pragma once
// The registry built-ins (the game's own key and any key under the chosen root) and the
// secure-mode values start-up reads.

#include <span>
#include <string>

#include "runner/registry_store.h"
#include "script/builtin_routine.h"

namespace kestrin {

std::span<const RFunctionSpec> RegistryFunctions();

// The store the built-ins use (by default the user's, found from the environment when first
// used); tests point it at a temporary folder.
void SetRegistryStore(const RegistryStore& store);
RegistryStore& CurrentRegistryStore();
// The root back to the current user.
void ResetRegistryState();

// The key of the secure-mode values, under the current user.
inline constexpr const char* kPreferencesKey = "\\Software\\Kestrin\\Version 8.1\\Preferences";
// Off without the key; else the value "Warning", and when "KestrinRunning" exists as well,
// on only when both are.
bool ReadSecureMode(const RegistryStore& store);

} // namespace kestrin
