#pragma once
// The message window without any drawing: the settings scripts give it (message_*), where its
// parts go, and which key chooses which button. The window's host draws what this computes.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kestrin {

struct MessageFont {
    std::string name = "Arial";
    int32_t size = 10;
    int32_t colour = 0;
    int32_t style = 0; // 0 normal, 1 bold, 2 italic, 3 bold italic
    int32_t charset = 1;
};

// The twelve message_* settings.
struct MessageSettings {
    int32_t background = -1;    // background resource, -1 none
    int32_t button_sprite = -1; // sprite with the normal, mouse-over and pressed images
    MessageFont text_font;
    MessageFont button_font;
    MessageFont input_font;
    int32_t mouse_colour = 128;      // a button under the mouse
    int32_t input_colour = 16777215; // the input box's background
    int32_t alpha = 255;             // 0..255
    int32_t x = -1, y = -1;          // -1 centres on that axis
    int32_t width = 0, height = 0;   // below 1: sized to the text
    bool show_caption = true;
    std::string caption;
};
MessageSettings& CurrentMessageSettings();
void ResetMessageSettings();

// message_*_font: an empty name, a negative size or a negative colour keeps that part.
void ChangeMessageFont(MessageFont& font, std::string_view name, int32_t size, int32_t colour, int32_t style);
// message_alpha: 0..1 onto 0..255, clamped.
int32_t MessageAlphaByte(double alpha);

struct Rect {
    int32_t x = 0, y = 0, w = 0, h = 0;
    bool operator==(const Rect&) const = default;
};

// What the layout needs measured by the host.
struct MessageMeasures {
    int32_t text_w = 0, text_h = 0; // of the text wrapped to the text width
    std::array<int32_t, 3> button_w{};
    int32_t button_h = 0;
    int32_t input_h = 0;
    int32_t background_w = 0, background_h = 0; // 0: no background image
    int32_t screen_w = 0, screen_h = 0;         // where the window is centred
};

struct MessageLayout {
    Rect window;
    Rect text;
    Rect input; // empty without an input box
    std::array<Rect, 3> buttons{};
    std::array<bool, 3> visible{};
};

class MessageWindow {
public:
    static constexpr int32_t kMargin = 24;
    static constexpr int32_t kTop = 16;
    // Without a background image or fixed size: this wide, or the screen less 32 when that
    // is narrower (but never below 200).
    static constexpr int32_t kDefaultWidth = 360;

    MessageWindow(const std::array<std::string, 3>& buttons, bool input);

    // The text width the host wraps the message to before measuring it.
    int32_t TextWidth(const MessageSettings& settings, const MessageMeasures& m) const;
    int32_t Width(const MessageSettings& settings, const MessageMeasures& m) const;
    MessageLayout Layout(const MessageSettings& settings, const MessageMeasures& m) const;

    // A key pressed in the window: the chosen button (0 for Escape), or nothing.
    std::optional<int32_t> Key(int32_t virtualKey, bool alt) const;

    bool Visible(int index) const { return !buttons_[static_cast<size_t>(index)].empty(); }
    bool HasInput() const { return input_; }
    // A button's text without its "&" and the shortcut (the character after the first "&",
    // upper case; 0 when none).
    std::string Label(int index) const;
    char32_t Shortcut(int index) const;

private:
    std::array<std::string, 3> buttons_;
    bool input_;
};

} // namespace kestrin
