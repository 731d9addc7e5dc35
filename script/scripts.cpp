#include "script/scripts.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "base/file_io.h"
#include "base/numeric.h"
#include "base/stream.h"
#include "script/code_messages.h"
#include "script/compiler.h"
#include "script/errors.h"
#include "script/interpreter.h"
#include "script/run_error.h"
#include "script/variable_names.h"
#include "script/variables.h"

namespace kestrin {

detail::ArgumentState detail::g_arguments;

namespace {

constexpr std::string_view kUndefinedName = "<undefined>";

struct ScriptTable {
    std::vector<std::unique_ptr<CScript>> scripts;
    std::vector<std::string> names;
};

ScriptTable g_scripts;

ScriptTable& Table() {
    return g_scripts;
}

detail::ArgumentState& Arguments() {
    return detail::g_arguments;
}

bool g_checkArguments = false;



std::string ScriptFailurePrefix(std::string_view name) {
    std::string text(CodeText(CodeMessage::InScript));
    text += name;
    text += ":\r";
    return text;
}

} // namespace

// ---- CScript ----

void CScript::Clear() {
    s_code.reset();
    s_text.clear();
}

bool CScript::LoadFromStream(CStream& stream) {
    Clear();
    if (stream.ReadInteger() != kScriptVersion) return false;
    s_text = SanitizeUtf8(stream.ReadString());
    return true;
}

void CScript::SaveToStream(CStream& stream) const {
    stream.WriteInteger(kScriptVersion);
    stream.WriteString(s_text);
}

bool CScript::Compile() {
    s_code = std::make_unique<CCode>(s_text, false);
    return s_code->Compile();
}

// ---- The table ----

void ClearScripts() {
    Table() = ScriptTable();
    // Values written to the argument slots outside any call belong to the game that wrote
    // them; a new script table starts a new game.
    detail::ArgumentState& a = detail::g_arguments;
    if (a.top == 0) {
        for (RValue& slot : a.outside.slots) slot.Clear();
        a.outside.used = 0;
    }
}

int32_t AddScript(std::string_view name, std::string_view text) {
    ScriptTable& t = Table();
    auto script = std::make_unique<CScript>();
    script->s_text = std::string(text);
    t.scripts.push_back(std::move(script));
    t.names.emplace_back(name);
    return static_cast<int32_t>(t.scripts.size() - 1);
}

int32_t AddEmptyScriptSlot() {
    ScriptTable& t = Table();
    t.scripts.emplace_back();
    t.names.emplace_back();
    return static_cast<int32_t>(t.scripts.size() - 1);
}

int32_t ScriptCount() {
    return static_cast<int32_t>(Table().scripts.size());
}

CScript* ScriptAt(int32_t index) {
    ScriptTable& t = Table();
    if (index < 0 || static_cast<size_t>(index) >= t.scripts.size()) return nullptr;
    return t.scripts[static_cast<size_t>(index)].get();
}

int32_t FindScript(std::string_view name) {
    const ScriptTable& t = Table();
    for (size_t i = 0; i < t.scripts.size(); ++i)
        if (t.scripts[i] && t.names[i] == name) return static_cast<int32_t>(i);
    return -1;
}

std::string_view ScriptName(int32_t index) {
    if (!ScriptAt(index)) return kUndefinedName;
    return Table().names[static_cast<size_t>(index)];
}

bool CompileScripts() {
    ScriptTable& t = Table();
    for (size_t i = 0; i < t.scripts.size(); ++i) {
        CScript* script = t.scripts[i].get();
        if (!script || script->Compile()) continue;
        std::string text(CodeText(CodeMessage::ScriptCompilationError));
        text += t.names[i];
        text += '\r';
        text += LastCodeError();
        ReportError(text, true);
        return false;
    }
    return true;
}

bool CheckScriptArguments() {
    return g_checkArguments;
}

void SetCheckScriptArguments(bool on) {
    g_checkArguments = on;
}

// ---- Arguments ----

int32_t ArgumentCount() {
    return Arguments().count;
}

std::string_view CurrentScriptName() {
    return Arguments().name;
}

double ArgumentRelative() {
    return Arguments().relative;
}

void SetArgumentRelative(double relative) {
    Arguments().relative = relative;
}

ArgumentScope::ArgumentScope(ArgumentFrame* frame, int32_t count, const std::string* name) {
    detail::ArgumentState& a = Arguments();
    frame_ = a.frame;
    count_ = a.count;
    name_ = a.name;
    a.frame = frame;
    if (name) {
        a.count = count;
        a.name = *name;
    }
}

ArgumentScope::~ArgumentScope() {
    detail::ArgumentState& a = Arguments();
    a.frame = frame_;
    a.count = count_;
    a.name = name_;
}

bool CallScriptFrame(int32_t index, CScriptInstance* self, CScriptInstance* other, RValue& result, bool check,
                     ArgumentFrame* frame, int32_t argc) {
    CScript* script = ScriptAt(index);
    if (!script) return false;
    if (!script->s_code) script->s_code = std::make_unique<CCode>(script->s_text, false);
    const CCode& code = *script->s_code;
    const std::string& name = Table().names[static_cast<size_t>(index)];

    ArgumentScope scope(frame, argc, &name);
    result.Clear();
    bool ok = RunCodeValue(self, other, code, result);
    if (!ok) SetLastCodeError(ScriptFailurePrefix(name) + LastCodeError());
    if (check && g_checkArguments) {
        const bool wrong = code.i_ArgArray ? argc < code.i_Args : argc != code.i_Args;
        if (wrong) {
            std::string text(CodeText(CodeMessage::IllegalArgumentCount));
            text += name;
            text += "\".\r";
            text +=
                CodeText(code.i_ArgArray ? CodeMessage::ScriptRequiresAtLeast : CodeMessage::ScriptRequires);
            text += std::to_string(code.i_Args);
            text += CodeText(CodeMessage::ArgumentsSupplied);
            text += std::to_string(argc);
            text += " have been supplied.";
            SetLastCodeError(std::move(text));
            result.SetString("ERROR");
            ok = false;
        }
    }
    return ok;
}

bool CallScript(int32_t index, CScriptInstance* self, CScriptInstance* other, RValue& result, bool check,
                const RValue* args, int32_t argc) {
    if (!ScriptAt(index)) return false;
    if (argc < 0) argc = 0;
    if (argc > kMaxArguments) argc = kMaxArguments;
    CallFrame frame;
    RValue* slots = frame.Fill(argc);
    for (int32_t i = 0; i < argc; ++i) slots[i] = args[i];
    return CallScriptFrame(index, self, other, result, check, frame.frame(), argc);
}

// ---- Text of values ----

std::string RealText(double value) {
    if (!std::isfinite(value) || !FitsInt64(std::nearbyint(value))) return "ERROR";
    const int64_t rounded = RoundToInt64(value);
    if (static_cast<double>(rounded) == value) return std::to_string(rounded);
    // Ten significant digits first; the two decimals are then rounded in decimal, half away
    // from zero, so 2.675 (stored a little below) still shows as 2.68.
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.9e", std::fabs(value));
    int64_t mantissa = buffer[0] - '0';
    for (int i = 2; i <= 10; ++i) mantissa = mantissa * 10 + (buffer[i] - '0');
    const int exponent = std::atoi(buffer + 12);
    const char* sign = value < 0 ? "-" : "";
    if (exponent >= 10) {
        std::snprintf(buffer, sizeof buffer, "%s%.9E", sign, std::fabs(value));
        return buffer;
    }
    // mantissa * 10^(exponent - 9) in hundredths: mantissa * 10^(exponent - 7).
    int64_t hundredths;
    if (exponent >= 7) {
        hundredths = mantissa;
        for (int i = 7; i < exponent; ++i) hundredths *= 10;
    } else if (7 - exponent > 10) {
        hundredths = 0;
    } else {
        int64_t divisor = 1;
        for (int i = exponent; i < 7; ++i) divisor *= 10;
        hundredths = (mantissa + divisor / 2) / divisor;
    }
    std::snprintf(buffer, sizeof buffer, "%s%lld.%02lld", sign, static_cast<long long>(hundredths / 100),
                  static_cast<long long>(hundredths % 100));
    return buffer;
}

std::string ValueText(const RValue& value) {
    return value.IsString() ? std::string(value.str()) : RealText(value.val());
}


namespace {

// ---- Argument variables ----

template <int N> bool ReadArgumentN(CScriptInstance*, int32_t, RValue& value) {
    value = ArgumentSlots()[N];
    return true;
}

template <int N> bool WriteArgumentN(CScriptInstance*, int32_t, const RValue& value) {
    ArgumentSlotForWrite(N) = value;
    return true;
}

template <int... N> void BindArguments(std::integer_sequence<int, N...>) {
    ((void)BindBuiltinVariable("argument" + std::to_string(N), ReadArgumentN<N>, WriteArgumentN<N>), ...);
}

bool ReadArgumentArray(CScriptInstance*, int32_t element, RValue& value) {
    const detail::ArgumentState& a = Arguments();
    if (g_checkArguments && element >= a.count) {
        std::string text(CodeText(CodeMessage::IllegalArrayIndex));
        text += a.name;
        text += "\".\r";
        text += CodeText(CodeMessage::ArrayIndexAccess);
        text += std::to_string(element);
        text += "], but only ";
        text += std::to_string(a.count);
        text += CodeText(CodeMessage::ArgumentsHaveBeenSupplied);
        ReportRunError(text, false);
        return false;
    }
    value = a.frame->slots[element >= 0 && element < kMaxArguments ? element : 0];
    return true;
}

bool WriteArgumentArray(CScriptInstance*, int32_t element, const RValue& value) {
    ArgumentSlotForWrite(element >= 0 && element < kMaxArguments ? element : 0) = value;
    return true;
}

bool ReadArgumentCount(CScriptInstance*, int32_t, RValue& value) {
    value.SetReal(Arguments().count);
    return true;
}

bool ReadArgumentRelative(CScriptInstance*, int32_t, RValue& value) {
    value.SetReal(Arguments().relative);
    return true;
}

} // namespace

void BindArgumentVariables() {
    BindArguments(std::make_integer_sequence<int, kMaxArguments>());
    (void)BindBuiltinVariable("argument", ReadArgumentArray, WriteArgumentArray);
    (void)BindBuiltinVariable("argument_count", ReadArgumentCount, nullptr);
    (void)BindBuiltinVariable("argument_relative", ReadArgumentRelative, nullptr);
}

} // namespace kestrin
