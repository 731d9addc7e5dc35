// Image decoders and the bitmap record against arbitrary bytes. Whatever decodes must
// survive our own writers unchanged.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "base/bitmap32.h"
#include "base/image_bmp.h"
#include "base/image_gif.h"
#include "base/image_ico.h"
#include "base/image_jpeg.h"
#include "base/image_pcx.h"
#include "base/image_png.h"
#include "base/image_pnm.h"
#include "base/image_psd.h"
#include "base/image_sgi.h"
#include "base/image_tga.h"
#include "base/image_tiff.h"
#include "base/stream.h"

using namespace kestrin;

namespace {

// Round trips cost time proportional to the image; small ones find the same faults.
constexpr size_t kRoundTripPixels = 1 << 16;

void Check(bool condition) {
    if (!condition) std::abort();
}

void CheckShape(const TBitmap32& bm) {
    Check(bm.s_w > 0 && bm.s_h > 0);
    Check(int64_t(bm.s_w) * bm.s_h <= kMaxBitmapPixels);
    Check(bm.s_data.size() == size_t(bm.s_w) * size_t(bm.s_h));
}

// Run-length files may legally describe a huge, mostly empty image in a few bytes; decoding
// those only costs the fuzzer its speed, since the decoder's logic is the same at any size.
bool IsHugeRunLengthBmp(std::span<const uint8_t> f) {
    if (f.size() < 34 || f[0] != 'B' || f[1] != 'M' || f[14] == 12) return false;
    auto i32 = [&](size_t at) {
        return static_cast<int32_t>(uint32_t(f[at]) | uint32_t(f[at + 1]) << 8 | uint32_t(f[at + 2]) << 16 |
                                    uint32_t(f[at + 3]) << 24);
    };
    const int32_t compression = i32(30);
    if (compression != 1 && compression != 2) return false;
    const int64_t w = i32(18), h = i32(22);
    return w * (h < 0 ? -h : h) > (int64_t(1) << 20);
}

// SGI rows may share their run-length data, so a few kilobytes can describe a large image.
bool IsHugeRunLengthSgi(std::span<const uint8_t> f) {
    if (f.size() < 12 || f[0] != 0x01 || f[1] != 0xDA || f[2] != 1) return false;
    const int64_t w = f[6] << 8 | f[7], h = f[8] << 8 | f[9];
    return w * h > (int64_t(1) << 20);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);

    for (BmpAlpha mode : {BmpAlpha::Keep, BmpAlpha::TestAlpha}) {
        if (IsHugeRunLengthBmp(bytes)) break;
        TBitmap32 bm;
        if (!DecodeBmp(bytes, bm, mode)) continue;
        CheckShape(bm);
        if (bm.s_data.size() <= kRoundTripPixels) {
            TBitmap32 back;
            Check(DecodeBmp(EncodeBmp(bm), back, mode));
            Check(back == bm);
        }
    }

    {
        TBitmap32 bm;
        if (DecodePng(bytes, bm)) {
            CheckShape(bm);
            if (bm.s_data.size() <= kRoundTripPixels) {
                TBitmap32 back;
                Check(DecodePng(EncodePng(bm), back));
                Check(back == bm);
            }
        }
    }

    {
        TBitmap32 bm;
        if (DecodeJpeg(bytes, bm)) {
            CheckShape(bm);
            for (TColor32 c : bm.s_data) Check(AlphaOf(c) == 255);
        }
    }

    {
        std::vector<TBitmap32> frames;
        if (DecodeGif(bytes, frames)) {
            Check(!frames.empty() && frames.size() <= kMaxGifFrames);
            for (const TBitmap32& f : frames) {
                CheckShape(f);
                Check(f.s_w == frames[0].s_w && f.s_h == frames[0].s_h);
                for (TColor32 c : f.s_data) Check(AlphaOf(c) == 0 ? c == 0 : AlphaOf(c) == 255);
            }
            TBitmap32 first;
            Check(DecodeGifFirstFrame(bytes, first));
            Check(first.s_w == frames[0].s_w && first.s_h == frames[0].s_h);
            for (size_t i = 0; i < first.s_data.size(); ++i)
                Check(first.s_data[i] ==
                      (frames[0].s_data[i] == 0 ? MakeColor32(1, 0, 0, 255) : frames[0].s_data[i]));
        }
    }

    // The small readers: whatever they accept has a sane shape, and those that promise opaque
    // pixels keep the promise.
    {
        TBitmap32 bm;
        if (DecodeTga(bytes, bm)) CheckShape(bm);
    }
    {
        TBitmap32 bm;
        if (DecodePcx(bytes, bm)) CheckShape(bm);
    }
    {
        TBitmap32 bm;
        if (DecodePnm(bytes, bm)) {
            CheckShape(bm);
            for (TColor32 c : bm.s_data) Check(AlphaOf(c) == 255);
        }
    }
    {
        TBitmap32 bm;
        if (!IsHugeRunLengthSgi(bytes) && DecodeSgi(bytes, bm)) CheckShape(bm);
    }
    {
        TBitmap32 bm;
        if (DecodePsd(bytes, bm)) CheckShape(bm);
    }
    {
        const TColor32 shown = MakeColor32(1, 0, 0, 255);
        TBitmap32 bm, masked;
        if (DecodeIco(bytes, bm)) {
            CheckShape(bm);
            Check(DecodeIco(bytes, masked, shown));
            Check(masked.s_w == bm.s_w && masked.s_h == bm.s_h);
            for (size_t i = 0; i < bm.s_data.size(); ++i)
                Check(masked.s_data[i] == bm.s_data[i] || (bm.s_data[i] == 0 && masked.s_data[i] == shown));
        }
    }
    {
        TBitmap32 bm;
        if (DecodeTiff(bytes, bm)) CheckShape(bm);
    }

    {
        CStream stream(data, size);
        TBitmap32 bm;
        if (bm.LoadFromStream(stream)) {
            CStream written;
            bm.SaveToStream(written);
            written.Seek(0);
            TBitmap32 back;
            Check(back.LoadFromStream(written));
            Check(back == bm);
        }
    }
    return 0;
}
