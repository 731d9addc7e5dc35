// The path built-ins: queries and their answers for missing paths and points, positions,
// settings, making and copying paths, point edits and transformations, and the exact errors.

#include <gtest/gtest.h>

#include "function_fixture.h"
#include "world/path.h"

namespace kestrin {
namespace {

class PathFunctions : public testing::FunctionTest {
protected:
    void SetUp() override {
        FunctionTest::SetUp();
        Path_ClearAll();
        // Path 0: the closed straight triangle; 1: an empty slot; 2: an open two-point line.
        auto triangle = std::make_unique<CPath>();
        triangle->AddPoint(0, 0, 100);
        triangle->AddPoint(100, 0, 50);
        triangle->AddPoint(100, 100, 20);
        Path_AddNew(std::move(triangle));
        Path_AddNew(nullptr);
        auto line = std::make_unique<CPath>();
        line->SetClosed(false);
        line->AddPoint(10, 20, 100);
        line->AddPoint(50, 20, 0);
        Path_AddNew(std::move(line));
    }
    void TearDown() override {
        Path_ClearAll();
        FunctionTest::TearDown();
    }

    struct Row {
        const char* code;
        const char* want;
    };
    void Expect(std::initializer_list<Row> rows) {
        for (const Row& row : rows) EXPECT_EQ(Text(row.code), row.want) << row.code;
    }
};

TEST_F(PathFunctions, Queries) {
    Expect({
        {"path_exists(0)", "1"},
        {"path_exists(1)", "0"},
        {"path_exists(2.4)", "1"},
        {"path_exists(3)", "0"},
        {"path_exists(-1)", "0"},
        {"path_get_name(0)", "\"__newpath0\""},
        {"path_name(1)", "\"<undefined>\""},
        {"path_get_name(7)", "\"<undefined>\""},
        {"path_get_length(2)", "40"},
        {"floor(path_get_length(0))", "341"},
        {"path_get_kind(0)", "0"},
        {"path_get_closed(0)", "1"},
        {"path_get_closed(2)", "0"},
        {"path_get_precision(0)", "4"},
        {"path_get_number(0)", "3"},
        {"path_get_point_x(0, 1)", "100"},
        {"path_get_point_y(0, 2.4)", "100"},
        {"path_get_point_speed(0, 1)", "50"},
        {"path_get_point_x(0, 3)", "0"},
        {"path_get_point_y(0, -1)", "0"},
        {"path_get_point_speed(0, 3)", "1"},
        {"path_get_x(2, 0.5)", "30"},
        {"path_get_y(2, 0.5)", "20"},
        {"path_get_speed(2, 0.25)", "75"},
        {"path_get_x(2, 1.5)", "50"},
        {"path_get_x(2, -1)", "10"},
    });
    // A path that does not exist answers -1 everywhere.
    for (const char* f :
         {"path_get_length(1)", "path_get_kind(1)", "path_get_closed(9)", "path_get_precision(1)",
          "path_get_number(1)", "path_get_point_x(1, 0)", "path_get_point_speed(1, 0)", "path_get_x(1, 0)",
          "path_get_y(-4, 0)", "path_get_speed(1, 0)"})
        EXPECT_EQ(Text(f), "-1") << f;
}

TEST_F(PathFunctions, Settings) {
    Expect({
        {"path_set_kind(0, 1); return path_get_kind(0)", "1"},
        {"path_set_kind(0, 5); return path_get_kind(0)", "0"},
        {"path_set_closed(0, 0.4); return path_get_closed(0)", "0"},
        {"path_set_closed(0, 0.5); return path_get_closed(0)", "1"},
        {"path_set_precision(0, 20); return path_get_precision(0)", "8"},
        {"path_set_precision(0, -2); return path_get_precision(0)", "0"},
        {"path_set_closed(2, 1); return path_get_length(2)", "80"},
        {"path_set_kind(1, 1); path_set_closed(9, 1); return path_exists(1)", "0"},
    });
}

TEST_F(PathFunctions, MakingCopyingAndDeleting) {
    Expect({
        {"path_add()", "3"},
        {"path_get_name(3)", "\"__newpath3\""},
        {"path_get_number(3)", "0"},
        {"path_duplicate(0)", "4"},
        {"path_get_number(4)", "3"},
        {"path_duplicate(1)", "0 ! Trying to duplicate non-existing path."},
        {"path_assign(1, 2); return path_get_length(1)", "40"},
        {"path_assign(3, 0); return path_get_number(3)", "3"},
        {"path_assign(2, 9)", "0 ! Error assigning a path."},
        {"path_assign(99, 0)", "0 ! Error assigning a path."},
        {"path_append(0, 2); return path_get_number(0)", "5"},
        {"path_append(0, 0); return path_get_number(0)", "10"},
        {"path_append(9, 0)", "0 ! Appending to non-existing path."},
        {"path_append(0, 9)", "0 ! Appending a non-existing path."},
        {"path_delete(4)", "1"},
        {"path_exists(4)", "0"},
        {"path_delete(4)", "0 ! Trying to delete non-existing path."},
        {"path_add()", "5"},
    });
}

TEST_F(PathFunctions, PointsAndTransformations) {
    Expect({
        {"path_add_point(2, 50, 60, 10); return path_get_number(2)", "3"},
        {"path_get_length(2)", "80"},
        {"path_insert_point(2, 0, 0, 20, 30); return path_get_point_x(2, 0)", "0"},
        {"path_insert_point(2, 9, 1, 1, 1); return path_get_number(2)", "4"},
        {"path_change_point(2, 3, 50, 20, 5); return path_get_point_y(2, 3)", "20"},
        {"path_change_point(2, 4, 1, 1, 1); return path_get_number(2)", "4"},
        {"path_delete_point(2, 0); return path_get_point_x(2, 0)", "10"},
        {"path_delete_point(2, -1); return path_get_number(2)", "3"},
        {"path_clear_points(2); return path_get_number(2)", "0"},
        {"path_get_x(2, 0.5)", "0"},
        {"path_get_speed(2, 0.5)", "100"},
        // The triangle's centre is (50, 50).
        {"path_shift(0, 5, -5); return path_get_point_x(0, 0) + path_get_point_y(0, 0)", "0"},
        {"path_shift(0, -5, 5); path_mirror(0); return path_get_point_x(0, 1)", "0"},
        {"path_mirror(0); path_flip(0); return path_get_point_y(0, 2)", "0"},
        {"path_flip(0); path_reverse(0); return path_get_point_speed(0, 0)", "20"},
        {"path_reverse(0); path_scale(0, 2, 0); return path_get_point_x(0, 1)", "150"},
        {"path_get_point_y(0, 2)", "50"},
        {"path_get_length(0)", "400"},
        {"path_scale(0, 0.5, 1); path_rotate(0, 90); return round(path_get_point_y(0, 0))", "100"},
        {"path_add_point(1, 0, 0, 0); path_rotate(1, 9); path_scale(1, 0, 0); return path_exists(1)", "0"},
    });
}

} // namespace
} // namespace kestrin
