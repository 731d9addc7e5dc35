// Objects, events and actions: event lookup through parents (collisions included), bounded
// walks over damaged parent chains, action compilation and the object record.

#include <gtest/gtest.h>

#include "runner/object.h"
#include "base/stream.h"
#include "script/registry.h"
#include "tests/unit/world_fixture.h"

namespace kestrin {
namespace {

using testing::EventCode;
using testing::ObjectWith;

class ObjectTest : public testing::WorldTest {};

// The code of the first action of an event, or "-" when there is none; the supplier after it.
std::string Found(int32_t object, int32_t type, int32_t number) {
    int32_t supplier = -1;
    CEvent* e = Objects().Get(object)->GetEventRecursive(type, number, &supplier);
    if (!e) return "-";
    return Objects().Name(supplier).data() + std::string(":") + std::to_string(e->e_number());
}

TEST_F(ObjectTest, EventsResolveThroughParentsInTheirOrder) {
    // grand <- parent <- child; other objects: target (parent: target_parent).
    const int32_t grand = AddObject("grand", ObjectWith({{ev_step, 0, "a=1"}, {ev_alarm, 3, "a=1"}}));
    const int32_t parent = AddObject("parent", ObjectWith({{ev_step, 0, "a=1"}, {ev_draw, 0, "a=1"}}, grand));
    // An event stored without actions counts as absent: the parent's draw event is used.
    const int32_t child = AddObject("child", ObjectWith({{ev_draw, 0, ""}, {ev_create, 0, "a=1"}}, parent));
    const int32_t targetParent = AddObject("target_parent", ObjectWith({}));
    const int32_t target = AddObject("target", ObjectWith({}, targetParent));
    const int32_t other = AddObject("other", ObjectWith({}, target));
    // Collision events: child has one with target_parent; parent has one with target.
    Objects().Get(child)->CreateEvent(ev_collision, targetParent)->AddCodeAction("a=1");
    Objects().Get(parent)->CreateEvent(ev_collision, target)->AddCodeAction("a=1");
    ASSERT_TRUE(Objects().Get(child)->Compile(child));
    ASSERT_TRUE(Objects().Get(parent)->Compile(parent));

    struct Case {
        int32_t object, type, number;
        const char* want;
    } cases[] = {
        {child, ev_create, 0, "child:1"},
        {child, ev_step, 0, "parent:1"},
        {child, ev_alarm, 3, "grand:1"},
        {child, ev_draw, 0, "parent:1"},
        {child, ev_alarm, 4, "-"},
        {child, ev_step, 1, "-"},
        // The other object's own index first, through this object's whole chain...
        {child, ev_collision, target, "parent:1"},
        // ...then the other object's ancestors, nearest first.
        {child, ev_collision, other, "parent:1"},
        {child, ev_collision, targetParent, "child:1"},
        {parent, ev_collision, other, "parent:1"},
        {grand, ev_collision, other, "-"},
        // Ancestors are only looked at for numbers that name an object.
        {child, ev_collision, 999, "-"},
        {child, 12, 0, "-"},
        {child, -1, 0, "-"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Found(c.object, c.type, c.number), c.want) << c.object << " " << c.type << " " << c.number;

    EXPECT_TRUE(Objects().Get(child)->HasEventRecursive(ev_alarm));
    EXPECT_FALSE(Objects().Get(child)->HasEventDirect(ev_alarm));
    EXPECT_FALSE(Objects().Get(child)->HasEventDirect(ev_draw));
    EXPECT_FALSE(Objects().Get(target)->HasEventRecursive(ev_step));
}

TEST_F(ObjectTest, OwnCollisionEventBeatsTheOneWithTheParentOfTheOther) {
    const int32_t p = AddObject("p", ObjectWith({}));
    const int32_t b = AddObject("b", ObjectWith({}, p));
    ObjectRecord a = ObjectWith({});
    a.events[ev_collision].push_back(
        {p, kEventVersion, {testing::CodeAction("a=1"), testing::CodeAction("a=2")}});
    a.events[ev_collision].push_back({b, kEventVersion, {testing::CodeAction("a=1")}});
    const int32_t ai = AddObject("a", a);
    EXPECT_EQ(Found(ai, ev_collision, b), "a:1");
    EXPECT_EQ(Found(ai, ev_collision, p), "a:2");
}

TEST_F(ObjectTest, DamagedParentChainsEndInsteadOfLooping) {
    // a -> b -> a, c -> c, d -> deleted, e -> 12345.
    const int32_t a = AddObject("a", ObjectWith({}, 1));
    const int32_t b = AddObject("b", ObjectWith({{ev_step, 0, "x=1"}}, 0));
    const int32_t c = AddObject("c", ObjectWith({}, 2));
    const int32_t gone = AddObject("gone", ObjectWith({{ev_draw, 0, "x=1"}}));
    const int32_t d = AddObject("d", ObjectWith({}, gone));
    const int32_t e = AddObject("e", ObjectWith({}, 12345));
    ASSERT_TRUE(Objects().Delete(gone));
    EXPECT_FALSE(Objects().Delete(gone));
    EXPECT_EQ(Objects().Name(gone), "<undefined>");

    EXPECT_EQ(Found(a, ev_step, 0), "b:1");
    EXPECT_EQ(Found(a, ev_draw, 0), "-");
    EXPECT_EQ(Found(c, ev_draw, 0), "-");
    EXPECT_EQ(Found(d, ev_draw, 0), "-");
    EXPECT_EQ(Found(a, ev_collision, c), "-"); // c's ancestors loop on c
    EXPECT_FALSE(Objects().Get(c)->HasEventRecursive(ev_draw));

    struct Case {
        int32_t object, ancestor;
        bool want;
    } cases[] = {
        {a, b, true}, {b, a, true},     {a, a, true}, // in a cycle, an object is its own ancestor's ancestor
        {c, c, true}, {d, gone, false}, {e, 12345, false}, {e, -1, false}, {b, c, false},
    };
    for (const Case& k : cases)
        EXPECT_EQ(Objects().Get(k.object)->IsDecendentOf(k.ancestor), k.want) << k.object;
    // A cycle made at run time is bounded the same way.
    Objects().Get(e)->o_parent = e;
    EXPECT_EQ(Found(e, ev_step, 0), "-");
}

TEST_F(ObjectTest, ObjectTableSlotsNamesAndNewObjects) {
    CObjectTable& t = Objects();
    t.Add("", nullptr);
    t.Add("obj", std::make_unique<CObject>());
    t.Add("obj", std::make_unique<CObject>());
    EXPECT_EQ(t.Find("obj"), 1);
    EXPECT_EQ(t.Find(""), -1);
    EXPECT_FALSE(t.Exists(0));
    EXPECT_FALSE(t.Exists(-1));
    EXPECT_EQ(t.Name(7), "<undefined>");
    EXPECT_EQ(t.AddNew(), 3);
    EXPECT_EQ(t.Name(3), "__newobject3");
    CObject* o = t.Get(3);
    EXPECT_EQ(o->CreateEvent(12, 0), nullptr);
    EXPECT_EQ(o->CreateEvent(ev_step, -1), nullptr);
    // A large number costs nothing: events are kept by number, not in a list grown to it.
    ASSERT_NE(o->CreateEvent(ev_collision, 2000000000), nullptr);
    EXPECT_EQ(o->o_events[ev_collision].size(), 1u);
}

// Compiles one action (in object "holder", create event) and describes its arguments.
class ActionTest : public testing::WorldTest {
protected:
    std::string Compile(ActionRecord record) {
        CAction action;
        action.Assign(record);
        EventScope scope({true, ev_create, 0, 0, 0});
        if (!action.Compile()) return "failed";
        std::string out;
        for (int32_t i = 0; i < action.act_argumentcount; ++i) {
            const auto n = static_cast<size_t>(i);
            if (!out.empty()) out += " ";
            if (action.act_argtype[n] == -1) {
                const RValue& v = action.act_argvalue[n];
                out += v.IsString() ? "'" + std::string(v.str()) + "'" : RealText(v.val());
            } else {
                out += "code(" + std::string(action.act_argcode[n] ? "compiled" : "missing") + ")";
            }
            if (!action.act_argstring[n].empty()) out += "[text kept]";
        }
        if (action.act_codecode) out += (out.empty() ? "" : " ") + std::string("program");
        return out;
    }
    static ActionRecord Args(std::vector<int32_t> kinds, std::vector<std::string> texts) {
        ActionRecord a;
        a.exetype = kExecuteFunction;
        a.argumentcount = static_cast<int32_t>(texts.size());
        a.argtypes = std::move(kinds);
        a.args = std::move(texts);
        return a;
    }
};

TEST_F(ActionTest, ArgumentsCompileByKindAndFoldConstants) {
    AddObject("holder", ObjectWith({}));
    struct Case {
        std::vector<int32_t> kinds;
        std::vector<std::string> texts;
        const char* want;
    } cases[] = {
        {{1}, {"3 + 4"}, "'3 + 4'"},
        {{15}, {"\"quoted\""}, "'\"quoted\"'"},
        {{2}, {"word"}, "'word'"},
        {{2}, {"\"word\""}, "'word'"},
        {{2}, {"'it' + \"s\""}, "'its'"},
        {{2}, {""}, "''"},
        {{0}, {"3 + 4"}, "7"},
        {{3, 4}, {"c_white", "x"}, "16777215 code(compiled)"},
        // Kinds beyond the texts given read empty text; counts are bounded by the arrays.
        {{1, 1, 1}, {"a"}, "'a'"},
    };
    for (const Case& c : cases) EXPECT_EQ(Compile(Args(c.kinds, c.texts)), c.want) << c.texts[0];
}

TEST_F(ActionTest, SetVariableAndCodeActionsBecomeCode) {
    AddObject("holder", ObjectWith({}));
    ActionRecord set = Args({0, 0}, {"x", "5"});
    set.kind = kActionVariable;
    set.relative = true;
    CAction action;
    action.Assign(set);
    ASSERT_TRUE(action.Compile());
    EXPECT_EQ(action.act_kind, kActionNormal);
    EXPECT_EQ(action.act_exetype, kExecuteCode);
    EXPECT_EQ(action.act_argumentcount, 0);
    ASSERT_TRUE(action.act_codecode);
    EXPECT_EQ(action.act_codecode->GetText(), "x += 5");
    EXPECT_TRUE(action.act_codestring.empty());
    set.relative = false;
    action.Assign(set);
    ASSERT_TRUE(action.Compile());
    EXPECT_EQ(action.act_codecode->GetText(), "x = 5");

    action.Assign(testing::CodeAction("y = 1; z = 2"));
    ASSERT_TRUE(action.Compile());
    EXPECT_EQ(action.act_codecode->GetText(), "y = 1; z = 2");
    EXPECT_TRUE(action.act_argstring[0].empty());
}

TEST_F(ActionTest, CompilationErrorsAreFatalAndNameTheEvent) {
    AddObject("holder", ObjectWith({}));
    EXPECT_EQ(Compile(Args({0, 0}, {"1", "(2"})), "failed");
    EXPECT_EQ(World().room_request, kRequestAbort);
    ASSERT_FALSE(Log().empty());
    EXPECT_NE(Log().back().find("COMPILATION ERROR in argument 1\r"), std::string::npos) << Log().back();
    EXPECT_NE(Log().back().find("Create Event"), std::string::npos) << Log().back();
    EXPECT_NE(Log().back().find("holder"), std::string::npos) << Log().back();

    ResetErrorState();
    EXPECT_EQ(Compile(testing::CodeAction("x = ")), "failed");
    EXPECT_NE(Log().back().find("COMPILATION ERROR in code action\r"), std::string::npos) << Log().back();
}

TEST_F(ActionTest, FunctionNamesResolveToScriptsFirstThenBuiltins) {
    AddScript("scr_move", "return 1");
    AddScript("show_debug_message", "return 2");
    ObjectRecord o;
    for (const char* name : {"scr_move", "show_debug_message", "string_length_x", "room_goto", ""}) {
        ActionRecord a;
        a.exetype = kExecuteFunction;
        a.function = name;
        o.events[ev_step].push_back({0, kEventVersion, {a}});
    }
    // Keep the five under distinct numbers.
    for (size_t i = 0; i < o.events[ev_step].size(); ++i)
        o.events[ev_step][i].number = static_cast<int32_t>(i);
    const int32_t index = AddObject("mover", o);
    std::vector<std::string> missing;
    Objects().Get(index)->ResolveFunctions([&](const std::string& text) { missing.push_back(text); });
    auto id = [&](int32_t n) {
        return Objects().Get(index)->GetEventDirect(ev_step, n)->e_actions[0].act_functionid;
    };
    EXPECT_EQ(id(0), kFirstScriptFunction + 0);
    EXPECT_EQ(id(1), kFirstScriptFunction + 1);
    EXPECT_EQ(id(2), -1);
    EXPECT_EQ(id(3), FindFunction("room_goto"));
    EXPECT_GE(id(3), 0);
    EXPECT_EQ(id(4), -1);
    EXPECT_EQ(missing, (std::vector<std::string>{"Failed to locate action function string_length_x",
                                                 "Failed to locate action function "}));
}

class OneExtension : public ExtensionFunctions {
public:
    bool Find(std::string_view name, int32_t& id, int32_t& argnumb) const override {
        if (name != "ext_move" && name != "room_goto" && name != "scr_move") return false;
        id = 4;
        argnumb = -1;
        return true;
    }
    int32_t ArgCount(int32_t) const override { return -1; }
    bool Call(int32_t, CScriptInstance*, CScriptInstance*, int32_t, const RValue*, RValue&) override {
        return true;
    }
};

TEST_F(ActionTest, ExtensionFunctionsComeAfterScriptsAndBeforeBuiltins) {
    AddScript("scr_move", "return 1");
    OneExtension extensions;
    SetExtensionFunctions(&extensions);
    struct Case {
        const char* name;
        int32_t want;
    } cases[] = {{"scr_move", kFirstScriptFunction},
                 {"ext_move", kFirstExtensionFunction + 4},
                 {"room_goto", kFirstExtensionFunction + 4},
                 {"room_next", FindFunction("room_next")}};
    for (const Case& c : cases) {
        CAction action;
        action.act_functionname = c.name;
        action.ResolveFunction();
        EXPECT_EQ(action.act_functionid, c.want) << c.name;
    }
    SetExtensionFunctions(nullptr);
}

// ---- The object record ----

ObjectRecord SampleObject() {
    ObjectRecord o = ObjectWith({{ev_create, 0, "a = 1"}, {ev_alarm, 11, "b = 2"}, {ev_other, 10, ""}}, 3);
    o.spriteindex = 4;
    o.solid = true;
    o.visible = false;
    o.depth = -7;
    o.persistent = true;
    o.mask = 2;
    ActionRecord f;
    f.libid = 1;
    f.id = 201;
    f.userelative = f.isquestion = f.useapplyto = f.relative = f.isnot = true;
    f.exetype = kExecuteFunction;
    f.function = "action_move";
    f.code = "unused";
    f.argumentcount = 8;
    f.argtypes = {0, 1, 2, 3, 4, 5, 6, 15};
    f.args = {"1", "2", "3", "4", "5", "6", "7", "8"};
    f.who = -2;
    o.events[ev_keyboard].push_back({37, kEventVersion, {f}});
    // Another version: stored without actions.
    o.events[ev_mouse].push_back({4, 399, {}});
    return o;
}

std::vector<uint8_t> Bytes(const ObjectRecord& o) {
    CStream out;
    o.SaveToStream(out);
    return out.TakeBytes();
}

TEST(ObjectRecordTest, RoundTripsAndBuildsTheObject) {
    const std::vector<uint8_t> bytes = Bytes(SampleObject());
    CStream in(bytes);
    ObjectRecord back;
    ASSERT_TRUE(back.LoadFromStream(in));
    EXPECT_TRUE(in.AtEnd());
    EXPECT_EQ(Bytes(back), bytes);

    Objects().Clear();
    CObject o;
    CStream again(bytes);
    ASSERT_TRUE(o.LoadFromStream(again));
    EXPECT_EQ(o.o_spriteindex, 4);
    EXPECT_TRUE(o.o_solid);
    EXPECT_FALSE(o.o_visible);
    EXPECT_EQ(o.o_depth, -7);
    EXPECT_TRUE(o.o_persistent);
    EXPECT_EQ(o.o_parent, 3);
    EXPECT_EQ(o.o_mask, 2);
    ASSERT_NE(o.GetEventDirect(ev_keyboard, 37), nullptr);
    const CAction& a = o.GetEventDirect(ev_keyboard, 37)->e_actions[0];
    EXPECT_EQ(a.act_functionname, "action_move");
    EXPECT_EQ(a.act_argumentcount, 8);
    EXPECT_EQ(a.act_argstring[7], "8");
    EXPECT_EQ(a.act_argtype[7], 15);
    EXPECT_EQ(a.act_who, -2);
    EXPECT_TRUE(a.act_isnot);
    EXPECT_EQ(o.GetEventDirect(ev_mouse, 4), nullptr);
    EXPECT_EQ(o.GetEventDirect(ev_other, 10), nullptr); // stored without actions
    EXPECT_NE(o.GetEventDirect(ev_alarm, 11), nullptr);
}

TEST(ObjectRecordTest, HostileRecordsAreRefused) {
    const std::vector<uint8_t> good = Bytes(SampleObject());
    // Every truncation fails cleanly.
    for (size_t n = 0; n < good.size(); ++n) {
        CStream in(std::vector<uint8_t>(good.begin(), good.begin() + static_cast<ptrdiff_t>(n)));
        ObjectRecord r;
        bool ok = true;
        try {
            ok = r.LoadFromStream(in);
        } catch (const StreamError&) {
            ok = false;
        }
        EXPECT_FALSE(ok) << n;
    }
    auto refused = [](ObjectRecord o, auto damage) {
        std::vector<uint8_t> bytes = Bytes(o);
        damage(bytes);
        CStream in(bytes);
        ObjectRecord r;
        try {
            return !r.LoadFromStream(in);
        } catch (const StreamError&) {
            return true;
        }
    };
    auto put = [](std::vector<uint8_t>& b, size_t at, int32_t v) {
        for (int i = 0; i < 4; ++i)
            b[at + static_cast<size_t>(i)] = static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i));
    };
    ObjectRecord plain = ObjectWith({});
    EXPECT_TRUE(refused(plain, [&](auto& b) { put(b, 0, 431); })); // version
    EXPECT_TRUE(refused(plain, [&](auto& b) { put(b, 32, 12); })); // 13 event types
    EXPECT_TRUE(refused(plain, [&](auto& b) { put(b, 32, 2000000000); }));
    EXPECT_TRUE(refused(plain, [&](auto& b) { put(b, 36, -2); }));  // event number
    EXPECT_FALSE(refused(plain, [&](auto& b) { put(b, 32, -5); })); // no events at all
    ObjectRecord one = ObjectWith({{ev_create, 0, "x"}});
    // Offsets inside the one action: header 36, number 36, version 40, count 44, action 48.
    const size_t action = 48;
    EXPECT_TRUE(refused(one, [&](auto& b) { put(b, 44, 100000000); })); // action count
    EXPECT_TRUE(refused(one, [&](auto& b) { put(b, action, 441); }));   // action version
    const size_t argcount = action + 4 * 8 + 4 + 4 + 4 + 4 + 1;         // after function "", code ""
    (void)argcount;
    ActionRecord wide = testing::CodeAction("x");
    wide.argumentcount = 9;
    ObjectRecord nine = ObjectWith({});
    nine.events[ev_create].push_back({0, kEventVersion, {wide}});
    EXPECT_TRUE(refused(nine, [](auto&) {}));
    wide.argumentcount = 1;
    wide.argtypes.assign(9, 0);
    nine.events[ev_create][0].actions[0] = wide;
    EXPECT_TRUE(refused(nine, [](auto&) {}));
    wide.argtypes = {0};
    wide.args.assign(9, "x");
    nine.events[ev_create][0].actions[0] = wide;
    EXPECT_TRUE(refused(nine, [](auto&) {}));
}

TEST(ObjectRecordTest, DamagedObjectFailsTheObjectTable) {
    std::vector<RawResource> records(3);
    records[0] = {true, "good", Bytes(SampleObject())};
    records[2] = {true, "bad", {0xAE, 0x01, 0, 0}};
    EXPECT_FALSE(LoadObjects(records));
    records[2].record = Bytes(ObjectWith({}));
    ASSERT_TRUE(LoadObjects(records));
    EXPECT_EQ(Objects().Count(), 3);
    EXPECT_FALSE(Objects().Exists(1));
    EXPECT_EQ(Objects().Find("bad"), 2);
    Objects().Clear();
}

} // namespace
} // namespace kestrin
