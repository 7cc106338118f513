#pragma once
// The little UTF-8 the drill needs: validation, walking code points, appending and counting.
#include <cstddef>
#include <string>
#include <string_view>

namespace drill {

// Well-formed UTF-8: no stray continuation bytes, no overlong forms, no surrogates, nothing above
// U+10FFFF, no truncated sequence.
bool isValidUtf8(std::string_view text);

// Decodes the code point starting at `pos` of valid UTF-8 and moves `pos` past it.
char32_t nextCodePoint(std::string_view text, size_t& pos);

// Appends `cp` (a Unicode scalar value) encoded as UTF-8.
void appendCodePoint(std::string& text, char32_t cp);

// Removes the last character; a malformed tail loses one byte, never more than one character.
void removeLastCodePoint(std::string& text);

// Characters (code points) in valid UTF-8.
size_t countCodePoints(std::string_view text);

// The longest prefix of valid UTF-8 `text` holding at most `limit` characters.
std::string_view prefixOfCodePoints(std::string_view text, size_t limit);

}  // namespace drill
