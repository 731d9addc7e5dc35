// Sprites from image files, GIF animations, ".ksspr" files, other bitmaps and other sprites,
// and the frame clean-ups those loads apply.

#include <algorithm>
#include <cstdint>

#include "base/file_io.h"
#include "base/image_gif.h"
#include "base/stream.h"
#include "graphics/background.h"
#include "graphics/sprite.h"

namespace kestrin {

namespace {

// What transparent parts of GIF frames show before the clean-ups key them out.
constexpr TColor32 kGifFill = MakeColor32(64, 128, 0, 255);

// Nothing this runner decodes needs more than the pixels it may hold plus room for headers.
constexpr int64_t kMaxSpriteFileBytes = kMaxBitmapPixels * 4 + (int64_t(64) << 20);

bool ReadBoundedFile(const std::string& fname, std::vector<uint8_t>& bytes) {
    const int64_t size = RegularFileSize(fname);
    if (size < 0 || size > kMaxSpriteFileBytes) return false;
    return ReadWholeFile(fname, bytes);
}

// A sprite grown by adding frames holds no more pixels in all than one loaded image or GIF
// animation may: frames of w x h, counted before any is copied.
bool GrowthFits(int64_t frames, int32_t w, int32_t h) {
    return frames <= kMaxSpriteFrames &&
           int64_t(std::max(w, 0)) * std::max(h, 0) * frames <= kMaxBitmapPixels;
}

bool HasGifExtension(const std::string& fname) {
    const size_t dot = fname.find_last_of('.');
    const size_t slash = fname.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return false;
    std::string ext = fname.substr(dot);
    for (char& c : ext)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return ext == ".gif";
}

} // namespace

void MakeOpaque(TBitmap32& bm) {
    for (TColor32& p : bm.s_data) p |= 0xFF000000u;
}

void AlphaFromIntensity(TBitmap32& bm, const TBitmap32& src) {
    const int32_t w = std::min(bm.Width(), src.Width()), h = std::min(bm.Height(), src.Height());
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            const TColor32 s = src.GetPixel(x, y);
            const uint32_t a = ((s >> 16 & 0xFF) + (s >> 8 & 0xFF) + (s & 0xFF)) / 3;
            bm.SetPixel(x, y, (bm.GetPixel(x, y) & 0xFFFFFF) | a << 24);
        }
}

void CleanFrame(TBitmap32& bm, bool removeback, bool smooth) {
    if (removeback) RemoveBackground(bm);
    if (smooth) SmoothEdges(bm);
    if (removeback) FillTransparentColours(bm);
}

bool CSprite::LoadFromFile(const std::string& fname, int32_t imgnumb, bool removeback, bool smooth,
                           int32_t xo, int32_t yo) {
    if (RegularFileSize(fname) < 0) return false;
    CSprite loaded;
    const bool ok = HasGifExtension(fname) ? loaded.LoadGifFromFile(fname, removeback, smooth)
                                           : loaded.LoadStripFromFile(fname, imgnumb, removeback, smooth);
    if (!ok) return false;
    loaded.i_xorig = xo;
    loaded.i_yorig = yo;
    loaded.ComputeMask(false, kBoxAutomatic, TRect{}, kMaskPrecise, 0);
    TakeFrom(loaded);
    InitTexture();
    return true;
}

bool CSprite::LoadGifFromFile(const std::string& fname, bool removeback, bool smooth) {
    std::vector<uint8_t> bytes;
    if (!ReadBoundedFile(fname, bytes)) return false;
    return LoadGifFromBytes(bytes, removeback, smooth);
}

bool CSprite::LoadGifFromBytes(std::span<const uint8_t> bytes, bool removeback, bool smooth) {
    std::vector<TBitmap32> frames;
    if (!DecodeGifOnFill(bytes, kGifFill, frames)) return false;
    CSprite loaded;
    loaded.i_bitmap = std::move(frames);
    loaded.i_numb = static_cast<int32_t>(loaded.i_bitmap.size());
    for (TBitmap32& bm : loaded.i_bitmap) CleanFrame(bm, removeback, smooth);
    TakeFrom(loaded);
    return true;
}

bool CSprite::LoadStripFromFile(const std::string& fname, int32_t imgnumb, bool removeback, bool smooth) {
    TBitmap32 image;
    if (!image.LoadFromImageFile(fname)) return false;
    LoadStripFromBitmap(image, imgnumb, removeback, smooth);
    return true;
}

void CSprite::LoadStripFromBitmap(const TBitmap32& image, int32_t imgnumb, bool removeback, bool smooth) {
    CSprite loaded;
    const int32_t count = std::clamp(imgnumb, 1, kMaxSpriteFrames);
    // Columns left over at the right are dropped.
    const int32_t fw = image.Width() / count;
    loaded.i_bitmap.resize(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i) {
        TBitmap32& frame = loaded.i_bitmap[static_cast<size_t>(i)];
        if (fw <= 0 || !frame.Resize(fw, image.Height())) continue;
        frame.DrawPart(0, 0, &image, i * fw, 0, fw, image.Height());
        CleanFrame(frame, removeback, smooth);
    }
    loaded.i_numb = count;
    TakeFrom(loaded);
}

bool CSprite::LoadFromSpriteFile(const std::string& fname) {
    std::vector<uint8_t> bytes;
    if (!ReadBoundedFile(fname, bytes)) return false;
    return LoadFromSpriteBytes(std::move(bytes));
}

