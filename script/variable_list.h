#pragma once
// CVariableList: the user variables of one instance, of the game (globals) or of one run of
// code. Variables are kept in creation order (visible in saved games and debug listings)
// beside an open-addressing index -> position table, so a lookup is one hash probe however
// many variables there are.
//
// Arrays: element a = 0 is the variable itself; any other a addresses row a div 32000,
// column a mod 32000. So x, x[0] and x[0,0] are one storage, and x[5] is x[0,5].

#include <cstdint>
#include <vector>

#include "script/value.h"

namespace kestrin {

class CStream;

inline constexpr int32_t kArrayDimension = 32000;
// The highest element number: [31999, 31999].
inline constexpr int32_t kMaxArrayElement = kArrayDimension * (kArrayDimension - 1) + (kArrayDimension - 1);

inline constexpr int32_t kVariableListVersion = 440;

// The game option under which variables that were never assigned read as the real 0.
bool UnknownVariablesReadAsZero();
void SetUnknownVariablesReadAsZero(bool on);

struct RVariable {
    int32_t ind = 0;
    RValue simplevalue;
    std::vector<std::vector<RValue>> value;

    // Element a, or nullptr when it was never created. a must be in 0 .. kMaxArrayElement.
    const RValue* Element(int32_t a) const {
        if (a == 0) return &simplevalue;
        const auto row = static_cast<size_t>(a / kArrayDimension),
                   column = static_cast<size_t>(a % kArrayDimension);
        if (row >= value.size() || column >= value[row].size()) return nullptr;
        return &value[row][column];
    }
    // Element a, created (with the rows and elements before it, as the real 0) if needed.
    // a must be in 0 .. kMaxArrayElement; anything else throws std::out_of_range.
    RValue& ElementForWrite(int32_t a) {
        if (a == 0) return simplevalue;
        const auto row = static_cast<size_t>(a / kArrayDimension),
                   column = static_cast<size_t>(a % kArrayDimension);
        if (row < value.size() && column < value[row].size()) return value[row][column];
        return GrowTo(row, column);
    }

private:
    RValue& GrowTo(size_t row, size_t column);
};

class CVariableList {
public:
    CVariableList() = default;
    CVariableList(const CVariableList& other) { Assign(other); }
    CVariableList(CVariableList&&) noexcept = default;
    CVariableList& operator=(const CVariableList& other) {
        if (this != &other) Assign(other);
        return *this;
    }
    CVariableList& operator=(CVariableList&&) noexcept = default;

    void Clear();
    // Deep copy of every variable, row and element.
    void Assign(const CVariableList& other);

    // Stores `val` into element `arr_ind` of variable `var_ind`, creating both as needed.
    // An element number outside 0 .. kMaxArrayElement is refused (returns false).
    bool SetVar(int32_t var_ind, int32_t arr_ind, const RValue& val) {
        if (arr_ind < 0 || arr_ind > kMaxArrayElement) return false;
        Variable(var_ind).ElementForWrite(arr_ind) = val;
        return true;
    }
    // Fetches element `arr_ind`; when it does not exist, the real 0 under the read-as-zero
    // option, otherwise false.
    bool GetVar(int32_t var_ind, int32_t arr_ind, RValue& val) const {
        if (const RValue* element = FindElement(var_ind, arr_ind)) [[likely]] {
            val = *element;
            return true;
        }
        return ReadMissing(val);
    }
    // Appends the variable holding the real 0 unless it exists.
    void Init(int32_t var_ind);

    // The element if it exists, without the read-as-zero option.
    const RValue* FindElement(int32_t var_ind, int32_t arr_ind) const {
        const RVariable* v = FindVariable(var_ind);
        if (!v || arr_ind < 0 || arr_ind > kMaxArrayElement) return nullptr;
        return v->Element(arr_ind);
    }
    const RVariable* FindVariable(int32_t var_ind) const {
        const int32_t slot = Lookup(var_ind);
        return slot < 0 ? nullptr : &v_vars[static_cast<size_t>(slot)];
    }
    RVariable* FindVariable(int32_t var_ind) {
        const int32_t slot = Lookup(var_ind);
        return slot < 0 ? nullptr : &v_vars[static_cast<size_t>(slot)];
    }
    // The variable, appended holding the real 0 if absent.
    RVariable& Variable(int32_t var_ind) {
        const int32_t slot = Lookup(var_ind);
        if (slot >= 0) [[likely]]
            return v_vars[static_cast<size_t>(slot)];
        return Append(var_ind);
    }
    // The read-as-zero rule for a missing element.
    static bool ReadMissing(RValue& val);
    // Lookup through a remembered position: the interpreter keeps one hint per access site,
    // so repeated accesses to the same list skip the hash.
    RVariable* FindVariable(int32_t var_ind, uint32_t& hint) {
        if (hint < v_vars.size() && v_vars[hint].ind == var_ind) return &v_vars[hint];
        const int32_t slot = Lookup(var_ind);
        if (slot < 0) return nullptr;
        hint = static_cast<uint32_t>(slot);
        return &v_vars[hint];
    }

    int32_t v_numb() const { return static_cast<int32_t>(v_vars.size()); }
    const std::vector<RVariable>& Variables() const { return v_vars; }

    // Stored form: Integer 440, the count, then per variable its index, its value, its row
    // count and each row as an element count and the elements. Loading checks every count
    // against the stream and the array limits; a first Integer other than 440 loads nothing.
    void SaveToStream(CStream& stream) const;
    void LoadFromStream(CStream& stream);

private:
    struct Bucket {
        int32_t key;  // variable index; kEmpty when unused
        int32_t slot; // position in v_vars
    };
    static constexpr int32_t kEmpty = INT32_MIN;

    int32_t Lookup(int32_t var_ind) const {
        if (buckets_.empty()) return -1;
        const uint32_t mask = static_cast<uint32_t>(buckets_.size() - 1);
        for (uint32_t i = Hash(var_ind) & mask;; i = (i + 1) & mask) {
            const Bucket& b = buckets_[i];
            if (b.key == var_ind) return b.slot;
            if (b.key == kEmpty) return -1;
        }
    }
    static uint32_t Hash(int32_t key) { return (static_cast<uint32_t>(key) * 0x9E3779B1u) >> 7; }
    RVariable& Append(int32_t var_ind);
    void Rehash(size_t capacity);

    std::vector<RVariable> v_vars;
    std::vector<Bucket> buckets_;
};

} // namespace kestrin
