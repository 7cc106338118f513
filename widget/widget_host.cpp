#include "widget/widget_host.h"

#include <QCursor>
#include <QPixmap>
#include <QPointer>
#include <QVariant>
#include <algorithm>
#include <cmath>
#include <utility>
#include <variant>

#include "gifcontrol/render/uc_ani_gif.h"
#include "widget/ani_gif_widget_access.h"

namespace anigif {
namespace {

using platform::EventArg;

constexpr int16_t kPointerCustom = 99;

// The standard pointers 1..15 by number.
Qt::CursorShape standardCursor(int16_t pointer) {
    switch (pointer) {
        case 2:
            return Qt::CrossCursor;
        case 3:
            return Qt::IBeamCursor;
        case 5:
            return Qt::SizeAllCursor;
        case 6:
            return Qt::SizeBDiagCursor;
        case 7:
            return Qt::SizeVerCursor;
        case 8:
            return Qt::SizeFDiagCursor;
        case 9:
            return Qt::SizeHorCursor;
        case 10:
            return Qt::UpArrowCursor;
        case 11:
            return Qt::WaitCursor;
        case 12:
            return Qt::ForbiddenCursor;
        case 13:
            return Qt::BusyCursor;
        case 14:
            return Qt::WhatsThisCursor;
        case 15:
            return Qt::SizeAllCursor;
        default:
            return Qt::ArrowCursor;  // 1 arrow, 4 icon
    }
}

QVariant toVariant(const EventArg& arg) {
    return std::visit([](auto v) { return QVariant::fromValue(v); }, arg.value);
}

// The button and modifier codes of the control's mouse events back as Qt's flags, for events
// that reach the control without a Qt event behind them.
Qt::MouseButtons buttonsOf(int code) {
    Qt::MouseButtons b;
    if (code & 1) b |= Qt::LeftButton;
    if (code & 2) b |= Qt::RightButton;
    if (code & 4) b |= Qt::MiddleButton;
    return b;
}

Qt::KeyboardModifiers modifiersOf(int code) {
    Qt::KeyboardModifiers m;
    if (code & 1) m |= Qt::ShiftModifier;
    if (code & 2) m |= Qt::ControlModifier;
    if (code & 4) m |= Qt::AltModifier;
    return m;
}

}  // namespace

WidgetHost::WidgetHost(AniGifWidget& widget) : w_(widget) {}
WidgetHost::~WidgetHost() = default;

bool WidgetHost::NotingTimers::start(platform::WindowId window, platform::TimerId id,
                                     uint32_t intervalMs, Callback callback) {
    if (!callback) return qt.start(window, id, intervalMs, nullptr);
    QPointer<AniGifWidget> widget(&host.w_);
    WidgetHost* h = &host;
    return qt.start(window, id, intervalMs,
                    [widget, h, callback = std::move(callback)](platform::WindowId w,
                                                                platform::TimerId t, uint32_t ms) {
                        callback(w, t, ms);
                        if (widget) h->noteChanges();  // unless a handler deleted the widget
                    });
}

void WidgetHost::noteChanges() {
    const AniGifControl* c = w_.control_.get();
    if (!c) return;
    if (seen_.action.changed(c->Action())) emit w_.actionChanged();
    if (seen_.frame.changed(c->CurrentFrame())) emit w_.currentFrameChanged();
    if (seen_.frames.changed(c->FrameCount())) emit w_.frameCountChanged();
    if (seen_.loopsRemaining.changed(c->LoopsRemaining())) emit w_.loopsRemainingChanged();
    if (seen_.size.changed(QSize(w_.actualWidth(), w_.actualHeight()))) emit w_.actualSizeChanged();
}

bool WidgetHost::paint(const QRect& exposed, qreal ratio, QPainter& painter) {
    // The exposed part of the widget at device pixels, whole pixels outward.
    const int deviceWidth = qRound(w_.width() * ratio), deviceHeight = qRound(w_.height() * ratio);
    const QRect area = exposed.intersected(w_.rect());
    if (area.isEmpty()) return false;
    const int left = std::max(0, static_cast<int>(std::floor(area.x() * ratio)));
    const int top = std::max(0, static_cast<int>(std::floor(area.y() * ratio)));
    const int right =
        std::min(deviceWidth, static_cast<int>(std::ceil((area.right() + 1) * ratio)));
    const int bottom =
        std::min(deviceHeight, static_cast<int>(std::ceil((area.bottom() + 1) * ratio)));
    if (right <= left || bottom <= top) return false;
    const int w = right - left, h = bottom - top;
    // The buffer stays within what the control's budget leaves: a larger exposed area is painted
    // in bands of whole lines, one after the other.
    const std::size_t line = static_cast<std::size_t>(w) * 4;
    const std::size_t room = w_.control_->paintRoomBytes();
    const int band = static_cast<int>(std::clamp<std::size_t>(room / line, 1, h));
    // One buffer, kept between paints: remade when a larger band is exposed, or when it is
    // larger than the whole widget now is or than the budget leaves.
    if (buffer_.width() < w || buffer_.height() < band || buffer_.width() > deviceWidth ||
        buffer_.height() > deviceHeight ||
        static_cast<std::size_t>(buffer_.sizeInBytes()) > std::max(room, line)) {
        buffer_ = QImage();
        buffer_ = QImage(w, band, QImage::Format_ARGB32_Premultiplied);
        if (buffer_.isNull()) return false;
    }
    for (int y0 = 0; y0 < h; y0 += band) {
        const int rows = std::min(band, h - y0);
        for (int y = 0; y < rows; ++y)
            std::fill_n(reinterpret_cast<QRgb*>(buffer_.scanLine(y)), w, QRgb{0});
        PaintTarget target;
        target.pixels = reinterpret_cast<uint32_t*>(buffer_.bits());
        target.stride = buffer_.bytesPerLine();
        target.width = w;
        target.height = rows;
        target.deviceScale = ratio;
        target.originX = -left;
        target.originY = -(top + y0);
        bool drawn = false;
        if (!guarded("paint", [&] { drawn = w_.control_->paintInto(target); })) return false;
        if (!drawn && userMode()) return false;  // nothing loaded: nothing drawn
        // The painted part of the buffer, placed at its position in logical pixels.
        QImage picture(buffer_.constBits(), w, rows, buffer_.bytesPerLine(),
                       QImage::Format_ARGB32_Premultiplied);
        picture.setDevicePixelRatio(ratio);
        painter.drawImage(QPointF(left / ratio, (top + y0) / ratio), picture);
    }
    return true;
}

std::size_t WidgetHost::paintMemoryBytes() const {
    const std::size_t own = static_cast<std::size_t>(buffer_.sizeInBytes());
    return own + ControlAccess::of(*w_.control_).paintMemoryBytes();
}

void WidgetHost::refresh() {
    w_.repaint();
}

void WidgetHost::setSize(double widthPx, double heightPx) {
    auto pixels = [](double v) {
        return std::isfinite(v)
                   ? static_cast<int>(std::clamp(std::nearbyint(v), 0.0, double{QWIDGETSIZE_MAX}))
                   : 0;
    };
    w_.resize(pixels(widthPx), pixels(heightPx));
}

void WidgetHost::propertyChanged(std::string_view name) {
    emitPropertySignal(name);
    emit w_.storedPropertyChanged(QString::fromUtf8(name.data(), qsizetype(name.size())));
}

void WidgetHost::emitPropertySignal(std::string_view controlName) {
    if (controlName == "Stretch") emit w_.stretchChanged();
    if (controlName == "Mirrored") emit w_.mirroredChanged();
    if (controlName == "Loops") emit w_.loopsChanged();
    if (controlName == "Delay") emit w_.minFrameDelayChanged();
    if (controlName == "DelayAnimation") emit w_.delayAnimationChanged();
}

void WidgetHost::raiseEvent(int32_t number, std::string_view eventName, std::span<EventArg> args) {
    noteChanges();  // the values as the event finds them
    emitEventSignals(number, args);
    QVariantList values;
    for (const auto& a : args) values.push_back(toVariant(a));
    emit w_.controlEvent(number, QString::fromUtf8(eventName.data(), qsizetype(eventName.size())),
                         values);
}

void WidgetHost::emitEventSignals(int32_t number, std::span<EventArg> args) {
    auto arg = [&](std::size_t i) { return i < args.size() ? toVariant(args[i]) : QVariant(); };
    switch (number) {
        case EventClick:
            emit w_.clicked();
            break;
        case EventMouseDown:
        case EventMouseUp:
        case EventMouseMove: {
            const int button = arg(0).toInt(), shift = arg(1).toInt();
            const float x = arg(2).toFloat(), y = arg(3).toFloat();
            // The Qt event's own position and flags when there is one.
            const QPointF at = mouseEvent ? mouseEvent->position() : QPointF(x, y);
            const Qt::KeyboardModifiers modifiers =
                mouseEvent ? mouseEvent->modifiers() : modifiersOf(shift);
            if (number == EventMouseMove) {
                emit w_.mouseMoved(at, mouseEvent ? mouseEvent->buttons() : buttonsOf(button),
                                   modifiers);
                emit w_.mouseMove(button, shift, x, y);
                break;
            }
            const Qt::MouseButton which =
                mouseEvent ? mouseEvent->button()
                           : static_cast<Qt::MouseButton>(buttonsOf(button).toInt());
            if (number == EventMouseDown) {
                emit w_.mousePressed(at, which, modifiers);
                emit w_.mouseDown(button, shift, x, y);
            } else {
                emit w_.mouseReleased(at, which, modifiers);
                emit w_.mouseUp(button, shift, x, y);
            }
            break;
        }
        case EventLoopsEnded:
            emit w_.loopsEnded();
            break;
        case EventFrameChanged:
            emit w_.frameChanged(arg(0).toInt(), arg(1).toBool());
            break;
        case EventRemoteLoadComplete: {
            bool cancel = arg(2).toBool();
            emit w_.remoteGifArrived(QSize(arg(0).toInt(), arg(1).toInt()), &cancel);
            if (args.size() > 2 && std::holds_alternative<bool>(args[2].value))
                args[2].value = cancel;
            emit w_.remoteLoadComplete();
            break;
        }
        case EventRemoteLoadFailure:
            remoteRefused = true;
            emit w_.remoteLoadFailure();
            break;
        default:
            break;
    }
}

void WidgetHost::setEnabled(bool enabled) {
    settingEnabled = true;
    w_.QWidget::setEnabled(enabled);
    settingEnabled = false;
}

bool WidgetHost::setMousePointer(int16_t pointer) {
    if ((pointer < 0 || pointer > 15) && pointer != kPointerCustom) return false;
    mousePointer_ = pointer;
    applyCursor();
    return true;
}

bool WidgetHost::setMouseIcon(platform::PicturePtr icon) {
    if (icon) {
        QPixmap check;
        if (!check.loadFromData(icon->data(), static_cast<uint>(icon->size()))) return false;
    }
    mouseIcon_ = std::move(icon);
    applyCursor();
    return true;
}

void WidgetHost::applyCursor() {
    if (mousePointer_ == 0) {
        w_.unsetCursor();
    } else if (mousePointer_ == kPointerCustom) {
        QPixmap pixmap;
        if (mouseIcon_ &&
            pixmap.loadFromData(mouseIcon_->data(), static_cast<uint>(mouseIcon_->size()))) {
            w_.setCursor(QCursor(pixmap));
        } else {
            w_.unsetCursor();
        }
    } else {
        w_.setCursor(standardCursor(mousePointer_));
    }
}

ucAniGIF& WidgetAccess::control(AniGifWidget& w) {
    return ControlAccess::of(*w.control_);
}
platform::ControlHost& WidgetAccess::host(AniGifWidget& w) {
    return *w.host_;
}
platform::qt::QtTimerService& WidgetAccess::timerService(AniGifWidget& w) {
    return w.host_->timerService();
}
platform::qt::AsyncReader& WidgetAccess::reader(AniGifWidget& w) {
    return w.host_->reader;
}
platform::WindowId WidgetAccess::parentWindow(const AniGifWidget& w) {
    return w.host_->parentWindow();
}
std::size_t WidgetAccess::paintMemoryBytes(const AniGifWidget& w) {
    return w.host_->paintMemoryBytes();
}

}  // namespace anigif
