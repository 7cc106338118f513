#pragma once
// ucAniGIF: the animated-GIF control inside the library. It parses a GIF held in GifBytes,
// decodes every frame into one 8-bit frame strip, composes frames with their disposal methods
// into a 24-bit composite and a 1-bit coverage mask, draws them on its host and plays them on
// the host's timers. Programs outside the library reach it through AniGifControl
// (anigif/ani_gif_control.h), which carries its public surface without its state; this header
// is not installed.
//
// The member definitions are split by subsystem:
//   decode/parse_gif.cpp          ParseGif and its byte readers
//   decode/build_frames.cpp       BuildFrames, CreateCompositeSurfaces, decoding ahead
//   decode/loading_sources.cpp    the LoadAnimatedGIF_ loaders, downloads, AnimatedGIF set
//   render/uc_ani_gif.cpp         creation, termination, LoadAndStart, ResetDecoder
//   render/compose_frame.cpp      ComposeFrame
//   render/paint_frame.cpp        PaintFrame, BlitFrame, paintInto, the paint and resize events
//   render/compute_scale.cpp      ComputeScale
//   render/mirror_frames.cpp      MirrorFrames
//   render/animation_clock.cpp    the timers, Action and the clock's properties
//   render/public_surface.cpp     the other properties, mouse events, help strings
//   persist/build_frame_gif.cpp   BuildFrameGif, AnimatedGIF get
//   persist/palette_access.cpp    GetPalette, SetPalette and the colour-table cache
//   persist/stored_properties.cpp ReadProperties, WriteProperties
// The other source files hold no members of this class: render/ani_gif_control.cpp is the
// installed face; draw_kernels, scaled_kernels, kept_frames, scaled_rows, work_threads and
// timer_binding in render/, bytes_to_picture in decode/ and gif_writer in persist/ are helpers
// with headers of their own. docs/architecture.md says how the folders depend on each other.
//
// Everything runs on the host's user-interface thread. Errors: members that the control lets
// fail silently report failure by their result (a frame count of 0, false);
// overflow and subscript errors are platform::RuntimeError.
//
// State is kept in plain public fields named as the control's design names them: the decoded
// GIF (tables, surfaces) is read freely by the library's renderers, writers, tools and tests, but
// written only by the control's own members; everything else goes through the members.
#include <array>
#include <cstdint>
#include <limits>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "anigif/ani_gif_control.h"
#include "anigif/control_host.h"
#include "gifcontrol/decode/gif_tables.h"
#include "gifcontrol/render/draw_kernels.h"
#include "gifcontrol/render/timer_binding.h"
#include "platform/gif_decoder.h"
#include "platform/property_bag.h"
#include "platform/surface.h"

namespace anigif {

class Picture;              // gifcontrol/decode/bytes_to_picture.h
class GifArray;             // gifcontrol/decode/gif_array.h
struct FramesDecodedAhead;  // gifcontrol/decode/build_frames.cpp

// Mark in mirrorStyle: frame 1 was already mirrored during a deferred load.
constexpr int32_t kMirrorFirstFrameDone = 0x20;

class ucAniGIF {
  public:
    // Creation (UserControl_Initialize): starting values of every field; the host's line style
    // becomes dotted and its foreground colour the window-frame system colour. The host must
    // outlive the control.
    explicit ucAniGIF(platform::ControlHost& host);
    // Termination (UserControl_Terminate): ResetDecoder, then the timer binding is released.
    ~ucAniGIF();
    ucAniGIF(const ucAniGIF&) = delete;
    ucAniGIF& operator=(const ucAniGIF&) = delete;

    platform::ControlHost& host() noexcept { return *host_; }

    // ---- Loading -------------------------------------------------------------------------

    // Takes `bytes` as GifBytes and runs LoadAndStart; nothing refers to them once it returns.
    // True when a GIF was loaded (frame count above 0). Never throws; on failure the control is
    // empty.
    bool loadGifBytes(std::span<const uint8_t> bytes) noexcept;

    // The load sequence every source ends in: ResetDecoder, clear the image-wide values,
    // ParseGif, BuildFrames(true). Returns the frame count, 0 when the load failed (GifBytes is
    // then released and the control reset). Never throws.
    int32_t LoadAndStart() noexcept;

    // Stops the animation timer and releases everything a loaded GIF owns (frame table,
    // surfaces, colour tables, mask palette, block table); GifBytes is kept. Never throws.
    void ResetDecoder() noexcept;

    // ---- Memory budget (render/memory_use.cpp) ----------------------------------------------

