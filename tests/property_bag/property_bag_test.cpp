#include "platform/property_bag.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "platform/runtime_error.h"
#include "platform/sha256.h"

namespace {

using platform::ByteArray;
using platform::PictureData;
using platform::PropertyBag;
using platform::PropertyBagError;
using platform::PropertyType;
using platform::PropertyValue;
using platform::RuntimeError;
using Json = nlohmann::json;

int errorNumber(const std::function<void()>& f) {
    try {
        f();
    } catch (const RuntimeError& e) {
        return e.number();
    }
    return 0;
}

// The message of the refusal, or "" when the bytes were accepted.
std::string refusal(const ByteArray& bytes) {
    try {
        PropertyBag::fromBytes(bytes);
    } catch (const PropertyBagError& e) {
        return e.what();
    }
    return "";
}

// A file in the layout of format version 1 (no checksum).
ByteArray cborFile(const Json& entries, const Json& version = 1) {
    return Json::to_cbor(Json::array({"kavrilo-property-bag", version, entries}));
}

// The same content in the layout of version 2: four parts, the last the SHA-256 of every byte
// before it.
ByteArray checkedFile(const Json& entries) {
    ByteArray bytes = cborFile(entries, 2);
    bytes[0] = 0x84;
    const auto digest = platform::sha256(bytes);
    bytes.push_back(0x58);
    bytes.push_back(32);
    bytes.insert(bytes.end(), digest.begin(), digest.end());
    return bytes;
}

// A bag like a stored control description: host extent first, then the control's keys.
PropertyBag sampleBag() {
    PropertyBag bag;
    bag.writeProperty("_ExtentX", int32_t{3810});
    bag.writeProperty("_ExtentY", int32_t{3810});
    ByteArray gif(300);
    for (size_t i = 0; i < gif.size(); ++i) gif[i] = static_cast<uint8_t>(i * 7);
    bag.writeProperty("GIF", gif);
    bag.writeProperty("Delay", int16_t{5}, int16_t{50});
    bag.writeProperty("Loops", int32_t{28789}, int16_t{0});
    bag.writeProperty("Enabled", false, true);
    bag.writeProperty("MouseIcon", PictureData{{1, 2, 3}}, PictureData{});
    return bag;
}

TEST(PropertyBagRules, DefaultsAreNotStoredAndAbsentNamesReadAsDefault) {
    PropertyBag bag;
    bag.writeProperty("Delay", int16_t{50}, int16_t{50});
    bag.writeProperty("Loops", int32_t{0}, int16_t{0});  // equal across integer widths
    bag.writeProperty("MousePointer", int16_t{0}, int32_t{0});
    bag.writeProperty("Enabled", true, true);
    bag.writeProperty("BkgUsed", false, false);
    bag.writeProperty("MouseIcon", PictureData{}, PictureData{});
    EXPECT_TRUE(bag.empty());
    EXPECT_EQ(bag.readProperty("Delay", int16_t{77}), PropertyValue(int16_t{77}));

    bag.writeProperty("GIF", ByteArray{});  // no default: always stored, even when empty
    ASSERT_EQ(bag.size(), 1u);
    EXPECT_EQ(bag.readProperty("GIF", ByteArray{9}), PropertyValue(ByteArray{}));

    // A Boolean and a number are compared by value: true is -1.
    bag.writeProperty("Flag", int16_t{-1}, true);
    bag.writeProperty("Other", int32_t{1}, true);
    EXPECT_FALSE(bag.contains("flag"));
    EXPECT_TRUE(bag.contains("other"));
    // A byte array is never the same as a number, even an empty one.
    bag.writeProperty("Mixed", ByteArray{}, int32_t{0});
    EXPECT_TRUE(bag.contains("mixed"));
}

TEST(PropertyBagRules, WritingTheDefaultDropsAnEarlierEntry) {
    PropertyBag bag;
    bag.writeProperty("Stretch", int32_t{2}, int32_t{1});
    bag.writeProperty("Stretch", int32_t{1}, int32_t{1});
    EXPECT_FALSE(bag.contains("stretch"));
    EXPECT_EQ(bag.readProperty("Stretch", int32_t{1}).toInt32(), 1);
}

TEST(PropertyBagRules, NamesIgnoreCaseKeepLowerCaseAndFirstWrittenOrder) {
    PropertyBag bag;
    bag.writeProperty("GIF", ByteArray{1});
    bag.writeProperty("Loops", int32_t{3});
    bag.writeProperty("_extentx", int32_t{10});
    bag.writeProperty("gIf", ByteArray{2});  // replaces in place
    ASSERT_EQ(bag.size(), 3u);
    EXPECT_EQ(bag.entries()[0].name, "gif");
    EXPECT_EQ(bag.entries()[0].value, PropertyValue(ByteArray{2}));
    EXPECT_EQ(bag.entries()[1].name, "loops");
    EXPECT_EQ(bag.entries()[2].name, "_extentx");
    EXPECT_EQ(bag.readProperty("LOOPS", int32_t{0}).toInt32(), 3);
    EXPECT_EQ(bag.readProperty("gif", ByteArray{}).toBytes(), ByteArray{2});
}

TEST(PropertyBagRules, InvalidNamesAreRefusedAndLeaveTheBagAlone) {
    PropertyBag bag;
    EXPECT_EQ(errorNumber([&] { bag.writeProperty("", int32_t{1}); }), 5);
    EXPECT_EQ(errorNumber([&] { bag.writeProperty("a\nb", int32_t{1}); }), 5);
    EXPECT_EQ(errorNumber([&] { bag.writeProperty(std::string(256, 'a'), int32_t{1}); }), 5);
    EXPECT_EQ(errorNumber([&] { bag.writeProperty("", int32_t{1}, int32_t{1}); }), 5);
    EXPECT_EQ(errorNumber([&] { bag.writeProperty(std::string(255, 'a'), int32_t{1}); }), 0);
    EXPECT_EQ(bag.size(), 1u);
}

TEST(PropertyValueConversions, NumbersAndBooleansConvertOthersMismatch) {
    const PropertyValue big(int32_t{40000});
    EXPECT_EQ(big.toInt32(), 40000);
    EXPECT_EQ(errorNumber([&] { big.toInt16(); }), 6);
    EXPECT_EQ(PropertyValue(int32_t{-32768}).toInt16(), -32768);
    EXPECT_EQ(errorNumber([] { PropertyValue(int32_t{-32769}).toInt16(); }), 6);
    EXPECT_EQ(PropertyValue(int16_t{-5}).toInt32(), -5);
    EXPECT_EQ(PropertyValue(true).toInt16(), -1);
    EXPECT_EQ(PropertyValue(true).toInt32(), -1);
    EXPECT_EQ(PropertyValue(false).toInt16(), 0);
    EXPECT_TRUE(PropertyValue(int16_t{2}).toBool());
    EXPECT_TRUE(PropertyValue(int32_t{-65536}).toBool());
    EXPECT_FALSE(PropertyValue(int32_t{0}).toBool());

    const PropertyValue bytes(ByteArray{1, 2});
    const PropertyValue picture(PictureData{{7}});
    for (const auto& v : {bytes, picture}) {
        EXPECT_EQ(errorNumber([&] { v.toInt16(); }), 13);
        EXPECT_EQ(errorNumber([&] { v.toInt32(); }), 13);
        EXPECT_EQ(errorNumber([&] { v.toBool(); }), 13);
    }
    EXPECT_EQ(errorNumber([&] { bytes.toPicture(); }), 13);
    EXPECT_EQ(errorNumber([&] { picture.toBytes(); }), 13);
    EXPECT_EQ(errorNumber([] { PropertyValue(int16_t{1}).toBytes(); }), 13);
    EXPECT_EQ(errorNumber([] { PropertyValue(true).toPicture(); }), 13);
    EXPECT_EQ(picture.toPicture().encoded, ByteArray{7});
}

TEST(PropertyBagFile, EveryTypeAndExtremeRoundTripsInOrder) {
    PropertyBag bag = sampleBag();
    bag.writeProperty("i16min", int16_t{-32768});
    bag.writeProperty("i16max", int16_t{32767});
    bag.writeProperty("i32min", int32_t{INT32_MIN});
    bag.writeProperty("i32max", int32_t{INT32_MAX});
    bag.writeProperty("yes", true);
    bag.writeProperty("nopicture", PictureData{});
    bag.writeProperty("empty", ByteArray{});
    bag.writeProperty("name with spaces ~!", int16_t{0});
    const PropertyBag back = PropertyBag::fromBytes(bag.toBytes());
    EXPECT_EQ(back, bag);
    for (size_t i = 0; i < bag.size(); ++i)
        EXPECT_EQ(back.entries()[i].value.type(), bag.entries()[i].value.type()) << i;
    EXPECT_EQ(PropertyBag::fromBytes(PropertyBag().toBytes()), PropertyBag());
}

TEST(PropertyBagFile, LayoutIsFixedAndVersionOneStillReads) {
    PropertyBag bag;
    bag.writeProperty("Loops", int32_t{28789});
    bag.writeProperty("Enabled", false);
    bag.writeProperty("Delay", int16_t{-2});
    bag.writeProperty("GIF", ByteArray{0x47, 0x3B});
    const Json entries =
        Json::array({Json::array({"loops", "int32", 28789}),
                     Json::array({"enabled", "bool", false}), Json::array({"delay", "int16", -2}),
                     Json::array({"gif", "bytes", Json::binary({0x47, 0x3B})})});
    const ByteArray bytes = bag.toBytes();
    EXPECT_EQ(bytes, checkedFile(entries));
    const std::string start(bytes.begin(), bytes.begin() + 22);
    EXPECT_EQ(start, "\x84\x74kavrilo-property-bag");
    // Files written before the checksum came read as they always did.
    EXPECT_EQ(PropertyBag::fromBytes(cborFile(entries)), bag);
}

TEST(PropertyBagFile, SavesAndLoadsFilesAndNamesTheFileInErrors) {
    const auto dir = std::filesystem::temp_directory_path() /
                     ("property_bag_test_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto path = dir / "a.bag";
    sampleBag().saveFile(path);
    EXPECT_EQ(PropertyBag::loadFile(path), sampleBag());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);

    std::ofstream(path, std::ios::binary | std::ios::trunc) << "GIF89a";
    try {
        PropertyBag::loadFile(path);
        ADD_FAILURE() << "a foreign file was accepted";
    } catch (const PropertyBagError& e) {
        EXPECT_NE(std::string(e.what()).find("a.bag"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("not a property bag"), std::string::npos) << e.what();
    }
    EXPECT_THROW(PropertyBag::loadFile(dir / "missing.bag"), PropertyBagError);

    // A file beyond the limit is refused by its size, before it is read (a sparse file), unless
    // its start says it comes from a newer program.
    sampleBag().saveFile(path);
    std::filesystem::resize_file(path, PropertyBag::maxFileBytes() + 1);
    const auto refusalOf = [&] {
        try {
            PropertyBag::loadFile(path);
        } catch (const PropertyBagError& e) {
            return std::string(e.what());
        }
        return std::string();
    };
    EXPECT_NE(refusalOf().find("larger than"), std::string::npos) << refusalOf();
    std::fstream(path, std::ios::binary | std::ios::in | std::ios::out).seekp(22).put(3);
    EXPECT_NE(refusalOf().find("newer program"), std::string::npos) << refusalOf();
    std::filesystem::remove_all(dir);
}

TEST(PropertyBagDamage, EveryTruncationIsRefused) {
    const ByteArray full = sampleBag().toBytes();
    for (size_t n = 0; n < full.size(); ++n) {
        const ByteArray cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n));
        EXPECT_NE(refusal(cut), "") << "accepted " << n << " of " << full.size() << " bytes";
    }
    ByteArray longer = full;
    longer.push_back(0);
    EXPECT_NE(refusal(longer).find("damaged"), std::string::npos) << refusal(longer);
}

