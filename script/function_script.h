#pragma once
// The built-ins of running code and scripts: executing code, debug messages, the clipboard,
// ... (Function_Game) and the script resource functions (script_execute, script_exists, ...,
// Function_Resource).

#include <span>
#include <string>
#include <string_view>

#include "script/registry.h"

namespace kestrin {

// Where show_debug_message lines go (standard output unless replaced).
using DebugMessageSink = void (*)(std::string_view text);
DebugMessageSink SetDebugMessageSink(DebugMessageSink sink);

// The clipboard, as the platform offers it; without one the clipboard is empty.
class Clipboard {
public:
    virtual ~Clipboard() = default;
    virtual bool HasText() = 0;
    virtual std::string GetText() = 0;
    virtual void SetText(std::string_view text) = 0;
};
void SetClipboard(Clipboard* clipboard);

std::span<const RFunctionSpec> ScriptFunctions();
std::span<const RFunctionSpec> ScriptResourceFunctions();

} // namespace kestrin
