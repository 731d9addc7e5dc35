#include "graphics/background.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>

#include "base/file_io.h"
#include "base/numeric.h"
#include "base/stream.h"
#include "graphics/graphics_draw.h"
#include "graphics/graphics_texture.h"
#include "runner/game_data.h"

namespace kestrin {

namespace {
std::vector<std::unique_ptr<CBackground>> g_backgrounds;
std::vector<std::string> g_names;

TColor32 FromRunnerColour(int32_t colour, uint8_t alpha) {
    const uint32_t c = static_cast<uint32_t>(colour);
    return MakeColor32(uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16), alpha);
}
} // namespace

void CBackground::Clear() {
    i_bitmap.Clear();
    FreeTexture();
}

void CBackground::Assign(const CBackground& back) {
    if (&back == this) return;
    Clear();
    i_bitmap.Assign(back.i_bitmap);
    if (back.i_tex >= 0) InitTexture();
}

bool CBackground::LoadFromStream(CStream& stream) {
    try {
        if (stream.ReadInteger() != kBackgroundRecordVersion) return false;
        Clear();
        return i_bitmap.LoadFromStream(stream);
    } catch (const RunnerFault&) {
        return false;
    }
}

void CBackground::SaveToStream(CStream& stream) const {
    stream.WriteInteger(kBackgroundRecordVersion);
    i_bitmap.SaveToStream(stream);
}

void RemoveBackground(TBitmap32& bm) {
    if (bm.Empty()) return;
    const TColor32 key = bm.GetPixel(0, bm.Height() - 1) & 0xFFFFFF;
    for (TColor32& p : bm.s_data)
        if ((p & 0xFFFFFF) == key) p = key;
}

void SmoothEdges(TBitmap32& bm) {
    for (int32_t y = 0; y < bm.Height(); ++y)
        for (int32_t x = 0; x < bm.Width(); ++x) {
            if (AlphaOf(bm.GetPixel(x, y)) != 0) continue;
            for (int32_t j = std::max(y - 1, 0); j <= std::min(y + 1, bm.Height() - 1); ++j)
                for (int32_t i = std::max(x - 1, 0); i <= std::min(x + 1, bm.Width() - 1); ++i) {
                    const TColor32 p = bm.GetPixel(i, j);
                    if (AlphaOf(p) >= 32) bm.SetPixel(i, j, (p & 0xFFFFFF) | uint32_t(AlphaOf(p) - 32) << 24);
                }
        }
}

void FillTransparentColours(TBitmap32& bm) {
    const int32_t w = bm.Width(), h = bm.Height();
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            const TColor32 p = bm.GetPixel(x, y);
            if (AlphaOf(p) != 0) continue;
            const int32_t nx[4] = {x - 1, x + 1, x, x}, ny[4] = {y, y, y - 1, y + 1};
            for (int k = 0; k < 4; ++k) {
                if (nx[k] < 0 || ny[k] < 0 || nx[k] >= w || ny[k] >= h) continue;
                const TColor32 n = bm.GetPixel(nx[k], ny[k]);
                if (AlphaOf(n) != 0) {
                    bm.SetPixel(x, y, n & 0xFFFFFF);
                    break;
                }
            }
        }
}

void CBackground::CreateFromBitmap(const TBitmap32& bitmap, bool removeback, bool smooth) {
    Clear();
    i_bitmap.Assign(bitmap);
    if (removeback) RemoveBackground(i_bitmap);
    if (smooth) SmoothEdges(i_bitmap);
    if (removeback) FillTransparentColours(i_bitmap);
    InitTexture();
}

bool CBackground::LoadFromFile(const std::string& fname, bool removeback, bool smooth) {
    Clear();
    TBitmap32 bm;
    if (!bm.LoadFromImageFile(fname)) return false;
    CreateFromBitmap(bm, removeback, smooth);
    return true;
}

bool CBackground::LoadFromBackgroundBytes(std::vector<uint8_t> bytes) {
    try {
        CStream file(std::move(bytes));
        if (file.ReadInteger() != kBackgroundFileMagic) return false;
        Clear();
        CStream body = file.ReadStreamC();
        if (body.ReadInteger() != kBackgroundRecordVersion) return false;
        (void)body.ReadBoolean();
        for (int i = 0; i < 6; ++i) (void)body.ReadInteger();
        if (!i_bitmap.LoadFromStream(body)) {
            i_bitmap.Clear();
            return false;
        }
    } catch (const RunnerFault&) {
        i_bitmap.Clear();
        return false;
    }
    FillTransparentColours(i_bitmap);
    InitTexture();
    return true;
}

