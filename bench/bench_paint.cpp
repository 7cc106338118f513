// Painting speed: one paint per frame over a whole animation, on the composite path and on the
// direct path, unstretched and stretched to 0.72 (as in the main window), against
//   floor    a plain memory copy of the same 24-bit target, once per frame
//   qmovie   Qt's QMovie advancing through the same animation (decode and compose per frame;
//            only when built with Qt)
// Stretched paints run twice: as a looping animation paints (the control keeps each frame's
// scaled pixels) and as a first pass (nothing kept). Times are per whole animation; the table
// after the runs prints the ratios.
//
//   bench_paint [--benchmark_filter=...] [--benchmark_repetitions=N] [--paired=N]
// --paired=N adds the median ratios of N rounds in which each ratio's peers run back to back,
// which hold up far better on a busy machine: on one thread in CPU time, and the first pass on
// every core (large targets are averaged in row bands on several threads) in wall time.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/paired_timing.h"
#include "gifcontrol/render/uc_ani_gif.h"
#include "gifcontrol/render/work_threads.h"
#include "tests/support/gif_builder.h"
#include "tests/support/headless_control.h"

#ifdef KAVRILO_BENCH_WITH_QT
#include <QBuffer>
#include <QByteArray>
#include <QGuiApplication>
#include <QImage>
#include <QMovie>
#endif

namespace {

using giftest::Bytes;

constexpr int kSide = 500;
constexpr int kFrames = 12;
constexpr float kStretch = 0.72f;

// 500 x 500 animations of drawn-looking artwork: a full first frame, then frames of moving
// shapes. "composite": partial frames with transparency and every disposal method, so the
// control composes them; "direct": full frames that all restore to the background, so it draws
// each straight from the strip.
Bytes makeAnimation(bool composite) {
    std::vector<uint32_t> palette(256);
    for (uint32_t i = 0; i < 256; ++i)
        palette[i] = ((i * 7) & 0xFF) << 16 | ((255 - i) & 0xFF) << 8 | ((i * 3) & 0xFF);
    giftest::GifBuilder b;
    b.screen(kSide, kSide).globalTable(palette).loop(0);
    for (int k = 0; k < kFrames; ++k) {
        const bool full = !composite || k == 0;
        const int w = full ? kSide : 200, h = full ? kSide : 160;
        auto f = giftest::makeFrame(w, h, [&](int x, int y) {
            const int dx = x - w / 2, dy = y - h / 2;
            if (!full && dx * dx + dy * dy > (h / 2) * (h / 2)) return uint8_t{0};  // transparent
            return static_cast<uint8_t>(1 + ((x / 24 + y / 20 + k) % 40) * 6);
        });
        f.control = true;
        f.delayCs = 10;
        if (composite) {
            f.left = full ? 0 : (k * 29) % (kSide - w);
            f.top = full ? 0 : (k * 47) % (kSide - h);
            f.disposal = full ? 1 : 1 + k % 3;
            f.transparent = !full;
        } else {
            f.disposal = 2;
            f.transparent = k % 2 == 1;  // every other frame shows the host through index 0
        }
        f.transIndex = 0;
        b.frame(f);
    }
    return b.build();
}

// A loaded control ready to paint onto its own target of the control's inner size.
struct Painter : giftest::HeadlessControl {
    std::unique_ptr<platform::Surface> target;

