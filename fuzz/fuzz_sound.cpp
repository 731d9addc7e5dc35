// Sound records and sound files over hostile bytes: what a loaded record saves must load
// again and save the same; the sound built from it must prepare, play and mix without
// faults; the decoder must take or refuse the bytes as a file without faults either.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "base/stream.h"
#include "runner/game_data.h"
#include "sound/sound.h"
#include "sound/sound_decoder.h"
#include "sound/sound_record.h"
#include "sound/sound_system.h"

using namespace kestrin;

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

void Mix(int32_t id) {
    SND_Play(id, true);
    SND_Volume(id, 10, 0.5);
    SND_Pan(id, -0.5);
    std::vector<float> out(2 * 512);
    SND_Render(out.data(), 512);
    for (float s : out) Check(s == s);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Twenty seconds of audio at most: a mutated MIDI file may ask for the full ten minutes,
    // which the sanitizers render far slower than an input may take.
    SetMaxDecodedFrames(size_t{kMixRate} * 20);
    const std::vector<uint8_t> input(data, data + size);
    try {
        CStream in(input);
        SoundRecord record;
        if (record.LoadFromStream(in)) {
            CStream out;
            record.SaveToStream(out);
            out.Seek(0);
            SoundRecord again;
            Check(again.LoadFromStream(out));
            CStream second;
            again.SaveToStream(second);
            Check(second.Bytes() == out.Bytes());
        }
    } catch (const StreamError&) {
    }
    // The table never keeps part of a failed load; a loaded sound prepares and plays.
    if (!Sound_LoadRecords({RawResource{true, "s", input}})) {
        Check(Sound_TableSize() == 0);
    } else if (CSound* sound = Sound_Get(0)) {
        sound->s_preload = true;
        Check(Sound_PrepareAll());
        Mix(sound->GetSoundId());
    }
    // The same bytes as a sound file.
    if (auto pcm = DecodeSound(input)) {
        // A MIDI file may hold no sounding note at all: no frames, but never more than the cap.
        Check(pcm->Frames() <= MaxDecodedFrames());
        const int32_t id = SND_LoadMemory(input, 0);
        Check(id >= 0);
        Mix(id);
    }
    Sound_ClearAll();
    SND_Reset();
    return 0;
}