    // The most the control holds at once: GifBytes, the strip, composite and mask, frames decoded
    // ahead, kept scaled frames and the host's paint buffers (paintRoomBytes). A load whose
    // needs pass it fails before anything is allocated, like any other failed load. 0 (the
    // start) stands for platform::memoryBudgetBytes(); a budget above that is cut to it.
    std::size_t MemoryBudget() const noexcept;
    // Takes effect at the next load; kept scaled frames are held to it at once.
    void MemoryBudget(std::size_t bytes) noexcept;
    // What the control holds now, by the same accounting.
    std::size_t heldBytes() const noexcept;
    // What building the parsed GIF (Frames, screenWidth, screenHeight) takes at most, GifBytes
    // included, in the host's current run mode and DelayAnimation.
    std::size_t loadNeedBytes() const noexcept;
    // The budget left for a host's paint buffers once everything else held is counted.
    std::size_t paintRoomBytes() const noexcept;
    // Bytes of frames decoded ahead and waiting for the remaining-frames pass.
    std::size_t decodedAheadBytes() const noexcept;
    std::size_t memoryBudget = 0;

  private:
    // What the kept scaled frames may hold: half of what the budget leaves, at most 64 MiB.
    std::size_t keptFramesRoom() const noexcept;

  public:
    // ---- Parsing (the decoder's steps, public for the library's tools and tests) ------------

    // Walks GifBytes and fills Frames, Blocks, ColorTables, TableCount, screenWidth,
    // screenHeight and loopSetting. Returns the frame count (at most 32767; later images are
    // ignored), 0 when GifBytes holds no usable GIF. Never throws; a cut stream yields the
    // frames completed before the cut. Expects the decoder state reset (ResetDecoder) first.
    int16_t ParseGif() noexcept;

    // Byte readers over GifBytes at ReadPos. ReadByte, ReadWord and ReadColorTable raise
    // RuntimeError 53 "End of File" (source "ReadGifFile") when the bytes run out.
    uint8_t ReadByte();
    int32_t ReadWord();  // little-endian, 0..65535
    void ReadBytes(int32_t n);
    void ReadColorTable(int32_t table, int32_t bits);
    void SkipSubBlocks() noexcept;

    // ---- Frame strip -----------------------------------------------------------------------

    // fullBuild true: the first pass (surfaces, frame 1, and depending on run mode and
    // delayMode the rest or the deferred-decode timer). It sets fullBuild to false when the
    // whole job is done. fullBuild false: the remaining-frames pass (frames 2..n). Returns
    // true when the pass completed; never throws.
    bool BuildFrames(bool& fullBuild) noexcept;

    // Caps the threads that decode frames and average large scaled paints: 0 = ANIGIF_THREADS or
    // every core, 1 = everything on the calling thread, as one core would. Results never depend
    // on it.
    void SetThreadLimit(int32_t threads) noexcept { threadLimit = threads < 0 ? 0 : threads; }
    int32_t threadLimit = 0;

    // Which LZW decoder turns frames into indices: Default = ANIGIF_DECODER (giflib selects
    // giflib's), else our own. For comparing the two and working around a fault; the results
    // are the same wherever a frame's data are sound.
    void SetFrameDecoder(platform::GifFrameDecoder decoder) noexcept { frameDecoder = decoder; }
    platform::GifFrameDecoder frameDecoder = platform::GifFrameDecoder::Default;

    // Creates the 24-bit composite surface (screenWidth x screenHeight) and, when withMask,
    // the 1-bit mask surface (colour 0 black, 1 white). True when all asked for exist.
    bool CreateCompositeSurfaces(bool withMask) noexcept;

    // ---- Compositing ---------------------------------------------------------------------

    // Prepare call (afterPresentation false): reset on frame 1, save what lies under a
    // disposal-3 frame, add the frame's coverage to the mask. Dispose call (true): disposal 2
    // clears the frame's rectangle, disposal 3 restores the saved bytes. The save buffers carry
    // the saved rows from the prepare call to the dispose call of the same paint. Requires the
    // composite surface; frameIndex must be 1..frame count (else the subscript error).
    void ComposeFrame(int32_t frameIndex, bool afterPresentation, std::vector<uint8_t>& maskSave,
                      std::vector<uint8_t>& compositeSave);

    // ---- Calls into rendering and the clock ------------------------------------------------

    // Scale factors and control size for stretchMode (no effect while currentFrame is 0).
    void ComputeScale(int32_t& width, int32_t& height, float& newScaleX, float& newScaleY);
    // Mirrors frames (and the composite) in place from mirrorStyle to newStyle.
    void MirrorFrames(int32_t newStyle, bool firstFrameOnly, bool includeComposite);
    // 0 stop, 1 start the animation timer, 2 start the deferred-decode timer.
    bool SetAnimationTimer(int32_t mode);

