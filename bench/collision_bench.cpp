// Collisions with many instances, headless on a simulated clock: steps per second of rooms of
// 2,000 and 10,000 moving instances of two objects with precise masks and collision events
// between them, and the throughput of instance_place and collision_rectangle over the same
// rooms; each with the box index and with the plain walk over the room, measured in this run
// (best of three, processor time). Also contact moves between instances far apart, skipping
// free steps against probing every one.

#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <memory>
#include <random>
#include <string>

#include "base/bitmap32.h"
#include "bench/bench_world.h"
#include "game/compose.h"
#include "graphics/sprite.h"
#include "runner/event_dispatch.h"
#include "runner/game_world.h"
#include "runner/input_state.h"
#include "runner/main_loop.h"
#include "runner/object.h"
#include "runner/room.h"
#include "script/registry.h"
#include "script/variables.h"
#include "world/broad_phase.h"
#include "world/collision.h"
#include "world/function_interaction.h"

using namespace kestrin;
using namespace kestrin::bench;

namespace {

constexpr int kRepeats = 3;
constexpr int kQueries = 20000;

// A 16 x 16 disc: a precise mask with transparent corners.
int32_t MakeSprite() {
    TBitmap32 disc(16, 16);
    for (int32_t y = 0; y < 16; ++y)
        for (int32_t x = 0; x < 16; ++x) {
            const double dx = x - 7.5, dy = y - 7.5;
            disc.SetPixel(x, y, dx * dx + dy * dy < 64 ? 0xFF00FF00u : 0u);
        }
    auto sprite = std::make_unique<CSprite>();
    sprite->CreateFromBitmap(disc, 2, false, 8, 8);
    return Sprite_AddNew(std::move(sprite));
}

bool MakeObjects(int32_t sprite) {
    Objects().Clear();
    for (int n = 0; n < 2; ++n) {
        ObjectRecord o;
        o.spriteindex = sprite;
        EventRecord& e = o.events[ev_collision].emplace_back();
        e.number = 1 - n;
        e.actions.push_back(Code("hits += 1;"));
        EventRecord& c = o.events[ev_create].emplace_back();
        c.number = 0;
        c.actions.push_back(Code("hits = 0;"));
        auto object = std::make_unique<CObject>();
        object->Assign(o);
        const int32_t index = Objects().Add(n == 0 ? "red" : "blue", std::move(object));
        if (!Objects().Get(index)->Compile(index)) return false;
    }
    return true;
}

// A room about 40 pixels square per instance, the instances moving in all directions.
void StartMovers(int instances) {
    const int side = static_cast<int>(std::sqrt(instances * 1600.0));
    RoomRecord record;
    record.width = record.height = side;
    std::mt19937 rng(12345);
    for (int i = 1; i <= instances; ++i) {
        RoomRecord::Instance placed;
        placed.x = static_cast<int32_t>(rng() % static_cast<uint32_t>(side));
        placed.y = static_cast<int32_t>(rng() % static_cast<uint32_t>(side));
        placed.object = i % 2;
        placed.id = kFirstInstanceId + i;
        record.instances.push_back(placed);
    }
    bench::StartRoom(record, InstallCollision);
    for (const auto& instance : World().Current()->r_instance) {
        instance->SetHspeed(static_cast<double>(rng() % 5) - 2);
        instance->SetVspeed(static_cast<double>(rng() % 5) - 2);
    }
}

long long Hits() {
    long long sum = 0;
    const int32_t hits = VariableIndex("hits");
    for (const auto& instance : World().Current()->r_instance) {
        RValue v;
        if (instance->i_vars.GetVar(hits, 0, v)) sum += static_cast<long long>(v.val());
    }
    return sum;
}

// Best processor time of `steps` steps in milliseconds, and the events that ran.
double RunSteps(int instances, int steps, bool broad, long long& hits) {
    SetBroadPhaseEnabled(broad);
    double best = 1e300;
    for (int r = 0; r < kRepeats; ++r) {
        StartMovers(instances);
        SimulatedStepClock clock;
        InputPlatform platform;
        MainLoop loop(clock, CurrentInput(), platform);
        const double start = CpuMilliseconds();
        for (int s = 0; s < steps; ++s) loop.Step();
        best = std::min(best, CpuMilliseconds() - start);
        hits = Hits();
        World().Clear();
    }
    return best;
}

// Best processor time of kQueries queries of each kind, and a checksum of the answers.
void RunQueries(int instances, bool broad, double& placeMs, double& rectMs, long long& checksum) {
    SetBroadPhaseEnabled(broad);
    StartMovers(instances);
    CRoom* room = World().Current();
    const int side = room->r_width;
    placeMs = rectMs = 1e300;
    for (int r = 0; r < kRepeats; ++r) {
        std::mt19937 rng(777);
        checksum = 0;
        double start = CpuMilliseconds();
        for (int q = 0; q < kQueries; ++q) {
            CInstance& self = *room->r_instance[static_cast<size_t>(q) % room->r_instance.size()];
            const auto x = static_cast<double>(rng() % static_cast<uint32_t>(side));
            const auto y = static_cast<double>(rng() % static_cast<uint32_t>(side));
            checksum += InstancePlace(self, x, y, 1);
        }
        placeMs = std::min(placeMs, CpuMilliseconds() - start);
        start = CpuMilliseconds();
        for (int q = 0; q < kQueries; ++q) {
            const auto x = static_cast<double>(rng() % static_cast<uint32_t>(side));
            const auto y = static_cast<double>(rng() % static_cast<uint32_t>(side));
            checksum += CollisionRectangle(nullptr, x, y, x + 24, y + 24, kAllSelector, true, false);
        }
        rectMs = std::min(rectMs, CpuMilliseconds() - start);
    }
    World().Clear();
}

// Instances far apart (a room of 300 pixels square per instance, their boxes 16 wide) each
// moving to contact in its own direction over up to 1000 steps: the best processor time of
// all the moves, skipping free steps or probing each one, and a checksum of where they ended.
double RunContacts(int instances, bool skip, long long& checksum) {
    double best = 1e300;
    for (int r = 0; r < kRepeats; ++r) {
        const int side = static_cast<int>(std::sqrt(instances * 90000.0));
        RoomRecord record;
        record.width = record.height = side;
        std::mt19937 rng(4242);
        for (int i = 1; i <= instances; ++i) {
            RoomRecord::Instance placed;
            placed.x = static_cast<int32_t>(rng() % static_cast<uint32_t>(side));
            placed.y = static_cast<int32_t>(rng() % static_cast<uint32_t>(side));
            placed.object = i % 2;
            placed.id = kFirstInstanceId + i;
            record.instances.push_back(placed);
        }
        bench::StartRoom(record, InstallCollision);
        checksum = 0;
        const double start = CpuMilliseconds();
        for (const auto& instance : World().Current()->r_instance) {
            const auto dir = static_cast<double>(rng() % 36000) / 100.0;
            (skip ? MoveContact : MoveContactByProbes)(*instance, dir, 1000, false);
            checksum += static_cast<long long>(std::floor(instance->i_x * 8 + instance->i_y));
        }
        best = std::min(best, CpuMilliseconds() - start);
        World().Clear();
    }
    return best;
}

} // namespace

