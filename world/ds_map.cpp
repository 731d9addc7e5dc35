#include "world/ds_map.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace kestrin {

void DsPlainPairs::Insert(size_t i, DsValue key, DsValue value) {
    keys_.insert(keys_.begin() + static_cast<std::ptrdiff_t>(i), std::move(key));
    values_.insert(values_.begin() + static_cast<std::ptrdiff_t>(i), std::move(value));
}

void DsPlainPairs::Erase(size_t i) {
    keys_.erase(keys_.begin() + static_cast<std::ptrdiff_t>(i));
    values_.erase(values_.begin() + static_cast<std::ptrdiff_t>(i));
}

void DsPlainPairs::Clear() {
    keys_.clear();
    values_.clear();
}

void DsPlainPairs::Assign(std::vector<DsValue>&& keys, std::vector<DsValue>&& values) {
    keys_ = std::move(keys);
    values_ = std::move(values);
}

size_t DsBlockedPairs::BlockOf(size_t i) const {
    // The last block starting at or before i, without branches: the probes of a search jump
    // about unpredictably.
    const size_t* base = starts_.data();
    size_t n = starts_.size();
    while (n > 1) {
        const size_t half = n / 2;
        base = base[half] <= i ? base + half : base;
        n -= half;
    }
    return static_cast<size_t>(base - starts_.data());
}

const DsBlockedPairs::PairIndex* DsBlockedPairs::CountSearch() const {
    if (blocks_.size() < 2 || ++index_.searches <= size_ / kSearchesPerIndex) return nullptr;
    index_.keys.reserve(size_);
    index_.values.reserve(size_);
    for (const Block& block : blocks_)
        for (size_t k = 0; k < block.Size(); ++k) {
            const DsValue& key = block.keys[k];
            index_.keys.push_back(key.IsReal() ? PairIndex::Key{key.val(), nullptr}
                                               : PairIndex::Key{0.0, &key});
            index_.values.push_back(&block.values[k]);
        }
    return &index_;
}

size_t DsBlockedPairs::Reader::Find(size_t at) {
    block_ = pairs_.BlockOf(at);
    begin_ = pairs_.starts_[block_];
    end_ = begin_ + pairs_.blocks_[block_].Size();
    keys_ = pairs_.blocks_[block_].keys.data();
    return at - begin_;
}

void DsBlockedPairs::Insert(size_t i, DsValue key, DsValue value) {
    if (blocks_.empty()) {
        blocks_.emplace_back();
        starts_.push_back(0);
    }
    // The end of the map goes to the last block, a block's first position to that block.
    const size_t b = i == size_ ? blocks_.size() - 1 : BlockOf(i);
    Block& block = blocks_[b];
    const auto at = static_cast<std::ptrdiff_t>(i - starts_[b]);
    block.keys.insert(block.keys.begin() + at, std::move(key));
    block.values.insert(block.values.begin() + at, std::move(value));
    ++size_;
    index_.Drop();
    for (size_t k = b + 1; k < starts_.size(); ++k) ++starts_[k];
    if (block.Size() > kBlockLimit) Split(b);
}

void DsBlockedPairs::Split(size_t b) {
    Block tail;
    {
        Block& block = blocks_[b];
        const auto keep = static_cast<std::ptrdiff_t>(block.Size() / 2);
        std::move(block.keys.begin() + keep, block.keys.end(), std::back_inserter(tail.keys));
        std::move(block.values.begin() + keep, block.values.end(), std::back_inserter(tail.values));
        block.keys.erase(block.keys.begin() + keep, block.keys.end());
        block.values.erase(block.values.begin() + keep, block.values.end());
    }
    const auto after = static_cast<std::ptrdiff_t>(b + 1);
    starts_.insert(starts_.begin() + after, starts_[b] + blocks_[b].Size());
    blocks_.insert(blocks_.begin() + after, std::move(tail));
}

void DsBlockedPairs::Erase(size_t i) {
    const size_t b = BlockOf(i);
    Block& block = blocks_[b];
    const auto at = static_cast<std::ptrdiff_t>(i - starts_[b]);
    block.keys.erase(block.keys.begin() + at);
    block.values.erase(block.values.begin() + at);
    --size_;
    index_.Drop();
    for (size_t k = b + 1; k < starts_.size(); ++k) --starts_[k];
    if (block.Size() < kBlockLimit / 4) Join(b);
}

