#pragma once
// Our LZW decoder against giflib's, on the first image of a stream. giflib is the oracle for
// every index it decodes soundly; ours must keep exactly those and nothing after its first fault:
//  - indices before our stopping point equal giflib's, every index after it is 0;
//  - complete: giflib also decoded every index, and they are identical;
//  - data ended or an end code came early: giflib stopped at the same pixel;
//  - an impossible code: giflib got at least that far (it goes on, making indices up).
// giflib reads the image data a whole sub-block at a time and fails at the start of a sub-block
// the stream cuts short, where ours decodes what the stream holds; so giflib is given the stream
// with a cut last sub-block shortened to what it holds and terminated.
// Header-only so that the fuzz target can use it without the test libraries.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "platform/gif_decoder.h"

namespace giftest {

struct OracleVerdict {
    bool decoded = false;  // a first image was found and decoded by both
    platform::LzwResult own;
    uint64_t giflibPixels = 0;  // indices giflib wrote, in the stream's order
    uint64_t pixels = 0;        // width * height
    std::string fault;          // empty when ours kept the rule
};

// The stream with its first image's data ending in a whole sub-block and a terminator, as far as
// the bytes go; the bytes themselves when nothing is cut (or the image is not reached).
inline std::vector<uint8_t> wholeSubBlocks(std::span<const uint8_t> s) {
    std::vector<uint8_t> out(s.begin(), s.end());
    std::size_t pos = 13;
    if (s.size() < pos) return out;
    if (s[10] & 0x80) pos += 3 * (std::size_t{2} << (s[10] & 7));
    auto skipBlocks = [&](std::size_t& p) {
        while (p < s.size() && s[p] != 0) p += std::size_t{s[p]} + 1;
        return p < s.size();
    };
    for (;;) {
        if (pos >= s.size()) return out;
        if (s[pos] == 0x21) {
            pos += 2;
            if (!skipBlocks(pos)) return out;
            ++pos;
            continue;
        }
        if (s[pos] != 0x2C) return out;
        break;
    }
    if (pos + 10 > s.size()) return out;
    const uint8_t packed = s[pos + 9];
    pos += 10;
    if (packed & 0x80) pos += 3 * (std::size_t{2} << (packed & 7));
    pos += 1;  // minimum code size
    while (pos < s.size() && s[pos] != 0) {
        const std::size_t held = s.size() - pos - 1;
        if (held < s[pos]) {
            out.resize(pos + 1 + held);
            out[pos] = static_cast<uint8_t>(held);
            if (held == 0) out.resize(pos);
            out.push_back(0);
            out.push_back(0x3B);
            return out;
        }
        pos += std::size_t{s[pos]} + 1;
    }
    return out;
}

// LZW data with three bytes in front, as the fuzz seeds hold them, wrapped in a GIF: the first
// byte gives the minimum code size (low 4 bits, modulo 9), interlacing (bit 4), the sub-block
// size (bits 5 and 6) and a missing terminator (bit 7); the next two the width - 1 and the
// height - 1.
inline std::vector<uint8_t> lzwDataAsGif(std::span<const uint8_t> s) {
    const uint8_t f = s.size() > 0 ? s[0] : 0;
    const int w = 1 + (s.size() > 1 ? s[1] : 0), h = 1 + (s.size() > 2 ? s[2] : 0);
    std::vector<uint8_t> g = {'G',
                              'I',
                              'F',
                              '8',
                              '9',
                              'a',
                              static_cast<uint8_t>(w),
                              0,
                              static_cast<uint8_t>(h),
                              0,
                              0,
                              0,
                              0,
                              0x2C,
                              0,
                              0,
                              0,
                              0,
                              static_cast<uint8_t>(w),
                              0,
                              static_cast<uint8_t>(h),
                              0,
                              static_cast<uint8_t>((f & 0x10) ? 0x40 : 0),
                              static_cast<uint8_t>((f & 0x0F) % 9)};
    const std::size_t block = 1 + std::size_t((f >> 5) & 3) * 84;
    for (std::size_t at = std::min<std::size_t>(3, s.size()); at < s.size(); at += block) {
        const std::size_t n = std::min(block, s.size() - at);
        g.push_back(static_cast<uint8_t>(n));
        g.insert(g.end(), s.begin() + static_cast<std::ptrdiff_t>(at),
                 s.begin() + static_cast<std::ptrdiff_t>(at + n));
    }
    if (f & 0x80) return g;
    g.push_back(0);
    g.push_back(0x3B);
    return g;
}

// The image's lines in the order the stream fills them.
inline std::vector<int32_t> streamRows(int32_t height, bool interlaced) {
    std::vector<int32_t> rows;
    if (!interlaced) {
        for (int32_t y = 0; y < height; ++y) rows.push_back(y);
        return rows;
    }
    static constexpr int32_t kStart[] = {0, 4, 2, 1}, kStep[] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass)
        for (int32_t y = kStart[pass]; y < height; y += kStep[pass]) rows.push_back(y);
    return rows;
}

