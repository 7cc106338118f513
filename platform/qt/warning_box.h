#pragma once
// Modal warning boxes: warning icon, a single OK button, owned by a window.
#include <QString>

class QWidget;

namespace platform::qt {

// Shows the box modal to `owner` (may be null) and returns when it is dismissed.
void showWarningBox(QWidget* owner, const QString& title, const QString& message);

}  // namespace platform::qt
