// The script language's readers of outside data: the lexer (code from files and strings)
// and the saved forms of variable lists and globals (saved games). The first byte picks
// the reader; a saved form that loads must save and load again to the same bytes.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "base/stream.h"
#include "script/lexer.h"
#include "script/variables.h"

using namespace kestrin;

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

void Lex(std::string_view text) {
    RTokenList1 list;
    int32_t errorPosition = 0;
    if (Tokenize(text, list, errorPosition) != ScriptMessage::None) {
        Check(list.n() == 0 && errorPosition >= 1);
        return;
    }
    Check(list.n() >= 1 && list.items.back().symbol == kSymEnd);
    int32_t last = 0;
    for (const RToken1& token : list.items) {
        Check(token.position > last);
        last = token.position;
        if (token.symbol == kSymNumber) (void)NumberLiteralValue(token.str);
    }
}

template <typename Record> void RoundTrip(const uint8_t* data, size_t size) {
    CStream in(data, size);
    Record record;
    try {
        record.LoadFromStream(in);
    } catch (const StreamError&) {
        return;
    }
    CStream first;
    record.SaveToStream(first);
    first.Seek(0);
    Record again;
    again.LoadFromStream(first);
    CStream second;
    again.SaveToStream(second);
    Check(first.Bytes() == second.Bytes());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const uint8_t mode = data[0] % 3;
    ++data;
    --size;
    switch (mode) {
    case 0:
        Lex(std::string_view(reinterpret_cast<const char*>(data), size));
        break;
    case 1:
        RoundTrip<CVariableList>(data, size);
        break;
    default:
        RoundTrip<CGlobalVariables>(data, size);
        break;
    }
    return 0;
}
