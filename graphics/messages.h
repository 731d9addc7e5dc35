#pragma once
// Every message the graphics built-ins show a player, in one place so tests assert the exact text.

namespace kestrin::graphics_msg {

inline constexpr const char* kNoSurface = "Trying to use non-existing surface.";
inline constexpr const char* kSurfaceEmptyName = "Trying to save surface to empty image file name.";
inline constexpr const char* kScreenEmptyName = "Trying to save screen to empty image file name.";
inline constexpr const char* kNoBackgroundTexture = "Trying to get texture from non-existing background.";
inline constexpr const char* kDrawNoBackground = "Trying to draw non-existing background.";
inline constexpr const char* kDrawNoSprite = "Trying to draw non-existing sprite.";
inline constexpr const char* kNoSpriteTexture = "Trying to get texture from non-existing sprite.";
inline constexpr const char* kNoTile = "Tile does not exist.";
inline constexpr const char* kNoBackground = "Background does not exist.";
inline constexpr const char* kFontNoSprite = "Trying to create font from non-existing sprite.";
inline constexpr const char* kReplaceNoFont = "Trying to replace non-existing font.";
inline constexpr const char* kReplaceFontNoSprite = "Trying to replace font from non-existing sprite.";
inline constexpr const char* kDeleteNoFont = "Trying to delete non-existing font.";

} // namespace kestrin::graphics_msg
