#pragma once
// Builders of small image files for the bitmap tests and the fuzz seeds: BMP files laid out
// field by field, and PNG, JPEG and GIF files written by their libraries' own encoders.

#include <algorithm>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <gif_lib.h>
#include <jpeglib.h>
#include <png.h>

namespace kestrin::test {

inline void PutLE(std::vector<uint8_t>& v, uint32_t x, int bytes) {
    for (int i = 0; i < bytes; ++i) v.push_back(static_cast<uint8_t>(x >> (8 * i)));
}

struct BmpSpec {
    uint32_t headerSize = 40; // 12, 40, 52, 56, 108, 124 (others to test refusal)
    int32_t width = 1;
    int32_t height = 1; // negative: top-down
    uint16_t bpp = 24;
    uint32_t compression = 0;
    uint32_t colorsUsed = 0;
    std::vector<uint32_t> palette;          // 0x00RRGGBB
    std::vector<uint32_t> masks;            // inside headers >= 52, else after the 40-byte header
    std::vector<std::vector<uint8_t>> rows; // stored order, each padded to 4 bytes here
    std::vector<uint8_t> raw;               // used instead of rows when not empty (RLE data)
};

inline std::vector<uint8_t> MakeBmp(const BmpSpec& s) {
    std::vector<uint8_t> header;
    if (s.headerSize == 12) {
        PutLE(header, 12, 4);
        PutLE(header, static_cast<uint32_t>(s.width), 2);
        PutLE(header, static_cast<uint32_t>(s.height), 2);
        PutLE(header, 1, 2);
        PutLE(header, s.bpp, 2);
    } else {
        PutLE(header, s.headerSize, 4);
        PutLE(header, static_cast<uint32_t>(s.width), 4);
        PutLE(header, static_cast<uint32_t>(s.height), 4);
        PutLE(header, 1, 2);
        PutLE(header, s.bpp, 2);
        PutLE(header, s.compression, 4);
        PutLE(header, 0, 4); // image size
        PutLE(header, 2835, 4);
        PutLE(header, 2835, 4);
        PutLE(header, s.colorsUsed, 4);
        PutLE(header, 0, 4);
        if (s.headerSize >= 52)
            for (size_t i = 0; i < 4 && i < s.masks.size(); ++i) PutLE(header, s.masks[i], 4);
        header.resize(std::max<size_t>(header.size(), s.headerSize), 0);
        if (s.headerSize == 40)
            for (uint32_t m : s.masks) PutLE(header, m, 4);
    }
    for (uint32_t c : s.palette) PutLE(header, c, s.headerSize == 12 ? 3 : 4);

    std::vector<uint8_t> data = s.raw;
    if (data.empty())
        for (auto row : s.rows) {
            row.resize((row.size() + 3) & ~size_t(3), 0);
            data.insert(data.end(), row.begin(), row.end());
        }
    std::vector<uint8_t> f = {'B', 'M'};
    PutLE(f, static_cast<uint32_t>(14 + header.size() + data.size()), 4);
    PutLE(f, 0, 4);
    PutLE(f, static_cast<uint32_t>(14 + header.size()), 4);
    f.insert(f.end(), header.begin(), header.end());
    f.insert(f.end(), data.begin(), data.end());
    return f;
}

struct LibpngImage {
    uint32_t width = 1;
    uint32_t height = 1;
    int colorType = PNG_COLOR_TYPE_RGB_ALPHA;
    int depth = 8;
    bool interlace = false;
    std::vector<std::vector<uint8_t>> rows; // packed as PNG stores them (16-bit big-endian)
    std::vector<png_color> palette;
    std::vector<uint8_t> paletteAlpha; // tRNS for palette images
    bool colorKey = false;             // tRNS for grey/RGB images
    png_color_16 key{};
};

inline void AppendPngBytes(png_structp png, png_bytep data, size_t n) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + n);
}

// Holds no owning locals: libpng errors arrive by longjmp.
inline bool WriteWithLibpngGuarded(png_structp png, png_infop info, const LibpngImage* img, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_IHDR(png, info, img->width, img->height, img->depth, img->colorType,
                 img->interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!img->palette.empty())
        png_set_PLTE(png, info, img->palette.data(), static_cast<int>(img->palette.size()));
    if (!img->paletteAlpha.empty())
        png_set_tRNS(png, info, img->paletteAlpha.data(), static_cast<int>(img->paletteAlpha.size()),
                     nullptr);
    if (img->colorKey) png_set_tRNS(png, info, nullptr, 0, &img->key);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    return true;
}

