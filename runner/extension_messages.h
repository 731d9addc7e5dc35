#pragma once
// Messages of extension packages and native library calls.

namespace kestrin::msg {

inline constexpr const char* kSecureExtensions = "In secure mode you cannot use extension packages.";
inline constexpr const char* kSecureDlls = "In secure mode you cannot use DLLs";
inline constexpr const char* kExtensionCompile = "COMPILATION ERROR in extension package ";
inline constexpr const char* kNoInitFunction = "Could not locate initialization function ";
inline constexpr const char* kNoFinalFunction = "Could not locate finalization function ";
inline constexpr const char* kInExtensionFunction = "In extension function ";
inline constexpr const char* kExternalDefineCount = "Wrong number of arguments to external_define()";
inline constexpr const char* kDllTooManyArguments = "DLL functions can have at most 16 arguments";
inline constexpr const char* kDllStringArguments =
    "DLL functions with more than 4 arguments cannot have string arguments";
inline constexpr const char* kDllDefineFailed = "Error defining an external function.";

} // namespace kestrin::msg
