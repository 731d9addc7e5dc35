#include "script/callable.h"

#include "script/registry.h"
#include "script/scripts.h"

namespace kestrin {

bool FindCallable(std::string_view name, int32_t& index) {
    if (const int32_t script = FindScript(name); script >= 0) {
        index = kFirstScriptFunction + script;
        return true;
    }
    if (const ExtensionFunctions* extensions = CurrentExtensionFunctions()) {
        int32_t id, argnumb;
        if (extensions->Find(name, id, argnumb) && id >= 0 && id <= INT32_MAX - kFirstExtensionFunction) {
            index = kFirstExtensionFunction + id;
            return true;
        }
    }
    if (const int32_t builtin = FindFunction(name); builtin >= 0) {
        index = builtin;
        return true;
    }
    return false;
}

int32_t CallableArgCount(int32_t index) {
    switch (CallableKindOf(index)) {
    case CallableKind::Extension: {
        const ExtensionFunctions* extensions = CurrentExtensionFunctions();
        return extensions ? extensions->ArgCount(index - kFirstExtensionFunction) : kNoFunctionArgCount;
    }
    case CallableKind::Script:
        return -1;
    case CallableKind::Builtin:
        break;
    }
    return FunctionArgCount(index);
}

CallOutcome CallCallable(int32_t index, CScriptInstance* self, CScriptInstance* other, int32_t argc,
                         const RValue* args, RValue& result) {
    if (index < 0) return CallOutcome::Missing;
    switch (CallableKindOf(index)) {
    case CallableKind::Extension: {
        ExtensionFunctions* extensions = CurrentExtensionFunctions();
        if (extensions && extensions->Call(index - kFirstExtensionFunction, self, other, argc, args, result))
            return CallOutcome::Called;
        return CallOutcome::Failed;
    }
    case CallableKind::Script:
        return CallScript(index - kFirstScriptFunction, self, other, result, CheckScriptArguments(), args,
                          argc)
                   ? CallOutcome::Called
                   : CallOutcome::Failed;
    case CallableKind::Builtin:
        break;
    }
    const RFunction* function = FunctionAt(index);
    if (!function || !function->f_routine) return CallOutcome::Missing;
    function->f_routine(self, other, argc, args, result);
    return CallOutcome::Called;
}

} // namespace kestrin
