// Writes the seed corpus of fuzz_loader: a container, a body and a resource stream of a
// small game holding one of everything. Run: make_loader_seeds OUTPUT_DIR
#include <cstdio>
#include <fstream>
#include <string>

#include "runner/container.h"
#include "runner/game_data.h"

using namespace kestrin;

static void Write(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
}

int main(int argc, char** argv) {
    if (argc < 2) return 1;
    std::string dir = argv[1];
    GameData g;
    g.settings.loading_image = TBitmap32(2, 2, 0xFF102030u);
    g.constants = {{"A", "1"}};
    g.triggers = {{true, "", {1, 0, 0, 0}}};
    for (auto& table : g.resources) table = {{true, "r", {1, 2, 3}}, {false, "", {}}};
    CDataFile f;
    f.s_filename = "f.txt";
    f.s_exists = f.s_store = true;
    f.s_data = {'x'};
    g.included_files.files = {f};
    CExtensionPackage p;
    p.s_name = "P";
    CExtensionFile ef;
    ef.s_kind = kExtensionScript;
    ef.data = {'y'};
    ef.s_functions.push_back({});
    ef.s_constants.push_back({"C", "2"});
    p.s_includes = {ef};
    g.extensions = {p};
    g.library_init_code = {"x = 1"};
    g.room_order = {0};

    StreamRandom random(1);
    CStream resources;
    WriteResourceStream(resources, g, random);
    Write(dir + "/resources", resources.Bytes());
    std::vector<uint8_t> container = SaveGameData(g, random);
    Write(dir + "/container", container);
    // The body alone: everything after the version word, unscrambled.
    std::vector<uint8_t> image = container;
    ContainerResult r = OpenContainer(image, 0);
    if (r.status != ContainerStatus::Ok) return 1;
    Write(dir + "/body", std::vector<uint8_t>(image.begin() + static_cast<ptrdiff_t>(r.bodyOffset) + 4, image.end()));
    return 0;
}
