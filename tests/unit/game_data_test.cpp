#include <gtest/gtest.h>

#include "runner/container.h"
#include "runner/game_data.h"
#include "runner/messages.h"

using namespace kestrin;

namespace {

GameData SampleGame() {
    GameData g;
    g.debug_mode = true;
    g.settings.scale = -1;
    g.settings.loading_image = TBitmap32(4, 3, 0xFF336699u);
    g.library_name = "helper.bin";
    g.library_data = {1, 2, 3};
    g.game_id = 424242;
    g.game_guid[0] = 0xAB;
    g.game_guid[15] = 0xCD;
    g.constants = {{"SPEED", "4"}, {"NAME", "\"x\""}};
    g.triggers = {{true, "", {9, 9}}, {false, "", {}}};
    auto& sounds = g.Resources(ResourceKind::Sound);
    sounds = {{true, "snd_a", {1, 2}}, {false, "", {}}, {true, "snd_b", {}}};
    g.Resources(ResourceKind::Room) = {{true, "room0", {5}}};
    g.last_instance_id = 100007;
    g.last_tile_id = 10000003;
    CDataFile f;
    f.s_filename = "data.txt";
    f.s_exists = f.s_store = true;
    f.s_data = {'h', 'i'};
    f.s_size = 2;
    g.included_files.files = {f};
    g.information.caption = "About";
    g.information.rtf = {'{', '}'};
    g.library_init_code = {"a = 1", ""};
    g.room_order = {0};
    CExtensionPackage pkg;
    pkg.s_name = "Pack";
    pkg.key = 1234;
    CExtensionFile file;
    file.s_filename = "pack_code.txt";
    file.s_kind = kExtensionScript;
    file.data = {'x', '=', '1'};
    file.s_functions.push_back({"pack_fn", "pack_fn", 12, 7, 2, {}, 1, ""});
    file.s_constants.push_back({"PACK_ONE", "1"});
    pkg.s_includes = {file};
    g.extensions = {pkg};
    return g;
}

// A resource stream with empty sections, one of whose version words can be changed; with
// `soundItem` the sound section holds that one item block.
CStream MinimalResourceStream(int badSection = -1, int32_t roomCount = 1,
                              const std::vector<uint8_t>* soundItem = nullptr) {
    CStream s;
    s.WriteInteger(2);
    s.WriteInteger(0);
    s.WriteInteger(0);
    s.WriteInteger(0);  // flags
    s.WriteInteger(77);
    for (int i = 0; i < 4; ++i) s.WriteInteger(0);
    int section = 0;
    auto version = [&](int32_t v) { s.WriteInteger(section++ == badSection ? v + 1 : v); };
    version(700);
    s.WriteInteger(0);
    version(800);
    s.WriteInteger(0);
    version(800);
    s.WriteInteger(0);
    for (int k = 0; k < kResourceKindCount; ++k) {
        version(800);
        s.WriteInteger(k == 0 && soundItem ? 1 : 0);
        if (k == 0 && soundItem) s.WriteStreamC(CStream(*soundItem));
    }
    s.WriteInteger(100000);
    s.WriteInteger(10000000);
    version(800);
    s.WriteInteger(0);
    version(800);
    CStream info;
    GameInformation().SaveToStream(info);
    s.WriteStreamC(info);
    version(500);
    s.WriteInteger(0);
    version(700);
    s.WriteInteger(roomCount);
    for (int i = 0; i < roomCount; ++i) s.WriteInteger(0);
    s.Seek(0);
    return s;
}

} // namespace

