#pragma once
// The variable_* built-in functions: existence, reading and writing of global variables and
// of the variables of `self` by name. A name that no code uses is added to the name table.

#include <span>

#include "script/builtin_routine.h"

namespace kestrin {

void variable_global_exists(CScriptInstance* self, CScriptInstance* other, int32_t argc, const RValue* args,
                            RValue& result);
void variable_local_exists(CScriptInstance* self, CScriptInstance* other, int32_t argc, const RValue* args,
                           RValue& result);
void variable_global_get(CScriptInstance* self, CScriptInstance* other, int32_t argc, const RValue* args,
                         RValue& result);
void variable_global_array_get(CScriptInstance* self, CScriptInstance* other, int32_t argc,
                               const RValue* args, RValue& result);
void variable_global_array2_get(CScriptInstance* self, CScriptInstance* other, int32_t argc,
                                const RValue* args, RValue& result);
void variable_local_get(CScriptInstance* self, CScriptInstance* other, int32_t argc, const RValue* args,
                        RValue& result);
void variable_local_array_get(CScriptInstance* self, CScriptInstance* other, int32_t argc, const RValue* args,
                              RValue& result);
void variable_local_array2_get(CScriptInstance* self, CScriptInstance* other, int32_t argc,
                               const RValue* args, RValue& result);
void variable_global_set(CScriptInstance* self, CScriptInstance* other, int32_t argc, const RValue* args,
                         RValue& result);
void variable_global_array_set(CScriptInstance* self, CScriptInstance* other, int32_t argc,
                               const RValue* args, RValue& result);
void variable_global_array2_set(CScriptInstance* self, CScriptInstance* other, int32_t argc,
                                const RValue* args, RValue& result);
void variable_local_set(CScriptInstance* self, CScriptInstance* other, int32_t argc, const RValue* args,
                        RValue& result);
void variable_local_array_set(CScriptInstance* self, CScriptInstance* other, int32_t argc, const RValue* args,
                              RValue& result);
void variable_local_array2_set(CScriptInstance* self, CScriptInstance* other, int32_t argc,
                               const RValue* args, RValue& result);

// The family's table, in registration order.
std::span<const RFunctionSpec> VariableFunctions();

} // namespace kestrin
