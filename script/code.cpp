#include "script/code.h"

#include "script/code_messages.h"
#include "script/compiler.h"
#include "base/utf.h"

namespace kestrin {

namespace {

struct ErrorRecorder {
    bool flag = false;
    std::string last;
    // The parts of the last report, for tools that place it in a file of their own.
    int32_t position = 0;
    std::string message;
};

ErrorRecorder g_recorder;

ErrorRecorder& Recorder() {
    return g_recorder;
}

} // namespace

void ReportCodeError(const CCode& code, int32_t position, std::string_view message) {
    ErrorRecorder& r = Recorder();
    if (r.flag) return;
    r.flag = true;
    r.last = FormatCodeError(code, position, message);
    r.position = position;
    r.message = std::string(message);
}

bool CodeErrorFlag() {
    return Recorder().flag;
}

void ClearCodeError() {
    Recorder().flag = false;
}

const std::string& LastCodeError() {
    return Recorder().last;
}

void SetLastCodeError(std::string text) {
    ErrorRecorder& r = Recorder();
    r.flag = true;
    r.last = std::move(text);
}

int32_t LastCodeErrorPosition() {
    return Recorder().position;
}

const std::string& LastCodeErrorMessage() {
    return Recorder().message;
}

std::string FormatCodeError(const CCode& code, int32_t position, std::string_view message) {
    // Positions count UTF-16 code units, as the lexer's do.
    const std::u16string text = Utf8ToUtf16(code.i_str);
    const auto length = static_cast<int64_t>(text.size());
    int64_t pos = position;
    if (pos > length) pos = length;
    if (pos < 1) pos = 1;
    const size_t at = length == 0 ? 0 : static_cast<size_t>(pos - 1);

    // A carriage return, or a line feed not after one, starts a new line; a line feed after
    // a carriage return is the first character of its line.
    int64_t line = 1;
    size_t lineStart = 0;
    for (size_t i = 0; i < at && i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c == u'\r' || (c == u'\n' && (i == 0 || text[i - 1] != u'\r'))) {
            ++line;
            lineStart = i + 1;
        }
    }
    const int64_t column = static_cast<int64_t>(at - lineStart) + 1;

    std::string out;
    if (code.i_kind == kCodeProgram) {
        // The line text runs from the start of the line to the next line break. (Only
        // carriage returns ending lines would show a whole file of line-feed text.)
        size_t to = lineStart;
        while (to < text.size() && text[to] != u'\r' && !(text[to] == u'\n' && to > lineStart)) ++to;
        const size_t from = lineStart;
        out = "Error in code at line " + std::to_string(line) + ":\r   ";
        out += Utf16ToUtf8(std::u16string_view(text).substr(from, to - from));
        out += '\r';
        out.append(static_cast<size_t>(column + 1), ' ');
        out += "^\rat position " + std::to_string(column) + ": ";
    } else {
        out = "Error in expression:" + code.i_str + "\r position " + std::to_string(column) + ": ";
    }
    out += message;
    return out;
}

void CCode::Create(std::string_view text, bool isexp) {
    Destroy();
    i_str = std::string(text);
    i_kind = isexp ? kCodeExpression : kCodeProgram;
}

void CCode::Destroy() {
    i_compiled = false;
    i_token = RToken();
    i_value.Clear();
    i_locals.clear();
    i_Args = 0;
    i_ArgArray = false;
}

bool CCode::Compile() {
    if (i_compiled) {
        ClearCodeError();
        ReportCodeError(*this, 0, CodeText(CodeMessage::Recompiling));
        return false;
    }
    return CompilePhases(*this);
}

} // namespace kestrin
