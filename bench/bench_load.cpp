// Load speed and memory of the GIF control against its peers, in one process, on GIFs generated
// here and encoded with giflib's encoder:
//   memcpy   copying the GIF bytes once (the floor)
//   giflib   raw giflib decoding of every frame to indices (DGifSlurp)
//   qt       Qt's QImageReader reading every frame (only when built with Qt)
//   anigif   the control's whole load: ParseGif and both passes of BuildFrames, on every core
//            (anigif-1thread: the same on the calling thread alone; anigif-giflib-1thread: with
//            giflib's LZW decoder instead of ours)
// --paired=N also times the LZW decoders alone on every frame (ours, giflib's DGifGetLine, and
// a memcpy of the same indices as the floor), in MB of indices per second.
// After the runs a table of ratios is printed, and the peak memory of each load is measured in a
// child process against GIF bytes + strip + composite + mask.
//
//   bench_load [--benchmark_filter=...] [--benchmark_repetitions=N] [--no-memory] [--paired=N]
// The ratio table uses CPU time, the best of the repetitions (wall time for the control's
// parallel load). --paired=N adds the median ratios of N back-to-back peer and control loads of
// each workload, which hold up far better on a busy machine.
#include <benchmark/benchmark.h>
#include <gif_lib.h>
#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/gif_workloads.h"
#include "bench/paired_timing.h"
#include "gifcontrol/render/uc_ani_gif.h"
#include "gifcontrol/render/work_threads.h"
#include "platform/gif_decoder.h"
#include "platform/lzw_decoder.h"
#include "tests/support/headless_control.h"

#ifdef KAVRILO_BENCH_WITH_QT
#include <QBuffer>
#include <QByteArray>
#include <QCoreApplication>
#include <QImage>
#include <QImageReader>
#endif

namespace {

using Bytes = std::vector<uint8_t>;

// ---- Workloads (bench/gif_workloads.h) -----------------------------------------------------

using bench::decoration;
using bench::huge;
using bench::large;
using bench::manySmall;
using bench::Workload;

// ---- Peers -----------------------------------------------------------------------------------

struct Reader {
    const Bytes* bytes;
    size_t pos = 0;
};

int readFromVector(GifFileType* gif, GifByteType* out, int n) {
    auto* r = static_cast<Reader*>(gif->UserData);
    const size_t take = std::min(r->bytes->size() - r->pos, static_cast<size_t>(n));
    std::memcpy(out, r->bytes->data() + r->pos, take);
    r->pos += take;
    return static_cast<int>(take);
}

int giflibDecode(const Bytes& bytes) {
    Reader r{&bytes};
    int error = 0;
    GifFileType* gif = DGifOpen(&r, readFromVector, &error);
    if (gif == nullptr) return 0;
    const int frames = DGifSlurp(gif) == GIF_OK ? gif->ImageCount : 0;
    if (frames > 0) benchmark::DoNotOptimize(gif->SavedImages[frames - 1].RasterBits[0]);
    DGifCloseFile(gif, &error);
    return frames;
}

#ifdef KAVRILO_BENCH_WITH_QT
int qtDecode(const Bytes& bytes) {
    QByteArray data = QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<qsizetype>(bytes.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "gif");
    int frames = 0;
    while (reader.canRead()) {
        QImage image = reader.read();
        if (image.isNull()) break;
        benchmark::DoNotOptimize(image.constBits());
        ++frames;
    }
    return frames;
}
#endif

// The control's whole load, both passes at once (DelayAnimation off), in run mode, on at most
// `threads` threads (0 = the default).
struct ControlLoad : giftest::HeadlessControl {
    explicit ControlLoad(const Bytes& bytes, int32_t threads = 0,
                         platform::GifFrameDecoder decoder = platform::GifFrameDecoder::Default)
        : HeadlessControl(100, 100) {
        gif->SetThreadLimit(threads);
        gif->SetFrameDecoder(decoder);
        gif->loadGifBytes(bytes);
    }
    int frames() const { return gif->FrameCount(); }
    // What a loaded GIF has to hold at least: its bytes, the strip, composite and mask.
    int64_t floorBytes(size_t gifBytes) const {
        int64_t n = static_cast<int64_t>(gifBytes);
        for (const auto* s : {gif->Strip.get(), gif->Composite.get(), gif->Mask.get()})
            if (s != nullptr) n += static_cast<int64_t>(s->sizeBytes());
        return n;
    }
};

// ---- Runs and the summary ---------------------------------------------------------------------

std::vector<Workload>& workloads() {
    static std::vector<Workload> all;
    return all;
}

// Seconds per iteration of each run, by name: CPU time, which stays meaningful on a busy machine,
// for the single-threaded loads; wall time for the control's parallel load.
class CapturingReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs)
            if (r.run_type == Run::RT_Iteration && r.iterations > 0 && !r.error_occurred) {
                // A wall-time run's name ends in "/real_time".
                std::string name = r.benchmark_name();
                const bool wall = name.ends_with("/real_time");
                if (wall) name.resize(name.size() - 10);
                const double t = (wall ? r.real_accumulated_time : r.cpu_accumulated_time) /
                                 double(r.iterations);
                auto [it, added] = seconds.emplace(name, t);
                if (!added) it->second = std::min(it->second, t);  // best of the repetitions
            }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> seconds;
};

