#include "bench/hostile_gifs.h"

#include <fstream>
#include <system_error>

#include "tests/support/gif_builder.h"

namespace bench {
namespace {

// Codes written least significant bit first into 255-byte sub-blocks.
class CodeWriter {
  public:
    void put(uint32_t code, int width) {
        acc_ |= uint64_t{code} << bits_;
        bits_ += width;
        while (bits_ >= 8) {
            byte(static_cast<uint8_t>(acc_));
            acc_ >>= 8;
            bits_ -= 8;
        }
    }
    std::vector<uint8_t> finish(int minCodeSize) {
        if (bits_ > 0) byte(static_cast<uint8_t>(acc_));
        std::vector<uint8_t> out{static_cast<uint8_t>(minCodeSize)};
        for (size_t at = 0; at < data_.size(); at += 255) {
            const size_t n = std::min<size_t>(255, data_.size() - at);
            out.push_back(static_cast<uint8_t>(n));
            out.insert(out.end(), data_.begin() + static_cast<std::ptrdiff_t>(at),
                       data_.begin() + static_cast<std::ptrdiff_t>(at + n));
        }
        out.push_back(0);
        return out;
    }

  private:
    void byte(uint8_t b) { data_.push_back(b); }
    uint64_t acc_ = 0;
    int bits_ = 0;
    std::vector<uint8_t> data_;
};

std::vector<uint8_t> solidGif(int screenW, int screenH) {
    giftest::GifBuilder b;
    b.screen(screenW, screenH).globalTable({0x000000, 0xFFFFFF});
    return b.build(false);
}

void putWord(std::vector<uint8_t>& out, int v) {
    out.push_back(static_cast<uint8_t>(v & 0xFF));
    out.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
}

}  // namespace

std::vector<uint8_t> lzwCompressed(const std::vector<uint8_t>& indices, int minCodeSize) {
    const uint32_t clear = 1u << minCodeSize, eoi = clear + 1;
    // The dictionary: code of (prefix code, next index), valid while its stamp is the current.
    std::vector<uint16_t> codes(size_t{4096} * 256);
    std::vector<uint32_t> stamps(codes.size(), 0);
    uint32_t stamp = 1;
    CodeWriter w;
    int width = minCodeSize + 1;
    uint32_t next = eoi + 1;
    auto emit = [&](uint32_t code) {
        w.put(code, width);
        if (next >= (1u << width) && width < 12) ++width;
    };
    emit(clear);
    if (indices.empty()) {
        emit(eoi);
        return w.finish(minCodeSize);
    }
    uint32_t prefix = indices[0];
    for (size_t i = 1; i < indices.size(); ++i) {
        const uint32_t c = indices[i];
        const size_t key = size_t{prefix} * 256 + c;
        if (stamps[key] == stamp) {
            prefix = codes[key];
            continue;
        }
        emit(prefix);
        if (next >= 4095) {
            emit(clear);
            width = minCodeSize + 1;
            next = eoi + 1;
            ++stamp;
        } else {
            codes[key] = static_cast<uint16_t>(next++);
            stamps[key] = stamp;
        }
        prefix = c;
    }
    emit(prefix);
    emit(eoi);
    return w.finish(minCodeSize);
}

HostileCase solidFrames(std::string name, int frames, int width, int height) {
    HostileCase c{std::move(name), solidGif(width, height), 0};
    const std::vector<uint8_t> data =
        lzwCompressed(std::vector<uint8_t>(size_t(width) * size_t(height), 0), 2);
    for (int k = 0; k < frames; ++k) {
        // A control block (disposal 1, 10 cs), then the image at (0, 0).
        const uint8_t gce[] = {0x21, 0xF9, 4, 0x04, 10, 0, 0, 0};
        c.bytes.insert(c.bytes.end(), std::begin(gce), std::end(gce));
        c.bytes.push_back(0x2C);
        putWord(c.bytes, 0);
        putWord(c.bytes, 0);
        putWord(c.bytes, width);
        putWord(c.bytes, height);
        c.bytes.push_back(0);
        c.bytes.insert(c.bytes.end(), data.begin(), data.end());
    }
    c.bytes.push_back(0x3B);
    c.fileBytes = c.bytes.size();
    return c;
}

HostileCase farApart() {
    giftest::GifBuilder b;
    b.screen(26001, 26001).globalTable({0x000000, 0xFFFFFF});
    for (const int at : {0, 26000}) {
        giftest::GifFrame f;
        f.left = f.top = at;
        f.indices = {1};
        f.control = true;
        f.disposal = 1;
        f.delayCs = 10;
        f.minCodeSize = 2;
        b.frame(f);
    }
    HostileCase c{"far-apart", b.build(), 0};
    c.fileBytes = c.bytes.size();
    return c;
}

HostileCase zeros(uint64_t fileBytes) {
    return HostileCase{"zeros", {0}, fileBytes};
}

HostileCase padded(uint64_t fileBytes) {
    HostileCase c = solidFrames("padded", 2, 64, 64);
    c.fileBytes = fileBytes;
    return c;
}

std::vector<HostileCase> hostileCases() {
    return {solidFrames("frames-31x8192", 31, 8192, 8192),
            solidFrames("frames-20x5000", 20, 5000, 5000), farApart(), zeros(2000000000),
            padded(1900000000)};
}

bool writeCase(const HostileCase& c, const std::filesystem::path& path) {
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(c.bytes.data()),
                  static_cast<std::streamsize>(c.bytes.size()));
        if (!out) return false;
    }
    std::error_code ec;
    if (c.fileBytes > c.bytes.size()) std::filesystem::resize_file(path, c.fileBytes, ec);
    return !ec;
}

}  // namespace bench
