#include "anigif/ani_gif_widget.h"

#include <QCursor>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPaintEngine>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QtGlobal>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>
#include <string>

#include "gifcontrol/decode/bytes_to_picture.h"
#include "gifcontrol/decode/gif_array.h"
#include "gifcontrol/render/uc_ani_gif.h"
#include "platform/qt/async_reader.h"
#include "platform/qt/qt_timer_service.h"
#include "platform/surface.h"

namespace anigif {
namespace {

using platform::EventArg;
using platform::PicturePtr;
using platform::Surface;
using platform::WindowId;

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

// The control's system colours (top bit set, number in the low byte) as this widget's palette
// shows them; numbers without a palette role keep the control's own colour.
QColor systemColour(const QPalette& palette, uint32_t number) {
    switch (number) {
        case 1:   // desktop
        case 4:   // menu
        case 12:  // application background
        case 15:  // button face
            return palette.color(number == 15 ? QPalette::Button : QPalette::Window);
        case 5:  // window background
            return palette.color(QPalette::Base);
        case 6:  // window frame
        case 8:  // window text
            return palette.color(QPalette::WindowText);
        case 13:
            return palette.color(QPalette::Highlight);
        case 14:
            return palette.color(QPalette::HighlightedText);
        case 16:
            return palette.color(QPalette::Dark);
        case 18:
            return palette.color(QPalette::ButtonText);
        case 20:
            return palette.color(QPalette::Light);
        default:
            return QColor::fromRgb(platform::colorRefToRgb(0x80000000u | number));
    }
}

std::string utf8(const QString& s) {
    const QByteArray bytes = s.toUtf8();
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

}  // namespace

// The ControlHost side of the widget, kept out of the widget's own interface: its member names
// (setEnabled, refresh, ...) would otherwise clash with QWidget's.
class AniGifWidget::Host final : public platform::ControlHost {
  public:
    explicit Host(AniGifWidget& widget) : w_(widget) {}

    bool userMode() const override { return w_.userMode_; }
    void refresh() override { w_.repaint(); }
    Surface* paintTarget() override { return paintTarget_; }
    // While a paint runs at device pixels, the inner size is the device size.
    double scaleWidth() const override { return paintWidth_ >= 0 ? paintWidth_ : w_.width(); }
    double scaleHeight() const override { return paintHeight_ >= 0 ? paintHeight_ : w_.height(); }
    void setSize(double widthPx, double heightPx) override {
        auto pixels = [](double v) {
            return std::isfinite(v) ? static_cast<int>(std::clamp(std::nearbyint(v), 0.0,
                                                                  double{QWIDGETSIZE_MAX}))
                                    : 0;
        };
        w_.resize(pixels(widthPx), pixels(heightPx));
    }
    double scaleX(double pixels) const override { return pixels; }
    double scaleY(double pixels) const override { return pixels; }
    void propertyChanged(std::string_view name) override {
        w_.emitPropertySignal(name);
        emit w_.storedPropertyChanged(QString::fromUtf8(name.data(), qsizetype(name.size())));
    }
    void raiseEvent(int32_t number, std::string_view eventName, std::span<EventArg> args) override {
        if (w_.onEvent) w_.guarded("event handler", [&] { w_.onEvent(number, eventName, args); });
        w_.dispatchEvent(number, args);
        QVariantList values;
        for (const auto& a : args) values.push_back(toVariant(a));
        emit w_.controlEvent(
            number, QString::fromUtf8(eventName.data(), qsizetype(eventName.size())), values);
    }
    bool asyncRead(std::string_view target, std::string_view propertyName,
                   int32_t readOption) override {
        return reader_.start(target, propertyName, readOption);
    }
    void cancelAsyncRead(std::string_view propertyName) override { reader_.cancel(propertyName); }
    WindowId parentWindow() const override { return reinterpret_cast<WindowId>(w_.window()); }
    platform::TimerService* timers() override { return &timers_; }
    // The widget's real state: disabled also when a parent is.
    bool enabled() const override { return w_.isEnabled(); }
    void setEnabled(bool enabled) override {
        settingEnabled_ = true;
        w_.QWidget::setEnabled(enabled);
        settingEnabled_ = false;
    }
    int16_t mousePointer() const override { return mousePointer_; }
    bool setMousePointer(int16_t pointer) override {
        if ((pointer < 0 || pointer > 15) && pointer != kPointerCustom) return false;
        mousePointer_ = pointer;
        applyCursor();
        return true;
    }
    PicturePtr mouseIcon() const override { return mouseIcon_; }
    bool setMouseIcon(PicturePtr icon) override {
        if (icon) {
            QPixmap check;
            if (!check.loadFromData(icon->data(), static_cast<uint>(icon->size()))) return false;
        }
        mouseIcon_ = std::move(icon);
        applyCursor();
        return true;
    }
    int32_t lineStyle() const override { return lineStyle_; }
    void setLineStyle(int32_t style) override { lineStyle_ = style; }
    int32_t foreColor() const override { return foreColor_; }
    void setForeColor(int32_t colour) override { foreColor_ = colour; }

