#pragma once
// Builders of small Targa, Paintbrush, SGI, layered-document, icon and TIFF files for the
// image reader tests and the fuzz seeds, laid out field by field (TIFF through libtiff's
// own writer).

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <tiffio.h>
#include <unistd.h>

#include "tests/unit/bitmap_samples.h"

namespace kestrin::test {

inline void PutBE(std::vector<uint8_t>& v, uint32_t x, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) v.push_back(static_cast<uint8_t>(x >> (8 * i)));
}
inline void Append(std::vector<uint8_t>& v, const std::vector<uint8_t>& more) {
    v.insert(v.end(), more.begin(), more.end());
}

struct TgaSpec {
    uint8_t type = 2;
    uint16_t width = 1, height = 1;
    uint8_t bits = 24;
    uint8_t descriptor = 0; // alpha bits, 0x10 right-to-left, 0x20 top-down
    uint16_t mapFirst = 0;
    uint8_t mapBits = 24;
    std::vector<uint8_t> map; // entries as stored
    uint16_t mapLength = 0;
    std::string id;
    std::vector<uint8_t> data; // pixels or packets as stored
};

inline std::vector<uint8_t> MakeTga(const TgaSpec& s) {
    std::vector<uint8_t> f;
    const bool mapped = (s.type & 7) == 1;
    f.push_back(static_cast<uint8_t>(s.id.size()));
    f.push_back(mapped ? 1 : 0);
    f.push_back(s.type);
    PutLE(f, s.mapFirst, 2);
    PutLE(f, mapped ? s.mapLength : 0, 2);
    f.push_back(mapped ? s.mapBits : 0);
    PutLE(f, 0, 4); // origin
    PutLE(f, s.width, 2);
    PutLE(f, s.height, 2);
    f.push_back(s.bits);
    f.push_back(s.descriptor);
    f.insert(f.end(), s.id.begin(), s.id.end());
    Append(f, s.map);
    Append(f, s.data);
    return f;
}

struct PcxSpec {
    uint8_t bits = 8, planes = 1;
    uint16_t width = 1, height = 1;
    uint16_t lineBytes = 2;
    bool rle = true;
    std::vector<uint8_t> headerPalette; // up to 48 bytes
    std::vector<uint8_t> data;          // as stored
    std::vector<uint8_t> palette;       // 768 bytes appended after marker 12 when not empty
};

inline std::vector<uint8_t> MakePcx(const PcxSpec& s) {
    std::vector<uint8_t> f = {10, 5, uint8_t(s.rle ? 1 : 0), s.bits};
    PutLE(f, 3, 2); // xmin, ymin: the size counts from these
    PutLE(f, 7, 2);
    PutLE(f, 3u + s.width - 1, 2);
    PutLE(f, 7u + s.height - 1, 2);
    PutLE(f, 72, 2);
    PutLE(f, 72, 2);
    std::vector<uint8_t> pal = s.headerPalette;
    pal.resize(48, 0);
    Append(f, pal);
    f.push_back(0);
    f.push_back(s.planes);
    PutLE(f, s.lineBytes, 2);
    PutLE(f, 1, 2);
    f.resize(128, 0);
    Append(f, s.data);
    if (!s.palette.empty()) {
        f.push_back(12);
        Append(f, s.palette);
    }
    return f;
}

// Run-length rows of an SGI image: runs of two or more equal bytes, literal copies otherwise.
inline std::vector<uint8_t> SgiPackRow(const std::vector<uint8_t>& row) {
    std::vector<uint8_t> out;
    size_t i = 0;
    while (i < row.size()) {
        size_t run = 1;
        while (i + run < row.size() && row[i + run] == row[i] && run < 127) ++run;
        if (run >= 2) {
            out.push_back(static_cast<uint8_t>(run));
            out.push_back(row[i]);
            i += run;
            continue;
        }
        size_t lit = 1;
        while (i + lit < row.size() && lit < 127 &&
               !(i + lit + 1 < row.size() && row[i + lit] == row[i + lit + 1]))
            ++lit;
        out.push_back(static_cast<uint8_t>(0x80 | lit));
        out.insert(out.end(), row.begin() + static_cast<ptrdiff_t>(i),
                   row.begin() + static_cast<ptrdiff_t>(i + lit));
        i += lit;
    }
    out.push_back(0);
    return out;
}

