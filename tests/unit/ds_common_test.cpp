// The comparison and precision, the id tables, the registry entries and the common
// failures of every data-structure kind.

#include <cctype>
#include <cmath>
#include <functional>
#include <limits>
#include <sstream>

#include "tests/unit/ds_fixture.h"

using namespace kestrin;
using namespace kestrin::testing;

namespace {

TEST_F(DsTest, CompareValuesTable) {
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        double precision;
        RValue a, b;
        int expected;
    } cases[] = {
        {1e-8, R(1), R(1.000000005), 0},
        {1e-8, R(1), R(1.001), -1},
        {1e-8, R(1.001), R(1), 1},
        {1e-8, R(-3), R(-3 - 1e-9), 0},
        {0, R(1), R(1 + 1e-13), 0},
        {0, R(1), R(1.000000005), -1},
        {0, R(0), R(5e-13), 0},        // the absolute floor of 1e-12
        {0, R(1e6), R(1e6 + 5e-7), 0}, // relative to the smaller magnitude
        {0, R(1e6), R(1e6 + 2e-6), -1},
        {0.01, R(1), R(1.005), 0},
        {1e-8, R(inf), R(inf), 0}, // no difference of infinities is taken
        {1e-8, R(-inf), R(inf), -1},
        {0, R(-inf), R(inf), -1},
        {0, R(inf), R(1e300), 1},
        {0, R(inf), R(inf), 0},
        {1e-8, S("abc"), S("abc"), 0},
        {1e-8, S("ab"), S("abc"), -1}, // a proper prefix is smaller
        {1e-8, S("b"), S("abc"), 1},
        {1e-8, S("B"), S("a"), -1},                          // case-sensitive, by code unit
        {1e-8, S("\xEF\xBD\x81"), S("\xF0\x9F\x98\x80"), 1}, // U+FF41 above a surrogate pair
        {1e-8, S(""), R(1e300), 1},                          // a string is above every real
        {1e-8, R(1e300), S(""), -1},
    };
    for (const auto& c : cases) {
        SetDsPrecision(c.precision);
        EXPECT_EQ(CompareValues(c.a, c.b), c.expected)
            << Show(c.a) << " vs " << Show(c.b) << " at precision " << c.precision;
    }
}

TEST_F(DsTest, PrecisionIsTheMagnitudeAndAffectsLaterSearches) {
    const double list = Real("ds_list_create", {});
    Call("ds_list_add", {R(list), R(1.005)});
    EXPECT_EQ(Real("ds_list_find_index", {R(list), R(1)}), -1);
    Call("ds_set_precision", {R(-0.01)});
    EXPECT_EQ(DsPrecision(), 0.01);
    EXPECT_EQ(Real("ds_list_find_index", {R(list), R(1)}), 0);
    Call("ds_set_precision", {R(0)});
    EXPECT_EQ(Real("ds_list_find_index", {R(list), R(1.005)}), 0);
    EXPECT_EQ(Real("ds_list_find_index", {R(list), R(1.005000001)}), -1);
}

TEST_F(DsTest, IdsReuseTheLowestFreeSlotPerKind) {
    EXPECT_EQ(Real("ds_list_create", {}), 0);
    EXPECT_EQ(Real("ds_list_create", {}), 1);
    EXPECT_EQ(Real("ds_list_create", {}), 2);
    Call("ds_list_destroy", {R(1)});
    Call("ds_list_destroy", {R(0)});
    EXPECT_EQ(Real("ds_list_create", {}), 0);
    EXPECT_EQ(Real("ds_list_create", {}), 1);
    EXPECT_EQ(Real("ds_list_create", {}), 3);
    // Every kind has its own table.
    EXPECT_EQ(Real("ds_stack_create", {}), 0);
    EXPECT_EQ(Real("ds_grid_create", {R(1), R(1)}), 0);
    // Ids are rounded ties to even: 0.5 names list 0, 2.5 list 2.
    Call("ds_list_add", {R(0.5), R(7)});
    EXPECT_EQ(Real("ds_list_size", {R(0)}), 1);
    Call("ds_list_add", {R(2.5), R(7)});
    EXPECT_EQ(Real("ds_list_size", {R(2)}), 1);
    EXPECT_TRUE(errors().empty());
}