    // Raises FrameChanged(FrameIndex, viaTimer) on the host.
    void raiseFrameChanged(int32_t FrameIndex, bool viaTimer);

    // ---- Frame counters and the load mode -------------------------------------------------

    int32_t CurrentFrame() const noexcept { return currentFrame; }
    // Number of frames; 0 while nothing is loaded.
    int32_t FrameCount() const noexcept { return currentFrame == 0 ? 0 : Frames.upperBound(); }
    int32_t DelayAnimation() const noexcept { return delayMode; }
    // Values 0..3 only; a change is stored and notified as "DelayAnimation".
    void DelayAnimation(int32_t Mode);

    // ==== GIF writer (persist/build_frame_gif.cpp) ==========================================
    // Encodes frame FrameIndex (1-based) from the frame strip and its colour table as a
    // single-image GIF89a file (gifcontrol/persist/gif_writer.h) and decodes that with
    // BytesToPicture. No picture for a frame number out of range, a frame whose cell or colour
    // table is missing, or a failure; never throws. Reads the frame table, the colour tables
    // and the strip only: the decoder's working state is left alone, so a read between the two
    // build passes is safe. The written bytes are the picture's bytes().
    std::unique_ptr<Picture> BuildFrameGif(int32_t FrameIndex) const noexcept;
    // AnimatedGIF read: no picture while CurrentFrame is 0, else the current frame encoded
    // afresh by BuildFrameGif.
    std::unique_ptr<Picture> AnimatedGIF() const noexcept;

    // ---- State -----------------------------------------------------------------------------

    // Control fields.
    int32_t currentFrame = 0;  // frame on screen, 1-based; 0 = nothing loaded
    int32_t animState = ActionStop;
    int32_t loopSetting = 0;     // Loops; 0 = for ever
    int32_t loopsRemaining = 0;  // 32 bits wide, so loop counts up to 65535 play out
    int16_t minFrameDelay = 50;
    int32_t steppedDelay = 0;
    int32_t delayMode = DelayFirstFrame;
    int32_t stretchMode = StretchFit;
    int32_t mirrorStyle = MirrorNone;
    int32_t offsetX = 0, offsetY = 0;
    int32_t bkgColor = 0;
    bool bkgColorUsed = false;
    float scaleX = 0, scaleY = 0;
    int32_t screenWidth = 0, screenHeight = 0;

    // The GIF stream, byte 1 first; released after a completed build in run mode.
    OneBased<uint8_t> GifBytes;
    // Its largest length: positions are 32-bit, with headroom so that ReadPos arithmetic never
    // overflows.
    static constexpr int64_t kMaxStreamBytes = std::numeric_limits<int32_t>::max() - 1024;
    int32_t ReadPos = 0;
    std::vector<uint8_t> ScratchBytes;
    std::array<int32_t, 9> PowersOfTwo{};  // 2^k; all 0 while released
    // Fills PowersOfTwo, as every parse of a GIF needs it.
    void fillPowersOfTwo() noexcept {
        for (size_t k = 0; k < PowersOfTwo.size(); ++k) PowersOfTwo[k] = int32_t{1} << k;
    }

    // Frame table, 1..frame count, and the parallel image-block table (may hold more entries).
    OneBased<FrameInfo> Frames;
    OneBased<BlockSpan> Blocks;
    // Table 0 = global (all 0 when the stream has none), 1..TableCount = local tables.
    std::vector<ColorTable> ColorTables;
    // Number of local tables while parsing; after building, the loaded-table cache: the table
    // whose colours are loaded into the strip, -1 = none known.
    int32_t TableCount = 0;

    // Frame strip: 8 bits per pixel; frame k in columns StripX .. StripX + Width - 1, rows
    // 0 .. Height - 1 from the top; its colour table is the index-coding table until a
    // renderer loads real colours.
    std::unique_ptr<platform::Surface> Strip;
    // Composite (24 bits) and mask (1 bit, white = not yet covered), screenWidth x
    // screenHeight; only for multi-frame GIFs in run mode that need them.
    std::unique_ptr<platform::Surface> Composite;
    std::unique_ptr<platform::Surface> Mask;
    // 256 entries, all 0 except during a mask update; empty when not needed.
    std::vector<uint32_t> MaskPalette;

