#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "graphics/sprite.h"
#include "sprite_fixture.h"

namespace kestrin {
namespace {

using testing::Art;
using testing::MaskArt;
using testing::MaskOf;
using Rows = std::vector<std::string>;

struct BuildCase {
    const char* name;
    Rows frame;
    int32_t bbmode;
    TRect manual;
    int32_t kind;
    int32_t tolerance;
    TRect box;
    Rows mask;
};

TEST(SpriteMask, BuildingFromOneFrame) {
    const Rows shape = {".....", ".##..", "..#..", "....."};
    const Rows full5 = {".....", ".....", ".....", ".....", "....."};
    const BuildCase cases[] = {
        {"precise, automatic box", shape, kBoxAutomatic, {}, kMaskPrecise, 0, {1, 1, 2, 2}, shape},
        {"alpha must exceed the tolerance",
         {"159"},
         kBoxAutomatic,
         {},
         kMaskPrecise,
         125,
         {2, 0, 2, 0},
         {"..#"}},
        {"nothing above the tolerance keeps an inverted box",
         {"...", "...", "..."},
         kBoxAutomatic,
         {},
         kMaskPrecise,
         0,
         {2, 2, 0, 0},
         {"...", "...", "..."}},
        {"full box, precise pixels", shape, kBoxFull, {}, kMaskPrecise, 0, {0, 0, 4, 3}, shape},
        {"manual box clipped to the frame",
         {"...", "..."},
         kBoxManual,
         {-5, -5, 100, 100},
         kMaskRectangle,
         0,
         {0, 0, 2, 1},
         {"###", "###"}},
        {"manual box with Left > Right has no pixel",
         {"...", "..."},
         kBoxManual,
         {2, 0, 1, 1},
         kMaskRectangle,
         0,
         {2, 0, 1, 1},
         {"...", "..."}},
        {"any other mode is manual",
         {"...", "..."},
         9,
         {1, 0, 1, 1},
         kMaskRectangle,
         0,
         {1, 0, 1, 1},
         {".#.", ".#."}},
        {"ellipse on a 1x1 box",
         {"...", "...", "..."},
         kBoxManual,
         {1, 1, 1, 1},
         kMaskEllipse,
         0,
         {1, 1, 1, 1},
         {"...", ".#.", "..."}},
        {"ellipse inscribed in 5x5",
         full5,
         kBoxFull,
         {},
         kMaskEllipse,
         0,
         {0, 0, 4, 4},
         {".###.", "#####", "#####", "#####", ".###."}},
        {"diamond inscribed in 5x5",
         full5,
         kBoxFull,
         {},
         kMaskDiamond,
         0,
         {0, 0, 4, 4},
         {"..#..", ".###.", "#####", ".###.", "..#.."}},
        {"unknown kind sets nothing",
         shape,
         kBoxFull,
         {},
         7,
         0,
         {0, 0, 4, 3},
         {".....", ".....", ".....", "....."}},
    };
    for (const BuildCase& c : cases) {
        SCOPED_TRACE(c.name);
        const TBitmap32 bm = Art(c.frame);
        const TMask m(&bm, c.bbmode, c.manual, c.kind, c.tolerance);
        EXPECT_EQ(m.i_w, bm.Width());
        EXPECT_EQ(m.i_h, bm.Height());
        EXPECT_EQ(m.i_bbox, c.box);
        EXPECT_EQ(MaskArt(m), c.mask);
    }
}

struct MergeCase {
    const char* name;
    Rows first, second;
    int32_t kind;
    TRect box;
    Rows mask;
};

TEST(SpriteMask, SharedMaskMergesFrames) {
    const MergeCase cases[] = {
        {"precise masks are or-ed",
         {"#..", "..."},
         {"...", "..#"},
         kMaskPrecise,
         {0, 0, 2, 1},
         {"#..", "..#"}},
        {"a larger frame adds only what fits",
         {"#.", ".."},
         {"...", "...", "..#"},
         kMaskPrecise,
         {0, 0, 2, 2},
         {"#.", ".."}},
        {"rectangle fills the union box clipped to the mask",
         {"#..", "...", "..."},
         {".....", ".....", ".....", ".....", "....#"},
         kMaskRectangle,
         {0, 0, 4, 4},
         {"###", "###", "###"}},
        {"ellipse is recomputed on the union box",
         {"#....", ".....", ".....", ".....", "....."},
         {".....", ".....", ".....", ".....", "....#"},
         kMaskEllipse,
         {0, 0, 4, 4},
         {".###.", "#####", "#####", "#####", ".###."}},
    };
    for (const MergeCase& c : cases) {
        SCOPED_TRACE(c.name);
        CSprite spr;
        spr.i_bitmap = {Art(c.first), Art(c.second)};
        spr.i_numb = 2;
        spr.ComputeMask(false, kBoxAutomatic, TRect{}, c.kind, 0);
        ASSERT_EQ(spr.i_mask.size(), 1u);
        EXPECT_EQ(spr.i_mask[0].i_bbox, c.box);
        EXPECT_EQ(spr.i_bbox, c.box);
        EXPECT_EQ(MaskArt(spr.i_mask[0]), c.mask);
    }
}

TEST(SpriteMask, SpriteBoxFromSeparateMasks) {
    CSprite spr;
    spr.i_bitmap = {Art({"...", ".#.", "..."}), Art({"...", "...", "..#"})};
    spr.i_numb = 2;
    spr.ComputeMask(true, kBoxAutomatic, TRect{}, kMaskPrecise, 0);
    ASSERT_EQ(spr.i_mask.size(), 2u);
    EXPECT_EQ(spr.i_bbox, (TRect{1, 1, 2, 2}));

    // Frames without a pixel above the tolerance leave the sprite's box inverted.
    spr.i_bitmap = {Art({"...", "...", "..."}), Art({"...", "...", "..."})};
    spr.ComputeMask(true, kBoxAutomatic, TRect{}, kMaskPrecise, 0);
    EXPECT_EQ(spr.i_bbox, (TRect{2, 2, 0, 0}));

    CSprite empty;
    empty.ComputeMask(true, kBoxFull, TRect{}, kMaskRectangle, 0);
    EXPECT_TRUE(empty.i_mask.empty());
    EXPECT_EQ(empty.i_bbox, TRect{});
    EXPECT_EQ(empty.GetWidth(), 1);
    EXPECT_EQ(empty.GetHeight(), 1);
}

// Two placed masks: the first at (x1, y1), the second at (x2, y2), both with origin 0.
struct PairCase {
    const char* name;
    Rows a;
    TRect bb1;
    int32_t x1, y1;
    double s1;
    Rows b;
    TRect bb2;
    int32_t x2, y2;
    double s2;
    double angle;
    bool hit;
};

TEST(SpriteMask, MaskAgainstMask) {
    const Rows solid = {"##", "##"};
    const PairCase cases[] = {
        {"boxes touching along a column meet there",
         solid,
         {0, 0, 1, 1},
         0,
         0,
         1,
         solid,
         {1, 0, 2, 1},
         1,
         0,
         1,
         0,
         true},
        {"only the shared column is tested",
         solid,
         {0, 0, 1, 1},
         0,
         0,
         1,
         {".#", ".#"},
         {1, 0, 2, 1},
         1,
         0,
         1,
         0,
         false},
        {"disjoint boxes", solid, {0, 0, 1, 1}, 0, 0, 1, solid, {2, 0, 3, 1}, 2, 0, 1, 0, false},
        {"scaled mapping reaches the scaled pixel",
         {"#"},
         {0, 0, 2, 2},
         0,
         0,
         3,
         {"#"},
         {2, 2, 2, 2},
         2,
         2,
         1,
         0,
         true},
        {"scaled mapping, not the box, decides",
         {"#"},
         {0, 0, 5, 5},
         0,
         0,
         2,
         {"#"},
         {2, 2, 2, 2},
         2,
         2,
         1,
         0,
         false},
        {"zero scale never hits", solid, {0, 0, 5, 5}, 0, 0, 0, solid, {0, 0, 5, 5}, 0, 0, 1, 0, false},
        {"rotated by a half turn the block lies up and left",
         solid,
         {-2, -2, 2, 2},
         0,
         0,
         1,
         {"#"},
         {-1, -1, -1, -1},
         -1,
         -1,
         1,
         180,
         true},
        {"rotated by a half turn nothing is left below right",
         solid,
         {-2, -2, 2, 2},
         0,
         0,
         1,
         {"#"},
         {1, 1, 1, 1},
         1,
         1,
         1,
         180,
         false},
    };
    for (const PairCase& c : cases) {
        SCOPED_TRACE(c.name);
        const TMask a = MaskOf(c.a), b = MaskOf(c.b);
        EXPECT_EQ(a.CollisionMask(c.bb1, c.x1, c.y1, 0, 0, c.s1, c.s1, c.angle, &b, c.bb2, c.x2, c.y2, 0, 0,
                                  c.s2, c.s2, 0),
                  c.hit);
    }
    const TMask a = MaskOf(solid);
    EXPECT_FALSE(
        a.CollisionMask({0, 0, 1, 1}, 0, 0, 0, 0, 1, 1, 0, nullptr, {0, 0, 1, 1}, 0, 0, 0, 0, 1, 1, 0));
}

TEST(SpriteMask, DirectScanAgreesWithPixelLookups) {
    std::mt19937 rng(11);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    auto randomMask = [&] {
        TMask m;
        m.i_w = pick(1, 6);
        m.i_h = pick(1, 6);
        m.i_mask.resize(size_t(m.i_w * m.i_h));
        for (uint8_t& p : m.i_mask) p = pick(0, 1) == 0;
        return m;
    };
    // A box near the placed mask, a little larger or smaller on each side.
    auto boxNear = [&](const TMask& m, int x, int y) {
        return TRect{x + pick(-2, 2), y + pick(-2, 2), x + m.i_w - 1 + pick(-2, 2),
                     y + m.i_h - 1 + pick(-2, 2)};
    };
    int hits = 0;
    for (int trial = 0; trial < 2000; ++trial) {
        const TMask a = randomMask(), b = randomMask();
        const int x1 = pick(-4, 4), y1 = pick(-4, 4), xo1 = pick(0, 3), yo1 = pick(0, 3);
        const int x2 = pick(-4, 4), y2 = pick(-4, 4), xo2 = pick(0, 3), yo2 = pick(0, 3);
        const TRect bb1 = boxNear(a, x1 - xo1, y1 - yo1), bb2 = boxNear(b, x2 - xo2, y2 - yo2);
        bool expected = false;
        for (int px = std::max(bb1.Left, bb2.Left); px <= std::min(bb1.Right, bb2.Right); ++px)
            for (int py = std::max(bb1.Top, bb2.Top); py <= std::min(bb1.Bottom, bb2.Bottom); ++py)
                expected =
                    expected || (a.Get(px - x1 + xo1, py - y1 + yo1) && b.Get(px - x2 + xo2, py - y2 + yo2));
        hits += expected;
        ASSERT_EQ(a.CollisionMask(bb1, x1, y1, xo1, yo1, 1, 1, 0, &b, bb2, x2, y2, xo2, yo2, 1, 1, 0),
                  expected)
            << "trial " << trial;
    }
    EXPECT_GT(hits, 50);
}

// Random small masks placed with random scales (large ones too), angles, origins and boxes:
// the walks over cells of equal mapping and the halving search must answer as the plain scans.
TEST(SpriteMask, RegionWalksAgreeWithPlainScans) {
    std::mt19937 rng(29);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    auto real = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); };
    auto randomMask = [&] {
        TMask m;
        m.i_w = pick(1, 7);
        m.i_h = pick(1, 7);
        m.i_mask.resize(size_t(m.i_w * m.i_h));
        const int density = pick(1, 4);
        for (uint8_t& p : m.i_mask) p = pick(0, 4) < density;
        return m;
    };
    const double scales[] = {1, 1, 2, 3, 0.5, -2, 7, 12.5, -9, 23, 0.3};
    const double angles[] = {0, 0, 0, 90, 180, 45, -30, 270};
    auto scale = [&] { return pick(0, 4) == 0 ? real(-20, 20) : scales[pick(0, 10)]; };
    auto angle = [&] { return pick(0, 3) == 0 ? real(-360, 360) : angles[pick(0, 7)]; };
    // A box around a placement, reaching about as far as the scaled mask does.
    auto boxAround = [&](const TMask& m, int x, int y, double sx, double sy) {
        const int reach = int(std::ceil((m.i_w + m.i_h) * std::max(std::fabs(sx), std::fabs(sy)))) + 2;
        return TRect{x - pick(0, reach), y - pick(0, reach), x + pick(0, reach), y + pick(0, reach)};
    };
    int hits[3] = {}, trials[3] = {};
    for (int trial = 0; trial < 3000; ++trial) {
        SCOPED_TRACE(trial);
        const TMask a = randomMask(), b = randomMask();
        const int x1 = pick(-30, 30), y1 = pick(-30, 30), xo1 = pick(-1, a.i_w), yo1 = pick(-1, a.i_h);
        const int x2 = x1 + pick(-12, 12), y2 = y1 + pick(-12, 12), xo2 = pick(-1, b.i_w),
                  yo2 = pick(-1, b.i_h);
        const double s1x = scale(), s1y = pick(0, 2) ? s1x : scale(), s2x = scale(),
                     s2y = pick(0, 2) ? s2x : scale();
        const double a1 = pick(0, 1) ? angle() : 0, a2 = pick(0, 1) ? angle() : 0;
        const TRect bb1 = boxAround(a, x1, y1, s1x, s1y), bb2 = boxAround(b, x2, y2, s2x, s2y);
        const int test = trial % 3;
        ++trials[test];
        bool expected = false, got = false;
        if (test == 0) {
            expected = a.CollisionMaskScan(bb1, x1, y1, xo1, yo1, s1x, s1y, a1, &b, bb2, x2, y2, xo2, yo2,
                                           s2x, s2y, a2);
            got =
                a.CollisionMask(bb1, x1, y1, xo1, yo1, s1x, s1y, a1, &b, bb2, x2, y2, xo2, yo2, s2x, s2y, a2);
        } else {
            // The shape: sometimes flat, sometimes wider than the box.
            const TRect rr{bb2.Left, bb2.Top, pick(0, 5) ? bb2.Right : bb2.Left, bb2.Bottom};
            if (test == 1) {
                expected = a.CollisionRectangleScan(bb1, x1, y1, xo1, yo1, s1x, s1y, a1, rr);
                got = a.CollisionRectangle(bb1, x1, y1, xo1, yo1, s1x, s1y, a1, rr);
            } else {
                expected = a.CollisionEllipseScan(bb1, x1, y1, xo1, yo1, s1x, s1y, a1, rr);
                got = a.CollisionEllipse(bb1, x1, y1, xo1, yo1, s1x, s1y, a1, rr);
            }
        }
        hits[test] += expected;
        ASSERT_EQ(got, expected) << "test " << test << " scales " << s1x << "," << s1y << " " << s2x << ","
                                 << s2y << " angles " << a1 << " " << a2;
    }
    for (int test = 0; test < 3; ++test) {
        EXPECT_GT(hits[test], trials[test] / 10) << test;
        EXPECT_LT(hits[test], trials[test] * 9 / 10) << test;
    }
}

