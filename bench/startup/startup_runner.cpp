// Start-up of Kavrilo against a bare Qt window with the same background (startup-bare), whole
// process, on the X display of the environment (run it under Xvfb, see
// scripts/run-startup-bench.sh):
//   startup-runner <kavrilo> <startup-bare> <picture folder> <ratio> <rounds>
// Each round starts both programs one after the other (alternating which goes first), and times
// from fork to the moment the window's background shows on the X server: the pixel at the
// centre of the sun (logical 428, 44) turns the sun's yellow. Half a second later the program
// is ended and its peak resident memory read. The CPU time the process has used when its
// background shows is read too: on a machine shared with other work it varies far less. Prints
// per-program medians and the median of the per-round ratios; a paired ratio holds up on a shared
// machine where separate bests swing.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <dirent.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "../paired_timing.h"

namespace {

using Clock = std::chrono::steady_clock;

// The shown window with this title, searched depth-first from `w`; 0 when there is none yet.
Window findByName(Display* display, Window w, const char* title) {
    // Only a shown window counts: a toolkit may keep hidden helper windows of the same name.
    char* name = nullptr;
    if (XFetchName(display, w, &name) && name) {
        const bool match = std::string(name) == title;
        XFree(name);
        XWindowAttributes attributes{};
        if (match && XGetWindowAttributes(display, w, &attributes) &&
            attributes.map_state == IsViewable)
            return w;
    }
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, w, &root, &parent, &children, &count)) return 0;
    Window found = 0;
    for (unsigned i = 0; i < count && !found; ++i) found = findByName(display, children[i], title);
    if (children) XFree(children);
    return found;
}

bool sunShows(Display* display, Window w, double ratio) {
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(display, w, &attributes) || attributes.map_state != IsViewable)
        return false;
    const int x = int(428 * ratio), y = int(44 * ratio);
    if (x >= attributes.width || y >= attributes.height) return false;
    XImage* image = XGetImage(display, w, x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image) return false;
    const unsigned long p = XGetPixel(image, 0, 0);
    XDestroyImage(image);
    const int r = int((p >> 16) & 0xff), g = int((p >> 8) & 0xff), b = int(p & 0xff);
    return r > 220 && g > 190 && b < 190;  // the sun's yellow
}

struct Run {
    double seconds = 0;     // wall time from fork to the background on screen
    double cpuSeconds = 0;  // CPU time of all its threads by then (steadier on a busy machine)
    double peakMiB = 0;
};

// CPU time of every thread of a process so far, from the scheduler's nanosecond counters.
double cpuSecondsOf(pid_t pid) {
    double total = 0;
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    if (DIR* dir = opendir(tasks.c_str())) {
        while (const dirent* entry = readdir(dir)) {
            if (entry->d_name[0] == '.') continue;
            if (FILE* f = std::fopen((tasks + "/" + entry->d_name + "/schedstat").c_str(), "r")) {
                unsigned long long ns = 0;
                if (std::fscanf(f, "%llu", &ns) == 1) total += double(ns) * 1e-9;
                std::fclose(f);
            }
        }
        closedir(dir);
    }
    return total;
}

std::optional<Run> runOnce(Display* display, const std::vector<std::string>& argv,
                           const char* title, double ratio, const std::string& tmp) {
    const auto start = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("QT_QPA_PLATFORM", "xcb", 1);
        setenv("QT_SCALE_FACTOR", std::to_string(ratio).c_str(), 1);
        setenv("TMPDIR", tmp.c_str(), 1);  // its own single-instance lock
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    std::optional<Run> run;
    const auto deadline = start + std::chrono::seconds(15);
    Window w = 0;
    while (Clock::now() < deadline) {
        if (!w) w = findByName(display, DefaultRootWindow(display), title);
        if (w && sunShows(display, w, ratio)) {
            run = Run{std::chrono::duration<double>(Clock::now() - start).count(),
                      cpuSecondsOf(pid), 0};
            break;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    kill(pid, SIGTERM);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    if (run) run->peakMiB = double(usage.ru_maxrss) / 1024.0;
    return run;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 6) {
        std::fprintf(stderr,
                     "usage: startup-runner <kavrilo> <startup-bare> <pic> <ratio> <rounds>\n");
        return 2;
    }
    const std::string kavrilo = argv[1], bare = argv[2], pictures = argv[3];
    const double ratio = std::atof(argv[4]);
    const int rounds = std::max(1, std::atoi(argv[5]));
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "startup-runner: no X display\n");
        return 1;
    }
    char tmpTemplate[] = "/tmp/startup-runner-XXXXXX";
    const char* tmp = mkdtemp(tmpTemplate);
    if (!tmp) return 1;

    std::vector<double> kTimes, bTimes, ratios, kCpu, bCpu, cpuRatios, kMem, bMem, tCpuRatios;
    for (int round = 0; round < rounds; ++round) {
        std::optional<Run> k, b, t;
        auto runKavrilo = [&] { k = runOnce(display, {kavrilo}, "Kavrilo - Morvane", ratio, tmp); };
        auto runBare = [&] { b = runOnce(display, {bare, pictures}, "startup-bare", ratio, tmp); };
        auto runText = [&] {
            t = runOnce(display, {bare, pictures, "--text"}, "startup-bare", ratio, tmp);
        };
        if (round % 2) {
            runBare();
            runText();
            runKavrilo();
        } else {
            runKavrilo();
            runText();
            runBare();
        }
        if (!k || !b || !t) {
            std::fprintf(stderr, "startup-runner: a window never showed its background\n");
            return 1;
        }
        kTimes.push_back(k->seconds);
        bTimes.push_back(b->seconds);
        ratios.push_back(k->seconds / b->seconds);
        kCpu.push_back(k->cpuSeconds);
        bCpu.push_back(b->cpuSeconds);
        cpuRatios.push_back(k->cpuSeconds / b->cpuSeconds);
        tCpuRatios.push_back(t->cpuSeconds / b->cpuSeconds);
        kMem.push_back(k->peakMiB);
        bMem.push_back(b->peakMiB);
    }
    rmdir(tmp);
    XCloseDisplay(display);
    std::printf(
        "ratio %.2f, %d rounds (medians):\n"
        "  wall to first paint  kavrilo %6.1f ms, bare %6.1f ms, paired ratio %.2f\n"
        "  CPU to first paint   kavrilo %6.1f ms, bare %6.1f ms, paired ratio %.2f\n"
        "  peak memory          kavrilo %6.1f MiB, bare %6.1f MiB\n"
        "  CPU of the bare window with one label of Chinese text, paired ratio %.2f\n",
        ratio, rounds, bench::median(kTimes) * 1e3, bench::median(bTimes) * 1e3,
        bench::median(ratios), bench::median(kCpu) * 1e3, bench::median(bCpu) * 1e3,
        bench::median(cpuRatios), bench::median(kMem), bench::median(bMem),
        bench::median(tCpuRatios));
    return 0;
}
