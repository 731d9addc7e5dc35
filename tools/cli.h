#pragma once

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
// Installed by the executable that links a windowing backend; without one every run is
// headless.
void SetGamePlatformFactory(GamePlatformFactory factory);

// An offscreen drawing device for headless runs that take screenshots; it is installed while
// the object lives.
class OffscreenGraphics {
public:
    virtual ~OffscreenGraphics() = default;
};
using OffscreenGraphicsFactory = std::unique_ptr<OffscreenGraphics> (*)(std::string& error);
void SetOffscreenGraphicsFactory(OffscreenGraphicsFactory factory);

// The whole `kestrin` command: standalone play when game data is appended to the
// executable, otherwise the command-line tool. Returns the process exit status.
int KestrinMain(int argc, char** argv);
} // namespace kestrin
