#pragma once
// The messages of triggers that a player can see.

namespace kestrin::msg {

inline constexpr const char* kTriggerCompileError = "COMPILATION ERROR in condition of trigger ";
inline constexpr const char* kTriggerRunError = "ERROR in trigger ";
inline constexpr const char* kTriggerDeleted = "<Deleted>";

} // namespace kestrin::msg
