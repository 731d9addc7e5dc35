// Native calls: 1,000,000 calls of a native function of two reals through external_call,
// against the same number of calls of the built-in max, both run by the interpreter in this
// run (best of five, processor time). The libffi path, which calls of other signatures
// take, is measured beside the direct path that real signatures take.
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <string>

#include "game/compose.h"
#include "platform/native/ffi_caller.h"
#include "runner/support_dll.h"
#include "script/code.h"
#include "script/interpreter.h"
#include "script/simple_world.h"
#include "script/variables.h"

using namespace kestrin;

namespace {

constexpr int kRepeats = 5;

double CpuMilliseconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// Best time in milliseconds of the program, or a negative number after an error.
double Best(const std::string& text, std::string& value) {
    CCode code(text, false);
    if (!code.Compile()) {
        std::fprintf(stderr, "%s\n", LastCodeError().c_str());
        return -1;
    }
    SimpleWorld world;
    CScriptInstance* self = world.Add(100001, 0);
    SetInstanceWorld(&world);
    double best = 1e300;
    for (int i = 0; i < kRepeats; ++i) {
        RValue result;
        const double start = CpuMilliseconds();
        const bool ok = RunCode(self, self, code, result);
        best = std::min(best, CpuMilliseconds() - start);
        if (!ok) {
            std::fprintf(stderr, "%s\n", LastCodeError().c_str());
            best = -1;
            break;
        }
        value = result.IsString() ? std::string(result.str()) : std::to_string(result.val());
    }
    SetInstanceWorld(nullptr);
    return best;
}

std::string Loop(const std::string& call) {
    return "var r; r = 0; repeat (1000000) r = " + call + "; return r";
}

} // namespace

int main() {
    ComposeGame();
    SetNativeCaller(MakeFfiNativeCaller());
    int32_t types[17]{};
    const int32_t direct = DefineDllFunction(KESTRIN_TEST_LIBRARY, "kt_max2", 0, 0, types, 2);
    SetNativeCaller(MakeFfiNativeCaller(false));
    const int32_t ffi = DefineDllFunction(KESTRIN_TEST_LIBRARY, "kt_max2", 0, 0, types, 2);
    if (direct < 0 || ffi < 0) {
        std::fprintf(stderr, "cannot load %s\n", KESTRIN_TEST_LIBRARY);
        return 1;
    }
    std::string vMax, vDirect, vFfi;
    const double tMax = Best(Loop("max(1.5, 2.5)"), vMax);
    const double tDirect = Best(Loop("external_call(" + std::to_string(direct) + ", 1.5, 2.5)"), vDirect);
    const double tFfi = Best(Loop("external_call(" + std::to_string(ffi) + ", 1.5, 2.5)"), vFfi);
    if (tMax <= 0 || tDirect < 0 || tFfi < 0) return 1;
    std::printf("1,000,000 calls     ms     ns/call  ratio to max\n");
    std::printf("max (built-in)    %7.1f  %7.1f  1.00\n", tMax, tMax);
    std::printf("external_call     %7.1f  %7.1f  %.2f (target <= 3)\n", tDirect, tDirect, tDirect / tMax);
    std::printf("  through libffi  %7.1f  %7.1f  %.2f\n", tFfi, tFfi, tFfi / tMax);
    if (vMax != vDirect || vMax != vFfi)
        std::printf("results differ: %s %s %s\n", vMax.c_str(), vDirect.c_str(), vFfi.c_str());
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak resident memory: %ld KiB\n", usage.ru_maxrss);
    FreeAllDlls();
    return 0;
}
