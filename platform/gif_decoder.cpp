#include "platform/gif_decoder.h"

#include <gif_lib.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>

#include "platform/lzw_decoder.h"

namespace platform {

namespace {

constexpr std::size_t kHeaderBytes = 13;  // signature, version, logical screen descriptor
constexpr std::size_t kMaxTableBytes = std::size_t{3} * 256;

// The pieces of a stream, read front to back.
class PieceCursor {
  public:
    explicit PieceCursor(std::span<const GifStreamPiece> pieces) : pieces_(pieces) {
        for (const GifStreamPiece& p : pieces) remaining_ += p.size;
    }
    std::size_t remaining() const noexcept { return remaining_; }

    // The bytes from here up to the first piece of zeros (bytes the stream lacks).
    std::size_t held() const noexcept {
        std::size_t n = 0;
        for (std::size_t i = piece_; i < pieces_.size() && pieces_[i].data != nullptr; ++i)
            n += pieces_[i].size - (i == piece_ ? offset_ : 0);
        return n;
    }

    // Copies the next n bytes (at most remaining()) to `out`.
    void take(uint8_t* out, std::size_t n) noexcept {
        n = std::min(n, remaining_);
        remaining_ -= n;
        if (piece_ < pieces_.size() && pieces_[piece_].data != nullptr &&
            pieces_[piece_].size - offset_ > n) {
            // The common case: inside one piece of bytes.
            std::memcpy(out, pieces_[piece_].data + offset_, n);
            offset_ += n;
            return;
        }
        while (n > 0) {
            const GifStreamPiece& p = pieces_[piece_];
            const std::size_t k = std::min(n, p.size - offset_);
            if (p.data != nullptr)
                std::memcpy(out, p.data + offset_, k);
            else
                std::memset(out, 0, k);
            out += k;
            n -= k;
            offset_ += k;
            if (offset_ == p.size) {
                ++piece_;
                offset_ = 0;
            }
        }
    }

  private:
    std::span<const GifStreamPiece> pieces_;
    std::size_t piece_ = 0, offset_ = 0, remaining_ = 0;
};

// What giflib reads from: the caller's bytes, never past their end, seen through a rewritten
// header. The signature is served in upper case (giflib insists on "GIF"; we accept any case),
// and the global colour table is cut out of the stream: the adapter reads it itself, and giflib
// would otherwise parse it colour by colour for every frame the control rebuilds.
struct MemoryReader {
    PieceCursor rest;
    std::array<uint8_t, kHeaderBytes> header{};
    std::size_t headerSize = 0;  // header bytes the stream holds
    std::size_t headerPos = 0;   // header bytes served so far
    std::array<uint8_t, kMaxTableBytes> table{};
    std::size_t tableSize = 0;  // bytes of global colour table cut out
    uint8_t lastByte = 0;       // the last byte served (after the image descriptor: the LZW
                                // minimum code size)

