// Renders frame 2 of a GIF without Qt: the control on a host of its own, its timers on a manual
// clock, painted into pixels the program owns. Exit 0 when the painted pixel has frame 2's colour.
#include <anigif/ani_gif_control.h>
#include <anigif/control_host.h>
#include <anigif/manual_clock.h>

#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

// A 2 x 1 control that paints into `pixels` whenever the control asks for a repaint.
class Host : public platform::ControlHost {
  public:
    anigif::AniGifControl* control = nullptr;
    std::vector<uint32_t> pixels = std::vector<uint32_t>(2);
    platform::ManualClock clock;

    bool userMode() const override { return true; }
    void refresh() override {
        anigif::PaintTarget target;
        target.pixels = pixels.data();
        target.stride = 2 * 4;
        target.width = 2;
        target.height = 1;
        if (control) control->paintInto(target);
    }
    double scaleWidth() const override { return 2; }
    double scaleHeight() const override { return 1; }
    void setSize(double, double) override {}
    platform::WindowId parentWindow() const override { return 1; }
    platform::TimerService* timers() override { return &clock; }
};

}  // namespace

int main() {
    // A 2 x 1 GIF of two frames, red then blue (2-bit codes: clear, index, index, end).
    const std::vector<uint8_t> gif = {
        'G',  'I', 'F', '8', '9', 'a',  2, 0, 1, 0, 0x80, 0, 0,  // screen, 2-colour table
        0xFF, 0,   0,   0,   0,   0xFF,                          // red, blue
        0x2C, 0,   0,   0,   0,   2,    0, 1, 0, 0, 2,    2, 0x04, 0x0A, 0,  // frame 1: index 0
        0x2C, 0,   0,   0,   0,   2,    0, 1, 0, 0, 2,    2, 0x4C, 0x0A, 0,  // frame 2: index 1
        0x3B};
    Host host;
    anigif::AniGifControl control(host);
    host.control = &control;
    control.DelayAnimation(anigif::DelayOff);
    if (!control.loadGifBytes(gif) || control.FrameCount() != 2) {
        std::fprintf(stderr, "core_consumer: the GIF did not load\n");
        return 1;
    }
    control.Action(anigif::ActionPause);
    control.Action(anigif::ActionStep);     // frame 2, painted at once
    const uint32_t pixel = host.pixels[0];  // 0xAARRGGBB
    std::printf("core_consumer: frame %d, pixel %08x\n", control.CurrentFrame(),
                static_cast<unsigned>(pixel));
    return control.CurrentFrame() == 2 && pixel == 0xFF0000FFu ? 0 : 1;
}
