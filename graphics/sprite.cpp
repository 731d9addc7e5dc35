#include "graphics/sprite.h"

#include <algorithm>

#include "base/stream.h"
#include "graphics/graphics_texture.h"
#include "runner/game_data.h"

namespace kestrin {

namespace {

constexpr double kDegToRad = 3.14159265358979323846 / 180.0;

// Never destroyed: sprites free their textures, and at exit the texture table may be gone first.
struct SpriteTable {
    std::vector<std::unique_ptr<CSprite>> sprites;
    std::vector<std::string> names;
};
SpriteTable& Table() {
    static auto* table = new SpriteTable();
    return *table;
}

} // namespace

void CSprite::Clear() {
    FreeTexture();
    i_numb = 0;
    i_bitmap.clear();
    i_mask.clear();
    i_tex.clear();
    i_xorig = i_yorig = 0;
    i_bbox = TRect{};
    i_sepmasks = false;
}

void CSprite::Assign(const CSprite& spr) {
    if (&spr == this) return;
    Clear();
    i_bbox = spr.i_bbox;
    i_xorig = spr.i_xorig;
    i_yorig = spr.i_yorig;
    i_numb = spr.i_numb;
    i_sepmasks = spr.i_sepmasks;
    i_bitmap = spr.i_bitmap;
    if (i_sepmasks)
        i_mask = spr.i_mask;
    else if (i_numb > 0 && !spr.i_mask.empty())
        i_mask.push_back(spr.i_mask[0]);
    InitTexture();
}

void CSprite::TakeFrom(CSprite& spr) {
    Clear();
    i_numb = spr.i_numb;
    i_bitmap = std::move(spr.i_bitmap);
    i_xorig = spr.i_xorig;
    i_yorig = spr.i_yorig;
    i_bbox = spr.i_bbox;
    i_mask = std::move(spr.i_mask);
    i_sepmasks = spr.i_sepmasks;
    spr.Clear();
    i_tex.assign(static_cast<size_t>(i_numb), -1);
}

int32_t CSprite::GetWidth() const {
    return i_numb > 0 && !i_bitmap.empty() ? i_bitmap[0].Width() : 1;
}

int32_t CSprite::GetHeight() const {
    return i_numb > 0 && !i_bitmap.empty() ? i_bitmap[0].Height() : 1;
}

int32_t CSprite::WrapIndex(int64_t ind) const {
    if (i_numb <= 0) return 0;
    int64_t r = ind % i_numb;
    if (r < 0) r += i_numb;
    return static_cast<int32_t>(r);
}

const TMask* CSprite::MaskFor(int32_t ind) const {
    const size_t k = i_sepmasks ? static_cast<size_t>(WrapIndex(ind)) : 0;
    return k < i_mask.size() ? &i_mask[k] : nullptr;
}

void CSprite::FreeMask() {
    i_mask.clear();
}

void CSprite::ComputeMask(bool sepmasks, int32_t bbmode, const TRect& bbox, int32_t kind, int32_t tolerance) {
    FreeMask();
    i_sepmasks = sepmasks;
    if (i_numb <= 0) {
        i_bbox = TRect{};
        return;
    }
    if (sepmasks) {
        i_mask.reserve(i_bitmap.size());
        for (const TBitmap32& bm : i_bitmap) i_mask.emplace_back(&bm, bbmode, bbox, kind, tolerance);
    } else {
        i_mask.emplace_back(&i_bitmap[0], bbmode, bbox, kind, tolerance);
        for (size_t i = 1; i < i_bitmap.size(); ++i)
            i_mask[0].Merge(&i_bitmap[i], bbmode, bbox, kind, tolerance);
    }
    ComputeBoundingBox();
}

void CSprite::ComputeBoundingBox() {
    if (i_numb <= 0) {
        i_bbox = TRect{};
        return;
    }
    if (!i_sepmasks) {
        i_bbox = i_mask.empty() ? TRect{} : i_mask[0].i_bbox;
        return;
    }
    TRect box{GetWidth() - 1, GetHeight() - 1, 0, 0};
    for (const TMask& m : i_mask) {
        box.Left = std::min(box.Left, m.i_bbox.Left);
        box.Top = std::min(box.Top, m.i_bbox.Top);
        box.Right = std::max(box.Right, m.i_bbox.Right);
        box.Bottom = std::max(box.Bottom, m.i_bbox.Bottom);
    }
    i_bbox = box;
}

bool CSprite::CheckCollision(int32_t img1, const TRect& bb1, int32_t x1, int32_t y1, double scale1x,
                             double scale1y, double angle1, const CSprite* spr, int32_t img2,
                             const TRect& bb2, int32_t x2, int32_t y2, double scale2x, double scale2y,
                             double angle2) const {
    if (!spr || i_numb <= 0 || spr->i_numb <= 0) return false;
    const TMask* m1 = MaskFor(img1);
    if (!m1) return false;
    return m1->CollisionMask(bb1, x1, y1, i_xorig, i_yorig, scale1x, scale1y, angle1, spr->MaskFor(img2), bb2,
                             x2, y2, spr->i_xorig, spr->i_yorig, scale2x, scale2y, angle2);
}

bool CSprite::CheckCollisionPoint(int32_t img1, const TRect& bb1, int32_t x1, int32_t y1, double scalex,
                                  double scaley, double angle, int32_t x, int32_t y) const {
    const TMask* m = i_numb > 0 ? MaskFor(img1) : nullptr;
    return m && m->CollisionPoint(bb1, x1, y1, i_xorig, i_yorig, scalex, scaley, angle, x, y);
}

bool CSprite::CheckCollisionRectangle(int32_t img1, const TRect& bb1, int32_t x1, int32_t y1, double scalex,
                                      double scaley, double angle, const TRect& rr) const {
    const TMask* m = i_numb > 0 ? MaskFor(img1) : nullptr;
    return m && m->CollisionRectangle(bb1, x1, y1, i_xorig, i_yorig, scalex, scaley, angle, rr);
}

bool CSprite::CheckCollisionEllipse(int32_t img1, const TRect& bb1, int32_t x1, int32_t y1, double scalex,
                                    double scaley, double angle, const TRect& rr) const {
    const TMask* m = i_numb > 0 ? MaskFor(img1) : nullptr;
    return m && m->CollisionEllipse(bb1, x1, y1, i_xorig, i_yorig, scalex, scaley, angle, rr);
}

bool CSprite::CheckCollisionLine(int32_t img1, const TRect& bb1, int32_t x1, int32_t y1, double scalex,
                                 double scaley, double angle, double xl, double yl, double xr,
                                 double yr) const {
    const TMask* m = i_numb > 0 ? MaskFor(img1) : nullptr;
    return m && m->CollisionLine(bb1, x1, y1, i_xorig, i_yorig, scalex, scaley, angle, xl, yl, xr, yr);
}

bool CSprite::LoadFromStream(CStream& stream) {
    Clear();
    try {
        const int32_t version = stream.ReadInteger();
        if (version != kSpriteRecordVersion && version != kSpriteRecordVersion810) return false;
        CSprite loaded;
        loaded.i_xorig = stream.ReadInteger();
        loaded.i_yorig = stream.ReadInteger();
        const int32_t n = stream.ReadInteger();
        // A bitmap record is at least its version and two sizes.
        if (n < 0 || n > kMaxSpriteFrames) return false;
        stream.CheckCount(n, 12);
        loaded.i_bitmap.resize(static_cast<size_t>(n));
        for (TBitmap32& bm : loaded.i_bitmap) (void)bm.LoadFromStream(stream);
        loaded.i_numb = n;
        if (version == kSpriteRecordVersion810) (void)stream.ReadInteger();
        loaded.i_sepmasks = stream.ReadBoolean();
        if (n > 0) {
            const int32_t masks = loaded.i_sepmasks ? n : 1;
            loaded.i_mask.resize(static_cast<size_t>(masks));
            for (TMask& m : loaded.i_mask) (void)m.LoadFromStream(stream);
        }
        loaded.ComputeBoundingBox();
        TakeFrom(loaded);
        return true;
    } catch (const StreamError&) {
        Clear();
        return false;
    }
}

void CSprite::SaveToStream(CStream& stream, int32_t version) const {
    stream.WriteInteger(version);
    stream.WriteInteger(i_xorig);
    stream.WriteInteger(i_yorig);
    stream.WriteInteger(i_numb);
    for (const TBitmap32& bm : i_bitmap) bm.SaveToStream(stream);
    if (version == kSpriteRecordVersion810) stream.WriteInteger(0);
    stream.WriteBoolean(i_sepmasks);
    if (i_numb <= 0) return;
    const size_t masks = i_sepmasks ? static_cast<size_t>(i_numb) : 1;
    for (size_t i = 0; i < masks; ++i) {
        if (i < i_mask.size())
            i_mask[i].SaveToStream(stream);
        else
            TMask().SaveToStream(stream);
    }
}

void CSprite::InitTexture() {
    FreeTexture();
    i_tex.assign(static_cast<size_t>(std::max(i_numb, 0)), -1);
    for (size_t i = 0; i < i_tex.size() && i < i_bitmap.size(); ++i) {
        i_tex[i] = GR_Texture_Create_From_Bitmap(&i_bitmap[i]);
        GR_Texture_Preload(i_tex[i]);
    }
}

void CSprite::FreeTexture() {
    for (int32_t& t : i_tex) {
        if (t >= 0) GR_Texture_Free(t);
        t = -1;
    }
}

int32_t CSprite::GetTexture(int32_t ind) const {
    if (i_numb <= 0) return -1;
    const size_t k = static_cast<size_t>(WrapIndex(ind));
    return k < i_tex.size() ? i_tex[k] : -1;
}

std::unique_ptr<TBitmap32> CSprite::GetBitmap(int32_t ind) const {
    if (ind < 0 || ind >= i_numb || static_cast<size_t>(ind) >= i_bitmap.size()) return nullptr;
    return std::make_unique<TBitmap32>(i_bitmap[static_cast<size_t>(ind)]);
}

TRect CSprite::GetBoundingBoxImg(int32_t ind) const {
    if (ind < 0 || ind >= i_numb || static_cast<size_t>(ind) >= i_bitmap.size()) return TRect{};
    return i_bitmap[static_cast<size_t>(ind)].BoundingBox(0);
}

void CSprite::DrawSimple(int32_t ind, double x, double y) const {
    if (i_numb <= 0) return;
    GR_Texture_Draw(GetTexture(ind), x - i_xorig, y - i_yorig);
}

void CSprite::Draw(int32_t ind, double x, double y, double xscale, double yscale, double angle, int32_t color,
                   double alpha) const {
    if (i_numb <= 0) return;
    GR_Texture_DrawTransformed(GetTexture(ind), color, i_xorig, i_yorig, x, y, xscale, yscale,
                               angle * kDegToRad, alpha);
}

void CSprite::DrawStretched(int32_t ind, double x, double y, double w, double h, int32_t color,
                            double alpha) const {
    if (i_numb <= 0 || !(w > 0) || !(h > 0) || GetWidth() <= 0 || GetHeight() <= 0) return;
    GR_Texture_DrawTransformed(GetTexture(ind), color, 0, 0, x, y, w / GetWidth(), h / GetHeight(), 0, alpha);
}

void CSprite::DrawPart(int32_t ind, double xo, double yo, double w, double h, double x, double y,
                       double xscale, double yscale, int32_t color, double alpha) const {
    if (i_numb <= 0) return;
    GR_Texture_DrawPart(GetTexture(ind), color, xo, yo, w, h, x, y, xscale, yscale, 0, alpha);
}

void CSprite::DrawGeneral(int32_t ind, double xo, double yo, double w, double h, double x, double y,
                          double xscale, double yscale, double angle, int32_t c1, int32_t c2, int32_t c3,
                          int32_t c4, double alpha) const {
    if (i_numb <= 0) return;
    GR_Texture_DrawGeneral(GetTexture(ind), c1, c2, c3, c4, xo, yo, w, h, x, y, xscale, yscale,
                           angle * kDegToRad, alpha);
}

void CSprite::DrawTiled(int32_t ind, double x, double y, double xscale, double yscale, bool htiled,
                        bool vtiled, double xr, double yr, double wr, double hr, int32_t color,
                        double alpha) const {
    if (i_numb <= 0) return;
    GR_Texture_DrawTiled(GetTexture(ind), htiled, vtiled, i_xorig, i_yorig, x, y, xscale, yscale, xr, yr, wr,
                         hr, color, alpha);
}

void CSprite::DrawSpritePos(int32_t ind, double x1, double y1, double x2, double y2, double x3, double y3,
                            double x4, double y4, double alpha) const {
    if (i_numb <= 0) return;
    GR_Texture_DrawPos(GetTexture(ind), alpha, x1, y1, x2, y2, x3, y3, x4, y4);
}

// ---- The sprite table ----

bool Sprite_Exists(int32_t ind) {
    return ind >= 0 && ind < Sprite_Count() && Table().sprites[size_t(ind)] != nullptr;
}

CSprite* Sprite_Get(int32_t ind) {
    return Sprite_Exists(ind) ? Table().sprites[size_t(ind)].get() : nullptr;
}

std::string Sprite_GetName(int32_t ind) {
    return Sprite_Exists(ind) ? Table().names[size_t(ind)] : "<undefined>";
}

int32_t Sprite_Find(const std::string& name) {
    for (int32_t i = 0; i < Sprite_Count(); ++i)
        if (Table().sprites[size_t(i)] && Table().names[size_t(i)] == name) return i;
    return -1;
}

int32_t Sprite_Count() {
    return static_cast<int32_t>(Table().sprites.size());
}

int32_t Sprite_ImageCount(int32_t ind) {
    const CSprite* spr = Sprite_Get(ind);
    return spr ? spr->i_numb : 0;
}

bool Sprite_Geometry(int32_t ind, RSpriteGeometry& out) {
    const CSprite* spr = Sprite_Get(ind);
    if (!spr) return false;
    out = {double(spr->GetWidth()), double(spr->GetHeight()), double(spr->i_xorig), double(spr->i_yorig)};
    return true;
}

int32_t Sprite_AddNew(std::unique_ptr<CSprite> spr) {
    const int32_t ind = Sprite_Count();
    Table().sprites.push_back(spr ? std::move(spr) : std::make_unique<CSprite>());
    Table().names.push_back("__newsprite" + std::to_string(ind));
    return ind;
}

int32_t Sprite_AddFromFile(const std::string& fname, int32_t imgnumb, bool removeback, bool smooth,
                           int32_t xo, int32_t yo) {
    auto spr = std::make_unique<CSprite>();
    if (!spr->LoadFromFile(fname, imgnumb, removeback, smooth, xo, yo)) return -1;
    return Sprite_AddNew(std::move(spr));
}

bool Sprite_ReplaceFromFile(int32_t ind, const std::string& fname, int32_t imgnumb, bool removeback,
                            bool smooth, int32_t xo, int32_t yo) {
    if (ind < 0 || ind >= Sprite_Count()) return false;
    // The sprite keeps its frames when the file does not load (LoadFromFile decodes aside).
    auto& slot = Table().sprites[size_t(ind)];
    if (slot) return slot->LoadFromFile(fname, imgnumb, removeback, smooth, xo, yo);
    auto spr = std::make_unique<CSprite>();
    if (!spr->LoadFromFile(fname, imgnumb, removeback, smooth, xo, yo)) return false;
    slot = std::move(spr);
    return true;
}

int32_t Sprite_AddFromSpriteFile(const std::string& fname) {
    auto spr = std::make_unique<CSprite>();
    if (!spr->LoadFromSpriteFile(fname)) return -1;
    return Sprite_AddNew(std::move(spr));
}

bool Sprite_ReplaceFromSpriteFile(int32_t ind, const std::string& fname) {
    if (ind < 0 || ind >= Sprite_Count()) return false;
    auto& slot = Table().sprites[size_t(ind)];
    if (slot) return slot->LoadFromSpriteFile(fname);
    auto spr = std::make_unique<CSprite>();
    if (!spr->LoadFromSpriteFile(fname)) return false;
    slot = std::move(spr);
    return true;
}

bool Sprite_Delete(int32_t ind) {
    if (!Sprite_Exists(ind)) return false;
    Table().sprites[size_t(ind)].reset();
    Table().names[size_t(ind)].clear();
    return true;
}

int32_t Sprite_Duplicate(int32_t ind) {
    if (!Sprite_Exists(ind)) return -1;
    auto spr = std::make_unique<CSprite>();
    spr->Assign(*Table().sprites[size_t(ind)]);
    return Sprite_AddNew(std::move(spr));
}

bool Sprite_Assign(int32_t ind, int32_t src) {
    if (!Sprite_Exists(src) || ind < 0 || ind >= Sprite_Count()) return false;
    if (ind == src) return true;
    auto& slot = Table().sprites[size_t(ind)];
    if (!slot) slot = std::make_unique<CSprite>();
    slot->Assign(*Table().sprites[size_t(src)]);
    return true;
}

namespace {

// One slot of the table from its game data record: empty when absent.
bool AppendSprite(bool present, const std::string& name, CStream record) {
    if (!present) {
        Table().sprites.emplace_back();
        Table().names.emplace_back();
        return true;
    }
    auto spr = std::make_unique<CSprite>();
    if (!spr->LoadFromStream(record)) return false;
    Table().sprites.push_back(std::move(spr));
    Table().names.push_back(name);
    return true;
}

} // namespace

bool Sprite_LoadRecords(const std::vector<RawResource>& records) {
    Sprite_ClearAll();
    Table().sprites.reserve(records.size());
    Table().names.reserve(records.size());
    for (const RawResource& item : records) {
        if (!AppendSprite(item.present, item.name, CStream(item.record))) {
            Sprite_ClearAll();
            return false;
        }
    }
    return true;
}

bool Sprite_AppendRecord(RawResource& item) {
    return AppendSprite(item.present, item.name, CStream(std::move(item.record)));
}

void Sprite_InitTextures() {
    for (auto& s : Table().sprites)
        if (s) s->InitTexture();
}

void Sprite_ClearAll() {
    Table().sprites.clear();
    Table().names.clear();
}

} // namespace kestrin
