#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "script/run_error.h"
#include "script/function_variable.h"
#include "script/variables.h"

using namespace kestrin;

namespace {

std::vector<std::string> g_errors;
void CaptureError(std::string_view message, bool fatal) {
    g_errors.push_back(std::string(fatal ? "FATAL " : "") + std::string(message));
}

class ScriptVariableFunctions : public ::testing::Test {
protected:
    void SetUp() override {
        GlobalsInit();
        SetUnknownVariablesReadAsZero(false);
        g_errors.clear();
        previous_ = SetRunErrorSink(&CaptureError);
        self.i_id = 100001;
    }
    void TearDown() override {
        SetRunErrorSink(previous_);
        SetUnknownVariablesReadAsZero(false);
        GlobalsInit();
    }

    // Calls a routine the way the interpreter does: 16 slots, a result starting as the real 0.
    RValue Call(BuiltinRoutine routine, std::initializer_list<RValue> arguments) {
        std::array<RValue, kMaxArguments> args;
        int32_t argc = 0;
        for (const RValue& a : arguments) args[static_cast<size_t>(argc++)] = a;
        RValue result;
        routine(&self, &self, argc, args.data(), result);
        return result;
    }

    CScriptInstance self;
    RunErrorSink previous_ = nullptr;
};

RValue R(double v) {
    return RValue(v);
}
RValue S(const char* s) {
    return RValue(s);
}

} // namespace

TEST_F(ScriptVariableFunctions, TableMatchesTheRoutines) {
    const auto table = VariableFunctions();
    ASSERT_EQ(table.size(), 14u);
    EXPECT_EQ(table[0].name, "variable_global_exists");
    EXPECT_EQ(table[0].argnumb, 1);
    for (const RFunctionSpec& f : table) {
        EXPECT_NE(f.routine, nullptr) << f.name;
        const bool isSet = f.name.find("_set") != std::string_view::npos;
        const int dims = f.name.find("array2") != std::string_view::npos  ? 2
                         : f.name.find("array") != std::string_view::npos ? 1
                                                                          : 0;
        EXPECT_EQ(f.argnumb, 1 + dims + (isSet ? 1 : 0)) << f.name;
    }
}

TEST_F(ScriptVariableFunctions, GlobalFunctions) {
    EXPECT_EQ(Call(variable_global_exists, {S("vf_g")}).val(), 0);
    // A global never assigned reads as the real 0 without an error.
    const RValue missing = Call(variable_global_get, {S("vf_g")});
    EXPECT_TRUE(missing.IsReal());
    EXPECT_EQ(missing.val(), 0);
    Call(variable_global_set, {S("vf_g"), S("hello")});
    EXPECT_EQ(Call(variable_global_exists, {S("vf_g")}).val(), 1);
    EXPECT_EQ(Call(variable_global_get, {S("vf_g")}).str(), "hello");
    Call(variable_global_array_set, {S("vf_ga"), R(4), R(2.5)});
    EXPECT_EQ(Call(variable_global_array_get, {S("vf_ga"), R(4)}).val(), 2.5);
    EXPECT_EQ(Call(variable_global_array2_get, {S("vf_ga"), R(0), R(4)}).val(), 2.5);
    Call(variable_global_array2_set, {S("vf_ga"), R(3), R(1), R(9)});
    EXPECT_EQ(Call(variable_global_array2_get, {S("vf_ga"), R(3), R(1)}).val(), 9);
    EXPECT_EQ(Call(variable_global_array_get, {S("vf_ga"), R(3 * 32000 + 1)}).val(), 0); // index refused
    EXPECT_EQ(Call(variable_global_array_get, {S("vf_ga"), R(100)}).val(), 0);
    EXPECT_EQ(g_errors, std::vector<std::string>{"Array index >= 32000"});
    // The stored global is visible to code.
    RValue v;
    ASSERT_TRUE(Globals().List().GetVar(VariableIndex("vf_ga"), 4, v));
    EXPECT_EQ(v.val(), 2.5);
    SetUnknownVariablesReadAsZero(true);
    EXPECT_EQ(Call(variable_global_exists, {S("vf_never")}).val(), 1);
}

