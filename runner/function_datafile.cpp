#include "runner/function_datafile.h"

#include <string>

#include "runner/messages.h"
#include "script/run_error.h"
#include "script/value.h"

namespace kestrin {

namespace {

CDataFileList* g_files = nullptr;
DataFileContext g_context;

CDataFile* Find(const RValue& name) {
    if (!g_files) return nullptr;
    return g_files->Get(g_files->Find(std::string(name.str())));
}

void ReportToScript(const std::string& text) { ReportRunError(text, false); }

void export_include_file(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue&) {
    CDataFile* file = Find(args[0]);
    if (!file) {
        ReportRunError(msg::kExportMissing, false);
        return;
    }
    DataFileContext context = g_context;
    context.report = ReportToScript;
    (void)file->Prepare(context);
}

void export_include_file_location(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue&) {
    CDataFile* file = Find(args[0]);
    if (!file) {
        ReportRunError(msg::kExportMissing, false);
        return;
    }
    if (g_context.secure_mode) {
        ReportRunError(msg::kSecureExportLocation, false);
        return;
    }
    (void)file->ExportIt(std::string(args[1].str()));
}

void discard_include_file(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue&) {
    CDataFile* file = Find(args[0]);
    if (!file) {
        ReportRunError(msg::kDiscardMissing, false);
        return;
    }
    file->Discard();
}

constexpr RFunctionSpec kFunctions[] = {
    {"export_include_file", export_include_file, 1},
    {"export_include_file_location", export_include_file_location, 2},
    {"discard_include_file", discard_include_file, 1},
};

} // namespace

void SetIncludedFiles(CDataFileList* files, const DataFileContext& context) {
    g_files = files;
    g_context = context;
}

std::span<const RFunctionSpec> IncludedFileFunctions() { return kFunctions; }

} // namespace kestrin
