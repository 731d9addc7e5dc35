#include "graphics/font.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "base/code_page.h"
#include "graphics/font_atlas.h"
#include "graphics/glyph_source.h"
#include "graphics/graphics_draw.h"
#include "graphics/graphics_texture.h"
#include "runner/game_data.h"
#include "base/stream.h"
#include "graphics/sprite.h"

namespace kestrin {

namespace {

// Never destroyed: fonts free their textures, and at exit the texture table may be gone first.
struct FontTable {
    std::vector<std::unique_ptr<CFont>> fonts;
    std::vector<std::string> names;
};
FontTable& Table() {
    static auto* table = new FontTable();
    return *table;
}

uint64_t g_generation = 1;

int32_t Saturate(int64_t v) {
    return static_cast<int32_t>(
        std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

} // namespace

uint64_t Font_Generation() {
    return g_generation;
}

void Font_GlyphsChanged() {
    ++g_generation;
}

void CFont::Clear() {
    Font_GlyphsChanged();
    FreeTexture();
    s_name.clear();
    s_size = 12;
    s_bold = s_italic = false;
    s_first = 32;
    s_last = 128;
    s_spr = -1;
    s_charset = 1;
    s_AntiAlias = 3;
    s_x.fill(0);
    s_y.fill(0);
    s_w.fill(0);
    s_h.fill(0);
    s_shift.fill(0);
    s_offset.fill(0);
    s_bw = s_bh = 0;
    s_bytes.clear();
    s_FontHeight = 0;
}

void CFont::Assign(const CFont& obj) {
    if (&obj == this) return;
    Clear();
    s_name = obj.s_name;
    s_size = obj.s_size;
    s_bold = obj.s_bold;
    s_italic = obj.s_italic;
    s_charset = obj.s_charset;
    s_AntiAlias = obj.s_AntiAlias;
    s_first = obj.s_first;
    s_last = obj.s_last;
    s_spr = obj.s_spr;
    s_x = obj.s_x;
    s_y = obj.s_y;
    s_w = obj.s_w;
    s_h = obj.s_h;
    s_shift = obj.s_shift;
    s_offset = obj.s_offset;
    s_FontHeight = obj.s_FontHeight;
    if (!IsSpriteFont()) {
        s_bw = obj.s_bw;
        s_bh = obj.s_bh;
        s_bytes = obj.s_bytes;
    }
    InitTexture();
}

bool CFont::LoadFromStream(CStream& stream) {
    Clear();
    try {
        if (stream.ReadInteger() != kFontRecordVersion) return false;
        s_name = stream.ReadString();
        s_size = stream.ReadInteger();
        s_bold = stream.ReadBoolean();
        s_italic = stream.ReadBoolean();
        const uint32_t packed = stream.ReadWord();
        s_first = static_cast<int32_t>(packed & 0xFFFF);
        if (const uint32_t set = packed >> 16 & 0xFF; set != 0) s_charset = static_cast<int32_t>(set);
        if (const uint32_t top = packed >> 24; top != 0) s_AntiAlias = static_cast<int32_t>(top) - 1;
        s_last = stream.ReadInteger();
        stream.CheckCount(256, 24);
        for (size_t g = 0; g < 256; ++g) {
            s_x[g] = stream.ReadInteger();
            s_y[g] = stream.ReadInteger();
            s_w[g] = stream.ReadInteger();
            s_h[g] = stream.ReadInteger();
            s_shift[g] = stream.ReadInteger();
            s_offset[g] = stream.ReadInteger();
            s_FontHeight = std::max(s_FontHeight, s_h[g]);
        }
        const int32_t w = stream.ReadInteger(), h = stream.ReadInteger();
        if (w < 0 || h < 0 || w > kMaxFontAtlasSide || h > kMaxFontAtlasSide ||
            int64_t(w) * h > kMaxFontAtlasBytes) {
            Clear();
            return false;
        }
        CStream atlas = stream.ReadStreamC();
        const size_t bytes = size_t(w) * size_t(h);
        if (atlas.Size() < bytes) {
            Clear();
            return false;
        }
        s_bw = w;
        s_bh = h;
        s_bytes = atlas.ReadBytes(bytes);
        return true;
    } catch (const RunnerFault&) {
        Clear();
        return false;
    }
}

void CFont::SaveToStream(CStream& stream) const {
    stream.WriteInteger(kFontRecordVersion);
    stream.WriteString(s_name);
    stream.WriteInteger(s_size);
    stream.WriteBoolean(s_bold);
    stream.WriteBoolean(s_italic);
    // A level outside what the top byte holds reads back as the default.
    const uint32_t top = s_AntiAlias >= 0 && s_AntiAlias < 255 ? uint32_t(s_AntiAlias) + 1 : 0;
    stream.WriteWord((uint32_t(s_first) & 0xFFFF) | (uint32_t(s_charset) & 0xFF) << 16 | top << 24);
    stream.WriteInteger(s_last);
    for (size_t g = 0; g < 256; ++g) {
        stream.WriteInteger(s_x[g]);
        stream.WriteInteger(s_y[g]);
        stream.WriteInteger(s_w[g]);
        stream.WriteInteger(s_h[g]);
        stream.WriteInteger(s_shift[g]);
        stream.WriteInteger(s_offset[g]);
    }
    stream.WriteInteger(s_bw);
    stream.WriteInteger(s_bh);
    CStream atlas;
    atlas.WriteBytes(s_bytes);
    stream.WriteStreamC(atlas);
}

void CFont::CreateFont(std::string_view name, int32_t size, bool bold, bool italic, int32_t first,
                       int32_t last, int32_t charset) {
    Clear();
    s_name = std::string(name);
    s_size = size;
    s_bold = bold;
    s_italic = italic;
    s_first = std::max(first, 0);
    s_last = std::min(last, 255);
    s_charset = charset;
    s_AntiAlias = 3;

    GlyphSource* source = CurrentGlyphSource();
    std::unique_ptr<GlyphFace> face =
        source ? source->Open({s_name, s_size, s_bold, s_italic, s_charset}) : nullptr;
    if (!face) return;
    const GlyphFaceMetrics metrics = face->Metrics();
    const int32_t codePage = GetCodePage();
    auto render = [&](int32_t g, GlyphImage& img) {
        img = GlyphImage();
        const char32_t ch = CodePageCharacter(static_cast<unsigned char>(g), codePage);
        return ch != 0 && face->Render(ch, img);
    };

    // 1. Cells from the glyph metrics.
    int32_t spaceAdvance = 0;
    GlyphImage img;
    for (int32_t g = s_first; g <= s_last; ++g) {
        const size_t i = size_t(g);
        const bool ok = render(g, img);
        if (ok) {
            s_w[i] = img.black_w;
            s_h[i] = metrics.ascent - img.origin_y + img.black_h;
            s_shift[i] = img.advance - std::min(img.origin_x, 0);
            s_offset[i] = img.origin_x;
        }
        if (g == 32)
            spaceAdvance =
                img.advance != 0 ? img.advance : std::min(metrics.average_width, metrics.max_width);
    }
    if (s_first <= 32 && 32 <= s_last) {
        if (s_h[32] == 0) s_h[32] = metrics.height;
        if (s_w[32] == 0) s_w[32] = s_shift[32] = spaceAdvance;
    }
    for (int32_t g = s_first; g <= s_last; ++g) s_FontHeight = std::max(s_FontHeight, s_h[size_t(g)]);

    // 2. Largest first; equal areas keep index order so a build is reproducible.
    std::vector<int32_t> order;
    for (int32_t g = s_first; g <= s_last; ++g)
        if (int64_t(s_w[size_t(g)]) * s_h[size_t(g)] != 1) order.push_back(g);
    auto area = [this](int32_t g) { return int64_t(s_w[size_t(g)]) * s_h[size_t(g)]; };
    std::stable_sort(order.begin(), order.end(), [&](int32_t a, int32_t b) { return area(a) > area(b); });

    // 3. and 4. The atlas size and the cells; pixels outside the atlas are never written.
    std::vector<AtlasCell> cells;
    for (int32_t g : order) cells.push_back({s_w[size_t(g)], s_h[size_t(g)]});
    const AtlasLayout layout = PackAtlas(cells);
    s_bw = layout.width;
    s_bh = layout.height;
    s_bytes.assign(size_t(s_bw) * size_t(s_bh), 0);
    for (size_t k = 0; k < order.size(); ++k) {
        const int32_t g = order[k];
        s_x[size_t(g)] = layout.positions[k].x;
        s_y[size_t(g)] = layout.positions[k].y;
        if (g == 32 || !render(g, img)) continue;
        if (img.black_w <= 0 || img.black_h <= 0 || img.pitch < img.black_w ||
            img.coverage.size() < size_t(img.pitch) * size_t(img.black_h))
            continue;
        const int64_t top = int64_t(s_y[size_t(g)]) + metrics.ascent - img.origin_y;
        for (int32_t r = 0; r < img.black_h; ++r) {
            const int64_t y = top + r;
            if (y < 0 || y >= s_bh) continue;
            for (int32_t c = 0; c < img.black_w; ++c) {
                const int64_t x = int64_t(s_x[size_t(g)]) + c;
                if (x < 0 || x >= s_bw) continue;
                const uint8_t v = img.coverage[size_t(r) * size_t(img.pitch) + size_t(c)];
                s_bytes[size_t(y) * size_t(s_bw) + size_t(x)] = v >= 64 ? 255 : uint8_t(v * 4);
            }
        }
    }
    // 5.
    InitTexture();
}

bool CFont::CreateFromSprite(int32_t ind, int32_t first, bool prop, int32_t sep) {
    const CSprite* spr = Sprite_Get(ind);
    if (!spr) return false;
    Clear();
    s_spr = ind;
    s_first = std::clamp(first, 0, 255);
    s_last = static_cast<int32_t>(std::min<int64_t>(int64_t(s_first) + spr->i_numb - 1, 255));
    s_charset = 1;
    s_AntiAlias = 0;
    const int32_t width = spr->GetWidth(), height = spr->GetHeight();
    for (int32_t g = s_first; g <= s_last; ++g) {
        const size_t i = size_t(g);
        const TRect r = prop ? spr->GetBoundingBoxImg(g - s_first) : TRect{0, 0, width, height};
        s_w[i] = r.Right - r.Left;
        s_h[i] = height;
        s_shift[i] = Saturate(int64_t(r.Right) + sep - r.Left);
        s_offset[i] = -r.Left;
    }
    s_FontHeight = height;
    return true;
}

void CFont::InitTexture() {
    FreeTexture();
    if (IsSpriteFont() || s_name.empty() || s_bw <= 0 || s_bh <= 0) return;
    if (s_bytes.size() < size_t(s_bw) * size_t(s_bh)) return;
    s_tex = GR_Texture_Create_From_Alpha(s_bw, s_bh, s_bytes.data());
}

void CFont::FreeTexture() {
    if (s_tex >= 0) GR_Texture_Free(s_tex);
    s_tex = -1;
}

int32_t CFont::GetCodePage() const {
    return CharsetCodePage(s_charset);
}

std::string CFont::Glyphs(std::string_view text) const {
    return ToCodePage(text, GetCodePage());
}

int32_t CFont::Advance(unsigned char g) const {
    if (HasGlyph(g)) return s_shift[g];
    if (s_first <= 32 && 32 <= s_last) return s_shift[32];
    // A damaged record may name a first glyph beyond the table.
    return s_first >= 0 && s_first < 256 ? s_shift[size_t(s_first)] : 0;
}

int32_t CFont::TextWidth(std::string_view text) const {
    int64_t w = 0;
    for (char c : Glyphs(text)) w += Advance(static_cast<unsigned char>(c));
    return Saturate(w);
}

int32_t CFont::TextHeight(std::string_view) const {
    return s_FontHeight;
}

void CFont::DrawGlyph(unsigned char g, double x, double y, double xsc, double ysc, double angle,
                      const int32_t* c, bool gradient, double alpha) const {
    if (IsSpriteFont()) {
        const CSprite* spr = Sprite_Get(s_spr);
        if (!spr) return;
        const int32_t frame = int32_t(g) - s_first;
        if (!gradient)
            spr->Draw(frame, x, y, xsc, ysc, angle, c[0], alpha);
        else
            spr->DrawGeneral(frame, 0, 0, spr->GetWidth(), spr->GetHeight(), x, y, xsc, ysc, angle, c[0],
                             c[1], c[2], c[3], alpha);
        return;
    }
    GR_Texture_DrawGeneral(s_tex, c[0], c[1], c[2], c[3], s_x[g], s_y[g], s_w[g], s_h[g], x, y, xsc, ysc,
                           angle * M_PI / 180.0, alpha);
}

void CFont::DrawGlyphs(double x, double y, std::string_view glyphs, double xsc, double ysc, double angle,
                       const int32_t* c4, bool gradient, double alpha) const {
    const double theta = angle * M_PI / 180.0, cs = std::cos(theta), sn = std::sin(theta);
    double total = 0;
    if (gradient)
        for (char ch : glyphs) total += Advance(static_cast<unsigned char>(ch));
    double px = x, py = y, p = 0;
    for (char ch : glyphs) {
        const auto g = static_cast<unsigned char>(ch);
        const double adv = Advance(g);
        if (HasGlyph(g)) {
            int32_t c[4] = {c4[0], c4[0], c4[0], c4[0]};
            if (gradient) {
                // An empty width leaves every glyph at the first colours.
                const double from = total != 0 ? p / total : 0, to = total != 0 ? (p + adv) / total : 0;
                c[0] = MergeColour(c4[0], c4[1], from);
                c[1] = MergeColour(c4[0], c4[1], to);
                c[2] = MergeColour(c4[3], c4[2], to);
                c[3] = MergeColour(c4[3], c4[2], from);
            }
            const double off = xsc * s_offset[g];
            DrawGlyph(g, px + off * cs, py - off * sn, xsc, ysc, angle, c, gradient, alpha);
        }
        px += adv * cs * xsc;
        py -= adv * sn * xsc;
        p += adv;
    }
}

void CFont::Draw_String(double x, double y, std::string_view str, int32_t col, double alpha) const {
    const int32_t c[4] = {col, col, col, col};
    DrawGlyphs(x, y, Glyphs(str), 1, 1, 0, c, false, alpha);
}

void CFont::Draw_String_Transformed(double x, double y, std::string_view str, double xsc, double ysc,
                                    double angle, int32_t col, double alpha) const {
    const int32_t c[4] = {col, col, col, col};
    DrawGlyphs(x, y, Glyphs(str), xsc, ysc, angle, c, false, alpha);
}

void CFont::Draw_String_Color(double x, double y, std::string_view str, int32_t c1, int32_t c2, int32_t c3,
                              int32_t c4, double alpha) const {
    const int32_t c[4] = {c1, c2, c3, c4};
    DrawGlyphs(x, y, Glyphs(str), 1, 1, 0, c, true, alpha);
}

void CFont::Draw_String_Transformed_Color(double x, double y, std::string_view str, double xsc, double ysc,
                                          double angle, int32_t c1, int32_t c2, int32_t c3, int32_t c4,
                                          double alpha) const {
    const int32_t c[4] = {c1, c2, c3, c4};
    DrawGlyphs(x, y, Glyphs(str), xsc, ysc, angle, c, true, alpha);
}

TBitmap32 RenderTextImage(const CFont& font, std::string_view text) {
    constexpr int32_t kMaxSide = 4096;
    TBitmap32 out;
    if (font.IsSpriteFont() ||
        font.s_bytes.size() < size_t(std::max(font.s_bw, 0)) * size_t(std::max(font.s_bh, 0)))
        return out;
    const int32_t w = std::clamp(font.TextWidth(text), 1, kMaxSide);
    const int32_t h = std::clamp(font.s_FontHeight, 1, kMaxSide);
    if (!out.Resize(w, h, 0x00FFFFFF)) return out;
    int64_t pen = 0;
    for (char ch : font.Glyphs(text)) {
        const auto g = static_cast<unsigned char>(ch);
        if (g >= font.s_first && g <= font.s_last) {
            // Only the columns inside both the atlas and the image: a damaged record's cell
            // may be billions of pixels wide.
            const int64_t left = pen + font.s_offset[g];
            const int64_t x0 = std::max({int64_t(0), -int64_t(font.s_x[g]), -left});
            const int64_t x1 = std::min({int64_t(font.s_w[g]), int64_t(font.s_bw) - font.s_x[g], w - left});
            for (int32_t y = 0; y < font.s_h[g] && y < h; ++y)
                for (int64_t x = x0; x < x1; ++x) {
                    const int64_t sx = int64_t(font.s_x[g]) + x, sy = int64_t(font.s_y[g]) + y;
                    const int64_t dx = left + x;
                    if (sy < 0 || sy >= font.s_bh) continue;
                    const uint8_t a = font.s_bytes[size_t(sy) * size_t(font.s_bw) + size_t(sx)];
                    const TColor32 old = out.GetPixel(int32_t(dx), y);
                    if (a > AlphaOf(old)) out.SetPixel(int32_t(dx), y, 0x00FFFFFFu | uint32_t(a) << 24);
                }
        }
        pen += font.Advance(g);
        if (pen >= w) break;
    }
    return out;
}

// ---- The font list ----

bool Font_Exists(int32_t ind) {
    return ind >= 0 && ind < Font_Count() && Table().fonts[size_t(ind)] != nullptr;
}

CFont* Font_Get(int32_t ind) {
    return Font_Exists(ind) ? Table().fonts[size_t(ind)].get() : nullptr;
}

std::string Font_GetName(int32_t ind) {
    return Font_Exists(ind) ? Table().names[size_t(ind)] : "<undefined>";
}

int32_t Font_Find(std::string_view name) {
    for (int32_t i = 0; i < Font_Count(); ++i)
        if (Table().fonts[size_t(i)] && Table().names[size_t(i)] == name) return i;
    return -1;
}

int32_t Font_Count() {
    return static_cast<int32_t>(Table().fonts.size());
}

int32_t Font_AddNew(std::unique_ptr<CFont> font) {
    Font_GlyphsChanged();
    const int32_t ind = Font_Count();
    Table().fonts.push_back(std::move(font));
    Table().names.push_back("__newfont" + std::to_string(ind));
    return ind;
}

int32_t Font_AddFont(std::string_view name, int32_t size, bool bold, bool italic, int32_t first,
                     int32_t last) {
    auto font = std::make_unique<CFont>();
    font->CreateFont(name, size, bold, italic, first, last);
    return Font_AddNew(std::move(font));
}

bool Font_Replace(int32_t ind, std::unique_ptr<CFont> font) {
    if (ind < 0 || ind >= Font_Count()) return false;
    Font_GlyphsChanged();
    Table().fonts[size_t(ind)] = std::move(font);
    return true;
}

bool Font_Delete(int32_t ind) {
    if (!Font_Exists(ind)) return false;
    Font_GlyphsChanged();
    Table().fonts[size_t(ind)].reset();
    Table().names[size_t(ind)].clear();
    return true;
}

void Font_InitTextures() {
    for (auto& f : Table().fonts)
        if (f) f->InitTexture();
}

void Font_ClearAll() {
    Font_GlyphsChanged();
    Table().fonts.clear();
    Table().names.clear();
}

bool Font_LoadRecords(const std::vector<RawResource>& resources) {
    Font_ClearAll();
    for (const RawResource& r : resources) {
        if (!r.present) {
            Table().fonts.emplace_back();
            Table().names.emplace_back();
            continue;
        }
        auto font = std::make_unique<CFont>();
        CStream record(r.record);
        if (!font->LoadFromStream(record)) {
            Font_ClearAll();
            return false;
        }
        Table().fonts.push_back(std::move(font));
        Table().names.push_back(r.name);
    }
    return true;
}

} // namespace kestrin
