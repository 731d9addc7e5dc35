#pragma once
// Named constants: the 331 built-in ones, those of extension packages and those of the game,
// found by name when code is compiled. Resource names come first, then trigger constants,
// then the table, where a later definition hides an earlier one of the same name.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "script/value.h"

namespace kestrin {

inline constexpr int32_t kBuiltinConstantCount = 331;

void AddConstant(std::string_view name, const RValue& value);

// The constant lookup of the compiler: resource names, trigger constants, then the table.
[[nodiscard]] bool FindConstant(std::string_view name, RValue& value);

// Validates the name, compiles and runs the text as an expression with a temporary instance,
// and adds the constant. On failure answers false with the message to show in `message`.
[[nodiscard]] bool DefineConstant(std::string_view name, std::string_view text, std::string& message);

// The constants table back to the built-in constants alone.
void ResetConstants();
int32_t ConstantCount();
// Name and value of entry `index` of the table (in the order added).
std::string_view ConstantName(int32_t index);
const RValue& ConstantValue(int32_t index);

// The game's resource names (objects, sprites, sounds, backgrounds, paths, fonts, time lines,
// scripts, rooms, in that order of precedence) and trigger constants, as the runner holds
// them. Unset, only the scripts table is consulted.
using NameLookup = std::function<bool(std::string_view name, int32_t& index)>;
void SetResourceNameLookup(NameLookup lookup);
void SetTriggerConstantLookup(NameLookup lookup);

} // namespace kestrin