void registerAll() {
    for (const Workload& w : workloads()) {
        const Workload* wp = &w;
        auto add = [&](const char* peer, auto fn) {
            return benchmark::RegisterBenchmark(
                       ("load/" + w.name + "/" + peer).c_str(),
                       [wp, fn](benchmark::State& state) {
                           int frames = 0;
                           for (auto _ : state) frames = fn(wp->bytes);
                           if (frames != wp->frames && frames != -1)
                               state.SkipWithError("wrong frame count");
                           state.SetBytesProcessed(state.iterations() * int64_t(wp->bytes.size()));
                           state.counters["Mpix/s"] = benchmark::Counter(
                               double(wp->pixels) * 1e-6 * double(state.iterations()),
                               benchmark::Counter::kIsRate);
                       })
                ->Unit(benchmark::kMillisecond);
        };
        add("memcpy", [](const Bytes& b) {
            Bytes copy(b);
            benchmark::DoNotOptimize(copy.data());
            return -1;
        });
        add("giflib", giflibDecode);
#ifdef KAVRILO_BENCH_WITH_QT
        add("qt", qtDecode);
#endif
        add("anigif-1thread", [](const Bytes& b) { return ControlLoad(b, 1).frames(); });
        add("anigif-giflib-1thread", [](const Bytes& b) {
            return ControlLoad(b, 1, platform::GifFrameDecoder::Giflib).frames();
        });
        add("anigif", [](const Bytes& b) { return ControlLoad(b).frames(); })->UseRealTime();
    }
}

void printRatios(const std::map<std::string, double>& s) {
    auto get = [&](const std::string& w, const char* peer) {
        auto it = s.find("load/" + w + "/" + peer);
        return it == s.end() ? 0.0 : it->second;
    };
    std::printf("\n%-24s %8s %9s %9s %9s %9s %9s %9s %9s\n", "workload", "GIF MiB", "giflib ms",
                "qt ms", "1thr ms", "par ms", "1thr/gif", "par/gif", "qt/par");
    for (const Workload& w : workloads()) {
        const double g = get(w.name, "giflib"), q = get(w.name, "qt"),
                     one = get(w.name, "anigif-1thread"), a = get(w.name, "anigif");
        if (a == 0 && one == 0) continue;
        std::printf("%-24s %8.2f %9.2f %9.2f %9.2f %9.2f %9.3f %9.3f %9.3f\n", w.name.c_str(),
                    double(w.bytes.size()) / 1048576.0, g * 1e3, q * 1e3, one * 1e3, a * 1e3,
                    g > 0 ? one / g : 0.0, g > 0 ? a / g : 0.0, a > 0 ? q / a : 0.0);
    }
}

