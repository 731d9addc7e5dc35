#pragma once
// Shared by the script language tests: a room holding the running instance, clean global
// state for every test, and helpers that compile and run code into comparable text.

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "script/function_script.h"
#include "script/code.h"
#include "script/constants.h"
#include "script/errors.h"
#include "script/interpreter.h"
#include "script/scripts.h"
#include "script/simple_world.h"
#include "script/variable_list.h"
#include "script/variables.h"

namespace kestrin::testing {

// The value as the tables write it: reals as string() writes them, strings quoted. (In a
// namespace of its own, so that another fixture's Show of another form cannot take its place
// at link time.)
inline namespace script_values {
inline std::string Show(const RValue& value) {
    if (value.IsString()) return "\"" + std::string(value.str()) + "\"";
    return RealText(value.val());
}
} // namespace script_values

// "L:C: message" of a formatted program error (or the whole text if it has another form).
inline std::string Brief(const std::string& error) {
    const std::string head = "Error in code at line ";
    const size_t at = error.find(head);
    const size_t pos = error.find("\rat position ");
    if (at == std::string::npos || pos == std::string::npos) return error;
    const size_t colon = error.find(':', at);
    return error.substr(at + head.size(), colon - at - head.size()) + ":" + error.substr(pos + 13);
}

class ScriptTest : public ::testing::Test {
protected:
    void SetUp() override {
        GlobalsInit();
        SetUnknownVariablesReadAsZero(false);
        SetCheckScriptArguments(false);
        ClearScripts();
        ResetConstants();
        SetResourceNameLookup(nullptr);
        SetTriggerConstantLookup(nullptr);
        ResetErrorState();
        SetErrorOptions({false, false, false});
        SetErrorHooks({});
        // Other suites may have left the run-time errors of built-ins going elsewhere.
        InstallErrorPath();
        CurrentEvent() = EventContext();
        self = world.Add(100001, 0);
        SetInstanceWorld(&world);
        debugLines().clear();
        previousSink = SetDebugMessageSink([](std::string_view text) { debugLines().emplace_back(text); });
    }
    void TearDown() override {
        SetInstanceWorld(nullptr);
        SetDebugMessageSink(previousSink);
        SetErrorOptions({});
        ClearScripts();
    }

    static std::vector<std::string>& debugLines() {
        static std::vector<std::string> lines;
        return lines;
    }

    // Compiles and runs a program: its value, or "L:C: message" of its error.
    std::string Run(std::string_view text) {
        CCode code(text, false);
        if (!code.Compile()) return Brief(LastCodeError());
        RValue result;
        if (!RunCode(self, self, code, result)) return Brief(LastCodeError());
        return Show(result);
    }

    // A variable of the running instance (or its error).
    std::string Var(std::string_view name) {
        RValue v;
        if (!self->i_vars.GetVar(VariableIndex(name), 0, v)) return "<unset>";
        return Show(v);
    }

    SimpleWorld world;
    CScriptInstance* self = nullptr;
    DebugMessageSink previousSink = nullptr;
};

} // namespace kestrin::testing
