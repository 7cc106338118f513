#include "tests/support/control_fixture.h"

#include <variant>

namespace giftest {

ControlFixture::ControlFixture() {
    host.setTimerService(&clock);
    gif = std::make_unique<anigif::ucAniGIF>(host);
    gif->delayMode = anigif::DelayOff;
    host.onPaint = [this] {
        gif->UserControl_Paint();
        painted.push_back(gif->currentFrame);
    };
    host.onResize = [this] { gif->UserControl_Resize(); };
}

void ControlFixture::loadBytes(const Bytes& bytes) {
    ASSERT_TRUE(gif->loadGifBytes(bytes));
    clearRecords();
}

void ControlFixture::clearRecords() {
    host.clearRecords();
    painted.clear();
}

std::vector<std::string> ControlFixture::events() const {
    std::vector<std::string> out;
    for (const auto& e : host.events()) {
        std::string s = e.name;
        if (e.name == "FrameChanged")
            s += "(" + std::to_string(std::get<int32_t>(e.args[0].second)) + "," +
                 (std::get<bool>(e.args[1].second) ? "T" : "F") + ")";
        out.push_back(s);
    }
    return out;
}

}  // namespace giftest
