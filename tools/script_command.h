#pragma once
// `kestrin script FILE`: runs a file of script code with a temporary instance in an empty
// game and prints the result.

#include <string>

namespace kestrin {

// Prints show_debug_message lines and the result to stdout, errors to stderr; answers the
// exit status (0, or 1 after a compile or run error).
int RunScriptFile(const std::string& path);

} // namespace kestrin