// On a shared machine the best-of-repetitions ratio swings with the neighbours' load, as each
// peer is timed at another moment. Here each round loads the same file with giflib, Qt (when
// built with it), the control on one thread and the control on every core, back to back, and
// the median of the per-round ratios is printed: one thread against giflib in CPU time, as
// before; the parallel load against giflib and Qt in wall time (the peers run on one core, so
// their wall time is their CPU time plus what the neighbours take). Only workloads whose
// control load was run (see --benchmark_filter) are paired.
// "median [lowest..highest]" of per-round figures.
std::string spread(const std::vector<double>& v) {
    if (v.empty()) return "-";
    char text[64];
    std::snprintf(text, sizeof text, "%.3f [%.3f..%.3f]", bench::median(v),
                  *std::min_element(v.begin(), v.end()), *std::max_element(v.begin(), v.end()));
    return text;
}

void printPairedRatios(int pairs, const std::map<std::string, double>& ran) {
    std::printf("\ncores: %u (hardware threads); parallel loads use %d threads\n",
                std::thread::hardware_concurrency(), anigif::workThreads());
    std::printf("median [range] of %d paired rounds\n", pairs);
    std::printf("%-24s %-24s %-24s %-24s %-24s %-24s\n", "workload", "1thr/giflib (cpu)",
                "par/giflib (wall)", "par/qt (wall)", "par/1thr (wall)", "giflib-path/giflib");
    for (const Workload& w : workloads()) {
        if (ran.count("load/" + w.name + "/anigif") == 0 &&
            ran.count("load/" + w.name + "/anigif-1thread") == 0)
            continue;
        std::vector<double> oneGiflib, parGiflib, parQt, parOne, oldGiflib;
        for (int k = 0; k < pairs; ++k) {
            double gWall = 0, qWall = 0, oneWall = 0;
            const double g = bench::cpuSeconds([&] {
                gWall =
                    bench::wallSeconds([&] { benchmark::DoNotOptimize(giflibDecode(w.bytes)); });
            });
#ifdef KAVRILO_BENCH_WITH_QT
            qWall = bench::wallSeconds([&] { benchmark::DoNotOptimize(qtDecode(w.bytes)); });
#endif
            const double one = bench::cpuSeconds([&] {
                oneWall = bench::wallSeconds(
                    [&] { benchmark::DoNotOptimize(ControlLoad(w.bytes, 1).frames()); });
            });
            const double old = bench::cpuSeconds([&] {
                benchmark::DoNotOptimize(
                    ControlLoad(w.bytes, 1, platform::GifFrameDecoder::Giflib).frames());
            });
            const double par = bench::wallSeconds(
                [&] { benchmark::DoNotOptimize(ControlLoad(w.bytes).frames()); });
            if (g > 0) oneGiflib.push_back(one / g);
            if (g > 0) oldGiflib.push_back(old / g);
            if (gWall > 0) parGiflib.push_back(par / gWall);
            if (qWall > 0) parQt.push_back(par / qWall);
            if (oneWall > 0) parOne.push_back(par / oneWall);
        }
        if (oneGiflib.empty()) continue;
        std::printf("%-24s %-24s %-24s %-24s %-24s %-24s\n", w.name.c_str(),
                    spread(oneGiflib).c_str(), spread(parGiflib).c_str(), spread(parQt).c_str(),
                    spread(parOne).c_str(), spread(oldGiflib).c_str());
    }
}

// ---- The LZW decoders alone --------------------------------------------------------------------

// One frame's image data without the sub-block length bytes, and its size.
struct FrameCodes {
    int minCodeSize = 0;
    int32_t width = 0, height = 0;
    bool interlaced = false;
    Bytes codes;
};

