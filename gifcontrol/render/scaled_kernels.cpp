// Scaled drawing by area averaging (area_average.h): an 8-bit cell through its colour table, or a
// 24-bit picture with its mask, onto a canvas or a surface.
#include "gifcontrol/render/area_average.h"

namespace anigif::draw {

using namespace area;

namespace {

// Shares of the source positions k0 .. k1 - 1 in the span [a, b), as integers adding up to 256:
// each is the rounded-down share, and what is left goes to the largest remainders.
void appendShares(double a, double b, int64_t k0, int64_t k1, std::vector<uint16_t>& out) {
    const double total = b - a;
    const std::size_t base = out.size();
    double remainders[64];
    const bool small = k1 - k0 <= 64;
    uint32_t given = 0;
    for (int64_t k = k0; k < k1; ++k) {
        const double cover = std::min(b, double(k + 1)) - std::max(a, double(k));
        const double share = total > 0 ? std::max(cover, 0.0) / total * kWeightOne
                                       : (k == k0 ? double(kWeightOne) : 0.0);
        const auto whole = static_cast<uint32_t>(std::min(std::floor(share), double(kWeightOne)));
        out.push_back(static_cast<uint16_t>(whole));
        if (small) remainders[k - k0] = share - whole;
        given += whole;
    }
    // Hand out what rounding down left, one unit each, largest remainder first.
    while (given < kWeightOne) {
        std::size_t best = 0;
        if (small) {
            for (std::size_t k = 1; k < static_cast<std::size_t>(k1 - k0); ++k)
                if (remainders[k] > remainders[best]) best = k;
            remainders[best] = -1;
        } else {
            best = given % static_cast<std::size_t>(k1 - k0);  // spread evenly
        }
        ++out[base + best];
        ++given;
    }
}

}  // namespace

namespace area {

AxisTaps axisTaps(int32_t d, int32_t dn, int32_t sn, int32_t dstLimit) {
    AxisTaps t;
    const int64_t lo = std::max<int64_t>(d, 0);
    const int64_t hi = std::min<int64_t>(int64_t{d} + dn, dstLimit);
    if (hi <= lo) return t;
    t.first = static_cast<int32_t>(lo);
    const double scale = double(sn) / double(dn);
    t.start.reserve(static_cast<std::size_t>(hi - lo));
    t.at.reserve(static_cast<std::size_t>(hi - lo) + 1);
    for (int64_t pos = lo; pos < hi; ++pos) {
        const double i = double(pos - d);
        const double a = i * scale;
        const double b = std::min((i + 1) * scale, double(sn));
        const int64_t k0 = std::min<int64_t>(static_cast<int64_t>(std::floor(a)), sn - 1);
        int64_t k1 = std::min<int64_t>(static_cast<int64_t>(std::ceil(b)), sn);
        if (k1 <= k0) k1 = k0 + 1;
        t.start.push_back(static_cast<int32_t>(k0));
        t.at.push_back(static_cast<uint32_t>(t.weight.size()));
        appendShares(a, b, k0, k1, t.weight);
        t.maxTaps = std::max(t.maxTaps, static_cast<int32_t>(k1 - k0));
    }
    t.at.push_back(static_cast<uint32_t>(t.weight.size()));
    return t;
}

}  // namespace area

void cellScaled(const Canvas& dst, const TargetRect& to, const Surface& src, const SourceRect& cell,
                const Lookup& colors, const std::array<bool, 256>& covers, ScaleScratch scratch) {
    if (src.bitsPerPixel() != 8 || !inside(src, cell)) return;
    std::array<uint64_t, 256> lanes;
    for (std::size_t k = 0; k < 256; ++k) lanes[k] = covers[k] ? lanesOf(colors[k]) : 0;
    scaledOnto(dst, to, cell.w, cell.h, scratch, IndexedRows{src, cell.x, cell.y, lanes});
}

void pictureScaled(const Canvas& dst, const TargetRect& to, const Surface& src, const Surface* mask,
                   const SourceRect& from, ScaleScratch scratch) {
    if (src.bitsPerPixel() != 24 || !inside(src, from)) return;
    if (!maskFits(src, mask)) return;
    scaledOnto(dst, to, from.w, from.h, scratch,
               [&](int32_t r, int32_t first, int32_t count, uint64_t* out) {
                   fetchPicture(src, mask, from.y + r, from.x + first, count, out);
               });
}

void cellScaled(Surface& dst, const TargetRect& to, const Surface& src, const SourceRect& cell,
                const Lookup& colors, const std::array<bool, 256>& covers, ScaleScratch scratch) {
    if (dst.bitsPerPixel() == 24)
        cellScaled(Canvas::of(dst), to, src, cell, colors, covers, scratch);
}

void pictureScaled(Surface& dst, const TargetRect& to, const Surface& src, const Surface* mask,
                   const SourceRect& from, ScaleScratch scratch) {
    if (dst.bitsPerPixel() == 24) pictureScaled(Canvas::of(dst), to, src, mask, from, scratch);
}

}  // namespace anigif::draw
