// The sources that put GIF bytes into the control: a file, an array, a design-time picture and
// a remote download, each ending in LoadAndStart.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <limits>
#include <memory>
#include <string>

#include "gifcontrol/decode/bytes_to_picture.h"
#include "gifcontrol/decode/gif_array.h"
#include "gifcontrol/render/uc_ani_gif.h"
#include "platform/ascii_case.h"
#include "platform/memory_budget.h"

namespace anigif {
namespace {

// A download shorter than this cannot be a GIF: header, screen descriptor, trailer.
constexpr int64_t kMinRemoteBytes = 15;
constexpr size_t kSignatureBytes = 6;

// The largest GIF stream taken from a file or a download: the control's memory budget, and
// never more than GifBytes can hold.
int64_t maxStreamBytes(const ucAniGIF& control) noexcept {
    return std::min<int64_t>(static_cast<int64_t>(control.MemoryBudget()),
                             ucAniGIF::kMaxStreamBytes);
}

bool isGifSignature(std::span<const uint8_t> bytes) {
    if (bytes.size() < kSignatureBytes) return false;
    const std::string_view signature(reinterpret_cast<const char*>(bytes.data()), kSignatureBytes);
    return platform::equalsIgnoringAsciiCase(signature, "gif89a") ||
           platform::equalsIgnoringAsciiCase(signature, "gif87a");
}

// The host of a control that only parses: the run mode it is given, nothing shown.
class ProbeHost final : public platform::ControlHost {
  public:
    explicit ProbeHost(bool run) : run_(run) {}
    bool userMode() const override { return run_; }
    void refresh() override {}
    double scaleWidth() const override { return 0; }
    double scaleHeight() const override { return 0; }
    void setSize(double /*widthPx*/, double /*heightPx*/) override {}
    platform::WindowId parentWindow() const override { return 0; }
    platform::TimerService* timers() override { return nullptr; }

  private:
    bool run_;
};

// Closes a file descriptor on every way out.
class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const noexcept { return fd_; }

  private:
    int fd_;
};

// Reads the whole regular file `name` into `out`. False for a name the file system cannot hold,
// a missing, unreadable, empty or non-regular file, one larger than `most` bytes or not starting
// with a GIF signature (told from its first bytes, before anything is allocated), or a file that
// shrank while being read.
bool readWholeFile(std::string_view name, int64_t most, OneBased<uint8_t>& out) {
    if (name.empty() || name.find('\0') != std::string_view::npos) return false;
    const std::string path(name);
    // Non-blocking, so that a named pipe cannot hang the open; it is refused below.
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (fd.get() < 0) return false;
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
    const int64_t size = info.st_size;
    if (size <= 0 || size > most) return false;
    std::array<uint8_t, kSignatureBytes> head{};
    ssize_t headBytes = -1;
    do {
        headBytes = ::pread(fd.get(), head.data(), head.size(), 0);
    } while (headBytes < 0 && errno == EINTR);
    if (headBytes != static_cast<ssize_t>(head.size()) || !isGifSignature(head)) return false;

    out.redim(static_cast<int32_t>(size));
    uint8_t* data = out.span().data();
    int64_t got = 0;
    while (got < size) {
        const ssize_t n = ::read(fd.get(), data + got, static_cast<size_t>(size - got));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += n;
    }
    if (got < size) {
        out.clear();
        return false;
    }
    return true;
}

// The byte count an array's shape claims, cut to what it holds; -1 when the shape is not one
// the loader takes (no array, no dimension, three or more, a negative count).
int64_t usableArrayBytes(const GifArray& array) noexcept {
    const int32_t d = array.dimensionCount();
    if (!array.allocated() || d < 1 || d > 2) return -1;
    const auto held = static_cast<uint64_t>(array.heldBytes().size());
    // Saturates just above `held`: a shape claiming more than the memory holds is cut to it.
    uint64_t total = array.elementSize();
    for (int32_t k = 1; k <= d; ++k) {
        const int64_t count = array.elementCount(k);
        if (count < 0) return -1;
        const auto c = static_cast<uint64_t>(count);
        if (c != 0 && total > held / c) {
            total = held + 1;
        } else {
            total *= c;
        }
    }
    return static_cast<int64_t>(std::min(total, held));
}

}  // namespace

bool ucAniGIF::LoadAnimatedGIF_File(std::string_view FileName) noexcept {
    try {
        if (!readWholeFile(FileName, maxStreamBytes(*this), GifBytes)) GifBytes.clear();
    } catch (...) {
        GifBytes.clear();
    }
    if (LoadAndStart() == 0) return false;
    try {
        resizeAfterLoad();
    } catch (...) {
        // The GIF is loaded; a failing resize leaves the control at its size.
    }
    return true;
}

bool ucAniGIF::LoadAnimatedGIF_Array(const GifArray& Bytes) noexcept {
    // An unusable shape loads nothing, which empties the control.
    const int64_t n = std::max<int64_t>(usableArrayBytes(Bytes), 0);
    if (!loadGifBytes(Bytes.heldBytes().first(static_cast<size_t>(n)))) return false;
    try {
        resizeAfterLoad();
    } catch (...) {
        return false;
    }
    return true;
}