std::vector<FrameCodes> framesOf(const Bytes& s) {
    std::vector<FrameCodes> frames;
    size_t pos = 13;
    if (s.size() < pos) return frames;
    if (s[10] & 0x80) pos += 3 * (size_t{2} << (s[10] & 7));
    auto blocks = [&](Bytes* into) {
        while (pos < s.size() && s[pos] != 0) {
            const size_t n = s[pos];
            if (into != nullptr && pos + 1 + n <= s.size())
                into->insert(into->end(), s.begin() + long(pos + 1), s.begin() + long(pos + 1 + n));
            pos += n + 1;
        }
        ++pos;
    };
    while (pos < s.size()) {
        if (s[pos] == 0x21) {
            pos += 2;
            blocks(nullptr);
        } else if (s[pos] == 0x2C && pos + 11 <= s.size()) {
            FrameCodes f;
            f.width = s[pos + 5] | s[pos + 6] << 8;
            f.height = s[pos + 7] | s[pos + 8] << 8;
            f.interlaced = (s[pos + 9] & 0x40) != 0;
            const uint8_t packed = s[pos + 9];
            pos += 10;
            if (packed & 0x80) pos += 3 * (size_t{2} << (packed & 7));
            f.minCodeSize = s[pos++];
            blocks(&f.codes);
            frames.push_back(std::move(f));
        } else {
            break;
        }
    }
    return frames;
}

// giflib's own line decoder on every frame, as DGifSlurp drives it but into one reused buffer.
void giflibLines(const Bytes& bytes, Bytes& out) {
    Reader r{&bytes};
    int error = 0;
    GifFileType* gif = DGifOpen(&r, readFromVector, &error);
    if (gif == nullptr) return;
    GifRecordType type;
    while (DGifGetRecordType(gif, &type) == GIF_OK && type != TERMINATE_RECORD_TYPE) {
        if (type == IMAGE_DESC_RECORD_TYPE) {
            if (DGifGetImageDesc(gif) == GIF_ERROR) break;
            const size_t n = size_t(gif->Image.Width) * size_t(gif->Image.Height);
            if (out.size() < n) out.resize(n);
            if (DGifGetLine(gif, out.data(), int(n)) == GIF_ERROR) break;
        } else if (type == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* block = nullptr;
            if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) break;
            while (block != nullptr)
                if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) break;
        }
    }
    DGifCloseFile(gif, &error);
}

void printDecoderAlone(int pairs) {
    std::printf(
        "\nLZW decoders alone, every frame into one buffer, MB of indices per second: "
        "median [range] of %d rounds\n",
        pairs);
    std::printf("%-24s %-26s %-26s %-26s %-22s %-22s\n", "workload", "ours", "giflib DGifGetLine",
                "memcpy (floor)", "ours/giflib (speed)", "ours/memcpy (time)");
    for (const Workload& w : workloads()) {
        const std::vector<FrameCodes> frames = framesOf(w.bytes);
        double indices = 0;
        size_t most = 0;
        for (const FrameCodes& f : frames) {
            indices += double(f.width) * f.height;
            most = std::max(most, size_t(f.width) * size_t(f.height));
        }
        Bytes out(most), source(most, 1);
        std::vector<double> ours, theirs, floor, speedup, toFloor;
        for (int k = 0; k < pairs; ++k) {
            const double a = bench::cpuSeconds([&] {
                for (const FrameCodes& f : frames) {
                    const platform::LzwLines lines{out.data(), f.width, f.width, f.height,
                                                   f.interlaced};
                    benchmark::DoNotOptimize(platform::decodeLzw(f.minCodeSize, f.codes, lines));
                }
            });
            const double b = bench::cpuSeconds([&] { giflibLines(w.bytes, out); });
            const double c = bench::cpuSeconds([&] {
                for (const FrameCodes& f : frames) {
                    std::memcpy(out.data(), source.data(), size_t(f.width) * size_t(f.height));
                    benchmark::DoNotOptimize(out.data());
                    benchmark::ClobberMemory();
                }
            });
            ours.push_back(indices / a * 1e-6);
            theirs.push_back(indices / b * 1e-6);
            floor.push_back(indices / std::max(c, 1e-9) * 1e-6);
            speedup.push_back(b / a);
            toFloor.push_back(a / std::max(c, 1e-9));
        }
        auto mb = [](const std::vector<double>& v) {
            char text[64];
            std::snprintf(text, sizeof text, "%.0f [%.0f..%.0f]", bench::median(v),
                          *std::min_element(v.begin(), v.end()),
                          *std::max_element(v.begin(), v.end()));
            return std::string(text);
        };
        std::printf("%-24s %-26s %-26s %-26s %-22s %-22s\n", w.name.c_str(), mb(ours).c_str(),
                    mb(theirs).c_str(), mb(floor).c_str(), spread(speedup).c_str(),
                    spread(toFloor).c_str());
    }
}

