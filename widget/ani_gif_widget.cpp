// The widget's Qt face: its properties and slots forwarded to the control, and Qt's events handed
// to it. The host side (what the control asks of the widget) is in widget_host.cpp.
#include "anigif/ani_gif_widget.h"

#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPaintEngine>
#include <QPaintEvent>
#include <QPainter>
#include <QPalette>
#include <algorithm>
#include <string>

#include "anigif/ani_gif_control.h"
#include "platform/qt/mouse_codes.h"
#include "platform/system_colors.h"
#include "widget/widget_host.h"

namespace anigif {
namespace {

using platform::qt::buttonCode;
using platform::qt::shiftCode;

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

std::span<const uint8_t> bytesOf(const QByteArray& bytes) {
    return {reinterpret_cast<const uint8_t*>(bytes.constData()),
            static_cast<std::size_t>(bytes.size())};
}

}  // namespace

using Host = WidgetHost;

AniGifWidget::AniGifWidget(QWidget* parent)
    : QWidget(parent), host_(std::make_unique<Host>(*this)) {
    setMouseTracking(true);  // MouseMove also without a button held
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    setAutoFillBackground(false);
    control_ = std::make_unique<AniGifControl>(*host_);
    control_->setErrorReporter([this](std::string_view text, std::string_view title) {
        QMessageBox::critical(this, QString::fromUtf8(title.data(), qsizetype(title.size())),
                              QString::fromUtf8(text.data(), qsizetype(text.size())));
    });
    host_->reader.onComplete = [this](std::string_view name, std::span<const uint8_t> data,
                                      int64_t bytes, std::shared_ptr<const void> keeper) {
        Host::guarded("download", [&] {
            control_->UserControl_AsyncReadComplete(name, data, bytes, std::move(keeper));
        });
        host_->noteChanges();
    };
    host_->reader.onProgress = [this](std::string_view name, int32_t status, int64_t bytes) {
        Host::guarded("download",
                      [&] { control_->UserControl_AsyncReadProgress(name, status, bytes); });
        host_->noteChanges();
    };
}

AniGifWidget::~AniGifWidget() {
    // Termination of the control first: it stops its timers in the service it was given.
    control_.reset();
}

AniGifControl& AniGifWidget::control() {
    return *control_;
}

const AniGifControl& AniGifWidget::control() const {
    return *control_;
}

void AniGifWidget::setUserMode(bool run) {
    userMode_ = run;
}

// ---- Properties ----------------------------------------------------------------------------

namespace {

// Runs a setter of the control, emits `changed` when the value read by `get` changed (for the
// properties the control sets without notice), and notes the values that follow from it.
template <typename Get, typename Set, typename Changed>
void setAndNotify(Host& host, Get get, Set set, Changed changed) {
    const auto before = get();
    Host::guarded("property", set);
    if (get() != before) changed();
    host.noteChanges();
}

}  // namespace

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
            Host::guarded("source", [&] { control_->AnimatedGIF({}); });
            host_->noteChanges();
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
        // The picture assignment of a form designer: the GIF's bytes become the stored GIF.
        Host::guarded("source", [&] { control_->AnimatedGIF(bytesOf(bytes)); });
        host_->noteChanges();
    }
}

