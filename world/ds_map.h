#pragma once
// CDS_Map: pairs kept in ascending key order, equal keys in the order they were added.
// Searches halve the range of positions until at most eight keys are left, then scan. The
// comparison is no order (nearly equal keys chain) and a read text may hold keys in any order,
// so what a search finds depends on the positions it probes: the map works by position, and
// its pairs sit in blocks so that an insertion or removal moves one block, not the whole map.

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "world/ds_common.h"

namespace kestrin {

// Pairs by position in two arrays: the plain store, kept as the reference that the blocked
// one is tested against.
class DsPlainPairs {
public:
    size_t Size() const { return keys_.size(); }
    const DsValue& Key(size_t i) const { return keys_[i]; }
    const DsValue& Value(size_t i) const { return values_[i]; }
    DsValue& Value(size_t i) { return values_[i]; }
    void Insert(size_t i, DsValue key, DsValue value);
    void Erase(size_t i);
    void Clear();
    // Takes arrays of equal length.
    void Assign(std::vector<DsValue>&& keys, std::vector<DsValue>&& values);
    template <class Visit> void ForEach(Visit visit) const {
        for (size_t i = 0; i < keys_.size(); ++i) visit(keys_[i], values_[i]);
    }

    // The pairs by position, as a search reads them.
    class Reader {
    public:
        explicit Reader(const DsPlainPairs& pairs) : pairs_(pairs) {}
        int Compare(int64_t i, const RValue& k) {
            return CompareValues(pairs_.keys_[static_cast<size_t>(i)], k);
        }
        const DsValue& Value(int64_t i) { return pairs_.values_[static_cast<size_t>(i)]; }

    private:
        const DsPlainPairs& pairs_;
    };

private:
    std::vector<DsValue> keys_;
    std::vector<DsValue> values_;
};

// Pairs by position in blocks of at most kBlockLimit, none empty, with the position of each
// block's first pair. A block keeps its keys apart from its values, for the searches.
class DsBlockedPairs {
public:
    static constexpr size_t kBlockLimit = 256;

    size_t Size() const { return size_; }
    const DsValue& Key(size_t i) const {
        const size_t b = BlockOf(i);
        return blocks_[b].keys[i - starts_[b]];
    }
    const DsValue& Value(size_t i) const {
        const size_t b = BlockOf(i);
        return blocks_[b].values[i - starts_[b]];
    }
    DsValue& Value(size_t i) {
        const size_t b = BlockOf(i);
        return blocks_[b].values[i - starts_[b]];
    }
    void Insert(size_t i, DsValue key, DsValue value);
    void Erase(size_t i);
    void Clear();
    void Assign(std::vector<DsValue>&& keys, std::vector<DsValue>&& values);
    template <class Visit> void ForEach(Visit visit) const {
        for (const Block& block : blocks_)
            for (size_t k = 0; k < block.keys.size(); ++k) visit(block.keys[k], block.values[k]);
    }
    size_t BlockCount() const { return blocks_.size(); }

private:
    struct PairIndex;

public:
    // The pairs by position for one search, which must not outlive it (the map does not change
    // meanwhile). Keys come from the flat index when the map has one; otherwise the halving
    // probes close in on one block, so the block of the last probe is tried first.
    class Reader {
    public:
        explicit Reader(const DsBlockedPairs& pairs) : pairs_(pairs), flat_(pairs.FlatIndex()) {}
        // CompareValues of the key at i and k.
        int Compare(int64_t i, const RValue& k) {
            if (flat_ != nullptr) {
                const PairIndex::Key& key = flat_->keys[static_cast<size_t>(i)];
                if (key.text != nullptr) return CompareValues(*key.text, k);
                // A string is above every real.
                return k.IsReal() ? CompareReals(key.real, k.val()) : -1;
            }
            const size_t offset = Seek(i);
            return CompareValues(keys_[offset], k);
        }
        const DsValue& Value(int64_t i) {
            if (flat_ != nullptr) return *flat_->values[static_cast<size_t>(i)];
            const size_t offset = Seek(i);
            return pairs_.blocks_[block_].values[offset];
        }

