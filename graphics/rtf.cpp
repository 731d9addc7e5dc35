#include "graphics/rtf.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>

#include "base/code_page.h"
#include "base/utf.h"

namespace kestrin {

namespace {

enum class Destination : uint8_t { Text, FontTable, ColourTable, Skip };

struct FontEntry {
    int32_t number = 0;
    int32_t name = 0; // in the document's font names
    int32_t code_page = 1252;
};

struct Group {
    RtfStyle style;
    RtfAlign align = RtfAlign::Left;
    Destination destination = Destination::Text;
    int32_t uc = 1; // fallback characters after each \u
    int32_t font_code_page = 0;
};

// Destinations whose text is never shown.
constexpr std::string_view kSkipped[] = {
    "info",       "stylesheet",        "pict",    "object",    "header",
    "footer",     "headerl",           "headerr", "headerf",   "footerl",
    "footerr",    "footerf",           "fldinst", "themedata", "colorschememapping",
    "listtable",  "listoverridetable", "rsidtbl", "generator", "latentstyles",
    "datastore",  "xmlnstbl",          "filetbl", "revtbl",    "footnote",
    "annotation", "bkmkstart",         "bkmkend",
};

bool IsSkipped(std::string_view word) {
    return std::find(std::begin(kSkipped), std::end(kSkipped), word) != std::end(kSkipped);
}

class Reader {
public:
    explicit Reader(std::string_view data) : data_(data) {}

    RtfDocument Read() {
        groups_.push_back(Group{});
        while (pos_ < data_.size()) {
            const char c = data_[pos_++];
            if (c == '{') {
                OpenGroup();
            } else if (c == '}') {
                CloseGroup();
            } else if (c == '\\') {
                ControlWord();
            } else if (c == '\r' || c == '\n' || c == '\0') {
                // Line ends in the file are layout of the file, not of the text.
            } else {
                TextByte(static_cast<unsigned char>(c));
            }
        }
        EndParagraph(false);
        return std::move(document_);
    }

private:
    Group& Top() { return groups_.back(); }

    void OpenGroup() {
        // Beyond the bound a group shares its parent's state, which is all it can change.
        if (groups_.size() >= kRtfMaxDepth) {
            ++overflow_;
            return;
        }
        groups_.push_back(groups_.back());
        skip_fallback_ = 0;
    }

    void CloseGroup() {
        skip_fallback_ = 0;
        style_known_ = false;
        if (overflow_ > 0) {
            --overflow_;
            return;
        }
        if (groups_.size() > 1) {
            const Destination ended = groups_.back().destination;
            groups_.pop_back();
            if (ended == Destination::FontTable && groups_.back().destination != Destination::FontTable) {
                FinishFontName();
                SelectFont(Top(), default_font_);
            }
        }
    }

    void ControlWord() {
        if (pos_ >= data_.size()) return;
        const char c = data_[pos_];
        if (!std::isalpha(static_cast<unsigned char>(c))) {
            ++pos_;
            ControlSymbol(c);
            return;
        }
        std::string word;
        while (pos_ < data_.size() && std::isalpha(static_cast<unsigned char>(data_[pos_]))) {
            if (word.size() < 32) word.push_back(data_[pos_]);
            ++pos_;
        }
        bool hasParam = false;
        bool negative = false;
        int64_t param = 0;
        if (pos_ < data_.size() && data_[pos_] == '-' && pos_ + 1 < data_.size() &&
            std::isdigit(static_cast<unsigned char>(data_[pos_ + 1]))) {
            negative = true;
            ++pos_;
        }
        while (pos_ < data_.size() && std::isdigit(static_cast<unsigned char>(data_[pos_]))) {
            hasParam = true;
            if (param < 100000000) param = param * 10 + (data_[pos_] - '0');
            ++pos_;
        }
        if (negative) param = -param;
        if (pos_ < data_.size() && data_[pos_] == ' ') ++pos_;
        Word(word, hasParam, static_cast<int32_t>(param));
    }

