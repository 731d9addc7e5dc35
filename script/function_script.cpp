#include "script/function_script.h"

#include <cstdio>
#include <string>

#include "base/file_io.h"
#include "base/numeric.h"
#include "script/code_messages.h"
#include "script/compiler.h"
#include "script/errors.h"
#include "script/interpreter.h"
#include "script/run_error.h"
#include "script/scripts.h"

namespace kestrin {

namespace {

void WriteLineToStdout(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fputc('\n', stdout);
}

DebugMessageSink g_debugSink = &WriteLineToStdout;
Clipboard* g_clipboard = nullptr;

} // namespace

DebugMessageSink SetDebugMessageSink(DebugMessageSink sink) {
    DebugMessageSink previous = g_debugSink;
    g_debugSink = sink ? sink : &WriteLineToStdout;
    return previous;
}

void SetClipboard(Clipboard* clipboard) {
    g_clipboard = clipboard;
}

namespace {

// Reports the recorded compile error under the heading of execute_string or execute_file.
void ReportExecuteCompileError(CodeMessage heading) {
    std::string message(CodeText(heading));
    message += '\r';
    message += LastCodeError();
    ClearCodeError();
    ReportError(message, false);
}

// Runs `text` as a program with the arguments after the first in the argument slots; the
// count and the script name stay those of the code around.
void ExecuteText(CScriptInstance* self, CScriptInstance* other, int32_t argc, const RValue* args,
                 std::string_view text, CodeMessage compileHeading, RValue& result) {
    CallFrame frame;
    RValue* slots = frame.Fill(argc > 1 ? argc - 1 : 0);
    for (int32_t i = 1; i < argc && i < kMaxArguments; ++i) slots[i - 1] = args[i];
    ArgumentScope scope(frame.frame(), 0, nullptr);
    if (text.size() > kMaxCodeBytes) {
        // Refused before the text is copied into the code.
        ClearCodeError();
        ReportCodeTooLong(text, false);
        ReportExecuteCompileError(compileHeading);
        return;
    }
    CCode code(text, false);
    if (code.Compile()) {
        (void)RunCodeReported(self, other, code, result);
        return;
    }
    ReportExecuteCompileError(compileHeading);
}

void execute_string(CScriptInstance* self, CScriptInstance* other, int32_t argc, const RValue* args,
                    RValue& result) {
    if (argc < 1) return;
    // The text is held by its own value: the code may overwrite the argument slots.
    const RValue text = args[0];
    ExecuteText(self, other, argc, args, text.str(), CodeMessage::StringCompilationError, result);
}

// Every line of the file followed by a carriage return. Only a regular file is read (a FIFO
// would block the game, a device never end), and no more of it than the compiler takes.
FileReadStatus ReadCodeFile(std::string_view name, std::string& text) {
    std::vector<uint8_t> bytes;
    const FileReadStatus status = ReadRegularFile(std::string(name), bytes, kMaxCodeBytes);
    if (status != FileReadStatus::Ok) return status;
    text.clear();
    text.reserve(bytes.size() + 1);
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = start;
        while (end < bytes.size() && bytes[end] != '\n') ++end;
        size_t stop = end;
        if (stop > start && bytes[stop - 1] == '\r') --stop;
        text.append(reinterpret_cast<const char*>(bytes.data()) + start, stop - start);
        text += '\r';
        start = end + 1;
    }
    return FileReadStatus::Ok;
}

void execute_file(CScriptInstance* self, CScriptInstance* other, int32_t argc, const RValue* args,
                  RValue& result) {
    if (argc < 1) return;
    std::string text;
    switch (ReadCodeFile(args[0].str(), text)) {
    case FileReadStatus::Ok:
        break;
    case FileReadStatus::TooLarge: {
        // Its text stands for the code, which is never read.
        ClearCodeError();
        ReportCodeTooLong(args[0].str(), false);
        ReportExecuteCompileError(CodeMessage::FileCompilationError);
        return;
    }
    default:
        ReportRunError(CodeText(CodeMessage::NonExistingFile), false);
        return;
    }
    ExecuteText(self, other, argc, args, text, CodeMessage::FileCompilationError, result);
}

void script_execute(CScriptInstance* self, CScriptInstance* other, int32_t argc, const RValue* args,
                    RValue& result) {
    if (argc < 1) return;
    const int32_t index = RoundToInt32(args[0].val());
    if (!ScriptAt(index)) {
        ReportRunError(CodeText(CodeMessage::NonExistingScript), false);
        return;
    }
    // At most 15 arguments follow the index.
    if (!CallScript(index, self, other, result, true, args + 1, argc - 1)) {
        ReportRunError(LastCodeError(), false);
        ClearCodeError();
    }
}

int32_t ScriptIndexArgument(const RValue* args) {
    return RoundToInt32(args[0].val());
}

void script_exists(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    result.SetReal(ScriptAt(ScriptIndexArgument(args)) ? 1.0 : 0.0);
}

void script_get_name(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    result.SetString(ScriptName(ScriptIndexArgument(args)));
}

void script_get_text(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    const CScript* script = ScriptAt(ScriptIndexArgument(args));
    result.SetString(script ? std::string_view(script->s_text) : std::string_view());
}

void show_debug_message(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue&) {
    g_debugSink(ValueText(args[0]));
}

void window_handle(CScriptInstance*, CScriptInstance*, int32_t, const RValue*, RValue& result) {
    // FIXME: the handle of the game window once the window exists; there is none headless.
    result.SetReal(0.0);
}

std::string g_applicationTitle;

void set_application_title(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue&) {
    // FIXME: shown by the window once it exists.
    if (args[0].IsString()) g_applicationTitle = std::string(args[0].str());
}

void set_program_priority(CScriptInstance*, CScriptInstance*, int32_t, const RValue*, RValue&) {
    // Process priorities belong to the platform layer; raising them needs privileges this
    // runner does not ask for, so the call is accepted and changes nothing.
}

void clipboard_has_text(CScriptInstance*, CScriptInstance*, int32_t, const RValue*, RValue& result) {
    result.SetReal(g_clipboard && g_clipboard->HasText() ? 1.0 : 0.0);
}

void clipboard_get_text(CScriptInstance*, CScriptInstance*, int32_t, const RValue*, RValue& result) {
    result.SetString(g_clipboard ? g_clipboard->GetText() : std::string());
}

void clipboard_set_text(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue&) {
    if (g_clipboard) g_clipboard->SetText(args[0].str());
}

constexpr RFunctionSpec kScriptFunctions[] = {
    {"execute_string", execute_string, -1},
    {"execute_file", execute_file, -1},
    {"window_handle", window_handle, 0},
    {"show_debug_message", show_debug_message, 1},
    {"set_program_priority", set_program_priority, 1},
    {"set_application_title", set_application_title, 1},
    {"clipboard_has_text", clipboard_has_text, 0},
    {"clipboard_get_text", clipboard_get_text, 0},
    {"clipboard_set_text", clipboard_set_text, 1},
};

constexpr RFunctionSpec kScriptResourceFunctions[] = {
    {"script_execute", script_execute, -1},  {"script_exists", script_exists, 1},
    {"script_get_name", script_get_name, 1}, {"script_name", script_get_name, 1},
    {"script_get_text", script_get_text, 1},
};

} // namespace

std::span<const RFunctionSpec> ScriptFunctions() {
    return kScriptFunctions;
}

std::span<const RFunctionSpec> ScriptResourceFunctions() {
    return kScriptResourceFunctions;
}

} // namespace kestrin
