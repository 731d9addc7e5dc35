#include "base/image_jpeg.h"

#include <bit>
#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE and size_t declared first
#include <vector>

#include <jpeglib.h>
// after jpeglib.h, which it needs
#include <jerror.h>

namespace kestrin {

namespace {

// libjpeg reports errors by longjmp to the frame that called setjmp. The functions from
// here to DecodeJpeg therefore hold only plain data: no destructor may be skipped.

struct JpegErrors {
    jpeg_error_mgr pub; // first, so libjpeg's pointer to it is a pointer to the whole
    std::jmp_buf jump;
};

[[noreturn]] void OnJpegError(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<JpegErrors*>(cinfo->err)->jump, 1);
}

// Warnings about lost image data mean libjpeg has made pixels up; such a file fails.
void OnJpegMessage(j_common_ptr cinfo, int level) {
    if (level != -1) return;
    switch (cinfo->err->msg_code) {
    case JWRN_JPEG_EOF:
    case JWRN_HIT_MARKER:
    case JWRN_MUST_RESYNC:
    case JWRN_NOT_SEQUENTIAL:
    case JWRN_BOGUS_PROGRESSION:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_ARITH_BAD_CODE:
        OnJpegError(cinfo);
    default:
        break;
    }
}

// Progressive files may repeat scans without limit, each one a pass over the whole image.
constexpr int kMaxScans = 1000;

void OnJpegProgress(j_common_ptr cinfo) {
    if (cinfo->is_decompressor && reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxScans)
        OnJpegError(cinfo);
}

struct JpegHeader {
    JDIMENSION width;
    JDIMENSION height;
    bool cmyk;
    bool invertedCmyk; // Adobe writers store CMYK inverted
};

bool ReadHeader(jpeg_decompress_struct* cinfo, JpegErrors* errors, JpegHeader* hdr) {
    if (setjmp(errors->jump)) return false;
    jpeg_read_header(cinfo, TRUE);
    hdr->cmyk = cinfo->jpeg_color_space == JCS_CMYK || cinfo->jpeg_color_space == JCS_YCCK;
    if (hdr->cmyk) {
        cinfo->out_color_space = JCS_CMYK;
        hdr->invertedCmyk = cinfo->saw_Adobe_marker;
    } else {
        // Grey converts to colour as well; the filler byte is 0xFF, which makes the alpha.
        cinfo->out_color_space = std::endian::native == std::endian::little ? JCS_EXT_BGRA : JCS_EXT_ARGB;
    }
    jpeg_calc_output_dimensions(cinfo);
    hdr->width = cinfo->output_width;
    hdr->height = cinfo->output_height;
    return cinfo->output_components == 4;
}

uint8_t Scale255(unsigned a, unsigned b) {
    return static_cast<uint8_t>((a * b + 127) / 255);
}

bool ReadRows(jpeg_decompress_struct* cinfo, JpegErrors* errors, const JpegHeader* hdr, TBitmap32* bm,
              uint8_t* cmykRow) {
    if (setjmp(errors->jump)) return false;
    jpeg_start_decompress(cinfo);
    if (cinfo->output_width != hdr->width || cinfo->output_height != hdr->height ||
        cinfo->output_components != 4)
        return false;
    while (cinfo->output_scanline < cinfo->output_height) {
        const auto y = static_cast<int32_t>(cinfo->output_scanline);
        JSAMPROW row = hdr->cmyk ? cmykRow : reinterpret_cast<JSAMPROW>(bm->Row(y));
        if (jpeg_read_scanlines(cinfo, &row, 1) != 1) return false;
        if (!hdr->cmyk) continue;
        TColor32* dst = bm->Row(y);
        for (int32_t x = 0; x < bm->s_w; ++x) {
            const uint8_t* p = cmykRow + 4 * x;
            unsigned c = p[0], m = p[1], ye = p[2], k = p[3];
            if (!hdr->invertedCmyk) c = 255 - c, m = 255 - m, ye = 255 - ye, k = 255 - k;
            dst[x] = MakeColor32(Scale255(c, k), Scale255(m, k), Scale255(ye, k), 255);
        }
    }
    jpeg_finish_decompress(cinfo);
    return true;
}

struct Decompressor {
    jpeg_decompress_struct cinfo{};
    JpegErrors errors{};
    jpeg_progress_mgr progress{};
    bool created = false;
    ~Decompressor() {
        if (created) jpeg_destroy_decompress(&cinfo);
    }
};

bool Create(Decompressor* d, std::span<const uint8_t> file) {
    d->cinfo.err = jpeg_std_error(&d->errors.pub);
    d->errors.pub.error_exit = OnJpegError;
    d->errors.pub.emit_message = OnJpegMessage;
    if (setjmp(d->errors.jump)) return false;
    jpeg_create_decompress(&d->cinfo);
    d->created = true;
    d->progress.progress_monitor = OnJpegProgress;
    d->cinfo.progress = &d->progress;
    jpeg_mem_src(&d->cinfo, file.data(), static_cast<unsigned long>(file.size()));
    return true;
}

} // namespace

bool DecodeJpeg(std::span<const uint8_t> file, TBitmap32& out) {
    if (file.size() < 3 || file[0] != 0xFF || file[1] != 0xD8 || file[2] != 0xFF) return false;
    // No setjmp in this frame, so owning objects are safe here.
    Decompressor d;
    if (!Create(&d, file)) return false;
    JpegHeader hdr{};
    if (!ReadHeader(&d.cinfo, &d.errors, &hdr)) return false;
    const uint64_t pixels = uint64_t(hdr.width) * hdr.height;
    if (hdr.width == 0 || hdr.height == 0 || pixels > uint64_t(kMaxBitmapPixels)) return false;

    TBitmap32 bm;
    if (!bm.Resize(static_cast<int32_t>(hdr.width), static_cast<int32_t>(hdr.height))) return false;
    std::vector<uint8_t> cmykRow(hdr.cmyk ? size_t(hdr.width) * 4 : 0);
    if (!ReadRows(&d.cinfo, &d.errors, &hdr, &bm, cmykRow.data())) return false;
    out = std::move(bm);
    return true;
}

} // namespace kestrin
