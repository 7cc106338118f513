// The frame strip builder: every frame's colour indices side by side in one 8-bit surface, plus
// the composite and mask surfaces that compositing draws into.
//
// Each frame is rebuilt as a stand-alone single-image GIF (header, an index-coding global table,
// the frame's own graphic control extension without its transparency flag, the image block at
// (0, 0) with any local table replaced by the index-coding table, a trailer) and decoded straight
// into its strip cell as colour indices. The stream's own index of every pixel, transparent ones
// included, therefore lands in the strip.
//
// A pass rebuilds its frames one after another (the rebuild buffer carries over from frame to
// frame, and a cut descriptor takes what the previous frame left in it), recording for each frame
// the bytes of its stream that differ from the shared buffer. The decoding, which is nearly all
// the work, then runs frame by frame in parallel: each frame has its own stream, its own giflib
// state and its own cell of the strip, so the strip is the same in whatever order they finish.
//
// A deferred load's first pass decodes frame 1 alone, which would leave the other threads idle.
// They decode the frames after it instead (no more work than frame 1 per thread, so the first
// frame shows no later), into buffers of their own: the strip still holds frame 1 alone when the
// pass returns.
// The remaining-frames pass copies a buffer into its cell when the frame's rebuilt stream is
// byte for byte the one decoded ahead, and decodes the frame as usual otherwise.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#include "gifcontrol/render/uc_ani_gif.h"
#include "gifcontrol/render/work_threads.h"
#include "platform/gif_decoder.h"

namespace anigif {
namespace {

// RebuildBuffer layout (1-based): header and screen descriptor 1..13, index-coding table
// 14..781, optional graphic control extension 782..789, then the image descriptor and its local
// table. The image data and the trailer follow in the rebuilt stream without being copied here.
constexpr int32_t kTableStart = 14;
constexpr int32_t kExtensionPos = 782;
constexpr int32_t kAfterExtension = 790;
constexpr int32_t kDescriptorBytes = 10;  // separator, left, top, width, height, flags
constexpr int32_t kRebuildBytes = kAfterExtension - 1 + kDescriptorBytes + 768;
constexpr uint8_t kTrailer = 0x3B;

// Copies n bytes from `src` at 1-based position `from` into `dst` at 1-based position `to`.
// Bytes that `src` does not hold arrive as 0 (a cut stream); nothing outside `dst` is written.
void copyBytes(OneBased<uint8_t>& dst, int32_t to, const OneBased<uint8_t>& src, int64_t from,
               int64_t n) {
    if (to < 1 || n <= 0) return;
    const int64_t room = int64_t{dst.upperBound()} - to + 1;
    n = std::min(n, room);
    if (n <= 0) return;
    uint8_t* out = dst.span().data() + (to - 1);
    int64_t available = 0;
    if (from >= 1 && from <= src.upperBound())
        available = std::min<int64_t>(n, int64_t{src.upperBound()} - from + 1);
    if (available > 0)
        std::memcpy(out, src.span().data() + (from - 1), static_cast<size_t>(available));
    std::memset(out + available, 0, static_cast<size_t>(n - available));
}

// Below this many pixels in a pass (the small decorations) threads would cost more than they
// save, and the pass stays on the calling thread.
constexpr int64_t kParallelPixels = int64_t{1} << 16;
// At most this many pixels are decoded ahead, held in memory beside the strip until the
// remaining-frames pass.
constexpr int64_t kMostAheadPixels = int64_t{1} << 24;
constexpr int32_t kMostAheadFrames = 64;

// One rebuilt frame, ready to decode: the bytes of its stream that are not the shared header and
// index-coding table (RebuildBuffer 1..781), where its image data lie, and its strip cell.
struct FrameJob {
    int32_t frame = 0;
    int32_t cellX = 0, cellW = 0, cellH = 0;
    std::array<uint8_t, 4> screenSize{};  // RebuildBuffer 7..10 for this frame
    // RebuildBuffer from kExtensionPos up to the end of the rebuilt descriptor.
    std::array<uint8_t, 8 + kDescriptorBytes> rebuilt{};
    int32_t rebuiltBytes = 0;
    int32_t tableBytes = 0;  // index-coding local table bytes that follow the descriptor
    const uint8_t* data = nullptr;
    int64_t held = 0, missing = 0;  // image data bytes held in GifBytes, then zeros
    platform::GifFrameDecoder decoder = platform::GifFrameDecoder::Default;
};

// Rebuilds frame i in RebuildBuffer and sets its StripX. False when its cell does not fit the
// strip (the frame then stays index 0).
bool rebuildFrame(ucAniGIF& g, int32_t i, FrameJob& job);

// The head of a frame's rebuilt stream: everything before its image data.
struct StreamHead {
    std::array<uint8_t, kRebuildBytes> bytes;
    std::size_t size = 0;
    bool operator==(const StreamHead& o) const noexcept {
        return size == o.size && std::memcmp(bytes.data(), o.bytes.data(), size) == 0;
    }
};
// Reads RebuildBuffer 1..781 and IndexCodingTriples.
StreamHead streamHead(const ucAniGIF& g, const FrameJob& job) noexcept;

// Decodes one rebuilt frame into rows of job.cellW bytes (row r at firstRow + r * stride); a
// frame the decoder rejects leaves them as they were. Writes nothing else: calls for different
// frames may run at the same time.
void decodeFrame(const StreamHead& head, const FrameJob& job, uint8_t* firstRow,
                 std::ptrdiff_t stride) noexcept;

}  // namespace

struct FramesDecodedAhead {
    struct Frame {
        FrameJob job;
        StreamHead head;
        std::vector<uint8_t> indices;  // cellW x cellH, top row first
        bool decoded = false;
        bool matches(const FrameJob& j, const StreamHead& h) const noexcept {
            return decoded && j.frame == job.frame && j.cellW == job.cellW &&
                   j.cellH == job.cellH && j.data == job.data && j.held == job.held &&
                   j.missing == job.missing && h == head;
        }
    };
    std::vector<Frame> frames;
};

namespace {

// The frames of one pass: rebuilt in order as they are added, decoded together by run().
class FramePass {
  public:
    void add(ucAniGIF& g, int32_t i) {
        FrameJob job;
        job.frame = i;
        if (!rebuildFrame(g, i, job)) return;
        pixels_ += int64_t{job.cellW} * job.cellH;
        jobs_.push_back(job);
    }

