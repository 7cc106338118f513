// AniGifImage: its Qt face forwarded to the control, its host side (what the control asks of the
// item), and its paint into the scene graph.
#include "quick/ani_gif_image.h"

#include <QFile>
#include <QMouseEvent>
#include <QPointer>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QSGSimpleTextureNode>
#include <QSGTexture>
#include <algorithm>
#include <cmath>
#include <string>
#include <variant>

#include "anigif/ani_gif_control.h"
#include "anigif/control_host.h"
#include "platform/memory_budget.h"
#include "platform/qt/async_reader.h"
#include "platform/qt/mouse_codes.h"
#include "platform/qt/qt_timer_service.h"
#include "platform/qt/seen_values.h"

namespace anigif {
namespace {

using platform::qt::buttonCode;
using platform::qt::shiftCode;

std::string utf8(const QString& s) {
    const QByteArray bytes = s.toUtf8();
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

std::span<const uint8_t> bytesOf(const QByteArray& bytes) {
    return {reinterpret_cast<const uint8_t*>(bytes.constData()),
            static_cast<std::size_t>(bytes.size())};
}

// Calls into the control from Qt's handlers: errors must not unwind through Qt.
template <typename F>
bool guarded(const char* what, F&& f) noexcept {
    try {
        f();
        return true;
    } catch (const std::exception& e) {
        qWarning("Animated GIF item, %s: %s", what, e.what());
    } catch (...) {
        qWarning("Animated GIF item, %s: failed", what);
    }
    return false;
}

}  // namespace

// ---- The host ------------------------------------------------------------------------------

class ImageHost final : public platform::ControlHost {
  public:
    explicit ImageHost(AniGifImage& item) : item_(item) {}

    // Emits the change signals of the values the control changes on its own (frame, frame
    // count, action, loops remaining, picture size), each once its value changed.
    void noteChanges() {
        const AniGifControl* c = item_.control_.get();
        if (!c) return;
        const int before = seen_.action.value();
        if (seen_.action.changed(c->Action())) {
            const int action = seen_.action.value();
            if ((action != ActionStop) != (before != ActionStop)) emit item_.playingChanged();
            if ((action == ActionPause) != (before == ActionPause)) emit item_.pausedChanged();
        }
        if (seen_.frame.changed(c->CurrentFrame())) emit item_.currentFrameChanged();
        if (seen_.frames.changed(c->FrameCount())) emit item_.frameCountChanged();
        if (seen_.loopsRemaining.changed(c->LoopsRemaining())) emit item_.loopsRemainingChanged();
        if (seen_.size.changed(item_.sourceSize())) emit item_.sourceSizeChanged();
    }

    bool refused = false;       // a remoteLoadComplete handler refused the download
    bool remoteFailed = false;  // RemoteLoadFailure was raised
    platform::qt::AsyncReader reader;

