#include "gif_file.h"

#include <gif_lib.h>

#include <QFile>
#include <algorithm>
#include <array>
#include <cstdint>
#include <map>

namespace artwork {

namespace {

struct ColourCount {
    std::array<int, 3> rgb;
    long count;
};

// Median cut over the colours with their pixel counts; deterministic for equal input.
std::vector<QRgb> medianCut(std::vector<ColourCount> colours, int maxColours) {
    struct Box {
        size_t begin, end;
    };
    std::vector<Box> boxes{{0, colours.size()}};
    auto range = [&](const Box& b, int channel) {
        int lo = 255, hi = 0;
        for (size_t i = b.begin; i < b.end; ++i) {
            lo = std::min(lo, colours[i].rgb[channel]);
            hi = std::max(hi, colours[i].rgb[channel]);
        }
        return hi - lo;
    };
    while (int(boxes.size()) < maxColours) {
        int best = -1, bestChannel = 0, bestRange = 0;
        for (int b = 0; b < int(boxes.size()); ++b) {
            if (boxes[b].end - boxes[b].begin < 2) continue;
            for (int c = 0; c < 3; ++c) {
                const int r = range(boxes[b], c);
                if (r > bestRange) best = b, bestChannel = c, bestRange = r;
            }
        }
        if (best < 0) break;
        Box box = boxes[best];
        std::stable_sort(colours.begin() + long(box.begin), colours.begin() + long(box.end),
                         [&](const ColourCount& a, const ColourCount& b) {
                             return a.rgb[bestChannel] < b.rgb[bestChannel];
                         });
        long total = 0;
        for (size_t i = box.begin; i < box.end; ++i) total += colours[i].count;
        long half = 0;
        size_t split = box.begin + 1;
        for (size_t i = box.begin; i < box.end - 1; ++i) {
            half += colours[i].count;
            split = i + 1;
            if (half * 2 >= total) break;
        }
        boxes[best] = {box.begin, split};
        boxes.push_back({split, box.end});
    }
    std::vector<QRgb> palette;
    for (const Box& b : boxes) {
        double sum[3] = {0, 0, 0};
        double n = 0;
        for (size_t i = b.begin; i < b.end; ++i) {
            for (int c = 0; c < 3; ++c)
                sum[c] += double(colours[i].rgb[c]) * double(colours[i].count);
            n += double(colours[i].count);
        }
        if (n == 0) continue;
        palette.push_back(
            qRgb(int(sum[0] / n + 0.5), int(sum[1] / n + 0.5), int(sum[2] / n + 0.5)));
    }
    return palette;
}

int nearest(const std::vector<QRgb>& palette, QRgb c) {
    int best = 0;
    long bestDistance = -1;
    for (int i = 0; i < int(palette.size()); ++i) {
        const long dr = qRed(c) - qRed(palette[i]);
        const long dg = qGreen(c) - qGreen(palette[i]);
        const long db = qBlue(c) - qBlue(palette[i]);
        const long d = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
        if (bestDistance < 0 || d < bestDistance) best = i, bestDistance = d;
    }
    return best;
}

}  // namespace

bool writeGif(const QString& path, const std::vector<GifFrame>& frames) {
    if (frames.empty()) return false;
    const int width = frames.front().image.width();
    const int height = frames.front().image.height();

    std::map<QRgb, long> counts;
    bool anyTransparent = false;
    for (const GifFrame& f : frames) {
        const QImage img = f.image.convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const QRgb p = img.pixel(x, y);
                if (qAlpha(p) < 128) {
                    anyTransparent = true;
                } else {
                    ++counts[p | 0xFF000000u];
                }
            }
        }
    }
    std::vector<ColourCount> colours;
    for (const auto& [rgb, n] : counts)
        colours.push_back({{qRed(rgb), qGreen(rgb), qBlue(rgb)}, n});
    std::vector<QRgb> palette = medianCut(colours, anyTransparent ? 255 : 256);
    if (palette.empty()) palette.push_back(qRgb(255, 255, 255));
    const std::vector<QRgb> opaque = palette;
    const int transparentIndex = anyTransparent ? int(palette.size()) : -1;
    if (anyTransparent) palette.push_back(qRgb(255, 255, 255));
    int bits = 1;
    while ((1 << bits) < int(palette.size())) ++bits;

    std::vector<GifColorType> entries(size_t(1) << bits, GifColorType{0, 0, 0});
    for (size_t i = 0; i < palette.size(); ++i) {
        entries[i] = {GifByteType(qRed(palette[i])), GifByteType(qGreen(palette[i])),
                      GifByteType(qBlue(palette[i]))};
    }
    ColorMapObject* map = GifMakeMapObject(1 << bits, entries.data());
    int error = 0;
    GifFileType* gif = EGifOpenFileName(path.toLocal8Bit().constData(), false, &error);
    if (!gif) {
        GifFreeMapObject(map);
        return false;
    }
    EGifSetGifVersion(gif, true);
    bool ok = EGifPutScreenDesc(gif, width, height, bits, 0, map) == GIF_OK;
    GifFreeMapObject(map);
    if (ok && frames.size() > 1) {
        const GifByteType app[] = {'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'};
        const GifByteType loop[] = {1, 0, 0};  // loop forever
        ok = EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) == GIF_OK &&
             EGifPutExtensionBlock(gif, sizeof app, app) == GIF_OK &&
             EGifPutExtensionBlock(gif, sizeof loop, loop) == GIF_OK &&
             EGifPutExtensionTrailer(gif) == GIF_OK;
    }
    std::map<QRgb, int> lookup;
    std::vector<GifPixelType> row(static_cast<size_t>(width));
    for (const GifFrame& f : frames) {
        if (!ok) break;
        GraphicsControlBlock gcb{};
        gcb.DisposalMode = frames.size() > 1 ? DISPOSE_BACKGROUND : DISPOSAL_UNSPECIFIED;
        gcb.UserInputFlag = false;
        gcb.DelayTime = frames.size() > 1 ? f.delayMs / 10 : 0;
        gcb.TransparentColor = transparentIndex;
        GifByteType ext[4];
        const size_t extLength = EGifGCBToExtension(&gcb, ext);
        ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(extLength), ext) == GIF_OK &&
             EGifPutImageDesc(gif, 0, 0, width, height, false, nullptr) == GIF_OK;
        const QImage img = f.image.convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; ok && y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const QRgb p = img.pixel(x, y);
                if (qAlpha(p) < 128) {
                    row[size_t(x)] = GifPixelType(transparentIndex);
                    continue;
                }
                const QRgb key = p | 0xFF000000u;
                auto it = lookup.find(key);
                if (it == lookup.end()) it = lookup.emplace(key, nearest(opaque, key)).first;
                row[size_t(x)] = GifPixelType(it->second);
            }
            ok = EGifPutLine(gif, row.data(), width) == GIF_OK;
        }
    }
    ok = EGifCloseFile(gif, &error) == GIF_OK && ok;
    // giflib creates its files readable by the owner only; artwork is for everyone to read.
    QFile::setPermissions(
        path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    return ok;
}

}  // namespace artwork
