#include "base/bitmap32.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>

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

namespace kestrin {

namespace {

bool AreaAllowed(int64_t w, int64_t h) {
    return w > 0 && h > 0 && w * h <= kMaxBitmapPixels;
}

// Channel sum over n samples, rounded with halves to even.
uint32_t RoundedMean(uint64_t sum, uint64_t n) {
    uint64_t q = sum / n;
    uint64_t twice = 2 * (sum % n);
    if (twice > n || (twice == n && (q & 1))) ++q;
    return static_cast<uint32_t>(q);
}

std::string LowerExtension(const std::string& fname) {
    size_t dot = fname.find_last_of('.');
    size_t slash = fname.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    std::string ext = fname.substr(dot + 1);
    for (char& c : ext)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return ext;
}

// Bounds the file read: no image this runner decodes needs more than its raw pixels plus
// generous room for headers and ancillary data.
constexpr uint64_t kMaxImageFileBytes = uint64_t(kMaxBitmapPixels) * 4 + (uint64_t(64) << 20);

bool ReadWholeFile(const std::string& fname, std::vector<uint8_t>& out) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(fname, error)) return false;
    std::ifstream in(fname, std::ios::binary);
    if (!in) return false;
    in.seekg(0, std::ios::end);
    std::streamoff size = in.tellg();
    if (size < 0 || static_cast<uint64_t>(size) > kMaxImageFileBytes) return false;
    in.seekg(0, std::ios::beg);
    out.resize(static_cast<size_t>(size));
    if (size > 0 && !in.read(reinterpret_cast<char*>(out.data()), size)) return false;
    return true;
}

} // namespace

void TBitmap32::Assign(const TBitmap32* source) {
    if (!source || source == this) return;
    if (source->Empty()) {
        Clear();
        return;
    }
    s_w = source->s_w;
    s_h = source->s_h;
    s_data = source->s_data;
}

bool TBitmap32::Resize(int32_t w, int32_t h) {
    if (w <= 0 || h <= 0) return false;
    if (w == s_w && h == s_h) return true;
    if (!AreaAllowed(w, h)) return false;
    s_data.assign(static_cast<size_t>(w) * static_cast<size_t>(h), 0);
    s_w = w;
    s_h = h;
    return true;
}

bool TBitmap32::Resize(int32_t w, int32_t h, TColor32 col) {
    if (!Resize(w, h)) return false;
    std::fill(s_data.begin(), s_data.end(), col);
    return true;
}

void TBitmap32::Stretch(int32_t w, int32_t h, int32_t quality) {
    if (w <= 0 || h <= 0 || (w == s_w && h == s_h) || !AreaAllowed(w, h)) return;
    const TBitmap32 old = *this;
    Resize(w, h);
    // Only 1 is used by the runner; the cap keeps q² samples per pixel reasonable.
    const int64_t q = std::clamp<int64_t>(quality, 1, 16);
    const int64_t oldW = old.s_w, oldH = old.s_h;
    const uint64_t samples = static_cast<uint64_t>(q * q);
    std::vector<int32_t> columns(static_cast<size_t>(int64_t(w) * q));
    // Source column floor((u/q + j) / (w/oldW)), in exact integer arithmetic.
    for (int64_t j = 0; j < w; ++j)
        for (int64_t u = 0; u < q; ++u)
            columns[static_cast<size_t>(j * q + u)] = static_cast<int32_t>((u + j * q) * oldW / (q * w));
    for (int64_t i = 0; i < h; ++i) {
        TColor32* dst = Row(static_cast<int32_t>(i));
        for (int64_t j = 0; j < w; ++j) {
            uint64_t sa = 0, sr = 0, sg = 0, sb = 0;
            for (int64_t v = 0; v < q; ++v) {
                const auto sy = static_cast<int32_t>((v + i * q) * oldH / (q * h));
                for (int64_t u = 0; u < q; ++u) {
                    TColor32 c = old.GetPixel(columns[static_cast<size_t>(j * q + u)], sy);
                    if (AlphaOf(c) == 0) continue;
                    sa += c >> 24;
                    sr += (c >> 16) & 0xFF;
                    sg += (c >> 8) & 0xFF;
                    sb += c & 0xFF;
                }
            }
            dst[j] = RoundedMean(sa, samples) << 24 | RoundedMean(sr, samples) << 16 |
                     RoundedMean(sg, samples) << 8 | RoundedMean(sb, samples);
        }
    }
}

