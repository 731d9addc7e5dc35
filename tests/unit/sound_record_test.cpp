// Sound records: the reader and writer, damaged records refused, the sound table built from
// the game data with its operations and the loading of sounds into mixer slots, and the
// project form (the sound's own file beside its JSON) with its hex fallback.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <limits>

#include "base/stream.h"
#include "game/startup.h"
#include "runner/messages.h"
#include "sound/sound.h"
#include "sound/sound_record.h"
#include "sound/sound_system.h"
#include "tests/unit/project_fixture.h"
#include "tests/unit/sound_fixture.h"
#include "tools/project.h"

namespace kestrin {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> Bytes(const SoundRecord& r) {
    CStream out;
    r.SaveToStream(out);
    return out.TakeBytes();
}

SoundRecord Sample(std::vector<uint8_t> data = testing::Wav16(testing::Constant(100, 0.5f, -0.5f))) {
    SoundRecord r;
    r.kind = kSoundKindBackground;
    r.extension = ".wav";
    r.origname = "music.wav";
    r.has_data = true;
    r.data = std::move(data);
    r.effects = 1 | 16;
    r.volume = 0.75;
    r.pan = -0.25;
    r.preload = false;
    return r;
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

TEST(SoundRecord, WriterAndReaderAgree) {
    const SoundRecord sample = Sample({1, 2, 3});
    const std::vector<uint8_t> bytes = Bytes(sample);
    // Version, kind, two strings, the data flag, the sub-stream, effects, two reals, preload.
    EXPECT_EQ(bytes.size(), 4 + 4 + (4 + 4) + (4 + 9) + 4 + (4 + 3) + 4 + 8 + 8 + 4);
    CStream in(bytes);
    SoundRecord back;
    ASSERT_TRUE(back.LoadFromStream(in));
    EXPECT_TRUE(in.AtEnd());
    EXPECT_EQ(Bytes(back), bytes);
    CStream again(bytes);
    CSound sound;
    ASSERT_TRUE(sound.LoadFromStream(again));
    EXPECT_EQ(sound.s_kind, 1);
    EXPECT_EQ(sound.s_extension, ".wav");
    EXPECT_EQ(sound.s_origname, "music.wav");
    ASSERT_TRUE(sound.s_sound.has_value());
    EXPECT_EQ(*sound.s_sound, (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(sound.s_effects, 17);
    EXPECT_EQ(sound.s_volume, 0.75);
    EXPECT_EQ(sound.s_pan, -0.25);
    EXPECT_FALSE(sound.s_preload);
    EXPECT_EQ(sound.s_soundid, -1);

    // A record may carry no data at all, or say it does and hold none.
    for (bool flag : {false, true}) {
        SoundRecord empty;
        empty.has_data = flag;
        CStream e(Bytes(empty));
        SoundRecord read;
        ASSERT_TRUE(read.LoadFromStream(e));
        EXPECT_EQ(read.has_data, flag);
        EXPECT_TRUE(read.data.empty());
    }
}

TEST(SoundRecord, DamagedRecordsAreRefused) {
    const std::vector<uint8_t> good = Bytes(Sample({1, 2, 3}));
    std::vector<uint8_t> version = good;
    version[0] = 0x21; // 801
    CStream v(version);
    SoundRecord r;
    EXPECT_FALSE(r.LoadFromStream(v));
    // Cut anywhere, the record ends in a stream error, never a read past its end.
    for (size_t cut = 0; cut < good.size(); ++cut) {
        CStream in(std::vector<uint8_t>(good.begin(), good.begin() + std::ptrdiff_t(cut)));
        SoundRecord part;
        EXPECT_THROW((void)part.LoadFromStream(in), StreamError) << cut;
    }
    // A data length beyond the record.
    std::vector<uint8_t> huge = good;
    huge[4 + 4 + 8 + 13 + 4 + 3] = 0x7F;
    CStream h(huge);
    EXPECT_THROW((void)r.LoadFromStream(h), StreamError);
}

class SoundTable : public testing::SoundTest {};

TEST_F(SoundTable, LoadsRecordsAndAddsAtTheEnd) {
    std::vector<RawResource> records = {
        {true, "snd_a", Bytes(Sample())}, {}, {true, "snd_b", Bytes(SoundRecord())}};
    ASSERT_TRUE(Sound_LoadRecords(records));
    EXPECT_EQ(Sound_TableSize(), 3);
    EXPECT_EQ(Sound_Count(), 2);
    EXPECT_TRUE(Sound_Exists(0));
    EXPECT_FALSE(Sound_Exists(1));
    EXPECT_FALSE(Sound_Exists(3));
    EXPECT_FALSE(Sound_Exists(-1));
    EXPECT_EQ(Sound_GetName(0), "snd_a");
    EXPECT_EQ(Sound_GetName(1), "<undefined>");
    EXPECT_EQ(Sound_Find("snd_b"), 2);
    EXPECT_EQ(Sound_Find("SND_B"), -1);
    EXPECT_EQ(Sound_Find(""), -1); // the empty slot's name is not found

    testing::TempFolder temp;
    const fs::path file = temp / "hit.wav";
    WriteBytes(file, testing::Wav16(testing::Constant(10, 0.25f, 0.25f)));
    EXPECT_EQ(Sound_Add(file.string(), 0, true), 3);
    EXPECT_EQ(Sound_GetName(3), "__newsound3");
    EXPECT_EQ(Sound_Get(3)->s_origname, "hit.wav");
    EXPECT_EQ(Sound_Get(3)->s_extension, ".wav");
    EXPECT_GE(Sound_Get(3)->s_soundid, 0); // preloaded at once
    EXPECT_EQ(Sound_Add((temp / "missing.wav").string(), 0, true), -1);
    EXPECT_EQ(Sound_TableSize(), 4);
    // Replace fills an empty slot too, but not one beyond the table.
    EXPECT_TRUE(Sound_Replace(1, file.string(), 2, false));
    EXPECT_EQ(Sound_Get(1)->s_kind, 2);
    EXPECT_EQ(Sound_Get(1)->s_soundid, -1);
    EXPECT_FALSE(Sound_Replace(4, file.string(), 0, true));
    EXPECT_FALSE(Sound_Replace(0, (temp / "missing.wav").string(), 0, true));
    EXPECT_TRUE(Sound_Delete(0));
    EXPECT_FALSE(Sound_Delete(0));
    EXPECT_EQ(Sound_Find("snd_a"), -1);

    // One damaged record fails the load and leaves no table behind.
    for (std::vector<uint8_t> bad : {std::vector<uint8_t>{1, 2, 3}, Bytes(Sample())}) {
        if (bad.size() > 3) bad[0] = 0;
        records = {{true, "snd_a", Bytes(Sample())}, {true, "bad", bad}};
        EXPECT_FALSE(Sound_LoadRecords(records));
        EXPECT_EQ(Sound_TableSize(), 0);
    }
}

TEST_F(SoundTable, PreparingLoadsPreloadedSoundsIntoSlots) {
    testing::TempFolder temp;
    Sound_SetTempFolder(temp.Path().string());
    SoundRecord preloaded = Sample();
    preloaded.preload = true;
    preloaded.kind = 0;
    SoundRecord later = Sample();
    SoundRecord refused = Sample({'n', 'o', 'i', 's', 'e'});
    refused.kind = 0;
    refused.preload = true;
    refused.extension = "/../../escape";
    SoundRecord media = Sample();
    media.kind = 3;
    media.preload = true;
    SoundRecord nodata;
    ASSERT_TRUE(Sound_LoadRecords({{true, "pre", Bytes(preloaded)},
                                   {true, "later", Bytes(later)},
                                   {true, "refused", Bytes(refused)},
                                   {true, "media", Bytes(media)},
                                   {true, "nodata", Bytes(nodata)}}));
    ASSERT_TRUE(Sound_PrepareAll());
    EXPECT_EQ(Sound_Get(0)->s_soundid, 0);
    EXPECT_EQ(Sound_Get(1)->s_soundid, -1);
    // Bytes the decoder refuses fall back to the media channel through a temporary file,
    // whose name stays inside the temporary folder whatever the record's extension says.
    CSound& r = *Sound_Get(2);
    EXPECT_EQ(r.s_kind, 3);
    EXPECT_GE(r.s_soundid, 0);
    EXPECT_FALSE(r.s_sound.has_value());
    EXPECT_EQ(fs::path(r.s_fname).parent_path(), temp.Path());
    EXPECT_EQ(fs::path(r.s_fname).extension(), ".tmp");
    EXPECT_EQ(ReadFile(r.s_fname), "noise");
    // A kind-3 sound decodes from its file and plays there.
    CSound& m = *Sound_Get(3);
    EXPECT_EQ(m.s_kind, 3);
    EXPECT_EQ(fs::path(m.s_fname).extension(), ".wav");
    EXPECT_EQ(Sound_Get(4)->s_soundid, -1); // kind -1 and no data: nothing to load
    int32_t slots = 0;
    SND_Inspect([&](CMixer& mixer) {
        slots = mixer.SlotCount();
        // Volume and pan of the record went to the slot.
        EXPECT_EQ(mixer.CurrentVolume(0), -2400);
        EXPECT_EQ(mixer.CurrentPan(0), -2500);
        EXPECT_EQ(mixer.EffectFlags(0), 17);
        EXPECT_EQ(mixer.Kind(Sound_Get(3)->s_soundid), 3);
    });
    EXPECT_EQ(slots, 3);
    // A sound that was not preloaded is loaded on first use; a discarded one again.
    CSound& l = *Sound_Get(1);
    EXPECT_EQ(l.GetSoundId(), 3);
    EXPECT_EQ(l.s_kind, 1);
    Sound_Get(0)->Discard();
    EXPECT_EQ(Sound_Get(0)->s_soundid, -1);
    EXPECT_EQ(Sound_Get(0)->GetSoundId(), 0); // the lowest free slot again
    // Deleting a sound frees its slot.
    ASSERT_TRUE(Sound_Delete(1));
    SND_Inspect([](CMixer& mixer) { EXPECT_FALSE(mixer.InUse(3)); });
}

class Quiet : public LoadingDisplay, public MessageSink {
public:
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    std::vector<std::string> messages;
};

TEST_F(SoundTable, TheRunnerLoadsTheGamesSounds) {
    GameData game;
    game.room_order = {0};
    game.Resources(ResourceKind::Sound) = {{true, "snd_a", Bytes(Sample())}, {}};
    StreamRandom random;
    {
        Quiet quiet;
        Runner runner(RunOptions{}, quiet, quiet);
        ASSERT_TRUE(runner.Load(SaveGameData(game, random), 0));
        EXPECT_EQ(Sound_TableSize(), 2);
        EXPECT_EQ(Sound_Find("snd_a"), 0);
        EXPECT_EQ(Sound_Get(0)->s_volume, 0.75);
    }
    game.Resources(ResourceKind::Sound)[1] = {true, "snd_bad", {0x20, 0x03, 0, 0, 1}};
    Quiet quiet;
    Runner runner(RunOptions{}, quiet, quiet);
    EXPECT_FALSE(runner.Load(SaveGameData(game, random), 0));
    EXPECT_EQ(quiet.messages, std::vector<std::string>{msg::kResourceData});
    EXPECT_EQ(Sound_TableSize(), 0);
}

TEST(SoundProject, RecordsRoundTripThroughTheirOwnFiles) {
    GameData game;
    auto& sounds = game.Resources(ResourceKind::Sound);
    sounds.push_back({true, "snd_music", Bytes(Sample())});
    SoundRecord odd = Sample({9, 9});
    odd.extension = "/../x y";
    odd.kind = 7;
    sounds.push_back({true, "snd_odd", Bytes(odd)}); // readable, its file named .bin
    sounds.emplace_back();
    sounds.push_back({true, "snd_empty", Bytes(SoundRecord())});
    SoundRecord flagged;
    flagged.has_data = true;
    sounds.push_back({true, "snd_flagged", Bytes(flagged)});
    SoundRecord nan = Sample();
    nan.volume = std::numeric_limits<double>::quiet_NaN();
    sounds.push_back({true, "snd_nan", Bytes(nan)});
    sounds.push_back({true, "snd_bool", Bytes(Sample())});
    sounds.back().record.back() = 2; // preload stored as 2: only the hex form keeps it
    sounds.push_back({true, "snd_tail", Bytes(Sample())});
    sounds.back().record.push_back(0);
    sounds.push_back({true, "snd_version", Bytes(Sample())});
    sounds.back().record[0] = 0;

    testing::TempFolder temp;
    std::string error;
    ASSERT_TRUE(SaveProject(game, temp.Path(), error)) << error;
    GameData back;
    ASSERT_TRUE(LoadProject(temp.Path(), back, error)) << error;
    const auto& got = back.Resources(ResourceKind::Sound);
    ASSERT_EQ(got.size(), sounds.size());
    for (size_t i = 0; i < sounds.size(); ++i) {
        EXPECT_EQ(got[i].present, sounds[i].present) << i;
        EXPECT_EQ(got[i].name, sounds[i].name) << i;
        EXPECT_EQ(got[i].record, sounds[i].record) << i;
    }
    EXPECT_EQ(ReadFile(temp / "sounds/snd_odd.bin"), "\x09\x09");
    const std::string music = ReadFile(temp / "sounds/snd_music.json");
    EXPECT_NE(music.find("\"background\""), std::string::npos);
    EXPECT_NE(music.find("\"sounds/snd_music.wav\""), std::string::npos);
    const std::vector<uint8_t> wav = Sample().data;
    EXPECT_TRUE(ReadFile(temp / "sounds/snd_music.wav") == std::string(wav.begin(), wav.end()));
    for (const char* readable : {"snd_music", "snd_odd", "snd_empty", "snd_flagged"})
        EXPECT_EQ(ReadFile(temp / "sounds" / (std::string(readable) + ".json")).find("\"record\""),
                  std::string::npos)
            << readable;
    for (const char* hex : {"snd_nan", "snd_bool", "snd_tail", "snd_version"})
        EXPECT_NE(ReadFile(temp / "sounds" / (std::string(hex) + ".json")).find("\"record\""),
                  std::string::npos)
            << hex;
}

TEST(SoundProject, HandWrittenFiles) {
    struct Case {
        const char* json;
        const char* error; // nullptr: loads
    } cases[] = {
        {R"({"kind": "background", "file": "sounds/music.wav", "effects": 17, "volume": 0.75,
             "pan": -0.25, "preload": false})",
         nullptr},
        {R"({"kind": "loud", "file": "sounds/music.wav"})", "sounds/s.json: kind: expected one of"},
        {R"({"file": "sounds/none.wav"})", "sounds/s.json: file"},
        {R"({"file": "sounds/music.wav", "speed": 2})", "sounds/s.json: speed: unknown field"},
        {R"({"volume": "high"})", "sounds/s.json: volume"},
        {R"({"record": "zz"})", "sounds/s.json: record: expected hex digits"},
    };
    const std::vector<uint8_t> wav = Sample().data;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.json);
        testing::TempFolder temp;
        testing::WriteTextFile(temp / "game.json", R"({"resources": {"sounds": ["s"]}})");
        testing::WriteTextFile(temp / "sounds/s.json", c.json);
        WriteBytes(temp / "sounds/music.wav", wav);
        GameData game;
        std::string error;
        const bool loaded = LoadProject(temp.Path(), game, error);
        if (!c.error) {
            ASSERT_TRUE(loaded) << error;
            EXPECT_EQ(game.Resources(ResourceKind::Sound).at(0).record, Bytes(Sample()));
        } else {
            EXPECT_FALSE(loaded);
            EXPECT_EQ(error.rfind(c.error, 0), 0u) << "got: " << error;
        }
    }
    // Without a file the record has no data; everything else takes the defaults.
    testing::TempFolder temp;
    testing::WriteTextFile(temp / "game.json", R"({"resources": {"sounds": ["s"]}})");
    testing::WriteTextFile(temp / "sounds/s.json", R"({"file": null})");
    GameData game;
    std::string error;
    ASSERT_TRUE(LoadProject(temp.Path(), game, error)) << error;
    EXPECT_EQ(game.Resources(ResourceKind::Sound).at(0).record, Bytes(SoundRecord()));
}

} // namespace
} // namespace kestrin
