#include "platform/gif_decoder.h"

#include <gif_lib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

namespace platform {

namespace {

constexpr std::size_t kHeaderBytes = 13;  // signature, version, logical screen descriptor

// What giflib reads from: the caller's bytes, never past their end, seen through a rewritten
// header. The signature is served in upper case (giflib insists on "GIF"; we accept any case),
// and the global colour table is cut out of the stream: the adapter reads it itself, and giflib
// would otherwise parse it colour by colour for every frame the control rebuilds.
struct MemoryReader {
    std::span<const uint8_t> bytes;
    std::array<uint8_t, kHeaderBytes> header{};
    std::size_t skipped = 0;  // bytes of global colour table left out after the header
    std::size_t pos = 0;      // position in the stream as giflib sees it

    explicit MemoryReader(std::span<const uint8_t> b) : bytes(b) {
        std::memcpy(header.data(), b.data(), std::min(b.size(), kHeaderBytes));
        for (std::size_t i = 0; i < 3; ++i)
            if (header[i] >= 'a' && header[i] <= 'z') header[i] = static_cast<uint8_t>(header[i] - 32);
        if (b.size() >= kHeaderBytes && (header[10] & 0x80) != 0) {
            const std::size_t table = 3 * (std::size_t{2} << (header[10] & 7));
            // A stream cut inside the table is left for giflib to refuse.
            if (b.size() >= kHeaderBytes + table) {
                skipped = table;
                header[10] &= 0x7F;
            }
        }
    }
    std::size_t size() const { return bytes.size() - skipped; }
    // The global colour table as 0x00RRGGBB, when it was cut out.
    std::vector<uint32_t> globalTable() const {
        std::vector<uint32_t> table(skipped / 3);
        const uint8_t* p = bytes.data() + kHeaderBytes;
        for (std::size_t i = 0; i < table.size(); ++i, p += 3)
            table[i] = (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
        return table;
    }
};

int readFromMemory(GifFileType* gif, GifByteType* out, int wanted) {
    auto* reader = static_cast<MemoryReader*>(gif->UserData);
    if (reader == nullptr || out == nullptr || wanted <= 0) return 0;
    const std::size_t n = std::min(reader->size() - reader->pos, static_cast<std::size_t>(wanted));
    std::size_t done = 0;
    if (reader->pos < kHeaderBytes) {
        done = std::min(n, kHeaderBytes - reader->pos);
        std::memcpy(out, reader->header.data() + reader->pos, done);
    }
    if (done < n)
        std::memcpy(out + done, reader->bytes.data() + reader->skipped + reader->pos + done, n - done);
    reader->pos += n;
    return static_cast<int>(n);
}

bool hasSignature(std::span<const uint8_t> bytes) {
    if (bytes.size() < 6) return false;
    const char want[] = "GIF";
    for (int i = 0; i < 3; ++i) {
        const int c = bytes[static_cast<std::size_t>(i)];
        if (c != want[i] && c != want[i] + 32) return false;
    }
    return true;
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
    auto lineAt = [&](int32_t y) { return target.first + static_cast<std::ptrdiff_t>(y) * target.pitch; };
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

}  // namespace

GifDecodeStatus decodeFirstGifImage(std::span<const uint8_t> bytes,
                                    const std::function<GifLineTarget(const GifImageInfo&)>& target)
    noexcept {
    if (!hasSignature(bytes)) return GifDecodeStatus::NotGif;
    MemoryReader reader(bytes);
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
        info.colors = gif->Image.ColorMap != nullptr ? tableOf(gif->Image.ColorMap)
                                                     : reader.globalTable();
        info.transparentIndex = transparent;
        lines = target(info);
    } catch (...) {
        return GifDecodeStatus::Refused;
    }
    if (lines.first == nullptr) return GifDecodeStatus::Refused;
    return decodeLines(gif.get(), info, lines) ? GifDecodeStatus::Complete
                                               : GifDecodeStatus::Partial;
}

}  // namespace platform
