// Playing in a window: what a GIF costs while it plays in an AniGifWidget, at its own size and
// stretched to 0.72, against Qt's QMovie in a QLabel playing the same GIF, on the display Qt
// runs on (run it in Xvfb for figures that include drawing to a real window). Workloads: the
// main window's decoration (practice/decoration.gif) and "large" (bench/gif_workloads.h).
//
//   bench_playback [--benchmark_filter=...]   CPU time of one frame on and painted (the widget's
//                                              step, which paints at once; QMovie's next frame
//                                              and a repaint of its label)
//   bench_playback --playback=S [--warm=W]     S seconds of real playback of each, after W
//                                              seconds of it (default 1): process CPU per
//                                              second of playing, and frames shown
//   bench_playback --against=PROGRAM --paired=N [--playback=S]
//       N rounds in which this program and PROGRAM (the same benchmark built from another tree)
//       each paint or play every case in a child process, back to back; prints the median of
//       the rounds' ratios this / PROGRAM.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QBuffer>
#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMovie>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "anigif/ani_gif_widget.h"
#include "bench/gif_workloads.h"
#include "bench/paired_timing.h"

namespace {

constexpr double kStretch = 0.72;
double warmSeconds = 1;  // playback before measuring

struct Case {
    std::string workload;  // "decoration" or "large"
    bool stretched = false;
    std::string name() const { return workload + (stretched ? "/stretched" : "/1x"); }
};

const std::vector<Case>& cases() {
    static const std::vector<Case> all = {
        {"decoration", false}, {"decoration", true}, {"large", false}, {"large", true}};
    return all;
}

QByteArray gifOf(const std::string& workload) {
    if (workload == "decoration") {
        QFile file(QStringLiteral(KAVRILO_SOURCE_DIR "/practice/decoration.gif"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    const bench::Bytes bytes = bench::large(false).bytes;
    return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<qsizetype>(bytes.size()));
}

double processCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

void waitExposed(QWidget& w) {
    w.show();
    QElapsedTimer timer;
    timer.start();
    while (!(w.windowHandle() && w.windowHandle()->isExposed()) && timer.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
}

// The GIF in a shown window, either player; advance() shows the next frame and paints it at once.
class Player {
  public:
    virtual ~Player() = default;
    virtual void advance() = 0;
    // Starts real playback; counts frames shown from then on.
    virtual void play() = 0;
    int shown = 0;
};

class WidgetPlayer : public Player {
  public:
    WidgetPlayer(const QByteArray& gif, bool stretched) {
        widget_.setDelayAnimation(anigif::AniGifWidget::DelayOff);
        widget_.setStretch(anigif::AniGifWidget::StretchFill);
        widget_.resize(1, 1);
        ok = widget_.loadData(gif);
        const double scale = stretched ? kStretch : 1.0;
        widget_.resize(qRound(widget_.actualWidth() * scale),
                       qRound(widget_.actualHeight() * scale));
        widget_.pause();
        waitExposed(widget_);
        QObject::connect(&widget_, &anigif::AniGifWidget::frameChanged, [this] { ++shown; });
    }
    void advance() override { widget_.step(); }
    void play() override { widget_.play(); }
    bool ok = false;

  private:
    anigif::AniGifWidget widget_;
};

class MoviePlayer : public Player {
  public:
    MoviePlayer(const QByteArray& gif, bool stretched) : bytes_(gif) {
        buffer_.setData(bytes_);
        movie_ = std::make_unique<QMovie>(&buffer_);
        movie_->jumpToFrame(0);
        const QSize size = movie_->currentImage().size();
        label_.setScaledContents(stretched);
        label_.setMovie(movie_.get());
        label_.resize(stretched
                          ? QSize(qRound(size.width() * kStretch), qRound(size.height() * kStretch))
                          : size);
        waitExposed(label_);
        QObject::connect(movie_.get(), &QMovie::frameChanged, [this] { ++shown; });
    }
    void advance() override {
        if (!movie_->jumpToNextFrame()) movie_->jumpToFrame(0);
        label_.repaint();
    }
    void play() override { movie_->start(); }

  private:
    QByteArray bytes_;
    QBuffer buffer_;
    std::unique_ptr<QMovie> movie_;
    QLabel label_;
};

std::unique_ptr<Player> makePlayer(bool movie, const Case& c) {
    const QByteArray gif = gifOf(c.workload);
    if (movie) return std::make_unique<MoviePlayer>(gif, c.stretched);
    auto w = std::make_unique<WidgetPlayer>(gif, c.stretched);
    return w->ok ? std::move(w) : nullptr;
}

// CPU seconds per frame over `frames` frames, after one round of warming up (kept frames made).
double cpuPerFrame(Player& p, int frames) {
    for (int i = 0; i < 120; ++i) p.advance();
    const double t0 = processCpuSeconds();
    for (int i = 0; i < frames; ++i) p.advance();
    return (processCpuSeconds() - t0) / frames;
}

// Process CPU seconds per second of real playback, and frames shown per second.
std::pair<double, double> playback(Player& p, double seconds) {
    p.play();
    QElapsedTimer warm;
    warm.start();
    while (warm.elapsed() < warmSeconds * 1000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    p.shown = 0;
    const double t0 = processCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
    const double elapsed = double(wall.nsecsElapsed()) * 1e-9;
    return {(processCpuSeconds() - t0) / elapsed, p.shown / elapsed};
}

void paintFrames(benchmark::State& state, bool movie, Case c) {
    auto p = makePlayer(movie, c);
    if (!p) {
        state.SkipWithError("the GIF did not load");
        return;
    }
    for (int i = 0; i < 120; ++i) p->advance();
    for (auto _ : state) p->advance();
}

// ---- Rounds against another build
// ----------------------------------------------------------------

// One child process of `program`: prints one figure per case (CPU per frame, or CPU per second
// of playback) on a line of its own.
std::vector<double> childFigures(const std::string& program, double playSeconds) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return {};
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(pipeFds[1], STDOUT_FILENO);
        close(pipeFds[0]);
        const std::string mode =
            playSeconds > 0 ? "--child-playback=" + std::to_string(playSeconds) : "--child-paint";
        const std::string warm = "--warm=" + std::to_string(warmSeconds);
        execl(program.c_str(), program.c_str(), mode.c_str(), warm.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipeFds[1]);
    std::string out;
    char buf[4096];
    for (ssize_t n; (n = read(pipeFds[0], buf, sizeof buf)) > 0;) out.append(buf, size_t(n));
    close(pipeFds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    std::vector<double> figures;
    for (size_t at = 0; at < out.size();) {
        const size_t end = out.find('\n', at);
        const std::string line = out.substr(at, end - at);
        if (line.rfind("figure ", 0) == 0) figures.push_back(std::atof(line.c_str() + 7));
        if (end == std::string::npos) break;
        at = end + 1;
    }
    return figures;
}

int childMode(double playSeconds) {
    for (const Case& c : cases()) {
        auto p = makePlayer(false, c);
        const double v = !p                ? 0
                         : playSeconds > 0 ? playback(*p, playSeconds).first
                                           : cpuPerFrame(*p, 600);
        std::printf("figure %.9f %s\n", v, c.name().c_str());
    }
    return 0;
}

int againstMode(const std::string& self, const std::string& other, int rounds, double playSeconds) {
    std::map<std::string, std::vector<double>> ratios, mine, theirs;
    for (int r = 0; r < rounds; ++r) {
        // Alternate which goes first, so that neither always meets the warmer machine.
        const bool selfFirst = r % 2 == 0;
        const auto a = childFigures(selfFirst ? self : other, playSeconds);
        const auto b = childFigures(selfFirst ? other : self, playSeconds);
        const auto& s = selfFirst ? a : b;
        const auto& o = selfFirst ? b : a;
        if (s.size() != cases().size() || o.size() != cases().size()) {
            std::fprintf(stderr, "bench_playback: a child gave no figures\n");
            return 1;
        }
        for (size_t i = 0; i < cases().size(); ++i) {
            const std::string name = cases()[i].name();
            mine[name].push_back(s[i]);
            theirs[name].push_back(o[i]);
            if (o[i] > 0) ratios[name].push_back(s[i] / o[i]);
        }
    }
    const char* unit = playSeconds > 0 ? "ms CPU / s" : "ms CPU / frame";
    std::printf("\n%-22s %14s %14s %10s   (%s, median of %d rounds)\n", "case", "this", "other",
                "ratio", unit, rounds);
    for (const Case& c : cases()) {
        const std::string name = c.name();
        std::printf("%-22s %14.3f %14.3f %10.3f\n", name.c_str(), bench::median(mine[name]) * 1e3,
                    bench::median(theirs[name]) * 1e3, bench::median(ratios[name]));
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string other;
    int rounds = 0;
    double playSeconds = 0;
    bool child = false;
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        if (std::strncmp(argv[i], "--against=", 10) == 0) {
            other = argv[i] + 10;
        } else if (std::strncmp(argv[i], "--paired=", 9) == 0) {
            rounds = std::max(1, std::atoi(argv[i] + 9));
        } else if (std::strncmp(argv[i], "--warm=", 7) == 0) {
            warmSeconds = std::max(0.0, std::atof(argv[i] + 7));
        } else if (std::strncmp(argv[i], "--playback=", 11) == 0) {
            playSeconds = std::atof(argv[i] + 11);
        } else if (std::strcmp(argv[i], "--child-paint") == 0) {
            child = true;
        } else if (std::strncmp(argv[i], "--child-playback=", 17) == 0) {
            child = true;
            playSeconds = std::atof(argv[i] + 17);
        } else {
            args.push_back(argv[i]);
        }
    }
    if (!other.empty()) return againstMode(argv[0], other, std::max(rounds, 1), playSeconds);

    QApplication app(argc, argv);
    if (child) return childMode(playSeconds);
    if (playSeconds > 0) {
        std::printf("%-26s %12s %10s %12s\n", "player/case", "ms CPU / s", "frames/s",
                    "ms / frame");
        for (const Case& c : cases())
            for (const bool movie : {false, true}) {
                auto p = makePlayer(movie, c);
                if (!p) continue;
                const auto [cpu, fps] = playback(*p, playSeconds);
                std::printf("%-26s %12.2f %10.2f %12.3f\n",
                            ((movie ? "qmovie/" : "anigif/") + c.name()).c_str(), cpu * 1e3, fps,
                            fps > 0 ? cpu / fps * 1e3 : 0.0);
            }
        return 0;
    }
    for (const Case& c : cases())
        for (const bool movie : {false, true})
            benchmark::RegisterBenchmark(((movie ? "qmovie/" : "anigif/") + c.name()).c_str(),
                                         paintFrames, movie, c)
                ->Unit(benchmark::kMicrosecond)
                ->MeasureProcessCPUTime();
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