    // Index-coding table: entry i = (red 0, green 0, blue i), as surface colours and as GIF
    // colour triples. RebuildBuffer holds one frame rebuilt as a single-image GIF.
    std::array<uint32_t, 256> IndexCodingColors{};
    std::array<uint8_t, 768> IndexCodingTriples{};
    OneBased<uint8_t> RebuildBuffer;

  private:
    // The finishing steps after the last pass.
    void finishBuild();
    // Makes GifBytes a copy of `bytes` (which may be GifBytes itself); throws when it cannot.
    void holdGifBytes(std::span<const uint8_t> bytes);
    // True when `bytes` start inside what GifBytes holds.
    bool inGifBytes(std::span<const uint8_t> bytes) const noexcept;
    // Takes `bytes` as GifBytes and runs LoadAndStart. Bytes held by a `keeper` are kept where
    // they lie, with the keeper. Otherwise a GIF built whole within this call (run mode, no
    // deferred frames) is read where it lies rather than copied first, and let go before the
    // call returns. Throws, with nothing changed, only when a copy cannot be made.
    int32_t loadAndStartFrom(std::span<const uint8_t> bytes,
                             std::shared_ptr<const void> keeper = {});

    // Frames after the first, decoded on idle threads while the first pass decoded frame 1 and
    // kept for the remaining-frames pass (decode/build_frames.cpp); null otherwise.
    std::shared_ptr<FramesDecodedAhead> decodedAhead_;

    platform::ControlHost* host_;

    // ==== Animation clock (render/animation_clock.cpp) ==========================================
    // SetAnimationTimer (declared above) and the members below play the frames on the host's
    // timer service: one one-shot timer per instance, keyed by (timerWindow, timer identifier).
  public:
    // The animation timer's procedure: advances currentFrame (wrapping to 1), counts a completed
    // pass against loopSetting, repaints, raises FrameChanged(previous frame, True), then
    // re-arms with the new frame's interval or, when the loops ran out, raises LoopsEnded. An
    // event handler that stops, pauses, restarts or reloads the control keeps its say: the tick
    // then leaves the timer alone. A refused re-arm stops the animation (animState 0).
    int32_t AnimationTick(platform::WindowId window, uint32_t message, platform::TimerId timerId,
                          uint32_t time) noexcept;
    // The deferred-decode timer's procedure: stops the timer and runs the remaining-frames pass,
    // which finishes the load (and starts playing unless DelayAnimation holds it).
    int32_t DeferredDecodeTick(platform::WindowId window, uint32_t message,
                               platform::TimerId timerId, uint32_t time) noexcept;

    // Action get: animState (0 stopped, 1 playing or decoding deferred frames, 2 paused).
    int32_t Action() const noexcept { return animState; }
    // Action let: ActionStop, ActionPlay, ActionPause, ActionStep, ActionRestart. Ignored while
    // nothing is loaded, outside run mode and for other values. A command given while the
    // deferred frames are still waiting to be decoded first decodes them (finishing the load),
    // so that no frame is left blank.
    void Action(int32_t Act);
    // Pauses on frame FrameIndex (clamped to 1..frame count), repaints and raises
    // FrameChanged(FrameIndex, False), as ActionStep does; backward and forward jumps alike. The
    // paint brings the composite there from the nearest kept composite. Ignored while nothing is
    // loaded and outside run mode.
    void ShowFrame(int32_t FrameIndex);
    // Host visibility: hiding pauses; showing resumes a paused control. Hiding a held load
    // (DelayHold, DelayHoldFirstFrame) while its remaining frames wait for the deferred-decode
    // timer leaves them to it.
    void UserControl_Hide();
    void UserControl_Show();

    // Clock properties.
    int32_t MinFrameDelay() const noexcept { return minFrameDelay; }
    // Clamped to 10..32700; a change is stored and notified as "Delay".
    void MinFrameDelay(int32_t Delay);
    int32_t SteppedDelay() const noexcept { return steppedDelay; }
    // Positive values are stored, anything else turns stepping off (0).
    void SteppedDelay(int32_t newDelay);
    int32_t Loops() const noexcept { return loopSetting; }
    // A value other than loopSetting stores its absolute value and notifies "Loops";
    // loopsRemaining changes only at the next ActionStop, ActionRestart or load. The overflow
    // error for -2147483648, which has no positive counterpart.
    void Loops(int32_t Count);
    // 0 while nothing is loaded, 2147483647 when looping for ever, else loopsRemaining.
    int32_t LoopsRemaining() const noexcept;

    // How long the current frame stays: steppedDelay when set, else the frame's delay raised to
    // minFrameDelay.
    uint32_t FrameInterval() const;
    // The identifier of this instance's timers.
    platform::TimerId timerId() const noexcept { return reinterpret_cast<platform::TimerId>(this); }