void DsBlockedPairs::Join(size_t b) {
    const auto remove = [&](size_t k) {
        blocks_.erase(blocks_.begin() + static_cast<std::ptrdiff_t>(k));
        starts_.erase(starts_.begin() + static_cast<std::ptrdiff_t>(k));
    };
    if (blocks_[b].Size() == 0) {
        remove(b);
        return;
    }
    // Into the left block, so that the starts of both stay right.
    size_t left = b, right = b + 1;
    if (right == blocks_.size() || blocks_[b].Size() + blocks_[right].Size() > kBlockLimit) {
        if (b == 0 || blocks_[b - 1].Size() + blocks_[b].Size() > kBlockLimit) return;
        left = b - 1;
        right = b;
    }
    Block& into = blocks_[left];
    Block& from = blocks_[right];
    std::move(from.keys.begin(), from.keys.end(), std::back_inserter(into.keys));
    std::move(from.values.begin(), from.values.end(), std::back_inserter(into.values));
    remove(right);
}

void DsBlockedPairs::Clear() {
    blocks_.clear();
    starts_.clear();
    size_ = 0;
    index_.Drop();
}

void DsBlockedPairs::Assign(std::vector<DsValue>&& keys, std::vector<DsValue>&& values) {
    Clear();
    // Half full, so that the next insertions do not split at once.
    constexpr size_t fill = kBlockLimit / 2;
    for (size_t i = 0; i < keys.size(); ++i) {
        if (i % fill == 0) {
            blocks_.emplace_back();
            starts_.push_back(i);
        }
        blocks_.back().keys.push_back(std::move(keys[i]));
        blocks_.back().values.push_back(std::move(values[i]));
    }
    size_ = keys.size();
}

template <class Store> int64_t DsMapOf<Store>::LowerIndex(const RValue& k) const {
    Reader key(pairs_);
    return LowerIndex(key, k);
}

