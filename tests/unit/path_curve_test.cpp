#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "world/path.h"

using namespace kestrin;

namespace {

struct Pt {
    double x, y, speed;
};

CPath MakePath(int32_t kind, bool closed, int32_t precision, const std::vector<Pt>& points) {
    CPath path;
    path.SetKind(kind);
    path.SetClosed(closed);
    path.SetPrecision(precision);
    for (const Pt& p : points) path.AddPoint(p.x, p.y, p.speed);
    return path;
}

void ExpectIntPoints(const CPath& path, const std::vector<Pt>& expected) {
    const auto& got = path.IntPoints();
    ASSERT_EQ(got.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_DOUBLE_EQ(got[i].x, expected[i].x) << "point " << i;
        EXPECT_DOUBLE_EQ(got[i].y, expected[i].y) << "point " << i;
        EXPECT_DOUBLE_EQ(got[i].speed, expected[i].speed) << "point " << i;
    }
}

void ExpectPoints(const CPath& path, const std::vector<Pt>& expected) {
    const auto& got = path.Points();
    ASSERT_EQ(got.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_NEAR(got[i].x, expected[i].x, 1e-9) << "point " << i;
        EXPECT_NEAR(got[i].y, expected[i].y, 1e-9) << "point " << i;
        EXPECT_DOUBLE_EQ(got[i].speed, expected[i].speed) << "point " << i;
    }
}

} // namespace

TEST(PathCurve, NewPathDefaults) {
    CPath path;
    EXPECT_EQ(path.Kind(), kPathKindStraight);
    EXPECT_TRUE(path.Closed());
    EXPECT_EQ(path.Precision(), 4);
    EXPECT_EQ(path.Count(), 0);
    EXPECT_TRUE(path.IntPoints().empty());
    EXPECT_EQ(path.Length(), 0);
}

TEST(PathCurve, InterpolationTable) {
    struct Case {
        const char* name;
        int32_t kind;
        bool closed;
        int32_t precision;
        std::vector<Pt> points;
        std::vector<Pt> expected;
        double length;
    };
    const double diag = 100 * std::sqrt(2.0);
    const std::vector<Case> cases = {
        {"closed straight triangle",
         0,
         true,
         4,
         {{0, 0, 100}, {100, 0, 50}, {100, 100, 20}},
         {{0, 0, 100}, {100, 0, 50}, {100, 100, 20}, {0, 0, 100}},
         200 + diag},
        {"open straight", 0, false, 4, {{0, 0, 100}, {100, 0, 50}}, {{0, 0, 100}, {100, 0, 50}}, 100},
        {"straight single point", 0, true, 4, {{5, 6, 7}}, {{5, 6, 7}, {5, 6, 7}}, 0},
        {"straight empty", 0, true, 4, {}, {}, 0},
        {"smooth empty", 1, true, 4, {}, {}, 0},
        {"smooth precision 0 open has its ends only",
         1,
         false,
         0,
         {{0, 0, 100}, {100, 0, 100}, {100, 100, 100}, {0, 100, 0}},
         {{0, 0, 100}, {0, 100, 0}},
         100},
        {"smooth precision 0 closed is empty",
         1,
         true,
         0,
         {{0, 0, 100}, {100, 0, 100}, {100, 100, 100}},
         {},
         0},
        {"smooth two points is the straight line",
         1,
         false,
         8,
         {{0, 0, 100}, {30, 40, 50}},
         {{0, 0, 100}, {30, 40, 50}},
         50},
        {"smooth precision 1 open",
         1,
         false,
         1,
         {{0, 0, 100}, {100, 0, 60}, {100, 100, 20}},
         {{0, 0, 100}, {87.5, 12.5, 60}, {100, 100, 20}},
         std::hypot(87.5, 12.5) + std::hypot(12.5, 87.5)},
        // Halves before and after the middle point: the list runs in order along the curve.
        {"smooth precision 2 subdivision order",
         1,
         false,
         2,
         {{0, 0, 100}, {100, 0, 60}, {100, 100, 20}},
         {{0, 0, 100}, {71.875, 3.125, 70}, {87.5, 12.5, 60}, {96.875, 28.125, 50}, {100, 100, 20}},
         -1},
        // Legs of length 4 or less are not split further whatever the depth.
        {"smooth short legs stop early",
         1,
         false,
         8,
         {{0, 0, 100}, {4, 0, 100}, {4, 4, 100}},
         {{0, 0, 100}, {3.5, 0.5, 100}, {4, 4, 100}},
         -1},
        {"smooth precision 1 closed square",
         1,
         true,
         1,
         {{0, 0, 100}, {100, 0, 100}, {100, 100, 100}, {0, 100, 100}},
         {{87.5, 12.5, 100}, {87.5, 87.5, 100}, {12.5, 87.5, 100}, {12.5, 12.5, 100}, {87.5, 12.5, 100}},
         300},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CPath path = MakePath(c.kind, c.closed, c.precision, c.points);
        ExpectIntPoints(path, c.expected);
        if (c.length >= 0) {
            EXPECT_NEAR(path.Length(), c.length, 1e-9);
        }
        // The cumulative lengths add up the legs.
        const auto& ip = path.IntPoints();
        double l = 0;
        for (size_t i = 0; i < ip.size(); ++i) {
            if (i > 0) l += std::hypot(ip[i].x - ip[i - 1].x, ip[i].y - ip[i - 1].y);
            EXPECT_NEAR(ip[i].l, l, 1e-9);
        }
        if (ip.size() >= 2) {
            EXPECT_DOUBLE_EQ(path.Length(), ip.back().l);
        }
    }
}

