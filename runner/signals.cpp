#include "runner/signals.h"

#include <signal.h>

#include <csignal>

namespace kestrin {

namespace {

volatile std::sig_atomic_t g_signal = 0;

constexpr int kSignals[] = {SIGINT, SIGTERM};
struct sigaction g_previous[2];

extern "C" void OnTerminationSignal(int signal) {
    if (g_signal != 0) {
        // Asked twice: the player wants out now, clean or not.
        std::signal(signal, SIG_DFL);
        std::raise(signal);
        return;
    }
    g_signal = signal;
}

} // namespace

TerminationSignals::TerminationSignals() {
    g_signal = 0;
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    // Reads and writes go on after the handler; only sleeps come back early, and the waits
    // of the main loop look at the request.
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < 2; ++i) sigaction(kSignals[i], &action, &g_previous[i]);
}

TerminationSignals::~TerminationSignals() {
    for (int i = 0; i < 2; ++i) sigaction(kSignals[i], &g_previous[i], nullptr);
}

bool TerminationRequested() {
    return g_signal != 0;
}

int TerminationSignal() {
    return g_signal;
}

int TerminationExitStatus() {
    return 128 + static_cast<int>(g_signal);
}

} // namespace kestrin
