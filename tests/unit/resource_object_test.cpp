#include <memory>
#include <string>

#include "run_fixture.h"

namespace kestrin {
namespace {

using testing::EventCode;
using testing::ObjectWith;

class ResourceObject : public testing::RunTest {
protected:
    // Code run on no instance; its result as text and what it logged.
    std::string Run(const std::string& code) {
        Log().clear();
        if (!holder_) {
            holder_ = std::make_unique<CInstance>();
            holder_->Create(0, 0, 1, -1);
        }
        std::string out = Eval(code, holder_.get());
        for (const std::string& line : Log()) out += " | " + line;
        return out;
    }
    static std::string Num(double d) { return std::to_string(d); }
    // The self of code run outside the game's rooms.
    std::unique_ptr<CInstance> holder_;
};

TEST_F(ResourceObject, GettersAndSettersOnMissingAndPresentObjects) {
    ObjectRecord record = ObjectWith({});
    record.spriteindex = 4;
    record.solid = true;
    record.visible = false;
    record.depth = -7;
    record.persistent = true;
    record.mask = 2;
    const int32_t root = AddObject("root", ObjectWith({}));
    record.parent = root;
    const int32_t obj = AddObject("thing", record);
    const int32_t gone = AddObject("gone", ObjectWith({}));
    ASSERT_TRUE(Objects().Delete(gone));
    struct Row {
        const char* getter;
        double present;
    } rows[] = {
        {"object_get_sprite", 4},
        {"object_get_solid", 1},
        {"object_get_visible", 0},
        {"object_get_depth", -7},
        {"object_get_persistent", 1},
        {"object_get_mask", 2},
        {"object_get_parent", double(root)},
    };
    for (const Row& row : rows) {
        const std::string g = row.getter;
        EXPECT_EQ(Run("return " + g + "(" + std::to_string(obj) + ")"), Num(row.present)) << g;
        for (int32_t missing : {gone, -1, 99})
            EXPECT_EQ(Run("return " + g + "(" + std::to_string(missing) + ")"), Num(-1)) << g << missing;
    }
    EXPECT_EQ(Run("return object_get_name(" + std::to_string(obj) + ")"), "thing");
    EXPECT_EQ(Run("return object_name(" + std::to_string(gone) + ")"), "<undefined>");
    EXPECT_EQ(Run("return object_exists(" + std::to_string(obj) + ")"), Num(1));
    EXPECT_EQ(Run("return object_exists(" + std::to_string(gone) + ")"), Num(0));

    // Setters: silent on a missing object; the stored values are not checked.
    for (const char* setter : {"object_set_sprite", "object_set_depth", "object_set_mask", "object_set_solid",
                               "object_set_visible", "object_set_persistent", "object_set_parent"})
        for (int32_t missing : {gone, -3, 1000})
            EXPECT_EQ(Run(std::string(setter) + "(" + std::to_string(missing) + ", 1)"), Num(0)) << setter;
    const std::string o = std::to_string(obj);
    Run("object_set_sprite(" + o + ", 77) object_set_depth(" + o + ", 3.6) object_set_mask(" + o +
        ", -9) object_set_solid(" + o + ", 0.4) object_set_visible(" + o + ", 0.5) object_set_persistent(" +
        o + ", 0)");
    const CObject* thing = Objects().Get(obj);
    EXPECT_EQ(thing->o_spriteindex, 77);
    EXPECT_EQ(thing->o_depth, 4);
    EXPECT_EQ(thing->o_mask, -9);
    EXPECT_FALSE(thing->o_solid);
    EXPECT_TRUE(thing->o_visible);
    EXPECT_FALSE(thing->o_persistent);
}

TEST_F(ResourceObject, ParentsRefuseMissingObjectsAndCycles) {
    const int32_t a = AddObject("a", ObjectWith({}));
    const int32_t b = AddObject("b", ObjectWith({}, a));
    const int32_t c = AddObject("c", ObjectWith({}, b));
    const std::string A = std::to_string(a), B = std::to_string(b), C = std::to_string(c);
    const std::string cycle = "error: ", missingParent = "Setting a non-existing parent.";
    EXPECT_EQ(Run("return object_is_ancestor(" + C + ", " + A + ")"), Num(1));
    EXPECT_EQ(Run("return object_is_ancestor(" + A + ", " + C + ")"), Num(0));
    EXPECT_EQ(Run("return object_is_ancestor(" + A + ", " + A + ")"), Num(0));
    // A root's parent is -1, which is no object and so no ancestor.
    EXPECT_EQ(Run("return object_is_ancestor(" + A + ", -1)"), Num(0));
    EXPECT_EQ(Run("return object_is_ancestor(" + C + ", -1)"), Num(0));
    EXPECT_EQ(Run("return object_is_ancestor(55, " + A + ")"), Num(-1));

    EXPECT_NE(Run("object_set_parent(" + A + ", " + A + ")").find("Creating a cycle in the parent relation."),
              std::string::npos);
    EXPECT_NE(Run("object_set_parent(" + A + ", " + C + ")").find("Creating a cycle in the parent relation."),
              std::string::npos);
    EXPECT_NE(Run("object_set_parent(" + A + ", 40)").find(missingParent), std::string::npos);
    EXPECT_EQ(Objects().Get(a)->o_parent, -1);
    EXPECT_EQ(Run("object_set_parent(" + C + ", -5)"), Num(0));
    EXPECT_EQ(Objects().Get(c)->o_parent, -1);
    EXPECT_EQ(Run("object_set_parent(" + C + ", " + A + ") return object_get_parent(" + C + ")"), Num(a));

    // A cycle in the game data ends every walk instead of hanging.
    Objects().Get(a)->o_parent = b;
    EXPECT_EQ(Run("return object_is_ancestor(" + A + ", " + C + ")"), Num(0));
    EXPECT_EQ(Run("return object_is_ancestor(" + A + ", " + B + ")"), Num(1));
    EXPECT_NE(Run("object_set_parent(" + B + ", " + C + ")").find("Creating a cycle"), std::string::npos);
    (void)cycle;
}

TEST_F(ResourceObject, AddAndDeleteObjects) {
    const int32_t a = AddObject("a", ObjectWith({}));
    const std::string added = Run("return object_add()");
    EXPECT_EQ(added, Num(a + 1));
    EXPECT_EQ(Run("return object_get_name(" + std::to_string(a + 1) + ")"),
              "__newobject" + std::to_string(a + 1));
    EXPECT_EQ(Run("return object_get_visible(" + std::to_string(a + 1) + ")"), Num(1));
    EXPECT_EQ(Run("return object_delete(" + std::to_string(a) + ")"), Num(1));
    EXPECT_NE(
        Run("return object_delete(" + std::to_string(a) + ")").find("Trying to delete non-existing object."),
        std::string::npos);
    EXPECT_EQ(Run("return object_get_name(" + std::to_string(a) + ")"), "<undefined>");
}

// Events given and taken away at run time, seen through the steps of a game.
TEST_F(ResourceObject, EventsAddedAndClearedWhileTheGameRuns) {
    const int32_t other = AddObject("other", ObjectWith({}));
    const std::string O = std::to_string(other);
    const int32_t walker = AddObject(
        "walker", ObjectWith({{ev_create, 0, "done = 0"},
                              {ev_step, 0,
                               "show_debug_message('w') if (done == 0) { done = 1 "
                               "object_event_add(object_index, ev_step, 0, 'show_debug_message(\"added\")') "
                               "object_event_add(" +
                                   O + ", ev_step, 0, 'show_debug_message(\"o\")') }"}}));
    StartRoom({{walker}, {other}});
    Take();
    Loop().Step();
    // The running list keeps its length: the new action joins after the event. The other
    // object had no step event when the step began.
    EXPECT_EQ(Take(), "w");
    Loop().Step();
    EXPECT_EQ(Take(), "o w added");
    // Cleared from inside the event: the running actions finish, later steps run nothing.
    EXPECT_EQ(Run("object_event_add(" + std::to_string(walker) + ", ev_step, 0, 'object_event_clear(" +
                  std::to_string(walker) + ", ev_step, 0) show_debug_message(\"after\")')"),
              Num(0));
    Take();
    Loop().Step();
    EXPECT_EQ(Take(), "o w added after");
    Loop().Step();
    EXPECT_EQ(Take(), "o");
    // Clearing an event the object does not have does nothing.
    EXPECT_EQ(Run("object_event_clear(" + std::to_string(walker) + ", ev_step, 0) object_event_clear(" + O +
                  ", 99, 0) object_event_add(" + O + ", 12, 0, 'x = 1') object_event_add(" + O +
                  ", ev_step, -1, 'x = 1')"),
              Num(0));
    EXPECT_EQ(Objects().Get(other)->GetEventDirect(ev_step, 0)->e_number(), 1);
}

TEST_F(ResourceObject, ObjectDeletedFromItsOwnEvent) {
    const int32_t doomed = AddObject(
        "doomed", ObjectWith({{ev_step, 0, "object_delete(object_index) show_debug_message('still')"}}));
    StartRoom({{doomed}, {doomed}});
    Take();
    Loop().Step();
    // The first instance's event deletes the object; its actions run to their end, and the
    // second instance, of an object that is gone, runs nothing.
    EXPECT_EQ(Take(), "still");
    Loop().Step();
    EXPECT_EQ(Take(), "");
}

TEST_F(ResourceObject, ParentChangedAtRunTimeRebuildsTheEventLists) {
    const int32_t parent = AddObject("parent", ObjectWith({{ev_step, 0, "show_debug_message('p')"}}));
    const int32_t child = AddObject("child", ObjectWith({}));
    StartRoom({{child}});
    Take();
    Loop().Step();
    EXPECT_EQ(Take(), "");
    Run("object_set_parent(" + std::to_string(child) + ", " + std::to_string(parent) + ")");
    Loop().Step();
    EXPECT_EQ(Take(), "p");
    Run("object_set_parent(" + std::to_string(child) + ", -1)");
    Loop().Step();
    EXPECT_EQ(Take(), "");
}

TEST_F(ResourceObject, CodeThatDoesNotCompileIsAFatalErrorAndIsNotKept) {
    const int32_t obj = AddObject("obj", ObjectWith({}));
    const std::string out = Run("object_event_add(" + std::to_string(obj) + ", ev_step, 0, 'x = = 1')");
    EXPECT_NE(out.find("COMPILATION ERROR in code action"), std::string::npos) << out;
    EXPECT_EQ(World().room_request, kRequestAbort);
    EXPECT_EQ(Objects().Get(obj)->GetEventDirect(ev_step, 0), nullptr);
}

} // namespace
} // namespace kestrin
