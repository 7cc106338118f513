#include "platform/property_bag.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <limits>
#include <nlohmann/json.hpp>
#include <optional>
#include <system_error>

#include "platform/runtime_error.h"

namespace platform {

namespace {

using Json = nlohmann::json;

constexpr int32_t kInvalidCall = 5;
constexpr std::array<std::string_view, 5> kTypeNames = {"bytes", "int16", "int32", "bool",
                                                        "picture"};

[[noreturn]] void raiseTypeMismatch() {
    throw RuntimeError(errors::kTypeMismatch, "PropertyBag", "Type mismatch");
}

bool validName(std::string_view name) {
    if (name.empty() || name.size() > PropertyBag::kMaxNameLength) return false;
    return std::all_of(name.begin(), name.end(), [](char c) { return c >= 0x20 && c <= 0x7E; });
}

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

PropertyValue entryValue(std::size_t index, PropertyType type, const Json& v) {
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
            return ByteArray(v.get_binary().begin(), v.get_binary().end());
        case PropertyType::Picture:
            if (!v.is_binary()) refuseEntry(index, "the value is not a byte string");
            return PictureData{ByteArray(v.get_binary().begin(), v.get_binary().end())};
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

Json valueJson(const PropertyValue& v) {
    switch (v.type()) {
        case PropertyType::Bytes:
            return Json::binary(v.toBytes());
        case PropertyType::Picture:
            return Json::binary(v.toPicture().encoded);
        case PropertyType::Int16:
            return v.toInt16();
        case PropertyType::Int32:
            return v.toInt32();
        case PropertyType::Bool:
            return v.toBool();
    }
    return nullptr;
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

}  // namespace

std::string_view propertyTypeName(PropertyType type) noexcept {
    const auto i = static_cast<std::size_t>(type);
    return i < kTypeNames.size() ? kTypeNames[i] : std::string_view("unknown");
}

std::string lowerName(std::string_view name) {
    std::string out(name);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

// ---- PropertyValue ----

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

bool PropertyValue::sameAs(const PropertyValue& other) const {
    const auto a = numericValue(*this);
    const auto b = numericValue(other);
    if (a || b) return a && b && *a == *b;
    return *this == other;
}

// ---- PropertyBag ----

void PropertyBag::writeProperty(std::string_view name, PropertyValue value) {
    if (!validName(name))
        throw RuntimeError(kInvalidCall, "PropertyBag", "Invalid procedure call or argument");
    const std::string key = lowerName(name);
    auto it = std::find_if(entries_.begin(), entries_.end(),
                           [&](const Entry& e) { return e.name == key; });
    if (it != entries_.end()) {
        it->value = std::move(value);
    } else {
        entries_.push_back(Entry{key, std::move(value)});
    }
}

void PropertyBag::writeProperty(std::string_view name, PropertyValue value,
                                const PropertyValue& defaultValue) {
    if (!value.sameAs(defaultValue)) {
        writeProperty(name, std::move(value));
        return;
    }
    if (!validName(name))
        throw RuntimeError(kInvalidCall, "PropertyBag", "Invalid procedure call or argument");
    // An older entry would otherwise outlive the write that made it the default again.
    const std::string key = lowerName(name);
    std::erase_if(entries_, [&](const Entry& e) { return e.name == key; });
}

const PropertyValue* PropertyBag::find(std::string_view name) const {
    const std::string key = lowerName(name);
    for (const auto& e : entries_)
        if (e.name == key) return &e.value;
    return nullptr;
}

PropertyValue PropertyBag::readProperty(std::string_view name,
                                        const PropertyValue& defaultValue) const {
    const auto* v = find(name);
    return v ? *v : defaultValue;
}

ByteArray PropertyBag::toBytes() const {
    if (entries_.size() > kMaxEntries)
        throw PropertyBagError("the bag has more than " + std::to_string(kMaxEntries) + " entries");
    Json list = Json::array();
    for (const auto& e : entries_)
        list.push_back(Json::array(
            {e.name, std::string(propertyTypeName(e.value.type())), valueJson(e.value)}));
    const Json doc = Json::array({std::string(kFormatName), kFormatVersion, std::move(list)});
    ByteArray out = Json::to_cbor(doc);
    if (out.size() > kMaxFileBytes)
        throw PropertyBagError("the bag takes more than " + std::to_string(kMaxFileBytes) +
                               " bytes");
    return out;
}

PropertyBag PropertyBag::fromBytes(std::span<const uint8_t> data) {
    if (data.size() > kMaxFileBytes)
        refuse("the file is larger than " + std::to_string(kMaxFileBytes) + " bytes");
    // The file opens with a three-part list and the format name; anything else is foreign.
    static_assert(kFormatName.size() < 24, "the name must fit a one-byte CBOR text head");
    ByteArray magic = {0x83, static_cast<uint8_t>(0x60 + kFormatName.size())};
    magic.insert(magic.end(), kFormatName.begin(), kFormatName.end());
    if (data.size() < magic.size() || !std::equal(magic.begin(), magic.end(), data.begin()))
        refuse("the file is not a property bag (it does not start with \"" +
               std::string(kFormatName) + "\")");

    checkStructure(data);
    Json doc;
    try {
        doc =
            Json::from_cbor(data.begin(), data.end(), true, true, Json::cbor_tag_handler_t::error);
    } catch (const nlohmann::json::exception& e) {
        refuse(std::string("the data is damaged (") + e.what() + ")");
    }

    if (!doc.is_array() || doc.size() != 3)
        refuse("the file must hold three parts: format name, version and entries");
    const auto version = integerOf(doc[1]);
    if (!version) refuse("the format version is not an integer");
    if (*version > kFormatVersion)
        refuse("format version " + std::to_string(*version) +
               " is newer than this program reads (" + std::to_string(kFormatVersion) + ")");
    if (*version != kFormatVersion) refuse("unknown format version " + std::to_string(*version));
    const Json& list = doc[2];
    if (!list.is_array()) refuse("the entries are not a list");

    PropertyBag bag;
    bag.entries_.reserve(list.size());
    for (std::size_t i = 0; i < list.size(); ++i) {
        const std::size_t index = i + 1;
        const Json& e = list[i];
        if (!e.is_array() || e.size() != 3)
            refuseEntry(index, "an entry must hold three fields: name, type and value");
        if (!e[0].is_string()) refuseEntry(index, "the name is not a text");
        const auto& name = e[0].get_ref<const std::string&>();
        if (!validName(name))
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
        const auto t = std::find(kTypeNames.begin(), kTypeNames.end(), typeName);
        if (t == kTypeNames.end())
            refuseEntry(index, "unknown type " + printableName(typeName) +
                                   " (expected bytes, int16, int32, bool or picture)");
        const auto type = static_cast<PropertyType>(t - kTypeNames.begin());
        bag.entries_.push_back(Entry{name, entryValue(index, type, e[2])});
    }
    return bag;
}

void PropertyBag::saveFile(const std::filesystem::path& path) const {
    const ByteArray bytes = toBytes();
    // Written beside the target and renamed over it, so a failed save leaves the old file whole.
    std::filesystem::path temp = path;
    temp += ".part";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) throw PropertyBagError("cannot write " + path.string());
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            std::error_code ignored;
            std::filesystem::remove(temp, ignored);
            throw PropertyBagError("cannot write " + path.string());
        }
    }
    std::error_code ec;
    std::filesystem::rename(temp, path, ec);
    if (ec) {
        std::error_code ignored;
        std::filesystem::remove(temp, ignored);
        throw PropertyBagError("cannot write " + path.string() + ": " + ec.message());
    }
}

PropertyBag PropertyBag::loadFile(const std::filesystem::path& path) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec) throw PropertyBagError("cannot read " + path.string() + ": " + ec.message());
    if (size > kMaxFileBytes)
        throw PropertyBagError(path.string() +
                               ": not a valid property bag: the file is larger than " +
                               std::to_string(kMaxFileBytes) + " bytes");
    std::ifstream in(path, std::ios::binary);
    if (!in) throw PropertyBagError("cannot read " + path.string());
    ByteArray data(static_cast<std::size_t>(size));
    in.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(data.size()));
    if (in.gcount() != static_cast<std::streamsize>(data.size()))
        throw PropertyBagError("cannot read " + path.string() + ": the file changed while reading");
    try {
        return fromBytes(data);
    } catch (const PropertyBagError& e) {
        throw PropertyBagError(path.string() + ": " + e.what());
    }
}

}  // namespace platform
