#pragma once
// The game-wide values scripts see as built-in variables (score, lives, health, the caption
// labels, ...) and the binding of every built-in variable the runner core owns: the instance
// variables, the room, its layers and views, and the game's own values.

#include <cstdint>
#include <string>

#include "runner/instance.h"

namespace kestrin {

struct GameVariables {
    int32_t score = 0;
    int32_t lives = -1;
    double health = 100; // kept across restarts; only the process start sets it
    int32_t cursor_sprite = -1;
    int32_t transition_steps = 80;
    bool show_score = true;
    bool show_lives = false;
    bool show_health = false;
    bool score_asked = false; // show_score was written: the caption shows even a score of 0
    std::string caption_score = "Score: ";
    std::string caption_lives = "Lives: ";
    std::string caption_health = "Health: ";
    int32_t game_id = 0;
    bool secure_mode = false;
    bool debug_mode = false;
    std::string temp_directory;
    std::string program_directory;
    int32_t view_current = 0;
    int32_t display_aa = 0;
};

GameVariables& GameValues();
// What a game start resets: score, lives, the cursor sprite (health stays).
void ResetGameVariables();
// Lives and health as the variables and the actions set them: crossing from above 0 to 0 or
// less performs the no-more-lives (no-more-health) event for every instance.
void SetLives(int32_t lives);
void SetHealth(double health);

// The runner's instance behind a script instance, or nullptr for the bare instances of the
// script tool.
inline CInstance* AsInstance(CScriptInstance* instance) {
    return instance && instance->i_isinstance ? static_cast<CInstance*>(instance) : nullptr;
}

// Installs the read and write routines of the instance variables, the room, layer and view
// variables, and the game's values (those of input, arguments and errors are bound by their
// own modules).
void BindGameVariables();

} // namespace kestrin