    platform::WindowId timerWindow = 0;              // window the timer is attached to
    platform::TimerService::Callback timerCallback;  // bound entry; empty when not bound
    // Shows the binding's error messages (text, title); empty = standard error. A windowed host
    // sets a message box here.
    ErrorReporter timerErrorReporter;

    // Frees the timer binding: entries handed out before never reach this instance again.
    void ReleaseTimerCallback() noexcept;

  private:
    enum class PendingTimer { None, Animation, DeferredDecode };

    // ActionStop: stop, reload the loop counter, rewind to frame 1, repaint, FrameChanged(1).
    void stopAndRewind();
    // Runs the deferred remaining-frames pass now if its timer is still pending. announceHold
    // false keeps a held load from raising its FrameChanged(1, False).
    void finishDeferredDecode(bool announceHold);
    void raiseLoopsEnded();

    PendingTimer pendingTimer_ = PendingTimer::None;
    // Whether finishing a held load raises FrameChanged(1, False) (see finishDeferredDecode).
    bool announceHold_ = true;
    // Changes whenever the timer is stopped or started, so that a tick can tell whether its
    // event handlers took over the clock.
    uint64_t timerGeneration_ = 0;
    // Procedures in declaration order: callback 1 is the last (AnimationTick).
    TimerBinding timerBinding_{
        "ucAniGIF",
        timerId(),
        {[this](platform::WindowId w, uint32_t m, platform::TimerId id, uint32_t t) {
             return DeferredDecodeTick(w, m, id, t);
         },
         [this](platform::WindowId w, uint32_t m, platform::TimerId id, uint32_t t) {
             return AnimationTick(w, m, id, t);
         }},
        [this](std::string_view text, std::string_view title) { reportTimerError(text, title); }};
    void reportTimerError(std::string_view text, std::string_view title) const;

    // ==== Rendering (render/paint_frame.cpp, render/compute_scale.cpp, render/mirror_frames.cpp)
    // ComputeScale and MirrorFrames are declared above. Targets are canvases (draw_kernels.h): a
    // 24-bit surface of the control's own, or the premultiplied pixels of a host; drawing without
    // scaling is exact, scaled drawing averages areas and blends transparent edges with what lies
    // beneath.
  public:
    // A drawing rectangle: position and size.
    struct DrawRect {
        int32_t x = 0, y = 0, w = 0, h = 0;
    };

    // Draws frame frameIndex onto target: straight from the strip when there is no composite
    // (offsets scaled with the picture), else composed and presented at (offsetX, offsetY)
    // over the control's whole inner size (offsets not scaled). False when frameIndex is 0.
    // The overflow error when a position or size does not fit 32 bits; the subscript error
    // for a frame number outside the table.
    bool PaintFrame(int32_t frameIndex, platform::Surface& target);
    // index > 0 draws that frame's strip cell, index < 0 presents the composite, into rect of
    // target; stretch scales the source into rect. Solid background, transparency and the
    // loaded-table cache as the control's drawing rules say.
    void BlitFrame(int32_t index, platform::Surface& target, bool stretch, const DrawRect& rect);
    // The host's paint event: PaintFrame(currentFrame) on the host's paint target, then at
    // design time the outline of the inner area in the host's line style and fore colour.
    void UserControl_Paint();
    // The paint event into a host's pixels (AniGifControl::paintInto): the same drawing at the
    // target's device scale, in one pass over the part the target asks for.
    bool paintInto(const PaintTarget& target);
    // The host's resize event: ComputeScale on the rounded inner size, then sets the control
    // to the resulting size. Ignored while nothing is loaded and during its own size change.
    void UserControl_Resize();

    // Stretched paints keep each frame's scaled pixels (at most 64 MiB, four bytes per target
    // pixel) so that a looping animation is averaged only once; every load drops them. This
    // drops them at once, and tells how much they hold.
    void releaseScaledFrames() noexcept { paintMemory_.scaledFrames.clear(); }
    std::size_t scaledFramesBytes() const noexcept { return paintMemory_.scaledFrames.keptBytes(); }
    // Everything the paints hold between paints: the kept scaled frames, the working rows of
    // scaled drawing, what a disposal keeps from one paint's start to its end and the kept
    // composites.
    std::size_t paintMemoryBytes() const noexcept {
        return paintMemory_.bytes() + keptCompositeBytes();
    }

