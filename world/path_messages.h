#pragma once
// The messages the path built-ins show to a player.

namespace kestrin::msg {

inline constexpr const char* kPathDuplicateMissing = "Trying to duplicate non-existing path.";
inline constexpr const char* kPathAssignFailed = "Error assigning a path.";
inline constexpr const char* kPathAppendToMissing = "Appending to non-existing path.";
inline constexpr const char* kPathAppendMissing = "Appending a non-existing path.";
inline constexpr const char* kPathDeleteMissing = "Trying to delete non-existing path.";
inline constexpr const char* kPathDrawMissing = "Trying to drawn non-existing path.";

} // namespace kestrin::msg
