#include "platform/lzw_decoder.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace platform {

namespace {

static_assert(std::endian::native == std::endian::little, "the bit buffer loads little-endian");

constexpr int kMaxCodes = 4096;
constexpr int kMaxWidth = 12;

// One string of the table. `head` holds its first min(length, 8) bytes, zeros above them.
struct Entry {
    uint64_t head;
    uint16_t prefix;
    uint16_t length;
    uint8_t suffix;
};

struct Table {
    Entry entries[kMaxCodes];
    uint8_t spill[kMaxCodes];  // a string that crosses a line end, put together first
};

Table& threadTable() noexcept {
    static thread_local Table table;
    return table;
}

inline uint64_t load64(const uint8_t* p) noexcept {
    uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

inline void store64(uint8_t* p, uint64_t v) noexcept {
    std::memcpy(p, &v, 8);
}

// The lines in the order the stream fills them.
class LineCursor {
  public:
    explicit LineCursor(const LzwLines& lines) noexcept : lines_(lines) {
        step_ = lines.interlaced ? 8 : 1;
        if (lines.width <= 0 || lines.height <= 0) {
            done_ = true;
            return;
        }
        place();
    }
    bool done() const noexcept { return done_; }
    uint8_t* out = nullptr;
    uint8_t* end = nullptr;

    // Moves on to the next line and hands its bounds to the decoder's own copies; false after
    // the last line.
    bool advance(uint8_t*& to, uint8_t*& toEnd) noexcept {
        next();
        if (done_) return false;
        to = out;
        toEnd = end;
        return true;
    }

    // Pixels of the lines before the current one.
    uint64_t pixelsBefore() const noexcept { return uint64_t(rows_) * uint64_t(lines_.width); }

    void next() noexcept {
        ++rows_;
        static constexpr int32_t kStart[] = {0, 4, 2, 1};
        static constexpr int32_t kStep[] = {8, 8, 4, 2};
        y_ += step_;
        while (y_ >= lines_.height) {
            if (!lines_.interlaced || pass_ == 3) {
                done_ = true;
                out = end = nullptr;
                return;
            }
            ++pass_;
            y_ = kStart[pass_];
            step_ = kStep[pass_];
        }
        place();
    }

  private:
    void place() noexcept {
        out = lines_.first + static_cast<std::ptrdiff_t>(y_) * lines_.pitch;
        end = out + lines_.width;
    }
    LzwLines lines_;
    int32_t y_ = 0, step_ = 1, rows_ = 0;
    int pass_ = 0;
    bool done_ = false;
};

}  // namespace

LzwResult decodeLzw(int minCodeSize, std::span<const uint8_t> codes,
                    const LzwLines& lines) noexcept {
    LzwResult result;
    if (minCodeSize < 0 || minCodeSize > 8) {
        result.end = LzwEnd::BadSize;
        return result;
    }
    LineCursor line(lines);
    if (line.done() || lines.first == nullptr) {
        result.end = LzwEnd::Complete;
        return result;
    }

    Table& table = threadTable();
    Entry* const e = table.entries;
    const int clear = 1 << minCodeSize;
    const int eoi = clear + 1;
    for (int i = 0; i < clear; ++i)
        e[i] = Entry{static_cast<uint64_t>(i), 0, 1, static_cast<uint8_t>(i)};

    // The code width rises when `running` passes `limit`; `running` counts every code read since
    // the last clear (the clear included) from eoi + 1. At 12 bits the table stays as it is until
    // a clear code comes (the deferred clear).
    int width = minCodeSize + 1;
    int limit = 1 << width;
    int running = eoi + 1;
    int nextSlot = clear + 2;  // the first code not yet defined
    int last = -1;             // the previous code, -1 after a clear

    const uint8_t* p = codes.data();
    const uint8_t* const pEnd = p + codes.size();
    uint64_t bits = 0;
    int nbits = 0;
    // The line being written, kept in registers; `line` is told at each line end.
    uint8_t* out = line.out;
    uint8_t* end = line.end;
    LzwEnd why = LzwEnd::Complete;

    for (;;) {
        if (nbits < width) {
            if (pEnd - p >= 8) {
                bits |= load64(p) << nbits;
                p += (63 - nbits) >> 3;
                nbits |= 56;
            } else {
                while (nbits <= 56 && p < pEnd) {
                    bits |= uint64_t{*p++} << nbits;
                    nbits += 8;
                }
                if (nbits < width) {
                    why = LzwEnd::DataEnd;
                    break;
                }
            }
        }
        const int code = static_cast<int>(bits & ((1u << width) - 1));
        bits >>= width;
        nbits -= width;
        if (++running > limit) {
            if (width < kMaxWidth) {
                limit <<= 1;
                ++width;
            } else {
                running = limit;
            }
        }

        if (code < clear) {
            // A single pixel: about half the codes of a noisy frame.
            if (last >= 0 && nextSlot < kMaxCodes) {
                const Entry& l = e[last];
                const uint64_t head =
                    l.length >= 8 ? l.head : l.head | (uint64_t(code) << (8 * l.length));
                e[nextSlot++] =
                    Entry{head, static_cast<uint16_t>(last), static_cast<uint16_t>(l.length + 1),
                          static_cast<uint8_t>(code)};
            }
            last = code;
            *out++ = static_cast<uint8_t>(code);
            if (out == end && !line.advance(out, end)) break;
            continue;
        }
        if (code <= eoi) {
            if (code == eoi) {
                why = LzwEnd::EndCode;
                break;
            }
            width = minCodeSize + 1;
            limit = 1 << width;
            running = eoi + 1;
            nextSlot = clear + 2;
            last = -1;
            continue;
        }
        // A string: defined, or the one being defined now (then it is the previous string and
        // its own first byte). Anything else cannot occur.
        if (last < 0 || code > nextSlot) {
            why = LzwEnd::BadCode;
            break;
        }
        if (nextSlot < kMaxCodes) {
            const Entry& l = e[last];
            const uint8_t first = static_cast<uint8_t>(code == nextSlot ? l.head : e[code].head);
            const uint64_t head =
                l.length >= 8 ? l.head : l.head | (uint64_t(first) << (8 * l.length));
            e[nextSlot++] = Entry{head, static_cast<uint16_t>(last),
                                  static_cast<uint16_t>(l.length + 1), first};
        }
        last = code;

        const Entry& c = e[code];
        const std::size_t length = c.length;
        const std::size_t room = static_cast<std::size_t>(end - out);
        if (room >= 8 && length <= room) {
            store64(out, c.head);
            if (length > 8) {
                uint8_t* q = out + length;
                const Entry* k = &c;
                while (k->length > 8) {
                    *--q = k->suffix;
                    k = &e[k->prefix];
                }
            }
            out += length;
            if (out == end && !line.advance(out, end)) break;
            continue;
        }
        // Near the end of a line: the string is put together aside and copied line by line.
        uint8_t* q = table.spill + length;
        const Entry* k = &c;
        while (k->length > 1) {
            *--q = k->suffix;
            k = &e[k->prefix];
        }
        *--q = k->suffix;
        std::size_t left = length;
        const uint8_t* from = table.spill;
        for (;;) {
            const std::size_t n = std::min(left, static_cast<std::size_t>(end - out));
            std::memcpy(out, from, n);
            out += n;
            from += n;
            left -= n;
            if (out != end || !line.advance(out, end) || left == 0) break;
        }
        if (line.done()) break;
    }

    if (!line.done()) {
        // A string stored eight bytes at a time may have left bytes past the last pixel.
        std::memset(out, 0, static_cast<std::size_t>(end - out));
        result.pixels = line.pixelsBefore() + static_cast<uint64_t>(out - line.out);
    } else {
        result.pixels = uint64_t(lines.width) * uint64_t(lines.height);
    }
    result.end = line.done() ? LzwEnd::Complete : why;
    return result;
}

}  // namespace platform
