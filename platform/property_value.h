#pragma once
// One typed value of a property bag (platform/property_bag.h): a byte array, a 16- or 32-bit
// integer, a Boolean or a picture, with the conversions a control's reads ask for.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <variant>
#include <vector>

namespace platform {

using ByteArray = std::vector<uint8_t>;

// A picture as the store keeps it: the picture's encoded bytes. No bytes = no picture.
struct PictureData {
    ByteArray encoded;
    bool empty() const noexcept { return encoded.empty(); }
    friend bool operator==(const PictureData&, const PictureData&) = default;
};

enum class PropertyType : uint8_t { Bytes, Int16, Int32, Bool, Picture };

// The name of a type as the file and tools spell it: "bytes", "int16", "int32", "bool",
// "picture".
std::string_view propertyTypeName(PropertyType type) noexcept;
// The type a name spells, or nothing for a name that is none of them (exact, lower case).
std::optional<PropertyType> propertyTypeNamed(std::string_view name) noexcept;

// One typed value. Booleans are their own type; as integers they read as -1 (true) and 0.
// A default-constructed value is an empty byte array.
class PropertyValue {
  public:
    PropertyValue() : v_(ByteArray{}) {}
    PropertyValue(ByteArray bytes) : v_(std::move(bytes)) {}
    PropertyValue(int16_t value) : v_(value) {}
    PropertyValue(int32_t value) : v_(value) {}
    PropertyValue(bool value) : v_(value) {}
    PropertyValue(PictureData picture) : v_(std::move(picture)) {}
    // Other integer and pointer types would pick a surprising alternative; say which one.
    PropertyValue(int64_t) = delete;
    PropertyValue(const char*) = delete;

    PropertyType type() const noexcept { return static_cast<PropertyType>(v_.index()); }

    // Conversions as a control's reads need them. Numbers and Booleans convert among themselves
    // (true = -1; any non-zero number is true); a number that does not fit raises RuntimeError 6
    // (overflow). Byte arrays and pictures convert only to themselves; any other conversion
    // raises RuntimeError 13 (type mismatch).
    ByteArray toBytes() const;
    int16_t toInt16() const;
    int32_t toInt32() const;
    bool toBool() const;
    PictureData toPicture() const;

    // The bytes of a byte array or picture, without copying them; nothing for other types.
    std::optional<std::span<const uint8_t>> byteView() const noexcept;
    size_t byteSize() const noexcept;

    // Equality as the write default is compared: numbers and Booleans by numeric value (so int16
    // 0, int32 0 and false are equal); byte arrays and pictures by content, and only to their own
    // kind.
    bool sameAs(const PropertyValue& other) const;

    // Exact equality: same type and same value.
    friend bool operator==(const PropertyValue&, const PropertyValue&) = default;

  private:
    std::variant<ByteArray, int16_t, int32_t, bool, PictureData> v_;
};

}  // namespace platform
