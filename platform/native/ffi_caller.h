#pragma once
// Native calls through libffi. Signatures made only of reals with a real result and up to
// eight arguments may also be called directly through a function pointer of that type, which
// is the same C call on this platform and much cheaper; the libffi path stays the reference
// (tests compare the two).

#include <memory>

#include "runner/native_call.h"

namespace kestrin {

std::shared_ptr<NativeCaller> MakeFfiNativeCaller(bool direct_reals = true);

} // namespace kestrin