bool CBackground::LoadFromBackgroundFile(const std::string& fname) {
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(fname, bytes)) return false;
    return LoadFromBackgroundBytes(std::move(bytes));
}

std::vector<uint8_t> CBackground::SaveToBackgroundBytes() const {
    CStream body;
    body.WriteInteger(kBackgroundRecordVersion);
    body.WriteBoolean(false);
    for (int i = 0; i < 6; ++i) body.WriteInteger(0);
    i_bitmap.SaveToStream(body);
    CStream file;
    file.WriteInteger(kBackgroundFileMagic);
    file.WriteStreamC(body);
    return file.TakeBytes();
}

void CBackground::CreateColor(int32_t w, int32_t h, int32_t colour) {
    Clear();
    i_bitmap.Resize(std::max(w, 1), std::max(h, 1), FromRunnerColour(colour, 255));
    InitTexture();
}

void CBackground::CreateGradient(int32_t w, int32_t h, int32_t col1, int32_t col2, int32_t kind) {
    Clear();
    w = std::max(w, 1);
    h = std::max(h, 1);
    if (!i_bitmap.Resize(w, h, FromRunnerColour(col1, 255))) return;
    auto at = [&](double t) { return FromRunnerColour(MergeColour(col1, col2, t), 255); };
    auto column = [&](int32_t x, TColor32 c) {
        for (int32_t y = 0; y < h; ++y) i_bitmap.SetPixel(x, y, c);
    };
    auto row = [&](int32_t y, TColor32 c) {
        for (int32_t x = 0; x < w; ++x) i_bitmap.SetPixel(x, y, c);
    };
    const int32_t half = std::max(std::min(w, h) / 2, 1);
    switch (kind) {
    case 0:
        for (int32_t x = 0; x < w; ++x) column(x, at(double(x) / w));
        break;
    case 1:
        for (int32_t y = 0; y < h; ++y) row(y, at(double(y) / h));
        break;
    case 2: // concentric rectangles: inset i is the distance to the nearest edge
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x) {
                const int32_t i = std::min({x, y, w - 1 - x, h - 1 - y});
                i_bitmap.SetPixel(x, y, at(std::min(1.0, double(i) / half)));
            }
        break;
    case 3: // concentric ellipses: inset by the elliptic distance from the rim
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x) {
                const double dx = (x + 0.5 - w / 2.0) / (w / 2.0), dy = (y + 0.5 - h / 2.0) / (h / 2.0);
                const double r = std::sqrt(dx * dx + dy * dy);
                if (r > 1.0) continue;
                const double i = std::floor((1.0 - r) * half);
                i_bitmap.SetPixel(x, y, at(std::min(1.0, i / half)));
            }
        break;
    case 4:
        for (int32_t x = 0; x < (w + 1) / 2; ++x) {
            const TColor32 c = at(double(x) / std::max(w / 2, 1));
            column(x, c);
            column(w - 1 - x, c);
        }
        break;
    case 5:
        for (int32_t y = 0; y < (h + 1) / 2; ++y) {
            const TColor32 c = at(double(y) / std::max(h / 2, 1));
            row(y, c);
            row(h - 1 - y, c);
        }
        break;
    case 6:
    case 7: // diagonals: t along x + y (6) or along x + (h - 1 - y) (7)
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x) {
                const int32_t d = kind == 6 ? x + y : x + (h - 1 - y);
                i_bitmap.SetPixel(x, y, at(double(d) / std::max(w + h - 2, 1)));
            }
        break;
    default:
        break;
    }
    InitTexture();
}

void CBackground::SetAlphaFromBackground(const CBackground& back) {
    const int32_t w = std::min(GetWidth(), back.GetWidth()), h = std::min(GetHeight(), back.GetHeight());
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            const TColor32 s = back.i_bitmap.GetPixel(x, y);
            const uint32_t a = ((s >> 16 & 0xFF) + (s >> 8 & 0xFF) + (s & 0xFF)) / 3;
            i_bitmap.SetPixel(x, y, (i_bitmap.GetPixel(x, y) & 0xFFFFFF) | a << 24);
        }
    InitTexture();
}

