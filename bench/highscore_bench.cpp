// Reading the high-score table as highscore_name, highscore_value and draw_highscore do on
// every call (ten values of the registry store, each read from its file and decoded) against
// reading the same values file once with plain stdio and decoding the ten ranks from memory,
// in this run (best of five, wall time). Also the peak memory.

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "runner/highscore.h"
#include "runner/registry_store.h"

using namespace kestrin;

namespace {

constexpr int kReads = 2000;
constexpr int kRepeats = 5;
constexpr int32_t kGame = 4711;

double Millis(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since).count();
}

// The plain way: the values file in one read, its lines parsed and decoded in memory.
int64_t PlainRead(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return -1;
    std::string text;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
    std::fclose(f);
    int64_t sum = 0;
    for (const auto& [name, value] : ParseRegistryValues(text))
        if (auto e = DecodeHighscoreRank(value.text, kGame)) sum += e->score;
    return sum;
}

} // namespace

int main() {
    const auto dir =
        std::filesystem::temp_directory_path() / ("ks_bench_scores_" + std::to_string(::getpid()));
    RegistryStore store(dir.string());
    HighscoreTable table;
    for (int i = 0; i < kHighscoreRanks; ++i)
        table.Insert("player number " + std::to_string(i), 1000 * (i + 1));
    if (!SaveHighscores(store, kGame, table)) return 1;
    const std::string file = store.KeyFolder(RegistryRoot::CurrentUser, HighscoreKey(kGame)) + "/values";
    double stored = 1e300, plain = 1e300;
    int64_t check = 0;
    for (int r = 0; r < kRepeats; ++r) {
        auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < kReads; ++i) check += LoadHighscores(store, kGame).ranks[0].score;
        stored = std::min(stored, Millis(start));
        start = std::chrono::steady_clock::now();
        for (int i = 0; i < kReads; ++i) check -= PlainRead(file) > 0 ? 10000 : 0;
        plain = std::min(plain, Millis(start));
    }
    std::filesystem::remove_all(dir);
    std::printf("%d reads of the ten-rank table (check %lld)\n", kReads, static_cast<long long>(check));
    std::printf(
        "  through the registry store %.2f ms (%.1f us a read), one plain file read %.2f ms: ratio %.2f\n",
        stored, 1000 * stored / kReads, plain, stored / plain);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak resident memory: %ld KiB\n", usage.ru_maxrss);
    return 0;
}
