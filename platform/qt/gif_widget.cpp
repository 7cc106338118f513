#include "platform/qt/gif_widget.h"

#include <QCursor>
#include <QImage>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QtGlobal>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>

#include "gifcontrol/render/uc_ani_gif.h"

namespace platform::qt {
namespace {

constexpr int16_t kPointerCustom = 99;

// Button and shift codes of the control's mouse events.
int16_t buttonCode(Qt::MouseButtons buttons) {
    int16_t code = 0;
    if (buttons & Qt::LeftButton) code |= 1;
    if (buttons & Qt::RightButton) code |= 2;
    if (buttons & Qt::MiddleButton) code |= 4;
    return code;
}

int16_t shiftCode(Qt::KeyboardModifiers modifiers) {
    int16_t code = 0;
    if (modifiers & Qt::ShiftModifier) code |= 1;
    if (modifiers & Qt::ControlModifier) code |= 2;
    if (modifiers & Qt::AltModifier) code |= 4;
    return code;
}

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

void saveBits(const std::unique_ptr<Surface>& surface, std::vector<uint8_t>& save) {
    if (!surface) return;
    save.assign(surface->bits(), surface->bits() + surface->sizeBytes());
}

void restoreBits(const std::unique_ptr<Surface>& surface, const std::vector<uint8_t>& save) {
    if (surface && save.size() == surface->sizeBytes())
        std::memcpy(surface->bits(), save.data(), save.size());
}

}  // namespace

AniGifWidget::AniGifWidget(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);  // MouseMove also without a button held
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    setAutoFillBackground(false);
    control_ = std::make_unique<anigif::ucAniGIF>(*this);
    control_->timerErrorReporter = [this](std::string_view text, std::string_view title) {
        QMessageBox::critical(this, QString::fromUtf8(title.data(), qsizetype(title.size())),
                              QString::fromUtf8(text.data(), qsizetype(text.size())));
    };
    reader_.onComplete = [this](std::string_view name, std::span<const uint8_t> data,
                                int64_t bytes) {
        guarded("download", [&] { control_->UserControl_AsyncReadComplete(name, data, bytes); });
    };
    reader_.onProgress = [this](std::string_view name, int32_t status, int64_t bytes) {
        guarded("download", [&] { control_->UserControl_AsyncReadProgress(name, status, bytes); });
    };
}

AniGifWidget::~AniGifWidget() {
    // Termination of the control first: it stops its timers in the service it was given.
    control_.reset();
}

template <typename F>
void AniGifWidget::guarded(const char* what, F&& f) noexcept {
    try {
        f();
    } catch (const std::exception& e) {
        qWarning("Animated GIF control, %s: %s", what, e.what());
    } catch (...) {
        qWarning("Animated GIF control, %s: failed", what);
    }
}

void AniGifWidget::refresh() {
    repaint();
}

void AniGifWidget::setSize(double widthPx, double heightPx) {
    auto pixels = [](double v) {
        return std::isfinite(v)
                   ? static_cast<int>(std::clamp(std::nearbyint(v), 0.0, double{QWIDGETSIZE_MAX}))
                   : 0;
    };
    resize(pixels(widthPx), pixels(heightPx));
}

void AniGifWidget::propertyChanged(std::string_view name) {
    emit storedPropertyChanged(QString::fromUtf8(name.data(), qsizetype(name.size())));
}

void AniGifWidget::raiseEvent(int32_t number, std::string_view eventName,
                              std::span<EventArg> args) {
    if (onEvent) guarded("event handler", [&] { onEvent(number, eventName, args); });
    QVariantList values;
    for (const auto& a : args) values.push_back(toVariant(a));
    emit controlEvent(number, QString::fromUtf8(eventName.data(), qsizetype(eventName.size())),
                      values);
}

bool AniGifWidget::asyncRead(std::string_view target, std::string_view propertyName,
                             int32_t /*readOption*/) {
    // The cached-copy option needs no mapping: this reader keeps no cache.
    return reader_.start(target, propertyName);
}

void AniGifWidget::cancelAsyncRead(std::string_view propertyName) {
    reader_.cancel(propertyName);
}

WindowId AniGifWidget::parentWindow() const {
    return reinterpret_cast<WindowId>(window());
}

void AniGifWidget::setEnabled(bool enabled) {
    enabled_ = enabled;
    QWidget::setEnabled(enabled);
}

bool AniGifWidget::setMousePointer(int16_t pointer) {
    if ((pointer < 0 || pointer > 15) && pointer != kPointerCustom) return false;
    mousePointer_ = pointer;
    applyCursor();
    return true;
}

