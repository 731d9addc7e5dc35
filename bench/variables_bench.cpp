// Variable read/write: the data-structure cost of one read, add and write of a local, an
// instance variable, a global and an array element, next to a plain vector of doubles and to
// the same patterns in Lua 5.4 measured in the same run. The interpreter adds its own
// dispatch on top of these, so they must stay well below Lua's whole cost per access.

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <array>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "game/compose.h"
#include "script/variables.h"

using namespace kestrin;

namespace {

constexpr int64_t kOps = 1000;

int32_t Name(const char* name) {
    return VariableIndex(name);
}

void BM_vector_reference(benchmark::State& state) {
    std::vector<double> slots(17, 0.0);
    for (auto _ : state) {
        for (int64_t i = 0; i < kOps; ++i) {
            benchmark::DoNotOptimize(slots.data());
            slots[16] = slots[16] + 1.0;
            benchmark::ClobberMemory();
        }
    }
    state.SetItemsProcessed(state.iterations() * kOps);
}

void BM_local_rw(benchmark::State& state) {
    CLocals locals;
    const int32_t table[] = {Name("bench_i"), Name("bench_j")};
    locals.Reset(table);
    locals.Set(1, 0, RValue(0.0));
    RValue v;
    for (auto _ : state) {
        for (int64_t i = 0; i < kOps; ++i) {
            benchmark::DoNotOptimize(&locals);
            (void)locals.Get(1, 0, v);
            v.SetReal(v.val() + 1.0);
            locals.Set(1, 0, v);
        }
    }
    state.SetItemsProcessed(state.iterations() * kOps);
}

// In place, as an interpreter reading a slot into an arithmetic operation would.
void BM_local_rw_direct(benchmark::State& state) {
    CLocals locals;
    const int32_t table[] = {Name("bench_i"), Name("bench_j")};
    locals.Reset(table);
    locals.Set(1, 0, RValue(0.0));
    for (auto _ : state) {
        for (int64_t i = 0; i < kOps; ++i) {
            benchmark::DoNotOptimize(&locals);
            const double value = locals.Value(1)->val();
            locals.ValueForWrite(1).SetReal(value + 1.0);
        }
    }
    state.SetItemsProcessed(state.iterations() * kOps);
}

CScriptInstance MakeInstance() {
    CScriptInstance inst;
    for (int i = 0; i < 16; ++i)
        (void)inst.i_vars.SetVar(Name(("bench_v" + std::to_string(i)).c_str()), 0, RValue(0.0));
    (void)inst.i_vars.SetVar(Name("bench_x"), 0, RValue(0.0));
    return inst;
}

// The interpreter's path: a remembered position per access site, then the hash.
void BM_instance_rw_hinted(benchmark::State& state) {
    CScriptInstance inst = MakeInstance();
    const int32_t x = Name("bench_x");
    uint32_t readHint = 0, writeHint = 0;
    for (auto _ : state) {
        for (int64_t i = 0; i < kOps; ++i) {
            benchmark::DoNotOptimize(&inst);
            const double value = inst.i_vars.FindVariable(x, readHint)->simplevalue.val();
            inst.i_vars.FindVariable(x, writeHint)->simplevalue.SetReal(value + 1.0);
        }
    }
    state.SetItemsProcessed(state.iterations() * kOps);
}

void BM_instance_rw_hash(benchmark::State& state) {
    CScriptInstance inst = MakeInstance();
    const int32_t x = Name("bench_x");
    RValue v;
    for (auto _ : state) {
        for (int64_t i = 0; i < kOps; ++i) {
            benchmark::DoNotOptimize(&inst);
            (void)inst.i_vars.GetVar(x, 0, v);
            v.SetReal(v.val() + 1.0);
            (void)inst.i_vars.SetVar(x, 0, v);
        }
    }
    state.SetItemsProcessed(state.iterations() * kOps);
}

// The general path by selector (unqualified name: global mark test, then self).
void BM_instance_rw_selector(benchmark::State& state) {
    CScriptInstance inst = MakeInstance();
    CLocals locals;
    const RunScope scope{&inst, &inst, &locals};
    const int32_t x = Name("bench_x");
    RValue v;
    for (auto _ : state) {
        for (int64_t i = 0; i < kOps; ++i) {
            benchmark::DoNotOptimize(&inst);
            (void)ReadVariable(scope, kUnqualifiedSelector, x, 0, v);
            v.SetReal(v.val() + 1.0);
            (void)WriteVariable(scope, kUnqualifiedSelector, x, 0, v);
        }
    }
    state.SetItemsProcessed(state.iterations() * kOps);
}

void BM_global_rw(benchmark::State& state) {
    GlobalsInit();
    const int32_t g = Name("bench_g");
    MarkGlobal(g);
    CScriptInstance inst = MakeInstance();
    CLocals locals;
    const RunScope scope{&inst, &inst, &locals};
    RValue v;
    for (auto _ : state) {
        for (int64_t i = 0; i < kOps; ++i) {
            benchmark::DoNotOptimize(&inst);
            (void)ReadVariable(scope, kUnqualifiedSelector, g, 0, v);
            v.SetReal(v.val() + 1.0);
            (void)WriteVariable(scope, kUnqualifiedSelector, g, 0, v);
        }
    }
    state.SetItemsProcessed(state.iterations() * kOps);
}

void BM_array_rw(benchmark::State& state) {
    CScriptInstance inst = MakeInstance();
    const int32_t a = Name("bench_a");
    for (int32_t j = 1; j <= 1000; ++j) (void)inst.i_vars.SetVar(a, j, RValue(0.0));
    uint32_t hint = 0;
    int32_t j = 1;
    for (auto _ : state) {
        for (int64_t i = 0; i < kOps; ++i) {
            benchmark::DoNotOptimize(&inst);
            RVariable* var = inst.i_vars.FindVariable(a, hint);
            const double value = var->Element(j)->val();
            var->ElementForWrite(j).SetReal(value + 1.0);
            if (++j > 1000) j = 1;
        }
    }
    state.SetItemsProcessed(state.iterations() * kOps);
}

BENCHMARK(BM_vector_reference);
BENCHMARK(BM_local_rw);
BENCHMARK(BM_local_rw_direct);
BENCHMARK(BM_instance_rw_hinted);
BENCHMARK(BM_instance_rw_hash);
BENCHMARK(BM_instance_rw_selector);
BENCHMARK(BM_global_rw);
BENCHMARK(BM_array_rw);

// Keeps nanoseconds per read-add-write of every run, beside the usual console table.
class CollectingReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.iterations == 0) continue;
            // CPU time, as the Lua reference measures with os.clock.
            const double seconds = run.cpu_accumulated_time;
            nanoseconds[run.benchmark_name()] =
                seconds * 1e9 / (static_cast<double>(run.iterations) * static_cast<double>(kOps));
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> nanoseconds;
};