// ---- Memory ----------------------------------------------------------------------------------

int64_t statusKiB(const char* key) {
    std::ifstream in("/proc/self/status");
    std::string line;
    const size_t n = std::strlen(key);
    while (std::getline(in, line))
        if (line.compare(0, n, key) == 0) return std::stoll(line.substr(n + 1));
    return -1;
}

// Loads each workload in a child process and reports its peak resident growth during the load.
void measureMemory() {
    std::printf("\n%-24s %12s %12s %8s\n", "workload", "peak MiB", "floor MiB", "ratio");
    for (const Workload& w : workloads()) {
        int fds[2];
        if (pipe(fds) != 0) return;
        const pid_t pid = fork();
        if (pid == 0) {
            close(fds[0]);
            // Large blocks come straight from the system, and free heap memory left by earlier
            // work goes back to it, so that the resident size shows what the load itself holds.
            mallopt(M_MMAP_THRESHOLD, 128 * 1024);
            { ControlLoad warmUp(w.bytes); }  // code pages and one-time set-up are not the load's
            malloc_trim(0);
            double result[2] = {-1, -1};
            std::ofstream("/proc/self/clear_refs") << "5";  // reset the peak to the current size
            const int64_t before = statusKiB("VmRSS:");
            ControlLoad load(w.bytes);
            const int64_t peak = statusKiB("VmHWM:");
            if (before >= 0 && peak >= 0 && load.frames() == w.frames) {
                result[0] = double(peak - before) * 1024.0;
                result[1] = double(load.floorBytes(w.bytes.size()));
            }
            if (write(fds[1], result, sizeof result) != sizeof result) _exit(1);
            _exit(0);
        }
        close(fds[1]);
        double result[2] = {-1, -1};
        if (pid > 0 && read(fds[0], result, sizeof result) != sizeof result) result[0] = -1;
        close(fds[0]);
        if (pid > 0) waitpid(pid, nullptr, 0);
        if (result[0] < 0) {
            std::printf("%-24s %12s\n", w.name.c_str(), "failed");
            continue;
        }
        std::printf("%-24s %12.2f %12.2f %8.3f\n", w.name.c_str(), result[0] / 1048576.0,
                    result[1] / 1048576.0, result[0] / result[1]);
    }
}

}  // namespace

int main(int argc, char** argv) {
#ifdef KAVRILO_BENCH_WITH_QT
    QCoreApplication app(argc, argv);
#endif
    bool memory = true;
    int pairs = 0;
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--no-memory") == 0)
            memory = false;
        else if (std::strncmp(argv[i], "--paired=", 9) == 0)
            pairs = std::max(0, std::atoi(argv[i] + 9));
        else
            args.push_back(argv[i]);
    }
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());

    for (bool interlaced : {false, true}) {
        for (auto make : {decoration, large, huge, manySmall}) {
            Workload w = make(interlaced);
            if (w.bytes.empty()) {
                std::fprintf(stderr, "could not encode %s\n", w.name.c_str());
                return 1;
            }
            if (interlaced) w.name += "-interlaced";
            workloads().push_back(std::move(w));
        }
    }
    registerAll();
    CapturingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    printRatios(reporter.seconds);
    if (pairs > 0) printPairedRatios(pairs, reporter.seconds);
    if (pairs > 0) printDecoderAlone(pairs);
    if (memory) measureMemory();
    benchmark::Shutdown();
    return 0;
}
