#include "world/ds_common.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "base/numeric.h"
#include "script/random.h"
#include "script/run_error.h"
#include "base/utf.h"

namespace kestrin {

namespace {

// ORDER DsMessage
constexpr std::array<std::string_view, static_cast<size_t>(DsMessage::Count)> kMessages = {
    "Data structure with index does not exist.",
    "Data structure text is damaged; the data structure was not changed.",
};

// The runner's generator, so that a run with a fixed seed shuffles alike.
int64_t RunnerDrawBelow(int64_t n) {
    if (n < 1) return 0;
    return RandomBelow(static_cast<uint32_t>(std::min<int64_t>(n, UINT32_MAX)));
}

DsRandomBelow g_draw = &RunnerDrawBelow;

} // namespace

double DsPrecision() {
    return ds_detail::precision;
}

void SetDsPrecision(double precision) {
    ds_detail::precision = std::fabs(precision);
}

int ds_detail::CompareTexts(std::string_view a, std::string_view b) {
    const int d = CompareTextUtf16(a, b);
    return d < 0 ? -1 : (d > 0 ? 1 : 0);
}

std::string_view DsMessageText(DsMessage message) {
    return kMessages[static_cast<size_t>(message)];
}

void ReportDsMessage(DsMessage message) {
    ReportRunError(DsMessageText(message), false);
}

DsReadStatus OpenStoredText(std::string_view text, int32_t header, CStream& stream) {
    if (text.size() % 2) text.remove_suffix(1);
    if (!stream.ConvertFromString(text) || stream.Size() < 4) return DsReadStatus::Malformed;
    return stream.ReadInteger() == header ? DsReadStatus::Read : DsReadStatus::OtherKind;
}

void ReadStoredValues(CStream& stream, int64_t count, std::vector<DsValue>& out) {
    const size_t n = stream.CheckCount(count, kStoredValueMinBytes);
    out.assign(n, DsValue());
    for (DsValue& value : out) value.LoadFromStream(stream);
}

void WriteStoredValues(CStream& stream, const DsValue* values, size_t count) {
    for (size_t i = 0; i < count; ++i) values[i].SaveToStream(stream);
}

std::string StoredText(const CStream& stream) {
    if (stream.Size() > kMaxTextBytes / 2) throw TextLimitFault();
    return stream.ConvertToString();
}

void SetDsRandom(DsRandomBelow draw) {
    g_draw = draw ? draw : &RunnerDrawBelow;
}

int64_t DsDrawBelow(int64_t n) {
    return g_draw(n);
}

} // namespace kestrin
