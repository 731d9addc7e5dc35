#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "game/game_preparation.h"
#include "script/function_script.h"
#include "script/function_manifest.h"
#include "script/function_variable.h"
#include "script/registry.h"
#include "script_fixture.h"

using namespace kestrin;

namespace {

class ScriptRegistry : public kestrin::testing::ScriptTest {};

TEST_F(ScriptRegistry, BuiltinConstants) {
    ASSERT_EQ(ConstantCount(), kBuiltinConstantCount);
    std::set<std::string> names;
    for (int32_t i = 0; i < ConstantCount(); ++i) {
        names.insert(std::string(ConstantName(i)));
        EXPECT_TRUE(ConstantValue(i).IsReal());
    }
    // Only c_silver/c_ltgray share a value, no name is added twice.
    EXPECT_EQ(names.size(), static_cast<size_t>(kBuiltinConstantCount));

    const struct {
        const char* name;
        double value;
    } samples[] = {
        {"self", -1},
        {"local", -7},
        {"pi", 3.141592653589793},
        {"c_orange", 4235519},
        {"c_silver", 12632256},
        {"bm_zero", 1},
        {"vk_f1", 112},
        {"vk_f12", 123},
        {"vk_numpad9", 105},
        {"vk_ralt", 165},
        {"ev_joystick1_button8", 28},
        {"ev_joystick2_button1", 36},
        {"ev_user15", 25},
        {"ev_close_button", 30},
        {"cr_arrrow", -2},
        {"cr_size_all", -22},
        {"browser_opera", 6},
        {"OEM_CHARSET", 255},
        {"ev_mouse_wheel_down", 61},
        {"ev_step_end", 2},
        {"mb_any", -1},
    };
    for (const auto& s : samples) {
        RValue v;
        ASSERT_TRUE(FindConstant(s.name, v)) << s.name;
        EXPECT_EQ(v.val(), s.value) << s.name;
    }
    EXPECT_EQ(ConstantName(0), "self");
    EXPECT_EQ(ConstantName(kBuiltinConstantCount - 1), "OEM_CHARSET");
    RValue v;
    EXPECT_FALSE(FindConstant("Self", v));
}

TEST_F(ScriptRegistry, ConstantPrecedence) {
    // A game constant redefines a built-in one for code compiled afterwards.
    std::string message;
    ASSERT_TRUE(DefineConstant("c_red", "5", message));
    EXPECT_EQ(Run("return c_red"), "5");

    // Resource names come first, then trigger constants, then the table.
    SetResourceNameLookup([](std::string_view name, int32_t& index) {
        if (name != "spr") return false;
        index = 3;
        return true;
    });
    SetTriggerConstantLookup([](std::string_view name, int32_t& index) {
        if (name != "trig" && name != "spr") return false;
        index = 7;
        return true;
    });
    ASSERT_TRUE(DefineConstant("spr", "10", message));
    ASSERT_TRUE(DefineConstant("trig", "11", message));
    EXPECT_EQ(Run("return spr"), "3");
    EXPECT_EQ(Run("return trig"), "7");
    // A name that is a resource can never be a variable.
    EXPECT_EQ(Run("spr = 1"), "1:5: Variable name expected.");

    // Without a resource lookup, script names are found.
    SetResourceNameLookup(nullptr);
    AddScript("scr_a", "return 1");
    AddEmptyScriptSlot();
    AddScript("scr_b", "return 2");
    EXPECT_EQ(Run("return scr_b"), "2");
}

TEST_F(ScriptRegistry, DefineConstant) {
    std::string message;
    EXPECT_FALSE(DefineConstant("2x", "1", message));
    EXPECT_EQ(message, "Constant name 2x  is not valid.");
    EXPECT_FALSE(DefineConstant("a-b", "1", message));
    EXPECT_EQ(message, "Constant name a-b  is not valid.");
    EXPECT_FALSE(DefineConstant("", "1", message));

    ASSERT_TRUE(DefineConstant("  spaced\t", "c_white - 1", message));
    EXPECT_EQ(Run("return spaced"), "16777214");
    ASSERT_TRUE(DefineConstant("greeting", "'hi' + ' there'", message));
    EXPECT_EQ(Run("return greeting"), "\"hi there\"");
    ASSERT_TRUE(DefineConstant("later", "spaced + 1", message));
    EXPECT_EQ(Run("return later"), "16777215");

    // A name defined afterwards is still a variable of the temporary instance.
    EXPECT_FALSE(DefineConstant("early", "not_yet + 1", message));
    EXPECT_EQ(message, "Value for constant early  is not valid.");
    EXPECT_FALSE(DefineConstant("broken", "1 +", message));
    EXPECT_EQ(message, "Value for constant broken  is not valid.");
    SetUnknownVariablesReadAsZero(true);
    EXPECT_TRUE(DefineConstant("early", "not_yet + 1", message));
    EXPECT_EQ(Run("return early"), "1");
    SetUnknownVariablesReadAsZero(false);

    // Constants do not outlive a reset.
    ResetConstants();
    EXPECT_EQ(ConstantCount(), kBuiltinConstantCount);
}

void Answer(CScriptInstance*, CScriptInstance*, int32_t argc, const RValue* args, RValue& result) {
    double sum = argc * 1000.0;
    for (int32_t i = 0; i < kMaxArguments; ++i) sum += args[i].val();
    result.SetReal(sum);
}

TEST_F(ScriptRegistry, Functions) {
    if (FindFunction("test_sum") < 0) {
        RegisterFunction("test_sum", Answer, -1);
        RegisterFunction("test_sum", Answer, 2); // the first of a name wins
        RegisterFunction(std::string(70, 'f'), Answer, 0);
    }
    const int32_t index = FindFunction("test_sum");
    ASSERT_GE(index, 0);
    EXPECT_EQ(FunctionArgCount(index), -1);
    EXPECT_EQ(FunctionArgCount(-1), kNoFunctionArgCount);
    EXPECT_EQ(FunctionArgCount(FunctionCount()), kNoFunctionArgCount);
    EXPECT_GE(FindFunction(std::string(64, 'f')), 0);
    EXPECT_EQ(FindFunction("Test_sum"), -1);

    // Slots beyond the count hold the real 0; the routine sees the count.
    EXPECT_EQ(Run("return test_sum(1, 2, 3)"), "3006");
    EXPECT_EQ(Run("return test_sum()"), "0");
    EXPECT_EQ(Run("a = test_sum('x', 1)"), "2001");

    // The registered families are found.
    for (const char* name : {"execute_string", "execute_file", "script_execute", "show_debug_message",
                             "variable_global_get", "variable_local_array2_set", "clipboard_get_text"})
        EXPECT_GE(FindFunction(name), 0) << name;
}

} // namespace