    private:
        // Makes block_ the block of position i; its offset there.
        size_t Seek(int64_t i) {
            const auto at = static_cast<size_t>(i);
            if (at - begin_ < end_ - begin_) return at - begin_;
            return Find(at);
        }
        size_t Find(size_t at);
        const DsBlockedPairs& pairs_;
        const PairIndex* flat_;
        // The block last found, its positions and its keys.
        size_t block_ = 0, begin_ = 0, end_ = 0;
        const DsValue* keys_ = nullptr;
    };

private:
    struct Block {
        Block() {
            keys.reserve(kBlockLimit + 1);
            values.reserve(kBlockLimit + 1);
        }
        size_t Size() const { return keys.size(); }
        std::vector<DsValue> keys, values;
    };
    // Every pair by position, made once a map spanning several blocks has been searched more
    // than Size() / kSearchesPerIndex times since it last changed: a settled map is then
    // searched as one array, and a map that keeps changing pays for an index at most once
    // per that many searches. Any change of keys or blocks drops it; a copy starts without.
    static constexpr size_t kSearchesPerIndex = 32;
    struct PairIndex {
        PairIndex() = default;
        PairIndex(const PairIndex&) {}
        PairIndex& operator=(const PairIndex&) {
            Drop();
            return *this;
        }
        void Drop() {
            keys.clear();
            values.clear();
            searches = 0;
        }
        // A real key is kept here itself, so that searches among reals read one array.
        struct Key {
            double real;
            const DsValue* text; // the key when it is no real
        };
        std::vector<Key> keys;
        std::vector<const DsValue*> values;
        size_t searches = 0;
    };
    // The index, counting a search, or null while there is none.
    const PairIndex* FlatIndex() const { return index_.keys.empty() ? CountSearch() : &index_; }
    const PairIndex* CountSearch() const;

    // The block holding position i (< Size()).
    size_t BlockOf(size_t i) const;
    void Split(size_t b);
    // After a removal left block b small: joins it to a neighbour when both fit in one.
    void Join(size_t b);

    std::vector<Block> blocks_;
    std::vector<size_t> starts_;
    size_t size_ = 0;
    mutable PairIndex index_;
};

// The map's operations over a store of pairs.
template <class Store> class DsMapOf {
public:
    static constexpr int32_t kHeader = 401;

    void Assign(const DsMapOf& data) { *this = data; }
    void Clear() { pairs_.Clear(); }
    size_t Size() const { return pairs_.Size(); }
    void Add(const RValue& key, const RValue& value);
    void Replace(const RValue& key, const RValue& value);
    void Delete(const RValue& key);
    bool Exists(const RValue& key) const { return Match(key) >= 0; }
    RValue Find(const RValue& key) const;
    RValue FindPrevious(const RValue& key) const;
    RValue FindNext(const RValue& key) const;
    RValue FindFirst() const { return Size() == 0 ? RValue() : pairs_.Key(0).Value(); }
    RValue FindLast() const { return Size() == 0 ? RValue() : pairs_.Key(Size() - 1).Value(); }

    // The first position whose key is >= k, and the last whose key is <= k; -1 when none.
    int64_t LowerIndex(const RValue& k) const;
    int64_t UpperIndex(const RValue& k) const;

    // The pair at a position (< Size()).
    const DsValue& KeyAt(size_t i) const { return pairs_.Key(i); }
    const DsValue& ValueAt(size_t i) const { return pairs_.Value(i); }

    std::string WriteToString() const;
    DsReadStatus ReadFromString(std::string_view text) { return ReadStoredText(*this, text); }
    void ReadFields(CStream& stream);

protected:
    Store pairs_;

private:
    using Reader = typename Store::Reader;
    int64_t LowerIndex(Reader& key, const RValue& k) const;
    // The position of the first pair whose key equals key, or -1.
    int64_t Match(Reader& pairs, const RValue& key) const;
    int64_t Match(const RValue& key) const {
        Reader pairs(pairs_);
        return Match(pairs, key);
    }
};

extern template class DsMapOf<DsPlainPairs>;
extern template class DsMapOf<DsBlockedPairs>;

// The reference map on plain arrays.
using DsPlainMap = DsMapOf<DsPlainPairs>;

class CDS_Map : public DsMapOf<DsBlockedPairs> {
public:
    static DsTable<CDS_Map>& Table();
    const DsBlockedPairs& Pairs() const { return pairs_; }
};

std::span<const RFunctionSpec> MapFunctions();

} // namespace kestrin
