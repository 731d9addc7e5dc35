#include "runner/function_external.h"

#include <cstdint>
#include <string>

#include "base/numeric.h"
#include "runner/extension_messages.h"
#include "runner/file_access.h"
#include "runner/support_dll.h"
#include "script/callable.h"
#include "script/run_error.h"
#include "script/value.h"

namespace kestrin {

namespace {

bool Refused() {
    if (!SecureMode()) return false;
    ReportRunError(msg::kSecureDlls, false);
    return true;
}

int32_t TypeOf(const RValue& value) {
    return RoundToInt32Saturated(value.val()) == kDllTypeString ? kDllTypeString : 0;
}

void Define(const RValue& dll, const RValue& name, int32_t calltype, const RValue& restype,
            const int32_t* types, int32_t argnumb, RValue& result) {
    const int32_t id = DefineDllFunction(dll.str(), name.str(), calltype, TypeOf(restype), types, argnumb);
    if (id < 0) ReportRunError(msg::kDllDefineFailed, false);
    result.SetReal(id);
}

void external_define(CScriptInstance*, CScriptInstance*, int32_t argc, const RValue* args, RValue& result) {
    if (Refused()) return;
    const int32_t argnumb = argc >= 5 ? RoundToInt32Saturated(args[4].val()) : -1;
    if (argc < 5 || int64_t{argnumb} + 5 != argc) {
        ReportRunError(msg::kExternalDefineCount, false);
        return;
    }
    if (argnumb > kMaxNativeArguments) {
        ReportRunError(msg::kDllTooManyArguments, false);
        return;
    }
    int32_t types[kMaxNativeArguments + 1]{};
    for (int32_t i = 0; i < argnumb; ++i) types[i] = TypeOf(args[5 + i]);
    if (argnumb > 4)
        for (int32_t i = 0; i < argnumb; ++i)
            if (RoundToInt32Saturated(args[5 + i].val()) != 0) {
                ReportRunError(msg::kDllStringArguments, false);
                return;
            }
    const int32_t calltype = RoundToInt32Saturated(args[2].val()) == kDllStdcall ? kDllStdcall : 0;
    Define(args[0], args[1], calltype, args[3], types, argnumb, result);
}

// external_defineK for K of 0 .. 4: dll, name, K argument types, result type.
template <int32_t K>
void external_define_typed(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    if (Refused()) return;
    int32_t types[kMaxNativeArguments + 1]{};
    for (int32_t i = 0; i < K; ++i) types[i] = TypeOf(args[2 + i]);
    Define(args[0], args[1], 0, args[2 + K], types, K, result);
}

// external_defineK for K of 5 .. 8: dll, name, result type; all arguments are reals.
template <int32_t K>
void external_define_reals(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    if (Refused()) return;
    const int32_t types[kMaxNativeArguments + 1]{};
    Define(args[0], args[1], 0, args[2], types, K, result);
}

void external_call(CScriptInstance*, CScriptInstance*, int32_t argc, const RValue* args, RValue& result) {
    if (Refused() || argc < 1) return;
    CallDllFunction(RoundToInt32Saturated(args[0].val(), -1), argc - 1, args + 1, result);
}

void external_free(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue&) {
    if (Refused()) return;
    FreeDll(args[0].str());
}

void get_function_address(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    result.SetReal(-1);
    if (Refused()) return;
    int32_t index = -1;
    if (!FindCallable(args[0].str(), index) || CallableKindOf(index) != CallableKind::Builtin) return;
    const RFunction* function = FunctionAt(index);
    if (function && function->f_routine)
        result.SetReal(static_cast<double>(reinterpret_cast<uintptr_t>(function->f_routine)));
}

constexpr RFunctionSpec kExternalFunctions[] = {
    {"external_define", external_define, -1},
    {"external_call", external_call, -1},
    {"external_free", external_free, 1},
    {"get_function_address", get_function_address, 1},
    {"external_define0", external_define_typed<0>, 3},
    {"external_call0", external_call, 1},
    {"external_define1", external_define_typed<1>, 4},
    {"external_call1", external_call, 2},
    {"external_define2", external_define_typed<2>, 5},
    {"external_call2", external_call, 3},
    {"external_define3", external_define_typed<3>, 6},
    {"external_call3", external_call, 4},
    {"external_define4", external_define_typed<4>, 7},
    {"external_call4", external_call, 5},
    {"external_define5", external_define_reals<5>, 3},
    {"external_call5", external_call, 6},
    {"external_define6", external_define_reals<6>, 3},
    {"external_call6", external_call, 7},
    {"external_define7", external_define_reals<7>, 3},
    {"external_call7", external_call, 8},
    {"external_define8", external_define_reals<8>, 3},
    {"external_call8", external_call, 9},
};

} // namespace

std::span<const RFunctionSpec> ExternalFunctions() {
    return kExternalFunctions;
}

} // namespace kestrin
