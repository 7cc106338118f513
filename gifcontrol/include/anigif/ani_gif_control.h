#pragma once
// anigif::AniGifControl: the animated-GIF control without Qt, for a host of your own.
//
// The control parses a GIF, decodes every frame once, composes the frames with their disposal
// methods and plays them on the host's timers; the host paints it with paintInto, into pixels
// the host owns. What the control asks of its host (run mode, inner size, repaints, events,
// timers, downloads) is platform::ControlHost (anigif/control_host.h); for a host that steps
// time by hand, platform::ManualClock (anigif/manual_clock.h) is a ready timer service.
//
// Members keep the names, types and rules of the control's public surface: PascalCase
// properties (a getter and a setter of the same name), methods and numbered events, raised
// through ControlHost::raiseEvent. Setters of enumerated properties ignore values out of range,
// numeric setters clamp; loaders never throw and report failure as false or a frame count of 0.
// Other errors inside a member (a value that overflows its field, a bad table index) reach its
// caller as platform::RuntimeError, a std::runtime_error with a number (6 overflow, 9
// subscript). Booleans are bool; colours of SolidBkgColor are 0x00BBGGRR (a negative value is a
// system colour: top bit set, number in the low byte); palette colours are 0x00RRGGBB.
//
// Everything runs on the thread the host's events arrive on; the host must outlive the control.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "anigif/control_host.h"

namespace anigif {

class ucAniGIF;
struct ControlAccess;

enum AnimationAction : int32_t {
    ActionStop = 0,  // stop and rewind to frame 1
    ActionPlay = 1,
    ActionPause = 2,
    ActionStep = 3,     // one frame on (pauses a playing control)
    ActionRestart = 4,  // from frame 1 with the loop count afresh
};

enum DelayAnimationMode : int32_t {
    DelayOff = 0,             // decode every frame during the load, then play
    DelayFirstFrame = 1,      // show frame 1, decode the rest a moment later, then play
    DelayHold = 2,            // as DelayOff, but do not start playing
    DelayHoldFirstFrame = 3,  // as DelayFirstFrame, but do not start playing
};

enum StretchMode : int32_t {
    StretchNone = 0,      // unscaled; a larger control shrinks to the picture
    StretchFit = 1,       // scaled to fit, aspect kept; the control takes the scaled size
    StretchFill = 2,      // scaled to the control's size in each direction
    StretchShrink = 3,    // as StretchFit, but never enlarged
    StretchAutoSize = 4,  // unscaled; the control takes the picture's size
};

enum MirrorMode : int32_t {
    MirrorNone = 0,
    MirrorHorizontal = 1,
    MirrorVertical = 2,
    MirrorBoth = 3,
};

// Event numbers, as ControlHost::raiseEvent receives them. Arguments: Click none; MouseDown,
// MouseUp, MouseMove Button (int16: 1 left, 2 right, 4 middle), Shift (int16: 1 Shift, 2 Ctrl,
// 4 Alt), X, Y (float, container units, rounded down); LoopsEnded none; FrameChanged
// FrameIndex (int32, the frame on screen before the change), viaTimer (bool);
// RemoteLoadComplete gifWidth, gifHeight (float), Cancel (bool, by reference: set it to true to
// refuse the download); RemoteLoadFailure none.
enum ControlEvent : int32_t {
    EventClick = 1,
    EventMouseDown = 2,
    EventMouseUp = 3,
    EventMouseMove = 4,
    EventLoopsEnded = 5,
    EventFrameChanged = 6,
    EventRemoteLoadComplete = 7,
    EventRemoteLoadFailure = 8,
};

// A rectangle of pixels: position and size.
struct PixelRect {
    int32_t x = 0, y = 0, width = 0, height = 0;
};

// Pixels a host owns and paintInto draws on: 32-bit words 0xAARRGGBB in the machine's byte order
// with colours premultiplied by alpha (the layout of QImage::Format_ARGB32_Premultiplied), lines
// `stride` bytes apart, top line first.
//
// The control's area is its inner size at `deviceScale` device pixels per pixel, rounded to
// whole pixels (halves away from zero); its top-left corner lies at (originX, originY) of the
// buffer. Only buffer pixels inside the control's area, the buffer and `clip` change; an empty
// clip stands for the whole buffer.
struct PaintTarget {
    uint32_t* pixels = nullptr;
    std::ptrdiff_t stride = 0;  // bytes; at least width * 4 in absolute value
    int32_t width = 0, height = 0;
    double deviceScale = 1.0;
    int32_t originX = 0, originY = 0;
    PixelRect clip;
};

// An array of 32-bit colours with its own lower bound: element lowerBound + i is values[i]. An
// array that was never dimensioned has dimensioned false.
struct PaletteArray {
    bool dimensioned = false;
    int32_t lowerBound = 0;
    std::vector<int32_t> values;

