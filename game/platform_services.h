#pragma once
// The platform services the game is played with, as the executable installs them. The
// composition root and the front end ask for them here; the backends under platform/
// implement them, so nothing below game/ sees a window or a GPU.

#include <memory>
#include <string>

namespace kestrin {

class LoadingDisplay;
class InputPlatform;

// A windowed platform: the loading window, the input pump and the drawing device it installs
// while it lives. The front end makes one for every run that is not headless.
class GamePlatform {
public:
    virtual ~GamePlatform() = default;
    virtual LoadingDisplay& Loading() = 0;
    virtual InputPlatform& Input() = 0;
};
using GamePlatformFactory = std::unique_ptr<GamePlatform> (*)(std::string& error);

// An offscreen drawing device for headless runs that take screenshots; it is installed while
// the object lives.
class OffscreenGraphics {
public:
    virtual ~OffscreenGraphics() = default;
};
using OffscreenGraphicsFactory = std::unique_ptr<OffscreenGraphics> (*)(std::string& error);

// Installed by the executable that links a windowing backend; without one every run is
// headless and screenshots cannot be taken.
void SetGamePlatformFactory(GamePlatformFactory factory);
void SetOffscreenGraphicsFactory(OffscreenGraphicsFactory factory);

// Null, with `error` saying why, when no backend is installed or it cannot start.
std::unique_ptr<GamePlatform> OpenGamePlatform(std::string& error);
std::unique_ptr<OffscreenGraphics> OpenOffscreenGraphics(std::string& error);

} // namespace kestrin
