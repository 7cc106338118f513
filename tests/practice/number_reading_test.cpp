// How answer texts and list entries read as numbers, including texts no child would type.
#include "practice/number_reading.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace practice {
namespace {

std::optional<int16_t> roundedOf(const std::string& text) {
    const NumberReading r = readNumber(text);
    EXPECT_TRUE(r.isNumber) << text;
    return r.rounded;
}

TEST(ReadNumber, AcceptsSpacesSignPointAndExponent) {
    const std::pair<const char*, int> cases[] = {
        {"3", 3},           {"03", 3},      {" 3 ", 3},      {"\t3\t", 3},     {"+3", 3},
        {"-3", -3},         {"3.", 3},      {".4", 0},       {"3.0", 3},       {"3e0", 3},
        {"3E+1", 30},       {"300e-2", 3},  {"0.03e2", 3},   {"-0", 0},        {"32767", 32767},
        {"-32768", -32768}, {"3e4", 30000}, {"0e999999", 0}, {"1e-999999", 0},
    };
    for (const auto& [text, value] : cases) EXPECT_EQ(roundedOf(text), value) << text;
}

TEST(ReadNumber, RoundsHalvesToTheEvenNeighbour) {
    const std::pair<const char*, int> cases[] = {
        {"2.5", 2},   {"3.5", 4},     {"0.5", 0},         {"1.5", 2},           {"-2.5", -2},
        {"-3.5", -4}, {"2.51", 3},    {"2.49", 2},        {"2.500000001", 3},   {"2.5000000", 2},
        {"25e-1", 2}, {"0.49999", 0}, {"32767.4", 32767}, {"-32768.5", -32768},
    };
    for (const auto& [text, value] : cases) EXPECT_EQ(roundedOf(text), value) << text;
}

TEST(ReadNumber, RefusesWhatIsNoNumber) {
    for (const char* text : {"",
                             " ",
                             "+",
                             "-",
                             ".",
                             "e3",
                             "3e",
                             "3e+",
                             "1.2.3",
                             "3 4",
                             "3,4",
                             "--3",
                             "+-3",
                             "0x10",
                             "3a",
                             "a3",
                             "３",
                             "٣",
                             "1e3.5",
                             "3\n",
                             "\x01"
                             "3",
                             "3-",
                             "inf",
                             "nan"}) {
        EXPECT_FALSE(readNumber(text).isNumber) << text;
    }
}

TEST(ReadNumber, ValuesOutsideSixteenBitsHaveNoRoundedValue) {
    for (const char* text : {"32768", "-32769", "32767.5", "-32768.6", "99999", "100000", "1e5",
                             "1e99999999999999999999999", "-1e400"}) {
        const NumberReading r = readNumber(text);
        EXPECT_TRUE(r.isNumber) << text;
        EXPECT_FALSE(r.rounded) << text;
    }
}

TEST(ReadNumber, ExactlyOneIsTheValueNotTheRounding) {
    for (const char* text : {"1", "01", "+1", " 1 ", "1.0", "1.", "10e-1", "0.1e1", "1e0"}) {
        EXPECT_TRUE(readNumber(text).exactlyOne) << text;
    }
    for (const char* text : {"1.4", "0.6", "-1", "11", "10", "0.1", "2", "1.0000001"}) {
        EXPECT_FALSE(readNumber(text).exactlyOne) << text;
    }
}

TEST(ReadNumber, VeryLongTextsReadInOnePass) {
    // A hundred thousand leading zeros, fraction digits or digits: exact results, no overflow.
    EXPECT_EQ(roundedOf(std::string(100000, '0') + "3"), 3);
    EXPECT_EQ(roundedOf("3." + std::string(100000, '0') + "1"), 3);
    EXPECT_EQ(roundedOf("2.5" + std::string(100000, '0')), 2);
    EXPECT_EQ(roundedOf("2.5" + std::string(100000, '0') + "1"), 3);
    EXPECT_TRUE(readNumber("1" + std::string(100000, '0') + "e-100000").exactlyOne);
    EXPECT_FALSE(roundedOf(std::string(100000, '9')));
    EXPECT_FALSE(readNumber(std::string(100000, '9') + "x").isNumber);
}

TEST(ReadNumber, OneStrayCharacterAnywhereInALongRunOfDigits) {
    // Digit runs are scanned several bytes at a time; a neighbour of "0"-"9" must stop the scan
    // wherever it stands.
    for (char stray : {'/', ':', '?', '@', ' ', 'P', '\x80', '\xb9', '\xf9', '\0'}) {
        for (size_t at = 1; at < 24; ++at) {
            std::string text(24, '5');
            text[at] = stray;
            if (stray == ' ' && at == 23) continue;  // a trailing space is allowed
            EXPECT_FALSE(readNumber(text).isNumber) << int{stray} << " at " << at;
        }
    }
}

TEST(ReadListEntry, DigitsUpToThe16BitMaximum) {
    EXPECT_EQ(readListEntry("0"), 0);
    EXPECT_EQ(readListEntry("007"), 7);
    EXPECT_EQ(readListEntry("32767"), 32767);
    EXPECT_EQ(readListEntry(std::string(100000, '0') + "32767"), 32767);
    for (const char* text : {"", "32768", "99999", "100000", "-1", "+1", " 1", "1 ", "1.0", "３"}) {
        EXPECT_FALSE(readListEntry(text)) << text;
    }
}

// What a teacher types with a Chinese input method, and what the list check then reads.
TEST(NormaliseNumberList, FullWidthFormsAndSpacesAroundEntries) {
    const std::pair<const char*, const char*> cases[] = {
        {"3，5", "3,5"},
        {"3、5", "3,5"},
        {"3﹐5", "3,5"},
        {"３,５", "3,5"},
        {"３２７６７", "32767"},
        {"3, 5", "3,5"},
        {" 5", "5"},
        {"5 ", "5"},
        {"　5　", "5"},
        {" 3 ， 5 、 8 ", "3,5,8"},
        {"3,,5", "3,,5"},
        {"3, ,5", "3,,5"},
        {"   ", ""},
        {"，3", ",3"},
        {"3 5", "3 5"},
        {"3　5", "3 5"},
        {"3\t5", "3\t5"},
        {"３ａ", "3ａ"},
        // Characters that only share bytes with the mapped ones stay as they are.
        {"\xef\xbc\x8f", "\xef\xbc\x8f"},
        {"\xef\xbc", "\xef\xbc"},
        {"3\xe3\x80", "3\xe3\x80"},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(normaliseNumberList(text), expected) << text;
}

TEST(FullWidthDigits, AreDigitsForTheFilterAndTheCheck) {
    EXPECT_TRUE(isDigitCode(0xFF10));
    EXPECT_TRUE(isDigitCode(0xFF19));
    EXPECT_FALSE(isDigitCode(0xFF0F));
    EXPECT_FALSE(isDigitCode(0xFF1A));
    EXPECT_FALSE(isDigitCode(0x0663));  // Arabic-Indic three
    EXPECT_EQ(halfWidthDigits("０１２３４５６７８９"), "0123456789");
    EXPECT_EQ(halfWidthDigits("1２.5ｅ"), "12.5ｅ");
    EXPECT_EQ(halfWidthDigits("\xef\xbc"), "\xef\xbc");
}

}  // namespace
}  // namespace practice
