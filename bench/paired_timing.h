#pragma once
// Timing for paired ratios: on a shared machine a best-of ratio swings with the neighbours'
// load, as each peer is timed at another moment; peers timed back to back, round after round,
// give per-round ratios whose median holds up far better.
#include <algorithm>
#include <ctime>
#include <utility>
#include <vector>

namespace bench {

// Seconds of one call on `clock`.
template <typename F>
double secondsOn(clockid_t clock, F&& f) {
    timespec t0{}, t1{};
    clock_gettime(clock, &t0);
    f();
    clock_gettime(clock, &t1);
    return double(t1.tv_sec - t0.tv_sec) + double(t1.tv_nsec - t0.tv_nsec) * 1e-9;
}

// Thread CPU seconds of one call.
template <typename F>
double cpuSeconds(F&& f) {
    return secondsOn(CLOCK_THREAD_CPUTIME_ID, std::forward<F>(f));
}

// Wall-clock seconds of one call: what a load on several threads is measured by.
template <typename F>
double wallSeconds(F&& f) {
    return secondsOn(CLOCK_MONOTONIC, std::forward<F>(f));
}

inline double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace bench