  private:
    // What one paint draws with: the scale factors and the composite's corner at the target's
    // device scale, and the control's inner size there.
    struct PaintView {
        float scaleX = 1, scaleY = 1;
        int32_t presentX = 0, presentY = 0;
        double innerWidth = 0, innerHeight = 0;
    };
    // The memory paints work in, kept between paints.
    struct PaintMemory {
        std::vector<uint64_t> scaleSource, scaleRows;  // rows of scaled drawing
        std::vector<draw::BandRows> bands;             // the same for the other row bands
        std::vector<uint8_t> maskSave, compositeSave;  // what a disposal-3 frame covers
        draw::ScaledFrames scaledFrames;  // scaled frames and composites of earlier paints

        std::size_t bytes() const noexcept;
    };

    PaintView ownView() const;
    bool paintFrameOn(int32_t frameIndex, const draw::Canvas& target, const PaintView& view);
    void blitFrameOn(int32_t index, const draw::Canvas& target, bool onDisplay, bool stretch,
                     const DrawRect& rect, const PaintView& view);
    draw::ScaleScratch scaleScratch() noexcept;
    // Draws the outline rectangle (0, 0)-(w, h), right and bottom edges exclusive.
    void drawOutline(const draw::Canvas& target, int32_t w, int32_t h) const;

    // Composites kept every few frames, so that showing an earlier frame composes from the
    // nearest one at or before it rather than from frame 1. `after` k: frames 1..k composed and
    // disposed of (what the paint of frame k + 1 starts from).
    struct KeptComposite {
        int32_t after = 0;
        std::vector<uint8_t> composite, mask;
    };
    // Brings the composite to `frames` composed and disposed of (render/compose_frame.cpp).
    void composeThrough(int32_t frames);
    // Keeps the composite after frame k when k falls on the spacing and the memory allows.
    void keepComposite(int32_t k);
    // Drops the kept composites: their colours, orientation or frames are no longer current.
  public:
    void dropKeptComposites() noexcept;
    std::size_t keptCompositeBytes() const noexcept;

  private:
    std::vector<KeptComposite> keptComposites_;  // by `after`, ascending
    int32_t keptSpacing_ = 0;                    // 0 = not worked out for this load
    // The frames the composite holds, composed and disposed of; 0 = none known (a fresh
    // composite, or one changed outside the paint).
    int32_t composedThrough_ = 0;
    // What was written of the composite and its mask since the scaled frames last hashed them
    // (the latest stretched paint of the composite): only that part is hashed again. Anything
    // but a frame's own drawing and disposal makes it unknown, the whole hashed again.
    struct CompositeWrites {
        bool known = false;
        int32_t count = 0;
        std::array<draw::SourceRect, 4> rects{};  // the last one grows when more are written
    };
    CompositeWrites compositeWrites_;
    // Frame f's rectangle of the composite written (null: anything may have been).
    void compositeWritten(const FrameInfo* f) noexcept;

    bool resizeInProgress_ = false;
    // The loaded-table cache (TableCount) names a table whose transparent entry was blackened.
    bool loadedTableBlackened_ = false;
    PaintMemory paintMemory_;

    // ==== Palette access (persist/palette_access.cpp) ========================================
    // The host reads and replaces the colours of the loaded tables and can keep a copy of all
    // of them to take changes back. Palette values are 0x00RRGGBB (red in bits 16-23), unlike
    // the 0x00BBGGRR of SolidBkgColor. None of this is stored with the properties; every load
    // (ResetDecoder) starts from the file's colours and an empty copy.
  public:
    // A host array of 32-bit integers with its own lower bound (anigif/ani_gif_control.h).
    using PaletteArray = anigif::PaletteArray;

    // Fills paletteEntries with the colours of a table, indices 0 .. count - 1: FrameIndex 0
    // the global table, k >= 1 the local table of frame k. False, with the array untouched,
    // while nothing is loaded, for a negative index, a frame beyond the frame count, a frame
    // that uses the global table, or a table without colours. A playing animation is paused
    // for the call and resumed after it. Never throws.
    bool GetPalette(int32_t FrameIndex, PaletteArray& paletteEntries) noexcept;
    // Replaces the colours of the table FrameIndex chooses (as in GetPalette) with the table's
    // colour count of elements from the array's lower bound on; further elements are ignored.
    // False, with nothing changed, when nothing is loaded, the array was never dimensioned,
    // there is no such table or the array holds fewer elements than the table has colours.
    // A playing animation is paused and resumed (the next frame shows the colours); otherwise
    // the control repaints at once. Never throws.
    bool SetPalette(int32_t FrameIndex, const PaletteArray& paletteEntries) noexcept;
    // Takes a copy of every colour table unless one is held already (then false, the held copy
    // unchanged). Works whether or not a GIF is loaded. A failed allocation raises the
    // out-of-memory error.
    bool CacheColorTables();
    // Puts the held copy back as the live tables (false when none is held) and, when
    // bReleaseCache, releases it. No repaint: the restored colours show at the next paint.
    // A failed allocation raises the out-of-memory error.
    bool RestoreColorTables(bool bReleaseCache);
    // True while a copy is held.
    bool ColorTablesCached() const noexcept { return colorTableCacheHeld_; }

