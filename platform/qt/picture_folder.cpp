#include "platform/qt/picture_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>

namespace platform::qt {

namespace {

QImage readImage(const QString& path) {
    QImageReader reader(path);
    // The artwork is small; a hostile file must not make the decoder allocate without bound.
    reader.setAllocationLimit(64);
    return reader.read();
}

// NAME@<n>x.EXT beside NAME.EXT.
QString densePath(const QString& path, int n) {
    const QFileInfo info(path);
    const QString suffix = info.suffix();
    const QString base = suffix.isEmpty() ? path : path.left(path.size() - suffix.size() - 1);
    return base + QStringLiteral("@%1x").arg(n) + (suffix.isEmpty() ? QString() : "." + suffix);
}

}  // namespace

PictureFolder PictureFolder::besideProgram() {
    const QDir programDir(QCoreApplication::applicationDirPath());
    const QString beside = programDir.filePath(QStringLiteral("pic"));
    if (QFileInfo(beside).isDir()) return PictureFolder(beside);
    return PictureFolder(
        QDir::cleanPath(programDir.filePath(QStringLiteral("../share/kavrilo/pic"))));
}

QString PictureFolder::path(const QString& fileName) const {
    return QDir(dir_).filePath(fileName);
}

QPixmap PictureFolder::picture(const QString& fileName, qreal devicePixelRatio) const {
    const QString file = path(fileName);
    if (!(devicePixelRatio > 1.0)) {
        const QImage image = readImage(file);
        return image.isNull() ? QPixmap() : QPixmap::fromImage(image);
    }
    // The logical size comes from NAME.EXT's header alone; it decides whether the picture exists.
    QImageReader header(file);
    const QSize logical = header.size();
    if (!logical.isValid() || logical.isEmpty()) return {};
    const QSize device(qRound(logical.width() * devicePixelRatio),
                       qRound(logical.height() * devicePixelRatio));

    QImage image;
    const int order[2][2] = {{2, 3}, {3, 2}};
    for (int n : order[devicePixelRatio > 2.0 ? 1 : 0]) {
        image = readImage(densePath(file, n));
        if (!image.isNull()) break;
    }
    if (image.isNull()) image = readImage(file);
    if (image.isNull()) return {};
    if (image.size() != device) {
        image = image.scaled(device, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    QPixmap pixmap = QPixmap::fromImage(image);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    return pixmap;
}

QByteArray PictureFolder::bytes(const QString& fileName, qint64 maxBytes) const {
    QFile file(path(fileName));
    if (!file.open(QIODevice::ReadOnly)) return {};
    if (file.size() > maxBytes) return {};
    return file.read(maxBytes);
}

}  // namespace platform::qt
