#pragma once
// The table of native library functions that scripts define (external_define) and that
// extension packages bring, and the call through it. A function's id is its position;
// entries stay until the process ends, and releasing a library only clears the handles of
// its entries.
//
// Library names: a Windows name such as "tools.dll" is looked up as the file itself, then as
// "tools.so" and "libtools.so", first in the folder the name gives, then beside the game (the
// game's folder and the program's folder), then on the system's library path. A name
// without ".dll" is tried as it is in the same places.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "runner/native_call.h"
#include "script/value.h"

namespace kestrin {

inline constexpr int32_t kDllStdcall = 1;
inline constexpr int32_t kDllTypeString = 1;

struct RDllFunction {
    std::string dll_name;
    void* dll_handle = nullptr;
    std::string function_name;
    void* function_addr = nullptr;
    int32_t calltype = 0;
    int32_t argnumb = 0;
    std::array<int32_t, 17> argtype{};
    int32_t resulttype = 0;
    std::unique_ptr<NativeCall> call; // null: the signature cannot be called here
};

// The paths a library name is tried as, in order; names without a folder go to the system's
// library search last.
std::vector<std::string> DllCandidates(std::string_view dll);

// The id of the new entry, or -1 (the reason goes to the trace log). argtype holds argnumb
// entries (1 text, else real); argnumb -1 defines a function no call matches.
int32_t DefineDllFunction(std::string_view dll, std::string_view name, int32_t calltype, int32_t resulttype,
                          const int32_t* argtype, int32_t argnumb);
// Result starts as the real 0 and stays so when the call is refused: an unknown id, a count
// other than the definition's, a released library (the reason is kept in LastDllError and
// traced). Text arguments stay valid until the next call.
void CallDllFunction(int32_t id, int32_t argc, const RValue* args, RValue& result);
void FreeDll(std::string_view dll);
// Releases every library and empties the table (process exit; tests).
void FreeAllDlls();
int32_t DllFunctionCount();
const RDllFunction* DllFunctionAt(int32_t id);
const std::string& LastDllError();

} // namespace kestrin