    bool userMode() const override { return true; }
    // The paint waits for the next polish, so that several repaints before a frame is rendered
    // cost one paint.
    void refresh() override { item_.requestPaint(); }
    double scaleWidth() const override { return item_.width(); }
    double scaleHeight() const override { return item_.height(); }
    void setSize(double widthPx, double heightPx) override {
        const auto pixels = [](double v) { return std::isfinite(v) ? std::max(0.0, v) : 0.0; };
        item_.setImplicitSize(pixels(widthPx), pixels(heightPx));
        item_.setSize(QSizeF(pixels(widthPx), pixels(heightPx)));
    }
    void propertyChanged(std::string_view name) override {
        if (name == "Stretch") emit item_.stretchChanged();
        if (name == "Mirrored") emit item_.mirrorChanged();
        if (name == "Loops") emit item_.loopsChanged();
        if (name == "Delay") emit item_.minimumDelayChanged();
        if (name == "DelayAnimation") emit item_.decodeModeChanged();
    }
    void raiseEvent(int32_t number, std::string_view, std::span<platform::EventArg> args) override {
        noteChanges();
        auto integer = [&](std::size_t i) -> int {
            if (i >= args.size()) return 0;
            return std::visit([](auto v) { return static_cast<int>(v); }, args[i].value);
        };
        auto real = [&](std::size_t i) -> qreal {
            if (i >= args.size()) return 0;
            return std::visit([](auto v) { return static_cast<qreal>(v); }, args[i].value);
        };
        switch (number) {
            case EventClick:
                emit item_.clicked();
                break;
            case EventMouseDown:
                emit item_.mouseDown(integer(0), integer(1), real(2), real(3));
                break;
            case EventMouseUp:
                emit item_.mouseUp(integer(0), integer(1), real(2), real(3));
                break;
            case EventMouseMove:
                emit item_.mouseMove(integer(0), integer(1), real(2), real(3));
                break;
            case EventLoopsEnded:
                emit item_.loopsEnded();
                break;
            case EventFrameChanged:
                emit item_.frameChanged(integer(0), integer(1) != 0);
                break;
            case EventRemoteLoadComplete:
                refused = false;
                emit item_.remoteLoadComplete(QSize(integer(0), integer(1)));
                if (args.size() > 2 && std::holds_alternative<bool>(args[2].value))
                    args[2].value = refused;
                if (!refused && (item_.width() <= 0 || item_.height() <= 0))
                    item_.setImplicitSize(integer(0), integer(1));
                break;
            case EventRemoteLoadFailure:
                remoteFailed = true;
                emit item_.remoteLoadFailure();
                break;
            default:
                break;
        }
    }
    bool asyncRead(std::string_view target, std::string_view propertyName,
                   int32_t readOption) override {
        return reader.start(target, propertyName, readOption);
    }
    void cancelAsyncRead(std::string_view propertyName) override { reader.cancel(propertyName); }
    void setAsyncReadLimits(const AsyncReadLimits& limits) override { reader.setLimits(limits); }
    // The item itself keys its timers: it stays the same whichever window shows it.
    platform::WindowId parentWindow() const override {
        return reinterpret_cast<platform::WindowId>(&item_);
    }
    platform::TimerService* timers() override { return &timers_; }
    bool enabled() const override { return item_.isEnabled(); }
    void setEnabled(bool enabled) override { item_.setEnabled(enabled); }