inline std::vector<uint8_t> WriteWithLibpng(const LibpngImage& img) {
    std::vector<uint8_t> out;
    std::vector<png_bytep> rows;
    for (const auto& r : img.rows) rows.push_back(const_cast<png_bytep>(r.data()));
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &out, AppendPngBytes, nullptr);
    const bool ok = WriteWithLibpngGuarded(png, info, &img, rows.data());
    png_destroy_write_struct(&png, &info);
    if (!ok) out.clear();
    return out;
}

struct JpegSpec {
    int width = 16;
    int height = 16;
    int components = 3; // 1 grey, 3 RGB, 4 CMYK
    bool progressive = false;
    // Colour of (x, y), `components` bytes.
    std::vector<uint8_t> (*pixel)(int x, int y) = nullptr;
    // CMYK with the Adobe marker is stored inverted (255 = no ink), without it as ink amounts.
    bool adobe = true;
};

inline std::vector<uint8_t> MakeJpeg(const JpegSpec& s) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = JDIMENSION(s.width);
    cinfo.image_height = JDIMENSION(s.height);
    cinfo.input_components = s.components;
    cinfo.in_color_space = s.components == 1 ? JCS_GRAYSCALE : s.components == 3 ? JCS_RGB : JCS_CMYK;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 95, TRUE);
    if (s.progressive) jpeg_simple_progression(&cinfo);
    if (s.components == 4) cinfo.write_Adobe_marker = s.adobe ? TRUE : FALSE;
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<uint8_t> row(size_t(s.width) * size_t(s.components));
    for (int y = 0; y < s.height; ++y) {
        for (int x = 0; x < s.width; ++x) {
            const std::vector<uint8_t> px = s.pixel(x, y);
            std::copy(px.begin(), px.end(), row.begin() + x * s.components);
        }
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&cinfo, &r, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::vector<uint8_t> out(buffer, buffer + size);
    std::free(buffer);
    return out;
}

struct GifImage {
    int left = 0, top = 0, width = 1, height = 1;
    std::vector<uint8_t> indices; // rows top to bottom
    int disposal = -1;            // -1: no graphic control block
    int transparent = NO_TRANSPARENT_COLOR;
    bool interlace = false;
};

inline int AppendGifBytes(GifFileType* gif, const GifByteType* data, int n) {
    auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
    out->insert(out->end(), data, data + n);
    return n;
}

// Colour table of every GIF made here: 0 black, 1 red, 2 green, 3 blue.
inline std::vector<uint8_t> MakeGif(int screenW, int screenH, const std::vector<GifImage>& images) {
    std::vector<uint8_t> out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, AppendGifBytes, &error);
    if (!gif) return {};
    bool ok = true;
    const GifColorType colors[4] = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
    ColorMapObject* map = GifMakeMapObject(4, colors);
    EGifSetGifVersion(gif, true);
    ok = ok && EGifPutScreenDesc(gif, screenW, screenH, 2, 0, map) == GIF_OK;
    for (const GifImage& im : images) {
        if (im.disposal >= 0) {
            GraphicsControlBlock gcb{im.disposal, false, 0, im.transparent};
            GifByteType ext[4];
            EGifGCBToExtension(&gcb, ext);
            ok = ok && EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, ext) == GIF_OK;
        }
        ok = ok &&
             EGifPutImageDesc(gif, im.left, im.top, im.width, im.height, im.interlace, nullptr) == GIF_OK;
        std::vector<int> order;
        if (im.interlace) {
            constexpr int kOffset[] = {0, 4, 2, 1}, kStep[] = {8, 8, 4, 2};
            for (int pass = 0; pass < 4; ++pass)
                for (int row = kOffset[pass]; row < im.height; row += kStep[pass]) order.push_back(row);
        } else {
            for (int row = 0; row < im.height; ++row) order.push_back(row);
        }
        for (int row : order) {
            std::vector<GifPixelType> line(im.indices.begin() + row * im.width,
                                           im.indices.begin() + (row + 1) * im.width);
            ok = ok && EGifPutLine(gif, line.data(), im.width) == GIF_OK;
        }
    }
    if (EGifCloseFile(gif, &error) != GIF_OK) ok = false;
    GifFreeMapObject(map);
    if (!ok) out.clear();
    return out;
}

} // namespace kestrin::test
