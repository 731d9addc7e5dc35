// Game data load speed: the whole loader (container check, unscrambling, every section)
// against plain zlib inflation of the same compressed streams, measured in this run.
// Also prints the peak resident memory of a process that only reads the file and loads it:
// the file image is released before the sections are read, so the peak stays near the
// inflated size plus the file size.

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "game/compose.h"
#include "runner/game_data.h"

using namespace kestrin;

namespace {

// Records that compress about as well as sprite pixels do.
std::vector<uint8_t> Record(size_t size, uint32_t seed) {
    std::vector<uint8_t> r(size);
    uint32_t x = seed * 2654435761u + 1;
    for (size_t i = 0; i < size; ++i) {
        if (i % 64 == 0) x = x * 1664525u + 1013904223u;
        r[i] = static_cast<uint8_t>((i % 4 == 3) ? 255 : (x >> (8 * (i % 3))) & 0xF0);
    }
    return r;
}

double Seconds(const std::chrono::steady_clock::time_point& from) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
}

// Peak resident memory of this process image (VmHWM starts afresh at exec, unlike
// getrusage's figure, which a child inherits).
long PeakRssKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
    return -1;
}

// The child: load the file and print this process's peak memory.
int MeasureLoad(const char* path) {
    long base = PeakRssKb();
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    size_t fileKb = image.size() / 1024;
    GameData loaded;
    if (!LoadGameData(std::move(image), 0, loaded).ok) return 1;
    size_t inflated = 0;
    for (const auto& r : loaded.Resources(ResourceKind::Sprite)) inflated += r.record.size();
    std::printf("%-28s %10ld KiB (process start %ld KiB; file %zu KiB; loaded records %zu KiB)\n",
                "peak memory of a load", PeakRssKb(), base, fileKb, inflated / 1024);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    kestrin::ComposeGame();
    if (argc == 3 && std::strcmp(argv[1], "--measure") == 0) return MeasureLoad(argv[2]);
    constexpr int kSprites = 200;
    constexpr size_t kRecordBytes = 256 * 1024;
    GameData game;
    game.room_order = {0};
    std::vector<std::vector<uint8_t>> packed;
    for (int i = 0; i < kSprites; ++i) {
        std::vector<uint8_t> record = Record(kRecordBytes, static_cast<uint32_t>(i));
        CStream item;
        item.WriteBoolean(true);
        item.WriteString("sprite" + std::to_string(i));
        item.WriteBytes(record);
        packed.push_back(Deflate(item.Bytes()));
        game.Resources(ResourceKind::Sprite)
            .push_back({true, "sprite" + std::to_string(i), std::move(record)});
    }
    StreamRandom random(1);
    std::vector<uint8_t> image = SaveGameData(game, random);
    game = GameData();
    long rssBefore = PeakRssKb();

    double loader = 1e9, reference = 1e9;
    for (int round = 0; round < 5; ++round) {
        auto t0 = std::chrono::steady_clock::now();
        GameData loaded;
        LoadResult r = LoadGameData(image, 0, loaded);
        loader = std::min(loader, Seconds(t0));
        if (!r.ok) {
            std::fprintf(stderr, "load failed: %s\n", r.message.c_str());
            return 1;
        }

        auto t1 = std::chrono::steady_clock::now();
        size_t total = 0;
        for (const auto& p : packed) total += Inflate(p).size();
        reference = std::min(reference, Seconds(t1));
        if (total == 0) return 1;
    }
    double mb = static_cast<double>(image.size()) / (1024.0 * 1024.0);
    std::printf("game data: %.1f MiB compressed, %d items of %zu KiB\n", mb, kSprites, kRecordBytes / 1024);
    std::printf("%-28s %10.2f ms\n", "loader (best of 5)", loader * 1e3);
    std::printf("%-28s %10.2f ms\n", "zlib inflate alone", reference * 1e3);
    std::printf("%-28s %10.2f  (loader / zlib)\n", "ratio", loader / reference);

    char path[] = "/tmp/ks_bench_load_XXXXXX";
    int fd = mkstemp(path);
    if (fd < 0) return 1;
    close(fd);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
    std::fflush(stdout);
    pid_t child = fork();
    if (child == 0) {
        execl("/proc/self/exe", "bench_load", "--measure", path, static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    unlink(path);
    (void)rssBefore;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}
