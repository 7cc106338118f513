#pragma once
// The artwork folder "pic" beside the program file. Pictures are read from disk every time they
// are asked for; nothing is cached, so replaced files show at once.
#include <QByteArray>
#include <QPixmap>
#include <QString>

namespace platform::qt {

class PictureFolder {
  public:
    explicit PictureFolder(QString dir) : dir_(std::move(dir)) {}
    // "pic" inside the folder of the running program file (symbolic links resolved).
    static PictureFolder besideProgram();

    const QString& dir() const { return dir_; }
    QString path(const QString& fileName) const;
    // The picture, or a null pixmap when the file is missing or cannot be decoded.
    QPixmap picture(const QString& fileName) const;
    // The raw bytes, empty when the file is missing or unreadable; files above `maxBytes`
    // are refused (empty) rather than read into memory.
    QByteArray bytes(const QString& fileName, qint64 maxBytes = 16 * 1024 * 1024) const;

  private:
    QString dir_;
};

}  // namespace platform::qt
