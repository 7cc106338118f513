#include "practice/windows/window_placement.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace windows {

namespace {

QSize centreNow(QWidget& window) {
    const QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    const QSize outer = window.frameGeometry().size();
    if (!screen) return outer;
    const QRect area = screen->geometry();
    window.move(area.left() + (area.width() - outer.width()) / 2,
                area.top() + (area.height() - outer.height()) / 2);
    return outer;
}

// Waits for the frame of one window and centres it once more when the frame arrives.
class FrameWatch : public QObject {
  public:
    FrameWatch(QWidget& window, QSize outerUsed) : QObject(&window), outerUsed_(outerUsed) {
        setObjectName(QStringLiteral("frameWatch"));
        window.installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const auto type = event->type();
        if (type == QEvent::Move || type == QEvent::Resize || type == QEvent::Show) {
            auto& window = static_cast<QWidget&>(*watched);
            if (window.isVisible() && window.frameGeometry().size() != outerUsed_) {
                window.removeEventFilter(this);
                centreNow(window);
                deleteLater();
            }
        }
        return false;
    }

  private:
    QSize outerUsed_;
};

}  // namespace

void centreOnScreen(QWidget& window) {
    const QSize used = centreNow(window);
    if (!window.findChild<QObject*>(QStringLiteral("frameWatch"), Qt::FindDirectChildrenOnly))
        new FrameWatch(window, used);
}

}  // namespace windows
