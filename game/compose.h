#pragma once
// The composition root: the one place that wires the game. Lower layers declare hooks and
// small interfaces; this file hands them their implementations, in module order. The front
// end, the tests, the benchmarks and the fuzz targets all start from these entry points.

#include <span>

namespace kestrin {

class MainLoop;
struct ErrorHooks;

// A module's game state, walked as one list by whatever must put every module back at
// once: a test fixture between tests, a new game in the same process, and (later) saved
// games and the debug window. A module that holds state adds its entry to ModuleStates()
// when it is added to the composition.
struct ModuleState {
    const char* name;
    // Back to how a process that has loaded no game finds it.
    void (*reset)();
};
std::span<const ModuleState> ModuleStates();
// Every module's reset, in module order (the lowest layer first).
void ResetModuleStates();

// Process-wide wiring: the built-in families (registered on first use, in module order), the
// error path, the sprite facts instances need, collision, room drawing and the world's
// hooks. Calling it again installs the same things again, which puts back whatever a test
// replaced.
void ComposeGame();

// The names error messages give the object or time line whose event was running.
void NameResourcesInErrors(ErrorHooks& hooks);

// The main loop's phases that live above the runner: the time lines, drawing the room and
// showing frames.
void ComposeMainLoop(MainLoop& loop);

// Every built-in family and variable binding, in module order (kept apart so the order can be
// compared with the manifest's).
void RegisterBuiltinFamilies();

} // namespace kestrin