    void ControlSymbol(char c) {
        switch (c) {
        case '\\':
        case '{':
        case '}':
            TextByte(static_cast<unsigned char>(c));
            break;
        case '\'': {
            int value = 0;
            int digits = 0;
            while (digits < 2 && pos_ < data_.size() &&
                   std::isxdigit(static_cast<unsigned char>(data_[pos_]))) {
                const char h = data_[pos_++];
                value =
                    value * 16 +
                    (std::isdigit(static_cast<unsigned char>(h)) ? h - '0' : (std::tolower(h) - 'a' + 10));
                ++digits;
            }
            if (digits > 0) TextByte(static_cast<unsigned char>(value));
            break;
        }
        case '~':
            Text(U'\u00A0');
            break;
        case '_':
            Text(U'-');
            break;
        case '*':
            // An ignorable destination that this reader does not know.
            Top().destination = Destination::Skip;
            break;
        case '\r':
        case '\n':
            EndParagraph(true);
            break;
        case '\t':
            Text(U'\t');
            break;
        default:
            break; // "\-" (optional hyphen), "\|", "\:" and the rest show nothing
        }
    }

    void Word(const std::string& w, bool hasParam, int32_t p) {
        style_known_ = false;
        Group& g = Top();
        const bool on = !hasParam || p != 0;
        if (g.destination == Destination::ColourTable) {
            const int component = w == "red" ? 0 : w == "green" ? 1 : w == "blue" ? 2 : -1;
            if (component >= 0) {
                colour_[component] = std::clamp(p, 0, 255);
                colour_set_ = true;
            }
            return;
        }
        if (g.destination == Destination::FontTable) {
            if (w == "f") {
                FinishFontName();
                font_number_ = p;
            } else if (w == "fcharset") {
                font_charset_ = p;
            } else if (IsSkipped(w) || w == "panose" || w == "falt") {
                g.destination = Destination::Skip;
            }
            return;
        }
        if (g.destination == Destination::Skip) return;
        if (w == "fonttbl") {
            g.destination = Destination::FontTable;
            font_name_.clear();
            font_number_ = -1;
        } else if (w == "colortbl") {
            g.destination = Destination::ColourTable;
            colour_set_ = false;
            colour_[0] = colour_[1] = colour_[2] = 0;
        } else if (IsSkipped(w)) {
            g.destination = Destination::Skip;
        } else if (w == "par" || w == "sect" || w == "page") {
            EndParagraph(true);
        } else if (w == "line") {
            Text(U'\n');
        } else if (w == "tab") {
            Text(U'\t');
        } else if (w == "b") {
            g.style.bold = on;
        } else if (w == "i") {
            g.style.italic = on;
        } else if (w == "ul" || w == "uld" || w == "uldb" || w == "ulw" || w == "ulth" || w == "uldash") {
            g.style.underline = on;
        } else if (w == "ulnone") {
            g.style.underline = false;
        } else if (w == "fs") {
            g.style.half_points = hasParam && p > 0 ? std::clamp(p, 2, 3200) : 24;
        } else if (w == "cf") {
            g.style.colour = hasParam && p > 0 && size_t(p) < colours_.size() && colours_[size_t(p)] >= 0
                                 ? colours_[size_t(p)]
                                 : 0;
        } else if (w == "f") {
            SelectFont(g, p);
        } else if (w == "plain") {
            const RtfStyle fresh;
            g.style = fresh;
            SelectFont(g, default_font_);
        } else if (w == "deff") {
            default_font_ = p;
            SelectFont(g, p);
        } else if (w == "pard") {
            g.align = RtfAlign::Left;
        } else if (w == "ql") {
            g.align = RtfAlign::Left;
        } else if (w == "qc") {
            g.align = RtfAlign::Centre;
        } else if (w == "qr") {
            g.align = RtfAlign::Right;
        } else if (w == "qj") {
            g.align = RtfAlign::Justify;
        } else if (w == "ansicpg") {
            if (p > 0) code_page_ = p;
        } else if (w == "uc") {
            g.uc = std::clamp(p, 0, 16);
        } else if (w == "u") {
            int32_t unit = p < 0 ? p + 65536 : p;
            Unicode(static_cast<char32_t>(std::clamp(unit, 0, 0xFFFF)));
            skip_fallback_ = g.uc;
        } else if (w == "emdash") {
            Text(U'\u2014');
        } else if (w == "endash") {
            Text(U'\u2013');
        } else if (w == "bullet") {
            Text(U'\u2022');
        } else if (w == "lquote") {
            Text(U'\u2018');
        } else if (w == "rquote") {
            Text(U'\u2019');
        } else if (w == "ldblquote") {
            Text(U'\u201C');
        } else if (w == "rdblquote") {
            Text(U'\u201D');
        }
    }

