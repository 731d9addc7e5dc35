// What the debug window costs a running game: steps of a room of 1,000 instances (step code,
// motion) with the window refreshed every step (ten watches, the global-variables and
// all-instances windows and one local-variables window open) against the same steps without
// it, both measured in this run (best of three, processor time). The refresh compiles each
// watch anew every step, as the window does, so a watch list is cheap only while it is short.

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>

#include "bench/bench_world.h"
#include "debug/debug_model.h"
#include "runner/input_state.h"
#include "runner/main_loop.h"
#include "script/registry.h"

using namespace kestrin;
using namespace kestrin::bench;

namespace {

constexpr int kRepeats = 3;
constexpr int kSteps = 200;
constexpr int kInstances = 1000;

bool MakeObject() {
    Objects().Clear();
    ObjectRecord o;
    auto add = [&](int32_t type, int32_t number, const std::string& code) {
        EventRecord& e = o.events[static_cast<size_t>(type)].emplace_back();
        e.number = number;
        e.actions.push_back(Code(code));
    };
    add(ev_create, 0, "hspeed = 1 + id mod 3; counter = 0; global.total = 0;");
    add(ev_step, ev_step_normal,
        "counter += 1; global.total += 1; if (x > 600) hspeed = -abs(hspeed); if (x < 0) hspeed = "
        "abs(hspeed);");
    auto object = std::make_unique<CObject>();
    object->Assign(o);
    const int32_t index = Objects().Add("mover", std::move(object));
    return Objects().Get(index)->Compile(index);
}

// Best processor time of kSteps steps in milliseconds.
double Run(bool withWindow, double& total) {
    double best = 1e300;
    for (int r = 0; r < kRepeats; ++r) {
        RoomRecord record;
        for (int i = 1; i <= kInstances; ++i) {
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
        DebugModel model(&loop);
        if (withWindow) {
            loop.state.debug_mode = true;
            loop.hooks.debug_refresh = [&model] { model.Refresh(); };
            for (const char* watch : {"global.total", "global.total * 2 + 1", "1/3", "room_speed",
                                      "instance_number(0)", "(100500).counter", "(100500).x",
                                      "string(global.total) + \" steps\"", "nosuchvar", "sqrt(global.total)"})
                (void)model.AddWatch(watch);
            model.ShowGlobal();
            model.ShowInstances();
            (void)model.ShowLocal("100500");
        }
        const double start = CpuMilliseconds();
        for (int s = 0; s < kSteps; ++s) loop.Step();
        best = std::min(best, CpuMilliseconds() - start);
        RValue value;
        total = Globals().List().GetVar(VariableIndex("total"), 0, value) ? value.val() : -1;
        World().Clear();
    }
    return best;
}

} // namespace

int main() {
    kestrin::ComposeGame();
    (void)FunctionCount();
    if (!MakeObject()) {
        std::fprintf(stderr, "the benchmark object does not compile\n");
        return 1;
    }
    double plainTotal = 0, debugTotal = 0;
    const double plain = Run(false, plainTotal);
    const double debug = Run(true, debugTotal);
    std::printf("steps with the debug window refreshed every step, %d instances, %d steps, best of %d\n",
                kInstances, kSteps, kRepeats);
    std::printf("  %-22s %10s %12s\n", "", "ms", "steps/s");
    std::printf("  %-22s %10.2f %12.0f\n", "without the window", plain, kSteps * 1000.0 / plain);
    std::printf("  %-22s %10.2f %12.0f\n", "with the window", debug, kSteps * 1000.0 / debug);
    std::printf("  ratio (with / without) %.2f%s\n", debug / plain,
                plainTotal == debugTotal ? "" : "  (the runs differ)");
    std::printf("  target: ratio <= 2.0\n");
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("  peak RSS %.1f MiB\n", static_cast<double>(usage.ru_maxrss) / 1024.0);
    return 0;
}
