// Script microbenchmarks: each program of bench/script/ run by our interpreter next to the
// equivalent Lua 5.4 program of bench/lua/script/, both measured in this run (best of
// five, processor time), with the ratio ours / Lua per case and the geometric mean. The Lua programs
// write our `for (i = 0; i < n; i += 1)` loops as the equivalent `while` loops, use locals
// where ours use `var` locals and table fields where ours use instance variables.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "game/compose.h"
#include "script/code.h"
#include "script/interpreter.h"
#include "script/scripts.h"
#include "script/simple_world.h"
#include "script/variables.h"

using namespace kestrin;
namespace fs = std::filesystem;

namespace {

constexpr const char* kCases[] = {
    "numeric_loop", "nested_loops",  "string_build",   "array_1d",      "array_2d",
    "fib",          "instance_vars", "with_instances", "builtin_calls",
};
constexpr int kRepeats = 5;
constexpr int kInstances = 1000;

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Processor time of this process, as Lua's os.clock() measures its side, so that other work
// on the machine does not count.
double CpuMilliseconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// Best time of kRepeats runs in milliseconds, or a negative number after an error.
double RunOurs(const std::string& name, std::string& value) {
    const fs::path dir = fs::path(KESTRIN_BENCH_DIR) / "script";
    ClearScripts();
    for (const auto& entry : fs::directory_iterator(dir))
        if (entry.path().extension() == ".script")
            AddScript(entry.path().stem().string(), ReadText(entry.path()));
    if (!CompileScripts()) return -1;
    CCode code(ReadText(dir / (name + ".ks")), false);
    if (!code.Compile()) {
        std::fprintf(stderr, "%s: %s\n", name.c_str(), LastCodeError().c_str());
        return -1;
    }
    double best = 1e300;
    for (int r = 0; r < kRepeats; ++r) {
        GlobalsInit();
        SimpleWorld world;
        CScriptInstance* self = nullptr;
        for (int i = 0; i < kInstances; ++i) {
            CScriptInstance* inst = world.Add(kFirstInstanceId + 1 + i, 0);
            if (!self) self = inst;
        }
        SetInstanceWorld(&world);
        RValue result;
        const double start = CpuMilliseconds();
        const bool ok = RunCode(self, self, code, result);
        const double end = CpuMilliseconds();
        SetInstanceWorld(nullptr);
        if (!ok) {
            std::fprintf(stderr, "%s: %s\n", name.c_str(), LastCodeError().c_str());
            return -1;
        }
        value = ValueText(result);
        best = std::min(best, end - start);
    }
    return best;
}

double RunLua(const std::string& name) {
    const std::string command = "lua5.4 " KESTRIN_BENCH_DIR "/lua/script_cases.lua " + name + " " +
                                std::to_string(kRepeats) + " 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return -1;
    char printed[64];
    double ms = -1;
    if (std::fscanf(pipe, "%63s %lf", printed, &ms) != 2) ms = -1;
    pclose(pipe);
    return ms;
}

} // namespace

int main(int argc, char** argv) {
    kestrin::ComposeGame();
    // Optional arguments name the cases to run.
    // Options meant for other benchmark programs (run.sh passes them to all) are ignored.
    std::vector<std::string> only;
    for (int i = 1; i < argc; ++i)
        if (argv[i][0] != '-') only.emplace_back(argv[i]);
    std::printf("script microbenchmarks, best of %d (ratio = ours / Lua 5.4)\n", kRepeats);
    std::printf("  %-16s %10s %10s %7s   %s\n", "case", "ours ms", "lua ms", "ratio", "result");
    double logSum = 0, worst = 0;
    int counted = 0;
    for (const char* name : kCases) {
        if (!only.empty() && std::find(only.begin(), only.end(), name) == only.end()) continue;
        std::string value;
        const double ours = RunOurs(name, value);
        const double lua = RunLua(name);
        if (ours < 0) {
            std::printf("  %-16s %10s\n", name, "error");
            continue;
        }
        if (lua <= 0) {
            std::printf("  %-16s %10.2f %10s\n", name, ours, "n/a");
            continue;
        }
        const double ratio = ours / lua;
        logSum += std::log(ratio);
        worst = std::max(worst, ratio);
        ++counted;
        std::printf("  %-16s %10.2f %10.2f %7.2f   %s\n", name, ours, lua, ratio, value.c_str());
    }
    if (counted == 0) {
        std::printf("  (lua5.4 not found: no reference)\n");
        return 0;
    }
    std::printf("  geometric mean %.2f, highest %.2f (target: mean <= 2.0, none above 4.0)\n",
                std::exp(logSum / counted), worst);
    return 0;
}
