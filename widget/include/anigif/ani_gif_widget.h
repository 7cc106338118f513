#pragma once
// anigif::AniGifWidget: the animated-GIF control (anigif::ucAniGIF) as a Qt widget.
//
// The widget is the control's host: it owns one control, hands it paint, resize, show, hide,
// mouse and download notifications, runs its timers on the Qt event loop and reads remote GIFs
// through Qt Network. Its Qt face (properties, signals, slots) only forwards to the control:
// every setter clamps, refreshes and notifies exactly as the control's own property does, and
// control() gives full access to everything else (palettes, stored descriptions, the writer).
//
// Drawing: the widget paints no background of its own, so whatever lies behind it shows through
// transparent pixels of the GIF, with smooth edges where a stretched picture blends into them.
// It paints at device pixels: on a screen with a device pixel ratio above 1 the control's scale
// is multiplied by the ratio, so a stretched GIF is averaged once at the real resolution.
//
// Run mode: a widget is at run time (it plays) unless setUserMode(false) puts it at design time,
// as a form designer does: frame 1 with a dotted outline, nothing plays, `action` is ignored, and
// `source` becomes the control's stored GIF.
//
// Units: positions and sizes are logical pixels (the container's units). Everything runs on the
// thread that owns the widget; nothing here throws into Qt.
#include <QByteArray>
#include <QColor>
#include <QString>
#include <QUrl>
#include <QVariantList>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string_view>

#include "platform/control_host.h"

namespace platform::qt {
class AsyncReader;
class QtTimerService;
}  // namespace platform::qt

namespace anigif {

class ucAniGIF;

class AniGifWidget : public QWidget {
    Q_OBJECT
    // First, so that a form sets the GIF before the values that depend on it (loops).
    Q_PROPERTY(QString source READ source WRITE setSource NOTIFY sourceChanged)
    Q_PROPERTY(StretchMode stretch READ stretch WRITE setStretch NOTIFY stretchChanged)
    Q_PROPERTY(MirrorMode mirrored READ mirrored WRITE setMirrored NOTIFY mirroredChanged)
    Q_PROPERTY(int loops READ loops WRITE setLoops NOTIFY loopsChanged)
    Q_PROPERTY(
        int minFrameDelay READ minFrameDelay WRITE setMinFrameDelay NOTIFY minFrameDelayChanged)
    Q_PROPERTY(int steppedDelay READ steppedDelay WRITE setSteppedDelay NOTIFY steppedDelayChanged)
    Q_PROPERTY(DelayAnimationMode delayAnimation READ delayAnimation WRITE setDelayAnimation NOTIFY
                   delayAnimationChanged)
    Q_PROPERTY(int offsetX READ offsetX WRITE setOffsetX NOTIFY offsetXChanged)
    Q_PROPERTY(int offsetY READ offsetY WRITE setOffsetY NOTIFY offsetYChanged)
    Q_PROPERTY(
        QColor solidBkgColor READ solidBkgColor WRITE setSolidBkgColor NOTIFY solidBkgColorChanged)
    Q_PROPERTY(bool solidBkgColorUsed READ solidBkgColorUsed WRITE setSolidBkgColorUsed NOTIFY
                   solidBkgColorUsedChanged)
    Q_PROPERTY(AnimationAction action READ action WRITE setAction STORED false)
    Q_PROPERTY(int currentFrame READ currentFrame)
    Q_PROPERTY(int frameCount READ frameCount)
    Q_PROPERTY(int loopsRemaining READ loopsRemaining)
    Q_PROPERTY(int actualWidth READ actualWidth)
    Q_PROPERTY(int actualHeight READ actualHeight)

  public:
    // The control's enumerations, with the same names and values. The fixed underlying type lets
    // any int through, so that the control decides about values out of range.
    enum StretchMode : int { StretchNone, StretchFit, StretchFill, StretchShrink, StretchAutoSize };
    Q_ENUM(StretchMode)
    enum MirrorMode : int { MirrorNone, MirrorHorizontal, MirrorVertical, MirrorBoth };
    Q_ENUM(MirrorMode)
    enum DelayAnimationMode : int { DelayOff, DelayFirstFrame, DelayHold, DelayHoldFirstFrame };
    Q_ENUM(DelayAnimationMode)
    enum AnimationAction : int { ActionStop, ActionPlay, ActionPause, ActionStep, ActionRestart };
    Q_ENUM(AnimationAction)

    explicit AniGifWidget(QWidget* parent = nullptr);
    ~AniGifWidget() override;

    // The control itself, for everything the Qt face does not cover.
    ucAniGIF& control() { return *control_; }
    const ucAniGIF& control() const { return *control_; }

    // Run mode (true unless set otherwise); read afresh by the control at each use. Set it
    // before loading: a GIF loaded at run time is not kept as a stored GIF.
    void setUserMode(bool run);
    bool userMode() const { return userMode_; }

    // Runs first for every event the control raises; it may change by-reference arguments
    // (Cancel of RemoteLoadComplete), which the control reads back. Exceptions it throws are
    // reported and dropped.
    std::function<void(int32_t number, std::string_view name, std::span<platform::EventArg> args)>
        onEvent;

