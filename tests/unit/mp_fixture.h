#pragma once
// Shared by the motion planning tests: the collision fixture with the planning state reset
// and run-time errors collected, paths made in the path table, and a path's control points
// as (x, y) pairs.

#include <string>
#include <utility>
#include <vector>

#include "script/run_error.h"
#include "tests/unit/collision_fixture.h"
#include "world/function_mp.h"
#include "world/path.h"

namespace kestrin::testing {

using Points = std::vector<std::pair<double, double>>;

inline Points PointsOf(const CPath& path) {
    Points out;
    for (const RWayPoint& p : path.Points()) out.emplace_back(p.x, p.y);
    return out;
}

class MpTest : public CollisionTest {
protected:
    void SetUp() override {
        CollisionTest::SetUp();
        ResetMotionPlanning();
        Path_ClearAll();
        errors().clear();
        previousSink_ = SetRunErrorSink([](std::string_view m, bool) { errors().emplace_back(m); });
    }
    void TearDown() override {
        SetRunErrorSink(previousSink_);
        ResetMotionPlanning();
        Path_ClearAll();
        CollisionTest::TearDown();
    }

    static std::vector<std::string>& errors() {
        static std::vector<std::string> e;
        return e;
    }

    // A new path in the table holding the given points (so a test sees what is left alone).
    static int32_t NewPath(const Points& points = {}) {
        auto path = std::make_unique<CPath>();
        for (const auto& [x, y] : points) path->AddPoint(x, y, 100);
        return Path_AddNew(std::move(path));
    }

private:
    RunErrorSink previousSink_ = nullptr;
};

} // namespace kestrin::testing
