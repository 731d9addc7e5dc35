// Extension package records over hostile bytes: a section that loads saves and loads again
// to the same bytes; its functions are normalised and its script files cut into functions
// as the runner does before using them.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "base/stream.h"
#include "script/extension_class.h"

using namespace kestrin;

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> input(data, data + size);
    std::vector<CExtensionPackage> packages;
    bool loaded = false;
    try {
        CStream in(input);
        loaded = LoadExtensionSection(in, packages);
    } catch (const StreamError&) {
        return 0;
    }
    if (!loaded) return 0;
    CStream out;
    SaveExtensionSection(out, packages);
    out.Seek(0);
    std::vector<CExtensionPackage> again;
    Check(LoadExtensionSection(out, again));
    CStream second;
    SaveExtensionSection(second, again);
    Check(second.Bytes() == out.Bytes());
    for (CExtensionPackage& p : packages) {
        NormaliseExtensionFunctions(p);
        for (CExtensionFile& file : p.s_includes) {
            CreateExtensionScripts(file, file.data);
            for (const CExtensionFunction& f : file.s_functions)
                if (file.s_kind != kExtensionScript) Check(f.s_script.empty());
        }
    }
    return 0;
}
