#pragma once
// The messages the motion planning built-ins show to a player.

namespace kestrin::msg {

inline constexpr const char* kMpPathMissing = "Trying to assign to a non-existing path.";

} // namespace kestrin::msg