template <class Store> int64_t DsMapOf<Store>::LowerIndex(Reader& key, const RValue& k) const {
    int64_t lo = 0, hi = static_cast<int64_t>(pairs_.Size()) - 1;
    while (hi - lo > 7) {
        const int64_t mid = (lo + hi) / 2;
        if (key.Compare(mid, k) < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    for (int64_t a = lo; a <= hi; ++a)
        if (key.Compare(a, k) >= 0) return a;
    return -1;
}

template <class Store> int64_t DsMapOf<Store>::UpperIndex(const RValue& k) const {
    Reader key(pairs_);
    int64_t lo = 0, hi = static_cast<int64_t>(pairs_.Size()) - 1;
    while (hi - lo > 7) {
        const int64_t mid = (lo + hi) / 2;
        if (key.Compare(mid, k) > 0)
            hi = mid - 1;
        else
            lo = mid;
    }
    for (int64_t a = hi; a >= lo; --a)
        if (key.Compare(a, k) <= 0) return a;
    return -1;
}

template <class Store> int64_t DsMapOf<Store>::Match(Reader& pairs, const RValue& key) const {
    const int64_t a = LowerIndex(pairs, key);
    return a >= 0 && pairs.Compare(a, key) == 0 ? a : -1;
}

template <class Store> void DsMapOf<Store>::Add(const RValue& key, const RValue& value) {
    pairs_.Insert(static_cast<size_t>(UpperIndex(key) + 1), DsValue(key), DsValue(value));
}

template <class Store> void DsMapOf<Store>::Replace(const RValue& key, const RValue& value) {
    const int64_t a = Match(key);
    if (a >= 0) pairs_.Value(static_cast<size_t>(a)) = DsValue(value);
}

template <class Store> void DsMapOf<Store>::Delete(const RValue& key) {
    const int64_t a = Match(key);
    if (a >= 0) pairs_.Erase(static_cast<size_t>(a));
}

template <class Store> RValue DsMapOf<Store>::Find(const RValue& key) const {
    Reader pairs(pairs_);
    const int64_t a = Match(pairs, key);
    return a >= 0 ? pairs.Value(a).Value() : RValue();
}

template <class Store> RValue DsMapOf<Store>::FindPrevious(const RValue& key) const {
    int64_t a = LowerIndex(key);
    a = a == -1 ? static_cast<int64_t>(Size()) - 1 : a - 1;
    return a >= 0 ? pairs_.Key(static_cast<size_t>(a)).Value() : RValue();
}

template <class Store> RValue DsMapOf<Store>::FindNext(const RValue& key) const {
    const int64_t a = UpperIndex(key) + 1;
    return a < static_cast<int64_t>(Size()) ? pairs_.Key(static_cast<size_t>(a)).Value() : RValue();
}

template <class Store> std::string DsMapOf<Store>::WriteToString() const {
    CStream stream;
    stream.WriteInteger(kHeader);
    stream.WriteInteger(static_cast<int32_t>(Size()));
    pairs_.ForEach([&](const DsValue& key, const DsValue&) { key.SaveToStream(stream); });
    pairs_.ForEach([&](const DsValue&, const DsValue& value) { value.SaveToStream(stream); });
    return StoredText(stream);
}

template <class Store> void DsMapOf<Store>::ReadFields(CStream& stream) {
    const int32_t count = stream.ReadInteger();
    // Keys and values both follow: the count must fit twice.
    if (count >= 0) stream.CheckCount(2 * static_cast<int64_t>(count), kStoredValueMinBytes);
    std::vector<DsValue> keys, values;
    ReadStoredValues(stream, count, keys);
    ReadStoredValues(stream, count, values);
    pairs_.Assign(std::move(keys), std::move(values));
}

template class DsMapOf<DsPlainPairs>;
template class DsMapOf<DsBlockedPairs>;

DsTable<CDS_Map>& CDS_Map::Table() {
    static DsTable<CDS_Map> table;
    return table;
}

namespace {

using Map = CDS_Map;

void ds_map_add(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue&) {
    if (Map* m = DsFind<Map>(args[0])) m->Add(args[1], args[2]);
}
void ds_map_replace(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue&) {
    if (Map* m = DsFind<Map>(args[0])) m->Replace(args[1], args[2]);
}
void ds_map_delete(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue&) {
    if (Map* m = DsFind<Map>(args[0])) m->Delete(args[1]);
}
void ds_map_exists(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    if (const Map* m = DsFind<Map>(args[0])) result.SetReal(m->Exists(args[1]) ? 1.0 : 0.0);
}
void ds_map_find_value(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    if (const Map* m = DsFind<Map>(args[0])) result = m->Find(args[1]);
}
void ds_map_find_previous(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    if (const Map* m = DsFind<Map>(args[0])) result = m->FindPrevious(args[1]);
}
void ds_map_find_next(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    if (const Map* m = DsFind<Map>(args[0])) result = m->FindNext(args[1]);
}
void ds_map_find_first(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    if (const Map* m = DsFind<Map>(args[0])) result = m->FindFirst();
}
void ds_map_find_last(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    if (const Map* m = DsFind<Map>(args[0])) result = m->FindLast();
}

constexpr RFunctionSpec kFunctions[] = {
    {"ds_map_create", DsCreate<Map>, 0},
    {"ds_map_destroy", DsDestroy<Map>, 1},
    {"ds_map_clear", DsClear<Map>, 1},
    {"ds_map_copy", DsCopy<Map>, 2},
    {"ds_map_size", DsSize<Map>, 1},
    {"ds_map_empty", DsEmpty<Map>, 1},
    {"ds_map_add", ds_map_add, 3},
    {"ds_map_replace", ds_map_replace, 3},
    {"ds_map_delete", ds_map_delete, 2},
    {"ds_map_exists", ds_map_exists, 2},
    {"ds_map_find_value", ds_map_find_value, 2},
    {"ds_map_find_previous", ds_map_find_previous, 2},
    {"ds_map_find_next", ds_map_find_next, 2},
    {"ds_map_find_first", ds_map_find_first, 1},
    {"ds_map_find_last", ds_map_find_last, 1},
    {"ds_map_write", DsWrite<Map>, 1},
    {"ds_map_read", DsRead<Map>, 2},
};

} // namespace

std::span<const RFunctionSpec> MapFunctions() {
    return kFunctions;
}

} // namespace kestrin
