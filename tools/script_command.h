#pragma once
// `kestrin script`: runs a program of script code inside an empty game (one room holding one
// instance of an object without events) and prints the result.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kestrin {

// Reads a program file; on failure prints why under "kestrin script" and answers false.
bool ReadScriptFile(const std::string& path, std::string& text);

// The game data of the empty game the program runs in.
std::vector<uint8_t> ScriptGameData();

// What runs in place of the main loop once the room has started: compiles and runs `text`
// with the room's instance as self and other, prints the result to standard output and
// errors to standard error; answers whether the program ran without an error.
std::function<bool()> ScriptRunner(std::string text);

} // namespace kestrin
