// The file form of a bag (property_bag_format.md): a canonical CBOR item written here directly,
// and read by first walking every item head (bounds, kinds, nesting, checksum) and only then
// handing what passed to nlohmann-json's CBOR reader.
#include "platform/property_bag_codec.h"

#include <algorithm>
#include <limits>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "platform/sha256.h"

namespace platform {

namespace {

using bag_codec::kStartBytes;
using Json = nlohmann::json;

std::string printableName(std::string_view s) {
    // Names in messages come from hostile files: show them printable and short.
    std::string out = "\"";
    for (char c : s.substr(0, 64)) {
        if (c >= 0x20 && c <= 0x7E && c != '"' && c != '\\') {
            out += c;
        } else {
            static constexpr char kHex[] = "0123456789abcdef";
            const auto u = static_cast<unsigned char>(c);
            out += "\\x";
            out += kHex[u >> 4];
            out += kHex[u & 15];
        }
    }
    if (s.size() > 64) out += "...";
    return out + "\"";
}

std::optional<int64_t> integerOf(const Json& j) {
    if (j.is_number_unsigned()) {
        const auto u = j.get<uint64_t>();
        if (u > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) return std::nullopt;
        return static_cast<int64_t>(u);
    }
    if (j.is_number_integer()) return j.get<int64_t>();
    return std::nullopt;
}

[[noreturn]] void refuse(const std::string& what) {
    throw PropertyBagError("not a valid property bag: " + what);
}

[[noreturn]] void refuseEntry(std::size_t index, const std::string& what) {
    refuse("entry " + std::to_string(index) + ": " + what);
}

// Takes the bytes out of the tree rather than copying them: a stored GIF may be most of the
// memory budget.
ByteArray takeBinary(Json& v) {
    return std::move(static_cast<std::vector<uint8_t>&>(v.get_binary()));
}

PropertyValue entryValue(std::size_t index, PropertyType type, Json& v) {
    const auto integer = [&](int64_t lo, int64_t hi) {
        const auto n = integerOf(v);
        if (!n) refuseEntry(index, "the value is not an integer");
        if (*n < lo || *n > hi)
            refuseEntry(index, "the value " + std::to_string(*n) + " is out of range for its type");
        return *n;
    };
    switch (type) {
        case PropertyType::Bytes:
            if (!v.is_binary()) refuseEntry(index, "the value is not a byte string");
            return takeBinary(v);
        case PropertyType::Picture:
            if (!v.is_binary()) refuseEntry(index, "the value is not a byte string");
            return PictureData{takeBinary(v)};
        case PropertyType::Int16:
            return static_cast<int16_t>(
                integer(std::numeric_limits<int16_t>::min(), std::numeric_limits<int16_t>::max()));
        case PropertyType::Int32:
            return static_cast<int32_t>(
                integer(std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
        case PropertyType::Bool:
            if (!v.is_boolean()) refuseEntry(index, "the value is not a Boolean");
            return v.get<bool>();
    }
    refuseEntry(index, "unknown type");
}

// The writer encodes directly rather than through a JSON tree: a stored GIF may be most of the
// memory budget, and a tree would hold one more copy of it. Heads take their shortest form, as
// any canonical CBOR encoder writes them.
void putHead(ByteArray& out, int major, uint64_t arg) {
    const auto m = static_cast<uint8_t>(major << 5);
    if (arg < 24) {
        out.push_back(static_cast<uint8_t>(m | arg));
        return;
    }
    const int bytes = arg <= 0xFF ? 1 : arg <= 0xFFFF ? 2 : arg <= 0xFFFFFFFF ? 4 : 8;
    out.push_back(static_cast<uint8_t>(m | (bytes == 1   ? 24
                                            : bytes == 2 ? 25
                                            : bytes == 4 ? 26
                                                         : 27)));
    for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<uint8_t>(arg >> (8 * i)));
}

void putText(ByteArray& out, std::string_view text) {
    putHead(out, 3, text.size());
    out.insert(out.end(), text.begin(), text.end());
}

void putBytes(ByteArray& out, std::span<const uint8_t> bytes) {
    putHead(out, 2, bytes.size());
    out.insert(out.end(), bytes.begin(), bytes.end());
}

// Bytes and pictures are written from a view of the stored bytes, without a copy.
void putValue(ByteArray& out, const PropertyValue& v) {
    if (const auto bytes = v.byteView()) return putBytes(out, *bytes);
    switch (v.type()) {
        case PropertyType::Bytes:
        case PropertyType::Picture:
            break;
        case PropertyType::Int16:
        case PropertyType::Int32: {
            const int64_t n = v.toInt32();
            if (n >= 0)
                putHead(out, 0, static_cast<uint64_t>(n));
            else
                putHead(out, 1, static_cast<uint64_t>(-(n + 1)));
            break;
        }
        case PropertyType::Bool:
            out.push_back(v.toBool() ? 0xF5 : 0xF4);
            break;
    }
}

// Walks the CBOR item heads of the whole file before any tree is built, without recursion:
// refuses truncation, trailing bytes, the kinds of item the layout never uses (maps, tags,
// indefinite lengths) and nesting or lists beyond the layout's bounds. What passes is a small,
// shallow item that the JSON library then turns into a tree safely.
struct OpenList {
    uint64_t declared, left;
};

[[noreturn]] void refuseAt(const std::vector<OpenList>& open, size_t pos, const std::string& what) {
    std::string entry;
    if (open.size() >= 2)
        entry = "entry " + std::to_string(open[1].declared - open[1].left + 1) + ": ";
    refuse(entry + what + " (at byte " + std::to_string(pos) + ")");
}

void checkStructure(std::span<const uint8_t> data) {
    std::vector<OpenList> open;
    size_t pos = 0;
    const auto fail = [&](const std::string& what) { refuseAt(open, pos, what); };
    do {
        if (pos >= data.size()) fail("the file is truncated");
        const uint8_t head = data[pos++];
        const int major = head >> 5, info = head & 31;
        uint64_t arg = static_cast<uint64_t>(info);
        if (info >= 24 && info <= 27) {
            const size_t n = size_t{1} << (info - 24);
            if (data.size() - pos < n) fail("the file is truncated");
            arg = 0;
            for (size_t i = 0; i < n; ++i) arg = arg << 8 | data[pos++];
        } else if (info == 31) {
            fail("the data is damaged (indefinite lengths are not used)");
        } else if (info > 27) {
            fail("the data is damaged (reserved item head)");
        }
        switch (major) {
            case 0:
            case 1:  // integers: beyond 64-bit signed, the parser would wrap them silently
                if (arg > static_cast<uint64_t>(std::numeric_limits<int64_t>::max()))
                    refuseAt(open, pos, "a number is out of range");
                break;
            case 2:
            case 3:  // byte and text strings
                if (arg > data.size() - pos) fail("the file is truncated");
                pos += static_cast<size_t>(arg);
                break;
            case 4:  // array
                if (open.size() >= 3) fail("the data is nested deeper than the layout allows");
                if (arg > PropertyBag::kMaxEntries)
                    fail(open.size() == 1
                             ? "there are more than " + std::to_string(PropertyBag::kMaxEntries) +
                                   " entries"
                             : "a list in the file is too long");
                if (arg > 0) {
                    open.push_back(OpenList{arg, arg});
                    continue;  // the array's items follow
                }
                break;
            case 5:
                refuseAt(open, pos, "the data is damaged (maps are not used)");
            case 6:
                refuseAt(open, pos, "the data is damaged (tags are not used)");
            default:
                break;  // integers, Booleans, null, floats: checked by type later
        }
        // One item is complete; close every list it completes.
        while (!open.empty() && --open.back().left == 0) open.pop_back();
    } while (!open.empty());
    if (pos != data.size()) fail("the data is damaged (bytes follow the end of the data)");
}

// Version 2 ends with the checksum: a 32-byte byte string (head 58 20) holding the SHA-256 of
// every byte before it.
constexpr size_t kChecksumItemBytes = 2 + 32;

struct Version {
    uint64_t number;
    int parts;  // items the outer array holds
};

// Reads the version right after the start, before anything else is looked at, so that a file
// of a later version is named as such whatever its layout.
Version readVersion(std::span<const uint8_t> data) {
    size_t pos = kStartBytes;
    if (pos >= data.size()) refuse("the file is truncated (it ends before the format version)");
    const uint8_t head = data[pos++];
    if (head >> 5 != 0) refuse("the format version is not an integer");
    uint64_t number = head & 31;
    if (number >= 24) {
        if (number > 27) refuse("the format version is not an integer");
        const size_t n = size_t{1} << (number - 24);
        if (data.size() - pos < n) refuse("the file is truncated (inside the format version)");
        number = 0;
        for (size_t i = 0; i < n; ++i) number = number << 8 | data[pos++];
    }
    if (number > static_cast<uint64_t>(PropertyBag::kFormatVersion))
        // Not "invalid": the file may be perfectly good for the program that wrote it.
        throw PropertyBagError("the file was written by a newer program (format version " +
                               std::to_string(number) + "; this program reads versions 1 to " +
                               std::to_string(PropertyBag::kFormatVersion) + ")");
    if (number == 1) return {1, 3};
    if (number == 2) return {2, 4};
    refuse("unknown format version " + std::to_string(number));
}

// The start and the version, which come before anything else: a foreign file is named as
// such, and a file of a newer version too, whatever its size or the rest of its bytes.
Version startAndVersion(std::span<const uint8_t> data) {
    // The file opens with a short list and the format name; anything else is foreign.
    static_assert(PropertyBag::kFormatName.size() < 24, "the name must fit a one-byte text head");
    const std::string_view name = PropertyBag::kFormatName;
    if (data.size() < kStartBytes || data[0] < 0x80 || data[0] > 0x97 ||
        data[1] != 0x60 + name.size() || !std::equal(name.begin(), name.end(), data.begin() + 2))
        refuse("the file is not a property bag (it does not start with \"" + std::string(name) +
               "\")");
    return readVersion(data);
}

// True when the file ends with a checksum item that matches everything before it. False when
// there is no checksum item at the end (the caller finds out why); refuses a mismatch.
bool checksumMatches(std::span<const uint8_t> data) {
    if (data.size() < kStartBytes + 1 + kChecksumItemBytes) return false;
    const size_t at = data.size() - kChecksumItemBytes;
    if (data[at] != 0x58 || data[at + 1] != 32) return false;
    const Sha256Digest digest = sha256(data.first(at));
    if (!std::equal(digest.begin(), digest.end(), data.begin() + at + 2))
        refuse("the content does not match its checksum (the file is damaged)");
    return true;
}

}  // namespace

void bag_codec::checkStart(std::span<const uint8_t> start) {
    startAndVersion(start);
}

ByteArray PropertyBag::toBytes() const {
    if (entries_.size() > kMaxEntries)
        throw PropertyBagError("the bag has more than " + std::to_string(kMaxEntries) + " entries");
    // An upper bound of the size, at most about 20 bytes an entry too high: a bag far beyond
    // the limit is refused before any memory is taken for it.
    size_t size = kStartBytes + 1 + 9 + kChecksumItemBytes;
    for (const auto& e : entries_) size += 1 + 2 + e.name.size() + 8 + 9 + e.value.byteSize();
    if (size > maxFileBytes() + kMaxEntries * 32)
        throw PropertyBagError("the bag takes more than " + std::to_string(maxFileBytes()) +
                               " bytes");
    ByteArray out;
    out.reserve(size);
    putHead(out, 4, 4);
    putText(out, kFormatName);
    putHead(out, 0, kFormatVersion);
    putHead(out, 4, entries_.size());
    for (const auto& e : entries_) {
        putHead(out, 4, 3);
        putText(out, e.name);
        putText(out, propertyTypeName(e.value.type()));
        putValue(out, e.value);
    }
    const Sha256Digest digest = sha256(out);
    putBytes(out, digest);
    if (out.size() > maxFileBytes())
        throw PropertyBagError("the bag takes more than " + std::to_string(maxFileBytes()) +
                               " bytes");
    return out;
}

PropertyBag PropertyBag::fromBytes(std::span<const uint8_t> data) {
    const Version version = startAndVersion(data);
    if (data.size() > maxFileBytes())
        refuse("the file is larger than " + std::to_string(maxFileBytes()) + " bytes");
    // A damaged byte anywhere is named as such before the structure is looked at; a file cut
    // short has no checksum at its end, and the walk below says where it ends.
    const bool checked = version.number >= 2 && checksumMatches(data);
    checkStructure(data);
    if (version.number >= 2 && !checked) refuse("the checksum at the end of the file is missing");

    Json doc;
    try {
        doc =
            Json::from_cbor(data.begin(), data.end(), true, true, Json::cbor_tag_handler_t::error);
    } catch (const nlohmann::json::exception& e) {
        refuse(std::string("the data is damaged (") + e.what() + ")");
    }

    if (!doc.is_array() || doc.size() != static_cast<size_t>(version.parts))
        refuse(version.parts == 3
                   ? "the file must hold three parts: format name, version and entries"
                   : "the file must hold four parts: format name, version, entries and checksum");
    if (version.parts == 4 && (!doc[3].is_binary() || doc[3].get_binary().size() != 32))
        refuse("the checksum at the end of the file is missing");
    Json& list = doc[2];
    if (!list.is_array()) refuse("the entries are not a list");

    PropertyBag bag;
    bag.entries_.reserve(list.size());
    for (std::size_t i = 0; i < list.size(); ++i) {
        const std::size_t index = i + 1;
        Json& e = list[i];
        if (!e.is_array() || e.size() != 3)
            refuseEntry(index, "an entry must hold three fields: name, type and value");
        if (!e[0].is_string()) refuseEntry(index, "the name is not a text");
        const auto& name = e[0].get_ref<const std::string&>();
        if (!validPropertyName(name))
            refuseEntry(index, "the name " + printableName(name) +
                                   " is empty, too long or has characters other than printable "
                                   "ASCII");
        if (lowerName(name) != name)
            refuseEntry(index, "the name " + printableName(name) + " is not in lower case");
        for (std::size_t j = 0; j < bag.entries_.size(); ++j)
            if (bag.entries_[j].name == name)
                refuseEntry(index, "the name " + printableName(name) +
                                       " was already given by entry " + std::to_string(j + 1));
        if (!e[1].is_string()) refuseEntry(index, "the type is not a text");
        const auto& typeName = e[1].get_ref<const std::string&>();
        const auto type = propertyTypeNamed(typeName);
        if (!type)
            refuseEntry(index, "unknown type " + printableName(typeName) +
                                   " (expected bytes, int16, int32, bool or picture)");
        bag.entries_.push_back(Entry{name, entryValue(index, *type, e[2])});
    }
    return bag;
}

}  // namespace platform
