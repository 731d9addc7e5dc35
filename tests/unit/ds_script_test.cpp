// The data-structure built-ins as compiled code reaches them: by name, with their argument
// counts checked, values passed and returned whole.

#include "tests/unit/script_fixture.h"
#include "world/function_ds.h"

using namespace kestrin;
using namespace kestrin::testing;

namespace {

class DsScriptTest : public ScriptTest {
protected:
    void SetUp() override {
        ScriptTest::SetUp();
        ResetDataStructures();
    }
    void TearDown() override {
        ResetDataStructures();
        ScriptTest::TearDown();
    }
};

TEST_F(DsScriptTest, CodeTable) {
    const struct {
        const char* code;
        const char* expected;
    } cases[] = {
        {"l = ds_list_create(); ds_list_add(l, 3); ds_list_add(l, \"b\"); ds_list_add(l, 1);"
         "ds_list_sort(l, true); return string(ds_list_find_value(l, 0)) + ds_list_find_value(l, 2)",
         "\"1b\""},
        {"m = ds_map_create(); ds_map_add(m, \"k\", 5); ds_map_add(m, 2, \"v\");"
         "return ds_map_find_value(m, ds_map_find_first(m))",
         "\"v\""},
        {"g = ds_grid_create(11, 1); for (i = 0; i <= 10; i += 1) ds_grid_set(g, i, 0, i);"
         "ds_grid_set_grid_region(g, g, 0, 0, 9, 0, 1, 0); return ds_grid_get_sum(g, 0, 0, 10, 0)",
         "45"},
        {"q = ds_queue_create(); ds_queue_enqueue(q, 7); t = ds_queue_write(q);"
         "r = ds_queue_create(); ds_queue_read(r, t); return ds_queue_dequeue(r) + ds_queue_size(r)",
         "7"},
        {"p = ds_priority_create(); ds_priority_add(p, \"a\", 1); ds_priority_add(p, \"b\", 0);"
         "return ds_priority_delete_min(p) + ds_priority_find_min(p)",
         "\"ba\""},
        {"s = ds_stack_create(); ds_stack_push(s, 1); return ds_stack_read(s, \"zz\") + ds_stack_top(s)",
         "1"},
        {"return ds_list_add(ds_list_create())", "1:36: Wrong number of arguments to function or script."},
    };
    for (const auto& c : cases) {
        ResetDataStructures();
        EXPECT_EQ(Run(c.code), c.expected) << c.code;
    }
}

} // namespace
