#pragma once
// The file built-ins: binary and text file slots, the single-file interface, files and
// folders, file searches, name parts, disk space, starting programs, the command line and the
// environment.

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "script/builtin_routine.h"

namespace kestrin {

std::span<const RFunctionSpec> FileFunctions();

// Closes every open file and ends the search (the state of a process that has run no game).
void ResetFileState();

// parameter_string(0) and the game's own parameters (the command line after "--").
void SetGameParameters(std::string executable, std::vector<std::string> parameters);

// The program execute_shell opens documents with ("xdg-open"); tests put a stand-in here.
void SetShellOpener(std::string program);
// Hands the address to that opener as its one argument (never through a shell); false when it
// could not be started.
bool OpenWithDesktop(const std::string& address);

// The number a text slot's file_text_read_real and the single file's file_read_real read, and
// the text the real writers write; exposed for the tests of their exact rules.
std::string FormatFileReal(double value);

// Windows command-line words: blanks separate, double quotes group, backslashes escape a
// quote only before it.
std::vector<std::string> SplitCommandLine(std::string_view text);

} // namespace kestrin
