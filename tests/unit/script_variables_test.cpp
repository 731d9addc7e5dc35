#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <vector>

#include "base/stream.h"
#include "script/messages.h"
#include "script/variables.h"

using namespace kestrin;

namespace {

// A room: instances in list order, each of one object; object 1 is the parent of object 2.
class FakeWorld : public InstanceWorld {
public:
    struct Entry {
        std::unique_ptr<CScriptInstance> instance;
        int32_t object;
    };

    CScriptInstance* Add(int32_t id, int32_t object) {
        auto inst = std::make_unique<CScriptInstance>();
        inst->i_id = id;
        entries.push_back({std::move(inst), object});
        return entries.back().instance.get();
    }

    size_t InstanceCount() const override { return entries.size(); }
    CScriptInstance* InstanceAt(size_t position) const override {
        return position < entries.size() ? entries[position].instance.get() : nullptr;
    }
    size_t ObjectInstanceCount(int32_t object) const override { return OfObject(object).size(); }
    CScriptInstance* ObjectInstanceAt(int32_t object, size_t position) const override {
        const auto list = OfObject(object);
        return position < list.size() ? list[position] : nullptr;
    }
    CScriptInstance* FindInstance(int32_t id) const override {
        for (const Entry& e : entries)
            if (e.instance->i_id == id && !e.instance->i_marked) return e.instance.get();
        return nullptr;
    }

    std::vector<Entry> entries;

private:
    std::vector<CScriptInstance*> OfObject(int32_t object) const {
        std::vector<CScriptInstance*> out;
        for (const Entry& e : entries)
            if (e.object == object || (object == 1 && e.object == 2)) out.push_back(e.instance.get());
        return out;
    }
};

class ScriptVariables : public ::testing::Test {
protected:
    void SetUp() override {
        GlobalsInit();
        SetUnknownVariablesReadAsZero(false);
        SetInstanceWorld(&world);
        self = world.Add(100001, 1);
        other = world.Add(100002, 2);
        third = world.Add(100003, 3);
        scope = {self, other, &locals};
    }
    void TearDown() override {
        SetInstanceWorld(nullptr);
        SetUnknownVariablesReadAsZero(false);
        GlobalsInit();
    }

    double Read(int32_t selector, const char* name, int32_t element = 0) {
        RValue v;
        const ScriptMessage m = ReadVariable(scope, selector, VariableIndex(name), element, v);
        EXPECT_EQ(m, ScriptMessage::None) << name;
        return v.val();
    }
    ScriptMessage ReadStatus(int32_t selector, const char* name, int32_t element = 0) {
        RValue v;
        return ReadVariable(scope, selector, VariableIndex(name), element, v);
    }
    ScriptMessage Write(int32_t selector, const char* name, double value, int32_t element = 0) {
        return WriteVariable(scope, selector, VariableIndex(name), element, RValue(value));
    }
    static double Own(CScriptInstance* inst, const char* name, int32_t element = 0) {
        const RValue* v = inst->i_vars.FindElement(VariableIndex(name), element);
        return v ? v->val() : -999;
    }

    FakeWorld world;
    CScriptInstance *self = nullptr, *other = nullptr, *third = nullptr;
    CLocals locals;
    RunScope scope;
};

} // namespace

TEST(ScriptVariableNames, IndicesAreStableAndInterned) {
    EXPECT_EQ(VariableIndex("x"), 0);
    EXPECT_EQ(VariableIndex("y"), 1);
    EXPECT_EQ(VariableName(VariableIndex("room_speed")), "room_speed");
    EXPECT_LT(BuiltinVariableCount(), kMaxBuiltinVariables);
    const int32_t a = VariableIndex("names_test_a");
    EXPECT_GE(a, kFirstUserVariable);
    EXPECT_EQ(VariableIndex("names_test_a"), a);
    EXPECT_NE(VariableIndex("Names_test_a"), a); // case-sensitive
    EXPECT_EQ(VariableName(a), "names_test_a");
    EXPECT_EQ(VariableName(450), "<unknown built-in variable>");
    EXPECT_EQ(VariableName(kFirstUserVariable + 50000000), "<unknown variable>");
    EXPECT_EQ(VariableName(-3), "<unknown built-in variable>");
}

