#include "world/ds_sort.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <utility>

#include "base/utf.h"
#include "world/ds_common.h"

namespace kestrin {

void InsertionSortValues(std::vector<DsValue>& v, DsSortOrder order) {
    const bool ascend = order == DsSortOrder::Ascending;
    for (size_t i = 1; i < v.size(); ++i)
        for (size_t j = i; j >= 1; --j) {
            if ((CompareValues(v[j - 1], v[j]) > 0) != ascend) break;
            std::swap(v[j - 1], v[j]);
        }
}

// How the insertion sort can be had faster. Value i moves left past the values before it
// until it meets one that stops it, and the order of those values does not change meanwhile,
// so it lands just after the rightmost earlier value that stops it (or at the front). Call
// "above x" the values e with CompareValues(e, x) > 0: ascending, a value that is not above x
// stops it; descending, one that is above x does.
//
// Values fall into classes that every comparison treats alike: the reals by number (0 and -0
// together), all NaNs, and the texts by UTF-16 code units. In the order reals < NaN < texts,
// the classes above any x form a tail: a real that is further above x than the precision
// stays so when it grows (with precision 0 the tolerance shrinks or stays as the gap widens),
// NaN is above every real and below every text, and a NaN x has everything above it. So each
// class has a bound, the first class above it, found by halving; and "rightmost earlier value
// whose class is below (or not below) the bound" is a search in the order built so far, which
// blocks with their least and greatest class answer without visiting most values.
namespace {

enum class Group : uint8_t { Number, NotANumber, Text };

Group GroupOf(const DsValue& v) {
    if (v.IsString()) return Group::Text;
    return std::isnan(v.val()) ? Group::NotANumber : Group::Number;
}

// A strict weak ordering whose equivalence classes are the classes above.
bool ClassBefore(const DsValue& a, const DsValue& b) {
    const Group ga = GroupOf(a), gb = GroupOf(b);
    if (ga != gb) return ga < gb;
    if (ga == Group::Number) return a.val() < b.val();
    if (ga == Group::Text) return CompareTextUtf16(a.str(), b.str()) < 0;
    return false;
}

// The order built so far, in blocks of entries (class, position in the list).
class Placement {
public:
    enum class Stop : uint8_t { BelowBound, AtOrAboveBound };

    // Places the entry after the rightmost one that stops it, or at the front.
    void Insert(uint32_t cls, uint32_t index, uint32_t bound, Stop stop) {
        const Entry entry{cls, index};
        if (blocks_.empty()) {
            blocks_.push_back({entry});
            least_.push_back(cls);
            greatest_.push_back(cls);
            return;
        }
        size_t b = 0, at = 0;
        for (size_t k = blocks_.size(); k-- > 0;) {
            const bool holdsStop = stop == Stop::BelowBound ? least_[k] < bound : greatest_[k] >= bound;
            if (!holdsStop) continue;
            const std::vector<Entry>& block = blocks_[k];
            size_t p = block.size();
            while (!Stops(block[p - 1].cls, bound, stop)) --p;
            b = k;
            at = p;
            break;
        }
        std::vector<Entry>& block = blocks_[b];
        block.insert(block.begin() + static_cast<std::ptrdiff_t>(at), entry);
        least_[b] = std::min(least_[b], cls);
        greatest_[b] = std::max(greatest_[b], cls);
        if (block.size() > kBlockLimit) Split(b);
    }

    std::vector<uint32_t> Positions() const {
        std::vector<uint32_t> out;
        for (const auto& block : blocks_)
            for (const Entry& e : block) out.push_back(e.index);
        return out;
    }

private:
    struct Entry {
        uint32_t cls, index;
    };
    static constexpr size_t kBlockLimit = 256;

    static bool Stops(uint32_t cls, uint32_t bound, Stop stop) {
        return stop == Stop::BelowBound ? cls < bound : cls >= bound;
    }

