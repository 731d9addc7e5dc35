#pragma once
// The messages of the action library's routines.

namespace kestrin::msg {

inline constexpr const char* kActionMoveArgument = "Wrong argument to action_move().";
inline constexpr const char* kActionCompareKinds = "Cannot compare arguments.";
inline constexpr const char* kActionReplaceMissing = "Trying to replace non-existing resource.";
inline constexpr const char* kActionFileMissing = "File does not exist.";
inline constexpr const char* kActionPlayMissing = "Trying to play non-existing sound.";
inline constexpr const char* kActionStopMissing = "Trying to stop non-existing sound.";
inline constexpr const char* kActionDrawSpriteMissing = "Trying to draw a non-existing sprite.";
inline constexpr const char* kActionDrawBackgroundMissing = "Trying to draw a non-existing background.";
inline constexpr const char* kActionEmitterMissing = "The particle emitter must first be created.";
inline constexpr const char* kActionSecureWebpage = "In secure mode you cannot open webpages.";
inline constexpr const char* kActionWebpageFailed = "Failed to open the webpage.";

} // namespace kestrin::msg