TEST(ScriptVariableNames, ArgumentBookkeepingOnlyForTheCompiler) {
    ArgumentUsage usage;
    // Run-time lookups (variable_local_get("argument3")) touch no compile state.
    EXPECT_EQ(VariableIndex("argument3"), ArgumentVariableIndex(3));
    EXPECT_EQ(usage.highest, -1);
    VariableIndex("argument3", usage);
    VariableIndex("argument1", usage);
    EXPECT_EQ(usage.highest, 3);
    EXPECT_FALSE(usage.argumentArray);
    VariableIndex("argument15", usage);
    VariableIndex("argument", usage);
    VariableIndex("argument_count", usage);
    EXPECT_EQ(usage.highest, 15);
    EXPECT_TRUE(usage.argumentArray);
}

TEST(ScriptVariableList, ArrayAliasingAndBounds) {
    CVariableList list;
    const int32_t x = VariableIndex("alias_x"), a = VariableIndex("alias_a");
    RValue v;
    ASSERT_TRUE(list.SetVar(x, 0, RValue(3.0)));
    // x, x[0] and x[0,0] are the same storage.
    ASSERT_TRUE(list.GetVar(x, 0, v));
    EXPECT_EQ(v.val(), 3.0);
    // a[2] = 7 makes a itself readable as the real 0, and a[0,5] is a[5].
    ASSERT_TRUE(list.SetVar(a, 2, RValue(7.0)));
    ASSERT_TRUE(list.GetVar(a, 0, v));
    EXPECT_EQ(v.val(), 0.0);
    ASSERT_TRUE(list.SetVar(a, 5, RValue(1.0)));
    ASSERT_TRUE(list.GetVar(a, 0 * kArrayDimension + 5, v));
    EXPECT_EQ(v.val(), 1.0);
    // Elements up to the last one assigned in a row read as 0; beyond it they do not exist.
    ASSERT_TRUE(list.GetVar(a, 3, v));
    EXPECT_EQ(v.val(), 0.0);
    EXPECT_FALSE(list.GetVar(a, 6, v));
    // Row 1 is separate from row 0; a[1,0] is its first element.
    EXPECT_FALSE(list.GetVar(a, kArrayDimension, v));
    ASSERT_TRUE(list.SetVar(a, kArrayDimension + 0, RValue(9.0)));
    ASSERT_TRUE(list.GetVar(a, kArrayDimension, v));
    EXPECT_EQ(v.val(), 9.0);
    EXPECT_FALSE(list.GetVar(a, 6, v));
    // The largest element; anything outside 0 .. [31999, 31999] is refused.
    EXPECT_TRUE(list.SetVar(a, kMaxArrayElement, RValue(2.0)));
    EXPECT_FALSE(list.SetVar(a, kMaxArrayElement + 1, RValue(2.0)));
    EXPECT_FALSE(list.SetVar(a, -1, RValue(2.0)));
    EXPECT_FALSE(list.GetVar(a, -1, v));
    // The read-as-zero option turns every missing element into the real 0.
    SetUnknownVariablesReadAsZero(true);
    v.SetString("s");
    EXPECT_TRUE(list.GetVar(a, 6, v));
    EXPECT_TRUE(v.IsReal());
    SetUnknownVariablesReadAsZero(false);
}

TEST(ScriptVariableList, CreationOrderHashAndHints) {
    CVariableList list;
    std::vector<int32_t> inds;
    for (int i = 0; i < 200; ++i) inds.push_back(VariableIndex("order_" + std::to_string(i)));
    for (int i = 199; i >= 0; --i) ASSERT_TRUE(list.SetVar(inds[i], 0, RValue(double(i))));
    list.Init(inds[5]); // exists already: unchanged
    ASSERT_EQ(list.v_numb(), 200);
    for (int i = 0; i < 200; ++i) {
        EXPECT_EQ(list.Variables()[i].ind, inds[199 - i]);
        const RValue* v = list.FindElement(inds[i], 0);
        ASSERT_NE(v, nullptr);
        EXPECT_EQ(v->val(), i);
    }
    uint32_t hint = 12345;
    RVariable* found = list.FindVariable(inds[7], hint);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(hint, 192u);
    EXPECT_EQ(list.FindVariable(inds[7], hint), found);
    EXPECT_EQ(list.FindVariable(VariableIndex("order_missing"), hint), nullptr);
    // Copies are deep.
    CVariableList copy = list;
    ASSERT_TRUE(copy.SetVar(inds[0], 0, RValue(-1.0)));
    EXPECT_EQ(list.FindElement(inds[0], 0)->val(), 0.0);
    EXPECT_EQ(copy.FindElement(inds[0], 0)->val(), -1.0);
    list.Clear();
    EXPECT_EQ(list.v_numb(), 0);
    EXPECT_EQ(list.FindVariable(inds[0]), nullptr);
}