bool AniGifWidget::setMouseIcon(PicturePtr icon) {
    if (icon) {
        QPixmap check;
        if (!check.loadFromData(icon->data(), static_cast<uint>(icon->size()))) return false;
    }
    mouseIcon_ = std::move(icon);
    applyCursor();
    return true;
}

void AniGifWidget::applyCursor() {
    if (mousePointer_ == 0) {
        unsetCursor();
    } else if (mousePointer_ == kPointerCustom) {
        QPixmap pixmap;
        if (mouseIcon_ &&
            pixmap.loadFromData(mouseIcon_->data(), static_cast<uint>(mouseIcon_->size()))) {
            setCursor(QCursor(pixmap));
        } else {
            unsetCursor();
        }
    } else {
        setCursor(standardCursor(mousePointer_));
    }
}

bool AniGifWidget::paintOver(Surface& target, uint32_t background) {
    target.fill(0, 0, target.width(), target.height(), background);
    paintTarget_ = &target;
    bool ok = true;
    try {
        control_->UserControl_Paint();
    } catch (const std::exception& e) {
        qWarning("Animated GIF control, paint: %s", e.what());
        ok = false;
    } catch (...) {
        ok = false;
    }
    paintTarget_ = nullptr;
    return ok;
}

void AniGifWidget::paintEvent(QPaintEvent* /*event*/) {
    const int w = width(), h = height();
    if (w <= 0 || h <= 0) return;
    if (!overBlack_ || overBlack_->width() != w || overBlack_->height() != h) {
        overBlack_ = Surface::create(24, w, h);
        overWhite_ = Surface::create(24, w, h);
    }
    if (!overBlack_ || !overWhite_) return;

    // Both passes start from the same compositing state: a paint may dispose of its frame.
    anigif::ucAniGIF& c = *control_;
    saveBits(c.Composite, compositeSave_);
    saveBits(c.Mask, maskSave_);
    const bool first = paintOver(*overBlack_, 0x000000);
    restoreBits(c.Composite, compositeSave_);
    restoreBits(c.Mask, maskSave_);
    if (!first || !paintOver(*overWhite_, 0xFFFFFF)) return;

    // Over black a pixel shows alpha x colour, over white alpha x colour + (1 - alpha) x 255:
    // the difference is what lets the background through.
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < h; ++y) {
        const uint8_t* b = overBlack_->line(y);
        const uint8_t* wh = overWhite_->line(y);
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < w; ++x, b += 3, wh += 3) {
            int through = 0;
            for (int k = 0; k < 3; ++k) through = std::max(through, int{wh[k]} - int{b[k]});
            const int alpha = 255 - through;
            const int blue = std::min<int>(b[0], alpha);
            const int green = std::min<int>(b[1], alpha);
            const int red = std::min<int>(b[2], alpha);
            out[x] = qRgba(red, green, blue, alpha);
        }
    }
    QPainter painter(this);
    painter.drawImage(0, 0, image);
}

void AniGifWidget::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    guarded("resize", [&] { control_->UserControl_Resize(); });
}

void AniGifWidget::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    guarded("show", [&] { control_->UserControl_Show(); });
}

void AniGifWidget::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    guarded("hide", [&] { control_->UserControl_Hide(); });
}

void AniGifWidget::mousePressEvent(QMouseEvent* event) {
    pressed_ |= event->button();
    const QPointF p = event->position();
    guarded("mouse", [&] {
        control_->UserControl_MouseDown(buttonCode(event->button()), shiftCode(event->modifiers()),
                                        static_cast<float>(p.x()), static_cast<float>(p.y()));
    });
}

void AniGifWidget::mouseReleaseEvent(QMouseEvent* event) {
    const bool wasPressed = (pressed_ & event->button()) != 0;
    pressed_ &= ~event->button();
    const QPointF p = event->position();
    guarded("mouse", [&] {
        control_->UserControl_MouseUp(buttonCode(event->button()), shiftCode(event->modifiers()),
                                      static_cast<float>(p.x()), static_cast<float>(p.y()));
        // A click: pressed and released over the control.
        if (wasPressed && rect().contains(p.toPoint())) control_->UserControl_Click();
    });
}

void AniGifWidget::mouseMoveEvent(QMouseEvent* event) {
    const QPointF p = event->position();
    guarded("mouse", [&] {
        control_->UserControl_MouseMove(buttonCode(event->buttons()), shiftCode(event->modifiers()),
                                        static_cast<float>(p.x()), static_cast<float>(p.y()));
    });
}

}  // namespace platform::qt