    static double side(bool stretched) { return stretched ? kSide * double(kStretch) : kSide; }
    Painter(const Bytes& bytes, bool stretched)
        : HeadlessControl(side(stretched), side(stretched)) {
        gif->Stretch(anigif::StretchFit);  // the default: scaled to the control
        gif->loadGifBytes(bytes);
        gif->Action(anigif::ActionPause);
        const auto px = static_cast<int32_t>(std::lround(side(stretched)));
        target = platform::Surface::create(24, px, px);
        target->fill(0, 0, px, px, 0xC0C0C0);
    }
    int32_t frames() const { return gif->FrameCount(); }
};

// firstPass: the scaled frames kept from earlier paints are dropped before every pass, so
// each paint averages its frame again (what the first loop of an animation costs).
void paintAnimation(benchmark::State& state, const Bytes& bytes, bool stretched, bool wantComposite,
                    bool firstPass = false) {
    Painter p(bytes, stretched);
    if (p.frames() != kFrames || (p.gif->Composite != nullptr) != wantComposite) {
        state.SkipWithError("unexpected load");
        return;
    }
    for (auto _ : state) {
        if (firstPass) p.gif->releaseScaledFrames();
        for (int32_t i = 1; i <= kFrames; ++i) p.gif->PaintFrame(i, *p.target);
        benchmark::DoNotOptimize(p.target->bits());
        benchmark::ClobberMemory();
    }
    state.counters["kept_MiB"] = double(p.gif->scaledFramesBytes()) / (1 << 20);
}

void floorCopy(benchmark::State& state) {
    auto src = platform::Surface::create(24, kSide, kSide);
    auto dst = platform::Surface::create(24, kSide, kSide);
    src->fill(0, 0, kSide, kSide, 0x123456);
    for (auto _ : state) {
        for (int i = 0; i < kFrames; ++i) {
            std::memcpy(dst->bits(), src->bits(), dst->sizeBytes());
            benchmark::DoNotOptimize(dst->bits());
            benchmark::ClobberMemory();
        }
    }
}

#ifdef KAVRILO_BENCH_WITH_QT
// Plays the animation once through QMovie; the number of frames shown.
int playWithQMovie(const Bytes& bytes) {
    QBuffer buffer;
    buffer.setData(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<qsizetype>(bytes.size()));
    QMovie movie(&buffer, "gif");
    movie.setCacheMode(QMovie::CacheNone);
    int shown = 0;
    while (shown < kFrames && movie.jumpToNextFrame()) {
        const QImage image = movie.currentImage();
        benchmark::DoNotOptimize(image.constBits());
        ++shown;
    }
    return shown;
}

void qmovieAnimation(benchmark::State& state, const Bytes& bytes) {
    for (auto _ : state) {
        if (playWithQMovie(bytes) != kFrames) {
            state.SkipWithError("QMovie did not show every frame");
            return;
        }
    }
}
#endif

// On a shared machine a best-of ratio swings with the neighbours' load, as each peer is timed at
// another moment. Here the peers of one ratio run back to back, round after round, and the
// median of the per-round ratios is printed.
void printPairedRatios(int rounds, const Bytes& composite, const Bytes& direct) {
    auto floor = platform::Surface::create(24, kSide, kSide);
    auto copy = platform::Surface::create(24, kSide, kSide);
    auto copies = [&] {
        for (int i = 0; i < kFrames; ++i) {
            std::memcpy(copy->bits(), floor->bits(), copy->sizeBytes());
            benchmark::DoNotOptimize(copy->bits());
            benchmark::ClobberMemory();
        }
    };
    auto animation = [](Painter& p) {
        for (int32_t i = 1; i <= kFrames; ++i) p.gif->PaintFrame(i, *p.target);
        benchmark::DoNotOptimize(p.target->bits());
    };
    // ANIGIF_THREADS=1 for the one-thread figures; what the caller set for the parallel ones.
    const char* set = std::getenv("ANIGIF_THREADS");
    const std::string callerThreads = set ? set : "";
    auto threads = [&](bool one) {
        if (one)
            setenv("ANIGIF_THREADS", "1", 1);
        else if (set)
            setenv("ANIGIF_THREADS", callerThreads.c_str(), 1);
        else
            unsetenv("ANIGIF_THREADS");
    };
    std::printf("\nPaired medians over %d rounds (back-to-back runs of each ratio's peers)\n",
                rounds);
    std::printf("cores: %u (hardware threads); parallel paints use %d threads\n",
                std::thread::hardware_concurrency(), anigif::workThreads());
    // First passes are timed on a control whose kept frames were just released (what an
    // animation replacing another finds), and, as "fresh", on a new control after the heap has
    // returned its free memory to the system (what the first animation of a new process finds):
    // the kept frames' pages are then faulted in as they are written.
    std::printf("%-10s %9s %9s %9s %9s %9s %9s\n", "path", "str/uns", "1st/uns", "1st/uns",
                "1st/uns", "x floor", "qm/uns");
    std::printf("%-10s %9s %9s %9s %9s %9s %9s\n", "", "1 thread", "1 thread", "parallel", "fresh",
                "", "");
    for (const bool isComposite : {true, false}) {
        const Bytes& bytes = isComposite ? composite : direct;
        Painter plain(bytes, false), scaled(bytes, true), first(bytes, true);
        animation(plain);
        animation(scaled);  // keeps the scaled frames
        std::vector<double> stretched, firstPass, firstParallel, firstFresh, floorRatio, qmovie;
        for (int k = 0; k < rounds; ++k) {
            threads(true);
            const double un = bench::cpuSeconds([&] { animation(plain); });
            stretched.push_back(bench::cpuSeconds([&] { animation(scaled); }) / un);
            first.gif->releaseScaledFrames();
            firstPass.push_back(bench::cpuSeconds([&] { animation(first); }) / un);
            floorRatio.push_back(un / bench::cpuSeconds(copies));
            {
                Painter fresh(bytes, true);  // a new control: nothing kept, no memory of its own
                malloc_trim(0);
                firstFresh.push_back(bench::cpuSeconds([&] { animation(fresh); }) / un);
            }
            threads(false);
            const double unWall = bench::wallSeconds([&] { animation(plain); });
            first.gif->releaseScaledFrames();
            firstParallel.push_back(bench::wallSeconds([&] { animation(first); }) / unWall);
            threads(true);
#ifdef KAVRILO_BENCH_WITH_QT
            qmovie.push_back(bench::cpuSeconds([&] { playWithQMovie(bytes); }) / un);
#endif
        }
        std::printf("%-10s %8.2fx %8.2fx %8.2fx %8.2fx %8.2fx %8.2fx\n",
                    isComposite ? "composite" : "direct", bench::median(stretched),
                    bench::median(firstPass), bench::median(firstParallel),
                    bench::median(firstFresh), bench::median(floorRatio), bench::median(qmovie));
    }
}

// Keeps the fastest CPU time (milliseconds) of each benchmark over its repetitions.
class BestReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const auto& r : runs) {
            if (r.error_occurred || r.run_type != Run::RT_Iteration) continue;
            const double ms = r.GetAdjustedCPUTime();  // every run reports milliseconds
            auto [it, added] = millis.emplace(r.run_name.function_name, ms);
            if (!added) it->second = std::min(it->second, ms);
        }
    }
    std::map<std::string, double> millis;
};

}  // namespace

