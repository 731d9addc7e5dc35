#pragma once
// Runner faults: conditions that abandon the running code entirely (a read past the end of
// a stream, a floating-point fault). They are the one exception type of the runner and are
// caught at defined boundaries (the loader, an event or action, the top level); script
// errors are never faults, they travel as status values.

#include <stdexcept>
#include <string>

namespace kestrin {

class RunnerFault : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What a player sees for every allocation that failed or was refused as too large.
inline constexpr const char* kOutOfMemoryText = "Out of memory";

} // namespace kestrin