AniGifWidget::StretchMode AniGifWidget::stretch() const {
    return static_cast<StretchMode>(control_->Stretch());
}
void AniGifWidget::setStretch(StretchMode mode) {
    Host::guarded("stretch", [&] { control_->Stretch(mode); });
    host_->noteChanges();
}
AniGifWidget::MirrorMode AniGifWidget::mirrored() const {
    return static_cast<MirrorMode>(control_->Mirrored());
}
void AniGifWidget::setMirrored(MirrorMode mode) {
    Host::guarded("mirrored", [&] { control_->Mirrored(mode); });
    host_->noteChanges();
}
int AniGifWidget::loops() const {
    return control_->Loops();
}
void AniGifWidget::setLoops(int count) {
    Host::guarded("loops", [&] { control_->Loops(count); });
    host_->noteChanges();
}
int AniGifWidget::minFrameDelay() const {
    return control_->MinFrameDelay();
}
void AniGifWidget::setMinFrameDelay(int ms) {
    Host::guarded("minFrameDelay", [&] { control_->MinFrameDelay(ms); });
}
int AniGifWidget::steppedDelay() const {
    return control_->SteppedDelay();
}
void AniGifWidget::setSteppedDelay(int ms) {
    setAndNotify(
        *host_, [this] { return control_->SteppedDelay(); }, [&] { control_->SteppedDelay(ms); },
        [this] { emit steppedDelayChanged(); });
}
AniGifWidget::DelayAnimationMode AniGifWidget::delayAnimation() const {
    return static_cast<DelayAnimationMode>(control_->DelayAnimation());
}
void AniGifWidget::setDelayAnimation(DelayAnimationMode mode) {
    Host::guarded("delayAnimation", [&] { control_->DelayAnimation(mode); });
}
int AniGifWidget::offsetX() const {
    return control_->OffsetX();
}
void AniGifWidget::setOffsetX(int pixels) {
    setAndNotify(
        *host_, [this] { return control_->OffsetX(); }, [&] { control_->OffsetX(pixels); },
        [this] { emit offsetXChanged(); });
}
int AniGifWidget::offsetY() const {
    return control_->OffsetY();
}
void AniGifWidget::setOffsetY(int pixels) {
    setAndNotify(
        *host_, [this] { return control_->OffsetY(); }, [&] { control_->OffsetY(pixels); },
        [this] { emit offsetYChanged(); });
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
    setAndNotify(
        *host_, [this] { return control_->SolidBkgColor(); }, [&] { control_->SolidBkgColor(ref); },
        [this] { emit solidBkgColorChanged(); });
}
bool AniGifWidget::solidBkgColorUsed() const {
    return control_->SolidBkgColorUsed();
}
void AniGifWidget::setSolidBkgColorUsed(bool used) {
    setAndNotify(
        *host_, [this] { return control_->SolidBkgColorUsed(); },
        [&] { control_->SolidBkgColorUsed(used); }, [this] { emit solidBkgColorUsedChanged(); });
}
AniGifWidget::AnimationAction AniGifWidget::action() const {
    return static_cast<AnimationAction>(control_->Action());
}
void AniGifWidget::setAction(AnimationAction action) {
    Host::guarded("action", [&] { control_->Action(action); });
    host_->noteChanges();
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
    Host::guarded("actualWidth", [&] { w = control_->ActualWidth(); });
    return w;
}
int AniGifWidget::actualHeight() const {
    int32_t h = 0;
    Host::guarded("actualHeight", [&] { h = control_->ActualHeight(); });
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
void AniGifWidget::showFrame(int frame) {
    Host::guarded("showFrame", [&] { control_->ShowFrame(frame); });
    host_->noteChanges();
}
void AniGifWidget::previous() {
    const int count = frameCount();
    if (count == 0) return;
    const int current = currentFrame();
    showFrame(current <= 1 ? count : current - 1);
}

bool AniGifWidget::loadFile(const QString& path) {
    const bool loaded = control_->LoadAnimatedGIF_File(utf8(path));
    host_->noteChanges();
    return loaded;
}

bool AniGifWidget::loadData(const QByteArray& bytes) {
    const bool loaded = control_->loadGifBytes(bytesOf(bytes));
    host_->noteChanges();
    return loaded;
}

qint64 AniGifWidget::memoryBudget() const {
    return static_cast<qint64>(control_->memoryBudget());
}

void AniGifWidget::setMemoryBudget(qint64 bytes) {
    control_->setMemoryBudget(bytes > 0 ? static_cast<std::size_t>(bytes) : 0);
}

int AniGifWidget::remoteDeadline() const {
    return static_cast<int>(std::min<int64_t>(control_->remoteDeadline(), INT32_MAX));
}

void AniGifWidget::setRemoteDeadline(int ms) {
    control_->setRemoteDeadline(ms);
}

bool AniGifWidget::loadUrl(const QUrl& url) {
    if (!url.isValid() || url.isEmpty()) return false;
    if (url.isLocalFile()) return loadFile(url.toLocalFile());
    host_->remoteRefused = false;
    Host::guarded("remote", [&] { control_->LoadAnimatedGIF_Remote(utf8(url.toString())); });
    host_->noteChanges();
    return !host_->remoteRefused;
}

// ---- Qt events -----------------------------------------------------------------------------

void AniGifWidget::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    // The device really painted on: a screen's backing store, or an image or pixmap this widget
    // is rendered into, each with its own pixel ratio.
    const QPaintDevice* device =
        painter.paintEngine() ? painter.paintEngine()->paintDevice() : nullptr;
    const qreal ratio =
        std::max<qreal>(device ? device->devicePixelRatioF() : devicePixelRatioF(), qreal{0.25});
    host_->paint(event->rect(), ratio, painter);
}

void AniGifWidget::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Host::guarded("resize", [&] { control_->UserControl_Resize(); });
    host_->noteChanges();
}

// Only a real change of visibility counts: a window being minimised or restored sends
// spontaneous hide and show events, which must not pause or resume the animation.
void AniGifWidget::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous()) Host::guarded("show", [&] { control_->UserControl_Show(); });
    host_->noteChanges();
}

void AniGifWidget::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (!event->spontaneous()) Host::guarded("hide", [&] { control_->UserControl_Hide(); });
    host_->noteChanges();
}

void AniGifWidget::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // Enabled follows the widget's real state; the control's own let has notified already.
    if (event->type() == QEvent::EnabledChange && !host_->settingEnabled)
        emit storedPropertyChanged(QStringLiteral("Enabled"));
}

namespace {

// Hands a Qt mouse event to the control, keeping it at hand for the Qt-typed signals.
template <typename F>
void mouseCall(Host& host, QMouseEvent* event, F&& f) {
    host.mouseEvent = event;
    Host::guarded("mouse", f);
    host.mouseEvent = nullptr;
    host.noteChanges();
}

}  // namespace

void AniGifWidget::mousePressEvent(QMouseEvent* event) {
    host_->pressed |= event->button();
    const QPointF p = event->position();
    mouseCall(*host_, event, [&] {
        control_->UserControl_MouseDown(buttonCode(event->button()), shiftCode(event->modifiers()),
                                        static_cast<float>(p.x()), static_cast<float>(p.y()));
    });
}

void AniGifWidget::mouseReleaseEvent(QMouseEvent* event) {
    const bool wasPressed = (host_->pressed & event->button()) != 0;
    host_->pressed &= ~event->button();
    const QPointF p = event->position();
    mouseCall(*host_, event, [&] {
        control_->UserControl_MouseUp(buttonCode(event->button()), shiftCode(event->modifiers()),
                                      static_cast<float>(p.x()), static_cast<float>(p.y()));
        // A click: pressed and released over the control.
        if (wasPressed && rect().contains(p.toPoint())) control_->UserControl_Click();
    });
}

void AniGifWidget::mouseMoveEvent(QMouseEvent* event) {
    const QPointF p = event->position();
    mouseCall(*host_, event, [&] {
        control_->UserControl_MouseMove(buttonCode(event->buttons()), shiftCode(event->modifiers()),
                                        static_cast<float>(p.x()), static_cast<float>(p.y()));
    });
}

}  // namespace anigif