TEST(ScriptVariableList, StoredFormRoundTrip) {
    CVariableList list;
    const int32_t a = VariableIndex("stored_a"), b = VariableIndex("stored_b");
    ASSERT_TRUE(list.SetVar(b, 0, RValue("text")));
    ASSERT_TRUE(list.SetVar(a, 3, RValue(1.5)));
    ASSERT_TRUE(list.SetVar(a, 2 * kArrayDimension + 1, RValue("z")));
    ASSERT_TRUE(list.SetVar(0, 0, RValue(4.0))); // a built-in index, as global.x stores it
    CStream stream;
    list.SaveToStream(stream);
    const std::vector<uint8_t> bytes = stream.Bytes();
    stream.Seek(0);
    CVariableList loaded;
    loaded.SetVar(VariableIndex("stored_old"), 0, RValue(1.0));
    loaded.LoadFromStream(stream);
    EXPECT_EQ(stream.Remaining(), 0u);
    ASSERT_EQ(loaded.v_numb(), 3);
    EXPECT_EQ(loaded.Variables()[0].ind, b);
    EXPECT_EQ(loaded.FindElement(b, 0)->str(), "text");
    EXPECT_EQ(loaded.FindElement(a, 3)->val(), 1.5);
    EXPECT_EQ(loaded.FindElement(a, 2 * kArrayDimension + 1)->str(), "z");
    EXPECT_EQ(loaded.FindElement(a, kArrayDimension), nullptr); // row 1 is empty
    EXPECT_EQ(loaded.FindVariable(VariableIndex("stored_old")), nullptr);
    CStream again;
    loaded.SaveToStream(again);
    EXPECT_EQ(again.Bytes(), bytes);

    // Another version loads nothing and leaves the list empty.
    CStream wrong;
    wrong.WriteInteger(441);
    wrong.Seek(0);
    loaded.LoadFromStream(wrong);
    EXPECT_EQ(loaded.v_numb(), 0);
}

TEST(ScriptVariableList, LoadingValidatesCounts) {
    const int32_t ind = VariableIndex("damaged");
    auto header = [&](CStream& s, int32_t count) {
        s.WriteInteger(kVariableListVersion);
        s.WriteInteger(count);
    };
    auto variable = [&](CStream& s, int32_t rows) {
        s.WriteInteger(ind);
        RValue(1.0).SaveToStream(s);
        s.WriteInteger(rows);
    };
    std::vector<CStream> damaged;
    {
        CStream s; // more variables than bytes
        header(s, 1000000);
        damaged.push_back(std::move(s));
    }
    {
        CStream s; // negative count
        header(s, -1);
        damaged.push_back(std::move(s));
    }
    {
        CStream s; // more rows than the array limit
        header(s, 1);
        variable(s, kArrayDimension + 1);
        for (int i = 0; i <= kArrayDimension; ++i) s.WriteInteger(0);
        damaged.push_back(std::move(s));
    }
    {
        CStream s; // more rows than bytes
        header(s, 1);
        variable(s, 30000);
        damaged.push_back(std::move(s));
    }
    {
        CStream s; // a row longer than the limit
        header(s, 1);
        variable(s, 1);
        s.WriteInteger(kArrayDimension + 1);
        for (int i = 0; i <= kArrayDimension; ++i) RValue(0.0).SaveToStream(s);
        damaged.push_back(std::move(s));
    }
    {
        CStream s; // a row longer than the bytes
        header(s, 1);
        variable(s, 1);
        s.WriteInteger(20000);
        damaged.push_back(std::move(s));
    }
    {
        CStream s; // negative variable index
        header(s, 1);
        s.WriteInteger(-5);
        RValue(1.0).SaveToStream(s);
        s.WriteInteger(0);
        damaged.push_back(std::move(s));
    }
    {
        CStream s; // the second variable is cut short
        header(s, 2);
        variable(s, 0);
        s.WriteInteger(ind);
        s.WriteInteger(1);
        s.WriteReal(0);
        s.WriteInteger(100);
        s.WriteInteger(0);
        s.WriteInteger(0);
        damaged.push_back(std::move(s));
    }
    for (size_t i = 0; i < damaged.size(); ++i) {
        CVariableList list;
        damaged[i].Seek(0);
        EXPECT_THROW(list.LoadFromStream(damaged[i]), StreamError) << "case " << i;
        EXPECT_EQ(list.v_numb(), 0) << "case " << i;
    }
}

