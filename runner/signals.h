#pragma once
// Ending a run from outside. SIGINT (Ctrl-C) and SIGTERM do not kill the process: the handler
// only records the signal, and the main loop ends the game at the next step, so the game-end
// events run and the exported files and the temporary folder are removed as after any end.
// A second signal ends the process at once.

namespace kestrin {

// Installs the handlers for its lifetime (the handlers before it come back afterwards) and
// forgets any earlier request.
class TerminationSignals {
public:
    TerminationSignals();
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;
    ~TerminationSignals();
};

// True once a signal asked the run to end.
bool TerminationRequested();
// The signal that asked, or 0.
int TerminationSignal();
// The exit status of a run a signal ended: 128 plus the signal number, as a shell reports it.
int TerminationExitStatus();

} // namespace kestrin
