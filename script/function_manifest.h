#pragma once
// Every built-in function a game may call, with its argument count and the module that
// registers it, so the tools can tell which ones this runner implements and which are still
// missing.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace kestrin {

// ORDER FunctionModule: the order in which the modules register their families.
enum class FunctionModule : uint8_t {
    Graphics,
    Action,
    Math,
    Interaction,
    File,
    Misc,
    DPlay,
    Game,
    Resource,
    Particles,
    DataStructures,
    Sound,
    ThreeD,
};

std::string_view FunctionModuleName(FunctionModule module);

struct ManifestFunction {
    std::string_view name;
    int32_t argnumb; // -1: any number up to 16
    FunctionModule module;
};

std::span<const ManifestFunction> FunctionManifest();

// The text `kestrin info --builtins` prints: how many functions and variables are
// implemented, the missing ones by module, and registered functions whose argument count
// differs from the manifest.
std::string DescribeBuiltins();

} // namespace kestrin
