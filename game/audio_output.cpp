#include "game/audio_output.h"

#include <algorithm>

#include "sound/mixer.h"
#include "sound/sound_system.h"

namespace kestrin {

bool StepAudio::Open(const std::string& path) {
    active_ = true;
    remainder_ = 0;
    speed_ = 0;
    SND_SetStepClocked(!path.empty());
    return path.empty() || file_.Open(path);
}

size_t StepAudio::NextFrames(int32_t speed) {
    speed = std::max(speed, 1);
    // A new room speed keeps the fraction made so far.
    if (speed_ != 0 && speed != speed_) remainder_ = remainder_ * speed / speed_;
    speed_ = speed;
    remainder_ += kMixRate;
    const int64_t frames = remainder_ / speed;
    remainder_ %= speed;
    return static_cast<size_t>(frames);
}

void StepAudio::Step(int32_t speed) {
    if (!active_) return;
    last_speed_ = speed;
    const size_t frames = NextFrames(speed);
    if (!SND_StepsRenderTheMix()) return;
    buffer_.resize(frames * kMixChannels);
    SND_Render(buffer_.data(), frames);
    file_.Write(buffer_.data(), frames);
    SND_Feed(buffer_.data(), frames);
}

bool StepAudio::Close() {
    if (!active_) return true;
    // What the last step started is heard too.
    if (file_.IsOpen()) Step(last_speed_);
    active_ = false;
    SND_SetStepClocked(false);
    return file_.Close();
}

} // namespace kestrin