namespace {

TEST_F(ScriptRegistry, GameResourceNamesAndConstants) {
    GameData game;
    auto add = [&](ResourceKind kind, std::vector<std::pair<bool, std::string>> slots) {
        for (auto& [present, name] : slots) game.Resources(kind).push_back({present, name, {}});
    };
    add(ResourceKind::Sprite, {{true, "thing"}, {true, "spr_only"}, {true, "spr_only"}});
    add(ResourceKind::Object, {{false, "ghost"}, {true, "obj_a"}, {true, "thing"}});
    add(ResourceKind::Room, {{true, "rm_start"}});
    UseResourceNames(game);
    EXPECT_EQ(Run("return thing"), "2");    // objects before sprites
    EXPECT_EQ(Run("return spr_only"), "1"); // the lowest index of a kind
    EXPECT_EQ(Run("return rm_start"), "0");
    EXPECT_EQ(Run("ghost = 1; return ghost"), "1"); // an empty slot names nothing

    std::string message;
    EXPECT_TRUE(DefineGameConstants({{"LIVES", "3"}, {"MORE", "LIVES * 2 + obj_a"}}, message));
    EXPECT_EQ(Run("return MORE"), "7");
    EXPECT_FALSE(DefineGameConstants({{"A", "1"}, {"B", "2 +"}, {"C", "3"}}, message));
    EXPECT_EQ(message, "Value for constant B  is not valid.");
    RValue v;
    EXPECT_TRUE(FindConstant("A", v));
    EXPECT_FALSE(FindConstant("C", v));
    SetResourceNameLookup(nullptr);
}

TEST_F(ScriptRegistry, LoadScriptRecords) {
    auto record = [](int32_t version, std::string_view text) {
        CStream s;
        s.WriteInteger(version);
        s.WriteString(text);
        return s.Bytes();
    };
    std::vector<RawResource> records = {
        {true, "first", record(800, "return 1")},
        {false, "", {}},
        {true, "second", record(800, "return first() + 1")},
    };
    ASSERT_TRUE(LoadScripts(records));
    ASSERT_TRUE(CompileScripts());
    EXPECT_EQ(ScriptCount(), 3);
    EXPECT_EQ(Run("return second()"), "2");

    records.push_back({true, "bad", record(700, "return 1")});
    EXPECT_FALSE(LoadScripts(records));
    records.back() = {true, "cut", {0x20, 0x03, 0, 0, 50, 0, 0, 0, 'a'}};
    EXPECT_FALSE(LoadScripts(records));
}

} // namespace

