#include <gtest/gtest.h>

#include "script/registry.h"
#include "script_fixture.h"

using namespace kestrin;

namespace {

// Appends "<id>" of self and other to the debug lines, to follow `with`.
void NoteSelfOther(CScriptInstance* self, CScriptInstance* other, int32_t, const RValue*, RValue& result) {
    result.SetString(std::to_string(self->i_id) + "/" + std::to_string(other->i_id));
}

// Marks instance args[0] destroyed and adds instance 100100 of object 1 (as instance_create
// and instance_destroy will).
SimpleWorld* g_world = nullptr;
void Churn(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue&) {
    if (CScriptInstance* victim = g_world->FindInstance(static_cast<int32_t>(args[0].val())))
        victim->i_marked = true;
    g_world->Add(100100, 1);
}

class ScriptInterp : public kestrin::testing::ScriptTest {
protected:
    void SetUp() override {
        ScriptTest::SetUp();
        if (FindFunction("test_ids") < 0) {
            RegisterFunction("test_ids", NoteSelfOther, 0);
            RegisterFunction("test_churn", Churn, 1);
        }
        g_world = &world;
    }
};

struct RunCase {
    const char* code;
    const char* expected;
};

TEST_F(ScriptInterp, ValuesAndStatements) {
    const RunCase cases[] = {
        // The result slot: the last assignment, call or return.
        {"", "0"},
        {"a = 5", "5"},
        {"a = 1; b = a * 2;", "2"},
        {"exit", "0"},
        {"a = 3; exit; a = 4", "3"},
        {"return 1 + 1; a = 9", "2"},
        {"a = 7; for (i = 0; i < 3; i += 1) {}", "7"},
        {"a = 'x'; if (0) a = 1", "\"x\""},
        // Operators, without short-circuit.
        {"return 1 + 2 * 3", "7"},
        {"return (1 + 2) * 3", "9"},
        {"a = 2; return -a * 3", "-6"},
        {"a = 1; return a < 2 < 3", "1"},
        {"a = 3; return a * 'ab'", "\"ababab\""},
        {"a = 3; return 'ab' * a", "1:22: Wrong type of arguments to *."},
        {"a = 'x'; return 2.5 * a", "\"xx\""},
        {"a = 0.1; return a + 0.2 == 0.3", "1"},
        {"a = 7; return a div 2", "3"},
        {"a = -7; return a mod 2", "-1"},
        {"a = 1; return a / 3", "0.33"},
        {"a = 5; return a / 0", "1:19: Division by 0."},
        {"a = 5; return a mod 0", "1:21: Modulo by 0."},
        {"a = 'a'; return a + 1", "1:21: Wrong type of arguments to +."},
        {"a = 'a'; return a < 1", "1:21: Cannot compare arguments."},
        {"a = 'a'; return -a", "1:18: Wrong type of arguments to unary operator."},
        {"a = 0; b = 0; return a and b or 1", "1"},
        {"a = 2; return ~a", "-3"},
        {"a = 1; return a << 32", "4294967296"},
        {"a = 'abc'; return a < 'abd'", "1"},
        // Conditions and loops.
        {"if (1) ;", "1:8: Statement expected."},
        {"if (0) ;", "0"},
        {"if ('a') b = 1", "1:4: Expression expected"},
        {"while ('a') b = 1", "1:7: Boolean expression expected"},
        {"do b = 1 until 'a'", "1:4: Boolean expression expected"},
        {"for (i = 0; 'a'; i += 1) b = 1", "1:5: Expression expected"},
        {"repeat 'a' b = 1", "1:8: Repeat count must be a number"},
        {"n = 0; repeat (2.5) n += 1; return n", "2"},
        {"n = 0; repeat (-1) n += 1; return n", "0"},
        {"n = 0; repeat (5) { n += 1; if (n == 3) break; } return n", "3"},
        {"i = 0; while (true) { i += 1; if (i == 3) break; } return i", "3"},
        {"i = 0; n = 0; while (i < 5) { i += 1; if (i mod 2) continue; n += 1; } return n", "2"},
        {"i = 0; do { i += 1; if (i == 2) continue; } until i >= 4; return i", "4"},
        {"s = 0; for (i = 0; i < 5; i += 1) { if (i == 1) continue; if (i == 3) break; s += i; } return s",
         "2"},
        {"for (i = 0; i < 3; i += 1) { if (i == 1) exit; } a = 5", "0"},
        {"a = 1; break; a = 2", "1"},
        {"a = 1; continue; a = 2", "1"},
        {"while (1) { return 4; }", "4"},
        // switch: fall-through, default first, exact matching, continue travels on.
        {"switch (2) { case 1: a = 1; case 2: a = 2; case 3: a = 3; } return a", "3"},
        {"a = 9; switch (2) { default: a = 0; case 2: a = 2; } return a", "2"},
        {"a = 9; switch (5) { default: a = 0; case 2: a += 2; } return a", "2"},
        {"a = 9; switch (5) { case 1: a = 1; } return a", "9"},
        {"a = 9; switch ('2') { case 2: a = 2; } return a", "9"},
        {"a = 9; switch ('') { case 0: a = 2; } return a", "9"},
        {"a = 9; switch ('b') { case 'b': a = 2; break; case 'c': a = 3; } return a", "2"},
        {"a = 9; switch (1) { case 1+0.00000000000001: a = 2; } return a", "9"},
        {"n = 0; for (i = 0; i < 3; i += 1) switch (i) { case 1: continue; default: n += 10; } return n",
         "20"},
        {"case 1: a = 1", "1:6: Case statement only allowed inside switch statement."},
        {"default: a = 1", "1:8: Default statement only allowed inside switch statement."},
        {"switch (1) { case 'a' + 1: a = 1; }", "1:25: Wrong type of arguments to +."},
        // Variables.
        {"return nothing", "1:8: Unknown variable nothing"},
        {"a[5] = 1; return a[3]", "0"},
        {"a[5] = 1; return a[6]", "1:18: Unknown variable a or array index out of bounds"},
        {"a[2] = 7; return a", "0"},
        {"a = 3; return a[0] + a[0,0]", "6"},
        {"a[0,5] = 4; return a[5]", "4"},
        {"a[1,0] = 4; return a[1,0]", "4"},
        {"a[-1] = 0", "1:3: Negative array index"},
        {"a[32000] = 0", "1:3: Array index >= 32000"},
        {"a['x'] = 0", "1:3: Wrong type of array index"},
        {"return a['x']", "1:10: Wrong type of array index"},
        {"'a'.b[1] = 0", "1:1: Wrong type of variable index"},
        {"s = 'a'; s += 1; return s", "1:10: Wrong type of arguments to +."},
        {"s = 'a'; s *= 2", "1:10: Wrong type of arguments to *."},
        {"n += 1", "1:1: Unknown variable n"},
        {"n[3] += 1", "1:1: Unknown variable n or array index out of bounds"},
        {"n = 6; n -= 1; n *= 4; n /= 2; n |= 1; n &= 7; n ^= 2; return n", "1"},
        {"s = 'a'; s += 'b'; return s", "\"ab\""},
        {"noone.a = 1", "1:1: Cannot assign to the variable"},
        {"return noone.a", "1:14: Unknown variable a"},
        {"x = 1", "1:1: Cannot assign to the variable"},
        {"var i; i = 1; return i", "1"},
        {"var i; return i", "1:15: Unknown variable i"},
        {"var i; i[3] = 2; return i[3] + i[1]", "2"},
        {"var i; i = 1; j = i; return j", "1"},
        {"i = 1; var i; return i", "1:22: Unknown variable i"},
        {"local.q = 2; return local.q", "2"},
        {"global.g = 3; return global.g", "3"},
        {"return global.never", "1:15: Unknown variable never"},
        {"globalvar g; g = 4; return global.g", "4"},
        {"a = 2; return self.a + other.a", "4"},
        {"a = 2; return (100001).a", "2"},
        {"(100099).a = 1; return 5", "5"},
        {"return (100099).a", "1:17: Unknown variable a"},
        {"a = 4; return (0).a", "4"},
        {"a = 4; return all.a", "4"},
        {"return (1).a", "1:12: Unknown variable a"},
        // with
        {"with ('a') b = 1", "1:6: Object id expected"},
        {"with (local) b = 1", "1:6: Cannot use local in with statement."},
        {"with (global) b = 1", "1:6: Cannot use global in with statement."},
        {"with (noone) b = 1; return 2", "2"},
        {"with (100099) b = 1; return 2", "2"},
        {"with (self) return test_ids()", "\"100001/100001\""},
        {"n = 0; for (i = 0; i < 3; i += 1) with (self) { if (i == 1) break; n += 1; } return n", "1"},
        {"n = 0; for (i = 0; i < 3; i += 1) with (all) { if (i == 1) break; n += 1; } return n", "2"},
        {"with (all) { exit; } a = 1", "0"},
    };
    for (const RunCase& c : cases) {
        SetUp();
        EXPECT_EQ(Run(c.code), c.expected) << c.code;
        TearDown();
        world = SimpleWorld();
    }
}

TEST_F(ScriptInterp, NoShortCircuit) {
    EXPECT_EQ(Run("a = 0; return a and b"), "1:21: Unknown variable b");
    EXPECT_EQ(Run("a = 1; return a or b"), "1:20: Unknown variable b");
}

TEST_F(ScriptInterp, ReadAsZeroOption) {
    SetUnknownVariablesReadAsZero(true);
    EXPECT_EQ(Run("return nothing + 1"), "1");
    EXPECT_EQ(Run("a[5] = 1; return a[6]"), "0");
    EXPECT_EQ(Run("n += 2; return n"), "2");
    EXPECT_EQ(Run("var i; return i"), "0");
    SetUnknownVariablesReadAsZero(false);
}

TEST_F(ScriptInterp, WithOverInstances) {
    CScriptInstance* a = world.Add(100002, 1);
    CScriptInstance* b = world.Add(100003, 1);
    CScriptInstance* c = world.Add(100004, 2);
    EXPECT_EQ(Run("with (all) v = 1; return 0"), "0");
    for (CScriptInstance* i : {self, a, b, c})
        EXPECT_TRUE(i->i_vars.FindVariable(VariableIndex("v"))) << i->i_id;

    EXPECT_EQ(Run("n = 0; with (1) { w = 2; other.n += 1; } return n"), "2");
    EXPECT_FALSE(c->i_vars.FindVariable(VariableIndex("w")));
    EXPECT_TRUE(b->i_vars.FindVariable(VariableIndex("w")));

    // Inside with (other), other is the self from before.
    EXPECT_EQ(Run("with (100002) with (other) return test_ids()"), "\"100001/100002\"");
    EXPECT_EQ(Run("with (100003) return test_ids()"), "\"100003/100001\"");

    // Locals are shared with the code around.
    EXPECT_EQ(Run("var i; i = 5; with (100002) j = i; return (100002).j"), "5");

    // obj.v writes every instance of the object and reads the first.
    EXPECT_EQ(Run("(1).u = 3; (100003).u = 4; return (1).u"), "3");
    EXPECT_EQ(Run("(5).u = 3; return 1"), "1");

    // Destroyed instances are skipped, later ones too; new ones are not visited.
    b->i_marked = true;
    EXPECT_EQ(Run("n = 0; with (all) other.n += 1; return n"), "3");
    b->i_marked = false;
    EXPECT_EQ(Run("n = 0; with (1) { other.n += 1; test_churn(100003); } return n"), "1");
    EXPECT_EQ(world.ObjectInstanceCount(1), 3u);
}

TEST_F(ScriptInterp, WithStopsWhenTheListShrinks) {
    for (int i = 0; i < 5; ++i) world.Add(100010 + i, 1);
    // The body removes instances from the list itself (not only marks them).
    RegisterFunction(
        "test_shrink",
        [](CScriptInstance*, CScriptInstance*, int32_t, const RValue*, RValue&) {
            for (size_t i = 0; i < g_world->InstanceCount(); ++i) g_world->InstanceAt(i)->i_marked = true;
            g_world->RemoveMarked();
        },
        0);
    EXPECT_EQ(Run("n = 0; with (all) { n += 1; test_shrink(); } return 1"), "1");
}

TEST_F(ScriptInterp, GlobalvarTakesOverTheName) {
    CScriptInstance* other = world.Add(100002, 1);
    EXPECT_EQ(Run("g = 1; return g"), "1");
    EXPECT_TRUE(self->i_vars.FindVariable(VariableIndex("g")));
    EXPECT_EQ(Run("globalvar g; return g"), "0");
    EXPECT_EQ(Run("g = 2; return 0"), "0");
    CCode read("return g", false);
    ASSERT_TRUE(read.Compile());
    RValue value;
    ASSERT_TRUE(RunCode(other, other, read, value));
    EXPECT_EQ(value.val(), 2.0);
    EXPECT_EQ(Var("g"), "1");
}

TEST_F(ScriptInterp, RunEntryPoints) {
    CCode notCompiled("a = 1", false);
    RValue result;
    EXPECT_FALSE(RunCode(self, self, notCompiled, result));
    EXPECT_NE(LastCodeError().find("Internal Error: Executing non-compiled code."), std::string::npos);

    CCode code("a = 1", false);
    ASSERT_TRUE(code.Compile());
    EXPECT_FALSE(RunCode(nullptr, self, code, result));
    EXPECT_NE(LastCodeError().find("Internal Error: Executing code for nil instance."), std::string::npos);

    // A constant expression needs no instance.
    CCode constant("c_red", true);
    ASSERT_TRUE(constant.Compile());
    EXPECT_TRUE(RunCode(nullptr, nullptr, constant, result));
    EXPECT_EQ(result.val(), 255.0);

    CCode failing("a = nothing", false);
    ASSERT_TRUE(failing.Compile());
    EXPECT_FALSE(RunCodeValue(self, self, failing, result));
    EXPECT_EQ(result.str(), "ERROR");

    // Reported failures go to the error path and leave the recorder clear.
    EXPECT_FALSE(RunCodeReported(self, self, failing, result));
    EXPECT_FALSE(CodeErrorFlag());
    EXPECT_TRUE(ErrorOccurred());
    EXPECT_NE(ErrorLast().find("Unknown variable nothing"), std::string::npos);

    // The locals of a run are gone at its end.
    CCode first("var t; t = 1;", false), second("var t; return t", false);
    ASSERT_TRUE(first.Compile());
    ASSERT_TRUE(second.Compile());
    ASSERT_TRUE(RunCode(self, self, first, result));
    EXPECT_FALSE(RunCode(self, self, second, result));
}

TEST_F(ScriptInterp, FloatingPointFaultsAreNotScriptErrors) {
    CCode code("a = 99999999999999999999 * 99999999999999999999; b = a * a * a * a * a * a * a * a "
               "* a * a * a * a * a * a * a * a * a * a * a * a",
               false);
    ASSERT_TRUE(code.Compile());
    RValue result;
    EXPECT_THROW((void)RunCode(self, self, code, result), RunnerFault);
    // The interpreter's own state is back in order for the next run.
    EXPECT_EQ(Run("var q; q = 2; return q"), "2");
}

// An access through an instance held in a local or an argument resolves that instance on
// every run; the local's or argument's number must not be taken for a fixed selector. Each
// case also runs on the reference path.
TEST_F(ScriptInterp, DotAccessFollowsTheInstanceOfThisRun) {
    world.Add(100002, 1);
    world.Add(100003, 1);
    AddScript("set_v", "argument1.v = argument0; return argument1.v");
    AddScript("add_c", "argument1.c += argument0; return argument1.c");
    // `r` is linked first, so `p` takes local slot 1.
    const RunCase cases[] = {
        {"var r, p; r = 0; p = 100002; p.v = 5; return (100002).v", "5"},
        {"var r, p; r = 0; p = 100002; p.v = 5; return v", "1:46: Unknown variable v"},
        {"var r, p; r = 0; for (i = 0; i < 2; i += 1) { if (i == 0) p = 100002 else p = 100003; p.z = i; }"
         " return string((100002).z) + string((100003).z)",
         "\"01\""},
        {"(100002).w = 2; (100003).w = 3; var r, p; r = '';"
         " for (i = 0; i < 2; i += 1) { if (i == 0) p = 100002 else p = 100003; r += string(p.w); } return r",
         "\"23\""},
        {"var r, p; r = 0; p = 100003; p.c = 1; p.c += 2; return (100003).c", "3"},
        {"var r, p; r = 0; p = 100003; p.a[2] = 4; return (100003).a[2]", "4"},
        {"var r, p; r = 0; p = 100003; p.a[1] = 4; return (100003).a[1] + (100002).a[1]",
         "1:74: Unknown variable a or array index out of bounds"},
        {"var r, p; r = 0; p = 100003; with (p) k = 1; return (100003).k", "1"},
        {"return set_v(7, 100003) + (100003).v", "14"},
        {"(100002).c = 1; (100003).c = 10; return add_c(1, 100002) + add_c(1, 100003)", "13"},
        {"for (i = 0; i < 2; i += 1) set_v(i, 100002 + i); return string((100002).v) + string((100003).v)",
         "\"01\""},
    };
    for (const bool reference : {false, true}) {
        SetReferenceInterpreter(reference);
        ASSERT_TRUE(CompileScripts()) << LastCodeError();
        for (const RunCase& c : cases)
            EXPECT_EQ(Run(c.code), c.expected) << c.code << " reference " << reference;
        for (CScriptInstance* i : {world.InstanceAt(0), world.InstanceAt(1), world.InstanceAt(2)})
            i->i_vars.Clear();
    }
    SetReferenceInterpreter(false);
}

} // namespace
