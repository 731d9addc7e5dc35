#include "script/run_error.h"

#include <cstdio>

namespace kestrin {

namespace {

void WriteToStderr(std::string_view message, bool fatal) {
    std::fflush(stdout); // what the game printed before comes first when both are piped
    std::fprintf(stderr, "%s%.*s\n", fatal ? "FATAL " : "", static_cast<int>(message.size()), message.data());
}

RunErrorSink g_sink = &WriteToStderr;

} // namespace

void ReportRunError(std::string_view message, bool fatal) {
    g_sink(message, fatal);
}

RunErrorSink SetRunErrorSink(RunErrorSink sink) {
    RunErrorSink previous = g_sink;
    g_sink = sink ? sink : &WriteToStderr;
    return previous;
}

} // namespace kestrin
