#include "modal_helpers.h"

#include <QAbstractButton>
#include <QDir>

namespace testing_windows {

std::shared_ptr<SeenBox> answerNextBox() {
    auto seen = std::make_shared<SeenBox>();
    whenShown<QMessageBox>([seen](QMessageBox* box) {
        ++seen->count;
        seen->title = box->windowTitle();
        seen->text = box->text();
        seen->icon = box->icon();
        seen->buttonCount = int(box->buttons().size());
        seen->owner = box->parentWidget();
        if (QAbstractButton* ok = box->button(QMessageBox::Ok)) {
            seen->okText = ok->text();
            saveShot(*box, QStringLiteral("warning"));
            ok->click();
        } else {
            box->close();
        }
    });
    return seen;
}

void saveShot(QWidget& widget, const QString& name) {
    const QString dir = qEnvironmentVariable("KAVRILO_SCREENSHOT_DIR");
    if (dir.isEmpty()) return;
    QDir().mkpath(dir);
    widget.grab().save(QDir(dir).filePath(name + QStringLiteral(".png")));
}

}  // namespace testing_windows
