#pragma once
// Sprites: frames, origin, bounding box and collision masks; the sprite record of the game
// data and of ".ksspr" files; loading from image files; the drawing entry points; and the
// sprite table the game's sprites live in.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "base/bitmap32.h"
#include "graphics/mask.h"
#include "runner/instance.h"

namespace kestrin {

class CStream;
struct RawResource;

inline constexpr int32_t kSpriteRecordVersion = 800;
inline constexpr int32_t kSpriteRecordVersion810 = 810;
inline constexpr int32_t kSpriteFileMagic = 1234321;
inline constexpr int32_t kSpriteFileVersion = 800;
// Most frames one sprite holds; keeps hostile counts and strip requests bounded.
inline constexpr int32_t kMaxSpriteFrames = 65536;

class CSprite {
public:
    CSprite() = default;
    ~CSprite() { Clear(); }
    CSprite(const CSprite&) = delete;
    CSprite& operator=(const CSprite&) = delete;

    // Frames, textures and masks freed; box and origin (0, 0), shared mask.
    void Clear();
    // Deep copy, textures created for the copy.
    void Assign(const CSprite& spr);

    // Size of frame 0; 1 for a sprite without frames.
    int32_t GetWidth() const;
    int32_t GetHeight() const;
    // Frame index wrapped into 0..i_numb-1 (-1 is the last frame); 0 without frames.
    int32_t WrapIndex(int64_t ind) const;
    // The mask collisions of frame ind use; null when there is none.
    const TMask* MaskFor(int32_t ind) const;

    void ComputeMask(bool sepmasks, int32_t bbmode, const TRect& bbox, int32_t kind, int32_t tolerance);
    void ComputeBoundingBox();
    void FreeMask();

    bool CheckCollision(int32_t img1, const TRect& bb1, int32_t x1, int32_t y1, double scale1x,
                        double scale1y, double angle1, const CSprite* spr, int32_t img2, const TRect& bb2,
                        int32_t x2, int32_t y2, double scale2x, double scale2y, double angle2) const;
    bool CheckCollisionPoint(int32_t img1, const TRect& bb1, int32_t x1, int32_t y1, double scalex,
                             double scaley, double angle, int32_t x, int32_t y) const;
    bool CheckCollisionRectangle(int32_t img1, const TRect& bb1, int32_t x1, int32_t y1, double scalex,
                                 double scaley, double angle, const TRect& rr) const;
    bool CheckCollisionEllipse(int32_t img1, const TRect& bb1, int32_t x1, int32_t y1, double scalex,
                               double scaley, double angle, const TRect& rr) const;
    bool CheckCollisionLine(int32_t img1, const TRect& bb1, int32_t x1, int32_t y1, double scalex,
                            double scaley, double angle, double xl, double yl, double xr, double yr) const;

    // Image files. Each decodes into a temporary sprite and takes it over only on success, so
    // a failure leaves this sprite as it was.
    [[nodiscard]] bool LoadFromFile(const std::string& fname, int32_t imgnumb, bool removeback, bool smooth,
                                    int32_t xo, int32_t yo);
    [[nodiscard]] bool LoadGifFromFile(const std::string& fname, bool removeback, bool smooth);
    [[nodiscard]] bool LoadGifFromBytes(std::span<const uint8_t> bytes, bool removeback, bool smooth);
    [[nodiscard]] bool LoadStripFromFile(const std::string& fname, int32_t imgnumb, bool removeback,
                                         bool smooth);
    // Frames cut from one image: imgnumb strips of equal width (1 when imgnumb <= 0).
    void LoadStripFromBitmap(const TBitmap32& image, int32_t imgnumb, bool removeback, bool smooth);

    // A ".ksspr" file, and its bytes for tests and fuzzing; false leaves the sprite unchanged.
    [[nodiscard]] bool LoadFromSpriteFile(const std::string& fname);
    [[nodiscard]] bool LoadFromSpriteBytes(std::vector<uint8_t> bytes);
    // The ".ksspr" bytes of this sprite with the given mask settings.
    std::vector<uint8_t> SaveToSpriteBytes(int32_t kind, int32_t tolerance, int32_t bbmode,
                                           const TRect& bbox) const;

    // The sprite record; false (sprite cleared) for a bad version or a damaged record.
    [[nodiscard]] bool LoadFromStream(CStream& stream);
    // Writes the record; version 810 stores 0 in its extra Integer.
    void SaveToStream(CStream& stream, int32_t version = kSpriteRecordVersion) const;