namespace {

TEST_F(ScriptRegistry, Manifest) {
    std::set<std::string_view> names;
    for (const ManifestFunction& f : FunctionManifest()) {
        EXPECT_TRUE(names.insert(f.name).second) << f.name;
        EXPECT_GE(f.argnumb, -1) << f.name;
        EXPECT_LE(f.argnumb, kMaxArguments) << f.name;
    }
    EXPECT_EQ(names.size(), 1278u);
    // Every registered family agrees with the manifest on names and counts.
    for (const auto& table : {ScriptFunctions(), VariableFunctions()}) {
        for (const RFunctionSpec& spec : table) {
            const auto it = std::find_if(FunctionManifest().begin(), FunctionManifest().end(),
                                         [&](const ManifestFunction& f) { return f.name == spec.name; });
            ASSERT_NE(it, FunctionManifest().end()) << spec.name;
            EXPECT_EQ(it->argnumb, spec.argnumb) << spec.name;
        }
    }
    const std::string report = DescribeBuiltins();
    EXPECT_NE(report.find("Built-in functions: "), std::string::npos);
    EXPECT_EQ(report.find("missing in Function_3D"), std::string::npos);
    EXPECT_EQ(report.find(" execute_string"), std::string::npos);
    EXPECT_EQ(report.find("argument count differs"), std::string::npos) << report;
    // Only the functions tests register are outside the manifest.
    const std::string unlisted = "registered but not in the manifest: ";
    for (size_t at = report.find(unlisted); at != std::string::npos; at = report.find(unlisted, at + 1)) {
        const std::string name =
            report.substr(at + unlisted.size(), report.find('\n', at) - at - unlisted.size());
        EXPECT_TRUE(name.rfind("test_", 0) == 0 || name.rfind("fff", 0) == 0) << name;
    }
}

} // namespace

namespace {

// Two functions of an extension package: ext_add(a, b) and ext_fail() that fails.
class FakeExtensions : public ExtensionFunctions {
public:
    bool Find(std::string_view name, int32_t& id, int32_t& argnumb) const override {
        if (name == "ext_add" || name == "script_exists") {
            id = 3;
            argnumb = 2;
            return true;
        }
        if (name == "ext_fail" || name == "shadowed") {
            id = 7;
            argnumb = -1;
            return true;
        }
        return false;
    }
    int32_t ArgCount(int32_t id) const override { return id == 3 ? 2 : -1; }
    bool Call(int32_t id, CScriptInstance*, CScriptInstance*, int32_t argc, const RValue* args,
              RValue& result) override {
        if (id == 3) {
            result.SetReal(args[0].val() + args[1].val() + argc * 100);
            return true;
        }
        SetLastCodeError("In extension function ext_fail:\rbroken");
        return false;
    }
};

TEST_F(ScriptRegistry, ExtensionFunctionsComeBetweenScriptsAndBuiltins) {
    FakeExtensions extensions;
    SetExtensionFunctions(&extensions);
    struct Uninstall {
        ~Uninstall() { SetExtensionFunctions(nullptr); }
    } uninstall;
    AddScript("shadowed", "return 'script'");
    ASSERT_TRUE(CompileScripts());
    EXPECT_EQ(Run("return ext_add(1, 2)"), "203");
    EXPECT_EQ(Run("return script_exists(1, 2)"), "203");
    EXPECT_EQ(Run("return ext_add(1)"), "1:17: Wrong number of arguments to function or script.");
    EXPECT_EQ(Run("return shadowed()"), "\"script\"");
    CCode code("a = ext_fail(1, 2, 3)", false);
    ASSERT_TRUE(code.Compile());
    RValue result;
    EXPECT_FALSE(RunCode(self, self, code, result));
    EXPECT_EQ(LastCodeError(), "In extension function ext_fail:\rbroken");
    SetExtensionFunctions(nullptr);
    EXPECT_EQ(Run("return ext_add(1, 2)"), "1:8: Unknown function or script: ext_add");
}

} // namespace

namespace {

// The families register in the modules' order, so the table's order follows the manifest's.
TEST(RegistrationOrder, FollowsTheManifestsModuleOrder) {
    std::map<std::string_view, FunctionModule> moduleOf;
    for (const ManifestFunction& f : FunctionManifest()) moduleOf.emplace(f.name, f.module);
    FunctionModule previous = FunctionModule::Graphics;
    std::string previousName = "(start)";
    for (int32_t i = 0; i < FunctionCount(); ++i) {
        const std::string& name = FunctionAt(i)->f_name;
        const auto found = moduleOf.find(name);
        if (found == moduleOf.end()) continue; // registered by a test
        EXPECT_GE(static_cast<int>(found->second), static_cast<int>(previous))
            << name << " (" << FunctionModuleName(found->second) << ") registers after " << previousName
            << " (" << FunctionModuleName(previous) << ")";
        previous = found->second;
        previousName = name;
    }
}

} // namespace
