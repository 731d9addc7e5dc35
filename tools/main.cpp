#include <clocale>

#include "platform/font/freetype_glyphs.h"
#include "platform/gl/offscreen_graphics.h"
#include "platform/native/ffi_caller.h"
#include "platform/netio/netio.h"
#include "platform/sdl/sdl_game_platform.h"
#include "platform/ui/debug_window.h"
#include "platform/video/ffmpeg_video.h"
#include "tools/cli.h"

int main(int argc, char** argv) {
    // Reals are written and read the same way everywhere.
    std::setlocale(LC_ALL, "C");
    kestrin::SetGamePlatformFactory(kestrin::MakeSdlGamePlatform);
    kestrin::SetOffscreenGraphicsFactory(kestrin::MakeOffscreenGraphics);
    kestrin::SetGlyphSource(kestrin::MakeFreeTypeGlyphSource());
    kestrin::SetNativeCaller(kestrin::MakeFfiNativeCaller());
    kestrin::SetDebugViewFactory(kestrin::MakeImGuiDebugView);
    kestrin::InstallNetTransports();
    kestrin::InstallFfmpegVideo();
    return kestrin::KestrinMain(argc, argv);
}
