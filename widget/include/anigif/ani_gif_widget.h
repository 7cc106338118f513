#pragma once
// anigif::AniGifWidget: the animated-GIF control (anigif::AniGifControl) as a Qt widget.
//
// The widget is the control's host: it owns one control, hands it paint, resize, show, hide,
// mouse and download notifications, runs its timers on the Qt event loop and reads remote GIFs
// through Qt Network. Its Qt face (properties, signals, slots) only forwards to the control:
// every setter clamps, refreshes and notifies exactly as the control's own property does.
// control() gives the control's public surface for what the Qt face does not cover (palettes,
// stored descriptions, the GIF writer, mouse pointers).
//
// Drawing: the widget paints no background of its own, so whatever lies behind it shows through
// transparent pixels of the GIF, with smooth edges where a stretched picture blends into them.
// It paints at device pixels, and only the part Qt asks to be painted: on a screen with a device
// pixel ratio above 1 the control's scale is multiplied by the ratio, so a stretched GIF is
// averaged once at the real resolution.
//
// Run mode: a widget is at run time (it plays) unless setUserMode(false) puts it at design time,
// as a form designer does: frame 1 with a dotted outline, nothing plays, `action` is ignored, and
// `source` becomes the control's stored GIF.
//
// Units: positions and sizes are logical pixels (the container's units). Everything runs on the
// thread that owns the widget; nothing here throws into Qt.
#include <QByteArray>
#include <QColor>
#include <QPointF>
#include <QSize>
#include <QString>
#include <QUrl>
#include <QVariantList>
#include <QWidget>
#include <memory>

namespace anigif {

class AniGifControl;
class WidgetHost;
struct WidgetAccess;

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
    Q_PROPERTY(AnimationAction action READ action WRITE setAction NOTIFY actionChanged STORED false)
    Q_PROPERTY(int currentFrame READ currentFrame NOTIFY currentFrameChanged)
    Q_PROPERTY(int frameCount READ frameCount NOTIFY frameCountChanged)
    Q_PROPERTY(int loopsRemaining READ loopsRemaining NOTIFY loopsRemainingChanged)
    Q_PROPERTY(int actualWidth READ actualWidth NOTIFY actualSizeChanged)
    Q_PROPERTY(int actualHeight READ actualHeight NOTIFY actualSizeChanged)
    Q_PROPERTY(qint64 memoryBudget READ memoryBudget WRITE setMemoryBudget)
    Q_PROPERTY(int remoteDeadline READ remoteDeadline WRITE setRemoteDeadline)

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

    // The control's public surface (anigif/ani_gif_control.h), for what the Qt face does not
    // cover. Its paint and host-event members are the widget's to call; changes made through it
    // reach the change signals above only where the control itself notifies them.
    AniGifControl& control();
    const AniGifControl& control() const;

    // Run mode (true unless set otherwise); read afresh by the control at each use. Set it
    // before loading: a GIF loaded at run time is not kept as a stored GIF.
    void setUserMode(bool run);
    bool userMode() const { return userMode_; }

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

    // The most the control and this widget's paint buffers hold at once, in bytes; 0 (or less)
    // sets the default (AniGifControl::setMemoryBudget). Takes effect at the next load.
    qint64 memoryBudget() const;
    void setMemoryBudget(qint64 bytes);
    // Milliseconds a remote load may take before it fails with remoteLoadFailure (default
    // 120000; 0 = no limit).
    int remoteDeadline() const;
    void setRemoteDeadline(int ms);

    QSize sizeHint() const override;

  public slots:
    void play();
    void pause();
    void stop();
    void step();
    void restart();
    // Pauses on frame `frame` (clamped to 1..frameCount) and shows it; previous() steps back
    // one frame (from frame 1 to the last), as step() goes on. Ignored while nothing is loaded
    // and at design time.
    void showFrame(int frame);
    void previous();
    // Loaders of the control (file, bytes held in memory, remote). True when a GIF was loaded;
    // for loadUrl, when the read was started (the outcome arrives as remoteLoadComplete or
    // remoteLoadFailure), or for a file URL when it loaded. They leave `source` alone.
    bool loadFile(const QString& path);
    bool loadData(const QByteArray& bytes);
    bool loadUrl(const QUrl& url);

  signals:
    // The control's events, as Qt types. Positions are in logical pixels, exactly as Qt gave
    // them; buttons and modifiers are those of the Qt event.
    void mousePressed(const QPointF& position, Qt::MouseButton button,
                      Qt::KeyboardModifiers modifiers);
    void mouseReleased(const QPointF& position, Qt::MouseButton button,
                       Qt::KeyboardModifiers modifiers);
    void mouseMoved(const QPointF& position, Qt::MouseButtons buttons,
                    Qt::KeyboardModifiers modifiers);
    // A downloaded GIF passed its check (`size` from its header) and is about to replace the one
    // on show. Setting *cancel to true refuses it; connect directly (same thread). Emitted
    // before remoteLoadComplete.
    void remoteGifArrived(const QSize& size, bool* cancel);

    // The control's eight events with the control's own argument types. Buttons: 1 left,
    // 2 right, 4 middle; shift: 1 Shift, 2 Ctrl, 4 Alt; x and y in logical pixels, rounded down.
    void clicked();
    void mouseDown(int button, int shift, float x, float y);
    void mouseUp(int button, int shift, float x, float y);
    void mouseMove(int button, int shift, float x, float y);
    void loopsEnded();
    // frameIndex is the frame that was on screen before the change (as the control raises it).
    void frameChanged(int frameIndex, bool viaTimer);
    void remoteLoadComplete();
    void remoteLoadFailure();

    // Every event by number and name, with its arguments as the handlers left them.
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
    // The read-only values, each emitted after its value really changed.
    void actionChanged();
    void currentFrameChanged();
    void frameCountChanged();
    void loopsRemainingChanged();
    void actualSizeChanged();

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
    friend class WidgetHost;
    friend struct WidgetAccess;

    bool userMode_ = true;
    QString source_;
    std::unique_ptr<WidgetHost> host_;
    std::unique_ptr<AniGifControl> control_;  // last: it goes first, while timers still exist
};

}  // namespace anigif
