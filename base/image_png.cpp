#include "base/image_png.h"

#include <bit>
#include <csetjmp>
#include <cstring>

#include <png.h>
#include <zlib.h>

#include "base/stream.h"

namespace kestrin {

namespace {

// ---- Reading ----------------------------------------------------------------------------
//
// libpng reports errors by longjmp to the frame that called setjmp. The functions from
// here to DecodePng therefore hold only plain data: no destructor may be skipped.

struct PngSource {
    const uint8_t* data;
    size_t size;
    size_t pos;
};

void ReadFromMemory(png_structp png, png_bytep out, size_t count) {
    auto* src = static_cast<PngSource*>(png_get_io_ptr(png));
    if (count > src->size - src->pos) png_error(png, "unexpected end of data");
    std::memcpy(out, src->data + src->pos, count);
    src->pos += count;
}

[[noreturn]] void OnPngError(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}
void OnPngWarning(png_structp, png_const_charp) {}

struct PngHeader {
    png_uint_32 width;
    png_uint_32 height;
    uint64_t storedBytes; // size of the filtered rows before compression
    int passes;
    size_t rowBytes;
    int channels;
    int depth;
};

__attribute__((noinline)) void ReadHeaderUnguarded(png_structp png, png_infop info, PngHeader* hdr) {
    png_read_info(png, info);
    int depth = 0, colorType = 0, interlace = 0;
    png_get_IHDR(png, info, &hdr->width, &hdr->height, &depth, &colorType, &interlace, nullptr, nullptr);
    const uint64_t rowBits = uint64_t(hdr->width) * png_get_channels(png, info) * unsigned(depth);
    hdr->storedBytes = uint64_t(hdr->height) * (1 + (rowBits + 7) / 8);

    // Everything becomes 8-bit BGRA (ARGB in memory order on big-endian hosts, which is
    // the same 32-bit word).
    png_set_expand(png); // palette to colour, small grey depths to 8 bits, tRNS to alpha
    if (depth == 16) png_set_scale_16(png);
    if (!(colorType & PNG_COLOR_MASK_COLOR)) png_set_gray_to_rgb(png);
    const bool alpha = (colorType & PNG_COLOR_MASK_ALPHA) || png_get_valid(png, info, PNG_INFO_tRNS);
    if constexpr (std::endian::native == std::endian::little) {
        png_set_bgr(png);
        if (!alpha) png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    } else {
        png_set_swap_alpha(png);
        if (!alpha) png_set_filler(png, 0xFF, PNG_FILLER_BEFORE);
    }
    hdr->passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    hdr->rowBytes = png_get_rowbytes(png, info);
    hdr->channels = png_get_channels(png, info);
    hdr->depth = png_get_bit_depth(png, info);
}

bool ReadHeader(png_structp png, png_infop info, PngHeader* hdr) {
    if (setjmp(png_jmpbuf(png))) return false;
    ReadHeaderUnguarded(png, info, hdr);
    return true;
}

__attribute__((noinline)) void ReadRowsUnguarded(png_structp png, int passes, TBitmap32* bm) {
    // Each pass fills its own pixels into the same rows, so interlaced images need no
    // second buffer.
    for (int pass = 0; pass < passes; ++pass)
        for (int32_t y = 0; y < bm->s_h; ++y)
            png_read_row(png, reinterpret_cast<png_bytep>(bm->Row(y)), nullptr);
}

bool ReadRows(png_structp png, int passes, TBitmap32* bm) {
    if (setjmp(png_jmpbuf(png))) return false;
    ReadRowsUnguarded(png, passes, bm);
    return true;
}

struct ReadStructs {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~ReadStructs() {
        if (png) png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    }
};

// Deflate cannot expand data by more than this factor.
constexpr uint64_t kMaxInflateRatio = 1032;

// ---- Writing ----------------------------------------------------------------------------

void PutBE32(std::vector<uint8_t>& v, uint32_t x) {
    for (int shift = 24; shift >= 0; shift -= 8) v.push_back(static_cast<uint8_t>(x >> shift));
}

void PutChunk(std::vector<uint8_t>& out, const char (&type)[5], std::span<const uint8_t> data) {
    PutBE32(out, static_cast<uint32_t>(data.size()));
    const size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    uLong crc = crc32(0L, Z_NULL, 0);
    crc = crc32(crc, out.data() + start, static_cast<uInt>(out.size() - start));
    PutBE32(out, static_cast<uint32_t>(crc));
}

} // namespace

bool DecodePng(std::span<const uint8_t> file, TBitmap32& out) {
    if (file.size() < 8 || png_sig_cmp(file.data(), 0, 8) != 0) return false;
    // No setjmp in this frame, so owning objects are safe here.
    ReadStructs structs;
    structs.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnPngError, OnPngWarning);
    if (!structs.png) return false;
    structs.info = png_create_info_struct(structs.png);
    if (!structs.info) return false;
    PngSource source{file.data(), file.size(), 0};
    png_set_read_fn(structs.png, &source, ReadFromMemory);