    explicit MemoryReader(std::span<const GifStreamPiece> pieces) : rest(pieces) {
        headerSize = std::min(rest.remaining(), kHeaderBytes);
        rest.take(header.data(), headerSize);
        for (std::size_t i = 0; i < 3; ++i)
            if (header[i] >= 'a' && header[i] <= 'z')
                header[i] = static_cast<uint8_t>(header[i] - 32);
        if (headerSize == kHeaderBytes && (header[10] & 0x80) != 0) {
            const std::size_t size = 3 * (std::size_t{2} << (header[10] & 7));
            // A stream cut inside the table is left for giflib to refuse.
            if (rest.remaining() >= size) {
                rest.take(table.data(), size);
                tableSize = size;
                header[10] &= 0x7F;
            }
        }
    }
    // Serves up to `wanted` bytes of the stream as giflib sees it; returns how many.
    std::size_t read(uint8_t* out, std::size_t wanted) noexcept {
        const std::size_t n = readSome(out, wanted);
        if (n > 0) lastByte = out[n - 1];
        return n;
    }
    std::size_t readSome(uint8_t* out, std::size_t wanted) noexcept {
        if (headerPos == headerSize) {
            const std::size_t n = std::min(wanted, rest.remaining());
            rest.take(out, n);
            return n;
        }
        const std::size_t fromHeader = std::min(wanted, headerSize - headerPos);
        std::memcpy(out, header.data() + headerPos, fromHeader);
        headerPos += fromHeader;
        const std::size_t fromRest = std::min(wanted - fromHeader, rest.remaining());
        rest.take(out + fromHeader, fromRest);
        return fromHeader + fromRest;
    }
    // The global colour table as 0x00RRGGBB, when it was cut out.
    std::vector<uint32_t> globalTable() const {
        std::vector<uint32_t> colors(tableSize / 3);
        const uint8_t* p = table.data();
        for (std::size_t i = 0; i < colors.size(); ++i, p += 3)
            colors[i] = (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
        return colors;
    }
};

int readFromMemory(GifFileType* gif, GifByteType* out, int wanted) {
    auto* reader = static_cast<MemoryReader*>(gif->UserData);
    if (reader == nullptr || out == nullptr || wanted <= 0) return 0;
    return static_cast<int>(reader->read(out, static_cast<std::size_t>(wanted)));
}

bool hasSignature(const MemoryReader& reader) {
    if (reader.headerSize < 6) return false;
    return reader.header[0] == 'G' && reader.header[1] == 'I' && reader.header[2] == 'F';
}

struct GifCloser {
    void operator()(GifFileType* gif) const noexcept {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};

std::vector<uint32_t> tableOf(const ColorMapObject* map) {
    std::vector<uint32_t> table;
    if (map == nullptr || map->Colors == nullptr || map->ColorCount <= 0) return table;
    const int n = std::min(map->ColorCount, 256);
    table.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        const GifColorType& c = map->Colors[i];
        table.push_back((uint32_t{c.Red} << 16) | (uint32_t{c.Green} << 8) | c.Blue);
    }
    return table;
}

// Skips the rest of an extension; false when the stream ends inside it.
bool skipExtension(GifFileType* gif, GifByteType* block) {
    while (block != nullptr) {
        if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) return false;
    }
    return true;
}

// Decodes the lines of the current image into the target, undoing interlacing.
bool decodeLines(GifFileType* gif, const GifImageInfo& info, const GifLineTarget& target) {
    const int32_t w = info.width, h = info.height;
    if (w <= 0 || h <= 0) return true;
    auto lineAt = [&](int32_t y) {
        return target.first + static_cast<std::ptrdiff_t>(y) * target.pitch;
    };
    if (!info.interlaced) {
        for (int32_t y = 0; y < h; ++y)
            if (DGifGetLine(gif, lineAt(y), w) == GIF_ERROR) return false;
        return true;
    }
    // The four interlace passes: every 8th line from 0, every 8th from 4, every 4th from 2,
    // every 2nd from 1.
    static constexpr int32_t kStart[] = {0, 4, 2, 1};
    static constexpr int32_t kStep[] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass) {
        for (int32_t y = kStart[pass]; y < h; y += kStep[pass])
            if (DGifGetLine(gif, lineAt(y), w) == GIF_ERROR) return false;
    }
    return true;
}

// The image data of one frame without their sub-block length bytes, in a buffer each thread
// keeps (it grows to the largest frame's data and stays).
struct CodeBuffer {
    std::unique_ptr<uint8_t[]> bytes;
    std::size_t capacity = 0, size = 0;

    bool append(PieceCursor& from, std::size_t n) noexcept {
        if (size + n > capacity) {
            const std::size_t grown = std::max({size + n, 2 * capacity, std::size_t{4096}});
            std::unique_ptr<uint8_t[]> more(new (std::nothrow) uint8_t[grown]);
            if (!more) return false;
            if (size > 0) std::memcpy(more.get(), bytes.get(), size);
            bytes = std::move(more);
            capacity = grown;
        }
        from.take(bytes.get() + size, n);
        size += n;
        return true;
    }
};

// Reads the sub-blocks that follow the minimum code size, as far as the stream holds them;
// true when they end with their terminator.
bool gatherCodes(PieceCursor& rest, CodeBuffer& codes) noexcept {
    codes.size = 0;
    std::size_t held = rest.held();
    while (held > 0) {
        uint8_t length = 0;
        rest.take(&length, 1);
        --held;
        if (length == 0) return true;
        const std::size_t n = std::min<std::size_t>(length, held);
        if (!codes.append(rest, n)) return false;
        held -= n;
    }
    return false;
}

bool decodeOwn(MemoryReader& reader, const GifImageInfo& info, const GifLineTarget& target,
               LzwResult* lzw) noexcept {
    if (info.width <= 0 || info.height <= 0) {
        if (lzw != nullptr) lzw->end = LzwEnd::Complete;
        return true;
    }
    static thread_local CodeBuffer codes;
    const bool terminated = gatherCodes(reader.rest, codes);
    const LzwLines lines{target.first, target.pitch, info.width, info.height, info.interlaced};
    const LzwResult r =
        decodeLzw(reader.lastByte, std::span<const uint8_t>(codes.bytes.get(), codes.size), lines);
    if (lzw != nullptr) *lzw = r;
    return r.end == LzwEnd::Complete && terminated;
}

GifFrameDecoder decoderFromEnvironment() noexcept {
    const char* env = std::getenv("ANIGIF_DECODER");
    if (env != nullptr && std::string_view(env) == "giflib") return GifFrameDecoder::Giflib;
    return GifFrameDecoder::Own;
}

}  // namespace

