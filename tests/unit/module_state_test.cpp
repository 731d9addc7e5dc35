// The module-state list puts every module back at once: what one game left behind in the
// globals, constants, scripts, objects, rooms, instance ids, game values, particles and data
// structures is gone for the next.

#include <gtest/gtest.h>

#include "game/compose.h"
#include "runner/game_world.h"
#include "runner/object.h"
#include "runner/room.h"
#include "script/constants.h"
#include "script/scripts.h"
#include "tests/unit/run_fixture.h"

namespace kestrin {
namespace {

class ModuleStateTest : public testing::RunTest {};

TEST_F(ModuleStateTest, ResetLeavesNothingOfTheLastGame) {
    AddObject("o", testing::ObjectWith({}));
    StartRoom({{0, 10, 20}});
    std::string message;
    ASSERT_TRUE(DefineConstant("c_left_behind", "3", message)) << message;
    ASSERT_GE(AddScript("scr_left_behind", "return 1"), 0);
    ASSERT_TRUE(CompileScripts());
    EXPECT_EQ(Eval("global.g = 5; score = 40; ds_list_create(); instance_create(0, 0, 0); return 1", Nth(0)),
              "1.000000");
    EXPECT_EQ(Eval("part_type_create(); part_system_create(); return part_system_create()", Nth(0)), "1.000000");
    ASSERT_EQ(Eval("return c_left_behind + global.g + scr_left_behind()", Nth(0)), "9.000000");

    ResetModuleStates();

    EXPECT_EQ(Objects().Count(), 0);
    EXPECT_EQ(World().Current(), nullptr);
    EXPECT_EQ(LastIds().last_instance, WorldIds().last_instance);
    EXPECT_EQ(ScriptCount(), 0);
    // The next game in the same process.
    AddObject("o", testing::ObjectWith({}));
    StartRoom({{0, 10, 20}});
    EXPECT_EQ(Eval("return score", Nth(0)), "0.000000");
    EXPECT_EQ(Eval("return ds_list_create()", Nth(0)), "0.000000"); // the first id again
    EXPECT_EQ(Eval("return part_type_create() + part_system_create()", Nth(0)), "0.000000");
    EXPECT_EQ(Eval("return instance_count", Nth(0)), "1.000000");
    EXPECT_NE(Eval("return global.g", Nth(0)).find("error"), std::string::npos);
    EXPECT_NE(Eval("return c_left_behind", Nth(0)).find("error"), std::string::npos);
    for (const ModuleState& state : ModuleStates()) EXPECT_NE(state.reset, nullptr) << state.name;
}

} // namespace
} // namespace kestrin
