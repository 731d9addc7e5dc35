#pragma once
// The dialog built-ins: messages and questions, text and number input, pop-up menus, the
// colour, file and folder choosers, the message window's settings and the high-score table.
// Each asks through the dialog host (runner/dialogs.h) and clears the input state when the
// dialog returns.

#include <cstdint>
#include <functional>
#include <span>

#include "runner/highscore.h"
#include "script/builtin_routine.h"

namespace kestrin {

class TBitmap32;

std::span<const RFunctionSpec> DialogFunctions();

// What the dialogs need of resources above the runner; unset entries read as missing.
struct DialogResourceHooks {
    std::function<bool(int32_t)> background_exists;
    std::function<bool(int32_t)> sprite_exists;
    // The picture of a background, and of a sprite's image (null when missing).
    std::function<const TBitmap32*(int32_t)> background_image;
    std::function<const TBitmap32*(int32_t sprite, int32_t image)> sprite_image;
};
void SetDialogResourceHooks(DialogResourceHooks hooks);
const DialogResourceHooks& CurrentDialogResourceHooks();

// The game's table as stored now.
HighscoreTable CurrentHighscores();
// The name shown for a rank (the text for missing names when never stored).
std::string HighscoreShownName(const HighscoreEntry& entry);

// Message and high-score settings, hosts and answers back to their start.
void ResetDialogState();

} // namespace kestrin