    void SelectFont(Group& g, int32_t number) {
        for (const FontEntry& f : fonts_) {
            if (f.number != number) continue;
            g.style.font = f.name;
            g.font_code_page = f.code_page;
            return;
        }
    }

    void FinishFontName() {
        std::string name = font_name_;
        font_name_.clear();
        while (!name.empty() && (name.back() == ';' || name.back() == ' ')) name.pop_back();
        while (!name.empty() && name.front() == ' ') name.erase(name.begin());
        if (font_number_ < 0) return;
        if (fonts_.size() < kRtfMaxTableEntries && !name.empty()) {
            const int32_t cp = font_charset_ > 0 ? CharsetCodePage(font_charset_) : 0;
            document_.fonts.push_back(std::move(name));
            fonts_.push_back({font_number_, static_cast<int32_t>(document_.fonts.size() - 1), cp});
        }
        font_number_ = -1;
        font_charset_ = 0;
    }

    // One byte of text, or of a table.
    void TextByte(unsigned char byte) {
        Group& g = Top();
        if (skip_fallback_ > 0) {
            --skip_fallback_;
            return;
        }
        switch (g.destination) {
        case Destination::Skip:
            return;
        case Destination::ColourTable:
            if (byte == ';') {
                if (colours_.size() < kRtfMaxTableEntries)
                    colours_.push_back(colour_set_ ? colour_[0] | (colour_[1] << 8) | (colour_[2] << 16)
                                                   : -1);
                colour_set_ = false;
                colour_[0] = colour_[1] = colour_[2] = 0;
            }
            return;
        case Destination::FontTable:
            if (byte == ';') {
                FinishFontName();
            } else if (font_name_.size() < 256 && byte >= 0x20) {
                font_name_.push_back(static_cast<char>(byte));
            }
            return;
        case Destination::Text:
            break;
        }
        if (byte < 0x80) {
            if (byte == '\t')
                Text(U'\t');
            else if (byte >= 0x20)
                Text(static_cast<char32_t>(byte));
            return;
        }
        const int32_t cp = g.font_code_page > 0 ? g.font_code_page : code_page_;
        const char32_t c = CodePageCharacter(byte, cp);
        if (c != 0) Text(c);
    }

    void Unicode(char32_t unit) {
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            high_surrogate_ = unit;
            return;
        }
        if (unit >= 0xDC00 && unit <= 0xDFFF) {
            if (high_surrogate_ != 0) Text(0x10000 + ((high_surrogate_ - 0xD800) << 10) + (unit - 0xDC00));
            high_surrogate_ = 0;
            return;
        }
        high_surrogate_ = 0;
        if (unit != 0) Text(unit);
    }

    void Text(char32_t c) {
        const Group& g = Top();
        if (g.destination != Destination::Text) return;
        std::vector<RtfRun>& runs = paragraph_.runs;
        // Styles change only through control words and groups, so text between them joins
        // the last run without comparing styles again.
        if (!style_known_ || runs.empty()) {
            if (runs.empty() || !(runs.back().style == g.style)) runs.push_back({std::string(), g.style});
            style_known_ = true;
        }
        if (c < 0x80)
            runs.back().text.push_back(static_cast<char>(c));
        else
            AppendUtf8(runs.back().text, c);
    }

