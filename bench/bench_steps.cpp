// Stepping through an animation paused, as a viewer does: a step back against a step forward on
// the "large" workload (500 x 500, 100 frames, every disposal), each a paint of the frame at
// 1:1. A step forward composes one frame on the composite; a step back composes from the
// nearest composite kept every few frames. Peers, timed back to back in each round:
//   forward     frames 1 .. 100 in order
//   back        frames 100 .. 1, each from the one after it
//   from-first  the same steps back with nothing kept (composing from frame 1 every time)
// Also: playing the "huge" workload (1920 x 1080, 20 frames) fitted into a 900 x 500 window on
// one thread, first pass and looping, against its own frame delay.
//
//   bench_steps [--rounds=N]
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench/gif_workloads.h"
#include "bench/paired_timing.h"
#include "gifcontrol/render/uc_ani_gif.h"
#include "tests/support/headless_control.h"

namespace {

struct Stage : giftest::HeadlessControl {
    std::unique_ptr<platform::Surface> target;
    Stage(const bench::Bytes& bytes, double w, double h, int32_t stretch) : HeadlessControl(w, h) {
        gif->Stretch(stretch);
        gif->SetThreadLimit(1);
        gif->loadGifBytes(bytes);
        gif->Action(anigif::ActionPause);
        target = platform::Surface::create(24, int32_t(std::lround(w)), int32_t(std::lround(h)));
    }
    void paint(int32_t k) { gif->PaintFrame(k, *target); }
};

}  // namespace

int main(int argc, char** argv) {
    int rounds = 7;
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], "--rounds=", 9) == 0)
            rounds = std::max(1, std::atoi(argv[i] + 9));

    const bench::Workload large = bench::large(false);
    Stage s(large.bytes, 500, 500, anigif::StretchNone);
    const int32_t n = s.gif->FrameCount();
    if (n != large.frames || !s.gif->Composite) {
        std::fprintf(stderr, "bench_steps: the large workload did not load as expected\n");
        return 1;
    }
    for (int32_t k = 1; k <= n; ++k) s.paint(k);  // a first pass, as playing does

    std::vector<double> forward(size_t(n) + 1), back(size_t(n) + 1);
    std::vector<std::vector<double>> fwdRounds(size_t(n) + 1), backRounds(size_t(n) + 1);
    std::vector<double> totalRatio, firstRatio;
    for (int r = 0; r < rounds; ++r) {
        double f = 0, b = 0, first = 0;
        s.paint(1);
        for (int32_t k = 2; k <= n; ++k) {
            const double t = bench::cpuSeconds([&] { s.paint(k); });
            fwdRounds[size_t(k)].push_back(t);
            f += t;
        }
        for (int32_t k = n - 1; k >= 1; --k) {
            const double t = bench::cpuSeconds([&] { s.paint(k); });
            backRounds[size_t(k)].push_back(t);
            b += t;
        }
        // Nothing kept: every step back composes from frame 1 (every tenth step, to keep the
        // round short; scaled to all of them).
        int steps = 0;
        for (int32_t k = n - 1; k >= 1; k -= 10) {
            s.paint(k + 1);
            s.gif->dropKeptComposites();
            first += bench::cpuSeconds([&] { s.paint(k); });
            ++steps;
        }
        for (int32_t k = 1; k <= n; ++k) s.paint(k);  // keep them again
        totalRatio.push_back(b / f);
        firstRatio.push_back(first / steps * (n - 1) / f);
    }
    // Wherever it lands: the worst step back against the median step forward.
    std::vector<double> fwdMedians;
    for (int32_t k = 2; k <= n; ++k) fwdMedians.push_back(bench::median(fwdRounds[size_t(k)]));
    const double fwdStep = bench::median(fwdMedians);
    double worst = 0;
    int32_t worstAt = 0;
    for (int32_t k = 1; k < n; ++k) {
        const double t = bench::median(backRounds[size_t(k)]);
        if (t > worst) worst = t, worstAt = k;
    }
    std::printf("large, 1:1, %d rounds (one thread, CPU time)\n", rounds);
    std::printf("  step forward (median)         %8.3f ms\n", fwdStep * 1e3);
    std::printf("  back / forward, all steps     %8.2f x\n", bench::median(totalRatio));
    std::printf("  worst step back / forward     %8.2f x  (to frame %d)\n", worst / fwdStep,
                worstAt);
    std::printf("  from frame 1 / forward        %8.2f x  (nothing kept)\n",
                bench::median(firstRatio));
    std::printf("  kept composites               %8.2f MiB\n",
                double(s.gif->keptCompositeBytes()) / (1 << 20));

    // The huge workload fitted into a 900 x 500 window: scale 500 / 1080.
    const bench::Workload huge = bench::huge(false);
    const double scale = 500.0 / 1080;
    Stage h(huge.bytes, 1920 * scale, 1080 * scale, anigif::StretchFit);
    const int32_t hn = h.gif->FrameCount();
    std::vector<double> firstPass, looping;
    for (int r = 0; r < std::max(3, rounds / 2); ++r) {
        h.gif->releaseScaledFrames();
        firstPass.push_back(bench::cpuSeconds([&] {
                                for (int32_t k = 1; k <= hn; ++k) h.paint(k);
                            }) /
                            hn);
        looping.push_back(bench::cpuSeconds([&] {
                              for (int32_t k = 1; k <= hn; ++k) h.paint(k);
                          }) /
                          hn);
    }
    const double delay = h.gif->Frames(1).Delay / 1000.0;
    std::printf("huge fitted to %d x %d, one thread: frame delay %.0f ms\n",
                int(std::lround(1920 * scale)), int(std::lround(1080 * scale)), delay * 1e3);
    std::printf("  first pass    %8.2f ms a frame (%.2f of the delay)\n",
                bench::median(firstPass) * 1e3, bench::median(firstPass) / delay);
    std::printf("  looping       %8.2f ms a frame (%.2f of the delay)\n",
                bench::median(looping) * 1e3, bench::median(looping) / delay);
    return 0;
}
