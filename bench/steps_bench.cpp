// Steps per second of the main loop, headless on a simulated clock: rooms of 1,000 and 10,000
// instances whose step events (script code) bounce them off the room's sides, whose alarms
// ring every ten steps, and which move by their speed, next to the same per-instance work in
// Lua 5.4 on plain tables (bench/lua/steps.lua), both measured in this run (best of three,
// processor time).

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>

#include "bench/bench_world.h"
#include "game/compose.h"
#include "runner/event_dispatch.h"
#include "runner/game_world.h"
#include "runner/input_state.h"
#include "runner/main_loop.h"
#include "runner/object.h"
#include "runner/room.h"
#include "script/registry.h"
#include "script/variables.h"

using namespace kestrin;
using namespace kestrin::bench;

namespace {

constexpr int kRepeats = 3;
constexpr int kSteps = 200;

bool MakeObject() {
    Objects().Clear();
    ObjectRecord o;
    auto add = [&](int32_t type, int32_t number, const std::string& code) {
        EventRecord& e = o.events[static_cast<size_t>(type)].emplace_back();
        e.number = number;
        e.actions.push_back(Code(code));
    };
    add(ev_create, 0, "hspeed = 1 + id mod 3; counter = 0; bumps = 0; alarm[0] = 10;");
    add(ev_alarm, 0, "alarm[0] = 10; bumps += 1;");
    add(ev_step, ev_step_normal,
        "counter += 1; if (x > 600) hspeed = -abs(hspeed); if (x < 0) hspeed = abs(hspeed);");
    auto object = std::make_unique<CObject>();
    object->Assign(o);
    const int32_t index = Objects().Add("mover", std::move(object));
    return Objects().Get(index)->Compile(index);
}

// Best processor time of kSteps steps in milliseconds, and the checksum of the counters.
double RunOurs(int instances, long long& checksum) {
    double best = 1e300;
    for (int r = 0; r < kRepeats; ++r) {
        RoomRecord record;
        for (int i = 1; i <= instances; ++i) {
            RoomRecord::Instance placed;
            placed.x = (i * 7) % 640;
            placed.y = (i * 13) % 480;
            placed.id = kFirstInstanceId + i;
            record.instances.push_back(placed);
        }
        StartRoom(record);

        SimulatedStepClock clock;
        InputPlatform platform;
        MainLoop loop(clock, CurrentInput(), platform);
        const double start = CpuMilliseconds();
        for (int s = 0; s < kSteps; ++s) loop.Step();
        best = std::min(best, CpuMilliseconds() - start);

        checksum = 0;
        const int32_t counter = VariableIndex("counter"), bumps = VariableIndex("bumps");
        for (const auto& instance : World().Current()->r_instance) {
            RValue a, b;
            if (instance->i_vars.GetVar(counter, 0, a) && instance->i_vars.GetVar(bumps, 0, b))
                checksum += static_cast<long long>(a.val() + b.val());
        }
        World().Clear();
    }
    return best;
}

double RunLua(int instances, long long& checksum) {
    const std::string command = "lua5.4 " KESTRIN_BENCH_DIR "/lua/steps.lua " + std::to_string(instances) +
                                " " + std::to_string(kSteps) + " " + std::to_string(kRepeats) +
                                " 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return -1;
    double ms = -1;
    if (std::fscanf(pipe, "%lld %lf", &checksum, &ms) != 2) ms = -1;
    pclose(pipe);
    return ms;
}

} // namespace

int main() {
    kestrin::ComposeGame();
    (void)FunctionCount(); // registers the built-ins
    if (!MakeObject()) {
        std::fprintf(stderr, "the benchmark object does not compile\n");
        return 1;
    }
    std::printf("steps per second, %d steps, best of %d (ratio = our time / Lua 5.4 time)\n", kSteps,
                kRepeats);
    std::printf("  %-10s %12s %12s %10s %10s %7s\n", "instances", "ours steps/s", "lua steps/s", "ours ms",
                "lua ms", "ratio");
    for (int instances : {1000, 10000}) {
        long long ourSum = 0, luaSum = 0;
        const double ours = RunOurs(instances, ourSum);
        const double lua = RunLua(instances, luaSum);
        if (lua <= 0) {
            std::printf("  %-10d %12.0f %12s %10.2f\n", instances, kSteps * 1000.0 / ours, "n/a", ours);
            continue;
        }
        std::printf("  %-10d %12.0f %12.0f %10.2f %10.2f %7.2f%s\n", instances, kSteps * 1000.0 / ours,
                    kSteps * 1000.0 / lua, ours, lua, ours / lua,
                    ourSum == luaSum ? "" : "  (checksums differ)");
    }
    std::printf("  target: ratio <= 2.0\n");
    return 0;
}
