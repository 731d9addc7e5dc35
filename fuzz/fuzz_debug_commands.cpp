// Debug command files over hostile bytes: parsing never faults, a file that parses holds only
// known commands with counts in range, and each command written back as a line parses to the
// same command.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "debug/debug_commands.h"

using namespace kestrin;

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<DebugCommand> commands;
    std::string error;
    if (!ParseDebugCommands(text, commands, error)) {
        Check(error.rfind("line ", 0) == 0);
        return 0;
    }
    for (const DebugCommand& command : commands) {
        Check(command.count >= 1 && command.count <= 1000000000);
        Check(command.line >= 1);
        std::string line = command.name;
        if (command.name == "change") line += " " + std::to_string(command.count);
        if (!command.argument.empty()) line += " " + command.argument;
        std::vector<DebugCommand> again;
        Check(ParseDebugCommands(line, again, error));
        Check(again.size() == 1 && again[0].name == command.name && again[0].argument == command.argument &&
              again[0].count == command.count);
    }
    return 0;
}