struct SgiSpec {
    bool rle = false;
    uint16_t dimension = 3;
    uint16_t width = 1, height = 1, channels = 3;
    // One-byte samples: rows[channel][row from the bottom]
    std::vector<std::vector<std::vector<uint8_t>>> rows;
};

inline std::vector<uint8_t> MakeSgi(const SgiSpec& s) {
    std::vector<uint8_t> f;
    PutBE(f, 474, 2);
    f.push_back(s.rle ? 1 : 0);
    f.push_back(1);
    PutBE(f, s.dimension, 2);
    PutBE(f, s.width, 2);
    PutBE(f, s.height, 2);
    PutBE(f, s.channels, 2);
    PutBE(f, 0, 4);
    PutBE(f, 255, 4);
    f.resize(512, 0);
    if (!s.rle) {
        for (const auto& channel : s.rows)
            for (const auto& row : channel) Append(f, row);
        return f;
    }
    std::vector<std::vector<uint8_t>> packed;
    for (const auto& channel : s.rows)
        for (const auto& row : channel) packed.push_back(SgiPackRow(row));
    size_t at = 512 + 8 * packed.size();
    for (const auto& p : packed) {
        PutBE(f, static_cast<uint32_t>(at), 4);
        at += p.size();
    }
    for (const auto& p : packed) PutBE(f, static_cast<uint32_t>(p.size()), 4);
    for (const auto& p : packed) Append(f, p);
    return f;
}

// PackBits: repeated bytes as runs, every other byte as a one-byte literal.
inline std::vector<uint8_t> PackBits(const std::vector<uint8_t>& row) {
    std::vector<uint8_t> out;
    size_t i = 0;
    while (i < row.size()) {
        size_t run = 1;
        while (i + run < row.size() && row[i + run] == row[i] && run < 128) ++run;
        if (run >= 2) {
            out.push_back(static_cast<uint8_t>(257 - run));
            out.push_back(row[i]);
        } else {
            out.push_back(0);
            out.push_back(row[i]);
        }
        i += run;
    }
    return out;
}

struct PsdSpec {
    uint16_t mode = 3, depth = 8, channels = 3;
    uint32_t width = 1, height = 1;
    bool rle = false;
    std::vector<uint8_t> colorData;                      // the palette of indexed images
    std::vector<std::vector<std::vector<uint8_t>>> rows; // rows[channel][row] as stored
};

inline std::vector<uint8_t> MakePsd(const PsdSpec& s) {
    std::vector<uint8_t> f = {'8', 'B', 'P', 'S'};
    PutBE(f, 1, 2);
    f.resize(12, 0);
    PutBE(f, s.channels, 2);
    PutBE(f, s.height, 4);
    PutBE(f, s.width, 4);
    PutBE(f, s.depth, 2);
    PutBE(f, s.mode, 2);
    PutBE(f, static_cast<uint32_t>(s.colorData.size()), 4);
    Append(f, s.colorData);
    PutBE(f, 4, 4); // image resources: one that readers skip
    Append(f, {1, 2, 3, 4});
    PutBE(f, 0, 4); // no layers
    PutBE(f, s.rle ? 1 : 0, 2);
    if (!s.rle) {
        for (const auto& channel : s.rows)
            for (const auto& row : channel) Append(f, row);
        return f;
    }
    std::vector<std::vector<uint8_t>> packed;
    for (const auto& channel : s.rows)
        for (const auto& row : channel) packed.push_back(PackBits(row));
    for (const auto& p : packed) PutBE(f, static_cast<uint32_t>(p.size()), 2);
    for (const auto& p : packed) Append(f, p);
    return f;
}