  private:
    // Empties the colour-table cache (part of every ResetDecoder).
    void ReleaseColorTableCache() noexcept;
    // The table FrameIndex chooses, or null.
    ColorTable* chooseColorTable(int32_t FrameIndex) noexcept;
    // Pauses a playing animation; true when it did, so that resumeAfterPalette plays again.
    bool pauseForPalette() noexcept;
    void resumeAfterPalette(bool paused) noexcept;

    bool colorTableCacheHeld_ = false;
    std::vector<ColorTable> colorTableCache_;

    // ==== Stored properties (persist/stored_properties.cpp) ===================================
    // The control's stored description: GifBytes exactly as received plus thirteen settings,
    // under fixed keys ("GIF", "Delay", "Stretch", "Loops", "DelayLoad", "Mirror", "MouseIcon",
    // "MousePointer", "Enabled", "OffsetX", "OffsetY", "BkgFill", "BkgUsed", "StepDelay").
  public:
    // Writes every key in that order; a value equal to its default is not stored, "GIF" always
    // is (empty when nothing is held). MouseIcon, MousePointer and Enabled come from the host.
    void WriteProperties(platform::PropertyBag& PropBag) const;
    // Called once, right after creation, for an instance with a stored description. Applies
    // the stored values without clamping or change notices (an absent key keeps its default),
    // then runs LoadAndStart and, when that loaded frames, reads "Loops" with the GIF's own
    // count as default and restarts the loop counter from it. A value that does not convert to
    // its target's type raises RuntimeError (6 overflow, 13 type mismatch); the values applied
    // before it stay. A GIF that fails to load is no error: the control stays empty.
    void ReadProperties(const platform::PropertyBag& PropBag);

    // ==== Loading sources and public surface =================================================
    // (decode/loading_sources.cpp, render/public_surface.cpp)
    // Members a host calls: the loaders, the properties not owned by the clock or the renderer,
    // the host's mouse, hit-test and download notifications, and the help strings.
  public:
    // The longest a download may take, start to end, before it fails (0: no limit).
    int64_t remoteDeadlineMs = 120000;
    // Property name under which remote GIFs are read.
    static constexpr std::string_view kRemotePropertyName = "remoteGIF";
    // Read option of remote reads: take the cached copy when the network fails.
    static constexpr int32_t kRemoteReadOption = platform::ControlHost::kReadCachedCopyWhenOffline;

    // Loads the file named FileName (UTF-8; any character, including those at or above code
    // 256, names the same file as on the file system). True when a GIF was loaded. A missing,
    // unreadable, empty or non-regular file releases GifBytes, leaves the control empty and
    // gives false. Never throws.
    bool LoadAnimatedGIF_File(std::string_view FileName) noexcept;
    // Loads the GIF held in an array of one or two dimensions: element size x the element
    // counts bytes, copied as raw memory but never beyond what the array holds. No array, an
    // empty one or one of three or more dimensions releases GifBytes and gives false. Never
    // throws.
    bool LoadAnimatedGIF_Array(const GifArray& Bytes) noexcept;
    // Asks the host to read RemotePath asynchronously under "remoteGIF"; nothing for an empty
    // path. The outcome arrives through UserControl_AsyncReadComplete / _AsyncReadProgress as
    // RemoteLoadComplete (then the load) or RemoteLoadFailure. A refused request raises
    // RemoteLoadFailure at once. The GIF on show keeps playing until a download is accepted.
    void LoadAnimatedGIF_Remote(std::string_view RemotePath);
    // AnimatedGIF set: ignored in run mode. At design time the picture's encoded bytes become
    // GifBytes (none releases them) and are loaded at their own size (scale 1); then a repaint
    // and the notice "AnimatedGIF".
    void AnimatedGIF(const Picture* aGif);