    // Element `index`; the subscript error outside lowerBound .. lowerBound + size - 1.
    int32_t& operator()(int32_t index);
    int32_t operator()(int32_t index) const;
    // Makes the array first .. last, all 0 (an empty array when last < first).
    void redim(int32_t first, int32_t last);
};

class AniGifControl {
  public:
    // Creation: the starting values of every property; the host's line style becomes dotted and
    // its fore colour the window-frame system colour (the design-time outline).
    explicit AniGifControl(platform::ControlHost& host);
    // Termination: stops the timers and releases everything loaded.
    ~AniGifControl();
    AniGifControl(const AniGifControl&) = delete;
    AniGifControl& operator=(const AniGifControl&) = delete;

    // ---- Loading ---------------------------------------------------------------------------
    // True when a GIF was loaded; otherwise the control is empty. In run mode a load starts
    // playing (unless DelayAnimation holds it) and, with StretchFit, StretchShrink or
    // StretchAutoSize, resizes the control to the picture.
    bool LoadAnimatedGIF_File(std::string_view FileName) noexcept;  // UTF-8 path
    bool loadGifBytes(std::span<const uint8_t> bytes) noexcept;     // the bytes of a GIF file
    // Asks the host to read RemotePath (ControlHost::asyncRead); the outcome arrives as
    // RemoteLoadComplete (then the load) or RemoteLoadFailure. The GIF on show keeps playing
    // until a download is accepted.
    void LoadAnimatedGIF_Remote(std::string_view RemotePath);
    // The current frame encoded as a single-image GIF89a file; empty while nothing is loaded.
    std::vector<uint8_t> AnimatedGIF() const;
    // At design time (host run mode false) the bytes of a GIF file become the stored GIF and are
    // shown at their own size; ignored in run mode. Bytes that hold no picture release it.
    void AnimatedGIF(std::span<const uint8_t> aGif);

    // ---- Properties ------------------------------------------------------------------------
    int32_t CurrentFrame() const noexcept;  // 1-based; 0 while nothing is loaded
    int32_t FrameCount() const noexcept;    // 0 while nothing is loaded
    bool Enabled() const;                   // the host's enabled state
    void Enabled(bool Enable);
    int32_t ActualWidth() const;  // the GIF's overall size in the container's units
    int32_t ActualHeight() const;
    int32_t Stretch() const noexcept;
    void Stretch(int32_t newScale);  // StretchMode; pauses, resizes and returns to its state
    int32_t MinFrameDelay() const noexcept;
    void MinFrameDelay(int32_t Delay);  // milliseconds, clamped to 10..32700
    int32_t Loops() const noexcept;     // 0 = for ever
    void Loops(int32_t Count);          // stores |Count|; takes effect at the next stop or load
    int32_t LoopsRemaining() const noexcept;  // 2147483647 while looping for ever
    int32_t Mirrored() const noexcept;
    void Mirrored(int32_t MirrorStyle);  // MirrorMode; mirrors the frames in place
    int32_t Action() const noexcept;     // ActionStop, ActionPlay or ActionPause
    void Action(int32_t Act);            // any AnimationAction; ignored at design time
    // Pauses on frame FrameIndex (clamped to 1..FrameCount), repaints and raises
    // FrameChanged(FrameIndex, False) as ActionStep does; earlier frames too, composed from a
    // composite kept every few frames. Ignored while nothing is loaded and at design time.
    void ShowFrame(int32_t FrameIndex);
    int32_t DelayAnimation() const noexcept;
    void DelayAnimation(int32_t Mode);  // DelayAnimationMode; takes effect at the next load
    platform::PicturePtr MouseIcon() const noexcept;
    void MouseIcon(platform::PicturePtr MousePic) noexcept;  // none also resets MousePointer
    int32_t MousePointer() const noexcept;
    void MousePointer(int32_t Pointer) noexcept;
    int32_t OffsetX() const noexcept;  // pixels added to the picture's position
    void OffsetX(int32_t NewOffset);
    int32_t OffsetY() const noexcept;
    void OffsetY(int32_t NewOffset);
    int32_t SolidBkgColor() const noexcept;  // drawn under transparent pixels when used
    void SolidBkgColor(int32_t Color);
    bool SolidBkgColorUsed() const noexcept;
    void SolidBkgColorUsed(bool IgnoreTransparency);
    int32_t SteppedDelay() const noexcept;  // milliseconds every frame stays; 0 = off
    void SteppedDelay(int32_t newDelay);
    // Repaints at once (ControlHost::refresh).
    void Refresh();
    // The help string of a public member (names compare without case); empty when unknown.
    static std::string_view helpString(std::string_view memberName) noexcept;

