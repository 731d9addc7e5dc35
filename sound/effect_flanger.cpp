#include "sound/effect.h"

namespace kestrin {

// A flanger is a chorus of short delays (up to 4 ms) swept deeply, with negative feedback by
// default.
std::unique_ptr<CEffectStage> MakeFlanger() {
    return MakeModulatedDelay(&SoundEffectParams::flanger, 4);
}

} // namespace kestrin
