// Rich text over hostile bytes: reading never faults, every run holds valid UTF-8 and known
// sizes, and laying the document out in any width stays finite.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "base/utf.h"
#include "graphics/rtf.h"

using namespace kestrin;

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const RtfDocument doc = ParseRtf(text);
    size_t total = 0;
    for (const RtfParagraph& p : doc.paragraphs) {
        for (const RtfRun& run : p.runs) {
            Check(!run.text.empty());
            Check(run.style.half_points >= 2 && run.style.half_points <= 3200);
            Check(Utf8ToUtf16(Utf16ToUtf8(Utf8ToUtf16(run.text))) == Utf8ToUtf16(run.text));
            total += run.text.size();
        }
    }
    // Text never grows beyond a few bytes per input byte.
    Check(total <= 4 * size + 4);
    const RtfMeasure measure{
        [](const RtfStyle& s, std::string_view t) { return double(s.half_points) * double(t.size()) / 4; },
        [](const RtfStyle& s) { return double(s.half_points); }};
    const RtfLayout layout = LayoutRtf(doc, double(size % 400), measure);
    Check(std::isfinite(layout.height) && layout.height >= 0);
    return 0;
}