    void EndParagraph(bool explicitMark) {
        if (Top().destination != Destination::Text) return;
        if (!explicitMark && paragraph_.runs.empty()) return;
        paragraph_.align = Top().align;
        paragraph_.mark = Top().style;
        document_.paragraphs.push_back(std::move(paragraph_));
        paragraph_ = RtfParagraph{};
        style_known_ = false;
    }

    std::string_view data_;
    bool style_known_ = false; // the last run has the current group's style
    size_t pos_ = 0;
    std::vector<Group> groups_;
    size_t overflow_ = 0;
    int32_t skip_fallback_ = 0;
    char32_t high_surrogate_ = 0;
    int32_t code_page_ = 1252;
    std::vector<int32_t> colours_;
    int32_t colour_[3] = {0, 0, 0};
    bool colour_set_ = false;
    std::vector<FontEntry> fonts_;
    std::string font_name_;
    int32_t font_number_ = -1;
    int32_t font_charset_ = 0;
    int32_t default_font_ = 0;
    RtfParagraph paragraph_;
    RtfDocument document_;
};

bool IsValidUtf8(std::string_view text) {
    for (size_t i = 0; i < text.size();) {
        char32_t c;
        const size_t n = DecodeUtf8(text, i, c);
        if (c == kReplacementCharacter && !(n == 3 && text.substr(i, 3) == "\xEF\xBF\xBD")) return false;
        i += std::max<size_t>(n, 1);
    }
    return true;
}

// A file that is not RTF: one paragraph per line, in UTF-8 when it is valid UTF-8 and in the
// ANSI code page otherwise.
RtfDocument ReadPlainText(std::string_view data) {
    if (data.substr(0, 3) == "\xEF\xBB\xBF") data.remove_prefix(3);
    const bool utf8 = IsValidUtf8(data);
    RtfDocument doc;
    RtfParagraph paragraph;
    auto finish = [&] {
        doc.paragraphs.push_back(std::move(paragraph));
        paragraph = RtfParagraph{};
    };
    std::string line;
    for (size_t i = 0; i < data.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(data[i]);
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < data.size() && data[i + 1] == '\n') ++i;
            if (!line.empty()) paragraph.runs.push_back({std::move(line), RtfStyle{}});
            line.clear();
            finish();
            continue;
        }
        if (c < 0x20 && c != '\t') continue;
        if (c < 0x80 || utf8) {
            line.push_back(static_cast<char>(c));
        } else if (const char32_t u = CodePageCharacter(c, 1252); u != 0) {
            AppendUtf8(line, u);
        }
    }
    if (!line.empty()) paragraph.runs.push_back({std::move(line), RtfStyle{}});
    if (!paragraph.runs.empty()) finish();
    return doc;
}

} // namespace

std::string RtfDocument::PlainText() const {
    std::string out;
    for (size_t i = 0; i < paragraphs.size(); ++i) {
        if (i > 0) out += '\n';
        for (const RtfRun& run : paragraphs[i].runs) out += run.text;
    }
    return out;
}

RtfDocument ParseRtf(std::string_view data) {
    size_t start = 0;
    while (start < data.size() && std::isspace(static_cast<unsigned char>(data[start]))) ++start;
    if (data.substr(start, 5) != "{\\rtf") return ReadPlainText(data);
    return Reader(data.substr(start)).Read();
}

// ---- Layout ----

namespace {

class LineBuilder {
public:
    LineBuilder(RtfLayout& layout, double width, const RtfMeasure& measure, RtfAlign align)
        : layout_(layout), width_(width), measure_(measure), align_(align) {}

