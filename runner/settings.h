#pragma once
// The game's settings block: window and display options, function keys, priority, the
// loading window's look and error handling, chosen by the author and read once at load.

#include <cstdint>
#include <optional>

#include "base/bitmap32.h"
#include "base/stream.h"

namespace kestrin {

struct CSettings {
    int32_t version = 820;

    bool fullscreen = false;
    bool interpolate = false;
    bool no_border = false;
    bool show_cursor = true;
    int32_t scale = 100;
    bool sizeable = false;
    bool stay_on_top = false;
    int32_t outside_colour = 0xFFFFFF;
    bool set_display_mode = false;
    int32_t colour_depth = 0;
    int32_t resolution = 0;
    int32_t frequency = 0;
    bool no_buttons = false;
    bool vsync = false;
    bool block_screensaver = true;
    bool key_f4_fullscreen = true;
    bool key_f1_info = true;
    bool key_escape_ends = true;
    bool key_f5_f6_save_load = true;
    bool key_f9_screenshot = true;
    bool close_as_escape = true;
    int32_t priority = 0;
    bool freeze_inactive = false;
    bool show_progress = true;
    std::optional<TBitmap32> bar_back;
    std::optional<TBitmap32> bar_front;
    std::optional<TBitmap32> loading_image;
    bool loading_transparent = false;
    int32_t loading_alpha = 255;
    bool scale_progress = true;
    bool display_errors = true;
    bool write_errors = false;
    bool abort_errors = false;
    int32_t language_flags = 2;
    int32_t reserved = 0;
    bool create_event_first = false;

    // Language options carried in the flags.
    bool TreatUninitialisedAsZero() const { return (language_flags & 1) != 0; }
    bool CheckArguments() const { return (language_flags & 2) != 0; }
    // The loading window frees the images once it has taken them.
    void ReleaseLoadingImages() {
        bar_back.reset();
        bar_front.reset();
        loading_image.reset();
    }
};

// Resets to the defaults, then reads the block. False when the version is below 800; a
// truncated block throws StreamError.
bool ReadSettings(CStream& stream, CSettings& settings);
// Writes the block in the form of settings.version (fields 33 and 34 only from 820 on).
void WriteSettings(CStream& stream, const CSettings& settings);

} // namespace kestrin
