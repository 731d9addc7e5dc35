#pragma once
// The texture, surface, background and screen-capture built-ins (Function_Graphics).

#include <span>
#include <string>

#include "base/bitmap32.h"
#include "script/builtin_routine.h"

namespace kestrin {

std::span<const RFunctionSpec> TextureFunctions();

// Screenshots and saved surfaces: PNG for a ".png" name (any case), else a Windows bitmap.
bool HasPngExtension(const std::string& name);
void SaveCaptureFile(const std::string& name, const TBitmap32& bm);

} // namespace kestrin