TEST_F(ScriptVariables, SelfOtherAndUnqualified) {
    EXPECT_EQ(Write(kUnqualifiedSelector, "hp", 5), ScriptMessage::None);
    EXPECT_EQ(Own(self, "hp"), 5);
    EXPECT_EQ(Write(kOtherSelector, "hp", 6), ScriptMessage::None);
    EXPECT_EQ(Own(other, "hp"), 6);
    EXPECT_EQ(Read(kSelfSelector, "hp"), 5);
    EXPECT_EQ(Read(kOtherSelector, "hp"), 6);
    EXPECT_EQ(ReadStatus(kSelfSelector, "never_set"), ScriptMessage::UnknownVariable);
    EXPECT_EQ(UnknownVariableText(VariableName(VariableIndex("a")), true),
              "Unknown variable a or array index out of bounds");
    EXPECT_EQ(UnknownVariableText("a", false), "Unknown variable a");
    // noone can be neither read nor written.
    EXPECT_EQ(Write(kNooneSelector, "hp", 1), ScriptMessage::CannotAssign);
    EXPECT_EQ(MessageText(ScriptMessage::CannotAssign), "Cannot assign to the variable");
    EXPECT_EQ(ReadStatus(kNooneSelector, "hp"), ScriptMessage::UnknownVariable);
    // Without a self (nil instance) nothing is read or written.
    RunScope empty{nullptr, nullptr, &locals};
    RValue v;
    EXPECT_EQ(ReadVariable(empty, kSelfSelector, VariableIndex("hp"), 0, v), ScriptMessage::UnknownVariable);
    EXPECT_EQ(WriteVariable(empty, kUnqualifiedSelector, VariableIndex("hp"), 0, v),
              ScriptMessage::CannotAssign);
}

TEST_F(ScriptVariables, GlobalsAndTheirMarks) {
    // Before globalvar an unqualified name is the instance's; after it, the global.
    EXPECT_EQ(Write(kUnqualifiedSelector, "g", 1), ScriptMessage::None);
    EXPECT_EQ(Own(self, "g"), 1);
    EXPECT_FALSE(IsMarkedGlobal(VariableIndex("g")));
    MarkGlobal(VariableIndex("g"));
    EXPECT_TRUE(IsMarkedGlobal(VariableIndex("g")));
    EXPECT_EQ(Read(kUnqualifiedSelector, "g"), 0); // created holding 0
    EXPECT_EQ(Write(kUnqualifiedSelector, "g", 2), ScriptMessage::None);
    scope.self = third; // another instance sees it without qualification
    EXPECT_EQ(Read(kUnqualifiedSelector, "g"), 2);
    EXPECT_EQ(Read(kGlobalSelector, "g"), 2);
    EXPECT_EQ(Own(self, "g"), 1);
    // global.name creates a global without marking it.
    EXPECT_EQ(Write(kGlobalSelector, "h", 3), ScriptMessage::None);
    EXPECT_FALSE(IsMarkedGlobal(VariableIndex("h")));
    EXPECT_EQ(ReadStatus(kUnqualifiedSelector, "h"), ScriptMessage::UnknownVariable);
    EXPECT_EQ(Read(kGlobalSelector, "h"), 3);
    // Marks grow past the first 10000 names; built-in indices are never marked.
    MarkGlobal(kFirstUserVariable + 20000);
    EXPECT_TRUE(IsMarkedGlobal(kFirstUserVariable + 20000));
    EXPECT_GE(Globals().MarkCount(), 20001u);
    MarkGlobal(0);
    EXPECT_FALSE(IsMarkedGlobal(0));
    EXPECT_FALSE(IsMarkedGlobal(-1));
    EXPECT_FALSE(IsMarkedGlobal(kFirstUserVariable + 90000000));
}

