#pragma once
// Shared by the tests of the math, text and date built-ins: evaluating expressions and calling
// registered functions by name, with the run-time errors they report collected.

#include <array>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "script/registry.h"
#include "script/run_error.h"
#include "script_fixture.h"

namespace kestrin::testing {

class FunctionTest : public ScriptTest {
protected:
    void SetUp() override {
        ScriptTest::SetUp();
        (void)FunctionCount(); // registration installs the error path; capture after it
        errors().clear();
        previousErrorSink_ = SetRunErrorSink(&CaptureError);
    }
    void TearDown() override {
        SetRunErrorSink(previousErrorSink_);
        ScriptTest::TearDown();
    }

    static std::vector<std::string>& errors() {
        static std::vector<std::string> list;
        return list;
    }
    static void CaptureError(std::string_view message, bool) { errors().emplace_back(message); }

    // The value of an expression, or of a program that has its own return (the run must
    // succeed).
    RValue Eval(std::string_view expression) {
        const bool program = expression.find("return ") != std::string_view::npos;
        CCode code(program ? std::string(expression) : "return " + std::string(expression), false);
        RValue result;
        if (!code.Compile() || !RunCode(self, self, code, result)) {
            ADD_FAILURE() << expression << ": " << LastCodeError();
            return RValue("<failed>");
        }
        return result;
    }

    // The value as text (reals as string() writes them, strings quoted), followed by " !"
    // and the reported error, if any.
    std::string Text(std::string_view expression) {
        errors().clear();
        std::string text = Show(Eval(expression));
        for (const std::string& e : errors()) text += " ! " + e;
        return text;
    }

    // Calls a registered function as the interpreter does: 16 slots, the result starting as
    // the real 0.
    RValue Call(std::string_view name, std::initializer_list<RValue> arguments) {
        const int32_t index = FindFunction(name);
        if (index < 0) {
            ADD_FAILURE() << "no function " << name;
            return RValue();
        }
        std::array<RValue, kMaxArguments> args;
        int32_t argc = 0;
        for (const RValue& a : arguments) args[static_cast<size_t>(argc++)] = a;
        RValue result;
        FunctionRoutine(index)(self, self, argc, args.data(), result);
        return result;
    }
    double CallReal(std::string_view name, std::initializer_list<double> arguments) {
        std::array<RValue, kMaxArguments> args;
        int32_t argc = 0;
        for (const double a : arguments) args[static_cast<size_t>(argc++)] = RValue(a);
        const int32_t index = FindFunction(name);
        if (index < 0) {
            ADD_FAILURE() << "no function " << name;
            return 0.0;
        }
        RValue result;
        FunctionRoutine(index)(self, self, argc, args.data(), result);
        EXPECT_TRUE(result.IsReal()) << name;
        return result.val();
    }

private:
    RunErrorSink previousErrorSink_ = nullptr;
};

struct TextCase {
    const char* code;
    const char* expected;
};

} // namespace kestrin::testing