    // removeback: 1 removes the background, 2 skips the alpha test, -1 makes the frame opaque.
    void CreateFromBitmap(const TBitmap32& bbb, int32_t removeback, bool smooth, int32_t xo, int32_t yo);
    void AddFromBitmap(const TBitmap32& bbb, bool removeback, bool smooth);
    void AddFromSprite(const CSprite& spr);
    void SetAlphaFromSprite(const CSprite& spr);

    void InitTexture();
    void FreeTexture();
    int32_t GetTexture(int32_t ind) const;
    // A copy of frame ind; null when ind is outside 0..i_numb-1.
    std::unique_ptr<TBitmap32> GetBitmap(int32_t ind) const;
    TRect GetBoundingBoxImg(int32_t ind) const;

    // Drawing entry points; angles in degrees.
    void DrawSimple(int32_t ind, double x, double y) const;
    void Draw(int32_t ind, double x, double y, double xscale, double yscale, double angle, int32_t color,
              double alpha) const;
    void DrawStretched(int32_t ind, double x, double y, double w, double h, int32_t color,
                       double alpha) const;
    void DrawPart(int32_t ind, double xo, double yo, double w, double h, double x, double y, double xscale,
                  double yscale, int32_t color, double alpha) const;
    void DrawGeneral(int32_t ind, double xo, double yo, double w, double h, double x, double y, double xscale,
                     double yscale, double angle, int32_t c1, int32_t c2, int32_t c3, int32_t c4,
                     double alpha) const;
    void DrawTiled(int32_t ind, double x, double y, double xscale, double yscale, bool htiled, bool vtiled,
                   double xr, double yr, double wr, double hr, int32_t color, double alpha) const;
    void DrawSpritePos(int32_t ind, double x1, double y1, double x2, double y2, double x3, double y3,
                       double x4, double y4, double alpha) const;

    int32_t i_numb = 0;
    std::vector<TBitmap32> i_bitmap;
    int32_t i_xorig = 0;
    int32_t i_yorig = 0;
    TRect i_bbox;
    std::vector<TMask> i_mask;
    bool i_sepmasks = false;
    std::vector<int32_t> i_tex;

private:
    // Takes over the frames, origin, box and masks of spr (textures are not moved).
    void TakeFrom(CSprite& spr);
};

// Frame clean-ups, in place.
void MakeOpaque(TBitmap32& bm);
// Alpha of each overlapping pixel of bm := (red + green + blue) div 3 of the same pixel of src.
void AlphaFromIntensity(TBitmap32& bm, const TBitmap32& src);
// Remove background (removeback), smooth edges (smooth), bleed colours (removeback).
void CleanFrame(TBitmap32& bm, bool removeback, bool smooth);

// The sprite table.
bool Sprite_Exists(int32_t ind);
CSprite* Sprite_Get(int32_t ind);
// "<undefined>" unless the sprite exists.
std::string Sprite_GetName(int32_t ind);
int32_t Sprite_Find(const std::string& name);
int32_t Sprite_Count();
// Frames of sprite ind; 0 when it does not exist.
int32_t Sprite_ImageCount(int32_t ind);
// The unscaled size and origin instances read (sprite_width, ...); false without the sprite.
bool Sprite_Geometry(int32_t ind, RSpriteGeometry& out);
// Appends a sprite named "__newsprite" + index; an empty sprite when spr is null.
int32_t Sprite_AddNew(std::unique_ptr<CSprite> spr = nullptr);
// -1 when the file does not load, else the new index.
int32_t Sprite_AddFromFile(const std::string& fname, int32_t imgnumb, bool removeback, bool smooth,
                           int32_t xo, int32_t yo);
bool Sprite_ReplaceFromFile(int32_t ind, const std::string& fname, int32_t imgnumb, bool removeback,
                            bool smooth, int32_t xo, int32_t yo);
int32_t Sprite_AddFromSpriteFile(const std::string& fname);
bool Sprite_ReplaceFromSpriteFile(int32_t ind, const std::string& fname);
bool Sprite_Delete(int32_t ind);
int32_t Sprite_Duplicate(int32_t ind);
bool Sprite_Assign(int32_t ind, int32_t src);
// The game data's sprites; false when a record is damaged (the table is then cleared).
[[nodiscard]] bool Sprite_LoadRecords(const std::vector<RawResource>& records);
// Appends the sprite of the next game data slot, taking its record (the bytes are gone once
// decoded into frames and masks); false, with nothing appended, when the record is damaged.
[[nodiscard]] bool Sprite_AppendRecord(RawResource& item);
void Sprite_InitTextures();
void Sprite_ClearAll();

} // namespace kestrin
