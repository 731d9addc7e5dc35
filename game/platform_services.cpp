#include "game/platform_services.h"

namespace kestrin {

namespace {

GamePlatformFactory g_platformFactory = nullptr;
OffscreenGraphicsFactory g_offscreenFactory = nullptr;

} // namespace

void SetGamePlatformFactory(GamePlatformFactory factory) {
    g_platformFactory = factory;
}

void SetOffscreenGraphicsFactory(OffscreenGraphicsFactory factory) {
    g_offscreenFactory = factory;
}

std::unique_ptr<GamePlatform> OpenGamePlatform(std::string& error) {
    if (!g_platformFactory) {
        error = "no windowing backend";
        return nullptr;
    }
    return g_platformFactory(error);
}

std::unique_ptr<OffscreenGraphics> OpenOffscreenGraphics(std::string& error) {
    if (!g_offscreenFactory) {
        error = "no offscreen graphics backend";
        return nullptr;
    }
    return g_offscreenFactory(error);
}

} // namespace kestrin
