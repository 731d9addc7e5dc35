#include "tools/terminal_display.h"

#include <algorithm>

namespace kestrin {

void TerminalProgress::Progress(int percent, const std::string& text) {
    constexpr int kWidth = 30;
    int filled = std::clamp(percent, 0, 100) * kWidth / 100;
    std::string bar(static_cast<size_t>(filled), '#');
    bar.resize(kWidth, ' ');
    // \033[K clears what a longer previous text left on the line.
    std::fprintf(out_, "\r[%s] %3d%% %s\033[K", bar.c_str(), std::clamp(percent, 0, 100), text.c_str());
    std::fflush(out_);
    shown_ = true;
}

void TerminalProgress::Hide() {
    if (!shown_) return;
    std::fprintf(out_, "\r\033[K");
    std::fflush(out_);
    shown_ = false;
}

} // namespace kestrin
