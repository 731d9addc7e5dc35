#include "base/image_gif.h"

#include <algorithm>
#include <cstring>

#include <gif_lib.h>

namespace kestrin {

namespace {

struct GifSource {
    const uint8_t* data;
    size_t size;
    size_t pos;
};

int ReadFromMemory(GifFileType* gif, GifByteType* out, int count) {
    auto* src = static_cast<GifSource*>(gif->UserData);
    if (count <= 0) return 0;
    const size_t n = std::min(static_cast<size_t>(count), src->size - src->pos);
    std::memcpy(out, src->data + src->pos, n);
    src->pos += n;
    return static_cast<int>(n);
}

struct GifReader {
    GifFileType* gif = nullptr;
    ~GifReader() {
        if (gif) DGifCloseFile(gif, nullptr);
    }
};

// Besides the frames themselves, the pixels decoded from images (also those clipped away)
// are bounded, so that a small file cannot keep the decoder busy for long.
constexpr int64_t kMaxDecodedPixels = 4 * kMaxBitmapPixels;

struct Canvas {
    int32_t w;
    int32_t h;
    std::vector<TColor32> pixels;
};

struct ImagePlacement {
    int32_t left, top, width, height;
    // The part on the screen; empty when x0 >= x1 or y0 >= y1.
    int32_t x0, y0, x1, y1;
};

ImagePlacement Place(const GifImageDesc& d, const Canvas& c) {
    ImagePlacement p{d.Left, d.Top, d.Width, d.Height, 0, 0, 0, 0};
    p.x0 = std::clamp(p.left, 0, c.w);
    p.y0 = std::clamp(p.top, 0, c.h);
    p.x1 = std::clamp(p.left + p.width, 0, c.w);
    p.y1 = std::clamp(p.top + p.height, 0, c.h);
    return p;
}

// Reads the image's rows (de-interlacing them) and draws its pixels onto the canvas.
bool DrawImage(GifFileType* gif, const ImagePlacement& p, int transparent, Canvas& canvas) {
    const ColorMapObject* map = gif->Image.ColorMap ? gif->Image.ColorMap : gif->SColorMap;
    if (!map || !map->Colors || map->ColorCount <= 0) return false;
    TColor32 palette[256];
    const int count = std::min(map->ColorCount, 256);
    for (int i = 0; i < count; ++i)
        palette[i] = MakeColor32(map->Colors[i].Red, map->Colors[i].Green, map->Colors[i].Blue, 255);

    std::vector<GifPixelType> line(static_cast<size_t>(p.width));
    auto drawRow = [&](int32_t row) {
        const int32_t y = p.top + row;
        if (y < p.y0 || y >= p.y1) return;
        TColor32* dst = canvas.pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(canvas.w);
        for (int32_t x = p.x0; x < p.x1; ++x) {
            const int index = line[static_cast<size_t>(x - p.left)];
            // Indices past the colour table draw nothing, like the transparent one.
            if (index != transparent && index < count) dst[x] = palette[index];
        }
    };
    if (gif->Image.Interlace) {
        static constexpr int32_t kOffset[] = {0, 4, 2, 1}, kStep[] = {8, 8, 4, 2};
        for (int pass = 0; pass < 4; ++pass)
            for (int32_t row = kOffset[pass]; row < p.height; row += kStep[pass]) {
                if (DGifGetLine(gif, line.data(), p.width) != GIF_OK) return false;
                drawRow(row);
            }
    } else {
        for (int32_t row = 0; row < p.height; ++row) {
            if (DGifGetLine(gif, line.data(), p.width) != GIF_OK) return false;
            drawRow(row);
        }
    }
    return true;
}

// With `fill`, the canvas starts as that colour and returns to it after every image whose
// disposal method is not "do not dispose"; without, disposal follows the file.
bool Decode(std::span<const uint8_t> file, bool firstOnly, const TColor32* fill,
            std::vector<TBitmap32>& frames) {
    if (file.size() < 6 || std::memcmp(file.data(), "GIF", 3) != 0) return false;
    GifSource source{file.data(), file.size(), 0};
    GifReader reader;
    int error = 0;
    reader.gif = DGifOpen(&source, ReadFromMemory, &error);
    GifFileType* gif = reader.gif;
    if (!gif) return false;

    Canvas canvas{std::max(gif->SWidth, 1), std::max(gif->SHeight, 1), {}};
    const int64_t screenPixels = int64_t(canvas.w) * canvas.h;
    if (screenPixels > kMaxBitmapPixels) return false;
    canvas.pixels.assign(static_cast<size_t>(screenPixels), fill ? *fill : 0);

    std::vector<TBitmap32> out;
    std::vector<TColor32> previous;
    int64_t decodedPixels = 0;
    GraphicsControlBlock gcb{DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR};
    for (;;) {
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif, &type) != GIF_OK) return false;
        if (type == TERMINATE_RECORD_TYPE) break;
        if (type == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* block = nullptr;
            if (DGifGetExtension(gif, &code, &block) != GIF_OK) return false;
            if (code == GRAPHICS_EXT_FUNC_CODE && block &&
                DGifExtensionToGCB(block[0], block + 1, &gcb) != GIF_OK)
                return false;
            while (block)
                if (DGifGetExtensionNext(gif, &block) != GIF_OK) return false;
            continue;
        }
        if (type != IMAGE_DESC_RECORD_TYPE) return false;

