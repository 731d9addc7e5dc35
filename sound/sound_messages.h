#pragma once
// The messages the sound subsystem shows to a player.

namespace kestrin::msg {

inline constexpr const char* kMusicNameTooLong = "Music file name too long for player.";
inline constexpr const char* kSoundMissing = "Sound does not exist.";
inline constexpr const char* kSoundReplaceMissing = "Trying to replace non-existing sound.";
inline constexpr const char* kSoundDeleteMissing = "Trying to delete non-existing sound.";

} // namespace kestrin::msg
