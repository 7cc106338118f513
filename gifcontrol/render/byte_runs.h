#pragma once
// Scanning runs of equal bytes (mask and coverage rows) a word at a time.
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace anigif::draw {

// How many of the first n bytes at p equal `value` before the first that does not.
inline std::size_t sameBytes(const uint8_t* p, std::size_t n, uint8_t value) noexcept {
    const uint64_t pattern = 0x0101010101010101ull * value;
    std::size_t k = 0;
    for (; k + 8 <= n; k += 8) {
        uint64_t word;
        std::memcpy(&word, p + k, 8);
        if (word != pattern) break;
    }
    while (k < n && p[k] == value) ++k;
    return k;
}

}  // namespace anigif::draw