    void applyCursor() {
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

    // Paints the control once over `background` (0x00RRGGBB) into `target`.
    bool paintOver(ucAniGIF& control, Surface& target, uint32_t background) {
        target.fill(0, 0, target.width(), target.height(), background);
        paintTarget_ = &target;
        const bool ok = w_.guarded("paint", [&] { control.UserControl_Paint(); });
        paintTarget_ = nullptr;
        return ok;
    }

    AniGifWidget& w_;
    bool settingEnabled_ = false;
    int16_t mousePointer_ = 0;
    PicturePtr mouseIcon_;
    int32_t lineStyle_ = 0;
    int32_t foreColor_ = 0;
    Surface* paintTarget_ = nullptr;
    int paintWidth_ = -1, paintHeight_ = -1;
    std::unique_ptr<Surface> overBlack_, overWhite_;
    QImage composed_;  // what the two passes give, remade with them
    std::vector<uint8_t> compositeSave_, maskSave_;
    platform::qt::QtTimerService timers_;
    platform::qt::AsyncReader reader_;
};

AniGifWidget::AniGifWidget(QWidget* parent)
    : QWidget(parent), host_(std::make_unique<Host>(*this)) {
    setMouseTracking(true);  // MouseMove also without a button held
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    setAutoFillBackground(false);
    control_ = std::make_unique<ucAniGIF>(*host_);
    control_->timerErrorReporter = [this](std::string_view text, std::string_view title) {
        QMessageBox::critical(this, QString::fromUtf8(title.data(), qsizetype(title.size())),
                              QString::fromUtf8(text.data(), qsizetype(text.size())));
    };
    host_->reader_.onComplete = [this](std::string_view name, std::span<const uint8_t> data,
                                       int64_t bytes) {
        guarded("download", [&] { control_->UserControl_AsyncReadComplete(name, data, bytes); });
    };
    host_->reader_.onProgress = [this](std::string_view name, int32_t status, int64_t bytes) {
        guarded("download", [&] { control_->UserControl_AsyncReadProgress(name, status, bytes); });
    };
}

AniGifWidget::~AniGifWidget() {
    // Termination of the control first: it stops its timers in the service it was given.
    control_.reset();
}

template <typename F>
bool AniGifWidget::guarded(const char* what, F&& f) noexcept {
    try {
        f();
        return true;
    } catch (const std::exception& e) {
        qWarning("Animated GIF control, %s: %s", what, e.what());
    } catch (...) {
        qWarning("Animated GIF control, %s: failed", what);
    }
    return false;
}

template <typename Get, typename Set>
void AniGifWidget::setAndNotify(Get get, Set set, void (AniGifWidget::*changed)()) {
    const auto before = get();
    guarded("property", set);
    if (get() != before) emit(this->*changed)();
}

void AniGifWidget::setUserMode(bool run) {
    userMode_ = run;
}

platform::ControlHost& AniGifWidget::host() {
    return *host_;
}

platform::qt::QtTimerService& AniGifWidget::timerService() {
    return host_->timers_;
}

platform::qt::AsyncReader& AniGifWidget::reader() {
    return host_->reader_;
}

WindowId AniGifWidget::parentWindow() const {
    return host_->parentWindow();
}

void AniGifWidget::emitPropertySignal(std::string_view controlName) {
    if (controlName == "Stretch") emit stretchChanged();
    if (controlName == "Mirrored") emit mirroredChanged();
    if (controlName == "Loops") emit loopsChanged();
    if (controlName == "Delay") emit minFrameDelayChanged();
    if (controlName == "DelayAnimation") emit delayAnimationChanged();
}

void AniGifWidget::dispatchEvent(int32_t number, std::span<EventArg> args) {
    auto arg = [&](std::size_t i) { return i < args.size() ? toVariant(args[i]) : QVariant(); };
    switch (number) {
        case EventClick:
            emit clicked();
            break;
        case EventMouseDown:
        case EventMouseUp:
        case EventMouseMove: {
            const int button = arg(0).toInt(), shift = arg(1).toInt();
            const float x = arg(2).toFloat(), y = arg(3).toFloat();
            if (number == EventMouseDown) emit mouseDown(button, shift, x, y);
            if (number == EventMouseUp) emit mouseUp(button, shift, x, y);
            if (number == EventMouseMove) emit mouseMove(button, shift, x, y);
            break;
        }
        case EventLoopsEnded:
            emit loopsEnded();
            break;
        case EventFrameChanged:
            emit frameChanged(arg(0).toInt(), arg(1).toBool());
            break;
        case EventRemoteLoadComplete:
            emit remoteLoadComplete();
            break;
        case EventRemoteLoadFailure:
            remoteRefused_ = true;
            emit remoteLoadFailure();
            break;
        default:
            break;
    }
}

// ---- Properties ----------------------------------------------------------------------------

void AniGifWidget::setSource(const QString& source) {
    if (source != source_) {
        source_ = source;
        emit sourceChanged(source_);
    }
    QString path;
    const QUrl url(source);
    if (source.isEmpty()) {
        if (userMode_) {
            loadData({});
        } else {
            guarded("source", [&] { control_->AnimatedGIF(nullptr); });
        }
        return;
    }
    if (source.startsWith(QLatin1String(":/")) || QFileInfo::exists(source)) {
        path = source;  // a resource, or a file whose name merely looks like an address
    } else if (url.scheme().compare(QLatin1String("qrc"), Qt::CaseInsensitive) == 0) {
        path = QLatin1Char(':') + url.path();
    } else if (url.isLocalFile()) {
        path = url.toLocalFile();
    } else if (url.scheme().size() > 1) {  // one letter would be a drive, not a scheme
        loadUrl(url);
        return;
    } else {
        path = source;
    }
    if (userMode_ && !path.startsWith(QLatin1Char(':'))) {
        loadFile(path);
        return;
    }
    QFile file(path);
    QByteArray bytes;
    if (file.open(QIODevice::ReadOnly)) bytes = file.readAll();
    if (userMode_) {
        loadData(bytes);
    } else {
        loadBytesAtDesignTime(bytes);
    }
}

bool AniGifWidget::loadBytesAtDesignTime(const QByteArray& bytes) {
    // The picture assignment of a form designer: the GIF's bytes become the stored GIF.
    bool loaded = false;
    guarded("source", [&] {
        const std::unique_ptr<Picture> picture = BytesToPicture(
            reinterpret_cast<const uint8_t*>(bytes.constData()), int64_t{bytes.size()});
        control_->AnimatedGIF(picture.get());
        loaded = control_->FrameCount() > 0;
    });
    return loaded;
}

AniGifWidget::StretchMode AniGifWidget::stretch() const {
    return static_cast<StretchMode>(control_->Stretch());
}
void AniGifWidget::setStretch(StretchMode mode) {
    guarded("stretch", [&] { control_->Stretch(mode); });
}
AniGifWidget::MirrorMode AniGifWidget::mirrored() const {
    return static_cast<MirrorMode>(control_->Mirrored());
}
void AniGifWidget::setMirrored(MirrorMode mode) {
    guarded("mirrored", [&] { control_->Mirrored(mode); });
}
int AniGifWidget::loops() const {
    return control_->Loops();
}
void AniGifWidget::setLoops(int count) {
    guarded("loops", [&] { control_->Loops(count); });
}
int AniGifWidget::minFrameDelay() const {
    return control_->MinFrameDelay();
}
void AniGifWidget::setMinFrameDelay(int ms) {
    guarded("minFrameDelay", [&] { control_->MinFrameDelay(ms); });
}
int AniGifWidget::steppedDelay() const {
    return control_->SteppedDelay();
}
void AniGifWidget::setSteppedDelay(int ms) {
    setAndNotify([this] { return control_->SteppedDelay(); }, [&] { control_->SteppedDelay(ms); },
                 &AniGifWidget::steppedDelayChanged);
}
AniGifWidget::DelayAnimationMode AniGifWidget::delayAnimation() const {
    return static_cast<DelayAnimationMode>(control_->DelayAnimation());
}
void AniGifWidget::setDelayAnimation(DelayAnimationMode mode) {
    guarded("delayAnimation", [&] { control_->DelayAnimation(mode); });
}
int AniGifWidget::offsetX() const {
    return control_->OffsetX();
}
void AniGifWidget::setOffsetX(int pixels) {
    setAndNotify([this] { return control_->OffsetX(); }, [&] { control_->OffsetX(pixels); },
                 &AniGifWidget::offsetXChanged);
}
int AniGifWidget::offsetY() const {
    return control_->OffsetY();
}
void AniGifWidget::setOffsetY(int pixels) {
    setAndNotify([this] { return control_->OffsetY(); }, [&] { control_->OffsetY(pixels); },
                 &AniGifWidget::offsetYChanged);
}
QColor AniGifWidget::solidBkgColor() const {
    const auto ref = static_cast<uint32_t>(control_->SolidBkgColor());
    if (ref & 0x80000000u) return systemColour(palette(), ref & 0xFFu);
    return QColor::fromRgb(platform::colorRefToRgb(ref));
}
void AniGifWidget::setSolidBkgColor(const QColor& colour) {
    // 0x00BBGGRR, as the control stores colours.
    const QRgb rgb = colour.rgb();
    const auto ref = static_cast<int32_t>(uint32_t(qBlue(rgb)) << 16 | uint32_t(qGreen(rgb)) << 8 |
                                          uint32_t(qRed(rgb)));
    setAndNotify([this] { return control_->SolidBkgColor(); },
                 [&] { control_->SolidBkgColor(ref); }, &AniGifWidget::solidBkgColorChanged);
}
bool AniGifWidget::solidBkgColorUsed() const {
    return control_->SolidBkgColorUsed();
}
void AniGifWidget::setSolidBkgColorUsed(bool used) {
    setAndNotify([this] { return control_->SolidBkgColorUsed(); },
                 [&] { control_->SolidBkgColorUsed(used); },
                 &AniGifWidget::solidBkgColorUsedChanged);
}
AniGifWidget::AnimationAction AniGifWidget::action() const {
    return static_cast<AnimationAction>(control_->Action());
}
void AniGifWidget::setAction(AnimationAction action) {
    guarded("action", [&] { control_->Action(action); });
}
int AniGifWidget::currentFrame() const {
    return control_->CurrentFrame();
}
int AniGifWidget::frameCount() const {
    return control_->FrameCount();
}
int AniGifWidget::loopsRemaining() const {
    return control_->LoopsRemaining();
}
int AniGifWidget::actualWidth() const {
    int32_t w = 0;
    guarded("actualWidth", [&] { w = control_->ActualWidth(); });
    return w;
}
int AniGifWidget::actualHeight() const {
    int32_t h = 0;
    guarded("actualHeight", [&] { h = control_->ActualHeight(); });
    return h;
}

QSize AniGifWidget::sizeHint() const {
    // The picture's own size once a GIF is loaded; before that, what the widget was given.
    if (control_->FrameCount() > 0) return {actualWidth(), actualHeight()};
    return size().isEmpty() ? QSize(32, 32) : size();
}

// ---- Slots ---------------------------------------------------------------------------------

void AniGifWidget::play() {
    setAction(ActionPlay);
}
void AniGifWidget::pause() {
    setAction(ActionPause);
}
void AniGifWidget::stop() {
    setAction(ActionStop);
}
void AniGifWidget::step() {
    setAction(ActionStep);
}
void AniGifWidget::restart() {
    setAction(ActionRestart);
}

bool AniGifWidget::loadFile(const QString& path) {
    return control_->LoadAnimatedGIF_File(utf8(path));
}

bool AniGifWidget::loadData(const QByteArray& bytes) {
    const std::span<const uint8_t> view(reinterpret_cast<const uint8_t*>(bytes.constData()),
                                        static_cast<std::size_t>(bytes.size()));
    return control_->LoadAnimatedGIF_Array(GifArray(view));
}

bool AniGifWidget::loadUrl(const QUrl& url) {
    if (!url.isValid() || url.isEmpty()) return false;
    if (url.isLocalFile()) return loadFile(url.toLocalFile());
    remoteRefused_ = false;
    guarded("remote", [&] { control_->LoadAnimatedGIF_Remote(utf8(url.toString())); });
    return !remoteRefused_;
}

// ---- Qt events -----------------------------------------------------------------------------

void AniGifWidget::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    // The device really painted on: a screen's backing store, or an image or pixmap this widget
    // is rendered into, each with its own pixel ratio.
    const QPaintDevice* device =
        painter.paintEngine() ? painter.paintEngine()->paintDevice() : nullptr;
    const qreal ratio =
        std::max<qreal>(device ? device->devicePixelRatioF() : devicePixelRatioF(), qreal{0.25});
    const int w = qRound(width() * ratio), h = qRound(height() * ratio);
    if (w <= 0 || h <= 0) return;
    Host& host = *host_;
    if (!host.overBlack_ || host.overBlack_->width() != w || host.overBlack_->height() != h) {
        host.overBlack_ = Surface::create(24, w, h);
        host.overWhite_ = Surface::create(24, w, h);
        host.composed_ = QImage(w, h, QImage::Format_ARGB32_Premultiplied);
    }
    if (!host.overBlack_ || !host.overWhite_ || host.composed_.isNull()) return;

