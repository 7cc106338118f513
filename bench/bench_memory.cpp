// Peak resident memory of loading hostile files (bench/hostile_gifs.h), each in a child process
// of its own: the control on a headless host loads the file and paints one frame, and the
// runner reads the child's peak from the system. Prints, per case, the file's size, the frames
// loaded, what the control held, the peak, the time, and whether the peak stayed within the
// memory budget plus 64 MiB.
//   bench_memory [--keep DIR]   DIR keeps the generated files (for /usr/bin/time -v)
// The budget is the control's default, so ANIGIF_MEMORY_BUDGET lowers it.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/hostile_gifs.h"
#include "platform/memory_budget.h"
#include "tests/support/headless_control.h"

namespace {

struct Outcome {
    int32_t frames = 0;
    uint64_t heldBytes = 0;
};

// In the child: load and paint, then report through the pipe.
[[noreturn]] void loadInChild(const std::filesystem::path& file, int out) {
    giftest::HeadlessControl control(640, 480);
    Outcome o;
    if (control.gif->LoadAnimatedGIF_File(file.string())) {
        std::vector<uint32_t> pixels(640 * 480);
        anigif::PaintTarget target;
        target.pixels = pixels.data();
        target.stride = 640 * 4;
        target.width = 640;
        target.height = 480;
        control.gif->paintInto(target);
        o.frames = control.gif->FrameCount();
        o.heldBytes = control.gif->heldBytes();
    }
    const ssize_t written = ::write(out, &o, sizeof o);
    ::_exit(written == sizeof o ? 0 : 1);
}

}  // namespace

int main(int argc, char** argv) {
    std::filesystem::path keep;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--keep") == 0) keep = argv[i + 1];
    const std::filesystem::path dir = keep.empty() ? std::filesystem::temp_directory_path() /
                                                         ("hostile-" + std::to_string(::getpid()))
                                                   : keep;
    std::filesystem::create_directories(dir);
    const uint64_t budget = platform::memoryBudgetBytes();
    std::printf("budget %.0f MiB\n%-16s %12s %7s %10s %10s %8s %s\n", budget / 1048576.0, "case",
                "file bytes", "frames", "held MiB", "peak MiB", "seconds", "within");
    bool allWithin = true;
    for (const bench::HostileCase& c : bench::hostileCases()) {
        const std::filesystem::path file = dir / (c.name + ".gif");
        if (!bench::writeCase(c, file)) {
            std::printf("%-16s cannot be written\n", c.name.c_str());
            continue;
        }
        int fds[2];
        if (::pipe(fds) != 0) return 1;
        const auto start = std::chrono::steady_clock::now();
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::close(fds[0]);
            loadInChild(file, fds[1]);
        }
        ::close(fds[1]);
        Outcome o;
        const bool got = ::read(fds[0], &o, sizeof o) == sizeof o;
        ::close(fds[0]);
        int status = 0;
        struct rusage usage {};
        ::wait4(pid, &status, 0, &usage);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const double peak = static_cast<double>(usage.ru_maxrss) * 1024.0;
        const bool within = got && peak <= static_cast<double>(budget) + (64 << 20);
        allWithin = allWithin && within;
        std::printf("%-16s %12llu %7d %10.1f %10.1f %8.2f %s\n", c.name.c_str(),
                    static_cast<unsigned long long>(c.fileBytes), o.frames, o.heldBytes / 1048576.0,
                    peak / 1048576.0, seconds, within ? "yes" : "NO");
        if (keep.empty()) std::filesystem::remove(file);
    }
    if (keep.empty()) std::filesystem::remove(dir);
    return allWithin ? 0 : 1;
}
