#include "utf8.h"

namespace drill {
namespace {

bool isContinuation(unsigned char b) {
    return (b & 0xC0) == 0x80;
}

}  // namespace

bool isValidUtf8(std::string_view text) {
    const size_t n = text.size();
    size_t i = 0;
    while (i < n) {
        const auto b0 = static_cast<unsigned char>(text[i]);
        if (b0 < 0x80) {
            ++i;
            continue;
        }
        size_t len = 0;
        char32_t cp = 0;
        char32_t min = 0;
        if (b0 >= 0xC2 && b0 <= 0xDF) {
            len = 2, cp = b0 & 0x1F, min = 0x80;
        } else if (b0 >= 0xE0 && b0 <= 0xEF) {
            len = 3, cp = b0 & 0x0F, min = 0x800;
        } else if (b0 >= 0xF0 && b0 <= 0xF4) {
            len = 4, cp = b0 & 0x07, min = 0x10000;
        } else {
            return false;  // continuation byte, C0/C1 overlong lead, or F5..FF
        }
        if (n - i < len) return false;
        for (size_t k = 1; k < len; ++k) {
            const auto b = static_cast<unsigned char>(text[i + k]);
            if (!isContinuation(b)) return false;
            cp = (cp << 6) | (b & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += len;
    }
    return true;
}

char32_t nextCodePoint(std::string_view text, size_t& pos) {
    const auto b0 = static_cast<unsigned char>(text[pos++]);
    if (b0 < 0x80) return b0;
    size_t extra = b0 >= 0xF0 ? 3 : b0 >= 0xE0 ? 2 : 1;
    char32_t cp = b0 & (0x3F >> extra);
    while (extra-- > 0 && pos < text.size()) {
        cp = (cp << 6) | (static_cast<unsigned char>(text[pos++]) & 0x3F);
    }
    return cp;
}

void appendCodePoint(std::string& text, char32_t cp) {
    if (cp < 0x80) {
        text += static_cast<char>(cp);
    } else if (cp < 0x800) {
        text += static_cast<char>(0xC0 | (cp >> 6));
        text += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        text += static_cast<char>(0xE0 | (cp >> 12));
        text += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        text += static_cast<char>(0xF0 | (cp >> 18));
        text += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        text += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

void removeLastCodePoint(std::string& text) {
    if (text.empty()) return;
    size_t start = text.size() - 1;
    // Walk back over at most three continuation bytes to the lead byte.
    while (start > 0 && text.size() - start < 4 &&
           isContinuation(static_cast<unsigned char>(text[start]))) {
        --start;
    }
    const auto lead = static_cast<unsigned char>(text[start]);
    const size_t expected = lead < 0x80    ? 1
                            : lead >= 0xF0 ? 4
                            : lead >= 0xE0 ? 3
                            : lead >= 0xC0 ? 2
                                           : 0;
    if (expected == text.size() - start) {
        text.erase(start);
    } else {
        text.pop_back();
    }
}

size_t countCodePoints(std::string_view text) {
    size_t count = 0;
    for (char c : text) count += isContinuation(static_cast<unsigned char>(c)) ? 0 : 1;
    return count;
}

std::string_view prefixOfCodePoints(std::string_view text, size_t limit) {
    size_t pos = 0;
    for (size_t k = 0; k < limit && pos < text.size(); ++k) {
        ++pos;
        while (pos < text.size() && isContinuation(static_cast<unsigned char>(text[pos]))) ++pos;
    }
    return text.substr(0, pos);
}

}  // namespace drill
