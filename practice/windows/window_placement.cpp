#include "practice/windows/window_placement.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
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
    const QPoint topLeft(area.left() + (area.width() - outer.width()) / 2,
                         area.top() + (area.height() - outer.height()) / 2);
    // A shown window is placed by its inner area, computed from the frame the native window
    // knows: the widget's own copy of the frame may still be stale, and window managers read a
    // frame position in their own ways.
    QWindow* handle = window.windowHandle();
    if (handle && handle->isVisible()) {
        const QMargins frame = handle->frameMargins();
        handle->setPosition(topLeft + QPoint(frame.left(), frame.top()));
    } else {
        window.move(topLeft);
    }
    return outer;
}

// Waits for the frame of one window and centres it once more when the frame arrives. The frame
// brings no event of its own (a reparenting window manager keeps the inner area where it was),
// so it is looked for whenever the window is exposed, moved or resized, and once more a moment
// after the first exposure, for window managers that announce the frame only after mapping.
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
        if (type == QEvent::Expose && !exposed_) {
            exposed_ = true;
            QTimer::singleShot(250, this, [this] { recentreIfFramed(); });
        }
        if (type == QEvent::Expose || type == QEvent::Move || type == QEvent::Resize)
            recentreIfFramed();
        return false;
    }

  private:
    void recentreIfFramed() {
        if (done_ || !window_.isVisible() || outerSize(window_) == outerUsed_) return;
        done_ = true;
        window_.removeEventFilter(this);
        if (QWindow* handle = window_.windowHandle()) handle->removeEventFilter(this);
        centreNow(window_);
        deleteLater();
    }

    QWidget& window_;
    QSize outerUsed_;
    bool exposed_ = false;
    bool done_ = false;
};

}  // namespace

void centreOnScreen(QWidget& window) {
    const QSize used = centreNow(window);
    if (!window.findChild<QObject*>(QStringLiteral("frameWatch"), Qt::FindDirectChildrenOnly))
        new FrameWatch(window, used);
}

}  // namespace windows
