// The sound built-ins: resource queries and their answers for missing sounds, adding,
// replacing and deleting, playing and shaping sounds down to the mixer's slot, effect and 3D
// settings, CD audio without a drive, MCI commands, and the exact errors.

#include <gtest/gtest.h>

#include "base/stream.h"
#include "function_fixture.h"
#include "sound/sound.h"
#include "sound/sound_record.h"
#include "sound/sound_system.h"
#include "tests/unit/project_fixture.h"
#include "tests/unit/sound_fixture.h"

namespace kestrin {
namespace {

std::vector<uint8_t> Record(int32_t kind, bool preload, std::vector<uint8_t> data) {
    SoundRecord r;
    r.kind = kind;
    r.extension = ".wav";
    r.origname = "s.wav";
    r.has_data = true;
    r.data = std::move(data);
    r.preload = preload;
    CStream out;
    r.SaveToStream(out);
    return out.TakeBytes();
}

class SoundFunctions : public testing::FunctionTest {
protected:
    void SetUp() override {
        FunctionTest::SetUp();
        testing::SoundTest::Reset();
        Sound_SetTempFolder(temp_.Path().string());
        wav_ = testing::Wav16(testing::Constant(4410, 0.5f, 0.5f));
        // 0: a preloaded sound; 1: an empty slot; 2: background music loaded on first use;
        // 3: a 3D sound; 4: bytes no decoder takes.
        ASSERT_TRUE(Sound_LoadRecords({{true, "snd_hit", Record(0, true, wav_)},
                                       {},
                                       {true, "snd_music", Record(1, false, wav_)},
                                       {true, "snd_3d", Record(2, true, wav_)},
                                       {true, "snd_odd", Record(0, true, {'?', '?'})}}));
        ASSERT_TRUE(Sound_PrepareAll());
    }
    void TearDown() override {
        testing::SoundTest::Reset();
        FunctionTest::TearDown();
    }

    struct Row {
        const char* code;
        const char* want;
    };
    void Expect(std::initializer_list<Row> rows) {
        for (const Row& row : rows) EXPECT_EQ(Text(row.code), row.want) << row.code;
    }
    template <class Look> void Mixer(Look look) {
        SND_Inspect([&](CMixer& m) { look(m); });
    }