std::map<std::string, double> RunLua() {
    std::map<std::string, double> out;
    const std::string command = "lua5.4 " KESTRIN_BENCH_DIR "/lua/variables.lua";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return out;
    char name[64];
    double ns = 0;
    while (std::fscanf(pipe, "%63s %lf", name, &ns) == 2) out[name] = ns;
    pclose(pipe);
    return out;
}

} // namespace

int main(int argc, char** argv) {
    kestrin::ComposeGame();
    benchmark::Initialize(&argc, argv);
    CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const std::map<std::string, double> lua = RunLua();
    const auto& ours = reporter.nanoseconds;

    std::printf("\nvariable read/write, ns per read-add-write (ratio = ours / reference)\n");
    const struct {
        const char* ours;
        const char* lua;
    } pairs[] = {
        {"BM_local_rw", "local_rw"},
        {"BM_local_rw_direct", "local_rw"},
        {"BM_instance_rw_hinted", "instance_rw"},
        {"BM_instance_rw_hash", "instance_rw"},
        {"BM_instance_rw_selector", "instance_rw"},
        {"BM_global_rw", "global_rw"},
        {"BM_array_rw", "array_rw"},
    };
    const auto vec = ours.find("BM_vector_reference");
    for (const auto& p : pairs) {
        const auto o = ours.find(p.ours);
        if (o == ours.end()) continue;
        std::printf("  %-26s %7.2f ns", p.ours + 3, o->second);
        if (vec != ours.end()) std::printf("   vs vector<double> %5.2fx", o->second / vec->second);
        if (const auto l = lua.find(p.lua); l != lua.end())
            std::printf("   vs Lua 5.4 %-12s %6.2f ns  ratio %5.2f", p.lua, l->second, o->second / l->second);
        std::printf("\n");
    }
    if (lua.empty()) std::printf("  (lua5.4 not found: no Lua reference)\n");
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak resident memory: %ld KiB\n", usage.ru_maxrss);
    benchmark::Shutdown();
    return 0;
}
