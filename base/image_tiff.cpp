#include "base/image_tiff.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include <tiffio.h>

#include "base/image_bytes.h"

namespace kestrin {

namespace {

// libtiff reads through these from memory; the file is never written.
struct MemoryFile {
    std::span<const uint8_t> data;
    toff_t pos = 0;
};

tsize_t ReadProc(thandle_t h, tdata_t buf, tsize_t size) {
    auto* m = static_cast<MemoryFile*>(h);
    if (size <= 0 || m->pos >= m->data.size()) return 0;
    const size_t n = std::min<size_t>(static_cast<size_t>(size), m->data.size() - m->pos);
    std::memcpy(buf, m->data.data() + m->pos, n);
    m->pos += n;
    return static_cast<tsize_t>(n);
}
tsize_t WriteProc(thandle_t, tdata_t, tsize_t) {
    return 0;
}
toff_t SeekProc(thandle_t h, toff_t off, int whence) {
    auto* m = static_cast<MemoryFile*>(h);
    toff_t base = 0;
    if (whence == SEEK_CUR)
        base = m->pos;
    else if (whence == SEEK_END)
        base = m->data.size();
    else if (whence != SEEK_SET)
        return static_cast<toff_t>(-1);
    // Offsets arrive unsigned; a negative one shows as a huge value and is refused with
    // everything else past the end.
    if (off > m->data.size() || base + off > m->data.size()) return static_cast<toff_t>(-1);
    m->pos = base + off;
    return m->pos;
}
int CloseProc(thandle_t) {
    return 0;
}
toff_t SizeProc(thandle_t h) {
    return static_cast<MemoryFile*>(h)->data.size();
}
int MapProc(thandle_t, tdata_t*, toff_t*) {
    return 0;
}
void UnmapProc(thandle_t, tdata_t, toff_t) {}

int Quiet(TIFF*, void*, const char*, const char*, va_list) {
    return 1;
}

struct OptionsDeleter {
    void operator()(TIFFOpenOptions* o) const { TIFFOpenOptionsFree(o); }
};
struct TiffDeleter {
    void operator()(TIFF* t) const { TIFFClose(t); }
};

} // namespace

bool DecodeTiff(std::span<const uint8_t> file, TBitmap32& out) {
    if (file.size() < 8) return false;
    std::unique_ptr<TIFFOpenOptions, OptionsDeleter> options(TIFFOpenOptionsAlloc());
    if (!options) return false;
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), Quiet, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), Quiet, nullptr);
    // No single buffer beyond what the largest accepted image needs.
    TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), kMaxBitmapPixels * 4);
    MemoryFile m{file};
    // "m": never map the data, which is not a file.
    std::unique_ptr<TIFF, TiffDeleter> tif(TIFFClientOpenExt("image", "rm", &m, ReadProc, WriteProc, SeekProc,
                                                             CloseProc, SizeProc, MapProc, UnmapProc,
                                                             options.get()));
    if (!tif) return false;
    uint32_t width = 0, height = 0;
    if (!TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &width) ||
        !TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &height))
        return false;
    if (!image::AreaAllowed(width, height)) return false;
    char message[1024];
    if (!TIFFRGBAImageOK(tif.get(), message)) return false;

    TBitmap32 bm;
    if (!bm.Resize(static_cast<int32_t>(width), static_cast<int32_t>(height))) return false;
    static_assert(sizeof(TColor32) == sizeof(uint32_t));
    if (!TIFFReadRGBAImageOriented(tif.get(), width, height, bm.s_data.data(), ORIENTATION_TOPLEFT, 1))
        return false;
    // libtiff packs red in the low byte and alpha in the high one, and hands out colours
    // multiplied by alpha, which bitmaps keep separate.
    for (TColor32& c : bm.s_data) {
        const uint32_t a = TIFFGetA(c);
        auto straight = [a](uint32_t v) {
            return static_cast<uint8_t>(a == 0 ? 0 : std::min<uint32_t>(255, (v * 255 + a / 2) / a));
        };
        c = MakeColor32(straight(TIFFGetR(c)), straight(TIFFGetG(c)), straight(TIFFGetB(c)),
                        static_cast<uint8_t>(a));
    }
    bm.ApplyAlphaTest();
    out = std::move(bm);
    return true;
}

} // namespace kestrin