        if (out.size() >= kMaxGifFrames) return false;
        if (int64_t(out.size() + 1) * screenPixels > kMaxBitmapPixels) return false;
        if (DGifGetImageDesc(gif) != GIF_OK) return false;
        const ImagePlacement place = Place(gif->Image, canvas);
        if (place.width <= 0 || place.height <= 0) return false;
        decodedPixels += int64_t(place.width) * place.height;
        if (decodedPixels > kMaxDecodedPixels) return false;

        if (!fill && gcb.DisposalMode == DISPOSE_PREVIOUS) previous = canvas.pixels;
        if (!DrawImage(gif, place, gcb.TransparentColor, canvas)) return false;
        TBitmap32& frame = out.emplace_back();
        frame.s_w = canvas.w;
        frame.s_h = canvas.h;
        frame.s_data = canvas.pixels;

        if (fill) {
            if (gcb.DisposalMode != DISPOSE_DO_NOT)
                std::fill(canvas.pixels.begin(), canvas.pixels.end(), *fill);
        } else if (gcb.DisposalMode == DISPOSE_BACKGROUND) {
            for (int32_t y = place.y0; y < place.y1; ++y)
                std::fill_n(canvas.pixels.begin() + int64_t(y) * canvas.w + place.x0, place.x1 - place.x0, 0);
        } else if (gcb.DisposalMode == DISPOSE_PREVIOUS) {
            canvas.pixels.swap(previous);
        }
        // A graphic control block belongs to the one image that follows it.
        gcb = {DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR};
        if (firstOnly) break;
    }
    if (out.empty()) return false;
    frames = std::move(out);
    return true;
}

} // namespace

bool DecodeGifOnFill(std::span<const uint8_t> file, TColor32 fill, std::vector<TBitmap32>& frames) {
    return Decode(file, false, &fill, frames);
}

bool DecodeGif(std::span<const uint8_t> file, std::vector<TBitmap32>& frames) {
    return Decode(file, false, nullptr, frames);
}

bool DecodeGifFirstFrame(std::span<const uint8_t> file, TBitmap32& out) {
    std::vector<TBitmap32> frames;
    if (!Decode(file, true, nullptr, frames)) return false;
    for (TColor32& c : frames[0].s_data)
        if (AlphaOf(c) == 0) c = MakeColor32(1, 0, 0, 255);
    out = std::move(frames[0]);
    return true;
}

} // namespace kestrin
