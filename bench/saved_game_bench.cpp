// Saving and loading a room of 10,000 instances with variables (game_save and game_load's
// work, through the file system) against writing and reading the same number of bytes with
// plain buffered stdio, in this run (best of five, wall time). Saving is flushed to the disk
// before it counts as done, so the plain write is flushed too; its unflushed time is shown
// beside it. Also the saved game's size and the peak memory.

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_world.h"
#include "runner/game_variables.h"
#include "runner/saved_game.h"
#include "script/registry.h"

using namespace kestrin;
using namespace kestrin::bench;

namespace {

constexpr int kInstances = 10000;
constexpr int kRepeats = 5;

double Millis(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since).count();
}

void MakeGame() {
    Objects().Clear();
    ObjectRecord o;
    EventRecord& e = o.events[ev_create].emplace_back();
    e.actions.push_back(Code("hp = id mod 100; name = 'unit ' + string(id); for (i = 0; i < 4; i += 1) "
                             "path_of[i] = i * hp; owner = 'team ' + string(id mod 7);"));
    auto object = std::make_unique<CObject>();
    object->Assign(o);
    const int32_t index = Objects().Add("unit", std::move(object));
    (void)Objects().Get(index)->Compile(index);
    RoomRecord record;
    record.width = 4096;
    record.height = 4096;
    for (int i = 1; i <= kInstances; ++i) {
        RoomRecord::Instance placed;
        placed.x = (i * 37) % 4096;
        placed.y = (i * 91) % 4096;
        placed.id = kFirstInstanceId + i;
        record.instances.push_back(placed);
    }
    StartRoom(record);
    GameValues().game_id = 99;
}

double PlainWrite(const std::string& path, const std::vector<uint8_t>& bytes, bool flush) {
    const auto start = std::chrono::steady_clock::now();
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return -1;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fflush(f);
    if (flush) (void)fsync(fileno(f));
    std::fclose(f);
    return Millis(start);
}

double PlainRead(const std::string& path, size_t size) {
    const auto start = std::chrono::steady_clock::now();
    std::vector<uint8_t> back(size);
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return -1;
    const size_t got = std::fread(back.data(), 1, back.size(), f);
    std::fclose(f);
    return got == size ? Millis(start) : -1;
}

} // namespace

int main() {
    ComposeGame();
    (void)FunctionCount();
    MakeGame();
    const std::string dir = std::filesystem::temp_directory_path() / ("kestrin_bench_save_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const std::string saved = dir + "/game.sav", plain = dir + "/plain.bin";

    double save = 1e300, load = 1e300, write = 1e300, writeNoFlush = 1e300, read = 1e300;
    for (int r = 0; r < kRepeats; ++r) {
        auto start = std::chrono::steady_clock::now();
        if (!Game_Save(saved)) return 1;
        save = std::min(save, Millis(start));
        start = std::chrono::steady_clock::now();
        if (!Game_Load(saved)) return 1;
        load = std::min(load, Millis(start));
    }
    const std::vector<uint8_t> bytes = SaveGameToBytes();
    for (int r = 0; r < kRepeats; ++r) {
        write = std::min(write, PlainWrite(plain, bytes, true));
        writeNoFlush = std::min(writeNoFlush, PlainWrite(plain, bytes, false));
        read = std::min(read, PlainRead(plain, bytes.size()));
    }
    std::printf("%d instances with 5 variables each (one an array of 4); saved game %zu bytes (%.1f KiB)\n", kInstances, bytes.size(),
                static_cast<double>(bytes.size()) / 1024.0);
    std::printf("  save %.2f ms, plain flushed write %.2f ms (unflushed %.2f ms): ratio %.2f (target <= 3.0)\n",
                save, write, writeNoFlush, save / write);
    std::printf("  load %.2f ms, plain read %.2f ms: ratio %.2f (target <= 3.0)\n", load, read, load / read);
    std::filesystem::remove_all(dir);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak resident memory: %ld KiB\n", usage.ru_maxrss);
    return 0;
}
