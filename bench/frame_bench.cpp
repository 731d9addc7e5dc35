// Per-frame costs of the runner around the game's own code, headless: the window caption each
// drawn frame sets (score, lives and health shown), kept between frames against built afresh,
// measured in this run (best of five).

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include "game/compose.h"
#include "graphics/room_draw.h"
#include "runner/game_variables.h"
#include "runner/room.h"

using namespace kestrin;

namespace {

constexpr int kRepeats = 5;
constexpr int kFrames = 200000;

double Seconds(const std::chrono::steady_clock::time_point& from) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
}

// Best nanoseconds per frame of `frame(i)` over kFrames frames; `sum` keeps the work observable.
template <typename Frame> double NanosecondsPerFrame(Frame frame, size_t& sum) {
    double best = 1e300;
    for (int r = 0; r < kRepeats; ++r) {
        const auto t0 = std::chrono::steady_clock::now();
        for (int i = 0; i < kFrames; ++i) sum += frame(i);
        best = std::min(best, Seconds(t0));
    }
    return best * 1e9 / kFrames;
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
    const double kept = NanosecondsPerFrame([&](int) { return Room_CachedCaption(room).size(); }, sum);
    const double fresh = NanosecondsPerFrame([&](int) { return Room_Caption(room).size(); }, sum);
    Row("caption, unchanged", kept, fresh);
    // The worst case for the kept caption: the score changes every frame.
    const double keptMoving = NanosecondsPerFrame(
        [&](int i) {
            g.score = i;
            return Room_CachedCaption(room).size();
        },
        sum);
    const double freshMoving = NanosecondsPerFrame(
        [&](int i) {
            g.score = i;
            return Room_Caption(room).size();
        },
        sum);
    Row("caption, score changing each frame", keptMoving, freshMoving);
    if (sum == 0) std::printf("(no work done)\n");
}

} // namespace

int main() {
    kestrin::ComposeGame();
    std::printf("per-frame costs, best of %d, ns per frame (ratio = afresh / kept)\n", kRepeats);
    std::printf("  %-34s %10s %10s %8s\n", "", "kept", "afresh", "ratio");
    CaptionCase();
    return 0;
}
