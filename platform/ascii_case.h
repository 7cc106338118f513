#pragma once
// Case folding for the names of file formats and properties: ASCII letters only, whatever the
// process locale. The C library's tolower follows the locale, and under some (Turkish: 'I'
// lowers to a dotless i outside ASCII) a signature such as "GIF89a" would no longer match.
#include <algorithm>
#include <string>
#include <string_view>

namespace platform {

constexpr char asciiLower(char c) noexcept {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

constexpr char asciiUpper(char c) noexcept {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

inline std::string asciiLowered(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = asciiLower(c);
    return out;
}

inline std::string asciiUppered(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = asciiUpper(c);
    return out;
}

// True when a and b differ at most in the case of ASCII letters.
constexpr bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) noexcept {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return asciiLower(x) == asciiLower(y);
           });
}

}  // namespace platform