bool CSprite::LoadFromSpriteBytes(std::vector<uint8_t> bytes) {
    CSprite loaded;
    int32_t kind = 0, tolerance = 0, bbmode = 0;
    bool sepmasks = false;
    TRect box;
    try {
        CStream file(std::move(bytes));
        if (file.ReadInteger() != kSpriteFileMagic) return false;
        CStream body = file.ReadStreamC();
        if (body.ReadInteger() != kSpriteFileVersion) return false;
        loaded.i_xorig = body.ReadInteger();
        loaded.i_yorig = body.ReadInteger();
        const int32_t n = body.ReadInteger();
        if (n < 0 || n > kMaxSpriteFrames) return false;
        body.CheckCount(n, 12);
        loaded.i_bitmap.resize(static_cast<size_t>(n));
        for (TBitmap32& bm : loaded.i_bitmap) {
            if (!bm.LoadFromStream(body)) return false;
            FillTransparentColours(bm);
        }
        loaded.i_numb = n;
        kind = body.ReadInteger();
        tolerance = body.ReadInteger();
        sepmasks = body.ReadBoolean();
        bbmode = body.ReadInteger();
        box.Left = body.ReadInteger();
        box.Right = body.ReadInteger();
        box.Bottom = body.ReadInteger();
        box.Top = body.ReadInteger();
    } catch (const StreamError&) {
        return false;
    }
    loaded.ComputeMask(sepmasks, bbmode, box, kind, tolerance);
    TakeFrom(loaded);
    InitTexture();
    return true;
}

std::vector<uint8_t> CSprite::SaveToSpriteBytes(int32_t kind, int32_t tolerance, int32_t bbmode,
                                                const TRect& bbox) const {
    CStream body;
    body.WriteInteger(kSpriteFileVersion);
    body.WriteInteger(i_xorig);
    body.WriteInteger(i_yorig);
    body.WriteInteger(i_numb);
    for (const TBitmap32& bm : i_bitmap) bm.SaveToStream(body);
    body.WriteInteger(kind);
    body.WriteInteger(tolerance);
    body.WriteBoolean(i_sepmasks);
    body.WriteInteger(bbmode);
    body.WriteInteger(bbox.Left);
    body.WriteInteger(bbox.Right);
    body.WriteInteger(bbox.Bottom);
    body.WriteInteger(bbox.Top);
    CStream file;
    file.WriteInteger(kSpriteFileMagic);
    file.WriteStreamC(body);
    return file.TakeBytes();
}

void CSprite::CreateFromBitmap(const TBitmap32& bbb, int32_t removeback, bool smooth, int32_t xo,
                               int32_t yo) {
    Clear();
    TBitmap32 frame(bbb);
    if (removeback != 2) frame.ApplyAlphaTest();
    if (removeback == 1) RemoveBackground(frame);
    if (smooth) SmoothEdges(frame);
    if (removeback == 1) FillTransparentColours(frame);
    if (removeback == -1) MakeOpaque(frame);
    i_bitmap.push_back(std::move(frame));
    i_numb = 1;
    i_xorig = xo;
    i_yorig = yo;
    InitTexture();
    ComputeMask(false, kBoxAutomatic, TRect{}, kMaskPrecise, 0);
}

void CSprite::AddFromBitmap(const TBitmap32& bbb, bool removeback, bool smooth) {
    if (i_numb >= kMaxSpriteFrames) return;
    if (i_numb > 0 ? !GrowthFits(i_numb + int64_t{1}, GetWidth(), GetHeight())
                   : !GrowthFits(1, bbb.Width(), bbb.Height()))
        return;
    TBitmap32 frame(bbb);
    CleanFrame(frame, removeback, smooth);
    // The first frame of an empty sprite sets the size instead of being squeezed to 1 × 1.
    if (i_numb > 0) frame.Stretch(GetWidth(), GetHeight(), 1);
    i_bitmap.push_back(std::move(frame));
    i_numb = static_cast<int32_t>(i_bitmap.size());
    InitTexture();
    ComputeMask(i_sepmasks, kBoxAutomatic, TRect{}, kMaskPrecise, 0);
}

void CSprite::AddFromSprite(const CSprite& spr) {
    if (spr.i_numb <= 0 || spr.i_bitmap.empty()) return;
    const int64_t total = int64_t(i_numb) + int64_t(spr.i_bitmap.size());
    if (total > kMaxSpriteFrames) return;
    const int32_t w = i_numb > 0 ? GetWidth() : spr.i_bitmap[0].Width();
    const int32_t h = i_numb > 0 ? GetHeight() : spr.i_bitmap[0].Height();
    // Checked before anything is copied: merging a sprite into itself doubles it each time.
    if (!GrowthFits(total, w, h)) return;
    // Copied first: spr may be this sprite.
    std::vector<TBitmap32> frames = spr.i_bitmap;
    for (TBitmap32& frame : frames) {
        frame.Stretch(w, h, 1);
        i_bitmap.push_back(std::move(frame));
    }
    i_numb = static_cast<int32_t>(i_bitmap.size());
    InitTexture();
    ComputeMask(i_sepmasks, kBoxAutomatic, TRect{}, kMaskPrecise, 0);
}

void CSprite::SetAlphaFromSprite(const CSprite& spr) {
    if (spr.i_numb <= 0 || spr.i_bitmap.empty()) return;
    for (size_t i = 0; i < i_bitmap.size(); ++i)
        AlphaFromIntensity(i_bitmap[i], spr.i_bitmap[i % spr.i_bitmap.size()]);
    InitTexture();
}

} // namespace kestrin
