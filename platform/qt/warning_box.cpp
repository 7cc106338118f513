#include "platform/qt/warning_box.h"

#include <QMessageBox>

namespace platform::qt {

void showWarningBox(QWidget* owner, const QString& title, const QString& message) {
    QMessageBox box(QMessageBox::Warning, title, message, QMessageBox::Ok, owner);
    box.setDefaultButton(QMessageBox::Ok);
    box.setWindowModality(owner ? Qt::WindowModal : Qt::ApplicationModal);
    box.exec();
    // The keyboard goes back to the owner's window: a window manager without focus handling of
    // its own (twm) leaves it nowhere when the box goes.
    if (QWidget* window = owner ? owner->window() : nullptr; window && window->isVisible())
        window->activateWindow();
}

}  // namespace platform::qt
