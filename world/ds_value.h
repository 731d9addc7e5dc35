#pragma once
// DsValue: a value as the containers keep it, its kind with both fields. A script value holds
// only the field of its kind, but a grid cell set to a string keeps the real it held (and one
// set to a real keeps its text), and a stored text carries all three fields of every value, so
// the containers keep both: a text read and written again comes out byte for byte.
//
// Values whose other field is the real +0 or the empty text (nearly all) take 16 bytes like
// an RValue; the others hold both fields in a shared box.

#include <bit>
#include <cstdint>
#include <string_view>

#include "script/value.h"

namespace kestrin {

class CStream;

class DsValue {
public:
    DsValue() noexcept : val_(0.0) {}
    // A script value: the field of its kind, the other one the real 0 or the empty text.
    explicit DsValue(const RValue& value) noexcept : kind_(value.kind()) {
        if (IsReal()) {
            val_ = value.val();
        } else {
            text_ = value.Text();
            if (text_) text_->Retain();
        }
    }
    DsValue(const DsValue& other) noexcept : raw_(other.raw_), kind_(other.kind_), boxed_(other.boxed_) {
        Hold();
    }
    DsValue(DsValue&& other) noexcept : raw_(other.raw_), kind_(other.kind_), boxed_(other.boxed_) {
        other.Forget();
    }
    DsValue& operator=(const DsValue& other) noexcept {
        other.Hold(); // first, for self-assignment
        Drop();
        raw_ = other.raw_;
        kind_ = other.kind_;
        boxed_ = other.boxed_;
        return *this;
    }
    DsValue& operator=(DsValue&& other) noexcept {
        if (this != &other) {
            Drop();
            raw_ = other.raw_;
            kind_ = other.kind_;
            boxed_ = other.boxed_;
            other.Forget();
        }
        return *this;
    }
    ~DsValue() { Drop(); }

    int32_t kind() const noexcept { return kind_; }
    bool IsReal() const noexcept { return kind_ == kKindReal; }
    bool IsString() const noexcept { return kind_ == kKindString; }
    // Both fields, whatever the kind.
    double val() const noexcept {
        if (boxed_) [[unlikely]]
            return both_->val;
        return IsReal() ? val_ : 0.0;
    }
    std::string_view str() const noexcept {
        const RText* text = Text();
        return text ? text->View() : std::string_view();
    }

    // The value as scripts see it: the field of its kind only.
    RValue Value() const noexcept;
    // Takes the kind of value and the field that kind selects; the other field stays.
    void SetField(const DsValue& value) {
        if (value.IsReal())
            SetReal(value.val());
        else
            TakeText(value);
    }
    // Becomes a real, or a string with the text whose reference is passed (null: the empty
    // text); the other field stays.
    void SetReal(double value) {
        if (!boxed_ && IsReal())
            val_ = value;
        else
            BecomeReal(value);
    }
    void AdoptText(RText* text);

    // Kind, real and text, as a stored value is read and written.
    void SaveToStream(CStream& stream) const;
    void LoadFromStream(CStream& stream);

private:
    struct Both {
        uint32_t refs;
        double val;
        RText* text;
    };
    RText* Text() const noexcept {
        if (boxed_) [[unlikely]]
            return both_->text;
        return IsString() ? text_ : nullptr;
    }
    void Hold() const noexcept {
        if (boxed_)
            ++both_->refs;
        else if (IsString() && text_)
            text_->Retain();
    }
    void Drop() noexcept {
        if (boxed_) [[unlikely]]
            DropBoth();
        else if (IsString())
            RText::Release(text_);
    }
    void DropBoth() noexcept;
    void BecomeReal(double value);
    void TakeText(const DsValue& value);
    void Forget() noexcept {
        val_ = 0.0;
        kind_ = kKindReal;
        boxed_ = false;
    }
    // Replaces the value by kind, real and the text whose reference is passed, boxed only
    // when the field the kind does not use is not the real +0 or the empty text.
    void Become(int32_t kind, double val, RText* text);

    union {
        double val_;
        RText* text_;
        Both* both_;
        uint64_t raw_;
    };
    int32_t kind_ = kKindReal;
    bool boxed_ = false;
};

static_assert(sizeof(DsValue) <= 16, "a container value stays as small as a script value");

} // namespace kestrin
