#include "gifcontrol/persist/gif_writer.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>

namespace anigif {
namespace {

constexpr uint32_t kHashSize = 5003;  // prime, so that secondary probing visits every slot
constexpr int32_t kClearCode = 256;
constexpr int32_t kEndCode = 257;
constexpr int32_t kFirstFreeCode = 258;
constexpr int32_t kCodeLimit = 4096;  // 12-bit codes: the table is full at this entry
constexpr int32_t kFlush = -1;
// The slot of (prefix, c) is (c << kProbeShift) XOR prefix. The shift comes from the table
// size: doubling 5003 reaches 65536 after four steps, leaving 8 - 4 bits for the pixel.
constexpr int kProbeShift = 4;
constexpr size_t kPacketData = 254;  // data bytes of a full sub-block

// Packs codes least significant bit first into sub-blocks written straight into the output:
// the size byte of the sub-block being filled sits at `block_`, its data follow. Each code is
// stored with one unaligned 8-byte write, so the caller keeps room ahead with reserve().
class CodeWriter {
  public:
    CodeWriter(std::vector<uint8_t>& out, size_t start)
        : out_(out), block_(start), pos_(start + 1) {}

    // Makes room for `codes` more codes of up to 12 bits, their size bytes, the 8-byte store
    // and the terminator and trailer.
    void reserve(size_t codes) {
        const size_t need = pos_ + 3 * codes + 16;
        if (out_.size() < need) {
            size_t grown = std::max(need, out_.size() + out_.size() / 2);
            if (need <= out_.capacity()) grown = std::min(grown, out_.capacity());  // no move
            out_.resize(grown);
        }
        data_ = out_.data();
    }

    void setWidth(int32_t width) { width_ = width; }

    // Appends one code at the current width; kFlush writes the last bits as a whole byte and
    // closes the last sub-block.
    void PutCode(int32_t code) {
        if (code == kFlush) {
            flush();
            return;
        }
        accumulator_ |= static_cast<uint64_t>(code) << bitCount_;
        bitCount_ += width_;
        if constexpr (std::endian::native == std::endian::little) {
            std::memcpy(data_ + pos_, &accumulator_, sizeof accumulator_);
        } else {
            for (size_t i = 0; i < sizeof accumulator_; ++i)
                data_[pos_ + i] = static_cast<uint8_t>(accumulator_ >> (8 * i));
        }
        pos_ += static_cast<size_t>(bitCount_ >> 3);
        accumulator_ >>= (bitCount_ & ~7);
        bitCount_ &= 7;
        if (pos_ >= block_ + kPacketData + 1) [[unlikely]] {
            // The sub-block is full; a byte that spilled past it moves up behind the next
            // sub-block's size byte.
            data_[block_] = static_cast<uint8_t>(kPacketData);
            block_ += kPacketData + 1;
            if (pos_ > block_) data_[block_ + 1] = data_[block_];  // at most one byte spills
            ++pos_;
        }
    }

    // The position after the last sub-block; valid after the flush.
    size_t end() const { return block_; }

  private:
    void flush() {
        if (bitCount_ != 0) data_[pos_++] = static_cast<uint8_t>(accumulator_);
        accumulator_ = 0;
        bitCount_ = 0;
        if (pos_ > block_ + 1) {  // a sub-block with data; an empty one is not written
            data_[block_] = static_cast<uint8_t>(pos_ - block_ - 1);
            block_ = pos_;
        }
        pos_ = block_ + 1;
    }