    // --- Properties (see the control's members of the same names) ------------------------
    // Where the GIF came from: a file path, a Qt resource path (":/..." or "qrc:/...") or a URL
    // (http, https, ftp, file). Setting it loads from there (remotely: asynchronously, with
    // remoteLoadComplete or remoteLoadFailure); at design time the GIF's bytes become the stored
    // GIF. An empty string unloads. The string is kept whether or not the load succeeded.
    QString source() const { return source_; }
    void setSource(const QString& source);

    StretchMode stretch() const;
    void setStretch(StretchMode mode);  // values 0..4 that differ; resizes the widget
    MirrorMode mirrored() const;
    void setMirrored(MirrorMode mode);  // values 0..3
    int loops() const;                  // 0 = for ever
    void setLoops(int count);           // stores |count|; the overflow error is reported
    int minFrameDelay() const;          // milliseconds
    void setMinFrameDelay(int ms);      // clamped to 10..32700
    int steppedDelay() const;           // milliseconds, 0 = off
    void setSteppedDelay(int ms);       // not positive turns it off
    DelayAnimationMode delayAnimation() const;
    void setDelayAnimation(DelayAnimationMode mode);  // takes effect at the next load
    int offsetX() const;                              // pixels added to the picture position
    void setOffsetX(int pixels);
    int offsetY() const;
    void setOffsetY(int pixels);
    // The solid background under transparent pixels; a system colour of the control reads as
    // the matching colour of this widget's palette. Setting stores an RGB colour.
    QColor solidBkgColor() const;
    void setSolidBkgColor(const QColor& colour);
    bool solidBkgColorUsed() const;
    void setSolidBkgColorUsed(bool used);
    // Stopped, playing or paused; setting gives a command (also ActionStep, ActionRestart).
    // Ignored while nothing is loaded and at design time.
    AnimationAction action() const;
    void setAction(AnimationAction action);
    int currentFrame() const;    // 1-based; 0 while nothing is loaded
    int frameCount() const;      // 0 while nothing is loaded
    int loopsRemaining() const;  // 2147483647 when looping for ever
    int actualWidth() const;     // the GIF's overall size in pixels
    int actualHeight() const;

    QSize sizeHint() const override;

    // --- For the program's own tools and tests (types not part of the installed API) ------
    platform::ControlHost& host();
    platform::qt::QtTimerService& timerService();
    platform::qt::AsyncReader& reader();
    // The window the control's timers are attached to.
    platform::WindowId parentWindow() const;

  public slots:
    void play();
    void pause();
    void stop();
    void step();
    void restart();
    // Loaders of the control (file, bytes held in memory, remote). True when a GIF was loaded;
    // for loadUrl, when the read was started (the outcome arrives as remoteLoadComplete or
    // remoteLoadFailure), or for a file URL when it loaded. They leave `source` alone.
    bool loadFile(const QString& path);
    bool loadData(const QByteArray& bytes);
    bool loadUrl(const QUrl& url);

  signals:
    // The control's eight events, after onEvent ran. Buttons: 1 left, 2 right, 4 middle; shift:
    // 1 Shift, 2 Ctrl, 4 Alt; x and y in logical pixels.
    void clicked();
    void mouseDown(int button, int shift, float x, float y);
    void mouseUp(int button, int shift, float x, float y);
    void mouseMove(int button, int shift, float x, float y);
    void loopsEnded();
    // frameIndex is the frame that was on screen before the change (as the control raises it).
    void frameChanged(int frameIndex, bool viaTimer);
    void remoteLoadComplete();
    void remoteLoadFailure();

    // Every event by number and name, with its arguments as onEvent left them.
    void controlEvent(int number, const QString& name, const QVariantList& args);
    // A stored property of the control changed (the control's name: "Stretch", "Delay", ...,
    // and "Enabled" also when Qt enables or disables the widget or a parent).
    void storedPropertyChanged(const QString& name);

    void sourceChanged(const QString& source);
    void stretchChanged();
    void mirroredChanged();
    void loopsChanged();
    void minFrameDelayChanged();
    void steppedDelayChanged();
    void delayAnimationChanged();
    void offsetXChanged();
    void offsetYChanged();
    void solidBkgColorChanged();
    void solidBkgColorUsedChanged();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

  private:
    class Host;
    friend class Host;

    // Calls into the control from Qt's event handlers: errors must not unwind through Qt.
    template <typename F>
    static bool guarded(const char* what, F&& f) noexcept;
    // Runs a setter of the control and emits `changed` when the value read by `get` changed;
    // for the properties the control sets without notice.
    template <typename Get, typename Set>
    void setAndNotify(Get get, Set set, void (AniGifWidget::*changed)());
    void emitPropertySignal(std::string_view controlName);
    void dispatchEvent(int32_t number, std::span<platform::EventArg> args);
    bool loadBytesAtDesignTime(const QByteArray& bytes);

    bool userMode_ = true;
    QString source_;
    Qt::MouseButtons pressed_;
    bool remoteRefused_ = false;
    std::unique_ptr<Host> host_;
    std::unique_ptr<ucAniGIF> control_;  // last: it goes first, while timers still exist
};

}  // namespace anigif