// An icon image as stored: a BMP without its file header, the height doubled, then the mask.
inline std::vector<uint8_t> IconBitmap(BmpSpec s, const std::vector<std::vector<uint8_t>>& maskRows) {
    s.height *= 2;
    std::vector<uint8_t> f = MakeBmp(s);
    f.erase(f.begin(), f.begin() + 14);
    for (auto row : maskRows) {
        row.resize((row.size() + 3) & ~size_t(3), 0);
        Append(f, row);
    }
    return f;
}

struct IcoEntry {
    uint8_t width = 0, height = 0; // directory hints, 0 for 256
    uint16_t bits = 32;
    std::vector<uint8_t> image; // icon bitmap or PNG
};

inline std::vector<uint8_t> MakeIco(const std::vector<IcoEntry>& entries, uint16_t type = 1) {
    std::vector<uint8_t> f;
    PutLE(f, 0, 2);
    PutLE(f, type, 2);
    PutLE(f, static_cast<uint32_t>(entries.size()), 2);
    size_t at = 6 + 16 * entries.size();
    for (const IcoEntry& e : entries) {
        f.push_back(e.width);
        f.push_back(e.height);
        f.push_back(0);
        f.push_back(0);
        PutLE(f, 1, 2);
        PutLE(f, e.bits, 2);
        PutLE(f, static_cast<uint32_t>(e.image.size()), 4);
        PutLE(f, static_cast<uint32_t>(at), 4);
        at += e.image.size();
    }
    for (const IcoEntry& e : entries) Append(f, e.image);
    return f;
}

struct TiffSpec {
    uint32_t width = 1, height = 1;
    uint16_t samples = 3, bits = 8;
    uint16_t photometric = PHOTOMETRIC_RGB;
    uint16_t compression = COMPRESSION_NONE;
    uint16_t orientation = ORIENTATION_TOPLEFT;
    bool alpha = false;                     // last sample is unassociated alpha
    std::vector<std::vector<uint8_t>> rows; // interleaved samples, top row first as stored
};

inline void TiffQuiet(const char*, const char*, va_list) {}

inline std::vector<uint8_t> MakeTiff(const TiffSpec& s) {
    static int counter = 0;
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() /
        ("kestrin_tiff_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
    TIFFErrorHandler oldError = TIFFSetErrorHandler(TiffQuiet);
    TIFF* t = TIFFOpen(path.c_str(), "w");
    std::vector<uint8_t> bytes;
    if (t) {
        TIFFSetField(t, TIFFTAG_IMAGEWIDTH, s.width);
        TIFFSetField(t, TIFFTAG_IMAGELENGTH, s.height);
        TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, s.samples);
        TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, s.bits);
        TIFFSetField(t, TIFFTAG_PHOTOMETRIC, s.photometric);
        TIFFSetField(t, TIFFTAG_COMPRESSION, s.compression);
        TIFFSetField(t, TIFFTAG_ORIENTATION, s.orientation);
        TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, 2u);
        if (s.alpha) {
            uint16_t extra = EXTRASAMPLE_UNASSALPHA;
            TIFFSetField(t, TIFFTAG_EXTRASAMPLES, 1, &extra);
        }
        bool ok = true;
        for (uint32_t y = 0; y < s.height && ok; ++y) {
            std::vector<uint8_t> row = s.rows[y];
            ok = TIFFWriteScanline(t, row.data(), y, 0) >= 0;
        }
        TIFFClose(t);
        std::ifstream in(path, std::ios::binary);
        if (ok) bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    TIFFSetErrorHandler(oldError);
    std::filesystem::remove(path);
    return bytes;
}

} // namespace kestrin::test