TEST(PathCurve, ClosedTriangleLength) {
    const CPath path = MakePath(0, true, 4, {{0, 0, 100}, {100, 0, 100}, {100, 100, 100}});
    EXPECT_NEAR(path.Length(), 341.42, 0.01);
}

TEST(PathCurve, PositionTable) {
    const CPath open = MakePath(0, false, 4, {{0, 0, 100}, {100, 0, 0}, {100, 100, 50}});
    const CPath repeated = MakePath(0, false, 4, {{0, 0, 100}, {0, 0, 100}, {10, 0, 0}});
    const CPath single = MakePath(0, false, 4, {{7, 8, 9}});
    const CPath zero = MakePath(0, false, 4, {{3, 4, 20}, {3, 4, 80}});
    const CPath empty;
    struct Case {
        const char* name;
        const CPath* path;
        double t;
        Pt expected;
    };
    const std::vector<Case> cases = {
        {"start", &open, 0, {0, 0, 100}},
        {"before the start", &open, -1, {0, 0, 100}},
        {"not a number", &open, std::numeric_limits<double>::quiet_NaN(), {0, 0, 100}},
        {"end", &open, 1, {100, 100, 50}},
        {"past the end", &open, 1.5, {100, 100, 50}},
        {"inside the first leg", &open, 0.25, {50, 0, 50}},
        {"exactly on a point", &open, 0.5, {100, 0, 0}},
        {"inside the last leg", &open, 0.75, {100, 50, 25}},
        {"a leg of length zero is passed over", &repeated, 0.5, {5, 0, 50}},
        {"one point", &single, 0.5, {7, 8, 9}},
        {"length zero gives the first point", &zero, 0.7, {3, 4, 20}},
        {"no points", &empty, 0.5, {0, 0, 100}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        double x = -1, y = -1, sp = -1;
        c.path->GetPosition(c.t, x, y, sp);
        EXPECT_DOUBLE_EQ(x, c.expected.x);
        EXPECT_DOUBLE_EQ(y, c.expected.y);
        EXPECT_DOUBLE_EQ(sp, c.expected.speed);
        EXPECT_DOUBLE_EQ(c.path->XPosition(c.t), c.expected.x);
        EXPECT_DOUBLE_EQ(c.path->YPosition(c.t), c.expected.y);
        EXPECT_DOUBLE_EQ(c.path->Speed(c.t), c.expected.speed);
    }
}

// The scan over cumulative lengths against a plain walk that measures each leg afresh.
TEST(PathCurve, PositionMatchesLegWalk) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> coord(-200, 200), frac(-0.2, 1.2);
    for (int round = 0; round < 200; ++round) {
        CPath path;
        path.SetKind(static_cast<int32_t>(rng() % 2));
        path.SetClosed(rng() % 2 == 0);
        path.SetPrecision(static_cast<int32_t>(rng() % 9));
        const int n = static_cast<int>(rng() % 6);
        for (int i = 0; i < n; ++i) path.AddPoint(std::round(coord(rng)), std::round(coord(rng)), 100);
        const auto& ip = path.IntPoints();
        double total = 0;
        for (size_t i = 1; i < ip.size(); ++i)
            total += std::hypot(ip[i].x - ip[i - 1].x, ip[i].y - ip[i - 1].y);
        ASSERT_NEAR(path.Length(), total, 1e-6);
        for (int k = 0; k < 10; ++k) {
            const double t = frac(rng);
            const PathPosition got = path.Position(t);
            if (ip.size() < 2 || total == 0) continue;
            const double target = std::clamp(t, 0.0, 1.0) * total;
            // Walk to the first leg whose end lies beyond the target (the last leg at most).
            double walked = 0;
            size_t i = 0;
            for (; i + 2 < ip.size(); ++i) {
                const double leg = std::hypot(ip[i + 1].x - ip[i].x, ip[i + 1].y - ip[i].y);
                if (walked + leg > target) break;
                walked += leg;
            }
            const double leg = std::hypot(ip[i + 1].x - ip[i].x, ip[i + 1].y - ip[i].y);
            const double f = leg > 0 ? std::min(1.0, (target - walked) / leg) : 0;
            EXPECT_NEAR(got.x, ip[i].x + (ip[i + 1].x - ip[i].x) * f, 1e-6) << "t " << t;
            EXPECT_NEAR(got.y, ip[i].y + (ip[i + 1].y - ip[i].y) * f, 1e-6) << "t " << t;
        }
    }
}

