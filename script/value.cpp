#include "script/value.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "base/stream.h"

namespace kestrin {

RText* RText::Allocate(size_t size) {
    if (size > kMaxTextBytes) throw TextLimitFault();
    void* memory = std::malloc(sizeof(RText) + size + 1);
    if (!memory) throw std::bad_alloc();
    auto* text = static_cast<RText*>(memory);
    text->refs = 1;
    text->size = static_cast<uint32_t>(size);
    text->Data()[size] = '\0';
    return text;
}

RText* RText::Make(std::string_view text) {
    RText* t = Allocate(text.size());
    if (!text.empty()) std::memcpy(t->Data(), text.data(), text.size());
    return t;
}

void RValue::FreeText(RText* text) noexcept {
    std::free(text);
}

void RText::Free(RText* text) noexcept {
    std::free(text);
}

bool RValue::SameAs(const RValue& other) const {
    if (kind_ != other.kind_) return false;
    if (kind_ == kKindString) return str() == other.str();
    return val_ == other.val_;
}

void RValue::SaveToStream(CStream& stream) const {
    stream.WriteInteger(kind_);
    stream.WriteReal(val());
    stream.WriteString(str());
}

void RValue::LoadFromStream(CStream& stream) {
    const int32_t kind = stream.ReadInteger();
    const double number = stream.ReadReal();
    std::string text = stream.ReadString();
    if (text.size() > kMaxTextBytes) throw StreamError("text too long");
    if (kind == kKindString)
        SetString(text);
    else if (kind == kKindReal)
        SetReal(number);
    else
        throw StreamError("invalid value kind");
}

} // namespace kestrin