    testing::TempFolder temp_;
    std::vector<uint8_t> wav_;
};

TEST_F(SoundFunctions, ResourceQueries) {
    Expect({
        {"sound_exists(0)", "1"},
        {"sound_exists(1)", "0"},
        {"sound_exists(2.4)", "1"},
        {"sound_exists(5)", "0"},
        {"sound_exists(-1)", "0"},
        {"sound_get_name(0)", "\"snd_hit\""},
        {"sound_name(1)", "\"<undefined>\""},
        {"sound_get_name(9)", "\"<undefined>\""},
        {"sound_get_kind(0)", "0"},
        {"sound_get_kind(2)", "1"},
        {"sound_get_kind(4)", "3"}, // fell back to the media channel
        {"sound_get_kind(1)", "-1"},
        {"sound_get_preload(0)", "1"},
        {"sound_get_preload(2)", "0"},
        {"sound_get_preload(1)", "-1"},
    });
}

TEST_F(SoundFunctions, AddingReplacingAndDeleting) {
    const std::string file = (temp_ / "new.wav").string();
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(wav_.data()), std::streamsize(wav_.size()));
    const std::string add = "sound_add('" + file + "', 0.6, 0.4)";
    EXPECT_EQ(Text(add), "5");
    EXPECT_EQ(Sound_Get(5)->s_kind, 1);
    EXPECT_FALSE(Sound_Get(5)->s_preload);
    EXPECT_EQ(Text("sound_get_name(5)"), "\"__newsound5\"");
    EXPECT_EQ(Text("sound_add('" + (temp_ / "none.wav").string() + "', 0, 1)"), "-1");
    EXPECT_EQ(Text("sound_replace(0, '" + file + "', 2, 1)"), "1");
    EXPECT_EQ(Sound_Get(0)->s_kind, 2);
    EXPECT_EQ(Text("sound_replace(0, 'none.wav', 0, 1)"), "0");
    Expect({
        {"sound_replace(1, 'x.wav', 0, 1)", "0 ! Trying to replace non-existing sound."},
        {"sound_delete(3)", "1"},
        {"sound_delete(3)", "0 ! Trying to delete non-existing sound."},
        {"sound_exists(3)", "0"},
    });
}

TEST_F(SoundFunctions, PlayingAndShaping) {
    Expect({
        {"sound_isplaying(0)", "0"},
        {"sound_play(0)", "0"},
        {"sound_isplaying(0)", "1"},
        {"sound_stop(0)", "0"},
        {"sound_isplaying(0)", "0"},
        // Missing sounds: an error, except for the question.
        {"sound_play(1)", "0 ! Sound does not exist."},
        {"sound_loop(7)", "0 ! Sound does not exist."},
        {"sound_volume(1, 0.5)", "0 ! Sound does not exist."},
        {"sound_isplaying(1)", "0"},
    });
    // A sound not preloaded is loaded by the first built-in that uses it, a question too.
    EXPECT_EQ(Sound_Get(2)->s_soundid, -1);
    EXPECT_EQ(Text("sound_isplaying(2)"), "0");
    const int32_t music = Sound_Get(2)->s_soundid;
    EXPECT_GE(music, 0);
    Expect({{"sound_loop(2)", "0"},
            {"sound_volume(2, 0.75)", "0"},
            {"sound_pan(2, -0.5)", "0"},
            {"sound_fade(0, 0.5, 100.4)", "0"},
            {"sound_global_volume(0.5)", "0"},
            {"sound_background_tempo(0)", "0"},
            {"sound_set_search_directory('/tmp/music')", "0"}});
    Mixer([&](CMixer& m) {
        EXPECT_TRUE(m.IsPlaying(music));
        EXPECT_EQ(m.CurrentVolume(music), -2400);
        EXPECT_EQ(m.CurrentPan(music), -5000);
        EXPECT_EQ(m.Master(), -4500);
        EXPECT_FLOAT_EQ(float(m.TempoFactor()), 0.01f);
        // The fade of 100 ms runs over 4410 frames.
        (void)m.render(2205);
        EXPECT_NEAR(m.CurrentVolume(Sound_Get(0)->s_soundid), -2400, 1e-6);
    });
    EXPECT_EQ(SND_SearchFolder(), "/tmp/music");
    EXPECT_EQ(Text("sound_stop_all()"), "0");
    EXPECT_EQ(Text("sound_isplaying(2)"), "0");
    // Volume and pan do nothing to a sound on the media channel.
    Expect({{"sound_volume(4, 0.5)", "0"}, {"sound_pan(4, 1)", "0"}});
    Mixer([&](CMixer& m) {
        EXPECT_EQ(m.CurrentVolume(Sound_Get(4)->s_soundid), 0);
        EXPECT_EQ(m.CurrentPan(Sound_Get(4)->s_soundid), 0);
    });
}

TEST_F(SoundFunctions, EffectsKeepTheirParametersOnlyInTheChain) {
    const auto chorus = [&] {
        SoundEffectParams p;
        Mixer([&](CMixer& m) { p = *m.Effects(Sound_Get(0)->s_soundid); });
        return p.chorus;
    };
    const SoundEffectParams defaults;
    // Set before the chain holds chorus: lost.
    EXPECT_EQ(Text("sound_effect_chorus(0, 10, 20, 30, 4.5, 0.6, 7, 2.6)"), "0");
    EXPECT_EQ(chorus(), defaults.chorus);
    Expect({{"sound_effect_set(0, 1 | 16)", "0"},
            {"sound_effect_chorus(0, 10, 20, 30, 4.1, 0.6, 7, 2.6)", "0"}});
    // Reals in single precision, the waveform and phase rounded.
    EXPECT_EQ(chorus(), (std::array<double, 7>{10, 20, 30, double(4.1f), 1, 7, 3}));
    Expect({{"sound_effect_reverb(0, -1, -2, 300, 0.5)", "0"}, {"sound_effect_echo(0, 1, 2, 3, 4, 1)", "0"}});
    Mixer([&](CMixer& m) {
        const SoundEffectParams& p = *m.Effects(Sound_Get(0)->s_soundid);
        EXPECT_EQ(p.reverb, (std::array<double, 4>{-1, -2, 300, 0.5}));
        EXPECT_EQ(p.echo, defaults.echo); // echo is not in the chain
        EXPECT_EQ(m.EffectFlags(Sound_Get(0)->s_soundid), 17);
    });
    // A new chain starts from the defaults; 0 removes every effect.
    Expect({{"sound_effect_set(0, 0)", "0"}, {"sound_effect_gargle(1, 1, 1)", "0 ! Sound does not exist."}});
    Mixer([&](CMixer& m) { EXPECT_EQ(m.EffectFlags(Sound_Get(0)->s_soundid), 0); });
    EXPECT_EQ(chorus(), defaults.chorus);
}

TEST_F(SoundFunctions, PlacementIn3DOnlyForThreeDSounds) {
    Expect({{"sound_3d_set_sound_position(3, 1, 2, 3)", "0"},
            {"sound_3d_set_sound_velocity(3, -1, 0, 0.5)", "0"},
            {"sound_3d_set_sound_distance(3, -5, 100)", "0"},
            {"sound_3d_set_sound_cone(3, 0, 1, 0, 90.4, 180.6, 0.5)", "0"},
            {"sound_3d_set_sound_position(0, 9, 9, 9)", "0"},
            {"sound_3d_set_sound_position(1, 9, 9, 9)", "0 ! Sound does not exist."}});
    Mixer([&](CMixer& m) {
        const Sound3D& p = *m.Placement(Sound_Get(3)->s_soundid);
        EXPECT_EQ(p.position, (std::array<double, 3>{1, 2, 3}));
        EXPECT_EQ(p.velocity, (std::array<double, 3>{-1, 0, 0.5}));
        EXPECT_EQ(p.min_distance, 0);
        EXPECT_EQ(p.max_distance, 100);
        EXPECT_EQ(p.cone_orientation, (std::array<double, 3>{0, 1, 0}));
        EXPECT_EQ(p.cone_inside, 90);
        EXPECT_EQ(p.cone_outside, 181);
        EXPECT_EQ(p.cone_outside_volume, -5000);
        EXPECT_EQ(m.Placement(Sound_Get(0)->s_soundid), nullptr);
    });
}

TEST_F(SoundFunctions, CdAudioAnswersAsAMachineWithoutADrive) {
    Expect({
        {"cd_init()", "0"},
        {"cd_present()", "0"},
        {"cd_number()", "0"},
        {"cd_playing()", "0"},
        {"cd_paused()", "0"},
        {"cd_track()", "0"},
        {"cd_length()", "0"},
        {"cd_track_length(1)", "0"},
        {"cd_position()", "0"},
        {"cd_track_position()", "0"},
        {"cd_play(1, 2)", "0"},
        {"cd_pause()", "0"},
        {"cd_resume()", "0"},
        {"cd_stop()", "0"},
        {"cd_set_position(1000)", "0"},
        {"cd_set_track_position(1000)", "0"},
        {"cd_open_door()", "0"},
        {"cd_close_door()", "0"},
        {"MCI_command('status cdaudio media present')", "\"\""},
    });
}

} // namespace
} // namespace kestrin