    PngHeader hdr{};
    if (!ReadHeader(structs.png, structs.info, &hdr)) return false;
    const uint64_t pixels = uint64_t(hdr.width) * hdr.height;
    if (hdr.width == 0 || hdr.height == 0 || pixels > uint64_t(kMaxBitmapPixels)) return false;
    // Image data that this file cannot possibly hold is refused before allocating for it.
    if (hdr.storedBytes / kMaxInflateRatio > file.size()) return false;
    if (hdr.channels != 4 || hdr.depth != 8 || hdr.rowBytes != size_t(hdr.width) * 4) return false;

    TBitmap32 bm;
    if (!bm.Resize(static_cast<int32_t>(hdr.width), static_cast<int32_t>(hdr.height))) return false;
    if (!ReadRows(structs.png, hdr.passes, &bm)) return false;
    bm.ApplyAlphaTest();
    out = std::move(bm);
    return true;
}

std::vector<uint8_t> EncodePng(const TBitmap32& bm) {
    if (bm.Empty() || bm.s_data.size() < size_t(bm.s_w) * size_t(bm.s_h)) return {};
    const size_t rowBytes = 1 + 4 * size_t(bm.s_w);
    std::vector<uint8_t> raw(rowBytes * size_t(bm.s_h));
    for (int32_t y = 0; y < bm.s_h; ++y) {
        uint8_t* dst = raw.data() + rowBytes * size_t(y);
        *dst++ = 0; // filter: none
        const TColor32* src = bm.Row(y);
        for (int32_t x = 0; x < bm.s_w; ++x) {
            const TColor32 c = src[x];
            *dst++ = static_cast<uint8_t>(c >> 16);
            *dst++ = static_cast<uint8_t>(c >> 8);
            *dst++ = static_cast<uint8_t>(c);
            *dst++ = static_cast<uint8_t>(c >> 24);
        }
    }
    std::vector<uint8_t> packed;
    try {
        packed = Deflate(raw);
    } catch (const StreamError&) {
        return {};
    }
    if (packed.size() > 0x7FFFFFFFu) return {};

    std::vector<uint8_t> png = {137, 80, 78, 71, 13, 10, 26, 10};
    png.reserve(packed.size() + 64);
    std::vector<uint8_t> ihdr;
    PutBE32(ihdr, static_cast<uint32_t>(bm.s_w));
    PutBE32(ihdr, static_cast<uint32_t>(bm.s_h));
    ihdr.insert(ihdr.end(), {8, 6, 0, 0, 0}); // depth, truecolour with alpha, compression, filter, interlace
    PutChunk(png, "IHDR", ihdr);
    PutChunk(png, "IDAT", packed);
    PutChunk(png, "IEND", {});
    return png;
}

} // namespace kestrin
