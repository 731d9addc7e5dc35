#pragma once
// The splash built-ins (splash_set_*, splash_show_*, show_image, show_text, show_video) and
// the game information (show_info, load_info, the F1 key). A splash inside the game window or
// a modal one runs its own loop until it closes: it pumps the window's messages and draws
// itself, and the game does not step. A free splash (interrupt off, outside the game window)
// is drawn over the game's frames while the game goes on. Headless runs print one line per
// splash to standard error and go on at once.

#include <span>

#include "script/builtin_routine.h"

namespace kestrin {

struct GameInformation;
class InputState;

std::span<const RFunctionSpec> SplashFunctions();

// The game information of the game being played (start-up hands it over; load_info changes it).
void SetSplashGameInformation(const GameInformation& information);
// F1 and show_info: shows the game information (F1 again, or its close button, closes it
// when it is shown beside the running game).
void ShowGameInformation();
// The function key: F1 shows the game information and clears the input.
void SplashFunctionKeys(InputState& input);

// Main-loop phases: the gate (true while a splash holds the game; a free splash hears its
// clicks and timer here) and the drawing of a free splash over the frame about to be shown.
bool Splash_Gate();
void Splash_DrawFrame();
// True while a free splash is shown beside the running game.
bool SplashShownBesideGame();

// Closes any splash and forgets the settings and a loaded game information.
void ResetSplashModule();

} // namespace kestrin
