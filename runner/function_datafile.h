#pragma once
// The included-file built-ins: export_include_file, export_include_file_location and
// discard_include_file, working on the running game's included files.

#include <span>

#include "runner/datafile.h"
#include "script/builtin_routine.h"

namespace kestrin {

// The list the built-ins work on and where exports go; null while no game runs (the
// built-ins then find no file).
void SetIncludedFiles(CDataFileList* files, const DataFileContext& context);

std::span<const RFunctionSpec> IncludedFileFunctions();

} // namespace kestrin