void TBitmap32::Fill(TColor32 col, BlendMode) {
    std::fill(s_data.begin(), s_data.end(), col);
}

void TBitmap32::DrawPart(int32_t x, int32_t y, const TBitmap32* bm, int32_t xo, int32_t yo, int32_t wo,
                         int32_t ho, BlendMode) {
    if (!bm || bm->Empty() || Empty()) return;
    // 64-bit so that extreme arguments cannot overflow while clipping.
    int64_t dx = x, dy = y, sx = xo, sy = yo, cw = wo, ch = ho;
    if (sx < 0) {
        dx -= sx;
        cw += sx;
        sx = 0;
    }
    if (sy < 0) {
        dy -= sy;
        ch += sy;
        sy = 0;
    }
    cw = std::min<int64_t>(cw, bm->s_w - sx);
    ch = std::min<int64_t>(ch, bm->s_h - sy);
    if (dx < 0) {
        sx -= dx;
        cw += dx;
        dx = 0;
    }
    if (dy < 0) {
        sy -= dy;
        ch += dy;
        dy = 0;
    }
    cw = std::min<int64_t>(cw, s_w - dx);
    ch = std::min<int64_t>(ch, s_h - dy);
    if (cw <= 0 || ch <= 0) return;

    // Drawing a bitmap onto itself may overlap; copy the source first.
    TBitmap32 copy;
    if (bm == this) {
        copy = *this;
        bm = &copy;
    }
    for (int64_t r = 0; r < ch; ++r) {
        const TColor32* src = bm->Row(static_cast<int32_t>(sy + r)) + sx;
        std::memcpy(Row(static_cast<int32_t>(dy + r)) + dx, src, static_cast<size_t>(cw) * sizeof(TColor32));
    }
}

void TBitmap32::Draw(int32_t x, int32_t y, const TBitmap32* bm, BlendMode mode) {
    if (!bm) return;
    DrawPart(x, y, bm, 0, 0, bm->s_w, bm->s_h, mode);
}

TRect TBitmap32::BoundingBox(int32_t tolerance) const {
    TRect box{s_w - 1, s_h - 1, 0, 0};
    for (int32_t y = 0; y < s_h; ++y) {
        const TColor32* row = Row(y);
        for (int32_t x = 0; x < s_w; ++x) {
            if (int32_t(AlphaOf(row[x])) <= tolerance) continue;
            box.Left = std::min(box.Left, x);
            box.Right = std::max(box.Right, x);
            box.Top = std::min(box.Top, y);
            box.Bottom = std::max(box.Bottom, y);
        }
    }
    return box;
}

void TBitmap32::ApplyAlphaTest() {
    for (TColor32 c : s_data)
        if (AlphaOf(c) != 0) return;
    for (TColor32& c : s_data) c |= 0xFF000000u;
}

bool TBitmap32::LoadFromStream(CStream& stream) {
    try {
        if (stream.ReadInteger() != kBitmapRecordVersion) return false;
        Clear();
        const int64_t w = stream.ReadInteger();
        const int64_t h = stream.ReadInteger();
        if (w < 0 || h < 0) return false;
        if (w == 0 || h == 0) return true;
        if (w * h > kMaxBitmapPixels) return false;
        const int32_t size = stream.ReadInteger();
        const auto needed = static_cast<size_t>(w * h * 4);
        // The sub-stream must hold the pixels and be present in full before anything is allocated.
        if (size < 0 || static_cast<size_t>(size) < needed) return false;
        stream.CheckCount(size, 1);
        TBitmap32 loaded;
        loaded.Resize(static_cast<int32_t>(w), static_cast<int32_t>(h));
        if constexpr (std::endian::native == std::endian::little) {
            stream.ReadRaw(reinterpret_cast<uint8_t*>(loaded.s_data.data()), needed);
        } else {
            std::vector<uint8_t> bytes = stream.ReadBytes(needed);
            for (size_t i = 0; i < loaded.s_data.size(); ++i)
                loaded.s_data[i] = uint32_t(bytes[4 * i]) | uint32_t(bytes[4 * i + 1]) << 8 |
                                   uint32_t(bytes[4 * i + 2]) << 16 | uint32_t(bytes[4 * i + 3]) << 24;
        }
        stream.Skip(static_cast<size_t>(size) - needed);
        *this = std::move(loaded);
        return true;
    } catch (const StreamError&) {
        return false;
    }
}

