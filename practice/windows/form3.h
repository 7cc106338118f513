#pragma once
// Form3, the discover window: a local page about the program, a credit line and a link to the
// parents' guide installed with the program, which opens in the user's browser. It holds no
// practice state and deletes itself when closed.
#include <QUrl>
#include <QWidget>

#include "platform/qt/link_opener.h"
#include "platform/qt/picture_folder.h"

class QLabel;

namespace windows {

class Form3 : public QWidget {
    Q_OBJECT
  public:
    static const char* const kPageFile;
    static const char* const kGuideFile;

    Form3(const platform::qt::PictureFolder& pictures, platform::qt::LinkOpener opener,
          QWidget* parent = nullptr);

  protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    platform::qt::LinkOpener opener_;
    QUrl guide_;
    QLabel* label2_ = nullptr;
    bool centred_ = false;
};

}  // namespace windows
