#pragma once
// A control host without a window, for tests and command-line tools. Run mode, inner size,
// unit scale and the host control's own state are plain settings; property-changed notices,
// events, refreshes and asynchronous reads are recorded so that tests can inspect them.
#include <functional>
#include <string>
#include <vector>

#include "anigif/control_host.h"
#include "platform/surface.h"

namespace platform {

class HeadlessHost : public ControlHost {
  public:
    // An event as it was raised, with its arguments as the handler left them.
    struct RecordedEvent {
        int32_t number = 0;
        std::string name;
        std::vector<std::pair<std::string, std::variant<int16_t, int32_t, float, bool>>> args;
    };
    struct AsyncReadRequest {
        std::string target;
        std::string propertyName;
        int32_t readOption = 0;
    };

    HeadlessHost() = default;

    // Settings.
    void setUserMode(bool run) { userMode_ = run; }
    // Sets the inner size without delivering the resize handler (as a host does before load).
    void setInnerSize(double widthPx, double heightPx) {
        width_ = widthPx;
        height_ = heightPx;
    }
    // Container units per pixel (15 for twips, 1 for pixels).
    void setUnitsPerPixel(double x, double y) {
        unitsX_ = x;
        unitsY_ = y;
    }
    void setParentWindow(WindowId window) { window_ = window; }
    void setTimerService(TimerService* timers) { timers_ = timers; }
    void setAsyncReadAccepted(bool accepted) { asyncAccepted_ = accepted; }
    // Colour (0x00RRGGBB) of what lies behind the control: a refresh fills the paint target
    // with it when the paint handler first asks for the target.
    void setBackground(uint32_t rgb) { background_ = rgb & 0x00FFFFFFu; }
    uint32_t background() const { return background_; }

    // The surface the last paint that asked for a target painted: 24 bits, the inner size
    // rounded to whole pixels; null before that or while the inner size is below one pixel.
    const Surface* surface() const { return surface_.get(); }

    // Callbacks into the control: its paint handler (run by refresh) and resize handler (run
    // after setSize). Events go to `onEvent` first, which may change by-reference arguments.
    std::function<void()> onPaint;
    std::function<void()> onResize;
    std::function<void(int32_t number, std::string_view name, std::span<EventArg> args)> onEvent;
    // Asynchronous reads, once recorded, go to `onAsyncRead` when it is set (its answer is the
    // request's), and cancels to `onCancelAsyncRead`; otherwise a read is accepted as
    // setAsyncReadAccepted says and nothing answers it.
    std::function<bool(std::string_view target, std::string_view propertyName, int32_t readOption)>
        onAsyncRead;
    std::function<void(std::string_view propertyName)> onCancelAsyncRead;

    // Records.
    int refreshCount() const { return refreshes_; }
    const std::vector<std::string>& changedProperties() const { return changed_; }
    const std::vector<RecordedEvent>& events() const { return events_; }
    const std::vector<AsyncReadRequest>& asyncReads() const { return reads_; }
    const std::vector<std::string>& cancelledReads() const { return cancels_; }
    // The limits the control gave for its latest read.
    const AsyncReadLimits& asyncReadLimits() const { return limits_; }
    void clearRecords();

    // ControlHost.
    bool userMode() const override { return userMode_; }
    void refresh() override;
    Surface* paintTarget() override;
    double scaleWidth() const override { return width_; }
    double scaleHeight() const override { return height_; }
    void setSize(double widthPx, double heightPx) override;
    double scaleX(double pixels) const override { return pixels * unitsX_; }
    double scaleY(double pixels) const override { return pixels * unitsY_; }
    void propertyChanged(std::string_view name) override { changed_.emplace_back(name); }
    void raiseEvent(int32_t number, std::string_view eventName, std::span<EventArg> args) override;
    bool asyncRead(std::string_view target, std::string_view propertyName,
                   int32_t readOption) override;
    void cancelAsyncRead(std::string_view propertyName) override {
        cancels_.emplace_back(propertyName);
        if (onCancelAsyncRead) onCancelAsyncRead(propertyName);
    }
    void setAsyncReadLimits(const AsyncReadLimits& limits) override { limits_ = limits; }
    WindowId parentWindow() const override { return window_; }
    TimerService* timers() override { return timers_; }
    bool enabled() const override { return enabled_; }
    void setEnabled(bool enabled) override { enabled_ = enabled; }
    int16_t mousePointer() const override { return mousePointer_; }
    bool setMousePointer(int16_t pointer) override;
    PicturePtr mouseIcon() const override { return mouseIcon_; }
    bool setMouseIcon(PicturePtr icon) override {
        mouseIcon_ = std::move(icon);
        return true;
    }
    int32_t lineStyle() const override { return lineStyle_; }
    void setLineStyle(int32_t style) override { lineStyle_ = style; }
    int32_t foreColor() const override { return foreColor_; }
    void setForeColor(int32_t colour) override { foreColor_ = colour; }

  private:
    bool userMode_ = true;
    double width_ = 0, height_ = 0;
    double unitsX_ = 1, unitsY_ = 1;
    WindowId window_ = 1;
    TimerService* timers_ = nullptr;
    bool asyncAccepted_ = true;
    bool enabled_ = true;
    int16_t mousePointer_ = 0;
    PicturePtr mouseIcon_;
    int32_t lineStyle_ = 0;
    int32_t foreColor_ = 0;

    uint32_t background_ = 0xFFFFFF;
    std::unique_ptr<Surface> surface_;
    bool painting_ = false;
    bool surfaceReady_ = false;  // made and filled for the paint in progress

    int refreshes_ = 0;
    std::vector<std::string> changed_;
    std::vector<RecordedEvent> events_;
    std::vector<AsyncReadRequest> reads_;
    std::vector<std::string> cancels_;
    AsyncReadLimits limits_;
};

}  // namespace platform
