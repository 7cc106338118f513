#pragma once
// A button drawn by two pictures from the artwork folder: the normal one, and the pressed one
// shown while a mouse button is held on it. Both are read from disk each time they are shown.
#include <QLabel>
#include <QString>

#include "platform/qt/picture_folder.h"

namespace windows {

class PictureButton : public QLabel {
    Q_OBJECT
  public:
    PictureButton(const platform::qt::PictureFolder& pictures, QString normalFile,
                  QString pressedFile, QWidget* parent);

    void showNormalPicture();
    void showPressedPicture();
    // While false the button takes no mouse presses, releases or clicks and keeps its picture.
    void setTakesInput(bool takes);
    bool takesInput() const { return takesInput_; }

  signals:
    // A left-button press and release both on the button, after the normal picture is back.
    void clicked();

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    const platform::qt::PictureFolder& pictures_;
    QString normalFile_;
    QString pressedFile_;
    bool takesInput_ = true;
    bool leftHeld_ = false;
};

}  // namespace windows
