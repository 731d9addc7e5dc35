#include "runner/message_window.h"

#include <algorithm>
#include <cmath>

namespace kestrin {

namespace {

MessageSettings g_settings;

char32_t UpperAscii(char32_t c) {
    return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c;
}

} // namespace

MessageSettings& CurrentMessageSettings() {
    return g_settings;
}

void ResetMessageSettings() {
    g_settings = MessageSettings();
}

void ChangeMessageFont(MessageFont& font, std::string_view name, int32_t size, int32_t colour,
                       int32_t style) {
    if (!name.empty()) font.name = std::string(name);
    if (size >= 0) font.size = size;
    if (colour >= 0) font.colour = colour;
    font.style = style >= 0 && style <= 3 ? style : 0;
}

int32_t MessageAlphaByte(double alpha) {
    if (!(alpha > 0)) return 0; // NaN too
    if (alpha >= 1) return 255;
    return static_cast<int32_t>(std::lround(alpha * 255));
}

MessageWindow::MessageWindow(const std::array<std::string, 3>& buttons, bool input)
    : buttons_(buttons), input_(input) {}

std::string MessageWindow::Label(int index) const {
    const std::string& text = buttons_[static_cast<size_t>(index)];
    const size_t amp = text.find('&');
    if (amp == std::string::npos) return text;
    return text.substr(0, amp) + text.substr(amp + 1);
}

char32_t MessageWindow::Shortcut(int index) const {
    const std::string& text = buttons_[static_cast<size_t>(index)];
    const size_t amp = text.find('&');
    if (amp == std::string::npos || amp + 1 >= text.size()) return 0;
    const auto c = static_cast<unsigned char>(text[amp + 1]);
    // Keys arrive as virtual-key codes, which only name ASCII letters and digits.
    if (c >= 0x80) return 0;
    return UpperAscii(c);
}

int32_t MessageWindow::Width(const MessageSettings& s, const MessageMeasures& m) const {
    if (s.width >= 1) return s.width;
    if (m.background_w > 0) return m.background_w;
    return std::clamp(m.screen_w - 32, 200, kDefaultWidth);
}

int32_t MessageWindow::TextWidth(const MessageSettings& s, const MessageMeasures& m) const {
    return std::max(Width(s, m) - 2 * kMargin, 1);
}

MessageLayout MessageWindow::Layout(const MessageSettings& s, const MessageMeasures& m) const {
    MessageLayout out;
    const int32_t width = Width(s, m);
    int32_t height = m.text_h + m.button_h + 48 + (input_ ? m.input_h + 16 : 0);
    if (s.height >= 1) height = s.height;
    out.window.w = width;
    out.window.h = height;
    out.window.x = s.x != -1 ? s.x : (m.screen_w - width) / 2;
    out.window.y = s.y != -1 ? s.y : (m.screen_h - height) / 2;
    out.text = {kMargin, kTop, TextWidth(s, m), m.text_h};
    if (input_) out.input = {kMargin, kTop + m.text_h + 16, std::max(width - 2 * kMargin, 1), m.input_h};
    const int32_t by = height - 16 - m.button_h;
    for (int i = 0; i < 3; ++i) {
        const auto k = static_cast<size_t>(i);
        out.visible[k] = Visible(i);
        const int32_t bw = m.button_w[k];
        const int32_t bx = i == 0 ? kMargin : i == 1 ? (width - bw) / 2 : width - kMargin - bw;
        out.buttons[k] = {bx, by, bw, m.button_h};
    }
    return out;
}

std::optional<int32_t> MessageWindow::Key(int32_t key, bool alt) const {
    if (key == 27) return 0;
    if (key == 13 || (key == 32 && !input_)) {
        for (int i = 0; i < 3; ++i)
            if (Visible(i)) return i + 1;
        return std::nullopt;
    }
    // Typing goes to the input box; Alt still reaches the buttons.
    if (input_ && !alt) return std::nullopt;
    if (key <= 0) return std::nullopt;
    const char32_t wanted = UpperAscii(static_cast<char32_t>(key));
    for (int i = 0; i < 3; ++i)
        if (Visible(i) && Shortcut(i) != 0 && Shortcut(i) == wanted) return i + 1;
    return std::nullopt;
}

} // namespace kestrin
