// The planners add their points one by one; a straight open path extends its line in place
// of recomputing it. Random point runs, mixed with changes of kind and closedness, must give
// exactly what the full recompute gives.

#include <gtest/gtest.h>

#include <random>

#include "world/path.h"

namespace kestrin {
namespace {

void ExpectSameLine(const CPath& path) {
    CPath reference;
    reference.Assign(path); // recomputes from the control points
    ASSERT_EQ(path.IntPoints().size(), reference.IntPoints().size());
    for (size_t n = 0; n < path.IntPoints().size(); ++n) {
        const RIntPoint& a = path.IntPoints()[n];
        const RIntPoint& b = reference.IntPoints()[n];
        EXPECT_EQ(a.x, b.x);
        EXPECT_EQ(a.y, b.y);
        EXPECT_EQ(a.speed, b.speed);
        EXPECT_EQ(a.l, b.l) << "point " << n;
    }
    EXPECT_EQ(path.Length(), reference.Length());
}

TEST(MpPathAppend, MatchesTheFullRecompute) {
    std::mt19937 random(20261210);
    std::uniform_real_distribution<double> coordinate(-1000, 1000);
    std::uniform_int_distribution<int> action(0, 39);
    for (int trial = 0; trial < 200; ++trial) {
        SCOPED_TRACE(trial);
        CPath path;
        path.SetClosed(false);
        const int steps = trial % 50 * 4;
        for (int s = 0; s < steps; ++s) {
            switch (action(random)) {
            case 0:
                path.SetClosed(!path.Closed());
                break;
            case 1:
                path.SetKind(path.Kind() == kPathKindStraight ? kPathKindSmooth : kPathKindStraight);
                break;
            case 2:
                path.Clear();
                break;
            case 3:
                path.Reverse();
                break;
            case 4: // the same point again adds no length
                if (path.Count() > 0) path.AddPoint(path.Points().back().x, path.Points().back().y, 100);
                break;
            default:
                path.AddPoint(coordinate(random), coordinate(random), coordinate(random));
                break;
            }
            if (s % 7 == 0) ExpectSameLine(path);
        }
        ExpectSameLine(path);
    }
}

TEST(MpPathAppend, FirstPointsOfAnOpenLine) {
    CPath path;
    path.SetClosed(false);
    path.AddPoint(3, 4, 100);
    EXPECT_EQ(path.IntPoints().size(), 1u);
    EXPECT_EQ(path.Length(), 0);
    path.AddPoint(6, 8, 50);
    EXPECT_EQ(path.Length(), 5);
    EXPECT_EQ(path.IntPoints().back().l, 5);
    path.SetClosed(true);
    EXPECT_EQ(path.Length(), 10);
    path.AddPoint(3, 4, 100); // closed: the full recompute
    EXPECT_EQ(path.IntPoints().size(), 4u);
    EXPECT_EQ(path.Length(), 10);
}

} // namespace
} // namespace kestrin
