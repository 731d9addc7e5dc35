#include "runner/ini_file.h"

#include <cmath>
#include <cstdio>

namespace kestrin {

namespace {

std::string_view Trim(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
    return s.substr(b, e - b);
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

std::string OneLine(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c == '\r' || c == '\n') c = ' ';
    return out;
}

} // namespace

void IniText::Parse(std::string_view text) {
    lines_.clear();
    eol_ = "\r\n";
    bool eolSeen = false;
    size_t from = 0;
    endsWithEol_ = true;
    while (from < text.size()) {
        size_t end = from;
        while (end < text.size() && text[end] != '\r' && text[end] != '\n') ++end;
        Line line;
        line.text = std::string(text.substr(from, end - from));
        size_t next = end;
        if (end < text.size()) {
            const bool crlf = text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n';
            next = end + (crlf ? 2 : 1);
            if (!eolSeen) {
                eol_ = std::string(text.substr(end, next - end));
                eolSeen = true;
            }
        } else {
            endsWithEol_ = false;
        }
        const std::string_view t = Trim(line.text);
        if (!t.empty() && t[0] == '[' && t.find(']') != std::string_view::npos) {
            line.kind = Kind::Section;
            line.name = std::string(Trim(t.substr(1, t.rfind(']') - 1)));
        } else if (!t.empty() && t[0] != ';' && t[0] != '#' && t.find('=') != std::string_view::npos) {
            const size_t eq = t.find('=');
            line.kind = Kind::Key;
            line.name = std::string(Trim(t.substr(0, eq)));
            line.value = std::string(Trim(t.substr(eq + 1)));
        }
        lines_.push_back(std::move(line));
        from = next;
    }
    if (lines_.empty()) endsWithEol_ = true;
}

std::string IniText::Text() const {
    std::string out;
    for (size_t i = 0; i < lines_.size(); ++i) {
        out += lines_[i].text;
        if (i + 1 < lines_.size() || endsWithEol_) out += eol_;
    }
    return out;
}

std::vector<int64_t> IniText::SectionOfLines() const {
    std::vector<int64_t> of(lines_.size(), -1);
    int64_t current = -1;
    for (size_t i = 0; i < lines_.size(); ++i) {
        if (lines_[i].kind == Kind::Section) current = static_cast<int64_t>(i);
        of[i] = current;
    }
    return of;
}

int64_t IniText::FindKey(std::string_view section, std::string_view key) const {
    const std::string_view k = Trim(key);
    bool inSection = false;
    for (size_t i = 0; i < lines_.size(); ++i) {
        const Line& line = lines_[i];
        if (line.kind == Kind::Section)
            inSection = SameName(line.name, Trim(section));
        else if (inSection && line.kind == Kind::Key && SameName(line.name, k))
            return static_cast<int64_t>(i);
    }
    return -1;
}

std::optional<std::string> IniText::Read(std::string_view section, std::string_view key) const {
    const int64_t i = FindKey(section, key);
    if (i < 0) return std::nullopt;
    return lines_[static_cast<size_t>(i)].value;
}

bool IniText::KeyExists(std::string_view section, std::string_view key) const {
    return FindKey(section, key) >= 0;
}

bool IniText::SectionExists(std::string_view section) const {
    for (const Line& line : lines_)
        if (line.kind == Kind::Section && SameName(line.name, Trim(section))) return true;
    return false;
}

void IniText::Write(std::string_view section, std::string_view key, std::string_view value) {
    const std::string k = OneLine(Trim(key));
    const std::string v = OneLine(value);
    Line line{k + "=" + v, Kind::Key, k, std::string(Trim(v))};
    const int64_t found = FindKey(section, key);
    if (found >= 0) {
        // The key keeps the spelling the file gave it.
        Line& old = lines_[static_cast<size_t>(found)];
        old.text = old.name + "=" + v;
        old.value = line.value;
        return;
    }
    const std::string s = OneLine(Trim(section));
    // After the last key of the section's first occurrence, so blank lines and comments that
    // separate it from the next section stay where they are.
    int64_t header = -1;
    for (size_t i = 0; i < lines_.size(); ++i)
        if (lines_[i].kind == Kind::Section && SameName(lines_[i].name, s)) {
            header = static_cast<int64_t>(i);
            break;
        }
    if (header >= 0) {
        size_t at = static_cast<size_t>(header) + 1;
        for (size_t i = at; i < lines_.size() && lines_[i].kind != Kind::Section; ++i)
            if (lines_[i].kind == Kind::Key) at = i + 1;
        lines_.insert(lines_.begin() + static_cast<ptrdiff_t>(at), std::move(line));
        return;
    }
    if (!lines_.empty() && !Trim(lines_.back().text).empty()) lines_.push_back(Line{});
    lines_.push_back(Line{"[" + s + "]", Kind::Section, s, {}});
    lines_.push_back(std::move(line));
    endsWithEol_ = true;
}

bool IniText::DeleteKey(std::string_view section, std::string_view key) {
    bool removed = false;
    for (int64_t i; (i = FindKey(section, key)) >= 0; removed = true)
        lines_.erase(lines_.begin() + static_cast<ptrdiff_t>(i));
    return removed;
}

bool IniText::DeleteSection(std::string_view section) {
    const std::vector<int64_t> of = SectionOfLines();
    std::vector<Line> kept;
    kept.reserve(lines_.size());
    bool removed = false;
    for (size_t i = 0; i < lines_.size(); ++i) {
        const bool gone = of[i] >= 0 && SameName(lines_[static_cast<size_t>(of[i])].name, Trim(section));
        if (gone)
            removed = true;
        else
            kept.push_back(std::move(lines_[i]));
    }
    lines_ = std::move(kept);
    return removed;
}

double ParseIniReal(std::string_view text) {
    double mantissa = 0, weight = 0.1;
    int64_t exponent = 0;
    double sign = 1, exponentSign = 1;
    bool fraction = false, inExponent = false;
    for (const char c : text) {
        if (c == '.' || c == ',') {
            if (fraction || inExponent) break;
            fraction = true;
        } else if (c == 'E' || c == 'e') {
            if (inExponent) break;
            inExponent = true;
        } else if (c == '-') {
            if (inExponent)
                exponentSign = -exponentSign;
            else
                sign = -sign;
        } else if (c >= '0' && c <= '9') {
            const int digit = c - '0';
            if (inExponent) {
                // Far beyond any double's range already; more digits change nothing.
                if (exponent < 100000) exponent = exponent * 10 + digit;
            } else if (fraction) {
                mantissa += digit * weight;
                weight /= 10;
            } else {
                mantissa = mantissa * 10 + digit;
            }
        } else {
            break;
        }
    }
    // Zero stays zero and an overflowed mantissa stays infinite whatever the exponent (their
    // product with an infinite or vanishing power would be NaN).
    if (mantissa == 0 || std::isinf(mantissa)) return sign * mantissa;
    return sign * mantissa * std::pow(10.0, exponentSign * static_cast<double>(exponent));
}

std::string FormatIniReal(double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.15G", value);
    std::string out;
    for (const char* p = buffer; *p; ++p) {
        if (*p == '+') continue;
        out += *p;
    }
    // "1E05" reads the same as "1E5"; keep the shorter form.
    const size_t e = out.find('E');
    if (e != std::string::npos) {
        size_t digits = e + 1 + (e + 1 < out.size() && out[e + 1] == '-' ? 1 : 0);
        while (digits + 1 < out.size() && out[digits] == '0') out.erase(digits, 1);
    }
    return out;
}

} // namespace kestrin
