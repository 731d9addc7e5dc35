#pragma once
// Video files for splash screens: a decoder behind a small interface, installed by the
// platform (platform/video decodes through FFmpeg's libraries). Frames come as bitmaps for the
// texture table; the sound track comes whole, for the mixer. Without an installed decoder no
// video opens.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/bitmap32.h"

namespace kestrin {

// Longest sound track taken from a video; the rest plays silent.
inline constexpr int32_t kMaxVideoAudioSeconds = 600;

class VideoSource {
public:
    virtual ~VideoSource() = default;
    virtual int32_t Width() const = 0;
    virtual int32_t Height() const = 0;
    // The next picture (Width() × Height(), opaque) and when it is shown, in seconds from the
    // start; false at the end of the file or on damaged data.
    virtual bool NextFrame(TBitmap32& frame, double& seconds) = 0;
    // Back to the first picture; false when the file cannot be read again.
    virtual bool Rewind() = 0;
    // The sound track as interleaved stereo floats at `rate`, at most kMaxVideoAudioSeconds;
    // empty when the file has none.
    virtual std::vector<float> DecodeAudio(int32_t rate) = 0;
};

// Null, with `error` saying why, when the file cannot be opened as a video.
using VideoOpener = std::unique_ptr<VideoSource> (*)(const std::string& path, std::string& error);
void SetVideoOpener(VideoOpener opener);
std::unique_ptr<VideoSource> OpenVideo(const std::string& path, std::string& error);

} // namespace kestrin
