// Data structures at 10,000 entries, through the registered built-ins as compiled code calls
// them: list add, find and sort, map add and find, and a round of grid region operations on a
// 100 x 100 grid, next to the same work on Lua 5.4 tables measured in the same run (the Lua
// side has no built-in call overhead of its own kind, only its interpreter). Lua's map is a
// hash table and its sort a quicksort; ours are the ordered map with ε-equal keys and the
// insertion sort's order that scripts rely on, so those ratios show the price of that
// behaviour. The large cases sort 100,000 values that are mostly nearly equal or mixed with
// NaN (where no plain sort gives the insertion sort's order) and add 200,000 random keys to
// one map; Lua sorts and fills a table of the same size.

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "game/compose.h"
#include "script/registry.h"
#include "script/value.h"
#include "world/ds_grid.h"
#include "world/ds_list.h"
#include "world/ds_map.h"
#include "world/function_ds.h"

using namespace kestrin;

namespace {

constexpr int kEntries = 10000;
constexpr int kGridSide = 100;
constexpr int kSortEntries = 100000;
constexpr int kMapEntries = 200000;

// A built-in resolved once, called with 16 argument slots as the interpreter does.
class Builtin {
public:
    explicit Builtin(const char* name) : routine_(FunctionRoutine(FindFunction(name))) {}
    RValue operator()(std::initializer_list<RValue> arguments) {
        int32_t argc = 0;
        for (const RValue& a : arguments) args_[static_cast<size_t>(argc++)] = a;
        RValue result;
        routine_(nullptr, nullptr, argc, args_.data(), result);
        return result;
    }

private:
    BuiltinRoutine routine_;
    std::array<RValue, kMaxArguments> args_;
};

// The same generator as the Lua reference, so both sides see the same values.
class Lcg {
public:
    explicit Lcg(int64_t seed) : s_(seed) {}
    int64_t Next() {
        s_ = (s_ * 1103515245 + 12345) % 2147483648;
        return s_;
    }

private:
    int64_t s_;
};

RValue R(double v) {
    return RValue(v);
}

RValue RandomList(Builtin& create, Builtin& add) {
    const RValue id = create({});
    Lcg r(1);
    for (int i = 0; i < kEntries; ++i) add({id, R(static_cast<double>(r.Next() % 1000000) / 7)});
    return id;
}

void BM_list_add(benchmark::State& state) {
    ResetDataStructures();
    Builtin create("ds_list_create"), add("ds_list_add"), destroy("ds_list_destroy");
    for (auto _ : state) {
        const RValue id = create({});
        for (int i = 1; i <= kEntries; ++i) add({id, R(i * 0.5)});
        destroy({id});
    }
}

void BM_list_find(benchmark::State& state) {
    ResetDataStructures();
    Builtin create("ds_list_create"), add("ds_list_add"), find("ds_list_find_index"),
        value("ds_list_find_value");
    const RValue id = RandomList(create, add);
    for (auto _ : state) {
        for (int k = 1; k <= 100; ++k) benchmark::DoNotOptimize(find({id, value({id, R(k * 97 - 1)})}));
    }
}

void BM_list_sort(benchmark::State& state) {
    ResetDataStructures();
    Builtin create("ds_list_create"), add("ds_list_add"), sort("ds_list_sort"), destroy("ds_list_destroy");
    for (auto _ : state) {
        const RValue id = RandomList(create, add);
        sort({id, R(1)});
        destroy({id});
    }
}

// 100,000 values in random order, most of them nearly equal to a neighbour: steps of half the
// precision over a short range, so that equal-looking runs chain.
void BM_list_sort_near(benchmark::State& state) {
    ResetDataStructures();
    Builtin create("ds_list_create"), add("ds_list_add"), sort("ds_list_sort"), destroy("ds_list_destroy");
    for (auto _ : state) {
        state.PauseTiming();
        const RValue id = create({});
        Lcg r(3);
        for (int i = 0; i < kSortEntries; ++i)
            add({id, R(1 + static_cast<double>(r.Next() % 20000) * 0.5e-8)});
        state.ResumeTiming();
        sort({id, R(1)});
        state.PauseTiming();
        destroy({id});
        state.ResumeTiming();
    }
}

// 100,000 random values of which every seventh is NaN, sorted descending.
void BM_list_sort_nan(benchmark::State& state) {
    ResetDataStructures();
    Builtin create("ds_list_create"), add("ds_list_add"), sort("ds_list_sort"), destroy("ds_list_destroy");
    for (auto _ : state) {
        state.PauseTiming();
        const RValue id = create({});
        Lcg r(4);
        for (int i = 0; i < kSortEntries; ++i) {
            const double v = static_cast<double>(r.Next() % 1000000) / 7;
            add({id, R(i % 7 == 0 ? std::nan("") : v)});
        }
        state.ResumeTiming();
        sort({id, R(0)});
        state.PauseTiming();
        destroy({id});
        state.ResumeTiming();
    }
}

void BM_map_add_200k(benchmark::State& state) {
    ResetDataStructures();
    Builtin create("ds_map_create"), add("ds_map_add"), destroy("ds_map_destroy");
    for (auto _ : state) {
        const RValue id = create({});
        Lcg r(5);
        for (int i = 0; i < kMapEntries; ++i) add({id, R(static_cast<double>(r.Next() % 100000000)), R(i)});
        state.PauseTiming();
        destroy({id});
        state.ResumeTiming();
    }
}

void BM_map_add(benchmark::State& state) {
    ResetDataStructures();
    Builtin create("ds_map_create"), add("ds_map_add"), destroy("ds_map_destroy");
    for (auto _ : state) {
        const RValue id = create({});
        Lcg r(2);
        for (int i = 0; i < kEntries; ++i) add({id, R(static_cast<double>(r.Next() % 1000000)), R(1)});
        destroy({id});
    }
}

void BM_map_find(benchmark::State& state) {
    ResetDataStructures();
    Builtin create("ds_map_create"), add("ds_map_add"), find("ds_map_find_value");
    const RValue id = create({});
    std::vector<double> keys;
    Lcg r(2);
    for (int i = 0; i < kEntries; ++i) {
        keys.push_back(static_cast<double>(r.Next() % 1000000));
        add({id, R(keys.back()), R(i)});
    }
    for (auto _ : state) {
        double sum = 0;
        for (double k : keys) sum += find({id, R(k)}).val();
        benchmark::DoNotOptimize(sum);
    }
}

void BM_grid_region(benchmark::State& state) {
    ResetDataStructures();
    Builtin create("ds_grid_create"), set("ds_grid_set_region"), add("ds_grid_add_region"),
        multiply("ds_grid_multiply_region"), sum("ds_grid_get_sum"), max("ds_grid_get_max"),
        copy("ds_grid_set_grid_region");
    const RValue g = create({R(kGridSide), R(kGridSide)});
    const RValue last = R(kGridSide - 1);
    for (auto _ : state) {
        set({g, R(0), R(0), last, last, R(1)});
        add({g, R(10), R(10), R(89), R(89), R(2)});
        multiply({g, R(0), R(0), R(49), last, R(3)});
        benchmark::DoNotOptimize(sum({g, R(0), R(0), last, last}));
        benchmark::DoNotOptimize(max({g, R(0), R(0), last, last}));
        copy({g, g, R(0), R(0), R(kGridSide - 2), R(kGridSide - 2), R(1), R(1)});
    }
}

BENCHMARK(BM_list_add)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_list_find)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_list_sort)->Unit(benchmark::kMicrosecond)->Iterations(5);
BENCHMARK(BM_map_add)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_map_find)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_grid_region)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_list_sort_near)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_list_sort_nan)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_map_add_200k)->Unit(benchmark::kMillisecond)->Iterations(3);