    // At device pixels the control's scale takes in the ratio, and so do the composite's
    // offsets (the strip's are scaled with the picture).
    ucAniGIF& c = *control_;
    const float scaleX = c.scaleX, scaleY = c.scaleY;
    const int32_t offsetX = c.offsetX, offsetY = c.offsetY;
    if (ratio != 1.0) {
        c.scaleX = static_cast<float>(scaleX * ratio);
        c.scaleY = static_cast<float>(scaleY * ratio);
        if (c.Composite) {
            c.offsetX = static_cast<int32_t>(std::lround(offsetX * ratio));
            c.offsetY = static_cast<int32_t>(std::lround(offsetY * ratio));
        }
        host.paintWidth_ = w;
        host.paintHeight_ = h;
    }
    // Both passes start from the same compositing state: a paint may dispose of its frame.
    saveBits(c.Composite, host.compositeSave_);
    saveBits(c.Mask, host.maskSave_);
    const bool first = host.paintOver(c, *host.overBlack_, 0x000000);
    restoreBits(c.Composite, host.compositeSave_);
    restoreBits(c.Mask, host.maskSave_);
    const bool second = first && host.paintOver(c, *host.overWhite_, 0xFFFFFF);
    c.scaleX = scaleX;
    c.scaleY = scaleY;
    c.offsetX = offsetX;
    c.offsetY = offsetY;
    host.paintWidth_ = host.paintHeight_ = -1;
    if (!second) return;

    // Over black a pixel shows alpha x colour, over white alpha x colour + (1 - alpha) x 255:
    // the difference is what lets the background through.
    QImage& image = host.composed_;
    for (int y = 0; y < h; ++y) {
        const uint8_t* b = host.overBlack_->line(y);
        const uint8_t* wh = host.overWhite_->line(y);
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
    image.setDevicePixelRatio(ratio);
    painter.drawImage(QPointF(0, 0), image);
}

void AniGifWidget::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    guarded("resize", [&] { control_->UserControl_Resize(); });
}

// Only a real change of visibility counts: a window being minimised or restored sends
// spontaneous hide and show events, which must not pause or resume the animation.
void AniGifWidget::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous()) guarded("show", [&] { control_->UserControl_Show(); });
}

void AniGifWidget::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (!event->spontaneous()) guarded("hide", [&] { control_->UserControl_Hide(); });
}

void AniGifWidget::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // Enabled follows the widget's real state; the control's own let has notified already.
    if (event->type() == QEvent::EnabledChange && !host_->settingEnabled_)
        emit storedPropertyChanged(QStringLiteral("Enabled"));
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

}  // namespace anigif
