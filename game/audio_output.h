#pragma once
// The mix clocked by the game's steps: each step moves it on by 44,100 / room_speed frames
// (the fraction carried over), so a sound started in step n begins at frame
// floor(n * 44100 / room_speed) of the run's audio. What is made goes to the --audio-out
// file and, in a window whose device does not pull the mix itself, to the device.

#include <cstdint>
#include <string>
#include <vector>

#include "sound/wav_writer.h"

namespace kestrin {

class StepAudio {
public:
    // `path` empty: no file. False when the file cannot be made.
    bool Open(const std::string& path);
    // The frames of one step of a room at `speed` steps a second.
    void Step(int32_t speed);
    // The frames of the last step, then the file's header; false when writing failed.
    bool Close();

    // How many frames the next step at `speed` makes (exposed for tests).
    size_t NextFrames(int32_t speed);

private:
    WavWriter file_;
    bool active_ = false;
    int64_t remainder_ = 0; // frames x speed not yet made
    int32_t speed_ = 0;
    int32_t last_speed_ = 30;
    std::vector<float> buffer_;
};

} // namespace kestrin
