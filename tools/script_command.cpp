#include "tools/script_command.h"

#include <cstdio>

#include "base/fault.h"
#include "base/file_io.h"
#include "base/stream.h"
#include "runner/settings.h"
#include "script/code.h"
#include "script/compiler.h"
#include "script/errors.h"
#include "script/interpreter.h"
#include "script/scripts.h"
#include "script/simple_world.h"
#include "script/variable_list.h"
#include "script/variables.h"

namespace kestrin {

namespace {

void PrintError(std::string_view text) {
    std::string plain;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            plain += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            plain += text[i];
        }
    }
    std::fprintf(stderr, "%s\n", plain.c_str());
}

} // namespace

int RunScriptFile(const std::string& path) {
    std::vector<uint8_t> bytes;
    switch (ReadRegularFile(path, bytes, kMaxCodeBytes)) {
    case FileReadStatus::Ok:
        break;
    case FileReadStatus::NotRegular:
        std::fprintf(stderr, "kestrin script: %s: not a regular file\n", path.c_str());
        return 1;
    case FileReadStatus::TooLarge:
        std::fprintf(stderr, "kestrin script: %s: larger than the %zu MiB code may have\n", path.c_str(),
                     kMaxCodeBytes >> 20);
        return 1;
    default:
        std::fprintf(stderr, "kestrin script: %s: cannot read the file\n", path.c_str());
        return 1;
    }
    const std::string text =
        SanitizeUtf8(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    bytes = {};

    // An empty game: default settings, no resources, one temporary instance in the room.
    const CSettings settings;
    SetUnknownVariablesReadAsZero(settings.TreatUninitialisedAsZero());
    SetCheckScriptArguments(settings.CheckArguments());
    GlobalsInit();
    ResetErrorState();
    SimpleWorld world;
    CScriptInstance* self = world.Add(100001, 0);
    SetInstanceWorld(&world);

    CCode code(text, false);
    bool ok = false;
    RValue result;
    try {
        if (!code.Compile()) {
            PrintError(LastCodeError());
        } else if (!RunCode(self, self, code, result)) {
            PrintError(LastCodeError());
        } else {
            ok = true;
        }
    } catch (const std::exception& fault) {
        // Running out of memory included: reported as "Out of memory", never an abort.
        HandleRunnerFault(fault);
    }
    std::fflush(stdout);
    SetInstanceWorld(nullptr);
    if (!ok) return 1;
    const std::string value = ValueText(result);
    std::printf("%s\n", value.c_str());
    return ErrorOccurred() ? 1 : 0;
}

} // namespace kestrin
