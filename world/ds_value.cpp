#include "world/ds_value.h"

#include <string>

#include "base/stream.h"

namespace kestrin {

RValue DsValue::Value() const noexcept {
    if (IsReal()) return RValue(val());
    RText* text = Text();
    if (text) text->Retain();
    return RValue::Adopt(text);
}

void DsValue::DropBoth() noexcept {
    if (--both_->refs == 0) {
        RText::Release(both_->text);
        delete both_;
    }
}

void DsValue::Become(int32_t kind, double val, RText* text) {
    Both* both = nullptr;
    const bool plain = kind == kKindReal ? text == nullptr : std::bit_cast<uint64_t>(val) == 0;
    if (!plain) {
        try {
            both = new Both{1, val, text};
        } catch (...) {
            RText::Release(text);
            throw;
        }
    }
    Drop();
    kind_ = kind;
    boxed_ = !plain;
    if (both)
        both_ = both;
    else if (kind == kKindReal)
        val_ = val;
    else
        text_ = text;
}

void DsValue::TakeText(const DsValue& value) {
    RText* text = value.Text();
    if (text) text->Retain();
    AdoptText(text);
}

void DsValue::BecomeReal(double value) {
    RText* text = Text();
    if (text) text->Retain();
    Become(kKindReal, value, text);
}

void DsValue::AdoptText(RText* text) {
    Become(kKindString, val(), text);
}

void DsValue::SaveToStream(CStream& stream) const {
    stream.WriteInteger(kind_);
    stream.WriteReal(val());
    stream.WriteString(str());
}

void DsValue::LoadFromStream(CStream& stream) {
    const int32_t kind = stream.ReadInteger();
    const double number = stream.ReadReal();
    const std::string text = stream.ReadString();
    if (kind != kKindReal && kind != kKindString) throw StreamError("invalid value kind");
    if (text.size() > kMaxTextBytes) throw StreamError("text too long");
    Become(kind, number, text.empty() ? nullptr : RText::Make(text));
}

} // namespace kestrin