TEST_F(DsTest, InvalidIdsAreReportedAndChangeNothing) {
    Call("ds_list_create", {});
    Call("ds_list_destroy", {R(0)});
    const struct {
        const char* name;
        std::initializer_list<RValue> args;
    } cases[] = {
        {"ds_list_add", {R(0), R(1)}}, // destroyed
        {"ds_list_size",
         {
             R(1),
         }},                                     // never made
        {"ds_stack_push", {R(-1), R(1)}},        // negative
        {"ds_map_find_value", {R(NAN), R(1)}},   // no number
        {"ds_grid_get", {R(1e300), R(0), R(0)}}, // beyond every id
        {"ds_queue_destroy", {R(0)}},
        {"ds_priority_write", {R(0)}},
    };
    for (const auto& c : cases) {
        errors().clear();
        const RValue result = Call(c.name, c.args);
        EXPECT_EQ(Show(result), "0") << c.name;
        ASSERT_EQ(errors().size(), 1u) << c.name;
        EXPECT_EQ(errors()[0], kNoSuchStructure);
    }
}

TEST_F(DsTest, CopyChecksTheTargetFirstThenTheSource) {
    const double a = Real("ds_stack_create", {});
    Call("ds_stack_push", {R(a), R(5)});
    Call("ds_stack_copy", {R(9), R(8)}); // both missing: one report, for the target
    EXPECT_EQ(errors().size(), 1u);
    errors().clear();
    Call("ds_stack_copy", {R(a), R(8)});
    EXPECT_EQ(errors(), std::vector<std::string>{kNoSuchStructure});
    EXPECT_EQ(Real("ds_stack_size", {R(a)}), 1);
    // Copying a container onto itself keeps it.
    Call("ds_stack_copy", {R(a), R(a)});
    EXPECT_EQ(Real("ds_stack_top", {R(a)}), 5);
}

// Every name and argument count of the family, as scripts see them, in registration order.
TEST_F(DsTest, RegistryHoldsAll110Functions) {
    const char* list =
        "ds_set_precision/1 ds_stack_create/0 ds_stack_destroy/1 ds_stack_clear/1 ds_stack_copy/2 "
        "ds_stack_size/1 ds_stack_empty/1 ds_stack_push/2 ds_stack_pop/1 ds_stack_top/1 ds_stack_write/1 "
        "ds_stack_read/2 ds_queue_create/0 ds_queue_destroy/1 ds_queue_clear/1 ds_queue_copy/2 "
        "ds_queue_size/1 ds_queue_empty/1 ds_queue_enqueue/2 ds_queue_dequeue/1 ds_queue_head/1 "
        "ds_queue_tail/1 ds_queue_write/1 ds_queue_read/2 ds_list_create/0 ds_list_destroy/1 "
        "ds_list_clear/1 ds_list_copy/2 ds_list_size/1 ds_list_empty/1 ds_list_add/2 ds_list_insert/3 "
        "ds_list_replace/3 ds_list_delete/2 ds_list_find_index/2 ds_list_find_value/2 ds_list_sort/2 "
        "ds_list_shuffle/1 ds_list_write/1 ds_list_read/2 ds_map_create/0 ds_map_destroy/1 ds_map_clear/1 "
        "ds_map_copy/2 ds_map_size/1 ds_map_empty/1 ds_map_add/3 ds_map_replace/3 ds_map_delete/2 "
        "ds_map_exists/2 ds_map_find_value/2 ds_map_find_previous/2 ds_map_find_next/2 ds_map_find_first/1 "
        "ds_map_find_last/1 ds_map_write/1 ds_map_read/2 ds_priority_create/0 ds_priority_destroy/1 "
        "ds_priority_clear/1 ds_priority_copy/2 ds_priority_size/1 ds_priority_empty/1 ds_priority_add/3 "
        "ds_priority_change_priority/3 ds_priority_find_priority/2 ds_priority_delete_value/2 "
        "ds_priority_delete_min/1 ds_priority_find_min/1 ds_priority_delete_max/1 ds_priority_find_max/1 "
        "ds_priority_write/1 ds_priority_read/2 ds_grid_create/2 ds_grid_destroy/1 ds_grid_copy/2 "
        "ds_grid_resize/3 ds_grid_width/1 ds_grid_height/1 ds_grid_clear/2 ds_grid_set/4 ds_grid_add/4 "
        "ds_grid_multiply/4 ds_grid_set_region/6 ds_grid_add_region/6 ds_grid_multiply_region/6 "
        "ds_grid_set_disk/5 ds_grid_add_disk/5 ds_grid_multiply_disk/5 ds_grid_set_grid_region/8 "
        "ds_grid_add_grid_region/8 ds_grid_multiply_grid_region/8 ds_grid_get/3 ds_grid_get_sum/5 "
        "ds_grid_get_max/5 ds_grid_get_min/5 ds_grid_get_mean/5 ds_grid_get_disk_sum/4 "
        "ds_grid_get_disk_max/4 ds_grid_get_disk_min/4 ds_grid_get_disk_mean/4 ds_grid_value_exists/6 "
        "ds_grid_value_x/6 ds_grid_value_y/6 ds_grid_value_disk_exists/5 ds_grid_value_disk_x/5 "
        "ds_grid_value_disk_y/5 ds_grid_shuffle/1 ds_grid_write/1 ds_grid_read/2";
    std::istringstream in(list);
    std::string entry;
    size_t count = 0;
    int32_t previous = -1;
    const auto table = DataStructureFunctions();
    while (in >> entry) {
        const size_t slash = entry.find('/');
        const std::string name = entry.substr(0, slash);
        const int32_t args = std::stoi(entry.substr(slash + 1));
        ASSERT_LT(count, table.size());
        EXPECT_EQ(table[count].name, name);
        EXPECT_EQ(table[count].argnumb, args) << name;
        const int32_t index = FindFunction(name);
        ASSERT_GE(index, 0) << name;
        EXPECT_GT(index, previous) << name;
        EXPECT_EQ(FunctionArgCount(index), args) << name;
        EXPECT_EQ(FunctionRoutine(index), table[count].routine) << name;
        previous = index;
        ++count;
    }
    EXPECT_EQ(count, 110u);
    EXPECT_EQ(table.size(), 110u);
}

