#include "practice/number_reading.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <limits>

namespace practice {
namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// Index of the first non-digit at or after `i`. Eight bytes at a time: the answer check runs on
// every keystroke, and the answer box may hold tens of thousands of digits.
size_t skipDigits(std::string_view text, size_t i) {
    constexpr uint64_t kHigh = 0xF0F0F0F0F0F0F0F0ull;
    constexpr uint64_t kZeros = 0x3030303030303030ull;
    constexpr uint64_t kSixes = 0x0606060606060606ull;
    const char* p = text.data() + i;
    const char* const end = text.data() + text.size();
    while (end - p >= 8) {
        uint64_t word;
        std::memcpy(&word, p, sizeof word);
        // Every byte is 0x30..0x39 exactly when it and it plus 6 both have the high nibble 3.
        if ((word & kHigh) != kZeros || ((word + kSixes) & kHigh) != kZeros) break;
        p += 8;
    }
    while (p != end && isDigit(*p)) ++p;
    return static_cast<size_t>(p - text.data());
}

// Exponents are saturated far beyond anything that could still matter for a 16-bit result, so
// a text like "1e99999999999999999999" neither overflows nor loops.
constexpr int64_t kExponentCap = int64_t{1} << 40;

}  // namespace

NumberReading readNumber(std::string_view text) {
    NumberReading result;
    const size_t n = text.size();
    size_t i = 0;
    while (i < n && isBlank(text[i])) ++i;

    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }

    // Mantissa: integer digits, optional point, fraction digits.
    const size_t intBegin = i;
    i = skipDigits(text, i);
    const size_t intEnd = i;
    size_t fracBegin = i;
    size_t fracEnd = i;
    if (i < n && text[i] == '.') {
        ++i;
        fracBegin = i;
        i = skipDigits(text, i);
        fracEnd = i;
    }
    if (intEnd == intBegin && fracEnd == fracBegin) return result;  // no digit at all

    int64_t exponent = 0;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        bool expNegative = false;
        if (i < n && (text[i] == '+' || text[i] == '-')) {
            expNegative = text[i] == '-';
            ++i;
        }
        if (i == n || !isDigit(text[i])) return result;
        while (i < n && isDigit(text[i])) {
            if (exponent < kExponentCap) exponent = exponent * 10 + (text[i] - '0');
            ++i;
        }
        if (expNegative) exponent = -exponent;
    }

    while (i < n && isBlank(text[i])) ++i;
    if (i != n) return result;
    result.isNumber = true;

    // The mantissa digits M (integer then fraction digits) are worth M x 10^(exponent - fracLen).
    // D is M without its leading zeros; intLen is how many of D's digits stand before the point.
    const std::string_view intDigits = text.substr(intBegin, intEnd - intBegin);
    const std::string_view fracDigits = text.substr(fracBegin, fracEnd - fracBegin);
    const auto mantissaDigit = [&](size_t k) {
        return k < intDigits.size() ? intDigits[k] : fracDigits[k - intDigits.size()];
    };
    const size_t mantissaLen = intDigits.size() + fracDigits.size();
    size_t first = 0;
    while (first < mantissaLen && mantissaDigit(first) == '0') ++first;
    if (first == mantissaLen) {
        result.rounded = 0;
        return result;
    }
    const auto sigDigit = [&](int64_t k) { return mantissaDigit(first + static_cast<size_t>(k)); };
    const auto sigLen = static_cast<int64_t>(mantissaLen - first);
    const int64_t intLen = sigLen + exponent - static_cast<int64_t>(fracDigits.size());

    // Exactly one: the significant digits are a 1 followed by zeros, standing as the units digit.
    if (!negative && intLen == 1 && sigDigit(0) == '1') {
        bool restZero = true;
        for (int64_t k = 1; k < sigLen && restZero; ++k) restZero = sigDigit(k) == '0';
        result.exactlyOne = restZero;
    }

    if (intLen > 5) return result;  // at least 100000: outside 16 bits whatever the sign

    int32_t whole = 0;
    for (int64_t k = 0; k < intLen; ++k) whole = whole * 10 + (k < sigLen ? sigDigit(k) - '0' : 0);

    // Round by the first dropped digit; a dropped 5 followed only by zeros is a half.
    if (intLen >= 0 && intLen < sigLen) {
        const int firstDropped = sigDigit(intLen) - '0';
        bool restNonZero = false;
        for (int64_t k = intLen + 1; k < sigLen && !restNonZero; ++k) {
            restNonZero = sigDigit(k) != '0';
        }
        if (firstDropped > 5 || (firstDropped == 5 && (restNonZero || whole % 2 == 1))) ++whole;
    }
    // intLen < 0: the value is below 0.1 and rounds to 0.

    const int32_t value = negative ? -whole : whole;
    if (value >= std::numeric_limits<int16_t>::min() &&
        value <= std::numeric_limits<int16_t>::max()) {
        result.rounded = static_cast<int16_t>(value);
    }
    return result;
}