void ucAniGIF::LoadAnimatedGIF_Remote(std::string_view RemotePath) {
    if (RemotePath.empty()) return;
    bool started = false;
    try {
        // The download shares the budget with what is on show until it is accepted.
        platform::ControlHost::AsyncReadLimits limits;
        const std::size_t budget = MemoryBudget(), held = heldBytes();
        limits.maxBytes = std::min<int64_t>(static_cast<int64_t>(held < budget ? budget - held : 0),
                                            ucAniGIF::kMaxStreamBytes);
        limits.deadlineMs = remoteDeadlineMs;
        limits.headBytes = static_cast<int32_t>(kSignatureBytes);
        limits.acceptHead = [](std::span<const uint8_t> head) { return isGifSignature(head); };
        host_->setAsyncReadLimits(limits);
        started = host_->asyncRead(RemotePath, kRemotePropertyName, kRemoteReadOption);
    } catch (...) {
        started = false;
    }
    if (!started) raiseRemoteLoadFailure();
}

void ucAniGIF::UserControl_AsyncReadComplete(std::string_view /*PropertyName*/,
                                             std::span<const uint8_t> Value, int64_t BytesRead,
                                             std::shared_ptr<const void> keeper) {
    // Never trust the reported count beyond the data actually delivered.
    const int64_t n = std::clamp<int64_t>(BytesRead, 0, static_cast<int64_t>(Value.size()));
    if (n < kMinRemoteBytes || n > maxStreamBytes(*this)) {
        raiseRemoteLoadFailure();
        return;
    }
    // GifBytes is left alone until a download is accepted: it may still hold the frames a
    // deferred decode has yet to build, or a design-time GIF waiting to be stored.
    bool proceed = false;
    // Not a GIF, or frames that would pass the budget: a load that cannot be made, told before
    // the download is announced.
    if (!isGifSignature(Value) || !loadFitsBudget(Value.first(static_cast<size_t>(n)))) {
        raiseRemoteLoadFailure();
    } else {
        // The logical screen size from the header, in the container's units.
        const int32_t w = Value[6] | (Value[7] << 8);
        const int32_t h = Value[8] | (Value[9] << 8);
        bool cancel = false;
        platform::EventArg args[] = {
            {"gifWidth", static_cast<float>(std::floor(host_->scaleX(w)))},
            {"gifHeight", static_cast<float>(std::floor(host_->scaleY(h)))},
            {"Cancel", cancel}};
        host_->raiseEvent(EventRemoteLoadComplete, "RemoteLoadComplete", args);
        if (const bool* c = std::get_if<bool>(&args[2].value)) cancel = *c;
        proceed = !cancel;
    }
    if (!proceed) return;
    int32_t loaded = 0;
    try {
        loaded = loadAndStartFrom(Value.first(static_cast<size_t>(n)), std::move(keeper));
    } catch (...) {
        raiseRemoteLoadFailure();  // no memory for it: what is on show stays
        return;
    }
    if (loaded != 0) resizeAfterLoad();
}

void ucAniGIF::UserControl_AsyncReadProgress(std::string_view PropertyName, int32_t StatusCode,
                                             int64_t /*BytesRead*/) {
    if (StatusCode != 0) return;
    try {
        host_->cancelAsyncRead(PropertyName);
    } catch (...) {
    }
    raiseRemoteLoadFailure();
}

void ucAniGIF::AnimatedGIF(const Picture* aGif) {
    if (host_->userMode()) return;
    if (aGif == nullptr) {
        GifBytes.clear();
    } else {
        holdGifBytes(aGif->bytes());
    }
    if (LoadAndStart() != 0 && !host_->userMode()) {
        // A picture placed at design time takes its own size.
        const int32_t stretch = stretchMode;
        stretchMode = StretchAutoSize;
        try {
            UserControl_Resize();
        } catch (...) {
            stretchMode = stretch;
            throw;
        }
        stretchMode = stretch;
        scaleX = scaleY = 1.0F;
    }
    host_->refresh();
    host_->propertyChanged("AnimatedGIF");
}

void ucAniGIF::resizeAfterLoad() {
    if (stretchMode == StretchFit || stretchMode == StretchShrink || stretchMode == StretchAutoSize)
        UserControl_Resize();
}

bool ucAniGIF::loadFitsBudget(std::span<const uint8_t> bytes) const {
    // A control of its own, in this one's run mode, decode mode and budget, parses the bytes
    // where they lie; what is on show here is not touched.
    ProbeHost probeHost(host_->userMode());
    const auto probe = std::make_unique<ucAniGIF>(probeHost);
    probe->delayMode = delayMode;
    probe->memoryBudget = memoryBudget;
    probe->GifBytes.borrow(bytes);
    probe->fillPowersOfTwo();
    const bool fits = probe->ParseGif() == 0 || probe->loadNeedBytes() <= probe->MemoryBudget();
    probe->GifBytes.clear();
    return fits;
}

void ucAniGIF::raiseRemoteLoadFailure() {
    host_->raiseEvent(EventRemoteLoadFailure, "RemoteLoadFailure", {});
}

}  // namespace anigif