TEST_F(DsTest, ResetEmptiesEveryTableAndThePrecision) {
    Call("ds_map_create", {});
    Call("ds_grid_create", {R(2), R(2)});
    Call("ds_set_precision", {R(0.5)});
    ResetDataStructures();
    EXPECT_EQ(DsPrecision(), kDefaultDsPrecision);
    EXPECT_EQ(Real("ds_map_create", {}), 0);
    EXPECT_EQ(Real("ds_grid_create", {R(1), R(1)}), 0);
}

// Texts of another kind change nothing and report nothing; damaged texts change nothing and
// report one error, whatever the kind.
TEST_F(DsTest, ReadsOfOtherKindsOrDamagedTextsLeaveTheContainer) {
    const char* kinds[] = {"stack", "queue", "list", "map", "priority", "grid"};
    for (const char* kind : kinds) {
        const std::string k = kind;
        const double id =
            k == "grid" ? Real("ds_grid_create", {R(2), R(1)}) : Real("ds_" + k + "_create", {});
        if (k == "stack") Call("ds_stack_push", {R(id), S("keep")});
        if (k == "queue") Call("ds_queue_enqueue", {R(id), S("keep")});
        if (k == "list") Call("ds_list_add", {R(id), S("keep")});
        if (k == "map") Call("ds_map_add", {R(id), S("keep"), R(1)});
        if (k == "priority") Call("ds_priority_add", {R(id), S("keep"), R(1)});
        if (k == "grid") Call("ds_grid_set", {R(id), R(1), R(0), S("keep")});
        const std::string before(Call("ds_" + k + "_write", {R(id)}).str());

        const std::string mapText = "9101000000000000"; // an empty map
        const std::string otherKind = k == "map" ? "2D01000000000000" : mapText;
        const std::string damaged[] = {
            "",                                                   // no header
            "2D01",                                               // a header cut short
            before.substr(0, before.size() - 2),                  // the last byte missing
            before.substr(0, 8) + "FFFFFF7F" + before.substr(16), // a count beyond the text
            before.substr(0, 8) + "FFFFFFFF" + before.substr(16), // a negative count
            before.substr(0, before.size() - 4) + "G0" + before.substr(before.size() - 2), // not hex
            before.substr(0, 10) + "X" + before.substr(11),
        };
        errors().clear();
        Call("ds_" + k + "_read", {R(id), S(otherKind.c_str())});
        EXPECT_TRUE(errors().empty()) << k;
        EXPECT_EQ(Call("ds_" + k + "_write", {R(id)}).str(), before) << k;
        for (const std::string& text : damaged) {
            errors().clear();
            Call("ds_" + k + "_read", {R(id), RValue(text)});
            EXPECT_EQ(Call("ds_" + k + "_write", {R(id)}).str(), before) << k << " read " << text;
            EXPECT_EQ(errors().size(), 1u) << k << " read " << text;
            if (!errors().empty()) {
                EXPECT_EQ(errors()[0], "Data structure text is damaged; the data structure was not changed.");
            }
        }
        // The own text reads back, in either case of hex digits, and a last lone character is
        // ignored.
        std::string lower = before;
        for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        errors().clear();
        if (k == "grid")
            Call("ds_grid_clear", {R(id), R(0)});
        else
            Call("ds_" + k + "_clear", {R(id)});
        Call("ds_" + k + "_read", {R(id), RValue(lower + "Z")});
        EXPECT_TRUE(errors().empty()) << k;
        EXPECT_EQ(Call("ds_" + k + "_write", {R(id)}).str(), before) << k;
    }
}

