#include "runner/dialogs.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <iostream>

#include "runner/message_window.h"
#include "script/function_string.h"
#include "script/value.h"

namespace kestrin {

namespace {

DialogHost* g_window_host = nullptr;
std::deque<std::string> g_replay;
std::function<void(const std::string&)> g_recorder;

std::string Trimmed(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
    return std::string(s.substr(b, e - b));
}

std::optional<int64_t> WholeNumber(std::string_view s) {
    const std::string t = Trimmed(s);
    int64_t v = 0;
    auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
    if (t.empty() || ec != std::errc() || end != t.data() + t.size()) return std::nullopt;
    return v;
}

// Line breaks of a message as the terminal shows them ("\r" included).
std::string ForTerminal(std::string_view text) {
    std::string out;
    for (char c : text) out.push_back(c == '\r' ? '\n' : c);
    return out;
}

char ToLowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// "*" and "?" over bytes, case ignored; iterative with one backtrack point.
bool WildcardMatch(std::string_view pattern, std::string_view name) {
    size_t p = 0, n = 0, star = std::string_view::npos, mark = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || ToLowerAscii(pattern[p]) == ToLowerAscii(name[n]))) {
            ++p, ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            mark = n;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            n = ++mark;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

} // namespace

std::string DialogRequest::DefaultAnswer() const {
    switch (kind) {
    case DialogKind::Message:
        for (int i = 0; i < 3; ++i)
            if (!buttons[static_cast<size_t>(i)].empty()) return std::to_string(i + 1);
        return "0";
    case DialogKind::String:
    case DialogKind::Integer:
    case DialogKind::Colour:
    case DialogKind::Folder:
        return value;
    case DialogKind::Menu:
        return "-1";
    case DialogKind::OpenFile:
    case DialogKind::SaveFile:
    case DialogKind::Highscore:
        return "";
    }
    return "";
}

std::string NormalizeAnswer(const DialogRequest& request, std::string_view line) {
    switch (request.kind) {
    case DialogKind::Message: {
        const auto n = WholeNumber(line);
        if (!n || *n < 0 || *n > 3) return request.DefaultAnswer();
        if (*n > 0 && request.buttons[static_cast<size_t>(*n - 1)].empty()) return request.DefaultAnswer();
        return std::to_string(*n);
    }
    case DialogKind::Menu: {
        std::string items;
        for (size_t i = 0; i < request.items.size(); ++i) items += (i ? "|" : "") + request.items[i];
        const std::vector<MenuItem> menu = ParseMenu(items);
        const int32_t byText = MenuIndexOf(menu, line);
        if (byText >= 0) return std::to_string(byText);
        int32_t count = 0;
        for (const MenuItem& m : menu) count += m.separator ? 0 : 1;
        const auto n = WholeNumber(line);
        return n && *n >= 0 && *n < count ? std::to_string(*n) : "-1";
    }
    case DialogKind::Colour: {
        const auto n = WholeNumber(line);
        if (!n || *n < -1 || *n > 0xFFFFFF) return request.DefaultAnswer();
        return std::to_string(*n);
    }
    default:
        return std::string(line);
    }
}

std::vector<std::string> SplitAnswerLines(std::string_view text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t nl = text.find('\n', start);
        if (nl == std::string_view::npos) nl = text.size();
        std::string_view line = text.substr(start, nl - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.emplace_back(line);
        start = nl + 1;
    }
    return lines;
}

void TextDialogHost::SetAnswers(std::vector<std::string> lines) {
    lines_.assign(lines.begin(), lines.end());
}

std::string TextDialogHost::Ask(const DialogRequest& request) {
    std::ostream& out = out_ ? *out_ : std::cerr;
    switch (request.kind) {
    case DialogKind::Message: {
        out << ForTerminal(request.text) << "\n";
        if (request.input) out << "[" << request.value << "]\n";
        std::string line;
        for (int i = 0; i < 3; ++i) {
            const std::string& b = request.buttons[static_cast<size_t>(i)];
            if (!b.empty())
                out << "  " << (i + 1) << ": " << MessageWindow(request.buttons, false).Label(i) << "\n";
        }
        break;
    }
    case DialogKind::String:
    case DialogKind::Integer:
        out << ForTerminal(request.text) << " [" << request.value << "]\n";
        break;
    case DialogKind::Menu: {
        int32_t index = 0;
        for (const std::string& item : request.items) {
            if (item == "-")
                out << "  ----\n";
            else
                out << "  " << index++ << ": " << item << "\n";
        }
        break;
    }
    case DialogKind::Colour:
        out << "Colour [" << request.value << "]\n";
        break;
    case DialogKind::OpenFile:
    case DialogKind::SaveFile:
        out << (request.kind == DialogKind::OpenFile ? "Open file" : "Save file") << " (" << request.filter
            << ") [" << request.value << "]\n";
        break;
    case DialogKind::Folder:
        out << (request.text.empty() ? std::string("Folder") : ForTerminal(request.text)) << " ["
            << request.value << "]\n";
        break;
    case DialogKind::Highscore:
        out << ForTerminal(request.text) << "\n";
        for (size_t i = 0; i < request.table.size(); ++i)
            out << (static_cast<int32_t>(i) + 1 == request.new_rank ? "* " : "  ") << (i + 1) << ". "
                << request.table[i].name << " " << request.table[i].score << "\n";
        break;
    }
    out.flush();
    if (lines_.empty()) return request.DefaultAnswer();
    std::string line = std::move(lines_.front());
    lines_.pop_front();
    return NormalizeAnswer(request, line);
}

void SetWindowDialogHost(DialogHost* host) {
    g_window_host = host;
}

TextDialogHost& HeadlessDialogHost() {
    static TextDialogHost host;
    return host;
}

void SetDialogReplay(std::deque<std::string> answers) {
    g_replay = std::move(answers);
}

void SetDialogRecorder(std::function<void(const std::string&)> recorder) {
    g_recorder = std::move(recorder);
}

std::string AskDialog(const DialogRequest& request) {
    std::string answer;
    if (!g_replay.empty()) {
        answer = NormalizeAnswer(request, g_replay.front());
        g_replay.pop_front();
    } else if (g_window_host) {
        answer = g_window_host->Ask(request);
    } else {
        answer = HeadlessDialogHost().Ask(request);
    }
    if (g_recorder) g_recorder(answer);
    return answer;
}

void ResetDialogHosts() {
    g_replay.clear();
    g_recorder = nullptr;
    HeadlessDialogHost().SetAnswers({});
    HeadlessDialogHost().SetOutput(nullptr);
}

std::string MessageLineBreaks(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == '#') {
            out.push_back('#');
            ++i;
        } else if (text[i] == '#') {
            out.push_back('\n');
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

std::string MessageText(const RValue& value) {
    if (value.IsString()) return MessageLineBreaks(value.str());
    const double d = value.val();
    if (std::isfinite(d) && d == std::floor(d)) return MessageLineBreaks(FormatFixed(d == 0 ? 0.0 : d, 0));
    return MessageLineBreaks(FormatFixed(d, 2));
}

std::vector<MenuItem> ParseMenu(std::string_view items) {
    std::vector<MenuItem> out;
    size_t start = 0;
    for (;;) {
        const size_t bar = items.find('|', start);
        const std::string_view item = items.substr(start, bar == std::string_view::npos ? bar : bar - start);
        out.push_back({std::string(item), item == "-"});
        if (bar == std::string_view::npos) break;
        start = bar + 1;
    }
    return out;
}

int32_t MenuIndexOf(const std::vector<MenuItem>& items, std::string_view text) {
    int32_t index = 0;
    for (const MenuItem& m : items) {
        if (m.separator) continue;
        if (m.text == text) return index;
        ++index;
    }
    return -1;
}

std::optional<int32_t> ParseIntegerAnswer(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i >= text.size()) return std::nullopt;
    int64_t v = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        v = v * 10 + (text[i] - '0');
        if (v > int64_t(INT32_MAX) + 1) return std::nullopt;
    }
    if (negative) v = -v;
    if (v > INT32_MAX || v < INT32_MIN) return std::nullopt;
    return static_cast<int32_t>(v);
}

