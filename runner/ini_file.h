#pragma once
// INI text held in memory: sections in brackets, key=value lines, comments. Everything a
// change does not touch (comments, blank lines, unknown lines, the order of keys and
// sections, the line ends) is written back as it was read.
//
// Rules: lines are trimmed of blanks and tabs; an empty line, or one starting with ";" or
// "#", is kept but means nothing; "[name]" starts a section (the name trimmed, up to the last
// "]"); "key=value" inside a section sets a key (both trimmed, the key up to the first "=");
// anything else, and every line before the first section, is kept untouched. Section and key
// names compare without regard to ASCII case. A section that appears more than once is one
// section spread over several places: reads find the first occurrence of a key in file order,
// a write replaces that occurrence (or adds the key to the first occurrence of the section),
// and deletes remove every occurrence.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrin {

class IniText {
public:
    IniText() = default;
    explicit IniText(std::string_view text) { Parse(text); }

    void Parse(std::string_view text);
    // The file's text: the lines as read, with the changes, each ended by the file's own
    // line end ("\r\n" for a new file).
    std::string Text() const;

    std::optional<std::string> Read(std::string_view section, std::string_view key) const;
    bool KeyExists(std::string_view section, std::string_view key) const;
    bool SectionExists(std::string_view section) const;
    // Line breaks in the value become blanks: they would end the line and split the value.
    void Write(std::string_view section, std::string_view key, std::string_view value);
    // True when something was removed.
    bool DeleteKey(std::string_view section, std::string_view key);
    bool DeleteSection(std::string_view section);

private:
    enum class Kind : uint8_t { Other, Section, Key };
    struct Line {
        std::string text; // as read (or as written by a change)
        Kind kind = Kind::Other;
        std::string name;  // section name or key
        std::string value; // key value
    };
    std::vector<Line> lines_;
    std::string eol_ = "\r\n";
    bool endsWithEol_ = true;

    // The section a line belongs to: the index of its header line, or -1.
    std::vector<int64_t> SectionOfLines() const;
    int64_t FindKey(std::string_view section, std::string_view key) const;
};

// The number in an INI value: digits with one point or comma, an exponent after "E" or "e",
// minus signs flipping the sign of the part they are in; the first other character ends it.
double ParseIniReal(std::string_view text);
// A real as ini_write_real stores it: up to 15 significant digits, an exponent without "+"
// (which the reader would stop at).
std::string FormatIniReal(double value);

} // namespace kestrin
