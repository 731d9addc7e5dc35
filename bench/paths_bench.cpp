// Steps per second of the main loop, headless on a simulated clock, for 10,000 instances that
// follow smooth closed paths while their time lines run (a moment every 25 steps, counting in
// a built-in variable), next to the same room whose instances only move by speed and
// direction. Both are measured in this run (best of three, processor time); the ratio is the
// cost of path following and time lines per instance over plain motion. Rooms of bare
// instances show the bare cost; rooms whose instances have a sprite and the collision index,
// as in games, show it beside the cost of moving any instance.

#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>

#include "bench/bench_world.h"
#include "graphics/sprite.h"
#include "world/collision.h"
#include "runner/input_state.h"
#include "runner/instance.h"
#include "runner/main_loop.h"
#include "script/registry.h"
#include "world/path.h"
#include "world/path_follow.h"
#include "world/timeline.h"

using namespace kestrin;
using namespace kestrin::bench;

namespace {

constexpr int kRepeats = 3;
constexpr int kSteps = 200;
constexpr int kInstances = 10000;
constexpr int kPaths = 8;

void MakeResources() {
    Objects().Clear();
    Sprite_ClearAll();
    TBitmap32 square(16, 16, 0xFF00FF00u);
    auto sprite = std::make_unique<CSprite>();
    sprite->CreateFromBitmap(square, 0, false, 8, 8);
    const int32_t spriteIndex = Sprite_AddNew(std::move(sprite));
    for (int32_t spriteOf : {-1, spriteIndex}) {
        ObjectRecord o;
        o.spriteindex = spriteOf;
        auto object = std::make_unique<CObject>();
        object->Assign(o);
        Objects().Add(spriteOf < 0 ? "walker" : "sprite_walker", std::move(object));
    }
    Path_ClearAll();
    // Smooth closed loops of five to twelve control points at the default precision.
    for (int p = 0; p < kPaths; ++p) {
        auto path = std::make_unique<CPath>();
        path->SetKind(kPathKindSmooth);
        path->SetClosed(true);
        const int points = 5 + p;
        for (int k = 0; k < points; ++k) {
            const double a = 6.283185307179586 * k / points;
            const double r = 60 + 25 * ((k + p) % 3);
            path->AddPoint(320 + r * std::cos(a), 240 + r * std::sin(a), 100);
        }
        Path_AddNew(std::move(path));
    }
    TimeLine_ClearAll();
    const int32_t line = TimeLine_AddNew();
    for (int step : {0, 25, 50, 75}) (void)TimeLine_AddCode(line, step, "image_single += 1;");
}

RoomRecord Room(int32_t object) {
    RoomRecord record;
    for (int i = 1; i <= kInstances; ++i) {
        RoomRecord::Instance placed;
        placed.object = object;
        placed.x = (i * 7) % 640;
        placed.y = (i * 13) % 480;
        placed.id = kFirstInstanceId + i;
        record.instances.push_back(placed);
    }
    return record;
}

// Best processor time of kSteps steps in milliseconds.
double Run(bool paths, int32_t object, double& checksum) {
    double best = 1e300;
    for (int r = 0; r < kRepeats; ++r) {
        StartRoom(Room(object), object > 0 ? InstallCollision : nullptr);
        int n = 0;
        for (const auto& instance : World().Current()->r_instance) {
            ++n;
            if (paths) {
                Assign_Path(*instance, n % kPaths, 2 + n % 3, 1, 0, true, kPathEndRestart);
                instance->i_timelineindex = 0;
                instance->i_timelinerunning = true;
                instance->i_timelineloop = true;
            } else {
                instance->SetSpeed(2 + n % 3);
                instance->SetDirection(n % 360);
            }
        }
        SimulatedStepClock clock;
        InputPlatform platform;
        MainLoop loop(clock, CurrentInput(), platform);
        ComposeMainLoop(loop);
        loop.hooks.draw_room = nullptr;
        const double start = CpuMilliseconds();
        for (int s = 0; s < kSteps; ++s) loop.Step();
        best = std::min(best, CpuMilliseconds() - start);
        checksum = 0;
        for (const auto& instance : World().Current()->r_instance) checksum += instance->i_x + instance->i_y;
        World().Clear();
    }
    return best;
}

} // namespace

int main() {
    kestrin::ComposeGame();
    (void)FunctionCount(); // registers the built-ins
    MakeResources();
    std::printf("%d instances, %d steps, best of %d (ratio = paths and time lines / plain motion)\n",
                kInstances, kSteps, kRepeats);
    std::printf("  %-50s %10s %10s %12s\n", "room", "steps/s", "ms", "ns/instance");
    for (int32_t object : {0, 1}) {
        double pathSum = 0, plainSum = 0;
        const double plain = Run(false, object, plainSum);
        const double paths = Run(true, object, pathSum);
        const char* kind = object == 0 ? "bare instances" : "16x16 sprites, collision index";
        for (const auto& [what, ms] : {std::pair{"speed and direction", plain}, std::pair{"paths + time lines", paths}}) {
            const std::string name = std::string(kind) + ": " + what;
            std::printf("  %-50s %10.0f %10.2f %12.1f\n", name.c_str(), kSteps * 1000.0 / ms, ms,
                        ms * 1e6 / (double(kSteps) * kInstances));
        }
        std::printf("  ratio %.2f (target <= 2.0)   [checksums %.0f %.0f]\n", paths / plain, plainSum, pathSum);
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak resident memory: %ld KiB\n", usage.ru_maxrss);
    return 0;
}
