#include "practice/windows/window_placement.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace windows {

namespace {

// The outer size: the window with the frame its window manager gave it, as far as known. The
// native window's margins are asked afresh (the widget's own copy is only renewed on moves).
QSize outerSize(const QWidget& window) {
    if (const QWindow* handle = window.windowHandle()) {
        const QMargins frame = handle->frameMargins();
        return window.size().grownBy(frame);
    }
    return window.frameGeometry().size();
}

QSize centreNow(QWidget& window) {
    const QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    const QSize outer = outerSize(window);
    if (!screen) return outer;
    const QRect area = screen->geometry();
    window.move(area.left() + (area.width() - outer.width()) / 2,
                area.top() + (area.height() - outer.height()) / 2);
    return outer;
}

// Waits for the frame of one window and centres it once more when the frame arrives. The frame
// brings no event of its own (a reparenting window manager keeps the inner area where it was),
// so it is looked for whenever the window is exposed, moved or resized.
class FrameWatch : public QObject {
  public:
    FrameWatch(QWidget& window, QSize outerUsed)
        : QObject(&window), window_(window), outerUsed_(outerUsed) {
        setObjectName(QStringLiteral("frameWatch"));
        window.installEventFilter(this);
        if (QWindow* handle = window.windowHandle()) handle->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        const auto type = event->type();
        if ((type == QEvent::Expose || type == QEvent::Move || type == QEvent::Resize) &&
            window_.isVisible() && outerSize(window_) != outerUsed_) {
            window_.removeEventFilter(this);
            if (QWindow* handle = window_.windowHandle()) handle->removeEventFilter(this);
            centreNow(window_);
            deleteLater();
        }
        return false;
    }

  private:
    QWidget& window_;
    QSize outerUsed_;
};

}  // namespace

void centreOnScreen(QWidget& window) {
    const QSize used = centreNow(window);
    if (!window.findChild<QObject*>(QStringLiteral("frameWatch"), Qt::FindDirectChildrenOnly))
        new FrameWatch(window, used);
}

}  // namespace windows
