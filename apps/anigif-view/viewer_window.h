#pragma once
// The viewer's main window: the control on a checkered stage, the playing commands, a panel of
// its properties (each with the control's help string as tooltip), the frame counters and a log
// of the events as they are raised.
#include <QMainWindow>
#include <QString>

class QCheckBox;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QDragEnterEvent;
class QDropEvent;

namespace anigif {
class AniGifWidget;
}

namespace viewer {

class ViewerWindow : public QMainWindow {
    Q_OBJECT
  public:
    explicit ViewerWindow(QWidget* parent = nullptr);

    // Opens a local file, or downloads an address with a scheme other than file:.
    void open(const QString& fileOrAddress);

  protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void buildActions();
    QWidget* buildPanel();
    void openFileDialog();
    void openAddressDialog();
    // ok: the load of `what` succeeded; otherwise `why` says what went wrong.
    void loaded(bool ok, const QString& what, const QString& why = QString());
    void syncPanel();
    void updateCounters();
    void applyControlSize();
    void chooseSolidColour();

    anigif::AniGifWidget* gif_ = nullptr;
    QWidget* stage_ = nullptr;

    QComboBox* stretch_ = nullptr;
    QComboBox* mirrored_ = nullptr;
    QSpinBox* loops_ = nullptr;
    QSpinBox* minDelay_ = nullptr;
    QSpinBox* steppedDelay_ = nullptr;
    QSpinBox* offsetX_ = nullptr;
    QSpinBox* offsetY_ = nullptr;
    QSpinBox* width_ = nullptr;
    QSpinBox* height_ = nullptr;
    QCheckBox* solidUsed_ = nullptr;
    QPushButton* solidColour_ = nullptr;
    QCheckBox* cancelRemote_ = nullptr;
    QCheckBox* logMoves_ = nullptr;

    QString download_;  // the address of the last download started
    QLabel* message_ = nullptr;
    QLabel* frame_ = nullptr;
    QLabel* loopsRemaining_ = nullptr;
    QLabel* size_ = nullptr;
    QPlainTextEdit* log_ = nullptr;
};

}  // namespace viewer
