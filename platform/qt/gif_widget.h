#pragma once
// AniGifWidget: the animated-GIF control in a Qt widget. The widget is the control's host: it
// owns one ucAniGIF, hands it paint, resize, show, hide, mouse and download notifications, runs
// its timers on the Qt event loop and reads remote GIFs through Qt Network.
//
// Drawing: the widget paints no background of its own, so whatever lies behind it (its parent's
// painting, widgets beneath) shows through transparent pixels of the GIF, with smooth edges
// where a stretched picture blends into them. The control draws each paint twice, over black
// and over white, from the same decoder state; the two results give every pixel's colour and
// coverage, which the widget composes over what lies behind.
//
// Units: the container's units are pixels, so ScaleX and ScaleY are the identity.
// Everything runs on the thread that owns the widget.
#include <QString>
#include <QVariantList>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "platform/control_host.h"
#include "platform/qt/async_reader.h"
#include "platform/qt/qt_timer_service.h"
#include "platform/surface.h"

namespace anigif {
class ucAniGIF;
}

namespace platform::qt {

class AniGifWidget : public QWidget, public platform::ControlHost {
    Q_OBJECT
  public:
    explicit AniGifWidget(QWidget* parent = nullptr);
    ~AniGifWidget() override;

    anigif::ucAniGIF& control() { return *control_; }
    const anigif::ucAniGIF& control() const { return *control_; }

    // Runs first for every event the control raises; it may change by-reference arguments
    // (Cancel), which the control reads back. Exceptions it throws are reported and dropped.
    std::function<void(int32_t number, std::string_view name, std::span<EventArg> args)> onEvent;

    // Run mode (true unless set otherwise): at design time the control shows frame 1 with its
    // outline and plays nothing.
    void setUserMode(bool run) { userMode_ = run; }
    QtTimerService& timerService() { return timers_; }
    AsyncReader& reader() { return reader_; }

    QSize sizeHint() const override { return size(); }

    // ControlHost.
    bool userMode() const override { return userMode_; }
    void refresh() override;
    Surface* paintTarget() override { return paintTarget_; }
    double scaleWidth() const override { return width(); }
    double scaleHeight() const override { return height(); }
    void setSize(double widthPx, double heightPx) override;
    double scaleX(double pixels) const override { return pixels; }
    double scaleY(double pixels) const override { return pixels; }
    void propertyChanged(std::string_view name) override;
    void raiseEvent(int32_t number, std::string_view eventName, std::span<EventArg> args) override;
    bool asyncRead(std::string_view target, std::string_view propertyName,
                   int32_t readOption) override;
    void cancelAsyncRead(std::string_view propertyName) override;
    WindowId parentWindow() const override;
    TimerService* timers() override { return &timers_; }
    bool enabled() const override { return enabled_; }
    void setEnabled(bool enabled) override;
    int16_t mousePointer() const override { return mousePointer_; }
    bool setMousePointer(int16_t pointer) override;
    PicturePtr mouseIcon() const override { return mouseIcon_; }
    bool setMouseIcon(PicturePtr icon) override;
    int32_t lineStyle() const override { return lineStyle_; }
    void setLineStyle(int32_t style) override { lineStyle_ = style; }
    int32_t foreColor() const override { return foreColor_; }
    void setForeColor(int32_t colour) override { foreColor_ = colour; }

  signals:
    // After the handler ran: the event with its arguments as the handler left them.
    void controlEvent(int number, const QString& name, const QVariantList& args);
    // A stored property of the control changed.
    void storedPropertyChanged(const QString& name);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

  private:
    // Calls into the control from Qt's event handlers: errors must not unwind through Qt.
    template <typename F>
    void guarded(const char* what, F&& f) noexcept;
    void applyCursor();
    // Paints the control once over `background` (0x00RRGGBB) into `target`.
    bool paintOver(Surface& target, uint32_t background);

    bool userMode_ = true;
    bool enabled_ = true;
    int16_t mousePointer_ = 0;
    PicturePtr mouseIcon_;
    int32_t lineStyle_ = 0;
    int32_t foreColor_ = 0;
    Qt::MouseButtons pressed_;

    std::unique_ptr<Surface> overBlack_, overWhite_;
    Surface* paintTarget_ = nullptr;
    std::vector<uint8_t> compositeSave_, maskSave_;

    QtTimerService timers_;
    AsyncReader reader_;
    std::unique_ptr<anigif::ucAniGIF> control_;  // last: it goes first, while timers still exist
};

}  // namespace platform::qt