    // With frame 1 alone in the pass: rebuilds the frames after it that the idle threads can
    // decode meanwhile (as much work in all as frame 1 per idle thread, by pixels and by image
    // data) on a copy of the rebuild state, which is then put back, so that the remaining-frames
    // pass rebuilds them exactly as it would have.
    // Only an optimisation: whatever fails here leaves the pass as it was.
    void addAhead(ucAniGIF& g, int32_t n, int32_t threads) noexcept {
        if (threads < 2 || jobs_.size() != 1 || jobs_[0].frame != 1) return;
        const FrameJob& first = jobs_[0];
        const int64_t idle = std::min(threads, 8) - 1;
        const int64_t mostPixels =
            std::min(int64_t{first.cellW} * first.cellH * idle, kMostAheadPixels);
        const int64_t mostData = first.held * idle;
        const int32_t last = std::min(n, kMostAheadFrames + 1);
        OneBased<uint8_t> savedBuffer;
        std::vector<FrameInfo> savedFrames;
        try {
            savedBuffer = g.RebuildBuffer;
            savedFrames.reserve(static_cast<std::size_t>(std::max(last - 1, 0)));
        } catch (...) {
            return;
        }
        int64_t pixels = pixels_, aheadPixels = 0, aheadData = 0;
        try {
            for (int32_t i = 2; i <= last; ++i) {
                savedFrames.push_back(g.Frames(i));
                FramesDecodedAhead::Frame ahead;
                ahead.job.frame = i;
                if (!rebuildFrame(g, i, ahead.job)) break;
                const int64_t cellPixels = int64_t{ahead.job.cellW} * ahead.job.cellH;
                aheadPixels += cellPixels;
                aheadData += ahead.job.held;
                if (aheadPixels > mostPixels || aheadData > mostData) break;
                ahead.head = streamHead(g, ahead.job);
                pixels += cellPixels;
                ahead_.push_back(std::move(ahead));
            }
        } catch (...) {
            ahead_.clear();
        }
        // The same size as what it replaces: no allocation.
        std::copy(savedBuffer.span().begin(), savedBuffer.span().end(),
                  g.RebuildBuffer.span().begin());
        for (std::size_t k = 0; k < savedFrames.size(); ++k)
            g.Frames(static_cast<int32_t>(k) + 2) = savedFrames[k];
        if (piecesFor(threads, 2, worthThreads(pixels)) < 2) ahead_.clear();
        if (!ahead_.empty()) pixels_ = pixels;
    }

