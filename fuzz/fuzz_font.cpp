// Font records against arbitrary bytes; with an odd first byte, whatever follows the record is
// laid out, measured and drawn as text. A record that loads must survive our writer unchanged.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "graphics/font.h"
#include "graphics/graphics_text.h"
#include "base/stream.h"

using namespace kestrin;

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    CStream in(std::vector<uint8_t>(data + 1, data + size));
    CFont font;
    if (!font.LoadFromStream(in)) return 0;
    Check(font.s_tex == -1); // no device: no texture
    CStream saved;
    font.SaveToStream(saved);
    CFont again;
    CStream back(saved.Bytes());
    Check(again.LoadFromStream(back));
    CStream resaved;
    again.SaveToStream(resaved);
    Check(resaved.Bytes() == saved.Bytes());
    if (data[0] % 2 == 1) {
        const std::vector<uint8_t> rest = in.ReadBytes(in.Remaining());
        const std::string text(rest.begin(), rest.end());
        for (int32_t w : {-1, 0, 7, 100}) (void)Text_Layout(font, text, w);
        (void)font.TextWidth(text);
        (void)RenderTextImage(font, text);
        font.Draw_String_Transformed_Color(1, 2, text, 2, 3, 45, 0xFF, 0xFF00, 0xFF0000, 0, 0.5);
    }
    return 0;
}