  private:
    // Qt's timer service, with the change signals noted after every timer callback.
    struct NotingTimers final : platform::TimerService {
        explicit NotingTimers(ImageHost& h) : host(h) {}
        bool start(platform::WindowId window, platform::TimerId id, uint32_t intervalMs,
                   Callback callback) override {
            if (!callback) return qt.start(window, id, intervalMs, nullptr);
            QPointer<AniGifImage> item(&host.item_);
            ImageHost* h = &host;
            return qt.start(window, id, intervalMs,
                            [item, h, callback = std::move(callback)](
                                platform::WindowId w, platform::TimerId t, uint32_t ms) {
                                callback(w, t, ms);
                                if (item) h->noteChanges();
                            });
        }
        bool cancel(platform::WindowId window, platform::TimerId id) override {
            return qt.cancel(window, id);
        }
        bool isPending(platform::WindowId window, platform::TimerId id) const override {
            return qt.isPending(window, id);
        }
        ImageHost& host;
        platform::qt::QtTimerService qt;
    };
    AniGifImage& item_;
    platform::qt::SeenControlValues seen_{ActionStop, QSize()};
    NotingTimers timers_{*this};
};

// ---- The item ------------------------------------------------------------------------------

AniGifImage::AniGifImage(QQuickItem* parent)
    : QQuickItem(parent), host_(std::make_unique<ImageHost>(*this)) {
    setFlag(ItemHasContents);
    setAcceptedMouseButtons(Qt::LeftButton | Qt::RightButton | Qt::MiddleButton);
    setAcceptHoverEvents(true);  // mouse moves also without a button held, as the widget has them
    control_ = std::make_unique<AniGifControl>(*host_);
    control_->setErrorReporter([](std::string_view text, std::string_view title) {
        qWarning("%.*s: %.*s", int(title.size()), title.data(), int(text.size()), text.data());
    });
    host_->reader.onComplete = [this](std::string_view name, std::span<const uint8_t> data,
                                      int64_t bytes, std::shared_ptr<const void> keeper) {
        host_->remoteFailed = false;
        host_->refused = false;
        guarded("download", [&] {
            control_->UserControl_AsyncReadComplete(name, data, bytes, std::move(keeper));
        });
        host_->noteChanges();
        if (host_->refused) {
            setStatus(control_->FrameCount() > 0 ? Ready : Null, control_->FrameCount() > 0);
        } else {
            settleStatus();
        }
    };
    host_->reader.onProgress = [this](std::string_view name, int32_t status, int64_t bytes) {
        guarded("download", [&] { control_->UserControl_AsyncReadProgress(name, status, bytes); });
        host_->noteChanges();
        if (status == platform::qt::AsyncReader::kStatusFailed) setStatus(Error, 0);
    };
}

AniGifImage::~AniGifImage() {
    control_.reset();  // stops its timers in the service it was given
}

void AniGifImage::setStatus(Status status, qreal progress) {
    if (progress != progress_) {
        progress_ = progress;
        emit progressChanged(progress_);
    }
    if (status != status_) {
        status_ = status;
        emit statusChanged(status_);
    }
}

void AniGifImage::dropPicture() {
    for (QImage& b : buffers_) b = QImage();
    newPicture_ = true;
    update();
}

void AniGifImage::settleStatus() {
    if (control_->FrameCount() > 0) {
        // The picture changed: the control paints it with its first timer, the item at once.
        host_->refresh();
        setStatus(Ready, 1);
    } else {
        // Nothing loaded: nothing held either.
        dropPicture();
        setStatus(Error, 0);
    }
}

void AniGifImage::setSource(const QUrl& source) {
    if (source != source_) {
        source_ = source;
        emit sourceChanged();
    }
    if (source.isEmpty()) {
        guarded("source", [&] { control_->loadGifBytes({}); });
        dropPicture();
        host_->noteChanges();
        setStatus(Null, 0);
        return;
    }
    const QQmlContext* context = qmlContext(this);
    const QUrl url = context ? context->resolvedUrl(source) : source;
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("qrc")) {
        loadLocal(QLatin1Char(':') + url.path(), true);
    } else if (url.isLocalFile()) {
        loadLocal(url.toLocalFile(), false);
    } else if (scheme.isEmpty() || scheme.size() == 1) {  // a path (one letter: a drive)
        const QString path = url.toString();
        loadLocal(path, path.startsWith(QLatin1String(":/")));
    } else {
        // Remote: the GIF on show stays until a download is accepted.
        setStatus(Loading, 0);
        host_->remoteFailed = false;
        guarded("remote", [&] { control_->LoadAnimatedGIF_Remote(utf8(url.toString())); });
        host_->noteChanges();
        if (host_->remoteFailed) setStatus(Error, 0);
    }
}

void AniGifImage::sizeForLoad(const QByteArray& header) {
    // An item without a size of its own takes the picture's: the control fits the picture to
    // the item's size, which would otherwise be none.
    if (width() > 0 && height() > 0) return;
    if (header.size() < 10 || !header.startsWith("GIF")) return;
    const auto byte = [&](int i) { return int(uint8_t(header[i])); };
    setImplicitSize(byte(6) | byte(7) << 8, byte(8) | byte(9) << 8);
}

void AniGifImage::loadLocal(const QString& path, bool resource) {
    setStatus(Loading, 0);
    QFile file(path);
    if (resource) {
        QByteArray bytes;
        if (file.open(QIODevice::ReadOnly)) bytes = file.readAll();
        sizeForLoad(bytes);
        guarded("load", [&] { control_->loadGifBytes(bytesOf(bytes)); });
    } else {
        if (file.open(QIODevice::ReadOnly)) sizeForLoad(file.read(10));
        file.close();
        guarded("load", [&] { control_->LoadAnimatedGIF_File(utf8(path)); });
    }
    host_->noteChanges();
    settleStatus();
}

bool AniGifImage::playing() const {
    return control_->Action() != ActionStop;
}
void AniGifImage::setPlaying(bool play) {
    if (play == playing()) return;
    guarded("playing", [&] { control_->Action(play ? ActionPlay : ActionStop); });
    host_->noteChanges();
}
bool AniGifImage::paused() const {
    return control_->Action() == ActionPause;
}
void AniGifImage::setPaused(bool pause) {
    if (pause == paused()) return;
    guarded("paused", [&] { control_->Action(pause ? ActionPause : ActionPlay); });
    host_->noteChanges();
}
int AniGifImage::currentFrame() const {
    return control_->CurrentFrame();
}
int AniGifImage::frameCount() const {
    return control_->FrameCount();
}
int AniGifImage::loops() const {
    return control_->Loops();
}
void AniGifImage::setLoops(int count) {
    guarded("loops", [&] { control_->Loops(count); });
    host_->noteChanges();
}
int AniGifImage::loopsRemaining() const {
    return control_->LoopsRemaining();
}
AniGifImage::Stretch AniGifImage::stretch() const {
    return static_cast<Stretch>(control_->Stretch());
}
void AniGifImage::setStretch(Stretch mode) {
    guarded("stretch", [&] { control_->Stretch(mode); });
    host_->noteChanges();
}
AniGifImage::Mirror AniGifImage::mirror() const {
    return static_cast<Mirror>(control_->Mirrored());
}
void AniGifImage::setMirror(Mirror mode) {
    guarded("mirror", [&] { control_->Mirrored(mode); });
    host_->noteChanges();
}

namespace {

// Runs a setter of the control and emits `changed` when the value read by `get` changed.
template <typename Get, typename Set, typename Changed>
void setAndNotify(Get get, Set set, Changed changed) {
    const auto before = get();
    guarded("property", set);
    if (get() != before) changed();
}

}  // namespace

int AniGifImage::offsetX() const {
    return control_->OffsetX();
}
void AniGifImage::setOffsetX(int pixels) {
    setAndNotify([this] { return control_->OffsetX(); }, [&] { control_->OffsetX(pixels); },
                 [this] { emit offsetXChanged(); });
}
int AniGifImage::offsetY() const {
    return control_->OffsetY();
}
void AniGifImage::setOffsetY(int pixels) {
    setAndNotify([this] { return control_->OffsetY(); }, [&] { control_->OffsetY(pixels); },
                 [this] { emit offsetYChanged(); });
}
QColor AniGifImage::solidBackground() const {
    if (!control_->SolidBkgColorUsed()) return QColor(Qt::transparent);
    const auto ref = static_cast<uint32_t>(control_->SolidBkgColor());
    if (ref & 0x80000000u) return QColor(Qt::transparent);  // a system colour: none set here
    return QColor(int(ref & 0xFF), int(ref >> 8 & 0xFF), int(ref >> 16 & 0xFF));
}
void AniGifImage::setSolidBackground(const QColor& colour) {
    const QColor before = solidBackground();
    const bool used = colour.isValid() && colour.alpha() > 0;
    guarded("solidBackground", [&] {
        if (used) {
            const QRgb rgb = colour.rgb();  // 0x00BBGGRR, as the control stores colours
            control_->SolidBkgColor(static_cast<int32_t>(
                uint32_t(qBlue(rgb)) << 16 | uint32_t(qGreen(rgb)) << 8 | uint32_t(qRed(rgb))));
        }
        control_->SolidBkgColorUsed(used);
    });
    if (solidBackground() == before) return;
    emit solidBackgroundChanged();
    host_->refresh();  // the control repaints it with the next frame; a paused item shows it now
}
int AniGifImage::minimumDelay() const {
    return control_->MinFrameDelay();
}
void AniGifImage::setMinimumDelay(int ms) {
    guarded("minimumDelay", [&] { control_->MinFrameDelay(ms); });
}
int AniGifImage::stepDelay() const {
    return control_->SteppedDelay();
}
void AniGifImage::setStepDelay(int ms) {
    setAndNotify([this] { return control_->SteppedDelay(); }, [&] { control_->SteppedDelay(ms); },
                 [this] { emit stepDelayChanged(); });
}
AniGifImage::DecodeMode AniGifImage::decodeMode() const {
    return static_cast<DecodeMode>(control_->DelayAnimation());
}
void AniGifImage::setDecodeMode(DecodeMode mode) {
    guarded("decodeMode", [&] { control_->DelayAnimation(mode); });
}
QSize AniGifImage::sourceSize() const {
    if (control_->FrameCount() == 0) return {};
    QSize size;
    guarded("sourceSize", [&] { size = QSize(control_->ActualWidth(), control_->ActualHeight()); });
    return size;
}

void AniGifImage::play() {
    guarded("play", [&] { control_->Action(ActionPlay); });
    host_->noteChanges();
}
void AniGifImage::pause() {
    guarded("pause", [&] { control_->Action(ActionPause); });
    host_->noteChanges();
}
void AniGifImage::stop() {
    guarded("stop", [&] { control_->Action(ActionStop); });
    host_->noteChanges();
}
void AniGifImage::restart() {
    guarded("restart", [&] { control_->Action(ActionRestart); });
    host_->noteChanges();
}
void AniGifImage::step() {
    guarded("step", [&] { control_->Action(ActionStep); });
    host_->noteChanges();
}

QVariantList AniGifImage::palette(int frameIndex) const {
    PaletteArray table;
    QVariantList colours;
    if (!control_->GetPalette(frameIndex, table)) return colours;
    for (const int32_t rgb : table.values) colours.push_back(QColor::fromRgb(QRgb(rgb)));
    return colours;
}

bool AniGifImage::setPalette(int frameIndex, const QVariantList& colours) {
    PaletteArray table;
    if (colours.isEmpty() || !control_->GetPalette(frameIndex, table)) return false;
    const auto n = std::min<std::size_t>(table.values.size(), std::size_t(colours.size()));
    for (std::size_t i = 0; i < n; ++i) {
        const QColor c = colours[qsizetype(i)].value<QColor>();
        if (!c.isValid()) return false;
        table.values[i] = static_cast<int32_t>(c.rgb() & 0xFFFFFFu);
    }
    return control_->SetPalette(frameIndex, table);
}

bool AniGifImage::saveCurrentFrame(const QUrl& file) const {
    std::vector<uint8_t> gif;
    if (!guarded("saveCurrentFrame", [&] { gif = control_->AnimatedGIF(); }) || gif.empty())
        return false;
    const QQmlContext* context = qmlContext(this);
    const QUrl url = context ? context->resolvedUrl(file) : file;
    QFile out(url.isLocalFile() ? url.toLocalFile() : url.toString());
    return out.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           out.write(reinterpret_cast<const char*>(gif.data()), qint64(gif.size())) ==
               qint64(gif.size());
}

void AniGifImage::refuseDownload() {
    host_->refused = true;
}

std::size_t AniGifImage::paintMemoryBytes() const {
    return std::size_t(buffers_[0].sizeInBytes()) + std::size_t(buffers_[1].sizeInBytes());
}

// ---- Drawing -------------------------------------------------------------------------------

namespace {

// Whether every pixel of a premultiplied ARGB picture has full alpha; stops at the first that
// has not.
bool isOpaque(const QImage& picture) {
    const int w = picture.width();
    for (int y = 0; y < picture.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(picture.constScanLine(y));
        QRgb all = 0xFF000000u;
        for (int x = 0; x < w; ++x) all &= line[x];
        if (all < 0xFF000000u) return false;
    }
    return true;
}

}  // namespace

void AniGifImage::requestPaint() {
    dirty_ = true;
    polish();
    // Marked for the coming frame now: an update asked for only while polishing would make the
    // scene graph render one more frame after it.
    update();
}

void AniGifImage::updatePolish() {
    if (!dirty_ || !window()) return;
    dirty_ = false;
    const qreal ratio = std::max<qreal>(window()->effectiveDevicePixelRatio(), 0.25);
    const int w = qRound(width() * ratio), h = qRound(height() * ratio);
    const auto bytes = int64_t{w} * h * 4;
    if (control_->FrameCount() == 0 || w < 1 || h < 1 ||
        bytes > int64_t(platform::memoryBudgetBytes())) {
        dropPicture();
        return;
    }
    // The buffer not on show; a buffer the scene graph still reads is replaced, not copied.
    const int next = shown_ == 0 ? 1 : 0;
    QImage& buffer = buffers_[next];
    if (buffer.width() != w || buffer.height() != h || !buffer.isDetached()) {
        buffer = QImage();
        buffer = QImage(w, h, QImage::Format_ARGB32_Premultiplied);
        if (buffer.isNull()) return;
    }
    // Shown as opaque last time: the same bytes, painted with alpha again.
    buffer.reinterpretAsFormat(QImage::Format_ARGB32_Premultiplied);
    buffer.fill(Qt::transparent);
    PaintTarget target;
    target.pixels = reinterpret_cast<uint32_t*>(buffer.bits());
    target.stride = buffer.bytesPerLine();
    target.width = w;
    target.height = h;
    target.deviceScale = ratio;
    bool drawn = false;
    guarded("paint", [&] { drawn = control_->paintInto(target); });
    if (!drawn) buffer.fill(Qt::transparent);
    // A paint that covered every pixel is handed over as opaque (the same bytes: premultiplied
    // pixels of full alpha are what RGB32 holds), so that the scene graph copies it instead of
    // blending it over what lies behind.
    if (drawn && isOpaque(buffer)) buffer.reinterpretAsFormat(QImage::Format_RGB32);
    // The other buffer was last shown one frame ago; a size change leaves it useless.
    QImage& other = buffers_[1 - next];
    if (other.size() != buffer.size()) other = QImage();
    shown_ = next;
    newPicture_ = true;
    update();
}

QSGNode* AniGifImage::updatePaintNode(QSGNode* old, UpdatePaintNodeData*) {
    auto* node = static_cast<QSGSimpleTextureNode*>(old);
    const QImage* picture = shown_ >= 0 ? &buffers_[shown_] : nullptr;
    if (!picture || picture->isNull()) {
        delete node;  // and its texture: nothing is held while nothing is shown
        newPicture_ = false;
        return nullptr;
    }
    if (!node) {
        node = new QSGSimpleTextureNode;
        node->setOwnsTexture(true);
        node->setFiltering(QSGTexture::Nearest);  // device pixels, drawn one to one
        newPicture_ = true;
    }
    if (newPicture_) {
        newPicture_ = false;
        node->setTexture(window()->createTextureFromImage(
            *picture, picture->hasAlphaChannel() ? QQuickWindow::TextureHasAlphaChannel
                                                 : QQuickWindow::CreateTextureOptions()));
    }
    node->setRect(0, 0, width(), height());
    return node;
}

void AniGifImage::geometryChange(const QRectF& newGeometry, const QRectF& oldGeometry) {
    QQuickItem::geometryChange(newGeometry, oldGeometry);
    if (newGeometry.size() == oldGeometry.size()) return;
    guarded("resize", [&] { control_->UserControl_Resize(); });
    host_->noteChanges();
    requestPaint();
}

void AniGifImage::itemChange(ItemChange change, const ItemChangeData& value) {
    QQuickItem::itemChange(change, value);
    if (change == ItemVisibleHasChanged) {
        guarded("visible", [&] {
            value.boolValue ? control_->UserControl_Show() : control_->UserControl_Hide();
        });
        host_->noteChanges();
    } else if (change == ItemSceneChange || change == ItemDevicePixelRatioHasChanged) {
        if (value.window || change == ItemDevicePixelRatioHasChanged)
            requestPaint();
        else
            dirty_ = true;
    }
}

void AniGifImage::releaseResources() {
    // The window's scene graph goes (the node and its texture with it); the next one gets a new
    // picture.
    newPicture_ = true;
    dirty_ = true;
}

void AniGifImage::mousePressEvent(QMouseEvent* event) {
    const QPointF p = event->position();
    guarded("mouse", [&] {
        control_->UserControl_MouseDown(buttonCode(event->button()), shiftCode(event->modifiers()),
                                        float(p.x()), float(p.y()));
    });
    host_->noteChanges();
    event->accept();
}

void AniGifImage::mouseReleaseEvent(QMouseEvent* event) {
    const QPointF p = event->position();
    guarded("mouse", [&] {
        control_->UserControl_MouseUp(buttonCode(event->button()), shiftCode(event->modifiers()),
                                      float(p.x()), float(p.y()));
        if (contains(p)) control_->UserControl_Click();
    });
    host_->noteChanges();
}

void AniGifImage::mouseMoveEvent(QMouseEvent* event) {
    const QPointF p = event->position();
    guarded("mouse", [&] {
        control_->UserControl_MouseMove(buttonCode(event->buttons()), shiftCode(event->modifiers()),
                                        float(p.x()), float(p.y()));
    });
    host_->noteChanges();
}

void AniGifImage::hoverMoveEvent(QHoverEvent* event) {
    const QPointF p = event->position();
    const std::pair<QPointF, Qt::KeyboardModifiers> at{p, event->modifiers()};
    if (lastHover_ == at) return;
    lastHover_ = at;
    guarded("mouse", [&] {
        control_->UserControl_MouseMove(buttonCode(Qt::NoButton), shiftCode(event->modifiers()),
                                        float(p.x()), float(p.y()));
    });
    host_->noteChanges();
}

void AniGifImage::hoverEnterEvent(QHoverEvent* event) {
    lastHover_.reset();
    hoverMoveEvent(event);
}

}  // namespace anigif