TEST_F(ScriptVariables, GlobalsStoredForm) {
    MarkGlobal(VariableIndex("gs_marked"));
    ASSERT_EQ(Write(kGlobalSelector, "gs_value", 7), ScriptMessage::None);
    CStream stream;
    Globals().SaveToStream(stream);
    const std::vector<uint8_t> bytes = stream.Bytes();
    GlobalsInit();
    stream.Seek(0);
    Globals().LoadFromStream(stream);
    EXPECT_EQ(stream.Remaining(), 0u);
    EXPECT_TRUE(IsMarkedGlobal(VariableIndex("gs_marked")));
    EXPECT_EQ(Read(kGlobalSelector, "gs_value"), 7);
    CStream again;
    Globals().SaveToStream(again);
    EXPECT_EQ(again.Bytes(), bytes);

    // Another version reads nothing more and keeps the globals.
    CStream wrong;
    wrong.WriteInteger(699);
    wrong.Seek(0);
    Globals().LoadFromStream(wrong);
    EXPECT_EQ(wrong.Position(), 4u);
    EXPECT_EQ(Read(kGlobalSelector, "gs_value"), 7);
    // A damaged record (more marks than bytes) throws and keeps them too.
    CStream damaged(bytes);
    damaged.Seek(bytes.size() - 4 * Globals().MarkCount() - 4);
    damaged.WriteInteger(1 << 30);
    damaged.Seek(0);
    EXPECT_THROW(Globals().LoadFromStream(damaged), StreamError);
    EXPECT_EQ(Read(kGlobalSelector, "gs_value"), 7);
    EXPECT_TRUE(IsMarkedGlobal(VariableIndex("gs_marked")));
}

TEST_F(ScriptVariables, LocalsBySlotAndByIndex) {
    const int32_t i = VariableIndex("loc_i"), j = VariableIndex("loc_j");
    const int32_t table[] = {i, j};
    locals.Reset(table);
    RValue v;
    EXPECT_FALSE(locals.Get(0, 0, v));
    locals.Set(0, 0, RValue(1.0));
    ASSERT_TRUE(locals.Get(0, 0, v));
    EXPECT_EQ(v.val(), 1.0);
    EXPECT_FALSE(locals.Get(1, 0, v));
    // The same storage through the local selector; locals are not the instance's.
    EXPECT_EQ(Read(kLocalSelector, "loc_i"), 1.0);
    EXPECT_EQ(ReadStatus(kSelfSelector, "loc_i"), ScriptMessage::UnknownVariable);
    // local.name with a name the compiler did not number gets a slot on first write.
    EXPECT_EQ(ReadStatus(kLocalSelector, "loc_k"), ScriptMessage::UnknownVariable);
    EXPECT_EQ(Write(kLocalSelector, "loc_k", 4, 7), ScriptMessage::None);
    EXPECT_EQ(locals.SlotCount(), 3u);
    EXPECT_EQ(Read(kLocalSelector, "loc_k", 7), 4.0);
    EXPECT_EQ(Read(kLocalSelector, "loc_k", 3), 0.0);
    // A new run starts with every slot unset.
    locals.Reset(table);
    EXPECT_EQ(locals.SlotCount(), 2u);
    EXPECT_FALSE(locals.Get(0, 0, v));
    SetUnknownVariablesReadAsZero(true);
    EXPECT_TRUE(locals.Get(1, 0, v));
    EXPECT_EQ(Read(kLocalSelector, "loc_k"), 0.0);
}

