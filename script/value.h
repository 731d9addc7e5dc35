#pragma once
// RValue: the value of every expression, variable, argument and result of the script
// language. A real or a string, in 16 bytes: the number and the text share storage, and the
// text is an immutable reference-counted buffer, so copying a value never copies text.
//
// As in the record the language is defined on, each kind still has a readable "other" field:
// val() of a string is 0 and str() of a real is empty.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/fault.h"
#include "base/utf.h"

namespace kestrin {

class CStream;

enum RValueKind : int32_t { kKindReal = 0, kKindString = 1 };

// No value ever holds more text than this; building longer text is a runner fault, so that a
// script cannot make the runner allocate without bound ("x" repeated 1e15 times).
inline constexpr size_t kMaxTextBytes = size_t{1} << 29;

class TextLimitFault : public RunnerFault {
public:
    TextLimitFault() : RunnerFault("Out of memory") {}
};

// Shared immutable text. Single-threaded: the script language runs on one thread only.
// The bytes follow the header, then a terminating 0.
struct RText {
    uint32_t refs;
    uint32_t size;

    static RText* Make(std::string_view text);
    // Uninitialised text of `size` bytes (terminated) for the caller to fill; its one reference
    // belongs to the caller.
    static RText* Allocate(size_t size);
    char* Data() { return reinterpret_cast<char*>(this + 1); }
    const char* Data() const { return reinterpret_cast<const char*>(this + 1); }
    std::string_view View() const { return {Data(), size}; }
    // For holders other than RValue: one more reference, and one fewer (the last frees it).
    void Retain() noexcept { ++refs; }
    static void Release(RText* text) noexcept {
        if (text && --text->refs == 0) Free(text);
    }
    static void Free(RText* text) noexcept;
};

class RValue {
public:
    RValue() noexcept : val_(0.0), kind_(kKindReal) {}
    explicit RValue(double value) noexcept : val_(value), kind_(kKindReal) {}
    explicit RValue(std::string_view text) : kind_(kKindString) { text_ = MakeText(text); }
    explicit RValue(const char* text) : RValue(std::string_view(text)) {}
    static RValue Real(double value) { return RValue(value); }
    static RValue String(std::string_view text) { return RValue(text); }
    // Takes over a text buffer (its reference passes to the value).
    static RValue Adopt(RText* text) noexcept {
        RValue v;
        v.kind_ = kKindString;
        v.text_ = text;
        return v;
    }

    RValue(const RValue& other) noexcept : kind_(other.kind_) {
        if (kind_ == kKindString) {
            text_ = other.text_;
            if (text_) ++text_->refs;
        } else {
            val_ = other.val_;
        }
    }
    RValue(RValue&& other) noexcept : kind_(other.kind_) {
        if (kind_ == kKindString) {
            text_ = other.text_;
            other.kind_ = kKindReal;
            other.val_ = 0.0;
        } else {
            val_ = other.val_;
        }
    }
    RValue& operator=(const RValue& other) noexcept {
        if ((kind_ | other.kind_) == kKindReal) [[likely]] {
            val_ = other.val_;
            return *this;
        }
        if (other.kind_ == kKindString) {
            if (other.text_) ++other.text_->refs; // first, for self-assignment
            Release();
            text_ = other.text_;
        } else {
            Release();
            val_ = other.val_;
        }
        kind_ = other.kind_;
        return *this;
    }
    RValue& operator=(RValue&& other) noexcept {
        if (this != &other) {
            Release();
            kind_ = other.kind_;
            if (kind_ == kKindString) {
                text_ = other.text_;
                other.kind_ = kKindReal;
                other.val_ = 0.0;
            } else {
                val_ = other.val_;
            }
        }
        return *this;
    }
    ~RValue() { Release(); }

    int32_t kind() const { return kind_; }
    bool IsReal() const { return kind_ == kKindReal; }
    bool IsString() const { return kind_ == kKindString; }
    // The number; 0 for a string.
    double val() const { return kind_ == kKindReal ? val_ : 0.0; }
    // The text as UTF-8; empty for a real. Stays valid while this value holds it.
    std::string_view str() const {
        return kind_ == kKindString && text_ ? text_->View() : std::string_view();
    }
    // The shared buffer of a string (null for an empty one or a real), for cheap sharing.
    RText* Text() const { return kind_ == kKindString ? text_ : nullptr; }

    void SetReal(double value) noexcept {
        if (kind_ != kKindReal) Release();
        kind_ = kKindReal;
        val_ = value;
    }
    void SetString(std::string_view text) {
        RText* t = MakeText(text);
        Release();
        kind_ = kKindString;
        text_ = t;
    }
    void Clear() noexcept { SetReal(0.0); }

    // Identical kind and content (exact number, byte-equal text): what `switch` matches on.
    bool SameAs(const RValue& other) const;

    // Stored form: Integer kind, Real val, String str.
    void SaveToStream(CStream& stream) const;
    void LoadFromStream(CStream& stream);

private:
    static RText* MakeText(std::string_view text) { return text.empty() ? nullptr : RText::Make(text); }
    void Release() noexcept {
        if (kind_ == kKindString && text_ && --text_->refs == 0) FreeText(text_);
    }
    static void FreeText(RText* text) noexcept;

    union {
        double val_;
        RText* text_;
    };
    int32_t kind_;
};

static_assert(sizeof(RValue) <= 16, "RValue must stay small");

} // namespace kestrin