int main(int argc, char** argv) {
#ifdef KAVRILO_BENCH_WITH_QT
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
#endif
    const Bytes composite = makeAnimation(true);
    const Bytes direct = makeAnimation(false);

    auto reg = [](const std::string& name, auto fn) {
        benchmark::RegisterBenchmark(name.c_str(), fn)->Unit(benchmark::kMillisecond);
    };
    reg("floor/memcpy", floorCopy);
    for (const bool stretched : {false, true}) {
        const std::string scale = stretched ? "stretched" : "unstretched";
        reg("paint/composite/" + scale,
            [&, stretched](benchmark::State& s) { paintAnimation(s, composite, stretched, true); });
        reg("paint/direct/" + scale,
            [&, stretched](benchmark::State& s) { paintAnimation(s, direct, stretched, false); });
    }
    reg("paint/composite/stretched-first",
        [&](benchmark::State& s) { paintAnimation(s, composite, true, true, true); });
    reg("paint/direct/stretched-first",
        [&](benchmark::State& s) { paintAnimation(s, direct, true, false, true); });
#ifdef KAVRILO_BENCH_WITH_QT
    reg("qmovie/composite", [&](benchmark::State& s) { qmovieAnimation(s, composite); });
    reg("qmovie/direct", [&](benchmark::State& s) { qmovieAnimation(s, direct); });
#endif

    int rounds = 0;
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        if (std::strncmp(argv[i], "--paired=", 9) == 0)
            rounds = std::max(0, std::atoi(argv[i] + 9));
        else
            args.push_back(argv[i]);
    }
    argc = static_cast<int>(args.size());
    argv = args.data();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    BestReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    auto ms = [&](const std::string& name) {
        const auto it = reporter.millis.find(name);
        return it == reporter.millis.end() ? 0.0 : it->second;
    };
    auto ratio = [](double a, double b) { return a > 0 && b > 0 ? a / b : 0.0; };
    std::printf("\n%d frames of %dx%d, times per whole animation (best CPU ms)\n", kFrames, kSide,
                kSide);
    std::printf("%-10s %11s %10s %9s %10s %9s %9s %8s %9s\n", "path", "unstretched", "stretched",
                "str/uns", "1st pass", "1st/uns", "x floor", "qmovie", "qm/uns");
    for (const char* path : {"composite", "direct"}) {
        const double un = ms(std::string("paint/") + path + "/unstretched");
        const double st = ms(std::string("paint/") + path + "/stretched");
        const double first = ms(std::string("paint/") + path + "/stretched-first");
        const double qm = ms(std::string("qmovie/") + path);
        std::printf("%-10s %11.3f %10.3f %8.2fx %10.3f %8.2fx %8.2fx %8.3f %8.2fx\n", path, un, st,
                    ratio(st, un), first, ratio(first, un), ratio(un, ms("floor/memcpy")), qm,
                    ratio(qm, un));
    }
    std::printf("floor: %.3f ms for %d copies of the 24-bit target\n", ms("floor/memcpy"), kFrames);
    if (rounds > 0) printPairedRatios(rounds, composite, direct);
    return 0;
}
