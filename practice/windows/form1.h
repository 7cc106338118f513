#pragma once
// Form1, the main practice window: the decomposition diagram over the background picture, the
// answer box, the mark, and the picture buttons. It owns the practice state, routes every action
// of the child to it and draws its fields; it holds no practice rules of its own.
#include <QByteArray>
#include <QPixmap>
#include <QPointer>
#include <QWidget>
#include <functional>

#include "platform/qt/link_opener.h"
#include "platform/qt/picture_folder.h"
#include "practice/practice_state.h"

class QLabel;
class QLineEdit;

namespace windows {

class Form2;
class Form3;
class PictureButton;

// Builds the animated decoration inside `slot` (a 144 x 144 child of the window at -25, 252,
// above every other control, taking the mouse, empty until then), handing it the bytes of "fc.gif"
// as read when the window opened (empty when the file is missing). The window keeps nothing of it.
using DecorationFactory = std::function<void(QWidget& slot, const QByteArray& fcGif)>;

class Form1 : public QWidget, public practice::PracticeView {
    Q_OBJECT
  public:
    explicit Form1(platform::qt::PictureFolder pictures, DecorationFactory decoration = {},
                   platform::qt::LinkOpener opener = platform::qt::openInBrowser);
    ~Form1() override;

    practice::PracticeState& state() { return state_; }
    // The number-list dialog while it exists (shown or hidden), else null.
    Form2* numberListDialog() const;
    // The discover window while it is open, else null.
    Form3* discoverWindow() const;
    QWidget* decorationSlot() const { return decorationSlot_; }

    // A later start asked for the program: whichever of its windows is showing (the discover
    // window, or this one with the number-list dialog if it is open) is restored from its
    // minimised state, raised and activated.
    void bringToFront();

    // PracticeView
    void showWarning(const std::string& message, const std::string& title) override;
    void focusAnswer() override;
    void openNumberListDialog(bool modal) override;
    void redraw() override;

  signals:
    // The window was closed by the exit button or its close box: the program ends.
    void closed();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildControls();
    void describeControls();
    void loadPictures();  // background and the buttons at the screen's pixel density
    void reloadPictures();
    void openDiscoverWindow();
    // The answer box's keystroke, through the filter; true when the event was consumed.
    bool filterKeystroke(QKeyEvent* event);
    // Text committed by an input method, through the filter one character at a time.
    void filterCommittedText(const QString& text);
    // Performs the code the filter returned in place of the typed one (8 is a Backspace).
    void applyReplacementCode(int code);
    void drawFields();

    platform::qt::PictureFolder pictures_;
    platform::qt::LinkOpener opener_;
    practice::PracticeState state_;
    QPixmap background_;
    bool centred_ = false;
    bool drawing_ = false;
    bool redrawAgain_ = false;

    QLabel* label2_ = nullptr;
    QLabel* label1_ = nullptr;
    QLabel* label3_ = nullptr;
    QLabel* image1_ = nullptr;
    QLineEdit* text3_ = nullptr;
    PictureButton* image2_ = nullptr;
    PictureButton* image3_ = nullptr;
    PictureButton* image4_ = nullptr;
    PictureButton* image5_ = nullptr;
    QWidget* decorationSlot_ = nullptr;

    QPointer<Form2> form2_;
    QPointer<Form3> form3_;
};

}  // namespace windows
