#pragma once
// What the six data-structure kinds share: the one value comparison with its precision, the
// tables of containers addressed by id, the stored text form's framing, the random draws of
// the shuffles and the messages a player can see.

#include <algorithm>
#include <cmath>
#include <concepts>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/fault.h"
#include "base/stream.h"
#include "script/builtin_routine.h"
#include "base/numeric.h"
#include "script/value.h"
#include "world/ds_value.h"

namespace kestrin {

// The runner-wide precision of CompareValues; set stores the magnitude.
double DsPrecision();
void SetDsPrecision(double precision);
inline constexpr double kDefaultDsPrecision = 0.00000001;

namespace ds_detail {
inline double precision = kDefaultDsPrecision;
// The sign of the UTF-16 comparison of two texts.
int CompareTexts(std::string_view a, std::string_view b);
} // namespace ds_detail

// Script values (arguments) and container values compare alike: by kind and the field of it.
template <class T>
concept DsComparable = std::same_as<T, RValue> || std::same_as<T, DsValue>;

// CompareValues of two reals, for callers that keep a real apart from its value.
inline int CompareReals(double x, double y) {
    // Infinities equal only themselves: their difference is no number, and a relative
    // precision taken from an infinite magnitude would make -inf equal to +inf.
    if (x == y) return 0;
    if (std::isinf(x) || std::isinf(y)) return x < y ? -1 : 1;
    double epsilon = ds_detail::precision;
    if (epsilon == 0.0) epsilon = std::max(std::min(std::fabs(x), std::fabs(y)) * 1e-12, 1e-12);
    if (std::fabs(x - y) <= epsilon) return 0;
    return x < y ? -1 : 1;
}

// Negative, zero or positive. Reals are equal within the precision (relative 1e-12 when the
// precision is 0), strings compare by UTF-16 code units, and a string is above every real.
// Not a strict weak ordering: never hand it to a library sort, tree or heap. Inline because
// every search and sort spends its time here.
template <DsComparable A, DsComparable B> inline int CompareValues(const A& a, const B& b) {
    if (!a.IsReal() || !b.IsReal()) {
        if (a.IsReal()) return -1;
        if (b.IsReal()) return 1;
        return ds_detail::CompareTexts(a.str(), b.str());
    }
    return CompareReals(a.val(), b.val());
}

// ORDER DsMessage: keep in step with the text table in ds_common.cpp.
enum class DsMessage : uint8_t { NoSuchStructure, MalformedText, Count };
std::string_view DsMessageText(DsMessage message);
// Through the run-time error path, not fatal.
void ReportDsMessage(DsMessage message);

// Containers larger than this are refused as an out-of-memory fault, whoever asks (a script's
// size arguments, a grid resize): every container must also fit in one stored text.
inline constexpr int64_t kMaxDsCells = int64_t{1} << 24;
class DsLimitFault : public RunnerFault {
public:
    DsLimitFault() : RunnerFault("Out of memory") {}
};

// The smallest stored value: kind, real and an empty text's byte count.
inline constexpr size_t kStoredValueMinBytes = 16;

enum class DsReadStatus : uint8_t { Read, OtherKind, Malformed };

// Opens a stored text: the bytes of its hex pairs (a last unpaired character is ignored) with
// the header read. OtherKind when the header is another kind's, Malformed when the text is
// not hex or too short to hold a header.
DsReadStatus OpenStoredText(std::string_view text, int32_t header, CStream& stream);

// `count` stored values into `out`, after checking that the stream can hold them. Throws
// StreamError on any fault.
void ReadStoredValues(CStream& stream, int64_t count, std::vector<DsValue>& out);
void WriteStoredValues(CStream& stream, const DsValue* values, size_t count);
// The hex text of a written container; one too long to be a value is refused before the
// text is built.
std::string StoredText(const CStream& stream);

// Parses a stored text into a fresh container and moves it into `target` only when all of
// it was valid, so a bad text leaves the container as it was.
template <class T> DsReadStatus ReadStoredText(T& target, std::string_view text) {
    CStream stream;
    const DsReadStatus status = OpenStoredText(text, T::kHeader, stream);
    if (status != DsReadStatus::Read) return status;
    T parsed;
    try {
        parsed.ReadFields(stream);
    } catch (const StreamError&) {
        return DsReadStatus::Malformed;
    }
    target = std::move(parsed);
    return DsReadStatus::Read;
}

// Integer arguments: nearest, ties to even; NaN and values beyond the range saturate instead
// of faulting so that a bad position only misses.
inline int64_t DsInteger(const RValue& argument) {
    const double v = argument.val();
    if (v > -4503599627370496.0 && v < 4503599627370496.0) [[likely]]
        return RoundToInt64(v);
    return RoundToInt64Saturated(v, -1);
}

// The draw below n of the shuffles (0 .. n-1; 0 when n < 1): the runner's generator unless
// another source is set (tests follow the draws with one; null restores the generator).
using DsRandomBelow = int64_t (*)(int64_t n);
void SetDsRandom(DsRandomBelow draw);
int64_t DsDrawBelow(int64_t n);

// One kind's containers: slots indexed by id, the lowest free slot reused first. The count
// of slots never shrinks.
template <class T> class DsTable {
public:
    int32_t Create(std::unique_ptr<T> container) {
        while (firstFree_ < slots_.size() && slots_[firstFree_]) ++firstFree_;
        if (firstFree_ == slots_.size()) slots_.emplace_back();
        slots_[firstFree_] = std::move(container);
        return static_cast<int32_t>(firstFree_++);
    }
    T* Find(int64_t id) const {
        if (id < 0 || static_cast<uint64_t>(id) >= slots_.size()) return nullptr;
        return slots_[static_cast<size_t>(id)].get();
    }
    bool Destroy(int64_t id) {
        if (!Find(id)) return false;
        slots_[static_cast<size_t>(id)].reset();
        if (static_cast<size_t>(id) < firstFree_) firstFree_ = static_cast<size_t>(id);
        return true;
    }
    void Reset() {
        slots_.clear();
        firstFree_ = 0;
    }
    size_t SlotCount() const { return slots_.size(); }

private:
    std::vector<std::unique_ptr<T>> slots_;
    size_t firstFree_ = 0;
};

// The container an id argument names, or null after reporting that it does not exist.
template <class T> T* DsFind(const RValue& id) {
    T* container = T::Table().Find(DsInteger(id));
    if (!container) ReportDsMessage(DsMessage::NoSuchStructure);
    return container;
}

// The built-ins every kind shares (the grid brings its own create and clear).
template <class T> void DsCreate(CScriptInstance*, CScriptInstance*, int32_t, const RValue*, RValue& result) {
    result.SetReal(T::Table().Create(std::make_unique<T>()));
}
template <class T> void DsDestroy(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue&) {
    if (!T::Table().Destroy(DsInteger(args[0]))) ReportDsMessage(DsMessage::NoSuchStructure);
}
template <class T> void DsClear(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue&) {
    if (T* c = DsFind<T>(args[0])) c->Clear();
}
template <class T> void DsCopy(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue&) {
    T* target = DsFind<T>(args[0]);
    if (!target) return;
    const T* source = DsFind<T>(args[1]);
    if (source && source != target) target->Assign(*source);
}
template <class T>
void DsSize(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    if (const T* c = DsFind<T>(args[0])) result.SetReal(static_cast<double>(c->Size()));
}
template <class T>
void DsEmpty(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    if (const T* c = DsFind<T>(args[0])) result.SetReal(c->Size() == 0 ? 1.0 : 0.0);
}
template <class T>
void DsWrite(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    if (const T* c = DsFind<T>(args[0])) result.SetString(c->WriteToString());
}
// A text of another kind is ignored silently; a damaged one is reported and also ignored.
template <class T> void DsRead(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue&) {
    T* c = DsFind<T>(args[0]);
    if (c && c->ReadFromString(args[1].str()) == DsReadStatus::Malformed)
        ReportDsMessage(DsMessage::MalformedText);
}

} // namespace kestrin
