// The control's public properties that are not the clock's, its mouse events and the help
// strings its hosts show.
#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <utility>

#include "gifcontrol/render/uc_ani_gif.h"
#include "platform/ascii_case.h"
#include "platform/runtime_error.h"

namespace anigif {
namespace {

// A length in the container's units, rounded down, as a 32-bit value.
int32_t floorToInt32(double units) {
    const double v = std::floor(units);
    if (!std::isfinite(v) || v < std::numeric_limits<int32_t>::min() ||
        v > std::numeric_limits<int32_t>::max())
        platform::raiseOverflow();
    return static_cast<int32_t>(v);
}

constexpr std::array<std::pair<std::string_view, std::string_view>, 34> kHelpStrings{{
    {"AnimatedGIF", "Returns/sets a graphic to be displayed in a control"},
    {"CurrentFrame", "Returns the current frame"},
    {"Enabled",
     "Returns/sets a value that determines whether an object can respond to user-generated "
     "events"},
    {"FrameCount", "Returns the number of frames within the GIF"},
    {"ActualWidth", "Original width of the overall GIF image"},
    {"ActualHeight", "Original height of the overall GIF image"},
    {"Stretch",
     "Returns/sets a value that determines whether a graphic resizes to fit the size of an "
     "Image control"},
    {"MinFrameDelay",
     "The minimum number of milliseconds a frame will remain before it is replaced."},
    {"Loops",
     "The number of loops that will occur before animation stops. Zero will loop infintely"},
    {"LoopsRemaining", "Returns remaining number of loops before animation terminates"},
    {"Mirrored", "Mirrors images either horizontally or vertically"},
    {"Action", "Start, Stop and Pause animation"},
    {"DelayAnimation",
     "During runtime, animation is paused until the first frame is loaded and displayed"},
    {"MouseIcon", "Sets a custom mouse icon"},
    {"MousePointer",
     "Returns/sets the type of mouse pointer displayed when over part of an object"},
    {"OffsetX", "Adjusts left edge of rendered frame by n pixels"},
    {"OffsetY", "Adjusts top edge of rendered frame by n pixels"},
    {"Refresh", "Forces a complete repaint of a object"},
    {"SolidBkgColor", "Transparent GIFs will be rendered over this background color"},
    {"SolidBkgColorUsed", "Use the SolidBkgColor property otherwise ignore it"},
    {"SteppedDelay",
     "Forces all frames to be rendered by the value provided. Zero erases SteppedDelay"},
    {"LoadAnimatedGIF_File", "Optional method to assign a GIF"},
    {"GetPalette", "Returns palette entries for a selected frame"},
    {"SetPalette", "Sets palette entries for a selected frame"},
    {"CacheColorTables",
     "Have control save GIF color tables in preparation of callig SetPalette and later "
     "restoring original palette"},
    {"RestoreColorTables", "Restores GIF color tables to those cached from CacheColorTables"},
    {"Click", "Occurs when the user presses and then releases a mouse button over an object"},
    {"MouseDown", "Occurs when the user presses the mouse button while an object has the focus"},
    {"MouseUp", "Occurs when the user releases the mouse button while an object has the focus"},
    {"MouseMove", "Occurs when the user moves the mouse"},
    {"LoopsEnded", "Event that occurs when all loops for the GIF have terminated"},
    {"FrameChanged", "Event that occurs when any frame is rendered manually or via a timer"},
    {"RemoteLoadComplete", "Event that occurs when a remotely loaded GIF has been validated"},
    {"RemoteLoadFailure", "Event that occurs when a remotely loaded GIF failed to be read"},
}};

}  // namespace

std::string_view ucAniGIF::helpString(std::string_view memberName) noexcept {
    for (const auto& [name, help] : kHelpStrings)
        if (platform::equalsIgnoringAsciiCase(name, memberName)) return help;
    return {};
}

bool ucAniGIF::Enabled() const {
    return host_->enabled();
}

void ucAniGIF::Enabled(bool Enable) {
    host_->setEnabled(Enable);
    host_->propertyChanged("Enabled");
}

int32_t ucAniGIF::ActualWidth() const {
    return floorToInt32(host_->scaleX(screenWidth));
}

int32_t ucAniGIF::ActualHeight() const {
    return floorToInt32(host_->scaleY(screenHeight));
}

void ucAniGIF::Stretch(int32_t newScale) {
    if (newScale < StretchNone || newScale > StretchAutoSize || newScale == stretchMode) return;
    // A load whose deferred frames are still waiting finishes first, so that the state to return
    // to is the loaded one (a held load is stopped, not playing); the rewind of a stopped control
    // below then raises the one FrameChanged(1, False).
    if (host_->userMode()) finishDeferredDecode(false);
    const int32_t previous = animState;
    stretchMode = newScale;
    Action(ActionPause);
    UserControl_Resize();
    // Back to the state before: a stopped control is rewound to frame 1 on the way.
    Action(previous);
    if (previous != ActionPlay) host_->refresh();
    host_->propertyChanged("Stretch");
}

void ucAniGIF::Mirrored(int32_t MirrorStyle) {
    if (MirrorStyle < MirrorNone || MirrorStyle > MirrorBoth) return;
    if (currentFrame == 0) {
        mirrorStyle = MirrorStyle;
        host_->propertyChanged("Mirrored");
        return;
    }
    if (MirrorStyle == mirrorStyle) return;
    // As for Stretch: a held load must not start playing because it was mirrored meanwhile.
    if (host_->userMode()) finishDeferredDecode(true);
    const int32_t previous = animState;
    Action(ActionPause);
    const bool run = host_->userMode();
    MirrorFrames(MirrorStyle, !run, run);
    mirrorStyle = MirrorStyle;
    if (previous == ActionPlay) {
        Action(ActionPlay);
    } else {
        host_->refresh();
    }
    host_->propertyChanged("Mirrored");
}

platform::PicturePtr ucAniGIF::MouseIcon() const noexcept {
    try {
        return host_->mouseIcon();
    } catch (...) {
        return nullptr;
    }
}

void ucAniGIF::MouseIcon(platform::PicturePtr MousePic) noexcept {
    const bool none = MousePic == nullptr;
    try {
        host_->setMouseIcon(std::move(MousePic));
    } catch (...) {
    }
    if (none) {
        try {
            host_->setMousePointer(0);
        } catch (...) {
        }
    }
    try {
        host_->propertyChanged("MouseIcon");
    } catch (...) {
    }
}

int32_t ucAniGIF::MousePointer() const noexcept {
    try {
        return host_->mousePointer();
    } catch (...) {
        return 0;
    }
}

void ucAniGIF::MousePointer(int32_t Pointer) noexcept {
    if (Pointer < std::numeric_limits<int16_t>::min() ||
        Pointer > std::numeric_limits<int16_t>::max())
        return;
    try {
        host_->setMousePointer(static_cast<int16_t>(Pointer));
    } catch (...) {
    }
}

void ucAniGIF::OffsetX(int32_t NewOffset) {
    offsetX = NewOffset;
    if (!(host_->userMode() && animState == ActionPlay)) host_->refresh();
}

void ucAniGIF::OffsetY(int32_t NewOffset) {
    offsetY = NewOffset;
    if (!(host_->userMode() && animState == ActionPlay)) host_->refresh();
}

void ucAniGIF::SolidBkgColor(int32_t Color) {
    bkgColor = Color;
    if (!host_->userMode() && bkgColorUsed) host_->refresh();
}

void ucAniGIF::SolidBkgColorUsed(bool IgnoreTransparency) {
    bkgColorUsed = IgnoreTransparency;
    if (!host_->userMode()) host_->refresh();
}

void ucAniGIF::Refresh() {
    host_->refresh();
}

void ucAniGIF::UserControl_Click() {
    host_->raiseEvent(EventClick, "Click", {});
}

void ucAniGIF::UserControl_MouseDown(int16_t Button, int16_t Shift, float X, float Y) {
    raiseMouseEvent(EventMouseDown, "MouseDown", Button, Shift, X, Y);
}

void ucAniGIF::UserControl_MouseUp(int16_t Button, int16_t Shift, float X, float Y) {
    raiseMouseEvent(EventMouseUp, "MouseUp", Button, Shift, X, Y);
}

void ucAniGIF::UserControl_MouseMove(int16_t Button, int16_t Shift, float X, float Y) {
    raiseMouseEvent(EventMouseMove, "MouseMove", Button, Shift, X, Y);
}

void ucAniGIF::raiseMouseEvent(int32_t number, std::string_view name, int16_t Button, int16_t Shift,
                               float X, float Y) {
    platform::EventArg args[] = {{"Button", Button},
                                 {"Shift", Shift},
                                 {"X", static_cast<float>(std::floor(host_->scaleX(X)))},
                                 {"Y", static_cast<float>(std::floor(host_->scaleY(Y)))}};
    host_->raiseEvent(number, name, args);
}

}  // namespace anigif
