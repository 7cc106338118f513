#pragma once
// Writing GIF files from Qt images: a palette of at most 255 colours by median cut, one index
// kept for transparency, optional animation frames.
#include <QImage>
#include <QString>
#include <vector>

namespace artwork {

struct GifFrame {
    QImage image;       // ARGB32; pixels are either opaque or fully transparent
    int delayMs = 100;  // display time
};

// Writes a GIF89a with one shared colour table; several frames loop forever.
bool writeGif(const QString& path, const std::vector<GifFrame>& frames);

}  // namespace artwork
