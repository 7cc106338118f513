#pragma once
// AniGifWidget's side of the control host: what the control asks of its widget (run mode,
// repaints, sizes, events, timers, downloads, the widget's enabled state, cursor and outline
// style), the memory the widget paints in, and the bookkeeping behind the widget's change
// signals. Not installed.
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QtGlobal>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "anigif/ani_gif_control.h"
#include "anigif/ani_gif_widget.h"
#include "anigif/control_host.h"
#include "platform/qt/async_reader.h"
#include "platform/qt/qt_timer_service.h"
#include "platform/qt/seen_values.h"

namespace anigif {

class WidgetHost final : public platform::ControlHost {
  public:
    explicit WidgetHost(AniGifWidget& widget);
    ~WidgetHost() override;

    // Calls into the control from Qt's event handlers: errors must not unwind through Qt. True
    // when `f` returned normally.
    template <typename F>
    static bool guarded(const char* what, F&& f) noexcept {
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

    // Emits the change signals of the values the control changes without a notice of its own
    // (action, frame, frame count, loops remaining, picture size), each once its value changed.
    void noteChanges();

    // Paints the control into the part of the widget that `exposed` covers (logical pixels), at
    // `ratio` device pixels per pixel, with `painter`; the control's budget bounds the buffer,
    // and an area larger than that is painted in bands. False when nothing was drawn.
    bool paint(const QRect& exposed, qreal ratio, QPainter& painter);
    // Bytes the widget's paints hold between paints: its buffer of the exposed area and the
    // control's own paint memory.
    std::size_t paintMemoryBytes() const;

    // The Qt mouse event being handed to the control, for the Qt-typed signals; null otherwise.
    const QMouseEvent* mouseEvent = nullptr;
    Qt::MouseButtons pressed;
    bool remoteRefused = false;
    bool settingEnabled = false;
    platform::qt::QtTimerService& timerService() { return timers_.qt; }
    platform::qt::AsyncReader reader;

    // ControlHost.
    bool userMode() const override { return w_.userMode_; }
    void refresh() override;
    double scaleWidth() const override { return w_.width(); }
    double scaleHeight() const override { return w_.height(); }
    void setSize(double widthPx, double heightPx) override;
    void propertyChanged(std::string_view name) override;
    void raiseEvent(int32_t number, std::string_view eventName,
                    std::span<platform::EventArg> args) override;
    bool asyncRead(std::string_view target, std::string_view propertyName,
                   int32_t readOption) override {
        return reader.start(target, propertyName, readOption);
    }
    void cancelAsyncRead(std::string_view propertyName) override { reader.cancel(propertyName); }
    void setAsyncReadLimits(const AsyncReadLimits& limits) override { reader.setLimits(limits); }
    platform::WindowId parentWindow() const override {
        return reinterpret_cast<platform::WindowId>(w_.window());
    }
    platform::TimerService* timers() override { return &timers_; }
    // The widget's real state: disabled also when a parent is.
    bool enabled() const override { return w_.isEnabled(); }
    void setEnabled(bool enabled) override;
    int16_t mousePointer() const override { return mousePointer_; }
    bool setMousePointer(int16_t pointer) override;
    platform::PicturePtr mouseIcon() const override { return mouseIcon_; }
    bool setMouseIcon(platform::PicturePtr icon) override;
    int32_t lineStyle() const override { return lineStyle_; }
    void setLineStyle(int32_t style) override { lineStyle_ = style; }
    int32_t foreColor() const override { return foreColor_; }
    void setForeColor(int32_t colour) override { foreColor_ = colour; }

  private:
    // The Qt timer service, with the widget's change signals noted after every timer callback
    // (a timer may advance, start or stop the animation without raising an event).
    struct NotingTimers final : platform::TimerService {
        explicit NotingTimers(WidgetHost& h) : host(h) {}
        bool start(platform::WindowId window, platform::TimerId id, uint32_t intervalMs,
                   Callback callback) override;
        bool cancel(platform::WindowId window, platform::TimerId id) override {
            return qt.cancel(window, id);
        }
        bool isPending(platform::WindowId window, platform::TimerId id) const override {
            return qt.isPending(window, id);
        }
        WidgetHost& host;
        platform::qt::QtTimerService qt;
    };
    void applyCursor();
    // The control's events as the widget's signals.
    void emitEventSignals(int32_t number, std::span<platform::EventArg> args);
    void emitPropertySignal(std::string_view controlName);

    AniGifWidget& w_;
    int16_t mousePointer_ = 0;
    platform::PicturePtr mouseIcon_;
    int32_t lineStyle_ = 0;
    int32_t foreColor_ = 0;
    platform::qt::SeenControlValues seen_{0, QSize(0, 0)};
    QImage buffer_;  // the pixels of the exposed area, premultiplied ARGB
    NotingTimers timers_{*this};
};

}  // namespace anigif
