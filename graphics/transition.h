#pragma once
// Room transitions: the old room is drawn into one surface when it is left, the new room's
// first frame into a second, and a number of frames then combine the two according to the
// transition kind (21 built-in kinds, or kinds a game defines through a script or an
// extension function). Without a drawing device the capture still runs the draw events, so a
// headless run keeps the order of events, but no frames are shown.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace kestrin {

inline constexpr int32_t kBuiltinTransitions = 21;

// Whether the kind is built in (1..21), defined by the game, or either.
bool Transition_IsBuiltin(int32_t kind);
bool Transition_IsDefined(int32_t kind);
bool Transition_Exists(int32_t kind);
// Looks the name up among scripts, extension functions and built-in functions; false when
// it names none of them. A kind outside 1..999999 is not stored although the answer is true.
bool Transition_Define(int32_t kind, std::string_view name);

// Called while the old room's last frame is still the current picture.
void Transition_Start(int32_t kind);
// Called once the new room's first frame has been drawn: shows the transition's frames, or
// just presents the frame when there is none.
void Transition_Run();
// The room change skipped its first frame (another room was asked for): surfaces are freed
// and the back buffer becomes the target again.
void Transition_Drop();
// Whether a transition is waiting for Transition_Run.
bool Transition_Pending();
// The surfaces of the current transition (-1 when none).
int32_t Transition_OldSurface();
int32_t Transition_NewSurface();

// Draws one frame of a built-in kind with surfaces a (old room) and b (new room) of the
// region size w × h; `steps` is the transition's frame count minus one.
void Transition_DrawBuiltin(int32_t kind, int32_t a, int32_t b, int32_t w, int32_t h, double f,
                            int32_t steps);

// Called with the rooms and the frame number for every frame shown, after it is drawn and
// before it is presented (--transition-frames). Empty: nothing is called.
using TransitionFrameSink = std::function<void(int32_t from, int32_t to, int32_t frame)>;
void SetTransitionFrameSink(TransitionFrameSink sink);

// Drops a pending transition and forgets the defined kinds (a new run).
void Transition_Reset();

} // namespace kestrin
