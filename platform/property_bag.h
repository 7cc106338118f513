#pragma once
// The keyed property store in which a control keeps its stored description, and the file that
// holds one (layout in property_bag_format.md beside this header).
//
// Files: property_value.* the typed value, property_bag.cpp the store and its rules,
// property_bag_codec.cpp the file form (its encoder and its checked reader), property_bag_file.cpp
// reading and saving files.
//
// Rules the store keeps, whatever the caller does:
//   1. writeProperty(name, value, default) stores nothing when value equals default (and drops an
//      entry stored earlier under that name); without a default the value is always stored.
//   2. readProperty(name, default) gives the stored value, or the default when the name is absent.
//   3. Names compare without regard to case; they are kept in lower case.
// Entries keep the order in which their names were first stored; rewriting a name keeps its place.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/property_value.h"

namespace platform {

// A damaged, truncated, foreign or oversized description file; what() names what is wrong.
class PropertyBagError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class PropertyBag {
  public:
    struct Entry {
        std::string name;  // lower case
        PropertyValue value;
        friend bool operator==(const Entry&, const Entry&) = default;
    };

    // Limits that keep reading bounded; files beyond them are refused, and saving a bag beyond
    // them fails. The file limit is the memory budget (the largest GIF the control loads) plus
    // room for every other entry beside it, so any GIF the control can load can be stored.
    static constexpr size_t kFileOverheadBytes = size_t{1024} * 1024;
    static size_t maxFileBytes() noexcept;
    static constexpr size_t kMaxEntries = 1024;
    static constexpr size_t kMaxNameLength = 255;
    // Version 2 adds a SHA-256 checksum of the content; version 1 files still read.
    static constexpr int kFormatVersion = 2;
    static constexpr std::string_view kFormatName = "kavrilo-property-bag";

    // Stores value under name unless it is the same as defaultValue (rule 1). A name must be
    // 1 to kMaxNameLength printable ASCII characters; otherwise RuntimeError 5 is raised and the
    // bag is unchanged.
    void writeProperty(std::string_view name, PropertyValue value);
    void writeProperty(std::string_view name, PropertyValue value,
                       const PropertyValue& defaultValue);

    // The stored value, or defaultValue when the name is absent (rule 2).
    PropertyValue readProperty(std::string_view name, const PropertyValue& defaultValue) const;

    // The stored value or nullptr; the pointer lives until the bag is next changed.
    const PropertyValue* find(std::string_view name) const;
    bool contains(std::string_view name) const { return find(name) != nullptr; }

    const std::vector<Entry>& entries() const noexcept { return entries_; }
    size_t size() const noexcept { return entries_.size(); }
    bool empty() const noexcept { return entries_.empty(); }

    // The file form of the bag (the current format version). Throws PropertyBagError when the
    // bag exceeds the limits.
    ByteArray toBytes() const;
    // Parses a whole file into a new bag. Throws PropertyBagError naming the fault; never reads
    // beyond data, never gives a partly read bag. The version is read first: a file of a newer
    // version is refused as such, whatever follows it; a checksum that does not match the
    // content is refused as damage.
    static PropertyBag fromBytes(std::span<const uint8_t> data);

    // Replaces this bag with the one in data; on any error this bag is left as it was.
    void load(std::span<const uint8_t> data) { *this = fromBytes(data); }

    // File helpers: errors (including those of the file system) are PropertyBagError, and their
    // text names the file. Saving replaces the file in one step (writeFileAtomically): a failed
    // save leaves the old file whole.
    void saveFile(const std::filesystem::path& path) const;
    static PropertyBag loadFile(const std::filesystem::path& path);

    friend bool operator==(const PropertyBag&, const PropertyBag&) = default;

  private:
    std::vector<Entry> entries_;
};

// Lower-cases ASCII letters, as names are kept.
std::string lowerName(std::string_view name);
// True for a name a bag takes: 1 to PropertyBag::kMaxNameLength printable ASCII characters.
bool validPropertyName(std::string_view name) noexcept;

}  // namespace platform
