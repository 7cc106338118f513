#include "gifcontrol/persist/gif_writer.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

namespace anigif {
namespace {

constexpr int32_t kHashSize = 5003;  // prime, so that secondary probing visits every slot
constexpr int32_t kClearCode = 256;
constexpr int32_t kEndCode = 257;
constexpr int32_t kFirstFreeCode = 258;
constexpr int32_t kCodeLimit = 4096;  // 12-bit codes: the table is full at this entry
constexpr int32_t kFlush = -1;
// The slot of (prefix, c) is (c << kProbeShift) XOR prefix. The shift comes from the table
// size: doubling 5003 reaches 65536 after four steps, leaving 8 - 4 bits for the pixel.
constexpr int kProbeShift = 4;
constexpr size_t kPacketData = 254;  // data bytes of a full sub-block

// One slot of the string table: the key (c << 12) + prefix, -1 when empty, and its code.
struct Slot {
    int32_t key;
    int32_t code;
};

// Packs codes least significant bit first into sub-blocks written straight into the output:
// the size byte of the sub-block being filled is reserved at `block_`, its data follow.
class CodeWriter {
  public:
    CodeWriter(std::vector<uint8_t>& out, size_t position) : out_(out), block_(position) {
        ensureRoom();
    }

    void setWidth(int32_t width) { width_ = width; }

    // Appends one code at the current width; kFlush writes what is left as a last sub-block.
    void PutCode(int32_t code) {
        if (code == kFlush) {
            flush();
            return;
        }
        accumulator_ |= static_cast<uint32_t>(code) << bitCount_;
        bitCount_ += width_;
        while (bitCount_ >= 8) {
            data_[block_ + fill_] = static_cast<uint8_t>(accumulator_);
            accumulator_ >>= 8;
            bitCount_ -= 8;
            if (fill_ == kPacketData) {
                data_[block_] = static_cast<uint8_t>(kPacketData);
                block_ += kPacketData + 1;
                fill_ = 0;
                ensureRoom();
            }
            ++fill_;
        }
    }

    // The position after the last sub-block; valid after the flush.
    size_t position() const { return block_; }

  private:
    void flush() {
        if (bitCount_ != 0) {
            data_[block_ + fill_] = static_cast<uint8_t>(accumulator_);
            ++fill_;
            accumulator_ = 0;
            bitCount_ = 0;
        }
        if (fill_ > 1) {
            data_[block_] = static_cast<uint8_t>(fill_ - 1);
            block_ += fill_;
        }
        fill_ = 1;
        ensureRoom();
    }

    // Keeps room for a whole sub-block after `block_` plus the terminator and trailer.
    void ensureRoom() {
        const size_t need = block_ + kPacketData + 1 + 2;
        if (out_.size() < need) out_.resize(std::max(out_.size() * 2, block_ + 512));
        data_ = out_.data();
    }

    std::vector<uint8_t>& out_;
    uint8_t* data_ = nullptr;
    size_t block_;
    size_t fill_ = 1;
    uint32_t accumulator_ = 0;
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

void compress(const FrameGifSource& s, CodeWriter& writer) {
    // Allocated per call: the writer shares no state between calls.
    auto table = std::make_unique<std::array<Slot, kHashSize>>();
    Slot* const slots = table->data();
    const auto clearTable = [slots] {
        for (int32_t i = 0; i < kHashSize; ++i) slots[i].key = -1;
    };
    clearTable();

    int32_t width = 9;
    int32_t maxCode = (1 << width) - 1;
    int32_t nextFree = kFirstFreeCode;
    writer.setWidth(width);
    writer.PutCode(kClearCode);

    if (s.width == 0 || s.height == 0) {
        writer.PutCode(kEndCode);
        writer.PutCode(kFlush);
        return;
    }

    // The frame's top row is the strip's top row, the last one in memory.
    const uint8_t* const bits = s.stripBits.data();
    const auto rowStart = [&](int32_t r) {
        return bits +
               static_cast<size_t>(s.stripHeight - 1 - r) * static_cast<size_t>(s.stripStride) +
               static_cast<size_t>(s.stripX);
    };

    int32_t prefix = rowStart(0)[0];
    for (int32_t r = 0; r < s.height; ++r) {
        const uint8_t* const row = rowStart(r);
        for (int32_t x = (r == 0 ? 1 : 0); x < s.width; ++x) {
            const int32_t c = row[x];
            const int32_t key = (c << 12) + prefix;
            int32_t slot = (c << kProbeShift) ^ prefix;  // below 4096, inside the table
            int32_t held = slots[slot].key;
            if (held == key) {
                prefix = slots[slot].code;
                continue;
            }
            if (held >= 0) {
                const int32_t step = slot == 0 ? 1 : kHashSize - slot;
                do {
                    slot -= step;
                    if (slot < 0) slot += kHashSize;
                    held = slots[slot].key;
                } while (held != key && held > 0);  // a slot holding 0 ends the probe too
                if (held == key) {
                    prefix = slots[slot].code;
                    continue;
                }
            }
            writer.PutCode(prefix);
            prefix = c;
            slots[slot] = Slot{key, nextFree};
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
    writer.PutCode(prefix);
    writer.PutCode(kEndCode);
    writer.PutCode(kFlush);
}

}  // namespace

std::vector<uint8_t> encodeFrameGif(const FrameGifSource& source) noexcept {
    if (!sourceIsConsistent(source)) return {};
    try {
        std::vector<uint8_t> out(
            static_cast<size_t>(source.width) * static_cast<size_t>(source.height) + 801);
        const size_t dataStart = writeHeader(source, out.data());
        CodeWriter writer(out, dataStart);
        compress(source, writer);
        const size_t end = writer.position();
        out[end] = 0x00;  // block terminator
        out[end + 1] = 0x3B;
        out.resize(end + 2);
        return out;
    } catch (...) {
        return {};  // out of memory; the buffers release themselves
    }
}

}  // namespace anigif
