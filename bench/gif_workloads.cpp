#include "bench/gif_workloads.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstddef>

namespace bench {
namespace {

// Small deterministic generator, so every run measures the same files.
class Rng {
  public:
    explicit Rng(uint64_t seed) : s_(seed * 0x9E3779B97F4A7C15ull + 1) {}
    uint32_t next() {
        s_ ^= s_ << 13;
        s_ ^= s_ >> 7;
        s_ ^= s_ << 17;
        return static_cast<uint32_t>(s_ >> 11);
    }
    int range(int lo, int hi) { return lo + static_cast<int>(next() % uint32_t(hi - lo + 1)); }

  private:
    uint64_t s_;
};

std::vector<uint32_t> rainbow(int shift) {
    std::vector<uint32_t> t(256);
    for (uint32_t i = 0; i < 256; ++i) {
        const uint32_t k = (i + static_cast<uint32_t>(shift)) & 0xFF;
        t[i] = (k << 16) | (((k * 3) & 0xFF) << 8) | ((255 - k) & 0xFF);
    }
    return t;
}

int writeToVector(GifFileType* gif, const GifByteType* data, int n) {
    auto* out = static_cast<Bytes*>(gif->UserData);
    out->insert(out->end(), data, data + n);
    return n;
}

ColorMapObject* makeMap(const std::vector<uint32_t>& colours) {
    std::vector<GifColorType> c(colours.size());
    for (size_t i = 0; i < colours.size(); ++i)
        c[i] = {static_cast<GifByteType>(colours[i] >> 16),
                static_cast<GifByteType>(colours[i] >> 8), static_cast<GifByteType>(colours[i])};
    return GifMakeMapObject(static_cast<int>(c.size()), c.data());
}

}  // namespace

// Encodes the frames with giflib's encoder into memory.
Bytes encode(int screenW, int screenH, const std::vector<uint32_t>& global,
             const std::vector<FrameSpec>& frames, bool interlaced) {
    Bytes out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, writeToVector, &error);
    if (gif == nullptr) return {};
    EGifSetGifVersion(gif, true);
    ColorMapObject* globalMap = makeMap(global);
    bool ok = EGifPutScreenDesc(gif, screenW, screenH, 8, 0, globalMap) == GIF_OK;
    GifFreeMapObject(globalMap);
    // Loop for ever.
    const GifByteType netscape[] = {'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'};
    const GifByteType loop[] = {1, 0, 0};
    ok = ok && EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) == GIF_OK &&
         EGifPutExtensionBlock(gif, 11, netscape) == GIF_OK &&
         EGifPutExtensionBlock(gif, 3, loop) == GIF_OK && EGifPutExtensionTrailer(gif) == GIF_OK;
    for (const FrameSpec& f : frames) {
        if (!ok) break;
        GraphicsControlBlock gcb{};
        gcb.DisposalMode = f.disposal;
        gcb.DelayTime = f.delayCs;
        gcb.TransparentColor = f.transparent;
        GifByteType ext[4];
        EGifGCBToExtension(&gcb, ext);
        ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, ext) == GIF_OK;
        ColorMapObject* local = f.localTable.empty() ? nullptr : makeMap(f.localTable);
        ok = ok &&
             EGifPutImageDesc(gif, f.left, f.top, f.width, f.height, interlaced, local) == GIF_OK;
        GifFreeMapObject(local);
        auto putLine = [&](int y) {
            auto* line = const_cast<GifPixelType*>(f.indices.data() + size_t(y) * size_t(f.width));
            ok = ok && EGifPutLine(gif, line, f.width) == GIF_OK;
        };
        if (interlaced) {
            const int start[] = {0, 4, 2, 1}, step[] = {8, 8, 4, 2};
            for (int pass = 0; pass < 4; ++pass)
                for (int y = start[pass]; y < f.height; y += step[pass]) putLine(y);
        } else {
            for (int y = 0; y < f.height; ++y) putLine(y);
        }
    }
    if (EGifCloseFile(gif, &error) != GIF_OK || !ok) return {};
    return out;
}

