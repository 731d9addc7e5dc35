// Sprite records, mask records and saved sprite files (".ksspr") against arbitrary bytes. The
// first byte picks the reader; whatever loads must survive our own writer unchanged, and its
// masks are put through the pixel tests with placements taken from the input.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "base/stream.h"
#include "graphics/sprite.h"

using namespace kestrin;

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

// Small signed values and scales from the input, so the tests cover odd placements without
// scanning huge regions.
struct Dice {
    const uint8_t* data;
    size_t size;
    size_t pos = 0;
    int32_t Small() { return pos < size ? int32_t(data[pos++]) - 128 : 0; }
    double Scale() {
        static constexpr double kScales[] = {1, 0, -1, 0.5, 2, 3.25, -0.75};
        return pos < size ? kScales[data[pos++] % 7] : 1;
    }
    double Angle() { return pos < size ? double(data[pos++]) * 7.5 : 0; }
};

void Exercise(const TMask& m, Dice& dice) {
    const int32_t x = dice.Small(), y = dice.Small();
    const TRect box{x - 40, y - 40, x + 40, y + 40};
    const double sx = dice.Scale(), sy = dice.Scale(), a = dice.Angle();
    (void)m.CollisionPoint(box, x, y, dice.Small(), dice.Small(), sx, sy, a, dice.Small(), dice.Small());
    const TRect rr{dice.Small(), dice.Small(), dice.Small(), dice.Small()};
    (void)m.CollisionRectangle(box, x, y, 0, 0, sx, sy, a, rr);
    (void)m.CollisionEllipse(box, x, y, 0, 0, sx, sy, a, rr);
    (void)m.CollisionLine(box, x, y, 0, 0, sx, sy, a, dice.Small(), dice.Small(), dice.Small(), dice.Small());
    (void)m.CollisionMask(box, x, y, 0, 0, sx, sy, a, &m, box, x + dice.Small() / 8, y, 0, 0, 1, 1, 0);
}

void CheckSameSprite(const CSprite& a, const CSprite& b) {
    Check(a.i_numb == b.i_numb);
    Check(a.i_bitmap == b.i_bitmap);
    Check(a.i_mask == b.i_mask);
    Check(a.i_bbox == b.i_bbox);
    Check(a.i_xorig == b.i_xorig && a.i_yorig == b.i_yorig && a.i_sepmasks == b.i_sepmasks);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const std::vector<uint8_t> bytes(data + 1, data + size);
    Dice dice{data + 1, size - 1};
    switch (data[0] % 3) {
    case 0: {
        CStream in(bytes);
        CSprite spr;
        if (!spr.LoadFromStream(in)) return 0;
        Check(spr.i_tex.size() == static_cast<size_t>(spr.i_numb));
        for (int32_t v : {kSpriteRecordVersion, kSpriteRecordVersion810}) {
            CStream out;
            spr.SaveToStream(out, v);
            out.Seek(0);
            CSprite again;
            Check(again.LoadFromStream(out));
            CheckSameSprite(spr, again);
        }
        if (const TMask* m = spr.MaskFor(dice.Small())) Exercise(*m, dice);
        break;
    }
    case 1: {
        CStream in(bytes);
        TMask m;
        if (!m.LoadFromStream(in)) return 0;
        CStream out;
        m.SaveToStream(out);
        out.Seek(0);
        TMask again;
        Check(again.LoadFromStream(out) && again == m);
        Exercise(m, dice);
        break;
    }
    default: {
        CSprite spr;
        if (!spr.LoadFromSpriteBytes(bytes)) return 0;
        Check(spr.i_tex.size() == static_cast<size_t>(spr.i_numb));
        CSprite again;
        Check(again.LoadFromSpriteBytes(spr.SaveToSpriteBytes(kMaskPrecise, 0, kBoxAutomatic, TRect{})));
        Check(again.i_bitmap == spr.i_bitmap);
        if (const TMask* m = spr.MaskFor(0)) Exercise(*m, dice);
        break;
    }
    }
    return 0;
}
