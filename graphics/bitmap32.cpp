#include "graphics/bitmap32.h"

namespace kestrin {

void TBitmap32::Resize(int32_t w, int32_t h, TColor32 col) {
    if (w <= 0 || h <= 0) return;
    s_w = w;
    s_h = h;
    s_data.assign(static_cast<size_t>(w) * static_cast<size_t>(h), col);
}

} // namespace kestrin
