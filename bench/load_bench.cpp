// Game data load speed against plain zlib inflation of the same compressed streams, measured
// in this run, and the peak resident memory of a process that only reads the file and loads it.
//
// Two games: 200 raw records of 256 KiB read by the container loader alone, and a game of 40
// sprites of 256 x 256 with precise masks read by the runner's own load (container, records,
// sprite frames and masks). The reference inflates each compressed item into a buffer of its
// known size, the least any loader has to do. The sprite game's memory is given over a game
// without sprites loaded the same way, against the decoded pixels (4 bytes) and mask flags
// (1 byte) of its frames.

#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "base/bitmap32.h"
#include "game/compose.h"
#include "game/startup.h"
#include "graphics/sprite.h"
#include "runner/game_data.h"

using namespace kestrin;

namespace {

constexpr int kRounds = 5;
constexpr int kSprites = 40;
constexpr int32_t kSpriteSide = 256;

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

// A disc of blotchy colour on a transparent square: a precise mask with a real outline.
std::vector<uint8_t> SpriteRecord(uint32_t seed) {
    TBitmap32 frame(kSpriteSide, kSpriteSide);
    uint32_t x = seed * 2654435761u + 7;
    const double c = (kSpriteSide - 1) / 2.0, r = kSpriteSide * 0.45;
    for (int32_t py = 0; py < kSpriteSide; ++py)
        for (int32_t px = 0; px < kSpriteSide; ++px) {
            if (px % 16 == 0) x = x * 1664525u + 1013904223u;
            const double dx = px - c, dy = py - c;
            // Blotches of 16 pixels with a little grain, as shaded artwork has.
            const uint32_t grain = (uint32_t(px) * 2246822519u ^ uint32_t(py) * 3266489917u ^ seed) >> 13;
            const uint32_t rgb = (x & 0xF0F0F0u) | (grain & 0x030303u);
            frame.SetPixel(px, py, dx * dx + dy * dy < r * r ? 0xFF000000u | rgb : 0u);
        }
    CSprite sprite;
    sprite.CreateFromBitmap(frame, 2, false, kSpriteSide / 2, kSpriteSide / 2);
    CStream record;
    sprite.SaveToStream(record);
    return record.TakeBytes();
}

// The compressed block of one item as the game data holds it.
std::vector<uint8_t> PackedItem(const std::string& name, const std::vector<uint8_t>& record) {
    CStream item;
    item.WriteBoolean(true);
    item.WriteString(name);
    item.WriteBytes(record);
    return Deflate(item.Bytes());
}

struct Packed {
    std::vector<uint8_t> bytes;
    size_t inflated;
};

// Plain zlib: every item into a fresh buffer of its known size.
double PlainInflate(const std::vector<Packed>& items) {
    const auto t0 = std::chrono::steady_clock::now();
    size_t total = 0;
    for (const Packed& p : items) {
        std::unique_ptr<uint8_t[]> out(new uint8_t[p.inflated]);
        uLongf size = static_cast<uLongf>(p.inflated);
        if (uncompress(out.get(), &size, p.bytes.data(), static_cast<uLong>(p.bytes.size())) != Z_OK) return -1;
        total += size;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    return total > 0 ? seconds : -1;
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

class Quiet : public LoadingDisplay, public MessageSink {
public:
    void ShowMessage(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }
};

// The runner's load of a whole game: what `kestrin run` does before preparing it.
bool RunnerLoad(std::vector<uint8_t> image) {
    Quiet quiet;
    Runner runner(RunOptions{}, quiet, quiet);
    return runner.Load(std::move(image), 0);
}

std::vector<uint8_t> ReadFile(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The child: load the file one way and print this process's peak memory in KiB.
int MeasureLoad(const char* how, const char* path) {
    std::vector<uint8_t> image = ReadFile(path);
    if (std::strcmp(how, "data") == 0) {
        GameData loaded;
        if (!LoadGameData(std::move(image), 0, loaded).ok) return 1;
    } else if (!RunnerLoad(std::move(image))) {
        return 1;
    }
    std::printf("%ld\n", PeakRssKb());
    return 0;
}

// Runs this program as a child measuring one load; -1 when it failed.
long PeakOfChild(const char* how, const std::vector<uint8_t>& image) {
    char path[] = "/tmp/ks_bench_load_XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) return -1;
    close(fd);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return -1;
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
        dup2(pipeFds[1], STDOUT_FILENO);
        close(pipeFds[0]);
        close(pipeFds[1]);
        execl("/proc/self/exe", "bench_load", "--measure", how, path, static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipeFds[1]);
    char text[64] = {};
    const ssize_t got = read(pipeFds[0], text, sizeof text - 1);
    close(pipeFds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    unlink(path);
    if (got <= 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    return std::strtol(text, nullptr, 10);
}

void PrintTimes(double loader, double reference) {
    std::printf("  %-30s %10.2f ms\n", "loader (best of 5)", loader * 1e3);
    std::printf("  %-30s %10.2f ms\n", "plain zlib inflate (best of 5)", reference * 1e3);
    std::printf("  %-30s %10.2f  (loader / zlib)\n", "ratio", loader / reference);
}

int RecordsCase() {
    constexpr int kItems = 200;
    constexpr size_t kRecordBytes = 256 * 1024;
    GameData game;
    game.room_order = {0};
    std::vector<Packed> packed;
    for (int i = 0; i < kItems; ++i) {
        const std::string name = "sprite" + std::to_string(i);
        std::vector<uint8_t> record = Record(kRecordBytes, static_cast<uint32_t>(i));
        packed.push_back({PackedItem(name, record), 4 + 4 + name.size() + record.size()});
        game.Resources(ResourceKind::Sprite).push_back({true, name, std::move(record)});
    }
    StreamRandom random(1);
    const std::vector<uint8_t> image = SaveGameData(game, random);
    game = GameData();

    double loader = 1e9, reference = 1e9;
    for (int round = 0; round < kRounds; ++round) {
        const auto t0 = std::chrono::steady_clock::now();
        GameData loaded;
        const LoadResult r = LoadGameData(image, 0, loaded);
        loader = std::min(loader, Seconds(t0));
        if (!r.ok) {
            std::fprintf(stderr, "load failed: %s\n", r.message.c_str());
            return 1;
        }
        const double plain = PlainInflate(packed);
        if (plain < 0) return 1;
        reference = std::min(reference, plain);
    }
    std::printf("raw records: %.1f MiB compressed, %d items of %zu KiB, container loader only\n",
                double(image.size()) / (1024.0 * 1024.0), kItems, kRecordBytes / 1024);
    PrintTimes(loader, reference);
    const long peak = PeakOfChild("data", image);
    if (peak < 0) return 1;
    std::printf("  %-30s %10ld KiB (file %zu KiB, records %zu KiB)\n", "peak memory of a load", peak,
                image.size() / 1024, kItems * kRecordBytes / 1024);
    return 0;
}

int SpriteGameCase() {
    GameData game;
    game.room_order = {0};
    StreamRandom random(1);
    const std::vector<uint8_t> empty = SaveGameData(game, random);
    std::vector<Packed> packed;
    for (int i = 0; i < kSprites; ++i) {
        const std::string name = "spr_" + std::to_string(i);
        std::vector<uint8_t> record = SpriteRecord(static_cast<uint32_t>(i));
        packed.push_back({PackedItem(name, record), 4 + 4 + name.size() + record.size()});
        game.Resources(ResourceKind::Sprite).push_back({true, name, std::move(record)});
    }
    random = StreamRandom(1);
    const std::vector<uint8_t> image = SaveGameData(game, random);
    game = GameData();

    double loader = 1e9, reference = 1e9;
    for (int round = 0; round < kRounds; ++round) {
        const auto t0 = std::chrono::steady_clock::now();
        const bool ok = RunnerLoad(image);
        loader = std::min(loader, Seconds(t0));
        Sprite_ClearAll();
        if (!ok) return 1;
        const double plain = PlainInflate(packed);
        if (plain < 0) return 1;
        reference = std::min(reference, plain);
    }
    const double decodedKb = kSprites * double(kSpriteSide) * kSpriteSide * 5 / 1024;
    std::printf("sprite game: %.1f MiB compressed, %d sprites of %d x %d with precise masks, runner load\n",
                double(image.size()) / (1024.0 * 1024.0), kSprites, kSpriteSide, kSpriteSide);
    PrintTimes(loader, reference);
    const long base = PeakOfChild("game", empty);
    const long peak = PeakOfChild("game", image);
    if (base < 0 || peak < 0) return 1;
    std::printf("  %-30s %10ld KiB (a game without sprites: %ld KiB; file %zu KiB)\n", "peak memory of a load",
                peak, base, image.size() / 1024);
    std::printf("  %-30s %10.0f KiB = %.2f x the decoded pixels and masks (%.0f KiB)\n", "peak over the empty game",
                double(peak - base), double(peak - base) / decodedKb, decodedKb);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    kestrin::ComposeGame();
    if (argc == 4 && std::strcmp(argv[1], "--measure") == 0) return MeasureLoad(argv[2], argv[3]);
    if (RecordsCase() != 0) return 1;
    std::printf("\n");
    return SpriteGameCase();
}
