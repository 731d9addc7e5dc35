#include "script/function_variable.h"

#include <array>

#include "script/messages.h"
#include "base/numeric.h"
#include "script/run_error.h"
#include "script/variables.h"

namespace kestrin {

namespace {

int32_t NameIndex(const RValue& name) {
    return VariableIndex(name.str());
}

// The element number of the index arguments. Both indices are checked in full: an index of
// 32000 or more is reported, a negative one is refused too, and neither reaches the store.
bool Element(std::span<const RValue> indices, int32_t& element) {
    element = 0;
    for (const RValue& index : indices) {
        const int64_t i = RoundToInt64(index.val());
        if (i >= kArrayDimension) {
            ReportRunError(MessageText(ScriptMessage::ArrayIndexTooLarge), false);
            return false;
        }
        if (i < 0) {
            ReportRunError(MessageText(ScriptMessage::NegativeArrayIndex), false);
            return false;
        }
        element = element * kArrayDimension + static_cast<int32_t>(i);
    }
    return true;
}

void GlobalGet(const RValue* args, size_t indexCount, RValue& result) {
    int32_t element;
    if (!Element({args + 1, indexCount}, element)) return;
    if (!Globals().List().GetVar(NameIndex(args[0]), element, result)) result.Clear();
}

void GlobalSet(const RValue* args, size_t indexCount) {
    int32_t element;
    if (!Element({args + 1, indexCount}, element)) return;
    (void)Globals().List().SetVar(NameIndex(args[0]), element, args[1 + indexCount]);
}

void LocalGet(CScriptInstance* self, const RValue* args, size_t indexCount, RValue& result) {
    int32_t element;
    if (!Element({args + 1, indexCount}, element)) return;
    if (!GetInstanceVar(self, NameIndex(args[0]), element, result)) result.Clear();
}

void LocalSet(CScriptInstance* self, const RValue* args, size_t indexCount) {
    int32_t element;
    if (!Element({args + 1, indexCount}, element)) return;
    // A read-only built-in is silently not written.
    (void)SetInstanceVar(self, NameIndex(args[0]), element, args[1 + indexCount]);
}

} // namespace

void variable_global_exists(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    RValue value;
    result.SetReal(Globals().List().GetVar(NameIndex(args[0]), 0, value) ? 1.0 : 0.0);
}

void variable_local_exists(CScriptInstance* self, CScriptInstance*, int32_t, const RValue* args,
                           RValue& result) {
    RValue value;
    result.SetReal(GetInstanceVar(self, NameIndex(args[0]), 0, value) ? 1.0 : 0.0);
}

void variable_global_get(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    GlobalGet(args, 0, result);
}
void variable_global_array_get(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args,
                               RValue& result) {
    GlobalGet(args, 1, result);
}
void variable_global_array2_get(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args,
                                RValue& result) {
    GlobalGet(args, 2, result);
}
void variable_local_get(CScriptInstance* self, CScriptInstance*, int32_t, const RValue* args,
                        RValue& result) {
    LocalGet(self, args, 0, result);
}
void variable_local_array_get(CScriptInstance* self, CScriptInstance*, int32_t, const RValue* args,
                              RValue& result) {
    LocalGet(self, args, 1, result);
}
void variable_local_array2_get(CScriptInstance* self, CScriptInstance*, int32_t, const RValue* args,
                               RValue& result) {
    LocalGet(self, args, 2, result);
}
void variable_global_set(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue&) {
    GlobalSet(args, 0);
}
void variable_global_array_set(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue&) {
    GlobalSet(args, 1);
}
void variable_global_array2_set(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue&) {
    GlobalSet(args, 2);
}
void variable_local_set(CScriptInstance* self, CScriptInstance*, int32_t, const RValue* args, RValue&) {
    LocalSet(self, args, 0);
}
void variable_local_array_set(CScriptInstance* self, CScriptInstance*, int32_t, const RValue* args, RValue&) {
    LocalSet(self, args, 1);
}
void variable_local_array2_set(CScriptInstance* self, CScriptInstance*, int32_t, const RValue* args,
                               RValue&) {
    LocalSet(self, args, 2);
}

std::span<const RFunctionSpec> VariableFunctions() {
    static constexpr std::array<RFunctionSpec, 14> kTable = {{
        {"variable_global_exists", &variable_global_exists, 1},
        {"variable_local_exists", &variable_local_exists, 1},
        {"variable_global_get", &variable_global_get, 1},
        {"variable_global_array_get", &variable_global_array_get, 2},
        {"variable_global_array2_get", &variable_global_array2_get, 3},
        {"variable_local_get", &variable_local_get, 1},
        {"variable_local_array_get", &variable_local_array_get, 2},
        {"variable_local_array2_get", &variable_local_array2_get, 3},
        {"variable_global_set", &variable_global_set, 2},
        {"variable_global_array_set", &variable_global_array_set, 3},
        {"variable_global_array2_set", &variable_global_array2_set, 4},
        {"variable_local_set", &variable_local_set, 2},
        {"variable_local_array_set", &variable_local_array_set, 3},
        {"variable_local_array2_set", &variable_local_array2_set, 4},
    }};
    return kTable;
}

} // namespace kestrin