std::vector<FileFilter> ParseFileFilter(std::string_view filter) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t bar = filter.find('|', start);
        parts.emplace_back(filter.substr(start, bar == std::string_view::npos ? bar : bar - start));
        if (bar == std::string_view::npos) break;
        start = bar + 1;
    }
    auto patterns = [](const std::string& list) {
        std::vector<std::string> out;
        size_t s = 0;
        for (;;) {
            const size_t semi = list.find(';', s);
            std::string p =
                Trimmed(std::string_view(list).substr(s, semi == std::string::npos ? semi : semi - s));
            if (!p.empty()) out.push_back(std::move(p));
            if (semi == std::string::npos) break;
            s = semi + 1;
        }
        return out;
    };
    std::vector<FileFilter> out;
    if (parts.size() == 1) {
        if (!Trimmed(parts[0]).empty()) out.push_back({parts[0], patterns(parts[0])});
        return out;
    }
    // Pairs of description and patterns; a last description without patterns is dropped.
    for (size_t i = 0; i + 1 < parts.size(); i += 2) {
        std::vector<std::string> p = patterns(parts[i + 1]);
        if (!p.empty()) out.push_back({parts[i], std::move(p)});
    }
    return out;
}

bool FileFilterMatches(const FileFilter& filter, std::string_view name) {
    for (const std::string& p : filter.patterns) {
        if (p == "*.*" || p == "*") return true;
        if (WildcardMatch(p, name)) return true;
    }
    return false;
}

} // namespace kestrin