// Instances scaled 10,000 times once made each test scan billions of room pixels. A mask and its
// complement over each other never meet, which keeps every boundary between cells in play.
TEST(SpriteMask, HugelyScaledMasksAreWalkedByTheirOwnPixels) {
    const TMask a = MaskOf(
        {"#.#.#.#.", ".#.#.#.#", "##..##..", "..##..##", "#.#.#.#.", "########", "........", ".#.#.#.#"});
    TMask b = a;
    for (uint8_t& p : b.i_mask) p = !p;
    const double s = 10000;
    struct Case {
        double angle;
        int32_t shift; // of the second instance, in mask pixels
        bool hit;
    } cases[] = {{0, 0, false}, {0, 1, true}, {30, 0, false}, {30, 1, true}, {-90, 0, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.angle);
        const int32_t x2 = c.shift * int32_t(s);
        const TRect box{-200000, -200000, 200000, 200000};
        EXPECT_EQ(a.CollisionMask(box, 0, 0, 4, 4, s, s, c.angle, &b, box, x2, 0, 4, 4, s, s, c.angle),
                  c.hit);
    }
    // A small rectangle and ellipse far inside one mask pixel, and the whole instance.
    const TRect box{-40000, -40000, 40000, 40000};
    EXPECT_TRUE(a.CollisionRectangle(box, 0, 0, 4, 4, s, s, 0, {-40000, -40000, 40000, 40000}));
    EXPECT_FALSE(a.CollisionRectangle(box, 0, 0, 4, 4, s, s, 0, {-39000, -29000, -31000, -21000}));
    EXPECT_TRUE(a.CollisionEllipse(box, 0, 0, 4, 4, s, s, 30, {-40000, -40000, 40000, 40000}));
    EXPECT_FALSE(a.CollisionEllipse(box, 0, 0, 4, 4, s, s, 0, {-39000, -29000, -31000, -21000}));
}