namespace {

// The three-byte UTF-8 forms this file maps (all in U+3000 to U+FFFF).
constexpr std::string_view kFullWidthDigitPrefix = "\xef\xbc";  // U+FF10 ... U+FF19: EF BC 90..99
constexpr std::string_view kFullWidthComma = "\xef\xbc\x8c";    // U+FF0C
constexpr std::string_view kIdeographicComma = "\xe3\x80\x81";  // U+3001
constexpr std::string_view kSmallComma = "\xef\xb9\x90";        // U+FE50
constexpr std::string_view kIdeographicSpace = "\xe3\x80\x80";  // U+3000

// The ASCII digit of a full-width digit at `i`, or 0. A lead byte never occurs inside another
// character, so a match at any byte is a whole character.
char fullWidthDigitAt(std::string_view text, size_t i) {
    if (text.substr(i, 2) != kFullWidthDigitPrefix || i + 2 >= text.size()) return 0;
    const auto last = static_cast<unsigned char>(text[i + 2]);
    return last >= 0x90 && last <= 0x99 ? static_cast<char>('0' + (last - 0x90)) : 0;
}

}  // namespace

bool isDigitCode(int code) {
    return (code >= '0' && code <= '9') || (code >= 0xFF10 && code <= 0xFF19);
}

std::string halfWidthDigits(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        if (const char digit = fullWidthDigitAt(text, i)) {
            out += digit;
            i += 3;
        } else {
            out += text[i++];
        }
    }
    return out;
}

std::string normaliseNumberList(std::string_view text) {
    // First every character in its ASCII form, spaces as ' '.
    std::string mapped;
    mapped.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const std::string_view rest = text.substr(i);
        if (const char digit = fullWidthDigitAt(text, i)) {
            mapped += digit;
            i += 3;
        } else if (rest.starts_with(kFullWidthComma) || rest.starts_with(kIdeographicComma) ||
                   rest.starts_with(kSmallComma)) {
            mapped += ',';
            i += 3;
        } else if (rest.starts_with(kIdeographicSpace)) {
            mapped += ' ';
            i += 3;
        } else {
            mapped += text[i++];
        }
    }
    // Then each entry without the spaces around it.
    std::string out;
    out.reserve(mapped.size());
    size_t begin = 0;
    for (;;) {
        const size_t comma = mapped.find(',', begin);
        const size_t end = comma == std::string::npos ? mapped.size() : comma;
        const size_t first = mapped.find_first_not_of(' ', begin);
        if (first != std::string::npos && first < end) {
            const size_t last = mapped.find_last_not_of(' ', end - 1);
            out.append(mapped, first, last + 1 - first);
        }
        if (comma == std::string::npos) break;
        out += ',';
        begin = comma + 1;
    }
    return out;
}

std::optional<int16_t> readListEntry(std::string_view digits) {
    if (digits.empty() || !std::all_of(digits.begin(), digits.end(), isDigit)) return std::nullopt;
    const size_t first = std::min(digits.find_first_not_of('0'), digits.size());
    if (digits.size() - first > 5) return std::nullopt;
    int32_t value = 0;
    for (size_t k = first; k < digits.size(); ++k) value = value * 10 + (digits[k] - '0');
    if (value > std::numeric_limits<int16_t>::max()) return std::nullopt;
    return static_cast<int16_t>(value);
}

}  // namespace practice
