#pragma once
// The messages of the dialog and high-score built-ins, in one place so that tests can assert
// the exact text.

namespace kestrin::msg {

inline constexpr const char* kNoMessageBackground = "Trying to set a non-existing message background";
inline constexpr const char* kNoMessageButton = "Trying to set a non-existing message button";
inline constexpr const char* kHighscoreAskName =
    "You reached a place in the highscore table.\rPlease provide your name.";
inline constexpr const char* kHighscoreDefaultName = "player";

} // namespace kestrin::msg
