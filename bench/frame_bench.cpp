// Per-frame costs of the runner around the game's own code, headless: the window caption each
// drawn frame sets (score, lives and health shown), and draw_text's layout and conversion of a
// label, a wrapped paragraph and a measured line (no drawing device, so the glyph quads cost
// nothing); each kept between frames against built afresh, measured in this run (best of five).

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

#include "game/compose.h"
#include "graphics/font.h"
#include "graphics/glyph_source.h"
#include "graphics/graphics_text.h"
#include "graphics/room_draw.h"
#include "platform/font/freetype_glyphs.h"
#include "runner/game_variables.h"
#include "runner/room.h"

using namespace kestrin;

namespace {

constexpr int kRepeats = 5;
constexpr int kFrames = 200000;

double Seconds(const std::chrono::steady_clock::time_point& from) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
}

// Best nanoseconds per frame of `frame(i)` over `frames` frames; `sum` keeps the work observable.
template <typename Frame> double NanosecondsPerFrame(int frames, Frame frame, size_t& sum) {
    double best = 1e300;
    for (int r = 0; r < kRepeats; ++r) {
        const auto t0 = std::chrono::steady_clock::now();
        for (int i = 0; i < frames; ++i) sum += frame(i);
        best = std::min(best, Seconds(t0));
    }
    return best * 1e9 / frames;
}

void Row(const char* what, double kept, double fresh) {
    std::printf("  %-34s %10.1f %10.1f %8.1f\n", what, kept, fresh, fresh / kept);
}

void CaptionCase() {
    CRoom room;
    room.r_caption = "The Caves of Somewhere, level 3";
    GameVariables& g = GameValues();
    g.show_score = g.show_lives = g.show_health = true;
    g.score = 12500;
    g.lives = 3;
    g.health = 87.5;
    size_t sum = 0;
    const double kept = NanosecondsPerFrame(
        kFrames, [&](int) { return Room_CachedCaption(room).size(); }, sum);
    const double fresh = NanosecondsPerFrame(
        kFrames, [&](int) { return Room_Caption(room).size(); }, sum);
    Row("caption, unchanged", kept, fresh);
    // The worst case for the kept caption: the score changes every frame.
    const double keptMoving = NanosecondsPerFrame(
        kFrames,
        [&](int i) {
            g.score = i;
            return Room_CachedCaption(room).size();
        },
        sum);
    const double freshMoving = NanosecondsPerFrame(
        kFrames,
        [&](int i) {
            g.score = i;
            return Room_Caption(room).size();
        },
        sum);
    Row("caption, score changing each frame", keptMoving, freshMoving);
    if (sum == 0) std::printf("(no work done)\n");
}

void TextCase() {
    SetGlyphSource(
        MakeFreeTypeGlyphSource({KESTRIN_BENCH_DIR "/../tests/data/fonts/LiberationSans-Regular.ttf"}));
    Text_SetFont(Font_AddFont("Arial", 12, false, false, 32, 255));
    const std::string label = "Score: 12500";
    const std::string paragraph =
        "The caves go on beneath the hill for longer than anyone has mapped. Take a lamp, some "
        "rope and a friend, and mark every turn you make on the way in.#Press space to start.";
    size_t sum = 0;
    const TextColours colours;
    struct Case {
        const char* what;
        int frames;
        std::function<size_t()> frame;
    };
    const Case cases[] = {
        {"draw_text, label", kFrames,
         [&] {
             Text_Draw(10, 10, label, -1, -1, colours);
             return size_t{1};
         }},
        {"draw_text_ext, wrapped paragraph", kFrames / 10,
         [&] {
             Text_Draw(10, 40, paragraph, -1, 200, colours);
             return size_t{1};
         }},
        {"string_width, label", kFrames, [&] { return static_cast<size_t>(Text_Width(label, -1, -1)); }},
    };
    for (const Case& c : cases) {
        SetTextLayoutKept(true);
        const double kept = NanosecondsPerFrame(
            c.frames, [&](int) { return c.frame(); }, sum);
        SetTextLayoutKept(false);
        const double fresh = NanosecondsPerFrame(
            c.frames, [&](int) { return c.frame(); }, sum);
        Row(c.what, kept, fresh);
    }
    SetTextLayoutKept(true);
    Text_Reset();
    Font_ClearAll();
    SetGlyphSource(nullptr);
}

} // namespace

int main() {
    kestrin::ComposeGame();
    std::printf("per-frame costs, best of %d, ns per frame (ratio = afresh / kept)\n", kRepeats);
    std::printf("  %-34s %10s %10s %8s\n", "", "kept", "afresh", "ratio");
    CaptionCase();
    TextCase();
    return 0;
}
