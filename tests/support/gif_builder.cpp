#include "tests/support/gif_builder.h"

#include <algorithm>
#include <stdexcept>

namespace giftest {
namespace {

void putWord(Bytes& out, int v) {
    out.push_back(static_cast<uint8_t>(v & 0xFF));
    out.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
}

int tableBits(size_t count) {
    int bits = 1;
    while ((size_t{1} << bits) < count && bits < 8) ++bits;
    return bits;
}

void putTable(Bytes& out, const std::vector<uint32_t>& colours, int bits) {
    const size_t n = size_t{1} << bits;
    for (size_t i = 0; i < n; ++i) {
        const uint32_t c = i < colours.size() ? colours[i] : 0;
        out.push_back(static_cast<uint8_t>(c >> 16));
        out.push_back(static_cast<uint8_t>(c >> 8));
        out.push_back(static_cast<uint8_t>(c));
    }
}

std::vector<uint8_t> interlaceOrder(const std::vector<uint8_t>& rows, int w, int h) {
    std::vector<uint8_t> out;
    out.reserve(rows.size());
    const int starts[] = {0, 4, 2, 1}, steps[] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass)
        for (int y = starts[pass]; y < h; y += steps[pass])
            out.insert(out.end(), rows.begin() + static_cast<long>(y) * w,
                       rows.begin() + static_cast<long>(y + 1) * w);
    return out;
}

}  // namespace

Bytes lzwImageData(const std::vector<uint8_t>& indices, int minCodeSize) {
    if (minCodeSize < 2 || minCodeSize > 8) throw std::invalid_argument("minCodeSize");
    const int clear = 1 << minCodeSize, eoi = clear + 1, width = minCodeSize + 1;
    // After a clear code the decoder adds one table entry per code after the first; staying
    // below 2^width entries keeps the code width fixed.
    const size_t perClear = static_cast<size_t>((1 << minCodeSize) - 2);
    Bytes codes;
    uint32_t acc = 0;
    int nbits = 0;
    auto put = [&](int code) {
        acc |= static_cast<uint32_t>(code) << nbits;
        nbits += width;
        while (nbits >= 8) {
            codes.push_back(static_cast<uint8_t>(acc & 0xFF));
            acc >>= 8;
            nbits -= 8;
        }
    };
    for (size_t i = 0; i < indices.size(); ++i) {
        if (i % perClear == 0) put(clear);
        if (indices[i] >= clear) throw std::invalid_argument("index above code size");
        put(indices[i]);
    }
    if (indices.empty()) put(clear);
    put(eoi);
    if (nbits > 0) codes.push_back(static_cast<uint8_t>(acc & 0xFF));

    Bytes out;
    out.push_back(static_cast<uint8_t>(minCodeSize));
    for (size_t pos = 0; pos < codes.size(); pos += 255) {
        const size_t n = std::min<size_t>(255, codes.size() - pos);
        out.push_back(static_cast<uint8_t>(n));
        out.insert(out.end(), codes.begin() + static_cast<long>(pos),
                   codes.begin() + static_cast<long>(pos + n));
    }
    out.push_back(0);
    return out;
}

std::vector<uint32_t> testPalette(int n) {
    std::vector<uint32_t> p(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        p[static_cast<size_t>(i)] = (static_cast<uint32_t>((i * 37 + 11) & 0xFF) << 16) |
                                    (static_cast<uint32_t>((i * 91 + 5) & 0xFF) << 8) |
                                    static_cast<uint32_t>((i * 173 + 29) & 0xFF);
    if (n > 0) p[0] = 0x000000;
    if (n > 1) p[1] = 0xFFFFFF;
    return p;
}

GifBuilder& GifBuilder::globalTable(std::vector<uint32_t> colours) {
    global_ = std::move(colours);
    return *this;
}

GifBuilder& GifBuilder::loop(int count, std::string identifier) {
    body_.insert(body_.end(), {0x21, 0xFF, 11});
    identifier.resize(11, ' ');
    body_.insert(body_.end(), identifier.begin(), identifier.end());
    body_.insert(body_.end(), {3, 1});
    putWord(body_, count);
    body_.push_back(0);
    return *this;
}

GifBuilder& GifBuilder::comment(const std::string& text) {
    body_.insert(body_.end(), {0x21, 0xFE});
    for (size_t pos = 0; pos < text.size(); pos += 255) {
        const size_t n = std::min<size_t>(255, text.size() - pos);
        body_.push_back(static_cast<uint8_t>(n));
        body_.insert(body_.end(), text.begin() + static_cast<long>(pos),
                     text.begin() + static_cast<long>(pos + n));
    }
    body_.push_back(0);
    return *this;
}

GifBuilder& GifBuilder::frame(const GifFrame& f) {
    if (f.control) {
        body_.insert(body_.end(), {0x21, 0xF9, 4});
        body_.push_back(static_cast<uint8_t>(((f.disposal & 7) << 2) | (f.transparent ? 1 : 0)));
        putWord(body_, f.delayCs);
        body_.push_back(f.transIndex);
        body_.push_back(0);
    }
    body_.push_back(0x2C);
    putWord(body_, f.left);
    putWord(body_, f.top);
    putWord(body_, f.width);
    putWord(body_, f.height);
    uint8_t packed = f.interlaced ? 0x40 : 0;
    int bits = 0;
    if (!f.localTable.empty()) {
        bits = tableBits(f.localTable.size());
        packed |= static_cast<uint8_t>(0x80 | (bits - 1));
    }
    body_.push_back(packed);
    if (bits) putTable(body_, f.localTable, bits);
    const auto data = lzwImageData(
        f.interlaced ? interlaceOrder(f.indices, f.width, f.height) : f.indices, f.minCodeSize);
    body_.insert(body_.end(), data.begin(), data.end());
    return *this;
}

GifBuilder& GifBuilder::raw(const Bytes& bytes) {
    body_.insert(body_.end(), bytes.begin(), bytes.end());
    return *this;
}

Bytes GifBuilder::build(bool trailer) const {
    Bytes out(signature_.begin(), signature_.end());
    putWord(out, screenW_);
    putWord(out, screenH_);
    uint8_t packed = 0x70;  // colour resolution 8 bits
    int bits = 0;
    if (!global_.empty()) {
        bits = tableBits(global_.size());
        packed |= static_cast<uint8_t>(0x80 | (bits - 1));
    }
    out.push_back(packed);
    out.push_back(0);  // background index
    out.push_back(0);  // aspect
    if (bits) putTable(out, global_, bits);
    out.insert(out.end(), body_.begin(), body_.end());
    if (trailer) out.push_back(0x3B);
    return out;
}

Bytes solidAnimation(int w, int h, int colours, const std::vector<int>& delaysCs, int disposal,
                     int loops) {
    GifBuilder b;
    b.screen(w, h).globalTable(testPalette(colours));
    if (loops >= 0) b.loop(loops);
    for (size_t k = 0; k < delaysCs.size(); ++k) {
        auto f = makeFrame(w, h, [&](int, int) { return static_cast<uint8_t>(k + 1); });
        f.control = true;
        f.delayCs = delaysCs[k];
        f.disposal = disposal;
        b.frame(f);
    }
    return b.build();
}

}  // namespace giftest