// Decodes with both; images above `maxPixels` are left out (decoded = false).
inline OracleVerdict compareWithGiflib(std::span<const uint8_t> gif,
                                       uint64_t maxPixels = uint64_t{1} << 24) {
    OracleVerdict v;
    platform::GifImageInfo info;
    std::vector<uint8_t> own, low, high;
    auto into = [&](std::vector<uint8_t>& buf, uint8_t fill) {
        return [&buf, fill, &info, maxPixels](const platform::GifImageInfo& i) {
            info = i;
            const uint64_t n = uint64_t(i.width) * uint64_t(i.height);
            if (i.width <= 0 || i.height <= 0 || n > maxPixels) return platform::GifLineTarget{};
            buf.assign(n, fill);
            return platform::GifLineTarget{buf.data(), i.width};
        };
    };
    // Ours writes lines with 7 guard bytes between them, which must stay as they are.
    constexpr std::size_t kGuard = 7;
    std::vector<uint8_t> spaced;
    auto spacedLines = [&](const platform::GifImageInfo& i) {
        info = i;
        const uint64_t n = uint64_t(i.width) * uint64_t(i.height);
        if (i.width <= 0 || i.height <= 0 || n > maxPixels) return platform::GifLineTarget{};
        const std::size_t pitch = static_cast<std::size_t>(i.width) + kGuard;
        spaced.assign(pitch * static_cast<std::size_t>(i.height) + kGuard, 0x5A);
        for (int32_t y = 0; y < i.height; ++y)
            std::memset(spaced.data() + y * pitch, 0, static_cast<std::size_t>(i.width));
        return platform::GifLineTarget{spaced.data(), static_cast<std::ptrdiff_t>(pitch)};
    };
    const auto st =
        platform::decodeFirstGifImage(gif, spacedLines, platform::GifFrameDecoder::Own, &v.own);
    if (st != platform::GifDecodeStatus::Complete && st != platform::GifDecodeStatus::Partial)
        return v;
    {
        const auto w = static_cast<std::size_t>(info.width), pitch = w + kGuard;
        own.resize(w * static_cast<std::size_t>(info.height));
        for (std::size_t i = 0; i < spaced.size(); ++i) {
            if (i % pitch < w && i / pitch < static_cast<std::size_t>(info.height))
                own[i / pitch * w + i % pitch] = spaced[i];
            else if (spaced[i] != 0x5A && v.fault.empty())
                v.fault = "wrote outside the lines at byte " + std::to_string(i);
        }
        if (!v.fault.empty()) return v;
    }
    const std::vector<uint8_t> whole = wholeSubBlocks(gif);
    platform::decodeFirstGifImage(whole, into(low, 0x00), platform::GifFrameDecoder::Giflib);
    platform::decodeFirstGifImage(whole, into(high, 0xFF), platform::GifFrameDecoder::Giflib);
    if (low.size() != own.size() || high.size() != own.size()) {
        v.fault = "giflib saw another image";
        return v;
    }
    v.decoded = true;
    v.pixels = own.size();
    const auto w = static_cast<uint64_t>(info.width);
    uint64_t k = 0;
    bool giflibStopped = false;
    for (const int32_t y : streamRows(info.height, info.interlaced)) {
        for (uint64_t x = 0; x < w; ++x, ++k) {
            const std::size_t at = static_cast<std::size_t>(uint64_t(y) * w + x);
            if (!giflibStopped && low[at] == high[at])
                ++v.giflibPixels;
            else
                giflibStopped = true;
            if (k < v.own.pixels ? own[at] != low[at] : own[at] != 0) {
                if (v.fault.empty())
                    v.fault = "index " + std::to_string(k) + " of " + std::to_string(v.pixels) +
                              (k < v.own.pixels ? " differs from giflib's" : " is not 0");
            }
        }
    }
    if (!v.fault.empty()) return v;
    const uint64_t p = v.own.pixels, q = v.giflibPixels;
    switch (v.own.end) {
        case platform::LzwEnd::Complete:
            if (p != v.pixels || q != v.pixels) v.fault = "complete, but giflib was not";
            break;
        case platform::LzwEnd::DataEnd:
        case platform::LzwEnd::EndCode:
            if (p != q)
                v.fault = "stopped at " + std::to_string(p) + ", giflib at " + std::to_string(q);
            break;
        case platform::LzwEnd::BadCode:
            if (q < p) v.fault = "impossible code after giflib stopped";
            break;
        case platform::LzwEnd::BadSize:
            v.fault = "code size refused after giflib read the image";
            break;
    }
    return v;
}

}  // namespace giftest
