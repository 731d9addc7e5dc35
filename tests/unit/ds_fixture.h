#pragma once
// Shared by the data-structure tests: clean tables for every test, the run-time errors
// captured, and the built-ins called by name through the registry as compiled code would.

#include <gtest/gtest.h>

#include <array>
#include <initializer_list>
#include <string>
#include <vector>

#include "script/registry.h"
#include "script/run_error.h"
#include "script/value.h"
#include "world/ds_common.h"
#include "world/function_ds.h"

namespace kestrin::testing {

inline RValue R(double v) {
    return RValue(v);
}
inline RValue S(const char* s) {
    return RValue(s);
}

// The value as tests compare it: reals as %.17g, strings quoted.
inline std::string Show(const RValue& value) {
    if (value.IsString()) return "\"" + std::string(value.str()) + "\"";
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", value.val());
    return text;
}
inline std::string Show(const DsValue& value) {
    return Show(value.Value());
}
inline DsValue D(const RValue& value) {
    return DsValue(value);
}

class DsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetDataStructures();
        errors().clear();
        // The registry installs the error path when first used: before the sink is taken.
        (void)FindFunction("ds_stack_create");
        previous_ = SetRunErrorSink([](std::string_view message, bool fatal) {
            errors().push_back(std::string(fatal ? "FATAL " : "") + std::string(message));
        });
    }
    void TearDown() override {
        SetRunErrorSink(previous_);
        SetDsRandom(nullptr);
        ResetDataStructures();
    }

    static std::vector<std::string>& errors() {
        static std::vector<std::string> list;
        return list;
    }

    // Calls a registered built-in with 16 argument slots and a result starting as the real 0.
    RValue Call(std::string_view name, std::initializer_list<RValue> arguments) {
        const int32_t index = FindFunction(name);
        EXPECT_GE(index, 0) << name;
        if (index < 0) return RValue();
        EXPECT_EQ(FunctionArgCount(index), static_cast<int32_t>(arguments.size())) << name;
        std::array<RValue, kMaxArguments> args;
        int32_t argc = 0;
        for (const RValue& a : arguments) args[static_cast<size_t>(argc++)] = a;
        RValue result;
        FunctionRoutine(index)(nullptr, nullptr, argc, args.data(), result);
        return result;
    }
    std::string Text(std::string_view name, std::initializer_list<RValue> arguments) {
        return Show(Call(name, arguments));
    }
    double Real(std::string_view name, std::initializer_list<RValue> arguments) {
        return Call(name, arguments).val();
    }

private:
    RunErrorSink previous_ = nullptr;
};

// Hex text of stored integers, reals and values, to spell expected texts readably.
inline std::string HexInt(int32_t v) {
    CStream s;
    s.WriteInteger(v);
    return s.ConvertToString();
}
inline std::string HexValue(const RValue& v) {
    CStream s;
    v.SaveToStream(s);
    return s.ConvertToString();
}
// A stored value with both fields given.
inline std::string HexStored(int32_t kind, double val, std::string_view text) {
    CStream s;
    s.WriteInteger(kind);
    s.WriteReal(val);
    s.WriteString(text);
    return s.ConvertToString();
}
// All three fields, the real by its bits: what a container keeps of a value.
inline std::string Fields(const DsValue& v) {
    char real[32];
    std::snprintf(real, sizeof real, "%a", v.val());
    return (v.IsString() ? "string " : "real ") + std::string(real) + " \"" + std::string(v.str()) + "\"";
}

inline constexpr const char* kNoSuchStructure = "Data structure with index does not exist.";

} // namespace kestrin::testing
