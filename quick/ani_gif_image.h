#pragma once
// AniGifImage: the animated-GIF control (anigif::AniGifControl) as a Qt Quick item, in the QML
// module AniGif 1.0.
//
//   import AniGif
//   AniGifImage { source: "spinner.gif"; stretch: AniGifImage.StretchFill; onLoopsEnded: ... }
//
// The item is the control's host, as AniGifWidget is for widgets: it owns one control, runs its
// timers on the Qt event loop, reads remote GIFs through Qt Network and forwards its Qt face to
// the control's properties and events, whose rules (clamping, loop counts, delays, deferred
// decoding) stay the control's.
//
// Drawing: when the control asks for a repaint, the item paints it once, at the next polish,
// with the control's own paint into a buffer of the item's size at device pixels, and hands that
// buffer to the scene graph as the texture of one texture node. Nothing is painted or uploaded
// while neither the frame nor the size changed. Works on every scene-graph backend, the software
// one included. The buffers follow the control's memory budget: an item whose pixels would pass
// it draws nothing.
//
// Numbering: frames count from 1, as in the control and the widget (0 while nothing is loaded);
// frameChanged carries the frame that was on screen before the change.
#include <QtQml/qqmlregistration.h>

#include <QColor>
#include <QImage>
#include <QQuickItem>
#include <QSize>
#include <QString>
#include <QUrl>
#include <QVariantList>
#include <memory>
#include <optional>
#include <utility>