void CBackground::InitTexture() {
    FreeTexture();
    i_tex = GR_Texture_Create_From_Bitmap(&i_bitmap);
    GR_Texture_Preload(i_tex);
}

void CBackground::FreeTexture() {
    if (i_tex >= 0) GR_Texture_Free(i_tex);
    i_tex = -1;
}

void CBackground::DrawSimple(double x, double y) const {
    GR_Texture_Draw(i_tex, x, y);
}

void CBackground::Draw(double x, double y, double xscale, double yscale, double angle, int32_t colour,
                       double alpha) const {
    GR_Texture_DrawTransformed(i_tex, colour, 0, 0, x, y, xscale, yscale, angle * M_PI / 180.0, alpha);
}

void CBackground::DrawStretched(double x, double y, double w, double h, int32_t colour, double alpha) const {
    if (GetWidth() <= 0 || GetHeight() <= 0) return;
    GR_Texture_DrawTransformed(i_tex, colour, 0, 0, x, y, w / GetWidth(), h / GetHeight(), 0, alpha);
}

void CBackground::DrawPart(double xo, double yo, double w, double h, double x, double y, double xscale,
                           double yscale, int32_t colour, double alpha) const {
    GR_Texture_DrawPart(i_tex, colour, xo, yo, w, h, x, y, xscale, yscale, 0, alpha);
}

void CBackground::DrawGeneral(double xo, double yo, double w, double h, double x, double y, double xscale,
                              double yscale, double angle, int32_t c1, int32_t c2, int32_t c3, int32_t c4,
                              double alpha) const {
    GR_Texture_DrawGeneral(i_tex, c1, c2, c3, c4, xo, yo, w, h, x, y, xscale, yscale, angle * M_PI / 180.0,
                           alpha);
}

void CBackground::DrawTiled(double x, double y, double xscale, double yscale, bool htiled, bool vtiled,
                            double xr, double yr, double wr, double hr, int32_t colour, double alpha) const {
    GR_Texture_DrawTiled(i_tex, htiled, vtiled, 0, 0, x, y, xscale, yscale, xr, yr, wr, hr, colour, alpha);
}

bool Background_Exists(int32_t ind) {
    return ind >= 0 && ind < Background_Count() && g_backgrounds[size_t(ind)] != nullptr;
}
CBackground* Background_Get(int32_t ind) {
    return Background_Exists(ind) ? g_backgrounds[size_t(ind)].get() : nullptr;
}
std::string Background_GetName(int32_t ind) {
    return Background_Exists(ind) ? g_names[size_t(ind)] : "<undefined>";
}
int32_t Background_Count() {
    return static_cast<int32_t>(g_backgrounds.size());
}

int32_t Background_Find(const std::string& name) {
    for (int32_t i = 0; i < Background_Count(); ++i)
        if (g_backgrounds[size_t(i)] && g_names[size_t(i)] == name) return i;
    return -1;
}

int32_t Background_AddNew(std::unique_ptr<CBackground> back) {
    const int32_t ind = Background_Count();
    g_backgrounds.push_back(std::move(back));
    g_names.push_back("__newbackground" + std::to_string(ind));
    return ind;
}

bool Background_Delete(int32_t ind) {
    if (!Background_Exists(ind)) return false;
    g_backgrounds[size_t(ind)].reset();
    g_names[size_t(ind)].clear();
    return true;
}

namespace {

// Loads into a fresh background, so that a file that does not load changes nothing.
template <typename Load> std::unique_ptr<CBackground> LoadAside(Load load) {
    auto back = std::make_unique<CBackground>();
    if (!load(*back)) return nullptr;
    return back;
}

bool ReplaceSlot(int32_t ind, std::unique_ptr<CBackground> back) {
    if (!back) return false;
    g_backgrounds[size_t(ind)] = std::move(back);
    if (g_names[size_t(ind)].empty()) g_names[size_t(ind)] = "__newbackground" + std::to_string(ind);
    return true;
}

} // namespace

