// The texts dialogs read from outside over hostile bytes: stored high-score ranks decode to
// nothing or to an entry that encodes back to a text decoding the same, answer lines of every
// kind normalize without faults, and menus, file filters and integer answers parse.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "runner/dialogs.h"
#include "runner/highscore.h"

using namespace kestrin;

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const int32_t id = size >= 4 ? static_cast<int32_t>(uint32_t(data[0]) | uint32_t(data[1]) << 8 |
                                                        uint32_t(data[2]) << 16 | uint32_t(data[3]) << 24)
                                 : 0;
    if (auto entry = DecodeHighscoreRank(text, id)) {
        const std::string again = EncodeHighscoreRank(entry->name, entry->score, id);
        const auto back = DecodeHighscoreRank(again, id);
        Check(back && back->score == entry->score);
    }
    const auto decoded = DecodeHighscoreRank(EncodeHighscoreRank(text, id, id), id);
    Check(decoded && decoded->score == id);

    const std::vector<MenuItem> menu = ParseMenu(text);
    DialogRequest request;
    for (const MenuItem& item : menu) request.items.push_back(item.text);
    for (DialogKind kind : {DialogKind::Message, DialogKind::String, DialogKind::Menu, DialogKind::Colour,
                            DialogKind::OpenFile, DialogKind::Folder, DialogKind::Highscore}) {
        request.kind = kind;
        const std::string answer = NormalizeAnswer(request, text.substr(size / 2));
        if (kind == DialogKind::Menu) {
            const auto n = ParseIntegerAnswer(answer);
            Check(n && *n >= -1 && *n < static_cast<int32_t>(menu.size()));
        }
    }
    for (const FileFilter& filter : ParseFileFilter(text))
        (void)FileFilterMatches(filter, text.substr(size / 3));
    (void)ParseIntegerAnswer(text);
    (void)SplitAnswerLines(text);
    (void)MessageLineBreaks(text);
    return 0;
}
