#pragma once
// Video files decoded through FFmpeg's libavformat and libavcodec, pictures converted by
// libswscale and sound resampled by libswresample.

#include <memory>
#include <string>

#include "graphics/video.h"

namespace kestrin {

std::unique_ptr<VideoSource> OpenFfmpegVideo(const std::string& path, std::string& error);

// Installs OpenFfmpegVideo as the game's video decoder.
void InstallFfmpegVideo();

} // namespace kestrin
