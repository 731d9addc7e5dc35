#pragma once
// The messages the interaction built-ins show to a player.

namespace kestrin::msg {

inline constexpr const char* kSpriteMissing = "Setting instance to non-existing sprite: ";

} // namespace kestrin::msg