namespace anigif {

class AniGifControl;
class ImageHost;

class AniGifImage : public QQuickItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QUrl source READ source WRITE setSource NOTIFY sourceChanged)
    Q_PROPERTY(bool playing READ playing WRITE setPlaying NOTIFY playingChanged)
    Q_PROPERTY(bool paused READ paused WRITE setPaused NOTIFY pausedChanged)
    Q_PROPERTY(int currentFrame READ currentFrame NOTIFY currentFrameChanged)
    Q_PROPERTY(int frameCount READ frameCount NOTIFY frameCountChanged)
    Q_PROPERTY(int loops READ loops WRITE setLoops NOTIFY loopsChanged)
    Q_PROPERTY(int loopsRemaining READ loopsRemaining NOTIFY loopsRemainingChanged)
    Q_PROPERTY(Stretch stretch READ stretch WRITE setStretch NOTIFY stretchChanged)
    Q_PROPERTY(Mirror mirror READ mirror WRITE setMirror NOTIFY mirrorChanged)
    Q_PROPERTY(int offsetX READ offsetX WRITE setOffsetX NOTIFY offsetXChanged)
    Q_PROPERTY(int offsetY READ offsetY WRITE setOffsetY NOTIFY offsetYChanged)
    Q_PROPERTY(QColor solidBackground READ solidBackground WRITE setSolidBackground NOTIFY
                   solidBackgroundChanged)
    Q_PROPERTY(int minimumDelay READ minimumDelay WRITE setMinimumDelay NOTIFY minimumDelayChanged)
    Q_PROPERTY(int stepDelay READ stepDelay WRITE setStepDelay NOTIFY stepDelayChanged)
    Q_PROPERTY(DecodeMode decodeMode READ decodeMode WRITE setDecodeMode NOTIFY decodeModeChanged)
    Q_PROPERTY(QSize sourceSize READ sourceSize NOTIFY sourceSizeChanged)
    Q_PROPERTY(Status status READ status NOTIFY statusChanged)
    Q_PROPERTY(qreal progress READ progress NOTIFY progressChanged)

  public:
    // The control's modes, with its values.
    enum Stretch : int { StretchNone, StretchFit, StretchFill, StretchShrink, StretchAutoSize };
    Q_ENUM(Stretch)
    enum Mirror : int { MirrorNone, MirrorHorizontal, MirrorVertical, MirrorBoth };
    Q_ENUM(Mirror)
    enum DecodeMode : int {
        DecodeAll,
        DecodeFirstFrameFirst,
        DecodeAllHeld,
        DecodeFirstFrameFirstHeld
    };
    Q_ENUM(DecodeMode)
    // As Image and AnimatedImage have them.
    enum Status : int { Null, Ready, Loading, Error };
    Q_ENUM(Status)

    explicit AniGifImage(QQuickItem* parent = nullptr);
    ~AniGifImage() override;

    // The control's public surface, for the library's own programs and tests.
    AniGifControl& control() { return *control_; }

    // A file (path or file: URL, relative ones against the QML document), a resource (qrc: or
    // :/) or an http/https address, read through the control's remote path. Empty unloads.
    QUrl source() const { return source_; }
    void setSource(const QUrl& source);
    // Playing: not stopped (a paused item plays too, as in AnimatedImage). Setting it false
    // stops and rewinds to frame 1; true plays. paused pauses and resumes.
    bool playing() const;
    void setPlaying(bool play);
    bool paused() const;
    void setPaused(bool pause);
    int currentFrame() const;
    int frameCount() const;
    int loops() const;  // 0 = for ever; a load takes the GIF's own count
    void setLoops(int count);
    int loopsRemaining() const;
    Stretch stretch() const;
    void setStretch(Stretch mode);
    Mirror mirror() const;
    void setMirror(Mirror mode);
    int offsetX() const;
    void setOffsetX(int pixels);
    int offsetY() const;
    void setOffsetY(int pixels);
    // Drawn under transparent pixels; a transparent colour (the default) lets what lies behind
    // the item show.
    QColor solidBackground() const;
    void setSolidBackground(const QColor& colour);
    int minimumDelay() const;  // ms, 10..32700
    void setMinimumDelay(int ms);
    int stepDelay() const;  // ms every frame stays; 0 = the GIF's own delays
    void setStepDelay(int ms);
    // How a load decodes: all frames first, or frame 1 first and the rest a moment later; the
    // "held" modes do not start playing. Takes effect at the next load.
    DecodeMode decodeMode() const;
    void setDecodeMode(DecodeMode mode);
    QSize sourceSize() const;  // the GIF's own size
    Status status() const { return status_; }
    qreal progress() const { return progress_; }

    Q_INVOKABLE void play();
    Q_INVOKABLE void pause();
    Q_INVOKABLE void stop();  // rewinds to frame 1
    Q_INVOKABLE void restart();
    Q_INVOKABLE void step();
    // The colour table of frame `frameIndex` (0: the global table) as colours; empty when there
    // is none.
    Q_INVOKABLE QVariantList palette(int frameIndex) const;
    // Replaces that table's colours (as many as given, at most its size); true when done.
    Q_INVOKABLE bool setPalette(int frameIndex, const QVariantList& colours);
    // Writes the frame on show as a single-image GIF file (a path or file: URL); true when
    // written.
    Q_INVOKABLE bool saveCurrentFrame(const QUrl& file) const;
    // From a remoteLoadComplete handler: refuse the download, keeping the GIF on show.
    Q_INVOKABLE void refuseDownload();

    // Bytes the item's paints hold between paints: its pixel buffers.
    std::size_t paintMemoryBytes() const;

  signals:
    void sourceChanged();
    void playingChanged();
    void pausedChanged();
    void currentFrameChanged();
    void frameCountChanged();
    void loopsChanged();
    void loopsRemainingChanged();
    void stretchChanged();
    void mirrorChanged();
    void offsetXChanged();
    void offsetYChanged();
    void solidBackgroundChanged();
    void minimumDelayChanged();
    void stepDelayChanged();
    void decodeModeChanged();
    void sourceSizeChanged();
    void statusChanged(anigif::AniGifImage::Status status);
    void progressChanged(qreal progress);

    // The control's events.
    void frameChanged(int frameIndex, bool viaTimer);
    void loopsEnded();
    void clicked();
    // The control's mouse events, hover moves included: the buttons (1 left, 2 right, 4 middle;
    // 0 for a move with none held), the keys (1 shift, 2 control, 4 alt) and the position in
    // the item's pixels, as the control reports them.
    void mouseDown(int button, int shift, qreal x, qreal y);
    void mouseUp(int button, int shift, qreal x, qreal y);
    void mouseMove(int button, int shift, qreal x, qreal y);
    // A download passed its check and is about to replace the GIF on show; call
    // refuseDownload() from the handler to keep the old one.
    void remoteLoadComplete(const QSize& gifSize);
    void remoteLoadFailure();

  protected:
    QSGNode* updatePaintNode(QSGNode* old, UpdatePaintNodeData* data) override;
    void updatePolish() override;
    void geometryChange(const QRectF& newGeometry, const QRectF& oldGeometry) override;
    void itemChange(ItemChange change, const ItemChangeData& value) override;
    void releaseResources() override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    // The pointer moving onto the item or over it without a button held: the control's
    // mouse move.
    void hoverEnterEvent(QHoverEvent* event) override;
    void hoverMoveEvent(QHoverEvent* event) override;

  private:
    friend class ImageHost;

    // Paints at the next polish, for the next frame.
    void requestPaint();
    void setStatus(Status status, qreal progress);
    // The status that follows a finished load: Ready with a GIF, Error without.
    void settleStatus();
    void loadLocal(const QString& path, bool resource);
    // Lets go of the pixels: the scene graph shows nothing from the next frame on.
    void dropPicture();
    // Gives an item without a size the size in a GIF's header, before it loads.
    void sizeForLoad(const QByteArray& header);

    QUrl source_;
    Status status_ = Null;
    qreal progress_ = 0;
    // Two pixel buffers, premultiplied ARGB at device pixels: the one the scene graph shows and
    // the one painted next, so that a paint never waits for or copies the shown one.
    QImage buffers_[2];
    int shown_ = -1;           // the buffer handed to the scene graph last; -1 none
    bool newPicture_ = false;  // a buffer waits for the next updatePaintNode
    bool dirty_ = true;        // the control asked for a repaint
    // Where the last hover move was forwarded: the scene graph repeats hover events at the same
    // place as frames are rendered, and those are no moves of the mouse.
    std::optional<std::pair<QPointF, Qt::KeyboardModifiers>> lastHover_;
    std::unique_ptr<ImageHost> host_;
    std::unique_ptr<AniGifControl> control_;  // last: it goes first, while timers still exist
};

}  // namespace anigif