// The binary search over cumulative lengths lands on the very leg the plain walk from the start
// ends on, zero-length legs (repeated points) included, so both answer the same bits.
TEST(PathCurve, SearchedPositionEqualsTheScan) {
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> frac(-0.1, 1.1);
    for (int round = 0; round < 300; ++round) {
        CPath path;
        path.SetKind(static_cast<int32_t>(rng() % 2));
        path.SetClosed(rng() % 2 == 0);
        path.SetPrecision(static_cast<int32_t>(rng() % 9));
        const int n = static_cast<int>(rng() % 12);
        for (int i = 0; i < n; ++i) {
            // Coarse coordinates repeat often, giving legs of length 0.
            const double x = double(rng() % 5) * 16, y = double(rng() % 5) * 16;
            path.AddPoint(x, y, double(rng() % 200));
        }
        std::vector<double> ts = {0, 1, -0.0, 1e-300, 1 - 1e-16, std::nan("")};
        for (int k = 0; k < 40; ++k) ts.push_back(frac(rng));
        // Exactly at each interpolated point's share of the length.
        for (const RIntPoint& p : path.IntPoints())
            if (path.Length() > 0) ts.push_back(p.l / path.Length());
        for (double t : ts) {
            const PathPosition a = path.Position(t), b = path.PositionByScan(t);
            ASSERT_EQ(a.x, b.x) << "round " << round << " t " << t;
            ASSERT_EQ(a.y, b.y) << "round " << round << " t " << t;
            ASSERT_EQ(a.speed, b.speed) << "round " << round << " t " << t;
        }
    }
}

TEST(PathCurve, PointOperations) {
    CPath path = MakePath(0, false, 4, {{0, 0, 100}, {10, 0, 100}});
    EXPECT_EQ(path.AddPoint(20, 0, 50), 2);
    path.InsertPoint(0, -10, 0, 10);
    path.InsertPoint(4, 30, 0, 30);  // at the end
    path.InsertPoint(6, 99, 99, 99); // beyond: ignored
    path.InsertPoint(-1, 99, 99, 99);
    ExpectPoints(path, {{-10, 0, 10}, {0, 0, 100}, {10, 0, 100}, {20, 0, 50}, {30, 0, 30}});
    EXPECT_DOUBLE_EQ(path.Length(), 40);
    path.ChangePoint(4, 30, 40, 30);
    path.ChangePoint(5, 0, 0, 0);
    path.DeletePoint(0);
    path.DeletePoint(4);
    path.DeletePoint(-1);
    ExpectPoints(path, {{0, 0, 100}, {10, 0, 100}, {20, 0, 50}, {30, 40, 30}});
    EXPECT_DOUBLE_EQ(path.Length(), 20 + std::hypot(10, 40));
    path.Clear();
    EXPECT_EQ(path.Count(), 0);
    EXPECT_TRUE(path.IntPoints().empty());
    EXPECT_EQ(path.Length(), 0);
}