TEST_F(ScriptVariables, ObjectAllAndIdSelectors) {
    // Writing to an object writes every instance of it and of its descendants.
    EXPECT_EQ(Write(1, "v", 1), ScriptMessage::None);
    EXPECT_EQ(Own(self, "v"), 1);
    EXPECT_EQ(Own(other, "v"), 1); // object 2 is a child of object 1
    EXPECT_EQ(Own(third, "v"), -999);
    // Reading an object reads the first of them.
    self->i_vars.SetVar(VariableIndex("v"), 0, RValue(10.0));
    EXPECT_EQ(Read(1, "v"), 10.0);
    EXPECT_EQ(Read(2, "v"), 1.0);
    // all: every instance on write, the first on read.
    EXPECT_EQ(Write(kAllSelector, "w", 3), ScriptMessage::None);
    EXPECT_EQ(Own(third, "w"), 3);
    EXPECT_EQ(Read(kAllSelector, "w"), 3);
    // Instance ids, own id included.
    EXPECT_EQ(Write(100003, "u", 8), ScriptMessage::None);
    EXPECT_EQ(Own(third, "u"), 8);
    EXPECT_EQ(Read(100001, "v"), 10.0);
    // Destroyed instances are skipped for reading and writing.
    self->i_marked = true;
    EXPECT_EQ(Read(1, "v"), 1.0);
    EXPECT_EQ(Write(kAllSelector, "w", 4), ScriptMessage::None);
    EXPECT_EQ(Own(self, "w"), 3);
    EXPECT_EQ(Own(other, "w"), 4);
    // A missing id: writing does nothing silently, reading fails.
    EXPECT_EQ(Write(100001, "v", 99), ScriptMessage::None);
    EXPECT_EQ(Own(self, "v"), 10.0);
    EXPECT_EQ(ReadStatus(100001, "v"), ScriptMessage::UnknownVariable);
    EXPECT_EQ(ReadStatus(123456, "v"), ScriptMessage::UnknownVariable);
    // An object without instances: the write does nothing and reports nothing; the read fails.
    EXPECT_EQ(Write(7, "v", 1), ScriptMessage::None);
    EXPECT_EQ(ReadStatus(7, "v"), ScriptMessage::UnknownVariable);
    // Other negative selectors.
    EXPECT_EQ(Write(-8, "v", 1), ScriptMessage::CannotAssign);
    EXPECT_EQ(ReadStatus(-100, "v"), ScriptMessage::UnknownVariable);
    // With the read-as-zero option a failed read is the real 0.
    SetUnknownVariablesReadAsZero(true);
    EXPECT_EQ(Read(7, "v"), 0.0);
    EXPECT_EQ(Read(kNooneSelector, "v"), 0.0);
}

namespace {

double g_builtinX = 0;
int32_t g_lastIndex = -1;
bool ReadX(CScriptInstance*, int32_t index, RValue& value) {
    g_lastIndex = index;
    value.SetReal(g_builtinX);
    return true;
}
bool WriteX(CScriptInstance*, int32_t, const RValue& value) {
    g_builtinX = value.val();
    return true;
}
bool RefuseWrite(CScriptInstance*, int32_t, const RValue&) {
    return false;
}

} // namespace

TEST_F(ScriptVariables, BuiltinsDispatchThroughTheirRoutines) {
    ASSERT_TRUE(BindBuiltinVariable("x", &ReadX, &WriteX));
    ASSERT_TRUE(BindBuiltinVariable("id", &ReadX, nullptr));
    ASSERT_TRUE(BindBuiltinVariable("room_speed", &ReadX, &RefuseWrite));
    EXPECT_FALSE(BindBuiltinVariable("no_such_builtin", &ReadX, nullptr));
    EXPECT_EQ(Write(kSelfSelector, "x", 12), ScriptMessage::None);
    EXPECT_EQ(g_builtinX, 12);
    EXPECT_EQ(self->i_vars.v_numb(), 0); // no storage of its own
    EXPECT_EQ(Read(kSelfSelector, "x", 5), 12);
    EXPECT_EQ(g_lastIndex, 5);
    EXPECT_EQ(Write(kSelfSelector, "id", 1), ScriptMessage::CannotAssign);
    EXPECT_EQ(Write(kSelfSelector, "room_speed", 0), ScriptMessage::CannotAssign);
    // A built-in whose routines are not installed reads as unknown and refuses writes
    // (another test in the same process may have installed the game's).
    BindBuiltinVariable("fps", nullptr, nullptr);
    EXPECT_EQ(ReadStatus(kSelfSelector, "fps"), ScriptMessage::UnknownVariable);
    EXPECT_EQ(Write(kSelfSelector, "fps", 1), ScriptMessage::CannotAssign);
    // global.x is a stored global, not the built-in.
    EXPECT_EQ(Write(kGlobalSelector, "x", 3), ScriptMessage::None);
    EXPECT_EQ(g_builtinX, 12);
    EXPECT_EQ(Read(kGlobalSelector, "x"), 3);
    BindBuiltinVariable("x", nullptr, nullptr);
    BindBuiltinVariable("id", nullptr, nullptr);
    BindBuiltinVariable("room_speed", nullptr, nullptr);
}