    void Split(size_t b) {
        std::vector<Entry>& block = blocks_[b];
        std::vector<Entry> tail(block.begin() + static_cast<std::ptrdiff_t>(block.size() / 2), block.end());
        block.resize(block.size() / 2);
        const auto bounds = [](const std::vector<Entry>& entries) {
            uint32_t lo = entries.front().cls, hi = lo;
            for (const Entry& e : entries) lo = std::min(lo, e.cls), hi = std::max(hi, e.cls);
            return std::pair{lo, hi};
        };
        const auto [headLeast, headGreatest] = bounds(block);
        const auto [tailLeast, tailGreatest] = bounds(tail);
        least_[b] = headLeast;
        greatest_[b] = headGreatest;
        const auto after = static_cast<std::ptrdiff_t>(b + 1);
        blocks_.insert(blocks_.begin() + after, std::move(tail));
        least_.insert(least_.begin() + after, tailLeast);
        greatest_.insert(greatest_.begin() + after, tailGreatest);
    }

    std::vector<std::vector<Entry>> blocks_;
    std::vector<uint32_t> least_, greatest_;
};

// Below this the insertion sort itself is as quick.
constexpr size_t kShortList = 16;

// The values in the order of the positions given.
void Permute(std::vector<DsValue>& values, const std::vector<uint32_t>& positions) {
    std::vector<DsValue> sorted;
    sorted.reserve(values.size());
    for (const uint32_t i : positions) sorted.push_back(std::move(values[i]));
    values = std::move(sorted);
}

} // namespace

void SortValues(std::vector<DsValue>& values, DsSortOrder order) {
    const size_t n = values.size();
    // Positions are 32-bit; no list that fits in memory comes near that.
    if (n <= kShortList || n > UINT32_MAX) {
        InsertionSortValues(values, order);
        return;
    }
    // Stable, so that it is the result itself when the comparison turns out to be an order.
    std::vector<uint32_t> byClass(n);
    std::iota(byClass.begin(), byClass.end(), 0u);
    std::stable_sort(byClass.begin(), byClass.end(),
                     [&](uint32_t a, uint32_t b) { return ClassBefore(values[a], values[b]); });
    // One value of each class, and each value's class.
    std::vector<uint32_t> first;
    std::vector<uint32_t> cls(n);
    bool separated = true;
    for (size_t k = 0; k < n; ++k) {
        const uint32_t i = byClass[k];
        if (k == 0 || ClassBefore(values[byClass[k - 1]], values[i])) {
            // Neighbouring classes that compare unequal (and no NaN) make every two classes
            // compare as they are ordered: then nothing stops a value but the values of lower
            // classes (ascending) or of lower and equal ones (descending), and the insertion
            // sort's result is the stable order, or that order reversed.
            if (k > 0 && CompareValues(values[byClass[k - 1]], values[i]) >= 0) separated = false;
            if (GroupOf(values[i]) == Group::NotANumber) separated = false;
            first.push_back(i);
        }
        cls[i] = static_cast<uint32_t>(first.size() - 1);
    }
    if (separated) {
        if (order == DsSortOrder::Descending) std::reverse(byClass.begin(), byClass.end());
        Permute(values, byClass);
        return;
    }
    const size_t classes = first.size();
    std::vector<uint32_t> bound(classes);
    for (size_t c = 0; c < classes; ++c) {
        size_t lo = 0, hi = classes;
        while (lo < hi) {
            const size_t mid = lo + (hi - lo) / 2;
            if (CompareValues(values[first[mid]], values[first[c]]) > 0)
                hi = mid;
            else
                lo = mid + 1;
        }
        bound[c] = static_cast<uint32_t>(lo);
    }

    const Placement::Stop stop =
        order == DsSortOrder::Ascending ? Placement::Stop::BelowBound : Placement::Stop::AtOrAboveBound;
    Placement placement;
    for (uint32_t i = 0; i < n; ++i) placement.Insert(cls[i], i, bound[cls[i]], stop);
    Permute(values, placement.Positions());
}

} // namespace kestrin
