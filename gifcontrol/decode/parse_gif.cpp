// The GIF stream parser: one forward walk over GifBytes that fills the frame table, the
// image-block table and the colour tables. It decodes no pixel data.
#include <algorithm>
#include <limits>
#include <string>
#include <utility>

#include "gifcontrol/render/uc_ani_gif.h"
#include "platform/ascii_case.h"

namespace anigif {
namespace {

constexpr int16_t kMaxFrames = std::numeric_limits<int16_t>::max();

[[noreturn]] void raiseEndOfFile() {
    throw platform::RuntimeError(platform::errors::kEndOfFile, "ReadGifFile", "End of File");
}

std::string scratchText(const std::vector<uint8_t>& bytes, bool upper) {
    const std::string_view s(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return upper ? platform::asciiUppered(s) : platform::asciiLowered(s);
}

}  // namespace

uint8_t ucAniGIF::ReadByte() {
    if (ReadPos < 1 || ReadPos > GifBytes.upperBound()) raiseEndOfFile();
    return std::as_const(GifBytes)(ReadPos++);
}

int32_t ucAniGIF::ReadWord() {
    if (ReadPos < 1 || ReadPos >= GifBytes.upperBound()) raiseEndOfFile();
    const auto& bytes = std::as_const(GifBytes);
    const int32_t lo = bytes(ReadPos);
    const int32_t hi = bytes(ReadPos + 1);
    ReadPos += 2;
    return lo | (hi << 8);
}

void ucAniGIF::ReadBytes(int32_t n) {
    ScratchBytes.assign(static_cast<size_t>(std::max(n, 0)), 0);
    if (n <= 0 || ReadPos < 1) return;
    const int64_t last = int64_t{ReadPos} + n - 1;
    if (last > GifBytes.upperBound()) return;
    const auto src = std::as_const(GifBytes).span().subspan(static_cast<size_t>(ReadPos) - 1,
                                                            static_cast<size_t>(n));
    std::copy(src.begin(), src.end(), ScratchBytes.begin());
    ReadPos += n;
}

void ucAniGIF::ReadColorTable(int32_t table, int32_t bits) {
    if (table < 0 || bits < 0 || bits > 8) platform::raiseSubscript("ReadColorTable");
    const int32_t count = PowersOfTwo[static_cast<size_t>(bits)];
    if (static_cast<int32_t>(ColorTables.size()) <= table)
        ColorTables.resize(static_cast<size_t>(table) + 1, ColorTable{});
    if (ReadPos < 1 || int64_t{ReadPos} + 3 * int64_t{count} - 1 > GifBytes.upperBound())
        raiseEndOfFile();
    ColorTable& t = ColorTables[static_cast<size_t>(table)];
    const auto src = std::as_const(GifBytes).span().subspan(static_cast<size_t>(ReadPos) - 1);
    for (int32_t k = 0; k < count; ++k) {
        const size_t p = static_cast<size_t>(k) * 3;
        t[static_cast<size_t>(k)] =
            (uint32_t{src[p]} << 16) | (uint32_t{src[p + 1]} << 8) | uint32_t{src[p + 2]};
    }
    ReadPos += 3 * count;
    t[kColorCountEntry] = static_cast<uint32_t>(count);
}

void ucAniGIF::SkipSubBlocks() noexcept {
    const int32_t last = GifBytes.upperBound();
    const uint8_t* const bytes = std::as_const(GifBytes).span().data();
    // Each step waits for the size byte the step before points at: fetching a kilobyte (a few
    // sub-blocks) ahead keeps that wait short when the GIF is not yet in this core's cache.
    constexpr int32_t kFetchAhead = 1024;
    int32_t pos = ReadPos;  // 1-based
    while (pos >= 1 && pos <= last) {
        __builtin_prefetch(bytes + std::min<int64_t>(int64_t{pos} - 1 + kFetchAhead, last - 1));
        const uint8_t size = bytes[pos - 1];
        if (size == 0) break;
        pos += size + 1;
    }
    ReadPos = pos + 1;
}

int16_t ucAniGIF::ParseGif() noexcept {
    int16_t count = 0;
    try {
        Blocks.redim(10);
        ReadPos = 1;
        if (GifBytes.upperBound() > kMaxStreamBytes) return 0;

        ReadBytes(6);
        const std::string sig = scratchText(ScratchBytes, false);
        if (sig != "gif89a" && sig != "gif87a") return 0;

        ReadPos = 11;
        const uint8_t screenPacked = ReadByte();
        ReadPos = 14;
        bool hasGlobal = false;
        if (screenPacked & 0x80) {
            TableCount = 0;
            ReadColorTable(0, (screenPacked & 7) + 1);
            hasGlobal = true;
        }

        FrameInfo record;
        for (;;) {
            const uint8_t b = ReadByte();
            if (b == 0x00) continue;
            if (b == 0x21) {
                const uint8_t label = ReadByte();
                if (label == 0xFF) {
                    const uint8_t size = ReadByte();
                    ReadBytes(size);
                    if (scratchText(ScratchBytes, true) == "NETSCAPE2.0") {
                        const uint8_t s = ReadByte();
                        if (s == 3) {
                            ++ReadPos;  // sub-block identifier
                            loopSetting = ReadWord();
                        } else {
                            --ReadPos;
                        }
                    }
                    SkipSubBlocks();
                } else if (label == 0xF9) {
                    record = FrameInfo{};
                    record.StripX = ReadPos - 2;
                    ReadByte();  // block size: the fields sit at fixed offsets regardless
                    const uint8_t p = ReadByte();
                    record.Disposal = static_cast<uint8_t>((p >> 2) & 3);
                    if (record.Disposal == 3 && count == 0) record.Disposal = 0;
                    record.Delay = ReadWord() * 10;
                    record.TransFlag = p & 1;
                    if (record.TransFlag == 1)
                        record.TransIndex = ReadByte();
                    else
                        ReadPos = record.StripX + 7;
                    SkipSubBlocks();
                } else {
                    SkipSubBlocks();
                }
                continue;
            }
            if (b != 0x2C) break;  // the trailer, or anything unknown, ends the stream
            if (count == kMaxFrames) break;

            const int32_t start = ReadPos - 1;
            Blocks(count + 1).Start = start;
            if (record.StripX == 0) record.StripX = start;
            record.Left = ReadWord();
            record.Top = ReadWord();
            record.Width = ReadWord();
            record.Height = ReadWord();
            const uint8_t p = ReadByte();
            if (p & 0x80) {
                record.TableIndex = TableCount + 1;
                ReadColorTable(record.TableIndex, (p & 7) + 1);
                TableCount = record.TableIndex;
            } else if (!hasGlobal) {
                // Without a global table this image has no colours: the stream is unusable.
                count = 0;
                Frames.clear();
                return 0;
            }
            ReadByte();  // LZW minimum code size
            SkipSubBlocks();

            ++count;
            BlockSpan& span = Blocks(count);
            span.Length = ReadPos - span.Start;
            if (span.Length < 3) {
                --count;
            } else {
                Frames.redimPreserve(count);
                if (count == Blocks.upperBound()) Blocks.redimPreserve(count + 5);
                Frames(count) = record;
                screenWidth = std::max(screenWidth, record.Left + record.Width);
                screenHeight = std::max(screenHeight, record.Top + record.Height);
            }
            record = FrameInfo{};
        }
    } catch (...) {
        // End of File (or any other error): the frames completed so far stand.
    }
    if (count > 0 && count > Frames.upperBound()) Frames.redimPreserve(count);
    return count;
}

}  // namespace anigif
