// Steps per second of the main loop, headless on a simulated clock, for 10,000 instances whose
// step event is made of library actions (a relative speed change, a question with else, a
// relative alarm), next to the same room whose step event is one code action doing the same.
// Both are measured in this run (best of three, processor time); the ratio is the cost of the
// action library's calls over the code they stand for.

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_world.h"
#include "runner/input_state.h"
#include "runner/instance.h"
#include "runner/main_loop.h"
#include "script/registry.h"

using namespace kestrin;
using namespace kestrin::bench;

namespace {

constexpr int kRepeats = 3;
constexpr int kSteps = 200;
constexpr int kInstances = 10000;

ActionRecord Function(const std::string& name, std::vector<std::string> args, bool relative = false,
                      bool question = false) {
    ActionRecord a;
    a.exetype = kExecuteFunction;
    a.function = name;
    a.argumentcount = static_cast<int32_t>(args.size());
    a.argtypes.assign(args.size(), 0);
    a.args = std::move(args);
    a.userelative = true;
    a.relative = relative;
    a.isquestion = question;
    return a;
}

void MakeObjects() {
    Objects().Clear();
    ActionRecord elseAction;
    elseAction.kind = kActionElse;
    const std::vector<std::vector<ActionRecord>> steps = {
        {Function("action_if_variable", {"x", "320", "2"}, false, true),
         Function("action_set_hspeed", {"-1"}), elseAction, Function("action_set_hspeed", {"1"}),
         Function("action_set_alarm", {"1", "0"}, true), Function("action_set_vspeed", {"0.5"}, true)},
        {Code("if (x > 320) hspeed = -1 else hspeed = 1; if (alarm[0] >= 0) alarm[0] += 1 else alarm[0] = 1; "
              "vspeed += 0.5")},
    };
    for (size_t k = 0; k < steps.size(); ++k) {
        ObjectRecord o;
        EventRecord& e = o.events[ev_step].emplace_back();
        e.number = 0;
        e.actions = steps[k];
        auto object = std::make_unique<CObject>();
        object->Assign(o);
        const int32_t index = Objects().Add(k == 0 ? "actions" : "code", std::move(object));
        Objects().Get(index)->ResolveFunctions([](const std::string&) {});
        if (!Objects().Get(index)->Compile(index)) std::printf("compile failed\n");
    }
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

double Run(int32_t object, double& checksum) {
    double best = 1e300;
    for (int r = 0; r < kRepeats; ++r) {
        StartRoom(Room(object));
        SimulatedStepClock clock;
        InputPlatform platform;
        MainLoop loop(clock, CurrentInput(), platform);
        ComposeMainLoop(loop);
        loop.hooks.draw_room = nullptr;
        const double start = CpuMilliseconds();
        for (int s = 0; s < kSteps; ++s) loop.Step();
        best = std::min(best, CpuMilliseconds() - start);
        checksum = 0;
        for (const auto& instance : World().Current()->r_instance)
            checksum += instance->i_x + instance->i_y + instance->GetAlarm(0);
        World().Clear();
    }
    return best;
}

} // namespace

int main() {
    kestrin::ComposeGame();
    (void)FunctionCount(); // registers the built-ins
    MakeObjects();
    std::printf("%d instances, %d steps, best of %d (ratio = library actions / one code action)\n",
                kInstances, kSteps, kRepeats);
    double actionSum = 0, codeSum = 0;
    const double code = Run(1, codeSum);
    const double actions = Run(0, actionSum);
    for (const auto& [what, ms] : {std::pair{"code action", code}, std::pair{"library actions", actions}})
        std::printf("  %-20s %10.0f steps/s %10.2f ms %10.1f ns/instance\n", what, kSteps * 1000.0 / ms, ms,
                    ms * 1e6 / (double(kSteps) * kInstances));
    std::printf("  ratio %.2f   [checksums %.0f %.0f]\n", actions / code, codeSum, actionSum);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak resident memory: %ld KiB\n", usage.ru_maxrss);
    return 0;
}