TEST(PathCurve, SettersClampAndRecompute) {
    CPath path = MakePath(0, false, 4, {{0, 0, 100}, {100, 0, 100}, {100, 100, 100}});
    EXPECT_DOUBLE_EQ(path.Length(), 200);
    path.SetClosed(true);
    EXPECT_NEAR(path.Length(), 200 + 100 * std::sqrt(2.0), 1e-9);
    path.SetKind(1);
    EXPECT_EQ(path.Kind(), 1);
    EXPECT_GT(path.IntPoints().size(), 4u);
    path.SetKind(7);
    EXPECT_EQ(path.Kind(), 0);
    EXPECT_EQ(path.IntPoints().size(), 4u);
    path.SetPrecision(-3);
    EXPECT_EQ(path.Precision(), 0);
    path.SetPrecision(12);
    EXPECT_EQ(path.Precision(), 8);
}

TEST(PathCurve, TransformationsAboutTheCentre) {
    // Centre (50, 25); speeds travel with their points.
    const std::vector<Pt> base = {{0, 0, 100}, {100, 0, 50}, {100, 50, 20}};
    struct Case {
        const char* name;
        void (*apply)(CPath&);
        std::vector<Pt> expected;
    };
    const std::vector<Case> cases = {
        {"shift", [](CPath& p) { p.Shift(10, -5); }, {{10, -5, 100}, {110, -5, 50}, {110, 45, 20}}},
        {"mirror", [](CPath& p) { p.Mirror(); }, {{100, 0, 100}, {0, 0, 50}, {0, 50, 20}}},
        {"flip", [](CPath& p) { p.Flip(); }, {{0, 50, 100}, {100, 50, 50}, {100, 0, 20}}},
        {"rotate 90", [](CPath& p) { p.Rotate(90); }, {{25, 75, 100}, {25, -25, 50}, {75, -25, 20}}},
        {"rotate 360", [](CPath& p) { p.Rotate(360); }, {{0, 0, 100}, {100, 0, 50}, {100, 50, 20}}},
        {"scale", [](CPath& p) { p.Scale(2, 0.5); }, {{-50, 12.5, 100}, {150, 12.5, 50}, {150, 37.5, 20}}},
        {"scale 0", [](CPath& p) { p.Scale(0, 0); }, {{50, 25, 100}, {50, 25, 50}, {50, 25, 20}}},
        {"reverse", [](CPath& p) { p.Reverse(); }, {{100, 50, 20}, {100, 0, 50}, {0, 0, 100}}},
        {"append itself",
         [](CPath& p) { p.Append(p); },
         {{0, 0, 100}, {100, 0, 50}, {100, 50, 20}, {0, 0, 100}, {100, 0, 50}, {100, 50, 20}}},
        {"append empty", [](CPath& p) { p.Append(CPath()); }, {{0, 0, 100}, {100, 0, 50}, {100, 50, 20}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CPath path = MakePath(0, false, 4, base);
        c.apply(path);
        ExpectPoints(path, c.expected);
        // The interpolated list follows at once.
        const CPath fresh = MakePath(0, false, 4, c.expected);
        EXPECT_NEAR(path.Length(), fresh.Length(), 1e-9);
        ASSERT_EQ(path.IntPoints().size(), fresh.IntPoints().size());
    }
}

TEST(PathCurve, CentreAndSmallPaths) {
    double x = -1, y = -1;
    CPath().Center(x, y);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    CPath one = MakePath(0, false, 4, {{3, 4, 100}});
    one.Center(x, y);
    EXPECT_EQ(x, 3);
    EXPECT_EQ(y, 4);
    one.Reverse();
    one.Rotate(45);
    ExpectPoints(one, {{3, 4, 100}});
    CPath empty;
    empty.Mirror();
    empty.Scale(0, 0);
    EXPECT_EQ(empty.Count(), 0);
}

TEST(PathCurve, AssignCopiesSettingsAndPoints) {
    const CPath from = MakePath(1, false, 2, {{0, 0, 100}, {100, 0, 60}, {100, 100, 20}});
    CPath to = MakePath(0, true, 4, {{9, 9, 9}});
    to.Assign(from);
    EXPECT_EQ(to.Kind(), 1);
    EXPECT_FALSE(to.Closed());
    EXPECT_EQ(to.Precision(), 2);
    EXPECT_EQ(to.IntPoints().size(), 5u);
    EXPECT_DOUBLE_EQ(to.Length(), from.Length());
    to.Assign(to);
    EXPECT_EQ(to.Count(), 3);
}