TEST(GameData, WholeGameRoundTripsThroughTheContainer) {
    GameData g = SampleGame();
    StreamRandom random(11);
    std::vector<uint8_t> bytes = SaveGameData(g, random);
    GameData back;
    std::vector<std::string> progress;
    bool settingsSeen = false;
    LoadResult r = LoadGameData(
        bytes, 0, back, [&](int p, const char* t) { progress.push_back(std::to_string(p) + " " + t); },
        [&] { settingsSeen = progress.size() == 1; });
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_TRUE(settingsSeen);
    EXPECT_TRUE(back.debug_mode);
    EXPECT_EQ(back.settings.scale, -1);
    ASSERT_TRUE(back.settings.loading_image.has_value());
    EXPECT_EQ(*back.settings.loading_image, *g.settings.loading_image);
    EXPECT_EQ(back.library_name, "helper.bin");
    EXPECT_EQ(back.game_id, 424242);
    EXPECT_EQ(back.game_guid, g.game_guid);
    ASSERT_EQ(back.constants.size(), 2u);
    EXPECT_EQ(back.constants[1].value, "\"x\"");
    ASSERT_EQ(back.triggers.size(), 2u);
    EXPECT_EQ(back.triggers[0].record, (std::vector<uint8_t>{9, 9}));
    EXPECT_FALSE(back.triggers[1].present);
    const auto& sounds = back.Resources(ResourceKind::Sound);
    ASSERT_EQ(sounds.size(), 3u);
    EXPECT_EQ(sounds[0].name, "snd_a");
    EXPECT_FALSE(sounds[1].present);
    EXPECT_TRUE(sounds[2].present);
    EXPECT_EQ(back.last_instance_id, 100007);
    EXPECT_EQ(back.last_tile_id, 10000003);
    ASSERT_EQ(back.included_files.files.size(), 1u);
    EXPECT_EQ(back.included_files.files[0].s_data, (std::vector<uint8_t>{'h', 'i'}));
    EXPECT_EQ(back.information.caption, "About");
    EXPECT_EQ(back.library_init_code, g.library_init_code);
    EXPECT_EQ(back.room_order, g.room_order);
    ASSERT_EQ(back.extensions.size(), 1u);
    const auto& pf = back.extensions[0].s_includes.at(0);
    EXPECT_EQ(pf.data, (std::vector<uint8_t>{'x', '=', '1'}));
    EXPECT_EQ(pf.s_functions.at(0).s_id, 7);
    EXPECT_EQ(pf.s_functions.at(0).s_returntype, 1);
    EXPECT_EQ(pf.s_constants.at(0).s_name, "PACK_ONE");

    ASSERT_EQ(progress.size(), 17u);
    EXPECT_EQ(progress[0], "1 Reading data");
    EXPECT_EQ(progress[1], "0 Loading extension packages");
    EXPECT_EQ(progress[5], "10 Loading sprites");
    EXPECT_EQ(progress[16], "49 Loading room order");

    // Same seed, same bytes: builds are reproducible.
    StreamRandom again(11);
    EXPECT_EQ(SaveGameData(back, again), bytes);
}

TEST(GameData, EmptySectionsLoad) {
    CStream s = MinimalResourceStream();
    GameData g;
    std::string message;
    ASSERT_TRUE(ReadResourceStream(s, g, {}, message)) << message;
    EXPECT_EQ(g.game_id, 77);
    EXPECT_TRUE(s.AtEnd());
}

TEST(GameData, AnySectionVersionMismatchFailsWithTheResourceMessage) {
    for (int section = 0; section < 16; ++section) {
        CStream s = MinimalResourceStream(section);
        GameData g;
        std::string message;
        EXPECT_FALSE(ReadResourceStream(s, g, {}, message)) << section;
        if (section == 0)
            EXPECT_EQ(message, std::string(msg::kExtensionPackages) + "\n" + msg::kResourceData);
        else
            EXPECT_EQ(message, msg::kResourceData) << section;
    }
}

TEST(GameData, RoomOrderMustNotBeEmpty) {
    for (int32_t count : {0, -3}) {
        CStream s = MinimalResourceStream(-1, count);
        GameData g;
        std::string message;
        EXPECT_FALSE(ReadResourceStream(s, g, {}, message));
        EXPECT_EQ(message, msg::kResourceData);
    }
}

TEST(GameData, ContainerFailuresGiveTheirMessages) {
    StreamRandom random(2);
    std::vector<uint8_t> good = SaveGameData(SampleGame(), random);
    struct Case {
        const char* what;
        std::vector<uint8_t> image;
        const char* message;
    };
    std::vector<uint8_t> flipped = good;
    flipped[good.size() / 2] ^= 1;
    std::vector<uint8_t> version = good;
    version[17] ^= 2;
    const Case cases[] = {
        {"empty file", {}, msg::kNotValidGameFile},
        {"no marker", std::vector<uint8_t>(good.begin() + 4, good.end()), msg::kNotValidGameFile},
        {"truncated", std::vector<uint8_t>(good.begin(), good.end() - 10), msg::kLoadCorrupted},
        {"damaged", flipped, msg::kLoadCorrupted},
        {"wrong version", version, msg::kWrongVersion},
    };
    for (const auto& c : cases) {
        GameData g;
        LoadResult r = LoadGameData(c.image, 0, g);
        EXPECT_FALSE(r.ok) << c.what;
        EXPECT_EQ(r.message, c.message) << c.what;
    }
}

