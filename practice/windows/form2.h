#pragma once
// Form2, the number-list dialog: the teacher types one number or several separated by commas.
// Save (the button, or Enter anywhere in the dialog) checks the text with the shared check,
// hides the dialog and hands the text to the practice state. A successful save only hides the
// dialog, so it keeps its text and place; its close box destroys it.
#include <QDialog>

#include "practice/practice_state.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace windows {

class Form2 : public QDialog {
    Q_OBJECT
  public:
    Form2(practice::PracticeState& state, QWidget* owner);

    // Returns true when the text was accepted (the dialog is then hidden).
    bool save();

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Escape does not dismiss the dialog; only Save or the close box do.
    void reject() override {}

  private:
    practice::PracticeState& state_;
    QLineEdit* text1_ = nullptr;
    QPushButton* command1_ = nullptr;
    bool centred_ = false;
};

}  // namespace windows
