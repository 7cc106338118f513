// Renders frame 2 of a GIF without Qt: the control on the headless host, its timers on a manual
// clock. Exit 0 when the painted pixel has frame 2's colour.
#include <anigif/gifcontrol/render/uc_ani_gif.h>
#include <anigif/platform/headless_host.h>
#include <anigif/platform/manual_clock.h>
#include <anigif/platform/surface.h>

#include <cstdint>
#include <cstdio>
#include <vector>

int main() {
    // A 2 x 1 GIF of two frames, red then blue (2-bit codes: clear, index, index, end).
    const std::vector<uint8_t> gif = {
        'G',  'I', 'F', '8', '9', 'a',  2, 0, 1, 0, 0x80, 0, 0,  // screen, 2-colour table
        0xFF, 0,   0,   0,   0,   0xFF,                          // red, blue
        0x2C, 0,   0,   0,   0,   2,    0, 1, 0, 0, 2,    2, 0x04, 0x0A, 0,  // frame 1: index 0
        0x2C, 0,   0,   0,   0,   2,    0, 1, 0, 0, 2,    2, 0x4C, 0x0A, 0,  // frame 2: index 1
        0x3B};
    platform::ManualClock clock;
    platform::HeadlessHost host;
    host.setTimerService(&clock);
    host.setInnerSize(2, 1);
    anigif::ucAniGIF control(host);
    host.onPaint = [&] { control.UserControl_Paint(); };
    control.delayMode = anigif::DelayOff;
    if (!control.loadGifBytes(gif) || control.FrameCount() != 2) {
        std::fprintf(stderr, "core_consumer: the GIF did not load\n");
        return 1;
    }
    control.Action(anigif::ActionPause);
    control.Action(anigif::ActionStep);
    control.Refresh();
    const platform::Surface* s = host.surface();
    if (control.CurrentFrame() != 2 || !s) {
        std::fprintf(stderr, "core_consumer: frame 2 was not painted\n");
        return 1;
    }
    const uint8_t* p = s->line(0);  // blue, green, red
    std::printf("core_consumer: frame %d, pixel %02x%02x%02x\n", control.CurrentFrame(), p[2], p[1],
                p[0]);
    return p[0] == 0xFF && p[1] == 0 && p[2] == 0 ? 0 : 1;
}