TEST_F(ScriptVariableFunctions, LocalFunctionsWorkOnSelf) {
    EXPECT_EQ(Call(variable_local_exists, {S("vf_l")}).val(), 0);
    Call(variable_local_set, {S("vf_l"), R(3)});
    EXPECT_EQ(Call(variable_local_exists, {S("vf_l")}).val(), 1);
    EXPECT_EQ(Call(variable_local_get, {S("vf_l")}).val(), 3);
    EXPECT_NE(self.i_vars.FindElement(VariableIndex("vf_l"), 0), nullptr);
    Call(variable_local_array_set, {S("vf_la"), R(2), S("b")});
    EXPECT_EQ(Call(variable_local_array_get, {S("vf_la"), R(2)}).str(), "b");
    Call(variable_local_array2_set, {S("vf_la"), R(1), R(2), R(5)});
    EXPECT_EQ(Call(variable_local_array2_get, {S("vf_la"), R(1), R(2)}).val(), 5);
    EXPECT_EQ(Call(variable_local_get, {S("vf_unset")}).val(), 0);
    EXPECT_TRUE(g_errors.empty());
}

TEST_F(ScriptVariableFunctions, ArrayIndicesAreCheckedInAllSixFunctions) {
    struct Case {
        BuiltinRoutine routine;
        std::vector<RValue> args;
        const char* error;
    };
    const Case cases[] = {
        {variable_global_array_set, {S("vf_b"), R(-1), R(1)}, "Negative array index"},
        {variable_global_array2_set, {S("vf_b"), R(0), R(-3), R(1)}, "Negative array index"},
        {variable_global_array2_set, {S("vf_b"), R(-1), R(5), R(1)}, "Negative array index"},
        {variable_local_array_set, {S("vf_b"), R(-1), R(1)}, "Negative array index"},
        {variable_local_array2_set, {S("vf_b"), R(-2), R(0), R(1)}, "Negative array index"},
        {variable_global_array_get, {S("vf_b"), R(-1)}, "Negative array index"},
        {variable_local_array2_get, {S("vf_b"), R(0), R(-1)}, "Negative array index"},
        {variable_global_array_set, {S("vf_b"), R(32000), R(1)}, "Array index >= 32000"},
        {variable_local_array2_set, {S("vf_b"), R(1), R(32000), R(1)}, "Array index >= 32000"},
        {variable_global_array2_get, {S("vf_b"), R(4294967296.0), R(0)}, "Array index >= 32000"},
        {variable_local_array_get, {S("vf_b"), R(1e12)}, "Array index >= 32000"},
    };
    for (const Case& c : cases) {
        g_errors.clear();
        std::array<RValue, kMaxArguments> args;
        for (size_t i = 0; i < c.args.size(); ++i) args[i] = c.args[i];
        RValue result;
        c.routine(&self, &self, static_cast<int32_t>(c.args.size()), args.data(), result);
        EXPECT_EQ(g_errors, std::vector<std::string>{c.error});
        EXPECT_EQ(result.val(), 0);
    }
    // Nothing was written anywhere.
    EXPECT_EQ(Globals().List().v_numb(), 0);
    EXPECT_EQ(self.i_vars.v_numb(), 0);
}

namespace {
double g_speed = 30;
bool ReadSpeed(CScriptInstance*, int32_t, RValue& v) {
    v.SetReal(g_speed);
    return true;
}
bool ReadArgument(CScriptInstance*, int32_t, RValue& v) {
    v.SetString("arg3");
    return true;
}
} // namespace

TEST_F(ScriptVariableFunctions, BuiltinNamesGoThroughTheirRoutines) {
    ASSERT_TRUE(BindBuiltinVariable("fps", &ReadSpeed, nullptr));
    ASSERT_TRUE(BindBuiltinVariable("argument3", &ReadArgument, nullptr));
    EXPECT_EQ(Call(variable_local_exists, {S("fps")}).val(), 1);
    EXPECT_EQ(Call(variable_local_get, {S("fps")}).val(), 30);
    Call(variable_local_set, {S("fps"), R(1)}); // read-only: silently not written
    EXPECT_EQ(g_speed, 30);
    EXPECT_TRUE(g_errors.empty());
    EXPECT_EQ(self.i_vars.v_numb(), 0);
    // Reading an argument variable by name is a run-time lookup only.
    ArgumentUsage usage;
    EXPECT_EQ(Call(variable_local_get, {S("argument3")}).str(), "arg3");
    EXPECT_EQ(usage.highest, -1);
    BindBuiltinVariable("fps", nullptr, nullptr);
    BindBuiltinVariable("argument3", nullptr, nullptr);
}
