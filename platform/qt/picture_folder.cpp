#include "platform/qt/picture_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImageReader>

namespace platform::qt {

PictureFolder PictureFolder::besideProgram() {
    return PictureFolder(
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("pic")));
}

QString PictureFolder::path(const QString& fileName) const {
    return QDir(dir_).filePath(fileName);
}

QPixmap PictureFolder::picture(const QString& fileName) const {
    QImageReader reader(path(fileName));
    // The artwork is small; a hostile file must not make the decoder allocate without bound.
    reader.setAllocationLimit(64);
    const QImage image = reader.read();
    if (image.isNull()) return {};
    return QPixmap::fromImage(image);
}

QByteArray PictureFolder::bytes(const QString& fileName, qint64 maxBytes) const {
    QFile file(path(fileName));
    if (!file.open(QIODevice::ReadOnly)) return {};
    if (file.size() > maxBytes) return {};
    return file.read(maxBytes);
}

}  // namespace platform::qt