TEST(GameData, ValidContainerWithBrokenBodyIsCorruptedNotACrash) {
    // Every truncation of a valid body, re-wrapped with a correct checksum, must fail cleanly.
    StreamRandom random(4);
    GameData g = SampleGame();
    CStream resources;
    WriteResourceStream(resources, g, random);
    const std::vector<uint8_t>& full = resources.Bytes();
    for (size_t cut = 0; cut < full.size(); cut += 7) {
        CStream s(std::vector<uint8_t>(full.begin(), full.begin() + static_cast<ptrdiff_t>(cut)));
        GameData back;
        std::string message;
        bool ok = true;
        try {
            ok = ReadResourceStream(s, back, {}, message);
        } catch (const StreamError&) {
            ok = false;
        }
        EXPECT_FALSE(ok) << cut;
    }
}

TEST(GameData, SettingsBelowVersion800FailTheLoad) {
    CStream body;
    body.WriteInteger(0);
    body.WriteBoolean(false);
    body.WriteInteger(0);
    body.WriteInteger(799);
    StreamRandom random(1);
    std::vector<uint8_t> image = WriteContainer(body.Bytes(), random);
    GameData g;
    LoadResult r = LoadGameData(image, 0, g);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, msg::kResourceData);
}

TEST(GameData, TheSinkSeesEveryResourceItemAsItIsReadAndMayTakeItsRecord) {
    GameData g = SampleGame();
    g.Resources(ResourceKind::Sprite) = {{true, "spr_a", {7, 7, 7}}, {false, "", {}}};
    StreamRandom random(3);
    const std::vector<uint8_t> bytes = SaveGameData(g, random);
    GameData back;
    std::vector<std::string> seen;
    LoadResult r = LoadGameData(bytes, 0, back, {}, {}, [&](ResourceKind kind, RawResource& item) {
        // Items arrive one at a time: the slot in hand is the last one of its table filled.
        seen.push_back(std::string(ResourceKindName(kind)) + " " + item.name + " " + std::to_string(item.present) +
                       " " + std::to_string(item.record.size()));
        if (kind == ResourceKind::Sprite) item.record.clear();
    });
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(seen, (std::vector<std::string>{"sound snd_a 1 2", "sound  0 0", "sound snd_b 1 0", "sprite spr_a 1 3",
                                              "sprite  0 0", "room room0 1 1"}));
    const auto& sprites = back.Resources(ResourceKind::Sprite);
    ASSERT_EQ(sprites.size(), 2u);
    EXPECT_TRUE(sprites[0].present);
    EXPECT_EQ(sprites[0].name, "spr_a");
    EXPECT_TRUE(sprites[0].record.empty());
    EXPECT_EQ(back.Resources(ResourceKind::Sound)[0].record, (std::vector<uint8_t>{1, 2}));
}

TEST(GameData, ItemHeadsAreReadWithinTheirBlock) {
    auto words = [](std::initializer_list<int32_t> values, std::vector<uint8_t> tail = {}) {
        CStream out;
        for (int32_t v : values) out.WriteInteger(v);
        out.WriteBytes(tail);
        return out.TakeBytes();
    };
    struct Case {
        const char* what;
        std::vector<uint8_t> block;
        bool ok;
        bool present;
        std::string name;
        std::vector<uint8_t> record;
    };
    const Case cases[] = {
        {"absent, whatever follows", words({0, 99}), true, false, "", {}},
        {"named with a record", words({1, 2}, {'a', 'b', 9, 8}), true, true, "ab", {9, 8}},
        {"negative name length", words({1, -5}, {9}), true, true, "", {9}},
        {"name ending the block", words({1, 2}, {'a', 'b'}), true, true, "ab", {}},
        {"name past the block", words({1, 3}, {'a', 'b'}), false, false, "", {}},
        {"huge name length", words({1, 0x7FFFFFFF}), false, false, "", {}},
        {"no name length", words({1}), false, false, "", {}},
        {"short flag", {1, 0}, false, false, "", {}},
        {"empty block", {}, false, false, "", {}},
    };
    for (const Case& c : cases) {
        CStream s = MinimalResourceStream(-1, 1, &c.block);
        GameData g;
        std::string message;
        bool ok = false;
        try {
            ok = ReadResourceStream(s, g, {}, message);
        } catch (const StreamError&) {
            ok = false;
        }
        EXPECT_EQ(ok, c.ok) << c.what;
        if (!ok || !c.ok) continue;
        const RawResource& item = g.Resources(ResourceKind::Sound).at(0);
        EXPECT_EQ(item.present, c.present) << c.what;
        EXPECT_EQ(item.name, c.name) << c.what;
        EXPECT_EQ(item.record, c.record) << c.what;
    }
}
