#include "practice/windows/window_placement.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include "platform/qt/frame_extents.h"

namespace windows {

namespace {

// The frame of a shown window as the native window knows it (asked afresh: the widget's own
// copy is only renewed on moves). Nothing while the window manager is still building the frame:
// a frame that does not yet enclose the window gives negative margins.
std::optional<QMargins> knownFrame(const QWidget& window) {
    const QWindow* handle = window.windowHandle();
    if (!handle) return QMargins();
    const QMargins frame = handle->frameMargins();
    if (frame.left() < 0 || frame.top() < 0 || frame.right() < 0 || frame.bottom() < 0)
        return std::nullopt;
    return frame;
}

// Places the window's inner area so that the inner area grown by `frame` is centred on the
// screen. Positions are given for the inner area, which every window manager keeps where it is
// asked to put it.
void placeCentred(QWidget& window, const QMargins& frame) {
    const QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect area = screen->geometry();
    const QSize outer = window.size().grownBy(frame);
    const QPoint inner(area.left() + (area.width() - outer.width()) / 2 + frame.left(),
                       area.top() + (area.height() - outer.height()) / 2 + frame.top());
    QWindow* handle = window.windowHandle();
    if (handle && handle->isVisible()) {
        handle->setPosition(inner);
    } else {
        // QWidget::move takes the outer position and adds the frame it knows of; ask for the
        // position that puts the inner area where it belongs, whatever frame that is.
        const QPoint knownFrameOffset = window.geometry().topLeft() - window.pos();
        window.move(inner - knownFrameOffset);
    }
}

// Waits for the frame of a window placed before its window manager framed it, and centres the
// window once more when the frame it was given is known and differs from the one it was placed
// for. The frame brings no event of its own (a reparenting
// window manager keeps the inner area where it was), so it is looked for whenever the window is
// exposed, moved or resized, and a few times shortly after the first exposure.
class FrameWatch : public QObject {
  public:
    FrameWatch(QWidget& window, QMargins placedFor)
        : QObject(&window), window_(window), placedFor_(placedFor) {
        setObjectName(QStringLiteral("frameWatch"));
        window.installEventFilter(this);
        if (QWindow* handle = window.windowHandle()) handle->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        const auto type = event->type();
        if (type == QEvent::Expose && !exposed_) {
            exposed_ = true;
            for (int ms : {100, 250, 500, 1000})
                QTimer::singleShot(ms, this, [this] { recentreIfFramed(); });
            QTimer::singleShot(1500, this, [this] { finish(); });
        }
        if (type == QEvent::Expose || type == QEvent::Move || type == QEvent::Resize)
            recentreIfFramed();
        return false;
    }

  private:
    void recentreIfFramed() {
        if (done_ || !window_.isVisible()) return;
        const auto frame = knownFrame(window_);
        if (!frame || frame->isNull()) return;
        done_ = true;
        if (*frame != placedFor_) placeCentred(window_, *frame);
        finish();
    }

    // Stops watching: the frame is known, or no window manager frames this window.
    void finish() {
        done_ = true;
        window_.removeEventFilter(this);
        if (QWindow* handle = window_.windowHandle()) handle->removeEventFilter(this);
        deleteLater();
    }

    QWidget& window_;
    QMargins placedFor_;
    bool exposed_ = false;
    bool done_ = false;
};

}  // namespace

void centreOnScreen(QWidget& window) {
    QMargins placedFor = knownFrame(window).value_or(QMargins());
    QWindow* handle = window.windowHandle();
    if (handle && !handle->isVisible()) {
        if (const auto frame = platform::qt::frameExtentsBeforeShowing(*handle)) placedFor = *frame;
    }
    placeCentred(window, placedFor);
    // The frame given may still differ from the one announced (or none was announced).
    if (!window.findChild<QObject*>(QStringLiteral("frameWatch"), Qt::FindDirectChildrenOnly))
        new FrameWatch(window, placedFor);
}

}  // namespace windows