    // A word with the blanks before it; wraps before the word when it does not fit.
    void Word(const RtfStyle& style, std::string_view blanks, std::string_view word) {
        const double blankWidth = blanks.empty() ? 0 : measure_.width(style, blanks);
        const double wordWidth = word.empty() ? 0 : measure_.width(style, word);
        if (!line_.pieces.empty() && x_ + blankWidth + wordWidth > width_ && !word.empty()) {
            Finish(style);
            blanks = {};
        } else if (!blanks.empty()) {
            Add(style, blanks, blankWidth, true);
        }
        if (!word.empty()) Add(style, word, wordWidth, false);
    }

    void Tab(const RtfStyle& style) {
        constexpr double kTabStop = 48;
        const double next = (std::floor(x_ / kTabStop) + 1) * kTabStop;
        if (next > width_ && !line_.pieces.empty()) {
            Finish(style);
            return;
        }
        Tall(style);
        x_ = next;
        trailing_ = false;
        merge_ = false;
    }

    void Finish(const RtfStyle& style) {
        if (line_.pieces.empty() && line_.height == 0) Tall(style);
        const double used = trailing_ ? trailing_start_ : x_;
        double shift = 0;
        if (align_ == RtfAlign::Centre) shift = std::max(0.0, (width_ - used) / 2);
        if (align_ == RtfAlign::Right) shift = std::max(0.0, width_ - used);
        for (RtfPiece& p : line_.pieces) p.x += shift;
        line_.y = layout_.height;
        layout_.height += line_.height;
        layout_.lines.push_back(std::move(line_));
        line_ = RtfLine{};
        x_ = 0;
        trailing_ = false;
        merge_ = false;
    }

private:
    void Tall(const RtfStyle& style) {
        const double h = measure_.height(style);
        if (h > line_.height) {
            line_.height = h;
            line_.ascent = h * 0.8;
        }
    }

    void Add(const RtfStyle& style, std::string_view text, double w, bool blank) {
        Tall(style);
        if (merge_ && !line_.pieces.empty() && line_.pieces.back().style == style) {
            line_.pieces.back().text += text;
        } else {
            line_.pieces.push_back({x_, std::string(text), style});
        }
        merge_ = true;
        if (blank && !trailing_) {
            trailing_ = true;
            trailing_start_ = x_;
        } else if (!blank) {
            trailing_ = false;
        }
        x_ += w;
    }

    RtfLayout& layout_;
    double width_;
    const RtfMeasure& measure_;
    RtfAlign align_;
    RtfLine line_;
    double x_ = 0;
    bool merge_ = false;
    bool trailing_ = false;
    double trailing_start_ = 0;
};

} // namespace

RtfLayout LayoutRtf(const RtfDocument& document, double width, const RtfMeasure& measure) {
    RtfLayout layout;
    for (const RtfParagraph& paragraph : document.paragraphs) {
        LineBuilder line(layout, width, measure, paragraph.align);
        const RtfStyle* last = &paragraph.mark;
        for (const RtfRun& run : paragraph.runs) {
            std::string_view text = run.text;
            size_t i = 0;
            while (i < text.size()) {
                if (text[i] == '\n') {
                    line.Finish(run.style);
                    ++i;
                    continue;
                }
                if (text[i] == '\t') {
                    line.Tab(run.style);
                    ++i;
                    continue;
                }
                size_t blanksEnd = i;
                while (blanksEnd < text.size() && text[blanksEnd] == ' ') ++blanksEnd;
                size_t wordEnd = blanksEnd;
                while (wordEnd < text.size() && text[wordEnd] != ' ' && text[wordEnd] != '\n' &&
                       text[wordEnd] != '\t')
                    ++wordEnd;
                line.Word(run.style, text.substr(i, blanksEnd - i),
                          text.substr(blanksEnd, wordEnd - blanksEnd));
                i = wordEnd;
            }
        }
        line.Finish(*last);
    }
    return layout;
}

} // namespace kestrin