struct PointCase {
    const char* name;
    double scale;
    double angle;
    int32_t px, py;
    bool hit;
};

TEST(SpriteMask, PointMappings) {
    // The right two columns of a 5x5 frame, origin in the middle, placed at (10, 10).
    const TMask m = MaskOf({"...##", "...##", "...##", "...##", "...##"});
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const PointCase cases[] = {
        {"right of the origin", 1, 0, 12, 10, true},
        {"left of the origin", 1, 0, 8, 10, false},
        {"past the frame", 1, 0, 13, 10, false},
        {"doubled: 4/2 + 2", 2, 0, 14, 10, true},
        {"doubled: floor(5/2 + 2)", 2, 0, 15, 10, true},
        {"doubled: past the frame", 2, 0, 16, 10, false},
        {"mirrored", -1, 0, 8, 10, true},
        {"mirrored, other side", -1, 0, 12, 10, false},
        {"zero scale", 0, 0, 10, 10, false},
        {"NaN scale", nan, 0, 12, 10, false},
        {"quarter turn: the right side goes up", 1, 90, 10, 8, true},
        {"quarter turn: nothing below", 1, 90, 10, 12, false},
        {"quarter turn: nothing at the right", 1, 90, 12, 10, false},
        {"quarter turn back: the right side goes down", 1, -90, 10, 12, true},
    };
    for (const PointCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(m.CollisionPoint({}, 10, 10, 2, 2, c.scale, c.scale, c.angle, c.px, c.py), c.hit);
    }
}