int main() {
    kestrin::ComposeGame();
    (void)FunctionCount(); // registers the built-ins
    Sprite_ClearAll();
    if (!MakeObjects(MakeSprite())) {
        std::fprintf(stderr, "the benchmark objects do not compile\n");
        return 1;
    }
    std::printf("collisions, best of %d (ratio = plain walk time / index time)\n", kRepeats);
    std::printf("  %-26s %10s %12s %12s %8s\n", "", "instances", "index", "plain walk", "ratio");
    for (int instances : {2000, 10000}) {
        const int steps = instances > 5000 ? 30 : 60;
        long long hitsIndex = 0, hitsPlain = 0;
        const double index = RunSteps(instances, steps, true, hitsIndex);
        const double plain = RunSteps(instances, steps, false, hitsPlain);
        std::printf("  %-26s %10d %12.1f %12.1f %8.1f%s\n", "steps/s with events", instances,
                    steps * 1000.0 / index, steps * 1000.0 / plain, plain / index,
                    hitsIndex == hitsPlain ? "" : "  (events differ)");
        std::printf("  %-26s %10s %12lld\n", "  collision events run", "", hitsIndex);
    }
    for (int instances : {2000, 10000}) {
        double placeIndex = 0, rectIndex = 0, placePlain = 0, rectPlain = 0;
        long long sumIndex = 0, sumPlain = 0;
        RunQueries(instances, true, placeIndex, rectIndex, sumIndex);
        RunQueries(instances, false, placePlain, rectPlain, sumPlain);
        const char* same = sumIndex == sumPlain ? "" : "  (answers differ)";
        std::printf("  %-26s %10d %12.0f %12.0f %8.1f%s\n", "instance_place /s", instances,
                    kQueries * 1000.0 / placeIndex, kQueries * 1000.0 / placePlain, placePlain / placeIndex,
                    same);
        std::printf("  %-26s %10d %12.0f %12.0f %8.1f%s\n", "collision_rectangle /s", instances,
                    kQueries * 1000.0 / rectIndex, kQueries * 1000.0 / rectPlain, rectPlain / rectIndex,
                    same);
    }
    SetBroadPhaseEnabled(true);
    std::printf("  targets: 10,000 instances at least 10x the plain walk, and at least 60 steps/s\n");
    std::printf("contact moves, best of %d (ratio = one probe per step / skipping free steps)\n", kRepeats);
    std::printf("  %-26s %10s %12s %12s %8s\n", "", "instances", "skipping", "probing", "ratio");
    for (int instances : {200, 2000}) {
        long long sumSkip = 0, sumProbe = 0;
        const double skip = RunContacts(instances, true, sumSkip);
        const double probe = RunContacts(instances, false, sumProbe);
        std::printf("  %-26s %10d %12.0f %12.0f %8.1f%s\n", "move_contact_all /s", instances,
                    instances * 1000.0 / skip, instances * 1000.0 / probe, probe / skip,
                    sumSkip == sumProbe ? "" : "  (positions differ)");
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak resident memory: %ld KiB\n", usage.ru_maxrss);
    return 0;
}
