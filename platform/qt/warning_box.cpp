#include "platform/qt/warning_box.h"

#include <QMessageBox>

namespace platform::qt {

void showWarningBox(QWidget* owner, const QString& title, const QString& message) {
    QMessageBox box(QMessageBox::Warning, title, message, QMessageBox::Ok, owner);
    box.setDefaultButton(QMessageBox::Ok);
    box.setWindowModality(owner ? Qt::WindowModal : Qt::ApplicationModal);
    box.exec();
}

}  // namespace platform::qt
