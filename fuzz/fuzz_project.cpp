// The text project reader over hostile manifests: the input becomes game.json of a project
// folder that also holds a few valid files for it to name (objects and rooms that refer to
// each other by name and hold code). A project that loads has its code checked as well.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "tools/project.h"
#include "tools/project_check.h"

namespace fs = std::filesystem;

namespace {
fs::path ProjectFolder() {
    static const fs::path dir = [] {
        fs::path d = fs::temp_directory_path() / ("ks_fuzz_project_" + std::to_string(::getpid()));
        fs::create_directories(d / "rooms");
        fs::create_directories(d / "files");
        std::ofstream(d / "rooms" / "r.json") << R"({"name": "r", "record": "00"})";
        fs::create_directories(d / "objects");
        std::ofstream(d / "objects" / "o.json")
            << R"({"parent": "o", "events": [{"type": "collision", "number": "o", "actions": [)"
               R"({"kind": "code", "arguments": ["x = (1"]}, {"applies_to": "o"}]}]})";
        std::ofstream(d / "rooms" / "q.json")
            << R"({"instances": [{"id": 100001, "object": "o", "code": "y = ;"}], "views": [{"object": 0}]})";
        std::ofstream(d / "files" / "a.txt") << "data";
        std::ofstream(d / "info.rtf") << "{\\rtf1}";
        return d;
    }();
    return dir;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fs::path dir = ProjectFolder();
    {
        std::ofstream out(dir / "game.json", std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    kestrin::GameData game;
    std::string error;
    if (kestrin::LoadProject(dir, game, error)) (void)kestrin::CheckProjectCode(dir, game);
    return 0;
}