int32_t Background_Add(const std::string& fname, bool removeback, bool smooth) {
    auto back = LoadAside([&](CBackground& b) { return b.LoadFromFile(fname, removeback, smooth); });
    return back ? Background_AddNew(std::move(back)) : -1;
}

int32_t Background_AddBackground(const std::string& fname) {
    auto back = LoadAside([&](CBackground& b) { return b.LoadFromBackgroundFile(fname); });
    return back ? Background_AddNew(std::move(back)) : -1;
}

bool Background_Replace(int32_t ind, const std::string& fname, bool removeback, bool smooth) {
    if (ind < 0 || ind >= Background_Count()) return false;
    return ReplaceSlot(ind,
                       LoadAside([&](CBackground& b) { return b.LoadFromFile(fname, removeback, smooth); }));
}

bool Background_ReplaceBackground(int32_t ind, const std::string& fname) {
    if (ind < 0 || ind >= Background_Count()) return false;
    return ReplaceSlot(ind, LoadAside([&](CBackground& b) { return b.LoadFromBackgroundFile(fname); }));
}

int32_t Background_Duplicate(int32_t ind) {
    const CBackground* from = Background_Get(ind);
    if (!from) return -1;
    auto copy = std::make_unique<CBackground>();
    copy->Assign(*from);
    return Background_AddNew(std::move(copy));
}

bool Background_AssignTo(int32_t ind, int32_t back) {
    if (!Background_Exists(back) || ind < 0 || ind >= Background_Count()) return false;
    if (ind == back) return true;
    auto& slot = g_backgrounds[size_t(ind)];
    if (!slot) {
        slot = std::make_unique<CBackground>();
        g_names[size_t(ind)] = "__newbackground" + std::to_string(ind);
    }
    slot->Assign(*g_backgrounds[size_t(back)]);
    return true;
}

void Background_InitTextures() {
    for (auto& b : g_backgrounds)
        if (b) b->InitTexture();
}

void Background_ClearAll() {
    g_backgrounds.clear();
    g_names.clear();
}

bool Background_LoadChunk(CStream& stream) {
    // Read aside and installed only whole: a damaged entry leaves the table as it was.
    std::vector<std::unique_ptr<CBackground>> backgrounds;
    std::vector<std::string> names;
    try {
        if (stream.ReadInteger() != kBackgroundChunkVersion) return false;
        const int32_t count = stream.ReadInteger();
        // Every entry takes at least a sub-stream length, so the count cannot exceed what is left.
        stream.CheckCount(count, 4);
        backgrounds.reserve(size_t(count));
        names.reserve(size_t(count));
        for (int32_t i = 0; i < count; ++i) {
            CStream entry = stream.ReadStreamC();
            if (!entry.ReadBoolean()) {
                backgrounds.emplace_back();
                names.emplace_back();
                continue;
            }
            std::string name = entry.ReadString();
            auto back = std::make_unique<CBackground>();
            if (!back->LoadFromStream(entry)) return false;
            backgrounds.push_back(std::move(back));
            names.push_back(std::move(name));
        }
    } catch (const RunnerFault&) {
        return false;
    }
    Background_ClearAll();
    g_backgrounds = std::move(backgrounds);
    g_names = std::move(names);
    return true;
}

bool Background_LoadRecords(const std::vector<RawResource>& records) {
    Background_ClearAll();
    for (const RawResource& record : records) {
        std::unique_ptr<CBackground> back;
        if (record.present) {
            back = std::make_unique<CBackground>();
            CStream in(record.record);
            if (!back->LoadFromStream(in)) {
                Background_ClearAll();
                return false;
            }
        }
        g_names.push_back(record.present ? record.name : std::string());
        g_backgrounds.push_back(std::move(back));
    }
    return true;
}

void Background_SaveChunk(CStream& stream) {
    stream.WriteInteger(kBackgroundChunkVersion);
    stream.WriteInteger(Background_Count());
    for (int32_t i = 0; i < Background_Count(); ++i) {
        CStream entry;
        entry.WriteBoolean(g_backgrounds[size_t(i)] != nullptr);
        if (g_backgrounds[size_t(i)]) {
            entry.WriteString(g_names[size_t(i)]);
            g_backgrounds[size_t(i)]->SaveToStream(entry);
        }
        stream.WriteStreamC(entry);
    }
}

} // namespace kestrin
