#pragma once
// Answering modal windows from inside their own event loop: the test schedules the answer,
// then performs the action that opens the window. Zero-delay timers poll for the window; no
// test waits on the clock.
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

namespace testing_windows {

// Runs `action` on the first visible top-level widget of type T once one shows (typically
// inside a modal exec started after this call).
template <class T>
void whenShown(std::function<void(T*)> action) {
    auto attempts = std::make_shared<int>(0);
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [action, attempts, poll] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* t = qobject_cast<T*>(w); t && t->isVisible()) {
                action(t);
                *poll = nullptr;  // break the self-reference
                return;
            }
        }
        if (++*attempts < 10000) {
            QTimer::singleShot(0, [poll] {
                if (*poll) (*poll)();
            });
        }
    };
    QTimer::singleShot(0, [poll] {
        if (*poll) (*poll)();
    });
}

// What a warning box showed; filled in when the test answers it.
struct SeenBox {
    int count = 0;
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString okText;
    int buttonCount = 0;
    QWidget* owner = nullptr;
};

// Answers the next message box with OK, recording what it showed.
std::shared_ptr<SeenBox> answerNextBox();

// Saves a picture of `widget` into $KAVRILO_SCREENSHOT_DIR/<name>.png when that is set.
void saveShot(QWidget& widget, const QString& name);

}  // namespace testing_windows
