#pragma once
// Shared pieces of the text project tests: temporary folders, a game with every field away
// from its default, and a field-by-field comparison of two games.

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>

#include "base/stream.h"
#include "runner/game_data.h"
#include "world/path_record.h"

namespace kestrin::testing {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempFolder {
public:
    TempFolder() {
        static std::atomic<int> counter{0};
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = "kestrin_project_" + std::to_string(getpid()) + "_" + std::to_string(counter++);
        if (info) name += std::string("_") + info->name();
        for (char& c : name)
            if (c == '/') c = '_';
        path_ = std::filesystem::temp_directory_path() / name;
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::filesystem::path operator/(const std::string& sub) const { return path_ / sub; }

private:
    std::filesystem::path path_;
};

inline void WriteTextFile(const std::filesystem::path& path, const std::string& text) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

inline RawResource Raw(const std::string& name, std::vector<uint8_t> record) {
    RawResource r;
    r.present = true;
    r.name = name;
    r.record = std::move(record);
    return r;
}

inline TBitmap32 TestImage(int32_t w, int32_t h, uint32_t seed) {
    TBitmap32 image(w, h);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            uint32_t v = seed * 2654435761u + static_cast<uint32_t>(y * w + x) * 40503u;
            // Mixed alpha, including fully transparent pixels that keep their colour.
            uint8_t alpha = static_cast<uint8_t>((x + y) % 3 == 0 ? 0 : (x + y) % 3 == 1 ? 255 : 77);
            image.SetPixel(x, y, (v & 0x00FFFFFFu) | uint32_t(alpha) << 24);
        }
    return image;
}

// Every field away from its default; names that no file system takes as they are.
inline GameData FullGame() {
    GameData g;
    g.debug_mode = true;
    CSettings& s = g.settings;
    s.version = 821;
    s.fullscreen = s.interpolate = s.no_border = true;
    s.show_cursor = false;
    s.scale = -1;
    s.sizeable = s.stay_on_top = true;
    s.outside_colour = 0x123456;
    s.set_display_mode = true;
    s.colour_depth = 2;
    s.resolution = 3;
    s.frequency = 4;
    s.no_buttons = s.vsync = true;
    s.block_screensaver = s.key_f4_fullscreen = s.key_f1_info = s.key_escape_ends = false;
    s.key_f5_f6_save_load = s.key_f9_screenshot = s.close_as_escape = false;
    s.priority = 2;
    s.freeze_inactive = true;
    s.show_progress = true;
    s.bar_back = TestImage(3, 2, 1);
    s.bar_front = TestImage(2, 1, 2);
    s.loading_image = TestImage(5, 4, 3);
    s.loading_transparent = true;
    s.loading_alpha = 128;
    s.scale_progress = s.display_errors = false;
    s.write_errors = s.abort_errors = true;
    s.language_flags = 1;
    s.reserved = 7;
    s.create_event_first = true;

    g.library_name = "D3DX8.dll";
    g.library_data = {0x4D, 0x5A, 0, 1, 2, 0xFF};
    g.game_id = 987654;
    for (size_t i = 0; i < g.game_guid.size(); ++i) g.game_guid[i] = static_cast<uint8_t>(0xF0 - i * 7);

    CExtensionPackage p;
    p.s_name = "My Ext/../pkg";
    p.s_folder = "myext";
    p.key = 4321;
    CExtensionFile dll;
    dll.s_filename = "ext.dll";
    dll.s_kind = kExtensionDll;
    dll.s_init = "ext_init";
    dll.s_final = "ext_final";
    dll.data = {1, 2, 3, 4, 5, 0, 250};
    CExtensionFunction fn;
    fn.s_name = "ext_add";
    fn.s_extname = "Add";
    fn.s_kind = 12;
    fn.s_id = 17;
    fn.s_argcount = 2;
    fn.s_argtype[0] = 1;
    fn.s_argtype[16] = 1;
    fn.s_returntype = 1;
    dll.s_functions.push_back(fn);
    fn.s_name = "ext_any";
    fn.s_extname = "";
    fn.s_id = 18;
    fn.s_argtype.fill(2);
    fn.s_argtype[5] = 0;
    dll.s_functions.push_back(fn);
    dll.s_constants.push_back({"EXT_ONE", "1"});
    dll.s_constants.push_back({"EXT_NAME", "\"ext\""});
    p.s_includes.push_back(dll);
    CExtensionFile script;
    script.s_filename = "ext.dll"; // the same name twice still gets two files
    script.s_kind = kExtensionScript;
    script.data = {'#', 'd', 'e', 'f', 'i', 'n', 'e', ' ', 'f', '\n'};
    p.s_includes.push_back(script);
    CExtensionFile missing;
    missing.s_filename = "help.chm";
    missing.s_kind = kExtensionNoData;
    p.s_includes.push_back(missing);
    CExtensionFile odd;
    odd.s_filename = "..\\..\\odd";
    odd.s_kind = 99;
    odd.data = {9};
    p.s_includes.push_back(odd);
    g.extensions.push_back(p);
    CExtensionPackage empty;
    empty.s_name = "";
    g.extensions.push_back(empty);

    g.triggers.push_back(Raw("", {1, 2, 3}));
    g.triggers.emplace_back();
    g.triggers.push_back(Raw("", {}));
    g.constants = {{"MAX", "10"}, {"", "odd \"text\""}, {"MAX", "11"}};

    auto& sounds = g.Resources(ResourceKind::Sound);
    sounds.push_back(Raw("snd_jump", {0xAA, 0xBB}));
    sounds.emplace_back();
    auto& sprites = g.Resources(ResourceKind::Sprite);
    for (const char* name : {"../evil", "a/b\\c", "", "CON", "Same", "same", "Same", "\xC3\xB6\xE2\x9C\x93",
                             "..", "tab\there", ".hidden", "game"})
        sprites.push_back(Raw(name, {static_cast<uint8_t>(sprites.size()), 0x42}));
    sprites.emplace_back();
    sprites.push_back(Raw(std::string(300, 'x'), {}));
    g.Resources(ResourceKind::Background).push_back(Raw("bg_sky", {7}));
    g.Resources(ResourceKind::Path).emplace_back();
    PathRecord patrol;
    patrol.kind = 1;
    patrol.closed = true;
    patrol.points = {{32, 32, 100}, {288.5, 32, 50}, {160, -200, 0}};
    CStream patrolBytes;
    patrol.SaveToStream(patrolBytes);
    g.Resources(ResourceKind::Path).push_back(Raw("pth_patrol", patrolBytes.TakeBytes()));
    g.Resources(ResourceKind::Script).push_back(Raw("scr_a", {8, 0, 0}));
    g.Resources(ResourceKind::Font).push_back(Raw("fnt", {}));
    g.Resources(ResourceKind::TimeLine).push_back(Raw("tl", {1}));
    g.Resources(ResourceKind::Object).push_back(Raw("obj", {2}));
    auto& rooms = g.Resources(ResourceKind::Room);
    rooms.push_back(Raw("room_a", {3}));
    rooms.push_back(Raw("room_b", {4}));
    rooms.emplace_back();
    rooms.push_back(Raw("dup", {5}));
    rooms.push_back(Raw("dup", {6}));
    rooms.push_back(Raw("", {7}));
    // By name, by index where a name is ambiguous or missing, and indices naming no room.
    g.room_order = {1, 0, 3, 4, 5, 2, 99, -1, 1};
    g.last_instance_id = 100123;
    g.last_tile_id = 10000456;

    CDataFile f;
    f.s_filename = "level1.txt";
    f.s_origname = "C:\\games\\level1.txt";
    f.s_exists = true;
    f.s_store = true;
    f.s_data = {'l', 'v', '1', '\n'};
    f.s_size = 4;
    f.s_exportaction = kExportToTemp;
    f.s_overwrite = true;
    f.s_freedata = false;
    f.s_removeend = false;
    g.included_files.files.push_back(f);
    CDataFile absent;
    // Names of included files are bare (folders are refused), but may still look odd.
    absent.s_filename = "..evil .txt";
    absent.s_exists = false;
    absent.s_size = 1234;
    absent.s_exportaction = kExportToFolder;
    absent.s_exportdir = "C:\\out";
    g.included_files.files.push_back(absent);
    f.s_filename = "level1.txt";
    f.s_size = -5;
    f.s_exportaction = 7;
    f.s_data = {};
    g.included_files.files.push_back(f);

    GameInformation& info = g.information;
    info.background_colour = 0x102030;
    info.show_in_window = true;
    info.caption = "About \"it\"";
    info.left = 10;
    info.top = 20;
    info.width = 300;
    info.height = 200;
    info.border = info.sizeable = false;
    info.stay_on_top = info.modal = true;
    info.rtf = {'{', '\\', 'r', 't', 'f', '1', ' ', 'h', 'i', '}'};
    g.library_init_code = {"a = 1;\r\n", "", "\xC3\xBC = 2;"};
    return g;
}

inline std::vector<uint8_t> SettingsBytes(const CSettings& s) {
    CStream out;
    WriteSettings(out, s);
    return out.TakeBytes();
}

inline void ExpectSameImage(const std::optional<TBitmap32>& a, const std::optional<TBitmap32>& b,
                            const char* what) {
    ASSERT_EQ(a.has_value(), b.has_value()) << what;
    if (a) {
        EXPECT_TRUE(*a == *b) << what;
    }
}

inline void ExpectSameResources(const std::vector<RawResource>& a, const std::vector<RawResource>& b,
                                const std::string& what) {
    ASSERT_EQ(a.size(), b.size()) << what;
    for (size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(a[i].present, b[i].present) << what << " " << i;
        EXPECT_EQ(a[i].name, b[i].name) << what << " " << i;
        EXPECT_EQ(a[i].record, b[i].record) << what << " " << i;
    }
}

inline void ExpectSameGame(const GameData& a, const GameData& b) {
    EXPECT_EQ(a.debug_mode, b.debug_mode);
    EXPECT_EQ(a.settings.version, b.settings.version);
    EXPECT_EQ(a.settings.show_progress, b.settings.show_progress);
    // The stored block covers every non-image field.
    EXPECT_EQ(SettingsBytes(a.settings), SettingsBytes(b.settings));
    ExpectSameImage(a.settings.bar_back, b.settings.bar_back, "bar_back");
    ExpectSameImage(a.settings.bar_front, b.settings.bar_front, "bar_front");
    ExpectSameImage(a.settings.loading_image, b.settings.loading_image, "loading_image");
    EXPECT_EQ(a.library_name, b.library_name);
    EXPECT_EQ(a.library_data, b.library_data);
    EXPECT_EQ(a.game_id, b.game_id);
    EXPECT_EQ(a.game_guid, b.game_guid);

    ASSERT_EQ(a.extensions.size(), b.extensions.size());
    for (size_t i = 0; i < a.extensions.size(); ++i) {
        const auto &pa = a.extensions[i], &pb = b.extensions[i];
        EXPECT_EQ(pa.s_name, pb.s_name);
        EXPECT_EQ(pa.s_folder, pb.s_folder);
        EXPECT_EQ(pa.key, pb.key);
        ASSERT_EQ(pa.s_includes.size(), pb.s_includes.size());
        for (size_t k = 0; k < pa.s_includes.size(); ++k) {
            const auto &fa = pa.s_includes[k], &fb = pb.s_includes[k];
            EXPECT_EQ(fa.s_filename, fb.s_filename);
            EXPECT_EQ(fa.s_kind, fb.s_kind);
            EXPECT_EQ(fa.s_init, fb.s_init);
            EXPECT_EQ(fa.s_final, fb.s_final);
            EXPECT_EQ(fa.data, fb.data) << fa.s_filename;
            ASSERT_EQ(fa.s_functions.size(), fb.s_functions.size());
            for (size_t n = 0; n < fa.s_functions.size(); ++n) {
                const auto &x = fa.s_functions[n], &y = fb.s_functions[n];
                EXPECT_EQ(x.s_name, y.s_name);
                EXPECT_EQ(x.s_extname, y.s_extname);
                EXPECT_EQ(x.s_kind, y.s_kind);
                EXPECT_EQ(x.s_id, y.s_id);
                EXPECT_EQ(x.s_argcount, y.s_argcount);
                EXPECT_EQ(x.s_argtype, y.s_argtype);
                EXPECT_EQ(x.s_returntype, y.s_returntype);
            }
            ASSERT_EQ(fa.s_constants.size(), fb.s_constants.size());
            for (size_t n = 0; n < fa.s_constants.size(); ++n) {
                EXPECT_EQ(fa.s_constants[n].s_name, fb.s_constants[n].s_name);
                EXPECT_EQ(fa.s_constants[n].s_value, fb.s_constants[n].s_value);
            }
        }
    }
    ExpectSameResources(a.triggers, b.triggers, "triggers");
    ASSERT_EQ(a.constants.size(), b.constants.size());
    for (size_t i = 0; i < a.constants.size(); ++i) {
        EXPECT_EQ(a.constants[i].name, b.constants[i].name);
        EXPECT_EQ(a.constants[i].value, b.constants[i].value);
    }
    for (int k = 0; k < kResourceKindCount; ++k)
        ExpectSameResources(a.resources[k], b.resources[k], ResourceKindName(static_cast<ResourceKind>(k)));
    EXPECT_EQ(a.last_instance_id, b.last_instance_id);
    EXPECT_EQ(a.last_tile_id, b.last_tile_id);

    ASSERT_EQ(a.included_files.files.size(), b.included_files.files.size());
    for (size_t i = 0; i < a.included_files.files.size(); ++i) {
        const auto &x = a.included_files.files[i], &y = b.included_files.files[i];
        EXPECT_EQ(x.s_filename, y.s_filename) << i;
        EXPECT_EQ(x.s_origname, y.s_origname) << i;
        EXPECT_EQ(x.s_exists, y.s_exists) << i;
        EXPECT_EQ(x.s_size, y.s_size) << i;
        EXPECT_EQ(x.s_store, y.s_store) << i;
        EXPECT_EQ(x.s_data, y.s_data) << i;
        EXPECT_EQ(x.s_exportaction, y.s_exportaction) << i;
        EXPECT_EQ(x.s_exportdir, y.s_exportdir) << i;
        EXPECT_EQ(x.s_overwrite, y.s_overwrite) << i;
        EXPECT_EQ(x.s_freedata, y.s_freedata) << i;
        EXPECT_EQ(x.s_removeend, y.s_removeend) << i;
    }
    CStream ia, ib;
    a.information.SaveToStream(ia);
    b.information.SaveToStream(ib);
    EXPECT_EQ(ia.Bytes(), ib.Bytes());
    EXPECT_EQ(a.library_init_code, b.library_init_code);
    EXPECT_EQ(a.room_order, b.room_order);
}

} // namespace kestrin::testing
