#include "platform/font/freetype_glyphs.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cstring>
#include <strings.h>

namespace kestrin {

namespace {

// Glyphs beyond this size would only make atlases that cannot hold them.
constexpr int32_t kMaxPoints = 512;
constexpr const char* kFallbackFamily = "Liberation Sans";

const char* Substitute(const std::string& family) {
    static constexpr struct {
        const char* from;
        const char* to;
    } kTable[] = {
        {"Arial", "Liberation Sans"},
        {"Helvetica", "Liberation Sans"},
        {"Times New Roman", "Liberation Serif"},
        {"Times", "Liberation Serif"},
        {"Courier New", "Liberation Mono"},
        {"Courier", "Liberation Mono"},
    };
    for (const auto& row : kTable)
        if (strcasecmp(row.from, family.c_str()) == 0) return row.to;
    return family.c_str();
}

int32_t Ceil26(FT_Pos v) {
    return static_cast<int32_t>((v + 63) >> 6);
}
int32_t Round26(FT_Pos v) {
    return static_cast<int32_t>((v + 32) >> 6);
}

class FreeTypeFace : public GlyphFace {
public:
    FreeTypeFace(FT_Face face, bool emboldenBold, bool slantItalic)
        : face_(face), embolden_(emboldenBold), slant_(slantItalic) {}
    ~FreeTypeFace() override { FT_Done_Face(face_); }

    GlyphFaceMetrics Metrics() const override {
        GlyphFaceMetrics m;
        const FT_Size_Metrics& sm = face_->size->metrics;
        const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face_, FT_SFNT_OS2));
        if (os2 && os2->usWinAscent + os2->usWinDescent > 0) {
            // The line metrics the original platform reads: the font's Windows ascent and descent.
            m.ascent = Ceil26(FT_MulFix(os2->usWinAscent, sm.y_scale));
            m.height = m.ascent + Ceil26(FT_MulFix(os2->usWinDescent, sm.y_scale));
            m.average_width = Round26(FT_MulFix(os2->xAvgCharWidth, sm.x_scale));
        } else {
            m.ascent = Ceil26(sm.ascender);
            m.height = m.ascent + Ceil26(-sm.descender);
            m.average_width = Round26(sm.max_advance) / 2;
        }
        m.max_width = Round26(sm.max_advance);
        return m;
    }

    bool Render(char32_t character, GlyphImage& out) override {
        out = GlyphImage();
        const FT_UInt index = FT_Get_Char_Index(face_, character);
        if (index == 0 || FT_Load_Glyph(face_, index, FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP) != 0) return false;
        FT_GlyphSlot slot = face_->glyph;
        if (embolden_) FT_GlyphSlot_Embolden(slot);
        if (slant_) FT_GlyphSlot_Oblique(slot);
        out.advance = Round26(slot->advance.x);
        if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) return false;
        const FT_Bitmap& bm = slot->bitmap;
        if (bm.width == 0 || bm.rows == 0 || bm.pixel_mode != FT_PIXEL_MODE_GRAY || !bm.buffer) return false;
        out.black_w = static_cast<int32_t>(bm.width);
        out.black_h = static_cast<int32_t>(bm.rows);
        out.origin_x = slot->bitmap_left;
        out.origin_y = slot->bitmap_top;
        out.pitch = (out.black_w + 3) & ~3;
        out.coverage.assign(size_t(out.pitch) * size_t(out.black_h), 0);
        const int grays = std::max<int>(bm.num_grays - 1, 1);
        for (int32_t r = 0; r < out.black_h; ++r) {
            const unsigned char* row = bm.buffer + static_cast<ptrdiff_t>(r) * bm.pitch;
            for (int32_t c = 0; c < out.black_w; ++c)
                out.coverage[size_t(r) * size_t(out.pitch) + size_t(c)] =
                    static_cast<uint8_t>((row[c] * 64 + grays / 2) / grays);
        }
        return true;
    }

private:
    FT_Face face_;
    bool embolden_, slant_;
};

class FreeTypeSource : public GlyphSource {
public:
    explicit FreeTypeSource(std::vector<std::string> files) : files_(std::move(files)) {}
    ~FreeTypeSource() override {
        if (config_) FcConfigDestroy(config_);
        if (library_) FT_Done_FreeType(library_);
    }

