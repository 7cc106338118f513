#pragma once
// The artwork folder "pic" of the program. Pictures are read from disk every time they are asked
// for; nothing is cached, so replaced files show at once.
//
// Each picture NAME.EXT may come with denser drawings of itself, NAME@2x.EXT and NAME@3x.EXT, at
// two and three times its size. A picture asked for at a device pixel ratio above 1 is read from
// the densest useful drawing and brought to exactly ratio x its size, so it maps one to one onto
// the device pixels while keeping the logical size of NAME.EXT.
#include <QByteArray>
#include <QPixmap>
#include <QString>

namespace platform::qt {

class PictureFolder {
  public:
    explicit PictureFolder(QString dir) : dir_(std::move(dir)) {}
    // "pic" beside the running program file (as in the build tree), or else
    // "../share/kavrilo/pic" from it (as installed): both relative to the program's own file
    // (symbolic links resolved), so a copy runs from wherever it lies.
    static PictureFolder besideProgram();

    const QString& dir() const { return dir_; }
    QString path(const QString& fileName) const;
    // The picture for a device pixel ratio, or a null pixmap when NAME.EXT is missing or cannot
    // be decoded (a missing or broken denser drawing falls back to the next one, then to
    // NAME.EXT scaled smoothly).
    QPixmap picture(const QString& fileName, qreal devicePixelRatio = 1.0) const;
    // The raw bytes, empty when the file is missing or unreadable; files above `maxBytes`
    // are refused (empty) rather than read into memory.
    QByteArray bytes(const QString& fileName, qint64 maxBytes = 16 * 1024 * 1024) const;

  private:
    QString dir_;
};

}  // namespace platform::qt
