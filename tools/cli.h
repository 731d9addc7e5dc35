#pragma once

namespace kestrin {

// The whole `kestrin` command: standalone play when game data is appended to the
// executable, otherwise the command-line tool. Returns the process exit status.
int KestrinMain(int argc, char** argv);
} // namespace kestrin