// Keeps microseconds per round of every run, beside the usual console table.
class CollectingReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.iterations == 0) continue;
            // CPU time, as the Lua reference measures with os.clock.
            const std::string name = run.benchmark_name();
            microseconds[name.substr(0, name.find('/'))] =
                run.cpu_accumulated_time * 1e6 / static_cast<double>(run.iterations);
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> microseconds;
};

struct LuaCase {
    double microseconds = 0;
    double kib = 0;
};

std::map<std::string, LuaCase> RunLua() {
    std::map<std::string, LuaCase> out;
    const std::string command = "lua5.4 " KESTRIN_BENCH_DIR "/lua/ds.lua";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return out;
    char name[64];
    LuaCase c;
    while (std::fscanf(pipe, "%63s %lf %lf", name, &c.microseconds, &c.kib) == 3) out[name] = c;
    pclose(pipe);
    return out;
}

// Bytes the containers of one case hold: their arrays' values, not counting shared text (a
// map's blocks hold up to one pair more than their limit).
void PrintFootprint() {
    ResetDataStructures();
    CDS_List list;
    for (int i = 0; i < kEntries; ++i) list.Add(R(i));
    CDS_Map map;
    for (int i = 0; i < kEntries; ++i) map.Add(R(i), R(i));
    CDS_Grid grid;
    grid.Create(kGridSide, kGridSide);
    const auto kib = [](size_t values) { return static_cast<double>(values * sizeof(DsValue)) / 1024.0; };
    const size_t mapSlots = 2 * map.Pairs().BlockCount() * (DsBlockedPairs::kBlockLimit + 1);
    std::printf("footprint at %d entries: list %.0f KiB, map %.0f KiB, %dx%d grid %.0f KiB\n", kEntries,
                kib(list.i_val.capacity()), kib(mapSlots), kGridSide, kGridSide, kib(grid.i_val.capacity()));
}

} // namespace

int main(int argc, char** argv) {
    kestrin::ComposeGame();
    benchmark::Initialize(&argc, argv);
    CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const std::map<std::string, LuaCase> lua = RunLua();
    const auto& ours = reporter.microseconds;

    std::printf("\ndata structures, microseconds per round (ratio = ours / Lua 5.4)\n");
    for (const char* name : {"list_add", "list_find", "list_sort", "map_add", "map_find", "grid_region",
                             "list_sort_near", "list_sort_nan", "map_add_200k"}) {
        const auto o = ours.find(std::string("BM_") + name);
        if (o == ours.end()) continue;
        std::printf("  %-14s %10.1f us", name, o->second);
        if (const auto l = lua.find(name); l != lua.end())
            std::printf("   Lua %10.1f us   ratio %6.2f   (Lua heap %.0f KiB)", l->second.microseconds,
                        o->second / l->second.microseconds, l->second.kib);
        std::printf("\n");
    }
    if (lua.empty()) std::printf("  (lua5.4 not found: no Lua reference)\n");
    PrintFootprint();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak resident memory: %ld KiB\n", usage.ru_maxrss);
    benchmark::Shutdown();
    return 0;
}