    std::vector<uint8_t>& out_;
    uint8_t* data_ = nullptr;
    size_t block_;
    size_t pos_;
    uint64_t accumulator_ = 0;
    int32_t bitCount_ = 0;
    int32_t width_ = 9;
};

bool sourceIsConsistent(const FrameGifSource& s) {
    constexpr int64_t kMaxSide = 65535;
    if (s.width < 0 || s.height < 0 || s.width > kMaxSide || s.height > kMaxSide) return false;
    if (s.width == 0 || s.height == 0) return true;  // nothing is read from the strip
    if (s.stripX < 0 || s.stripWidth < 0 || s.stripHeight < 0) return false;
    if (static_cast<int64_t>(s.stripX) + s.width > s.stripWidth) return false;
    if (s.height > s.stripHeight || s.stripStride < s.stripWidth) return false;
    const auto needed = static_cast<uint64_t>(s.stripStride) * static_cast<uint64_t>(s.stripHeight);
    return s.stripBits.size() >= needed;
}

void putWord(uint8_t* p, int32_t value) {
    p[0] = static_cast<uint8_t>(value & 0xFF);
    p[1] = static_cast<uint8_t>((value >> 8) & 0xFF);
}

// Writes everything before the image data; returns the position of the LZW data.
size_t writeHeader(const FrameGifSource& s, uint8_t* out) {
    std::memcpy(out, "GIF89a", 6);
    putWord(out + 6, s.width);
    putWord(out + 8, s.height);
    out[10] = 0x87;  // global table of 256 entries, colour resolution field 0, not sorted
    out[11] = 0;
    out[12] = 0;
    const size_t count = std::min<size_t>(s.colours.size(), 256);
    for (size_t k = 0; k < count; ++k) {
        const uint32_t c = s.colours[k];
        uint8_t* t = out + kGifColourTableOffset + 3 * k;
        t[0] = static_cast<uint8_t>(c >> 16);
        t[1] = static_cast<uint8_t>(c >> 8);
        t[2] = static_cast<uint8_t>(c);
    }
    // Entries from count to 255 stay 0 (black): the buffer starts zeroed.
    size_t pos = kGifAfterColourTable;
    if (s.transparent) {
        const uint8_t gce[8] = {0x21, 0xF9, 0x04, 0x01, 0x00, 0x00, s.transIndex, 0x00};
        std::memcpy(out + pos, gce, sizeof gce);
        pos += sizeof gce;
    }
    out[pos] = 0x2C;                         // left and top 0 follow (already zero)
    std::memcpy(out + pos + 5, out + 6, 4);  // width and height as in the screen descriptor
    out[pos + 9] = 0x00;
    out[pos + 10] = 8;  // LZW minimum code size
    return pos + 11;
}

// Writes the image data sub-blocks from `start`; returns the position after the last one.
size_t compress(const FrameGifSource& s, std::vector<uint8_t>& out, size_t start) {
    // A local writer, so that its state can live in registers.
    CodeWriter writer(out, start);
    // Allocated per call: the writer shares no state between calls. Keys are (c << 12) +
    // prefix, -1 for an empty slot; codes sit in a parallel table.
    const auto keyTable = std::make_unique_for_overwrite<int32_t[]>(kHashSize);
    const auto codeTable = std::make_unique_for_overwrite<uint16_t[]>(kHashSize);
    int32_t* const keys = keyTable.get();
    uint16_t* const codes = codeTable.get();
    const auto clearTable = [keys] { std::fill_n(keys, kHashSize, -1); };
    clearTable();

    int32_t width = 9;
    int32_t maxCode = (1 << width) - 1;
    int32_t nextFree = kFirstFreeCode;
    writer.reserve(3);
    writer.setWidth(width);
    writer.PutCode(kClearCode);

    if (s.width == 0 || s.height == 0) {
        writer.PutCode(kEndCode);
        writer.PutCode(kFlush);
        return writer.end();
    }

    // The frame's top row is the strip's top row, the last one in memory.
    const uint8_t* const bits = s.stripBits.data();
    const size_t stride = static_cast<size_t>(s.stripStride);
    const auto rowFromTop = [&](int32_t r) {
        return bits + static_cast<size_t>(s.stripHeight - 1 - r) * stride +
               static_cast<size_t>(s.stripX);
    };
    const int32_t frameWidth = s.width;
    const int32_t frameHeight = s.height;

    uint32_t prefix = rowFromTop(0)[0];
    for (int32_t r = 0; r < frameHeight; ++r) {
        const uint8_t* const row = rowFromTop(r);
        // Every pixel writes at most two codes: the prefix and a clear code.
        writer.reserve(2 * static_cast<size_t>(frameWidth));
        for (int32_t x = (r == 0 ? 1 : 0); x < frameWidth; ++x) {
            const uint32_t c = row[x];
            const int32_t key = static_cast<int32_t>((c << 12) + prefix);
            // Unsigned slots index the tables without a sign extension on the hot path.
            uint32_t slot = (c << kProbeShift) ^ prefix;  // below 4096, inside the table
            // The search ends at the key or at an empty slot (-1); a slot holding 0 ends it
            // too, but only once probing has begun.
            int32_t held = keys[slot];
            if (held != key && held >= 0) {
                const uint32_t step = slot == 0 ? 1 : kHashSize - slot;
                do {
                    slot = slot >= step ? slot - step : slot + (kHashSize - step);
                    held = keys[slot];
                } while (held != key && held > 0);
            }
            if (held == key) {
                prefix = codes[slot];
                continue;
            }
            writer.PutCode(static_cast<int32_t>(prefix));
            prefix = c;
            keys[slot] = key;
            codes[slot] = static_cast<uint16_t>(nextFree);
            if (nextFree > maxCode) {
                if (nextFree == kCodeLimit) {
                    writer.PutCode(kClearCode);  // still at 12 bits
                    clearTable();
                    width = 9;
                    nextFree = kEndCode;  // the increment below makes it the first free code
                } else {
                    ++width;
                }
                maxCode = (1 << width) - 1;
                writer.setWidth(width);
            }
            ++nextFree;
        }
    }
    writer.reserve(3);
    writer.PutCode(static_cast<int32_t>(prefix));
    writer.PutCode(kEndCode);
    writer.PutCode(kFlush);
    return writer.end();
}

}  // namespace

std::vector<uint8_t> encodeFrameGif(const FrameGifSource& source) noexcept {
    if (!sourceIsConsistent(source)) return {};
    try {
        std::vector<uint8_t> out;
        // Room for the largest result up front (one code of at most 12 bits per pixel, a size
        // byte per sub-block, a clear code per table), so that the buffer never moves; pages
        // are only touched as they are written.
        const size_t pixels =
            static_cast<size_t>(source.width) * static_cast<size_t>(source.height);
        out.reserve(pixels + pixels / 2 + pixels / 128 + 1024);
        out.resize(kGifAfterColourTable + 19);  // the header with its longest tail
        const size_t dataStart = writeHeader(source, out.data());
        const size_t end = compress(source, out, dataStart);
        out[end] = 0x00;  // block terminator
        out[end + 1] = 0x3B;
        out.resize(end + 2);
        return out;
    } catch (...) {
        return {};  // out of memory; the buffers release themselves
    }
}

}  // namespace anigif