    // Decodes every frame added since the last run, and any decoded ahead; returns when all are
    // in the strip (or their buffers). Frames the remaining-frames pass finds decoded ahead in
    // `aheadIn` are copied from there. Returns what was decoded ahead (null when nothing was).
    std::shared_ptr<FramesDecodedAhead> run(const ucAniGIF& g, int32_t threads,
                                            const FramesDecodedAhead* aheadIn) noexcept {
        platform::Surface& strip = *g.Strip;
        forEachPiece(
            threads, jobs_.size() + ahead_.size(), worthThreads(pixels_), [&](std::size_t k) {
                if (k >= jobs_.size()) {
                    auto& ahead = ahead_[k - jobs_.size()];
                    try {  // made here, so that its pages are touched in parallel
                        ahead.indices.assign(
                            std::size_t(ahead.job.cellW) * std::size_t(ahead.job.cellH), 0);
                    } catch (...) {
                        return;  // not decoded ahead: the frame is decoded in its pass
                    }
                    decodeFrame(ahead.head, ahead.job, ahead.indices.data(), ahead.job.cellW);
                    ahead.decoded = true;
                    return;
                }
                const FrameJob& job = jobs_[k];
                const StreamHead head = streamHead(g, job);
                uint8_t* const top = strip.line(0) + job.cellX;
                const std::ptrdiff_t stride = -std::ptrdiff_t{strip.rowBytes()};
                if (aheadIn) {
                    for (const auto& ahead : aheadIn->frames) {
                        if (!ahead.matches(job, head)) continue;
                        for (int32_t r = 0; r < job.cellH; ++r)
                            std::memcpy(
                                top + r * stride,
                                ahead.indices.data() + std::size_t(r) * std::size_t(job.cellW),
                                static_cast<std::size_t>(job.cellW));
                        return;
                    }
                }
                decodeFrame(head, job, top, stride);
            });
        std::shared_ptr<FramesDecodedAhead> out;
        if (!ahead_.empty()) {
            try {
                out = std::make_shared<FramesDecodedAhead>();
                out->frames = std::move(ahead_);
            } catch (...) {
                out.reset();  // the remaining-frames pass decodes them as usual
            }
        }
        jobs_.clear();
        ahead_.clear();
        pixels_ = 0;
        return out;
    }

  private:
    static bool worthThreads(int64_t pixels) noexcept { return pixels >= kParallelPixels; }

