#include "script/registry.h"

#include <unordered_map>
#include <vector>

namespace kestrin {

namespace {

struct Registry {
    std::vector<RFunction> functions;
    std::unordered_map<std::string, int32_t> index;
    bool registering = false;
    BuiltinRegistrar registrar = nullptr;
};

Registry& Raw() {
    static Registry registry;
    return registry;
}

// The families register on first use, so the table is complete before any lookup.
Registry& Functions() {
    Registry& r = Raw();
    if (r.functions.empty() && !r.registering && r.registrar) {
        r.registering = true;
        r.registrar();
        r.registering = false;
    }
    return r;
}

ExtensionFunctions* g_extensions = nullptr;

} // namespace

void SetBuiltinRegistrar(BuiltinRegistrar registrar) {
    Raw().registrar = registrar;
}

void SetExtensionFunctions(ExtensionFunctions* functions) {
    g_extensions = functions;
}

ExtensionFunctions* CurrentExtensionFunctions() {
    return g_extensions;
}

void RegisterFunction(std::string_view name, BuiltinRoutine routine, int32_t argnumb) {
    Registry& r = Functions();
    RFunction entry;
    entry.f_name = std::string(name.substr(0, kMaxFunctionName));
    entry.f_routine = routine;
    entry.f_argnumb = argnumb;
    // The first registration of a name is the one lookups find.
    r.index.emplace(entry.f_name, static_cast<int32_t>(r.functions.size()));
    r.functions.push_back(std::move(entry));
}

void RegisterFunctions(std::span<const RFunctionSpec> table) {
    for (const RFunctionSpec& spec : table) RegisterFunction(spec.name, spec.routine, spec.argnumb);
}

int32_t FindFunction(std::string_view name) {
    const Registry& r = Functions();
    const auto it = r.index.find(std::string(name));
    return it == r.index.end() ? -1 : it->second;
}

int32_t FunctionArgCount(int32_t index) {
    const RFunction* f = FunctionAt(index);
    return f ? f->f_argnumb : kNoFunctionArgCount;
}

const RFunction* FunctionAt(int32_t index) {
    const Registry& r = Functions();
    if (index < 0 || static_cast<size_t>(index) >= r.functions.size()) return nullptr;
    return &r.functions[static_cast<size_t>(index)];
}

int32_t FunctionCount() {
    return static_cast<int32_t>(Functions().functions.size());
}

BuiltinRoutine FunctionRoutine(int32_t index) {
    return Raw().functions[static_cast<size_t>(index)].f_routine;
}

} // namespace kestrin
