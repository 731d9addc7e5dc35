#include "base/code_page.h"

#include <iconv.h>

#include <array>
#include <cerrno>
#include <map>

#include "base/utf.h"

namespace kestrin {

namespace {

constexpr int32_t kAnsiCodePage = 1252;

struct Converter {
    iconv_t cd = reinterpret_cast<iconv_t>(-1);
    Converter() = default;
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    ~Converter() {
        if (Ok()) iconv_close(cd);
    }
    bool Ok() const { return cd != reinterpret_cast<iconv_t>(-1); }
};

// Converters live until the end of the run; the set of code pages is small and fixed.
iconv_t Open(int32_t codePage, bool toCodePage) {
    static std::map<std::pair<int32_t, bool>, Converter> cache;
    Converter& c = cache[{codePage, toCodePage}];
    if (!c.Ok()) {
        const std::string name = codePage == 1361 ? "JOHAB" : "CP" + std::to_string(codePage);
        c.cd = toCodePage ? iconv_open(name.c_str(), "UTF-8") : iconv_open("UTF-32LE", name.c_str());
    }
    if (!c.Ok()) return c.cd;
    iconv(c.cd, nullptr, nullptr, nullptr, nullptr);
    return c.cd;
}

// Latin-1 stands in when a converter cannot be opened, so text still draws.
std::string Latin1Fallback(std::string_view utf8) {
    std::string out;
    for (size_t pos = 0; pos < utf8.size();) {
        char32_t cp = 0;
        pos += DecodeUtf8(utf8, pos, cp);
        out.push_back(cp < 256 ? static_cast<char>(cp) : '?');
    }
    return out;
}

} // namespace

int32_t CharsetCodePage(int32_t charset) {
    static constexpr std::array<std::pair<int32_t, int32_t>, 15> kTable = {{
        {0, 1252},
        {128, 932},
        {129, 949},
        {130, 1361},
        {134, 936},
        {136, 950},
        {161, 1253},
        {162, 1254},
        {163, 1258},
        {177, 1255},
        {178, 1256},
        {186, 1257},
        {204, 1251},
        {222, 874},
        {238, 1250},
    }};
    for (const auto& [set, page] : kTable)
        if (set == charset) return page;
    return kAnsiCodePage;
}

std::string ToCodePage(std::string_view utf8, int32_t codePage) {
    iconv_t cd = Open(codePage, true);
    if (cd == reinterpret_cast<iconv_t>(-1)) return Latin1Fallback(utf8);
    std::string out;
    out.reserve(utf8.size());
    char buffer[256];
    size_t pos = 0;
    while (pos < utf8.size()) {
        char* in = const_cast<char*>(utf8.data() + pos);
        size_t inLeft = utf8.size() - pos;
        char* dst = buffer;
        size_t dstLeft = sizeof buffer;
        const size_t rc = iconv(cd, &in, &inLeft, &dst, &dstLeft);
        out.append(buffer, static_cast<size_t>(dst - buffer));
        pos = utf8.size() - inLeft;
        if (rc != static_cast<size_t>(-1)) continue;
        if (errno == E2BIG) continue;
        // Unmappable or malformed: one default character for the whole sequence.
        char32_t cp = 0;
        pos += DecodeUtf8(utf8, pos, cp);
        out.push_back('?');
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    return out;
}

char32_t CodePageCharacter(unsigned char byte, int32_t codePage) {
    iconv_t cd = Open(codePage, false);
    if (cd == reinterpret_cast<iconv_t>(-1)) return byte;
    char in[1] = {static_cast<char>(byte)};
    char* src = in;
    size_t srcLeft = 1;
    unsigned char out[8] = {};
    char* dst = reinterpret_cast<char*>(out);
    size_t dstLeft = sizeof out;
    if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) == static_cast<size_t>(-1) || dstLeft != 4) return 0;
    return char32_t(out[0]) | char32_t(out[1]) << 8 | char32_t(out[2]) << 16 | char32_t(out[3]) << 24;
}

} // namespace kestrin
