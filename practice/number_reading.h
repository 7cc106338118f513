#pragma once
// Reading numbers out of the texts the practice sees: the teacher's list entries and the child's
// answer. No locale, no exceptions, linear in the length of the text whatever it holds.
#include <cstdint>
#include <optional>
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

// A list entry: one or more ASCII digits (leading zeros allowed) worth at most 32767.
std::optional<int16_t> readListEntry(std::string_view digits);

}  // namespace practice
