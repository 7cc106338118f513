#pragma once
// Reading numbers out of the texts the practice sees: the teacher's list entries and the child's
// answer. No locale, no exceptions, linear in the length of the text whatever it holds.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace practice {

// What an answer text reads as.
struct NumberReading {
    // Optional spaces or tabs around, an optional sign, digits with at most one decimal point
    // (at least one digit), an optional exponent ("e" or "E", optional sign, digits).
    bool isNumber = false;
    // The value is exactly 1 ("1", "01", "+1.0", "10e-1"); a fraction rounding to 1 is not.
    bool exactlyOne = false;
    // The value rounded to the nearest integer, halves to the even neighbour; empty when the
    // rounded value does not fit 16 bits (or the text is no number).
    std::optional<int16_t> rounded;
};
NumberReading readNumber(std::string_view text);

// A character code that reads as a digit: "0" to "9", or their full-width forms (U+FF10 to
// U+FF19), which a Chinese input method types in its Chinese mode.
bool isDigitCode(int code);

// `text` (UTF-8) with every full-width digit replaced by its ASCII digit; nothing else changes.
std::string halfWidthDigits(std::string_view text);

// The teacher's number list as a Chinese input method types it, in the form the list check
// reads: full-width digits become ASCII digits; the full-width comma "，", the ideographic comma
// "、" and the small comma "﹐" become ","; spaces (U+0020 and the ideographic space U+3000)
// before and after each entry are dropped. Everything else, spaces inside an entry included, is
// left for the check to refuse.
std::string normaliseNumberList(std::string_view text);

// A list entry: one or more ASCII digits (leading zeros allowed) worth at most 32767.
std::optional<int16_t> readListEntry(std::string_view digits);

}  // namespace practice