TEST(PropertyBagDamage, TruncationInsideAnEntryNamesIt) {
    const ByteArray full = sampleBag().toBytes();
    const ByteArray cut(full.begin(), full.begin() + 100);  // inside the third entry ("gif")
    const std::string why = refusal(cut);
    EXPECT_NE(why.find("entry 3"), std::string::npos) << why;
    EXPECT_NE(why.find("truncated"), std::string::npos) << why;
}

TEST(PropertyBagDamage, EveryFlippedByteIsRefusedAndTheChecksumNamesDamagedContent) {
    const ByteArray full = sampleBag().toBytes();
    for (size_t i = 0; i < full.size(); ++i) {
        for (uint8_t mask : {0x01, 0x10, 0x80, 0xFF}) {
            ByteArray bad = full;
            bad[i] ^= mask;
            const std::string why = refusal(bad);
            EXPECT_NE(why, "") << "byte " << i << " ^ " << int{mask} << " was accepted";
            // Past the start and the version, and before the checksum item, a flip is caught
            // by the checksum whatever it does to the structure.
            if (i > 22 && i < full.size() - 34) {
                EXPECT_NE(why.find("does not match its checksum"), std::string::npos)
                    << "byte " << i << ": " << why;
            }
        }
    }
    // Version 1 has no checksum: a flip inside a stored value reads silently there.
    ByteArray old = cborFile(Json::array({Json::array({"gif", "bytes", Json::binary({1, 2})})}));
    old[old.size() - 1] ^= 0x40;
    EXPECT_EQ(refusal(old), "");
}

