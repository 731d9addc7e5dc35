#pragma once
// The run-time error path as built-in routines see it: a message reported while code runs,
// not fatal unless asked. The error display installs the real handler; until then messages
// go to a replaceable sink (tests capture them).

#include <string_view>

namespace kestrin {

using RunErrorSink = void (*)(std::string_view message, bool fatal);

void ReportRunError(std::string_view message, bool fatal);

// Installs the handler; returns the previous one. Null restores the default, which writes
// the message to stderr.
RunErrorSink SetRunErrorSink(RunErrorSink sink);

} // namespace kestrin