    std::vector<FrameJob> jobs_;
    std::vector<FramesDecodedAhead::Frame> ahead_;
    int64_t pixels_ = 0;
};

int32_t roundToInt(double v) {
    const double r = std::nearbyint(v);
    if (!(r >= -2147483648.0 && r <= 2147483647.0)) platform::raiseOverflow();
    return static_cast<int32_t>(r);
}

}  // namespace

bool ucAniGIF::CreateCompositeSurfaces(bool withMask) noexcept {
    compositeWritten(nullptr);
    Composite = platform::Surface::create(24, screenWidth, screenHeight);
    bool ok = Composite != nullptr;
    if (withMask) {
        const uint32_t blackWhite[] = {0x000000, 0xFFFFFF};
        Mask = platform::Surface::create(1, screenWidth, screenHeight, blackWhite);
        ok = ok && Mask != nullptr;
    }
    return ok;
}

bool ucAniGIF::BuildFrames(bool& fullBuild) noexcept {
    FramePass pass;
    const int32_t threads = workThreads(threadLimit);
    // Remaining-frames pass: frames 2..n into the strip the first pass made, decoded together
    // with whatever `pass` already holds. Frames rebuilt before a failure are still decoded.
    auto remainingFrames = [&](int32_t n) noexcept {
        try {
            if (n != 1) Strip->setColorTable(0, IndexCodingColors);
            TableCount = -1;
            for (int32_t i = 2; i <= n; ++i) pass.add(*this, i);
            pass.run(*this, threads, decodedAhead_.get());
            decodedAhead_.reset();
            finishBuild();
            return true;
        } catch (...) {
            pass.run(*this, threads, decodedAhead_.get());
            decodedAhead_.reset();
            return false;
        }
    };
    try {
        const int32_t n = Frames.upperBound();
        if (n < 1) return false;
        const bool runMode = host_->userMode();

        if (!fullBuild) {
            if (!Strip || RebuildBuffer.empty()) return false;
            return remainingFrames(n);
        }

        // First pass.
        decodedAhead_.reset();
        int64_t stripWidth = 0;
        int32_t stripHeight = 0;
        bool anyTransparent = false, allBackground = true, maskNeeded = false;
        for (int32_t i = 1; i <= n; ++i) {
            const FrameInfo& f = Frames(i);
            stripWidth += f.Width;
            stripHeight = std::max(stripHeight, f.Height);
            anyTransparent = anyTransparent || f.TransFlag == 1;
            if (f.Disposal != 2) allBackground = false;
            if (f.Disposal == 2 || f.Disposal == 3) maskNeeded = true;
        }
        const FrameInfo& first = Frames(1);
        if (!runMode || n == 1) {
            stripWidth = first.Width;
            stripHeight = first.Height;
            maskNeeded = false;
        } else if (allBackground) {
            maskNeeded = false;
        } else {
            if (!maskNeeded)
                maskNeeded = first.TransFlag == 1 ||
                             (anyTransparent &&
                              (first.Height != screenHeight || first.Width != screenWidth));
            if (!CreateCompositeSurfaces(maskNeeded)) return false;
        }

        IndexCodingColors.fill(0);
        IndexCodingTriples.fill(0);
        for (uint32_t i = 1; i < 256; ++i) {
            IndexCodingColors[i] = i;
            IndexCodingTriples[i * 3 + 2] = static_cast<uint8_t>(i);
        }
        Strip = platform::Surface::create(8, platform::checkedNarrow<int32_t>(stripWidth),
                                          stripHeight, IndexCodingColors);
        if (!Strip) return false;

        if (anyTransparent || maskNeeded) MaskPalette.assign(256, 0);

        RebuildBuffer.redim(kRebuildBytes);
        copyBytes(RebuildBuffer, 1, GifBytes, 1, 13);
        // The stream may spell its signature in any case; the rebuilt one is standard.
        static constexpr char kSignature[] = "GIF89a";
        for (int32_t k = 0; k < 6; ++k) RebuildBuffer(k + 1) = static_cast<uint8_t>(kSignature[k]);
        std::memcpy(&RebuildBuffer(kTableStart), IndexCodingTriples.data(),
                    IndexCodingTriples.size());
        RebuildBuffer(11) |= 0x87;

        TableCount = -1;
        pass.add(*this, 1);
        // A build with DelayOff in run mode is one pass: frame 1 is decoded with the others.
        if (!runMode || delayMode != DelayOff) {
            if (runMode) pass.addAhead(*this, n, threads);
            decodedAhead_ = pass.run(*this, threads, nullptr);
        }

        currentFrame = 1;
        int32_t width = roundToInt(host_->scaleWidth());
        int32_t height = roundToInt(host_->scaleHeight());
        ComputeScale(width, height, scaleX, scaleY);
        if (runMode) {
            if (delayMode == DelayOff) {
                // The remaining-frames pass finishes the whole job itself.
                remainingFrames(n);
                fullBuild = false;
                return true;
            }
            if (n == 1) {
                fullBuild = false;
            } else {
                MirrorFrames(MirrorNone, true, false);
                mirrorStyle |= kMirrorFirstFrameDone;
                SetAnimationTimer(2);
            }
        } else {
            fullBuild = false;
        }
        if (!fullBuild) finishBuild();
        return true;
    } catch (...) {
        pass.run(*this, threads, nullptr);
        decodedAhead_.reset();
        return false;
    }
}

namespace {

bool rebuildFrame(ucAniGIF& g, int32_t i, FrameJob& job) {
    OneBased<uint8_t>& RebuildBuffer = g.RebuildBuffer;
    const OneBased<uint8_t>& GifBytes = g.GifBytes;
    const auto& IndexCodingTriples = g.IndexCodingTriples;
    FrameInfo& f = g.Frames(i);
    const BlockSpan& block = g.Blocks(i);

    int32_t pos = kExtensionPos;
    if (f.StripX != block.Start) {
        copyBytes(RebuildBuffer, kExtensionPos, GifBytes, f.StripX, 8);
        // The block in its standard form (4 bytes, then the terminator) whatever its size byte
        // said: the parser read it at its fixed places, and the decoder must find the image
        // right after it.
        RebuildBuffer(kExtensionPos + 2) = 4;
        RebuildBuffer(kExtensionPos + 3) &= static_cast<uint8_t>(~1u);  // no transparency
        RebuildBuffer(kExtensionPos + 7) = 0;
        pos = kAfterExtension;
    }
    // The image block goes into the rebuilt stream in two parts: its descriptor and local table,
    // which change, are rebuilt here; its image data are read where they lie in GifBytes.
    const int64_t length = std::max(block.Length, 0);
    const int32_t descriptorBytes =
        static_cast<int32_t>(std::min<int64_t>(length, kDescriptorBytes));
    copyBytes(RebuildBuffer, pos, GifBytes, block.Start, descriptorBytes);
    for (int32_t k = 1; k <= 4; ++k) RebuildBuffer(pos + k) = 0;  // image at (0, 0)
    for (int32_t k = 0; k < 4; ++k) RebuildBuffer(7 + k) = RebuildBuffer(pos + 5 + k);
    int64_t head = descriptorBytes;
    if (f.TableIndex != 0) {
        const int32_t count = g.PowersOfTwo[static_cast<size_t>(RebuildBuffer(pos + 9) & 7) + 1];
        const int64_t tableBytes = std::min<int64_t>(3 * int64_t{count}, length - head);
        std::memcpy(&RebuildBuffer(pos + kDescriptorBytes), IndexCodingTriples.data(),
                    static_cast<size_t>(std::max<int64_t>(tableBytes, 0)));
        head += std::max<int64_t>(tableBytes, 0);
    }
    // The image data: the bytes GifBytes holds, then zeros for any that a cut stream lacks.
    const int64_t dataFrom = int64_t{block.Start} + head;  // 1-based
    const int64_t dataBytes = length - head;
    int64_t held = 0;
    if (dataFrom >= 1 && dataFrom <= GifBytes.upperBound())
        held = std::min<int64_t>(dataBytes, int64_t{GifBytes.upperBound()} - dataFrom + 1);
    held = std::max<int64_t>(held, 0);

    f.StripX = i == 1 ? 0
                      : platform::checkedNarrow<int32_t>(int64_t{g.Frames(i - 1).StripX} +
                                                         g.Frames(i - 1).Width);

    const platform::Surface& strip = *g.Strip;
    job.cellX = f.StripX;
    job.cellW = f.Width;
    job.cellH = f.Height;
    if (job.cellW < 1 || job.cellH < 1 || job.cellX < 0 ||
        int64_t{job.cellX} + job.cellW > strip.width() || job.cellH > strip.height())
        return false;
    std::memcpy(job.screenSize.data(), &RebuildBuffer(7), job.screenSize.size());
    job.rebuiltBytes = pos - kExtensionPos + descriptorBytes;
    if (job.rebuiltBytes > 0)
        std::memcpy(job.rebuilt.data(), &RebuildBuffer(kExtensionPos),
                    static_cast<size_t>(job.rebuiltBytes));
    job.tableBytes = static_cast<int32_t>(head - descriptorBytes);
    job.data = held > 0 ? GifBytes.span().data() + (dataFrom - 1) : nullptr;
    job.held = held;
    job.missing = dataBytes - held;
    job.decoder = g.frameDecoder;
    return true;
}

StreamHead streamHead(const ucAniGIF& g, const FrameJob& job) noexcept {
    StreamHead out;
    auto& head = out.bytes;
    std::memcpy(head.data(), g.RebuildBuffer.span().data(), kExtensionPos - 1);
    std::memcpy(head.data() + 6, job.screenSize.data(), job.screenSize.size());
    std::size_t size = kExtensionPos - 1;
    std::memcpy(head.data() + size, job.rebuilt.data(), static_cast<size_t>(job.rebuiltBytes));
    size += static_cast<size_t>(job.rebuiltBytes);
    std::memcpy(head.data() + size, g.IndexCodingTriples.data(),
                static_cast<size_t>(job.tableBytes));
    out.size = size + static_cast<size_t>(job.tableBytes);
    return out;
}

void decodeFrame(const StreamHead& head, const FrameJob& job, uint8_t* firstRow,
                 std::ptrdiff_t stride) noexcept {
    static constexpr uint8_t kTrailerByte[] = {kTrailer};
    const platform::GifStreamPiece stream[] = {
        {head.bytes.data(), head.size},
        {job.data, static_cast<size_t>(job.held)},
        {nullptr, static_cast<size_t>(job.missing)},
        {kTrailerByte, 1},
    };
    platform::decodeFirstGifImage(
        stream,
        [&](const platform::GifImageInfo& info) {
            if (info.width != job.cellW || info.height != job.cellH)
                return platform::GifLineTarget{};
            return platform::GifLineTarget{firstRow, stride};
        },
        job.decoder);
}

}  // namespace

void ucAniGIF::finishBuild() {
    const bool runMode = host_->userMode();
    RebuildBuffer.clear();
    PowersOfTwo.fill(0);
    Blocks.clear();
    MirrorFrames(MirrorNone, !runMode, false);
    if (!runMode) return;
    GifBytes.clear();
    if ((delayMode & 2) == 0) {
        loopsRemaining = loopSetting;
        SetAnimationTimer(1);
    } else if (announceHold_) {
        raiseFrameChanged(1, false);
    }
}

std::size_t ucAniGIF::decodedAheadBytes() const noexcept {
    std::size_t n = 0;
    if (decodedAhead_)
        for (const FramesDecodedAhead::Frame& f : decodedAhead_->frames) n += f.indices.capacity();
    return n;
}

}  // namespace anigif