TEST(PropertyBagDamage, ForeignFilesAreRefusedAsSuch) {
    for (const std::string text : {"", "GIF89a\x01\x00", "{\"format\":\"kavrilo-property-bag\"}",
                                   "\x83\x74kavrilo-property-bah"}) {
        const std::string why = refusal(ByteArray(text.begin(), text.end()));
        EXPECT_NE(why.find("not a property bag"), std::string::npos) << why;
    }
}

TEST(PropertyBagDamage, TheVersionIsReadBeforeAnythingElse) {
    // A later version is named as such whatever follows it: another layout, damage, truncation.
    const std::string newer = "written by a newer program (format version 3;";
    ByteArray later = cborFile(Json::array(), 3);
    EXPECT_NE(refusal(later).find(newer), std::string::npos) << refusal(later);
    later.insert(later.end(), {0xBF, 0xFF, 0x00, 0xC0});  // a map, a break, a tag
    EXPECT_NE(refusal(later).find(newer), std::string::npos) << refusal(later);
    later[0] = 0x97;
    later.resize(23);
    EXPECT_NE(refusal(later).find(newer), std::string::npos) << refusal(later);
    const std::string huge = refusal(cborFile(Json::array(), UINT64_MAX));
    EXPECT_NE(huge.find("newer program (format version 18446744073709551615;"), std::string::npos)
        << huge;

    EXPECT_NE(refusal(cborFile(Json::array(), 0)).find("unknown format version 0"),
              std::string::npos);
    EXPECT_NE(refusal(cborFile(Json::array(), "1")).find("version is not an integer"),
              std::string::npos);
    EXPECT_NE(refusal(cborFile(Json::array(), -1)).find("version is not an integer"),
              std::string::npos);
    ByteArray cut = cborFile(Json::array(), 1);
    cut.resize(22);
    EXPECT_NE(refusal(cut).find("truncated"), std::string::npos) << refusal(cut);

    // Each known version in its own layout only.
    EXPECT_EQ(refusal(cborFile(Json::array(), 1)), "");
    EXPECT_NE(
        refusal(cborFile(Json::array(), 2)).find("checksum at the end of the file is missing"),
        std::string::npos)
        << refusal(cborFile(Json::array(), 2));
    ByteArray fourParts = checkedFile(Json::array());
    fourParts[22] = 1;  // version 1 with a fourth part: the checksum no longer matches
    EXPECT_NE(refusal(fourParts), "");
}