GifFrameDecoder defaultGifFrameDecoder() noexcept {
    static const GifFrameDecoder chosen = decoderFromEnvironment();
    return chosen;
}

GifDecodeStatus decodeFirstGifImage(std::span<const uint8_t> bytes, const GifTargetCallback& target,
                                    GifFrameDecoder decoder, LzwResult* lzw) noexcept {
    const GifStreamPiece whole{bytes.data(), bytes.size()};
    return decodeFirstGifImage(std::span<const GifStreamPiece>(&whole, 1), target, decoder, lzw);
}

GifDecodeStatus decodeFirstGifImage(std::span<const GifStreamPiece> pieces,
                                    const GifTargetCallback& target, GifFrameDecoder decoder,
                                    LzwResult* lzw) noexcept {
    if (lzw != nullptr) *lzw = LzwResult{};
    if (decoder == GifFrameDecoder::Default) decoder = defaultGifFrameDecoder();
    MemoryReader reader(pieces);
    if (!hasSignature(reader)) return GifDecodeStatus::NotGif;
    int error = 0;
    std::unique_ptr<GifFileType, GifCloser> gif(DGifOpen(&reader, readFromMemory, &error));
    if (!gif) return GifDecodeStatus::NotGif;

    int32_t transparent = -1;
    for (;;) {
        GifRecordType record = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif.get(), &record) == GIF_ERROR) return GifDecodeStatus::NoImage;
        if (record == TERMINATE_RECORD_TYPE) return GifDecodeStatus::NoImage;
        if (record == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* block = nullptr;
            if (DGifGetExtension(gif.get(), &code, &block) == GIF_ERROR)
                return GifDecodeStatus::NoImage;
            if (code == GRAPHICS_EXT_FUNC_CODE && block != nullptr) {
                GraphicsControlBlock gcb{};
                if (DGifExtensionToGCB(block[0], block + 1, &gcb) == GIF_OK)
                    transparent = gcb.TransparentColor;
            }
            if (!skipExtension(gif.get(), block)) return GifDecodeStatus::NoImage;
            continue;
        }
        if (record != IMAGE_DESC_RECORD_TYPE) return GifDecodeStatus::NoImage;
        if (DGifGetImageDesc(gif.get()) == GIF_ERROR) return GifDecodeStatus::NoImage;
        break;
    }

    GifLineTarget lines;
    GifImageInfo info;
    try {
        info.screenWidth = gif->SWidth;
        info.screenHeight = gif->SHeight;
        info.background = static_cast<uint8_t>(gif->SBackGroundColor);
        info.left = gif->Image.Left;
        info.top = gif->Image.Top;
        info.width = gif->Image.Width;
        info.height = gif->Image.Height;
        info.interlaced = gif->Image.Interlace;
        info.colors =
            gif->Image.ColorMap != nullptr ? tableOf(gif->Image.ColorMap) : reader.globalTable();
        info.transparentIndex = transparent;
        lines = target(info);
    } catch (...) {
        return GifDecodeStatus::Refused;
    }
    if (lines.first == nullptr) return GifDecodeStatus::Refused;
    const bool complete = decoder == GifFrameDecoder::Giflib ? decodeLines(gif.get(), info, lines)
                                                             : decodeOwn(reader, info, lines, lzw);
    return complete ? GifDecodeStatus::Complete : GifDecodeStatus::Partial;
}

}  // namespace platform