TEST(SpriteMask, RectangleAndEllipseRegions) {
    // One set pixel in the bottom-right corner and one at the top middle.
    const TMask m = MaskOf({"..#..", ".....", ".....", ".....", "....#"});
    const TRect bb{0, 0, 4, 4};
    EXPECT_TRUE(m.CollisionRectangle(bb, 0, 0, 0, 0, 1, 1, 0, {3, 3, 4, 4}));
    EXPECT_TRUE(m.CollisionRectangle(bb, 0, 0, 0, 0, 1, 1, 0, {4, 4, 10, 10}));
    EXPECT_FALSE(m.CollisionRectangle(bb, 0, 0, 0, 0, 1, 1, 0, {0, 1, 3, 3}));
    // The region is the instance box with the rectangle: the pixel outside the box is not read.
    EXPECT_FALSE(m.CollisionRectangle({0, 0, 3, 3}, 0, 0, 0, 0, 1, 1, 0, {0, 1, 10, 10}));
    EXPECT_FALSE(m.CollisionRectangle(bb, 0, 0, 0, 0, 0, 1, 0, {0, 0, 4, 4}));
    // Scaled rectangles use the rotated mapping: pixel (4, 4) doubled covers 8..9.
    EXPECT_TRUE(m.CollisionRectangle({0, 0, 9, 9}, 0, 0, 0, 0, 2, 2, 0, {9, 9, 9, 9}));

    // Ellipse inscribed in (0, 0, 4, 4): the corner pixel lies outside, the top middle on the rim.
    const TMask corner = MaskOf({".....", ".....", ".....", ".....", "....#"});
    EXPECT_TRUE(corner.CollisionRectangle(bb, 0, 0, 0, 0, 1, 1, 0, {0, 0, 4, 4}));
    EXPECT_FALSE(corner.CollisionEllipse(bb, 0, 0, 0, 0, 1, 1, 0, {0, 0, 4, 4}));
    EXPECT_TRUE(m.CollisionEllipse(bb, 0, 0, 0, 0, 1, 1, 0, {0, 0, 4, 4}));
    // A flat ellipse is its centre line and never divides by zero.
    EXPECT_TRUE(m.CollisionEllipse(bb, 0, 0, 0, 0, 1, 1, 0, {0, 0, 4, 0}));
    EXPECT_FALSE(m.CollisionEllipse(bb, 0, 0, 0, 0, 1, 1, 0, {0, 4, 2, 4}));
}