TEST(PropertyBagDamage, BadEntriesAreRefusedNamingEntryAndFault) {
    const Json good = Json::array({"gif", "bytes", Json::binary({1})});
    struct Case {
        Json entry;
        const char* fault;
    };
    const Case cases[] = {
        {Json::array({"delay", "int16", 40000}), "out of range"},
        {Json::array({"delay", "int16", -32769}), "out of range"},
        {Json::array({"loops", "int32", 2147483648LL}), "out of range"},
        {Json::array({"loops", "int32", 1.5}), "not an integer"},
        {Json::array({"loops", "int32", UINT64_MAX}), "a number is out of range"},
        {Json::array({"enabled", "bool", 1}), "not a Boolean"},
        {Json::array({"data", "bytes", "text"}), "not a byte string"},
        {Json::array({"icon", "picture", 3}), "not a byte string"},
        {Json::array({"x", "float", 1}), "unknown type"},
        {Json::array({"x", 3, 1}), "type is not a text"},
        {Json::array({"GIF", "bytes", Json::binary({1})}), "not in lower case"},
        {Json::array({"", "int16", 1}), "name"},
        {Json::array({"a\x01", "int16", 1}), "printable"},
        {Json::array({7, "int16", 1}), "name is not a text"},
        {Json::array({"gif", "bytes"}), "three fields"},
        {Json::object({{"name", "gif"}}), "maps are not used"},
        {good, "already given by entry 1"},
    };
    for (const auto& c : cases) {
        const std::string why = refusal(cborFile(Json::array({good, c.entry})));
        EXPECT_NE(why.find("entry 2: "), std::string::npos) << c.entry.dump() << ": " << why;
        EXPECT_NE(why.find(c.fault), std::string::npos) << c.entry.dump() << ": " << why;
    }
}

