#include "graphics/video.h"

namespace kestrin {

namespace {

VideoOpener g_opener = nullptr;

} // namespace

void SetVideoOpener(VideoOpener opener) {
    g_opener = opener;
}

std::unique_ptr<VideoSource> OpenVideo(const std::string& path, std::string& error) {
    if (!g_opener) {
        error = "no video decoder";
        return nullptr;
    }
    return g_opener(path, error);
}

} // namespace kestrin