    std::unique_ptr<GlyphFace> Open(const GlyphFontRequest& request) override {
        if (!Ready()) return nullptr;
        std::string file;
        int index = 0;
        bool bold = false, italic = false;
        if (!Match(request, file, index, bold, italic)) return nullptr;
        FT_Face face = nullptr;
        if (FT_New_Face(library_, file.c_str(), index, &face) != 0) return nullptr;
        int32_t points = request.size > 0 ? std::min(request.size, kMaxPoints) : 12;
        if (FT_Set_Char_Size(face, 0, FT_F26Dot6(points) * 64, 96, 96) != 0) {
            FT_Done_Face(face);
            return nullptr;
        }
        return std::make_unique<FreeTypeFace>(face, request.bold && !bold, request.italic && !italic);
    }

private:
    bool Ready() {
        if (tried_) return library_ && (config_ || !files_.empty());
        tried_ = true;
        if (FT_Init_FreeType(&library_) != 0) {
            library_ = nullptr;
            return false;
        }
        if (!files_.empty()) return true;
        config_ = FcInitLoadConfigAndFonts();
        return config_ != nullptr;
    }

    bool Match(const GlyphFontRequest& request, std::string& file, int& index, bool& bold, bool& italic) {
        return files_.empty() ? MatchSystem(request, file, index, bold, italic)
                              : MatchFiles(request, file, index, bold, italic);
    }

    // Among the given files: the face of the (substituted) family, else of the fallback family,
    // else the first; within a family the closest style.
    bool MatchFiles(const GlyphFontRequest& request, std::string& file, int& index, bool& bold,
                    bool& italic) {
        const std::string wanted = Substitute(request.family);
        int best = -1;
        for (const std::string& f : files_) {
            FT_Face face = nullptr;
            if (FT_New_Face(library_, f.c_str(), 0, &face) != 0) continue;
            const std::string family = face->family_name ? face->family_name : "";
            const bool b = (face->style_flags & FT_STYLE_FLAG_BOLD) != 0;
            const bool i = (face->style_flags & FT_STYLE_FLAG_ITALIC) != 0;
            FT_Done_Face(face);
            const int score = (strcasecmp(family.c_str(), wanted.c_str()) == 0    ? 8
                               : strcasecmp(family.c_str(), kFallbackFamily) == 0 ? 4
                                                                                  : 0) +
                              (b == request.bold ? 2 : 0) + (i == request.italic ? 1 : 0);
            if (score > best) {
                best = score;
                file = f;
                index = 0;
                bold = b;
                italic = i;
            }
        }
        return best >= 0;
    }

    bool MatchSystem(const GlyphFontRequest& request, std::string& file, int& index, bool& bold,
                     bool& italic) {
        FcPattern* pattern = FcPatternCreate();
        if (!pattern) return false;
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(Substitute(request.family)));
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(kFallbackFamily));
        FcPatternAddInteger(pattern, FC_WEIGHT, request.bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
        FcPatternAddInteger(pattern, FC_SLANT, request.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
        FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
        FcConfigSubstitute(config_, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result = FcResultNoMatch;
        FcPattern* match = FcFontMatch(config_, pattern, &result);
        FcPatternDestroy(pattern);
        if (!match) return false;
        FcChar8* path = nullptr;
        int weight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN;
        const bool ok = FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch && path;
        if (ok) file = reinterpret_cast<const char*>(path);
        if (FcPatternGetInteger(match, FC_INDEX, 0, &index) != FcResultMatch) index = 0;
        (void)FcPatternGetInteger(match, FC_WEIGHT, 0, &weight);
        (void)FcPatternGetInteger(match, FC_SLANT, 0, &slant);
        bold = weight >= FC_WEIGHT_DEMIBOLD;
        italic = slant != FC_SLANT_ROMAN;
        FcPatternDestroy(match);
        return ok;
    }

    std::vector<std::string> files_;
    bool tried_ = false;
    FT_Library library_ = nullptr;
    FcConfig* config_ = nullptr;
};

} // namespace

std::shared_ptr<GlyphSource> MakeFreeTypeGlyphSource() {
    return std::make_shared<FreeTypeSource>(std::vector<std::string>{});
}

std::shared_ptr<GlyphSource> MakeFreeTypeGlyphSource(std::vector<std::string> fontFiles) {
    return std::make_shared<FreeTypeSource>(std::move(fontFiles));
}

} // namespace kestrin
