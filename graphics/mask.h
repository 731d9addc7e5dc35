#pragma once
// Collision masks: one flag per frame pixel, built from a frame's alpha or a shape inside its
// box, and the pixel tests of a placed (possibly scaled and rotated) mask against another mask,
// a point, a rectangle, an ellipse and a line.

#include <cstdint>
#include <vector>

#include "base/bitmap32.h"

namespace kestrin {

class CStream;

inline constexpr int32_t kMaskRecordVersion = 800;

// Mask kinds.
inline constexpr int32_t kMaskPrecise = 0;
inline constexpr int32_t kMaskRectangle = 1;
inline constexpr int32_t kMaskEllipse = 2;
inline constexpr int32_t kMaskDiamond = 3;
// Bounding-box modes; any other value is a manual box.
inline constexpr int32_t kBoxAutomatic = 0;
inline constexpr int32_t kBoxFull = 1;
inline constexpr int32_t kBoxManual = 2;

class TMask {
public:
    TMask() = default;
    TMask(const TMask&) = default;
    TMask& operator=(const TMask&) = default;
    TMask(TMask&&) = default;
    TMask& operator=(TMask&&) = default;
    // Built from one frame; a null frame gives an empty mask.
    TMask(const TBitmap32* bm, int32_t bbmode, const TRect& bbox, int32_t kind, int32_t tolerance) {
        Create(bm, bbmode, bbox, kind, tolerance);
    }

    void Clear();
    void Create(const TBitmap32* bm, int32_t bbmode, const TRect& bbox, int32_t kind, int32_t tolerance);
    // Adds one more frame to a mask shared by all frames of a sprite.
    void Merge(const TBitmap32* bm, int32_t bbmode, const TRect& bbox, int32_t kind, int32_t tolerance);

    // The mask record. False (and an empty mask) for a bad version or a damaged record.
    [[nodiscard]] bool LoadFromStream(CStream& stream);
    void SaveToStream(CStream& stream) const;

    bool Get(int32_t x, int32_t y) const {
        if (x < 0 || y < 0 || x >= i_w || y >= i_h) return false;
        return i_mask[static_cast<size_t>(x) * static_cast<size_t>(i_h) + static_cast<size_t>(y)] != 0;
    }
    void Set(int32_t x, int32_t y, bool on) {
        if (x < 0 || y < 0 || x >= i_w || y >= i_h) return;
        i_mask[static_cast<size_t>(x) * static_cast<size_t>(i_h) + static_cast<size_t>(y)] = on ? 1 : 0;
    }

    bool CollisionMask(const TRect& bb1, int32_t x1, int32_t y1, int32_t xo1, int32_t yo1, double scale1x,
                       double scale1y, double angle1, const TMask* msk, const TRect& bb2, int32_t x2,
                       int32_t y2, int32_t xo2, int32_t yo2, double scale2x, double scale2y,
                       double angle2) const;
    bool CollisionPoint(const TRect& bb1, int32_t x1, int32_t y1, int32_t xo1, int32_t yo1, double scalex,
                        double scaley, double angle, int32_t x, int32_t y) const;
    bool CollisionRectangle(const TRect& bb1, int32_t x1, int32_t y1, int32_t xo1, int32_t yo1, double scalex,
                            double scaley, double angle, const TRect& rr) const;
    bool CollisionEllipse(const TRect& bb1, int32_t x1, int32_t y1, int32_t xo1, int32_t yo1, double scalex,
                          double scaley, double angle, const TRect& rr) const;
    // The plain scans of every region pixel that the tests above must agree with; they cost the
    // region's area, which a hugely scaled instance makes vast.
    bool CollisionMaskScan(const TRect& bb1, int32_t x1, int32_t y1, int32_t xo1, int32_t yo1, double scale1x,
                           double scale1y, double angle1, const TMask* msk, const TRect& bb2, int32_t x2,
                           int32_t y2, int32_t xo2, int32_t yo2, double scale2x, double scale2y,
                           double angle2) const;
    bool CollisionRectangleScan(const TRect& bb1, int32_t x1, int32_t y1, int32_t xo1, int32_t yo1,
                                double scalex, double scaley, double angle, const TRect& rr) const;
    bool CollisionEllipseScan(const TRect& bb1, int32_t x1, int32_t y1, int32_t xo1, int32_t yo1,
                              double scalex, double scaley, double angle, const TRect& rr) const;
    bool CollisionLine(const TRect& bb1, int32_t x1, int32_t y1, int32_t xo1, int32_t yo1, double scalex,
                       double scaley, double angle, double xl, double yl, double xr, double yr) const;

    // Whether the pixel array holds exactly i_w · i_h flags (always, unless filled by hand).
    bool Complete() const {
        return i_w >= 0 && i_h >= 0 && i_mask.size() == static_cast<size_t>(i_w) * static_cast<size_t>(i_h);
    }

    bool operator==(const TMask&) const = default;

    int32_t i_w = 0;
    int32_t i_h = 0;
    // Column-major: pixel (x, y) at x * i_h + y; 1 where the pixel takes part in collisions.
    std::vector<uint8_t> i_mask;
    TRect i_bbox;
};

} // namespace kestrin