    // ---- Palettes (0x00RRGGBB) -------------------------------------------------------------
    // FrameIndex 0 is the global colour table, k >= 1 frame k's own table.
    bool GetPalette(int32_t FrameIndex, PaletteArray& paletteEntries) noexcept;
    bool SetPalette(int32_t FrameIndex, const PaletteArray& paletteEntries) noexcept;
    bool CacheColorTables();
    bool RestoreColorTables(bool bReleaseCache);
    bool ColorTablesCached() const noexcept;

    // ---- Stored description ----------------------------------------------------------------
    // The stored GIF and settings as a property-bag file (format documented with the package).
    std::vector<uint8_t> WriteProperties() const;
    // Applies a stored description, right after creation, and loads its GIF. A damaged file or a
    // value that does not fit its property raises a std::runtime_error; a GIF that does not load
    // leaves the control empty.
    void ReadProperties(std::span<const uint8_t> storedDescription);

    // ---- The host's events -----------------------------------------------------------------
    // The paint event into the host's pixels: the current frame with its transparency (the
    // buffer's pixels show through it, blended at the edges of a stretched picture) and the
    // solid background when used; at design time also the dotted outline. One pass over the
    // part asked for. False when nothing was drawn (nothing loaded, or no usable target).
    bool paintInto(const PaintTarget& target);
    // Call after the host's inner size changed (it may set a new size through the host).
    void UserControl_Resize();
    void UserControl_Show();
    void UserControl_Hide();
    // Mouse events, x and y in control pixels.
    void UserControl_Click();
    void UserControl_MouseDown(int16_t Button, int16_t Shift, float X, float Y);
    void UserControl_MouseUp(int16_t Button, int16_t Shift, float X, float Y);
    void UserControl_MouseMove(int16_t Button, int16_t Shift, float X, float Y);
    // An asynchronous read the control started: its data, or a progress status (0 = failed).
    // A `keeper` that holds Value readable and unchanged lets the control keep the data where
    // it lies instead of copying it.
    void UserControl_AsyncReadComplete(std::string_view PropertyName,
                                       std::span<const uint8_t> Value, int64_t BytesRead,
                                       std::shared_ptr<const void> keeper = {});
    void UserControl_AsyncReadProgress(std::string_view PropertyName, int32_t StatusCode,
                                       int64_t BytesRead);

    // ---- Running -----------------------------------------------------------------------------
    // Caps the threads that decode frames and average large stretched paints: 0 = the
    // ANIGIF_THREADS environment variable or every core, 1 = the calling thread only.
    // Results never depend on it.
    void SetThreadLimit(int32_t threads) noexcept;
    // The most the control holds at once (the GIF, its decoded frames, what paints keep and the
    // host's paint buffers): a load that needs more fails before allocating (a download raises
    // RemoteLoadFailure). 0 = the default: 2 GiB or a quarter of physical memory, lowered by
    // the ANIGIF_MEMORY_BUDGET environment variable; a larger value is cut to the default.
    void setMemoryBudget(std::size_t bytes) noexcept;
    std::size_t memoryBudget() const noexcept;
    // The bytes the control holds now, by the same accounting.
    std::size_t heldBytes() const noexcept;
    // The budget left for the host's paint buffers.
    std::size_t paintRoomBytes() const noexcept;
    // Milliseconds a download may take from start to end before it fails with RemoteLoadFailure
    // (default 120000; 0 = no limit, negative values count as 0).
    void setRemoteDeadline(int64_t milliseconds) noexcept;
    int64_t remoteDeadline() const noexcept;
    // Shows the timer binding's error messages (text, title); unset: standard error.
    void setErrorReporter(std::function<void(std::string_view text, std::string_view title)> f);

  private:
    friend struct ControlAccess;
    std::unique_ptr<ucAniGIF> d_;
};

}  // namespace anigif
