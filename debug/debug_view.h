#pragma once
// The debug window on screen: a second window beside the game's, drawn by a platform backend
// (platform/ui) over the model. The core sees only this interface; without a backend (or a
// display) the model runs without a view.

#include <memory>
#include <string>

namespace kestrin {

class DebugModel;

class DebugView {
public:
    virtual ~DebugView() = default;
    // Between steps: answers the window's input and draws it. While the game is paused the
    // loop calls this again and again, so it also waits a little then.
    virtual void Frame() = 0;
};
using DebugViewFactory = std::unique_ptr<DebugView> (*)(DebugModel& model, std::string& error);

// Installed by the executable that links a window backend.
void SetDebugViewFactory(DebugViewFactory factory);
// Null, with `error` saying why, when no backend is installed or it cannot open its window.
std::unique_ptr<DebugView> OpenDebugView(DebugModel& model, std::string& error);

} // namespace kestrin