struct LineCase {
    const char* name;
    double xl, yl, xr, yr;
    bool hit;
};

TEST(SpriteMask, Lines) {
    // One pixel at (10, 20).
    const TMask m = MaskOf({"#"});
    const TRect bb{10, 20, 10, 20};
    const LineCase cases[] = {
        {"vertical line as a rectangle", 10, 5, 10, 40, true},
        {"vertical line beside it", 11, 5, 11, 40, false},
        {"horizontal line given right to left", 30, 20, 0, 20, true},
        {"diagonal through the pixel", 0, 10, 20, 30, true},
        {"diagonal one row below", 0, 11, 20, 31, false},
        {"steep line through the pixel", 10, 0, 11, 30, true},
        {"steep line given bottom to top", 11, 30, 10, 0, true},
        {"steep line left of it", 9, 0, 9.5, 30, false},
    };
    for (const LineCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(m.CollisionLine(bb, 10, 20, 0, 0, 1, 1, 0, c.xl, c.yl, c.xr, c.yr), c.hit);
    }
    EXPECT_FALSE(m.CollisionLine(bb, 10, 20, 0, 0, 0, 0, 0, 0, 10, 20, 30));
}

TEST(SpriteMask, FrameIndicesWrap) {
    CSprite spr;
    spr.i_bitmap = {Art({"#.."}), Art({".#."}), Art({"..#"})};
    spr.i_numb = 3;
    spr.ComputeMask(true, kBoxFull, TRect{}, kMaskPrecise, 0);
    const TRect bb{0, 0, 2, 0};
    auto hitAt = [&](int32_t frame) {
        for (int32_t x = 0; x < 3; ++x)
            if (spr.CheckCollisionPoint(frame, bb, 0, 0, 1, 1, 0, x, 0)) return x;
        return -1;
    };
    EXPECT_EQ(hitAt(-1), 2);
    EXPECT_EQ(hitAt(4), 1);
    EXPECT_EQ(hitAt(-4), 2);
    EXPECT_EQ(hitAt(3), 0);
    EXPECT_EQ(spr.WrapIndex(-1), 2);

    CSprite other;
    other.i_bitmap = {Art({"###"})};
    other.i_numb = 1;
    other.ComputeMask(false, kBoxFull, TRect{}, kMaskPrecise, 0);
    EXPECT_TRUE(spr.CheckCollision(-2, bb, 0, 0, 1, 1, 0, &other, 7, bb, 0, 0, 1, 1, 0));
    EXPECT_FALSE(spr.CheckCollision(0, bb, 0, 0, 1, 1, 0, nullptr, 0, bb, 0, 0, 1, 1, 0));
    CSprite empty;
    EXPECT_FALSE(empty.CheckCollisionPoint(0, bb, 0, 0, 1, 1, 0, 0, 0));
    EXPECT_FALSE(spr.CheckCollision(0, bb, 0, 0, 1, 1, 0, &empty, 0, bb, 0, 0, 1, 1, 0));
}

} // namespace
} // namespace kestrin