// Stored values keep the field their kind does not use, so every kind writes back the text it
// read byte for byte; scripts get the field of the kind only, and a value a script puts in
// replaces a whole entry.
TEST_F(DsTest, TextsKeepBothFieldsOfEveryValueTable) {
    const std::string odd = HexStored(1, 5, "a"), zero = HexStored(0, -0.0, "t"),
                      nan = HexStored(0, std::numeric_limits<double>::quiet_NaN(), "");
    const std::string two = HexStored(0, 2, "");
    const struct {
        const char* kind;
        std::string text;
        std::function<void(const RValue&)> change;
        std::string changed;
    } cases[] = {
        {"stack", HexInt(101) + HexInt(3) + odd + zero + nan,
         [this](const RValue& id) {
             EXPECT_EQ(Show(Call("ds_stack_pop", {id})), "nan");
             Call("ds_stack_push", {id, R(2)});
         },
         HexInt(101) + HexInt(3) + odd + zero + two},
        {"queue", HexInt(201) + HexInt(2) + HexInt(1) + HexInt(3) + odd + zero + nan,
         [this](const RValue& id) {
             EXPECT_EQ(Show(Call("ds_queue_head", {id})), "-0");
             Call("ds_queue_enqueue", {id, R(2)});
         },
         HexInt(201) + HexInt(3) + HexInt(1) + HexInt(3) + odd + zero + two},
        {"list", HexInt(301) + HexInt(3) + odd + zero + nan,
         [this](const RValue& id) {
             EXPECT_EQ(Show(Call("ds_list_find_value", {id, R(0)})), "\"a\"");
             Call("ds_list_replace", {id, R(0), R(2)});
             Call("ds_list_insert", {id, R(3), R(2)});
         },
         HexInt(301) + HexInt(4) + two + zero + nan + two},
        {"map", HexInt(401) + HexInt(2) + HexStored(0, 1, "k") + HexStored(1, 7, "z") + odd + zero,
         [this](const RValue& id) {
             EXPECT_EQ(Show(Call("ds_map_find_first", {id})), "1");
             EXPECT_EQ(Show(Call("ds_map_find_last", {id})), "\"z\"");
             Call("ds_map_replace", {id, R(1), R(2)});
         },
         HexInt(401) + HexInt(2) + HexStored(0, 1, "k") + HexStored(1, 7, "z") + two + zero},
        {"priority", HexInt(501) + HexInt(2) + HexStored(0, 1, "p") + HexStored(1, 4, "") + odd + zero,
         [this](const RValue& id) {
             EXPECT_EQ(Show(Call("ds_priority_find_min", {id})), "\"a\"");
             Call("ds_priority_change_priority", {id, S("a"), R(2)});
         },
         HexInt(501) + HexInt(2) + two + HexStored(1, 4, "") + odd + zero},
        {"grid", HexInt(601) + HexInt(3) + HexInt(1) + odd + zero + nan,
         [this](const RValue& id) {
             Call("ds_grid_set", {id, R(0), R(0), R(2)});
         },
         HexInt(601) + HexInt(3) + HexInt(1) + HexStored(0, 2, "a") + zero + nan},
    };
    for (const auto& c : cases) {
        const std::string k = c.kind;
        ResetDataStructures();
        const RValue id =
            k == "grid" ? Call("ds_grid_create", {R(1), R(1)}) : Call("ds_" + k + "_create", {});
        Call("ds_" + k + "_read", {id, RValue(c.text)});
        EXPECT_EQ(Call("ds_" + k + "_write", {id}).str(), c.text) << k;
        const RValue copy =
            k == "grid" ? Call("ds_grid_create", {R(1), R(1)}) : Call("ds_" + k + "_create", {});
        Call("ds_" + k + "_copy", {copy, id});
        EXPECT_EQ(Call("ds_" + k + "_write", {copy}).str(), c.text) << k;
        c.change(id);
        EXPECT_EQ(Call("ds_" + k + "_write", {id}).str(), c.changed) << k;
    }
    EXPECT_TRUE(errors().empty());
}

} // namespace