    // Host notifications of an asynchronous read: completion with the data (BytesRead is the
    // count the host reports; only the bytes Value really holds are read), and progress, whose
    // StatusCode 0 means the read failed. A host that gives a `keeper` holding Value readable
    // and unchanged lets the control keep the download where it lies instead of copying it.
    void UserControl_AsyncReadComplete(std::string_view PropertyName,
                                       std::span<const uint8_t> Value, int64_t BytesRead,
                                       std::shared_ptr<const void> keeper = {});
    void UserControl_AsyncReadProgress(std::string_view PropertyName, int32_t StatusCode,
                                       int64_t BytesRead);
    // Hit test: every point of the control is part of it.
    static constexpr int32_t kHitResultHit = 3;
    int32_t UserControl_HitTest(float /*X*/, float /*Y*/) const noexcept { return kHitResultHit; }
    // Host mouse events, x and y in control pixels: raised as Click, MouseDown, MouseUp and
    // MouseMove with X and Y in the container's units, each rounded down.
    void UserControl_Click();
    void UserControl_MouseDown(int16_t Button, int16_t Shift, float X, float Y);
    void UserControl_MouseUp(int16_t Button, int16_t Shift, float X, float Y);
    void UserControl_MouseMove(int16_t Button, int16_t Shift, float X, float Y);

    // Enabled: the host control's own enabled state; let notifies "Enabled".
    bool Enabled() const;
    void Enabled(bool Enable);
    // FrameCount let: accepted and ignored.
    void FrameCount(int32_t /*nrFrames*/) noexcept {}
    // The overall image size in the container's units, rounded down; the overflow error when
    // that does not fit 32 bits.
    int32_t ActualWidth() const;
    int32_t ActualHeight() const;
    // Stretch: values 0..4 that differ from the current mode are taken: the control pauses,
    // resizes, returns to its previous state (a stopped control is rewound to frame 1 with
    // FrameChanged(1, False)), repaints unless playing and notifies "Stretch".
    int32_t Stretch() const noexcept { return stretchMode; }
    void Stretch(int32_t newScale);
    // Mirrored: values 0..3. While nothing is loaded the value is stored and notified as it
    // stands; otherwise a change mirrors the frames in place (the current frame is kept),
    // resumes playing or repaints, and notifies "Mirrored". The getter never shows the
    // deferred-load mark.
    int32_t Mirrored() const noexcept { return mirrorStyle & ~kMirrorFirstFrameDone; }
    void Mirrored(int32_t MirrorStyle);
    // MouseIcon: the host control's mouse icon. Setting none also resets MousePointer to 0;
    // notifies "MouseIcon". Host failures are ignored.
    platform::PicturePtr MouseIcon() const noexcept;
    void MouseIcon(platform::PicturePtr MousePic) noexcept;
    // MousePointer: the host control's mouse pointer (16 bits there); values the host refuses
    // or that do not fit 16 bits are ignored.
    int32_t MousePointer() const noexcept;
    void MousePointer(int32_t Pointer) noexcept;
    // Offsets in pixels added to the picture position; a change repaints at once unless the
    // control is playing in run mode (the next tick paints it then).
    int32_t OffsetX() const noexcept { return offsetX; }
    void OffsetX(int32_t NewOffset);
    int32_t OffsetY() const noexcept { return offsetY; }
    void OffsetY(int32_t NewOffset);
    // Solid background (0x00BBGGRR or a system-colour reference): repaints only at design time
    // and only while SolidBkgColorUsed is true; at run time the next paint draws it.
    int32_t SolidBkgColor() const noexcept { return bkgColor; }
    void SolidBkgColor(int32_t Color);
    bool SolidBkgColorUsed() const noexcept { return bkgColorUsed; }
    // Repaints only at design time.
    void SolidBkgColorUsed(bool IgnoreTransparency);
    // Repaints the control at once.
    void Refresh();

    // The help string of a public member (property, method or event; names compare without
    // case); empty for a name the control does not describe.
    static std::string_view helpString(std::string_view memberName) noexcept;

  private:
    void raiseRemoteLoadFailure();
    // Whether loading `bytes` would stay within the budget, told from parsing them apart from
    // what the control holds; true for bytes that do not parse (their load fails anyway).
    bool loadFitsBudget(std::span<const uint8_t> bytes) const;
    void raiseMouseEvent(int32_t number, std::string_view name, int16_t Button, int16_t Shift,
                         float X, float Y);
    // After a successful load: Stretch modes 1, 3 and 4 fit the control to the new image.
    void resizeAfterLoad();
};

// The control inside an AniGifControl, for the library's own programs and tests.
struct ControlAccess {
    static ucAniGIF& of(AniGifControl& c) noexcept { return *c.d_; }
    static const ucAniGIF& of(const AniGifControl& c) noexcept { return *c.d_; }
};

}  // namespace anigif