TEST(ScriptVariableIndices, SelectorAndArrayIndexChecks) {
    const struct {
        RValue value;
        ScriptMessage message;
        int32_t index;
    } cases[] = {
        {RValue(0.0), ScriptMessage::None, 0},
        {RValue(2.5), ScriptMessage::None, 2},
        {RValue(31999.4), ScriptMessage::None, 31999},
        {RValue(31999.5), ScriptMessage::ArrayIndexTooLarge, 0},
        {RValue(-0.4), ScriptMessage::None, 0},
        {RValue(-1.0), ScriptMessage::NegativeArrayIndex, 0},
        {RValue(4294967301.0), ScriptMessage::ArrayIndexTooLarge, 0}, // not taken for 5
        {RValue("1"), ScriptMessage::WrongTypeArrayIndex, 0},
    };
    for (const auto& c : cases) {
        int32_t index = 0;
        EXPECT_EQ(ArrayIndexFromValue(c.value, index), c.message) << c.value.val();
        if (c.message == ScriptMessage::None) {
            EXPECT_EQ(index, c.index);
        }
    }
    EXPECT_EQ(MessageText(ScriptMessage::NegativeArrayIndex), "Negative array index");
    EXPECT_EQ(MessageText(ScriptMessage::ArrayIndexTooLarge), "Array index >= 32000");
    int32_t selector = 0;
    EXPECT_EQ(SelectorFromValue(RValue(-2.5), selector), ScriptMessage::None);
    EXPECT_EQ(selector, -2);
    EXPECT_EQ(MessageText(SelectorFromValue(RValue("a"), selector)), "Wrong type of variable index");
    EXPECT_EQ(ArrayElement(1, 5), 32005);
}

namespace {

FakeWorld* g_growingWorld = nullptr;
int g_writes = 0;
// A write with side effects on the room: creates an instance and destroys the last one.
bool WriteThatChangesTheRoom(CScriptInstance*, int32_t, const RValue&) {
    ++g_writes;
    g_growingWorld->Add(200000 + g_writes, 1);
    g_growingWorld->entries[2].instance->i_marked = true;
    return true;
}

} // namespace

TEST_F(ScriptVariables, WritesToManyInstancesSurviveChangesToTheRoom) {
    g_growingWorld = &world;
    g_writes = 0;
    ASSERT_TRUE(BindBuiltinVariable("speed", nullptr, &WriteThatChangesTheRoom));
    // Instances created by the writes are not visited; destroyed ones that come later are skipped.
    EXPECT_EQ(Write(kAllSelector, "speed", 1), ScriptMessage::None);
    EXPECT_EQ(g_writes, 2);
    g_writes = 0;
    EXPECT_EQ(Write(1, "speed", 1), ScriptMessage::None);
    EXPECT_EQ(g_writes, 4); // the four of object 1 and its child, not those made meanwhile
    BindBuiltinVariable("speed", nullptr, nullptr);
}

TEST(ScriptVariableList, ElementNumbersOutsideTheRangeNeverWriteWild) {
    RVariable v;
    EXPECT_THROW(v.ElementForWrite(-1), std::out_of_range);
    EXPECT_THROW(v.ElementForWrite(-32001), std::out_of_range);
    EXPECT_EQ(v.Element(-1), nullptr);
    EXPECT_TRUE(v.value.empty() || v.value[0].empty());
    CLocals locals;
    const int32_t table[] = {VariableIndex("wild")};
    locals.Reset(table);
    RunScope scope{nullptr, nullptr, &locals};
    EXPECT_EQ(WriteVariable(scope, kLocalSelector, table[0], -1, RValue(1.0)), ScriptMessage::CannotAssign);
}
