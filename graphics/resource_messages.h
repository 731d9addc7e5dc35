#pragma once
// The messages the resource built-ins show to a player.

namespace kestrin::msg {

inline constexpr const char* kSpriteAddMissing = "Trying to add to non-existing sprite.";
inline constexpr const char* kSpriteReplaceMissing = "Trying to replace non-existing sprite.";
inline constexpr const char* kSpriteDeleteMissing = "Trying to delete non-existing sprite.";
inline constexpr const char* kSpriteDuplicateMissing = "Trying to duplicate non-existing sprite.";
inline constexpr const char* kSpriteAssignFailed = "Error assigning a sprite.";
inline constexpr const char* kSpriteMergeToMissing = "Trying to merge to non-existing sprite.";
inline constexpr const char* kSpriteMergeFromMissing = "Trying to merge from non-existing sprite.";
inline constexpr const char* kSpriteSaveMissing = "Trying to save non-existing sprite bitmap.";
inline constexpr const char* kSpriteSaveEmptyName = "Trying to save sprite bitmap to empty image file name.";
inline constexpr const char* kSpriteMaskMissing = "Trying to set collision mode for non-existing sprite.";
inline constexpr const char* kBackgroundReplaceMissing = "Trying to replace non-existing background.";
inline constexpr const char* kBackgroundDeleteMissing = "Trying to delete non-existing background.";
inline constexpr const char* kBackgroundDuplicateMissing = "Trying to duplicate non-existing background.";
inline constexpr const char* kBackgroundAssignFailed = "Error assigning a background.";
inline constexpr const char* kBackgroundSaveMissing = "Trying to save non-existing background bitmap.";
inline constexpr const char* kBackgroundSaveEmptyName =
    "Trying to save background bitmap to empty image file name.";

} // namespace kestrin::msg
