#pragma once
// Font resources: atlas fonts (an 8-bit coverage atlas stored in the game data or rendered at
// run time) and sprite fonts (glyphs are the frames of a sprite), the font record, string
// drawing and measuring, and the font list.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/bitmap32.h"

namespace kestrin {

class CStream;
struct RawResource;

inline constexpr int32_t kFontRecordVersion = 800;
// Largest atlas a record may carry; a run-time atlas is at most 2048 x 2048.
inline constexpr int32_t kMaxFontAtlasSide = 16384;
inline constexpr int64_t kMaxFontAtlasBytes = int64_t(64) << 20;

class CFont {
public:
    CFont() { Clear(); }
    ~CFont() { FreeTexture(); }
    CFont(const CFont&) = delete;
    CFont& operator=(const CFont&) = delete;

    void Create() { Clear(); }
    void Clear();
    void Destroy() { Clear(); }
    void Assign(const CFont& obj);

    // The font record; false (font cleared) for a bad version or a damaged record.
    [[nodiscard]] bool LoadFromStream(CStream& stream);
    void SaveToStream(CStream& stream) const;

    // Renders glyphs first..last of a family through the installed glyph renderer; the
    // character set picks the code page glyph indices are read in (the builder's fonts may
    // name one, run-time fonts use 1).
    void CreateFont(std::string_view name, int32_t size, bool bold, bool italic, int32_t first, int32_t last,
                    int32_t charset = 1);
    // Glyphs from the frames of sprite ind; false (font unchanged) when the sprite does not exist.
    bool CreateFromSprite(int32_t ind, int32_t first, bool prop, int32_t sep);

    void InitTexture();
    void FreeTexture();
    int32_t GetCodePage() const;
    bool IsSpriteFont() const { return s_spr >= 0; }

    // The glyph indices of a string: its bytes in the font's code page.
    std::string Glyphs(std::string_view text) const;
    // Advance of glyph g, with the fallbacks for glyphs outside the font.
    int32_t Advance(unsigned char g) const;
    int32_t TextWidth(std::string_view text) const;
    int32_t TextHeight(std::string_view text) const;

    // Angles in degrees; colours in the runner's convention.
    void Draw_String(double x, double y, std::string_view str, int32_t col, double alpha) const;
    // Draws glyph indices already in the font's code page (as Glyphs gives them); c4 holds the
    // corner colours of a gradient, or the one colour in c4[0].
    void DrawGlyphs(double x, double y, std::string_view glyphs, double xsc, double ysc, double angle,
                    const int32_t* c4, bool gradient, double alpha) const;
    void Draw_String_Transformed(double x, double y, std::string_view str, double xsc, double ysc,
                                 double angle, int32_t col, double alpha) const;
    void Draw_String_Color(double x, double y, std::string_view str, int32_t c1, int32_t c2, int32_t c3,
                           int32_t c4, double alpha) const;
    void Draw_String_Transformed_Color(double x, double y, std::string_view str, double xsc, double ysc,
                                       double angle, int32_t c1, int32_t c2, int32_t c3, int32_t c4,
                                       double alpha) const;

    std::string s_name;
    int32_t s_size = 12;
    bool s_bold = false;
    bool s_italic = false;
    int32_t s_charset = 1;
    int32_t s_AntiAlias = 3;
    int32_t s_first = 32;
    int32_t s_last = 128;
    int32_t s_spr = -1;
    std::array<int32_t, 256> s_x{}, s_y{}, s_w{}, s_h{}, s_shift{}, s_offset{};
    int32_t s_bw = 0, s_bh = 0;
    std::vector<uint8_t> s_bytes;
    int32_t s_tex = -1;
    int32_t s_FontHeight = 0;

private:
    bool HasGlyph(unsigned char g) const { return g >= s_first && g <= s_last; }
    void DrawGlyph(unsigned char g, double x, double y, double xsc, double ysc, double angle,
                   const int32_t* c, bool gradient, double alpha) const;
};

// A count that changes whenever a font is made, cleared, loaded, assigned, added, replaced or
// deleted, so that text laid out under an older count is known to be stale. Code that writes a
// font's glyph tables directly calls Font_GlyphsChanged afterwards.
uint64_t Font_Generation();
void Font_GlyphsChanged();

// One line of text drawn from an atlas font into an image of its own, for windows that have
// no drawing device: white pixels whose alpha is the glyphs' coverage, as wide as the text
// and as tall as the font (each at most 4096). Sprite fonts give an empty image.
TBitmap32 RenderTextImage(const CFont& font, std::string_view text);

// The font list. A valid index is in range and not empty.
bool Font_Exists(int32_t ind);
CFont* Font_Get(int32_t ind);
// "<undefined>" for an invalid index.
std::string Font_GetName(int32_t ind);
int32_t Font_Find(std::string_view name);
int32_t Font_Count();
// Appends a run-time font named "__newfont" + index and returns the index.
int32_t Font_AddFont(std::string_view name, int32_t size, bool bold, bool italic, int32_t first,
                     int32_t last);
// Appends (or, for ind >= 0, puts in slot ind) a font; the index.
int32_t Font_AddNew(std::unique_ptr<CFont> font);
bool Font_Replace(int32_t ind, std::unique_ptr<CFont> font);
bool Font_Delete(int32_t ind);
void Font_InitTextures();
void Font_ClearAll();
// The game data's font slots; false when a record is damaged (the load fails).
[[nodiscard]] bool Font_LoadRecords(const std::vector<RawResource>& resources);

} // namespace kestrin