namespace {

// A gradient with some noise; `noise` is the amplitude (0 = smooth).
FrameSpec gradientFrame(Rng& rng, int w, int h, int phase, int noise) {
    FrameSpec f;
    f.width = w;
    f.height = h;
    f.indices.resize(size_t(w) * size_t(h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int n = noise > 0 ? static_cast<int>(rng.next() % uint32_t(noise)) : 0;
            f.indices[size_t(y) * w + x] = static_cast<uint8_t>((x / 4 + y / 3 + phase + n) & 0xFF);
        }
    return f;
}

// Sets roughly a third of the frame transparent, in horizontal runs.
void punchHoles(Rng& rng, FrameSpec& f, uint8_t index) {
    f.transparent = index;
    for (int y = 0; y < f.height; ++y) {
        const int start = rng.range(0, f.width - 1);
        const int len = rng.range(0, f.width * 2 / 3);
        for (int x = start; x < std::min(f.width, start + len); ++x)
            f.indices[size_t(y) * f.width + x] = index;
    }
}

}  // namespace

Workload decoration(bool interlaced) {
    std::vector<FrameSpec> frames;
    for (int i = 0; i < 6; ++i) {
        FrameSpec f;
        f.width = f.height = 200;
        f.disposal = i % 2 == 0 ? 2 : 1;
        f.transparent = 0;
        f.indices.assign(200 * 200, 0);
        const int cx = 40 + 24 * i, cy = 100 + (i % 3) * 20 - 20;
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < 200; ++x) {
                const int d2 = (x - cx) * (x - cx) + (y - cy) * (y - cy);
                if (d2 < 50 * 50)
                    f.indices[size_t(y) * 200 + x] = static_cast<uint8_t>(1 + d2 / 160);
            }
        frames.push_back(std::move(f));
    }
    return {"decoration", encode(200, 200, rainbow(0), frames, interlaced), 6, 6 * 200 * 200};
}

Workload large(bool interlaced) {
    Rng rng(2);
    std::vector<FrameSpec> frames;
    int64_t pixels = 0;
    for (int i = 0; i < 100; ++i) {
        FrameSpec f;
        if (i == 0) {
            f = gradientFrame(rng, 500, 500, 0, 6);
            f.disposal = 1;
        } else {
            const int w = rng.range(60, 400), h = rng.range(60, 400);
            f = gradientFrame(rng, w, h, i * 5, 6);
            f.left = rng.range(0, 500 - w);
            f.top = rng.range(0, 500 - h);
            f.disposal = 1 + i % 3;
            if (i % 2 == 1) punchHoles(rng, f, 255);
            if (i % 10 == 5) f.localTable = rainbow(i);
        }
        pixels += int64_t{f.width} * f.height;
        frames.push_back(std::move(f));
    }
    return {"large", encode(500, 500, rainbow(0), frames, interlaced), 100, pixels};
}

Workload huge(bool interlaced) {
    Rng rng(3);
    std::vector<FrameSpec> frames;
    for (int i = 0; i < 20; ++i) frames.push_back(gradientFrame(rng, 1920, 1080, i * 11, 24));
    return {"huge", encode(1920, 1080, rainbow(0), frames, interlaced), 20, 20ll * 1920 * 1080};
}

Workload manySmall(bool interlaced) {
    Rng rng(4);
    std::vector<FrameSpec> frames;
    for (int i = 0; i < 1000; ++i) {
        FrameSpec f = gradientFrame(rng, 64, 64, i, 4);
        f.disposal = 1 + i % 2;
        if (i % 4 == 0) punchHoles(rng, f, 255);
        frames.push_back(std::move(f));
    }
    return {"many-small", encode(64, 64, rainbow(0), frames, interlaced), 1000, 1000ll * 64 * 64};
}

}  // namespace bench