void TBitmap32::SaveToStream(CStream& stream) const {
    stream.WriteInteger(kBitmapRecordVersion);
    const bool empty = Empty();
    stream.WriteInteger(empty ? 0 : s_w);
    stream.WriteInteger(empty ? 0 : s_h);
    if (empty) return;
    std::vector<uint8_t> bytes(s_data.size() * 4);
    for (size_t i = 0; i < s_data.size(); ++i) {
        bytes[4 * i] = static_cast<uint8_t>(s_data[i]);
        bytes[4 * i + 1] = static_cast<uint8_t>(s_data[i] >> 8);
        bytes[4 * i + 2] = static_cast<uint8_t>(s_data[i] >> 16);
        bytes[4 * i + 3] = static_cast<uint8_t>(s_data[i] >> 24);
    }
    stream.WriteStream(CStream(std::move(bytes)));
}

bool TBitmap32::LoadFromImageFile(const std::string& fname) {
    const std::string ext = LowerExtension(fname);
    enum class Decoder {
        None,
        Bmp,
        Png,
        Jpeg,
        Gif,
        Ico,
        Tga,
        Tiff,
        Pcx,
        Sgi,
        Psd,
        Pnm
    } decoder = Decoder::None;
    auto is = [&](std::initializer_list<const char*> names) {
        return std::any_of(names.begin(), names.end(), [&](const char* n) { return ext == n; });
    };
    if (is({"bmp", "dib", "rle"}))
        decoder = Decoder::Bmp;
    else if (is({"png"}))
        decoder = Decoder::Png;
    else if (is({"jpg", "jpeg", "jpe", "jfif"}))
        decoder = Decoder::Jpeg;
    else if (is({"gif"}))
        decoder = Decoder::Gif;
    else if (is({"ico"}))
        decoder = Decoder::Ico;
    else if (is({"tga", "vda", "icb", "vst", "win"}))
        decoder = Decoder::Tga;
    else if (is({"tif", "tiff"}))
        decoder = Decoder::Tiff;
    else if (is({"pcx", "pcc", "scr"}))
        decoder = Decoder::Pcx;
    else if (is({"sgi", "rgb", "rgba", "bw"}))
        decoder = Decoder::Sgi;
    else if (is({"psd", "pdd"}))
        decoder = Decoder::Psd;
    else if (is({"ppm", "pgm", "pbm"}))
        decoder = Decoder::Pnm;
    // Refused on purpose, so these load as files without a decoder: wmf and emf are
    // drawing-command formats that need a vector renderer; eps needs a PostScript
    // interpreter; fax, cut (palette kept in a separate file), pcd, psp, cel/pic and rla/rpf
    // are rare proprietary or scanner formats whose published descriptions are incomplete,
    // so a reader could not be checked against real files.
    if (decoder == Decoder::None) return false;

    std::vector<uint8_t> file;
    if (!ReadWholeFile(fname, file)) return false;
    TBitmap32 decoded;
    bool ok = false;
    switch (decoder) {
    case Decoder::Bmp:
        ok = DecodeBmp(file, decoded, BmpAlpha::TestAlpha);
        break;
    case Decoder::Png:
        ok = DecodePng(file, decoded);
        break;
    case Decoder::Jpeg:
        ok = DecodeJpeg(file, decoded);
        break;
    case Decoder::Gif:
        ok = DecodeGifFirstFrame(file, decoded);
        break;
    case Decoder::Ico:
        // Masked-out parts show the colour an image is composed on, made opaque.
        ok = DecodeIco(file, decoded, MakeColor32(1, 0, 0, 255));
        break;
    case Decoder::Tga:
        ok = DecodeTga(file, decoded);
        break;
    case Decoder::Tiff:
        ok = DecodeTiff(file, decoded);
        break;
    case Decoder::Pcx:
        ok = DecodePcx(file, decoded);
        break;
    case Decoder::Sgi:
        ok = DecodeSgi(file, decoded);
        break;
    case Decoder::Psd:
        ok = DecodePsd(file, decoded);
        break;
    case Decoder::Pnm:
        ok = DecodePnm(file, decoded);
        break;
    case Decoder::None:
        break;
    }
    if (!ok) return false;
    *this = std::move(decoded);
    return true;
}

bool TBitmap32::SaveToImageFile(const std::string& fname) const {
    const std::vector<uint8_t> png = EncodePng(*this);
    if (png.empty()) return false;
    std::ofstream out(fname, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
    out.close();
    return !out.fail();
}

} // namespace kestrin
