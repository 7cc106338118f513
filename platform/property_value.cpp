#include "platform/property_value.h"

#include <algorithm>
#include <array>

#include "platform/runtime_error.h"

namespace platform {

namespace {

constexpr std::array<std::string_view, 5> kTypeNames = {"bytes", "int16", "int32", "bool",
                                                        "picture"};

[[noreturn]] void raiseTypeMismatch() {
    throw RuntimeError(errors::kTypeMismatch, "PropertyBag", "Type mismatch");
}

// Numbers and Booleans as one integer, the way a control's reads see them (true = -1).
std::optional<int64_t> numericValue(const PropertyValue& v) {
    switch (v.type()) {
        case PropertyType::Int16:
            return v.toInt16();
        case PropertyType::Int32:
            return v.toInt32();
        case PropertyType::Bool:
            return v.toBool() ? -1 : 0;
        default:
            return std::nullopt;
    }
}

}  // namespace

std::string_view propertyTypeName(PropertyType type) noexcept {
    const auto i = static_cast<std::size_t>(type);
    return i < kTypeNames.size() ? kTypeNames[i] : std::string_view("unknown");
}

std::optional<PropertyType> propertyTypeNamed(std::string_view name) noexcept {
    const auto t = std::find(kTypeNames.begin(), kTypeNames.end(), name);
    if (t == kTypeNames.end()) return std::nullopt;
    return static_cast<PropertyType>(t - kTypeNames.begin());
}

ByteArray PropertyValue::toBytes() const {
    if (const auto* b = std::get_if<ByteArray>(&v_)) return *b;
    raiseTypeMismatch();
}

PictureData PropertyValue::toPicture() const {
    if (const auto* p = std::get_if<PictureData>(&v_)) return *p;
    raiseTypeMismatch();
}

int16_t PropertyValue::toInt16() const {
    if (const auto* i = std::get_if<int16_t>(&v_)) return *i;
    if (const auto* i = std::get_if<int32_t>(&v_)) return checkedNarrow<int16_t>(*i, "PropertyBag");
    if (const auto* b = std::get_if<bool>(&v_)) return *b ? -1 : 0;
    raiseTypeMismatch();
}

int32_t PropertyValue::toInt32() const {
    if (const auto* i = std::get_if<int16_t>(&v_)) return *i;
    if (const auto* i = std::get_if<int32_t>(&v_)) return *i;
    if (const auto* b = std::get_if<bool>(&v_)) return *b ? -1 : 0;
    raiseTypeMismatch();
}

bool PropertyValue::toBool() const {
    if (const auto* b = std::get_if<bool>(&v_)) return *b;
    if (const auto* i = std::get_if<int16_t>(&v_)) return *i != 0;
    if (const auto* i = std::get_if<int32_t>(&v_)) return *i != 0;
    raiseTypeMismatch();
}

std::optional<std::span<const uint8_t>> PropertyValue::byteView() const noexcept {
    if (const auto* b = std::get_if<ByteArray>(&v_)) return std::span<const uint8_t>(*b);
    if (const auto* p = std::get_if<PictureData>(&v_)) return std::span<const uint8_t>(p->encoded);
    return std::nullopt;
}

size_t PropertyValue::byteSize() const noexcept {
    const auto bytes = byteView();
    return bytes ? bytes->size() : 0;
}

bool PropertyValue::sameAs(const PropertyValue& other) const {
    const auto a = numericValue(*this);
    const auto b = numericValue(other);
    if (a || b) return a && b && *a == *b;
    return *this == other;
}

}  // namespace platform