TEST(PropertyBagDamage, ShapeNestingAndSizeLimitsAreRefused) {
    // Wrong outer shapes.
    EXPECT_NE(refusal(Json::to_cbor(Json::array({"kavrilo-property-bag", 1}))), "");
    EXPECT_NE(refusal(cborFile(Json::object())).find("maps are not used"), std::string::npos);

    // Deep nesting stops at the layout's depth instead of recursing.
    ByteArray deep = cborFile(Json::array());
    deep.pop_back();                        // the empty entry list
    deep.insert(deep.end(), 100000, 0x81);  // arrays of one array of one ...
    deep.push_back(0x80);
    EXPECT_NE(refusal(deep).find("nested deeper"), std::string::npos) << refusal(deep);

    // A list that claims more entries than allowed is refused before it is read.
    ByteArray claims = cborFile(Json::array());
    claims.back() = 0x9A;  // array, 32-bit length
    claims.insert(claims.end(), {0xFF, 0xFF, 0xFF, 0xFF});
    EXPECT_NE(refusal(claims).find("more than 1024 entries"), std::string::npos) << refusal(claims);

    // Indefinite lengths never occur; nested indefinite strings once drove a parser's recursion
    // into a stack overflow.
    for (const uint8_t head : {0x9F, 0x7F, 0x5F}) {
        ByteArray indefinite = cborFile(Json::array());
        indefinite.back() = 0x81;
        indefinite.push_back(0x83);
        indefinite.insert(indefinite.end(), 200000, head);
        EXPECT_NE(refusal(indefinite).find("entry 1: the data is damaged (indefinite"),
                  std::string::npos)
            << refusal(indefinite);
    }

    PropertyBag full;
    for (int i = 0; i < 1025; ++i) full.writeProperty("k" + std::to_string(i), true);
    EXPECT_THROW(full.toBytes(), PropertyBagError);
}

TEST(PropertyBagDamage, AFailedLoadLeavesTheBagAsItWas) {
    PropertyBag bag = sampleBag();
    ByteArray bad = sampleBag().toBytes();
    bad.resize(bad.size() - 1);
    EXPECT_THROW(bag.load(bad), PropertyBagError);
    EXPECT_EQ(bag, sampleBag());
    PropertyBag other;
    other.writeProperty("x", true);
    bag.load(other.toBytes());
    EXPECT_EQ(bag, other);
}

}  // namespace
