// Starting, entering, leaving and ending rooms, observed through the order in which events
// and creation codes run; persistent rooms and carried instances; room requests.

#include <gtest/gtest.h>

#include "runner/game_world.h"
#include <limits>

#include "script/interpreter.h"
#include "script/registry.h"
#include "tests/unit/world_fixture.h"

namespace kestrin {
namespace {

using testing::EventCode;
using testing::ObjectWith;

std::string Say(const std::string& what) {
    return "show_debug_message(\"" + what + "\")";
}

class SequenceTest : public testing::WorldTest {
protected:
    // Object "a" logs its create, game start/end, room start/end events with its name;
    // object "keep" does the same and is persistent.
    void SetUp() override {
        WorldTest::SetUp();
        for (const char* name : {"a", "keep"}) {
            const std::string n = name;
            ObjectRecord o = ObjectWith({{ev_create, 0, Say(n + ".create")},
                                         {ev_other, ev_game_start, Say(n + ".gamestart")},
                                         {ev_other, ev_game_end, Say(n + ".gameend")},
                                         {ev_other, ev_room_start, Say(n + ".roomstart")},
                                         {ev_other, ev_room_end, Say(n + ".roomend")}});
            o.persistent = n == "keep";
            AddObject(n, o);
        }
    }

    // A room with instances (object, id, creation code) and creation code.
    int32_t Room(const std::string& name, std::vector<RoomRecord::Instance> instances, std::string code = "",
                 bool persistent = false) {
        RoomRecord r;
        r.instances = std::move(instances);
        r.code = std::move(code);
        r.persistent = persistent;
        auto room = std::make_unique<CRoom>();
        room->Assign(r);
        const int32_t index = World().AddRoom(name, std::move(room));
        World().RoomOrder().push_back(index);
        return index;
    }
    static RoomRecord::Instance At(int32_t object, int32_t id, std::string code = "") {
        RoomRecord::Instance i;
        i.object = object;
        i.id = id;
        i.code = std::move(code);
        return i;
    }
    std::string Take() {
        std::string out = Joined();
        Log().clear();
        return out;
    }
};

TEST_F(SequenceTest, StartOrderFollowsTheCreateEventFirstSetting) {
    Room("r0", {At(0, 100001, Say("code1")), At(0, 100002, Say("code2"))}, Say("roomcode"));
    World().library_init_code = {Say("init")};
    World().StartGame();
    EXPECT_EQ(Take(),
              "init code1 a.create code2 a.create a.gamestart a.gamestart roomcode a.roomstart a.roomstart");
    EXPECT_EQ(World().CurrentIndex(), 0);
    EXPECT_EQ(World().room_request, kRequestNone);

    World().create_event_first = true;
    World().RestartGame();
    EXPECT_EQ(Take(),
              "a.roomend a.roomend a.gameend a.gameend init a.create code1 a.create code2 a.gamestart "
              "a.gamestart roomcode a.roomstart a.roomstart");
}

TEST_F(SequenceTest, CreationCodeSeesTheInstanceBeforeItsCreateEvent) {
    const int32_t o = AddObject("probe", ObjectWith({{ev_create, 0, "seen = 1"}}));
    Room("r0", {At(o, 100001,
                   "if (variable_local_exists(\"seen\")) show_debug_message(\"after\") else "
                   "show_debug_message(\"before\")")});
    World().StartGame();
    EXPECT_EQ(Take(), "before");
}

TEST_F(SequenceTest, NonPersistentRoomsStartOverAndPersistentOnesResume) {
    const int32_t r0 = Room("plain", {At(0, 100001, Say("code"))}, Say("roomcode"));
    const int32_t r1 = Room("kept", {At(0, 100002, Say("code2"))}, Say("roomcode2"), true);
    World().StartGame();
    Take();
    World().GotoRoom(r1);
    EXPECT_EQ(Take(), "a.roomend code2 a.create roomcode2 a.roomstart");
    World().Current()->r_instance[0]->i_x = 77;
    World().GotoRoom(r0);
    EXPECT_EQ(Take(), "a.roomend code a.create roomcode a.roomstart");
    EXPECT_EQ(World().RunningRoom(r1)->r_instance[0]->i_x, 77);
    // The persistent room comes back as it was: no creation codes or create events.
    World().GotoRoom(r1);
    EXPECT_EQ(Take(), "a.roomend a.roomstart");
    EXPECT_EQ(World().Current()->r_instance[0]->i_x, 77);
    EXPECT_EQ(World().RunningRoom(r0), nullptr);
    // Restarting a plain room runs everything again.
    World().GotoRoom(r0);
    Take();
    World().GotoRoom(r0);
    EXPECT_EQ(Take(), "a.roomend code a.create roomcode a.roomstart");
    EXPECT_EQ(World().Current()->r_instance[0]->i_id, 100001);
}

TEST_F(SequenceTest, PersistentInstancesAreCarriedAndReplaceTheirStoredTwin) {
    const int32_t keep = Objects().Find("keep");
    const int32_t r0 = Room("first", {At(keep, 100001, Say("keepcode")), At(0, 100002)});
    const int32_t r1 = Room("second", {At(0, 100003, Say("code3")), At(keep, 100001, Say("twin"))});
    LastIds().last_instance = 100003;
    World().StartGame();
    Take();
    World().Current()->r_instance[0]->i_x = 5;
    World().GotoRoom(r1);
    // The stored twin gets no creation code or create event; the carried one no create.
    EXPECT_EQ(Take(), "keep.roomend a.roomend code3 a.create a.roomstart keep.roomstart");
    CRoom* room = World().Current();
    ASSERT_EQ(room->r_numb(), 3);
    EXPECT_TRUE(room->r_instance[1]->i_marked);
    const CInstance& carried = *room->r_instance[2];
    EXPECT_EQ(carried.i_id, 100001);
    EXPECT_EQ(carried.i_x, 5);
    EXPECT_FALSE(carried.i_marked);
    EXPECT_EQ(room->FindInstance(100001), &carried);
    // Carrying used up an id: the next one made is 100005.
    EXPECT_EQ(room->AddInstance(0, 0, 0)->i_id, 100005);
    EXPECT_TRUE(World().Carried().empty());
    (void)r0;
}

TEST_F(SequenceTest, EndingTheGameRunsRoomEndThenGameEnd) {
    Room("r0", {At(0, 100001), At(Objects().Find("keep"), 100002)});
    World().StartGame();
    Take();
    World().EndGame();
    EXPECT_EQ(Take(), "a.roomend keep.roomend a.gameend keep.gameend");
    EXPECT_EQ(World().Current(), nullptr);
}

void EndGameInRoomEnd(CInstance*, CInstance*, int32_t type, int32_t number) {
    if (type == ev_other && number == ev_room_end) World().room_request = kRequestEndGame;
}

TEST_F(SequenceTest, AFatalErrorOrGameEndInTheLeavingEventsIsNotLost) {
    const int32_t bad = AddObject("bad", ObjectWith({{ev_other, ev_room_end, "room_goto(99)"}}));
    Room("r0", {At(bad, 100001)});
    const int32_t r1 = Room("r1", {});
    World().StartGame();
    World().room_request = r1;
    World().LeaveRoom(false);
    EXPECT_EQ(World().room_request, kRequestAbort);

    World().Clear();
    ResetErrorState();
    Room("s0", {At(0, 100001)});
    const int32_t s1 = Room("s1", {});
    World().StartGame();
    SetEventPerformer(EndGameInRoomEnd);
    World().room_request = s1;
    World().LeaveRoom(false);
    EXPECT_EQ(World().room_request, kRequestEndGame);
    // Without anything raised, the request being handled comes back.
    SetEventPerformer(nullptr);
    World().EnterRoom(s1, false);
    World().room_request = kRequestRestart;
    World().LeaveRoom(false);
    EXPECT_EQ(World().room_request, kRequestRestart);
}

TEST_F(SequenceTest, ErrorsInCreationCodesAreReportedAndTheStartGoesOn) {
    Room("lobby", {At(0, 100009, "x = "), At(0, 100010, "y = undefined_thing + 1")}, "z = ");
    World().StartGame();
    const std::string log = Take();
    EXPECT_NE(log.find("error: COMPILATION ERROR in creation code for instance 100009 in room lobby\r"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("error: EXECUTION ERROR in creation code for instance 100010 in room lobby\r"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("error: COMPILATION ERROR in creation code of room lobby\r"), std::string::npos)
        << log;
    EXPECT_NE(log.find("a.roomstart a.roomstart"), std::string::npos) << log;
    EXPECT_EQ(World().room_request, kRequestNone);
}

TEST_F(SequenceTest, AFatalErrorBeforeTheFirstRoomEndsTheStart) {
    Room("r0", {At(0, 100001)});
    World().library_init_code = {"x = "};
    World().StartGame();
    EXPECT_EQ(World().room_request, kRequestAbort);
    EXPECT_EQ(World().Current(), nullptr);
    EXPECT_EQ(Log().size(), 1u);
    EXPECT_NE(Log()[0].find("COMPILATION ERROR in library initialization code\r"), std::string::npos);
}

// Runs code with an instance of the current room; answers the result and the request.
std::string Call(const std::string& code) {
    CCode c(code, false);
    EXPECT_TRUE(c.Compile()) << LastCodeError();
    CInstance self;
    RValue result;
    (void)RunCode(&self, &self, c, result);
    const std::string out = RealText(result.val()) + " " + std::to_string(World().room_request);
    World().room_request = kRequestNone;
    ResetErrorState();
    return out;
}

TEST_F(SequenceTest, RoomBuiltins) {
    // Room order: 2, 0, 3 (room 1 exists but is not in the order; room 4 is an empty slot).
    for (const char* name : {"r0", "r1", "r2", "r3"}) World().AddRoom(name, std::make_unique<CRoom>());
    World().AddRoom("", nullptr);
    World().RoomOrder() = {2, 0, 3};
    struct Case {
        const char* code;
        const char* want;
    } cases[] = {
        {"return room_previous(0)", "2 -1"},  {"return room_previous(2)", "-1 -1"},
        {"return room_previous(1)", "-1 -1"}, {"return room_previous(4)", "-1 -1"},
        {"return room_next(0)", "3 -1"},      {"return room_next(3)", "-1 -1"},
        {"return room_next(-7)", "-1 -1"},    {"room_goto(1)", "0 1"},
        {"room_goto(4)", "0 -400"},           {"room_goto(99)", "0 -400"},
    };
    for (const Case& c : cases) EXPECT_EQ(Call(c.code), c.want) << c.code;

    World().StartGame();
    EXPECT_EQ(World().CurrentIndex(), 2);
    EXPECT_EQ(Call("room_goto_previous()"), "0 -400");
    EXPECT_NE(Joined().find("Moving to previous room before the first room."), std::string::npos);
    EXPECT_EQ(Call("room_goto_next()"), "0 0");
    EXPECT_EQ(Call("room_restart()"), "0 2");
    World().GotoRoom(3);
    EXPECT_EQ(Call("room_goto_next()"), "0 -400");
    EXPECT_EQ(Call("room_goto_previous()"), "0 0");
    World().GotoRoom(1);
    // A room outside the order has no neighbours.
    EXPECT_EQ(Call("room_goto_next()"), "0 -400");
}

TEST_F(SequenceTest, CreatingDestroyingAndChangingInstances) {
    const int32_t other = AddObject(
        "other", ObjectWith({{ev_create, 0, Say("other.create")}, {ev_destroy, 0, Say("other.destroy")}}));
    Room("r0", {});
    LastIds().last_instance = 100050;
    World().StartGame();
    Take();
    CInstance* made = World().CreateInstance(3, 4, 0);
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->i_id, 100051);
    EXPECT_EQ(Take(), "a.create");
    EXPECT_EQ(World().CreateInstance(0, 0, 42), nullptr);
    EXPECT_NE(Take().find("Creating instance for non-existing object: 42"), std::string::npos);

    made->i_x = 9;
    CInstance* changed = World().ChangeInstance(made, other, true);
    ASSERT_NE(changed, nullptr);
    EXPECT_EQ(Take(), "other.create"); // "a" has no destroy event
    EXPECT_TRUE(made->i_marked);
    EXPECT_EQ(changed->i_id, 100051);
    EXPECT_EQ(changed->i_x, 9);
    EXPECT_EQ(changed->i_objectindex, other);
    EXPECT_EQ(World().Current()->FindInstance(100051), changed);
    EXPECT_EQ(World().ChangeInstance(changed, 42, true), nullptr);
    EXPECT_NE(Take().find("Asking to change into non-existing object: 42"), std::string::npos);

    World().DestroyInstance(changed);
    World().DestroyInstance(changed); // once only
    EXPECT_EQ(Take(), "other.destroy");
    EXPECT_EQ(World().Current()->FindInstance(100051), nullptr);
    // The change used an id of its own: the next instance is 100053.
    EXPECT_EQ(World().CreateInstance(0, 0, 0)->i_id, 100053);
}

TEST_F(SequenceTest, RunningOutOfInstanceIdsIsReportedInsteadOfWrapping) {
    const int32_t other = AddObject("other", ObjectWith({{ev_create, 0, Say("other.create")}}));
    Room("r0", {});
    LastIds().last_instance = std::numeric_limits<int32_t>::max() - 1;
    World().StartGame();
    Take();
    CInstance* last = World().CreateInstance(0, 0, 0);
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(last->i_id, std::numeric_limits<int32_t>::max());
    EXPECT_EQ(Take(), "a.create");
    // No negative id that nothing could find: the creation fails with a clear message.
    EXPECT_EQ(World().CreateInstance(0, 0, 0), nullptr);
    EXPECT_NE(Take().find("Cannot create an instance: all instance ids are in use."), std::string::npos);
    EXPECT_EQ(World().Current()->r_numb(), 1);
    EXPECT_EQ(LastIds().last_instance, std::numeric_limits<int32_t>::max());
    // Changing an instance needs no new id, so it still works.
    CInstance* changed = World().ChangeInstance(last, other, true);
    ASSERT_NE(changed, nullptr);
    EXPECT_EQ(changed->i_id, std::numeric_limits<int32_t>::max());
    EXPECT_EQ(Take(), "other.create");
    EXPECT_EQ(World().Current()->FindInstance(std::numeric_limits<int32_t>::max()), changed);
}

TEST_F(SequenceTest, WindowSizeForARoom) {
    RoomRecord r;
    r.width = 300;
    r.height = 200;
    auto plain = std::make_unique<CRoom>();
    plain->Assign(r);
    r.enable_views = true;
    auto hidden = std::make_unique<CRoom>();
    hidden->Assign(r);
    r.views[2].visible = true;
    r.views[2].xport = 10;
    r.views[2].wport = 100;
    r.views[2].yport = 2147483600; // saturates instead of overflowing
    auto shown = std::make_unique<CRoom>();
    shown->Assign(r);
    World().AddRoom("plain", std::move(plain));
    World().AddRoom("hidden", std::move(hidden));
    World().AddRoom("shown", std::move(shown));
    World().RoomOrder() = {0, 1, 2};
    std::string sizes;
    World().hooks.resize_window = [&](int32_t w, int32_t h) {
        sizes += std::to_string(w) + "x" + std::to_string(h) + " ";
    };
    World().StartGame();
    World().GotoRoom(1);
    World().GotoRoom(2);
    EXPECT_EQ(sizes, "300x200 8x8 110x2147483647 ");
}

} // namespace
} // namespace kestrin
