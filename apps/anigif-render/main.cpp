// anigif-render [options] FILE.gif OUTDIR
// anigif-render --info FILE.gif
//
// FILE.gif may also be an http, https or file address, loaded through the control's remote path;
// its remote events are printed on standard error as they come.
//
// Paints frames 1 .. n of FILE through the control on a headless host and writes each painted
// surface as OUTDIR/frame-NNNN.ppm (with --png, frame-NNNN.png). Standard output: the GIF summary
// line, then one line per frame of the frame table; --info prints only these and writes nothing. A
// file that does not load prints "gif frames=0", gives the reason on standard error and creates no
// folder.
//
// --snapshot K OUT.gif: after the frames, steps on (wrapping to frame 1) until frame K is the
// current frame and writes the GIF that reading AnimatedGIF encodes for it to OUT.gif.
//
// Errors print "anigif-render: error: WHAT" on standard error. Exit status: 0 success, 1 the
// work failed (the file does not load, a write failed), 2 usage error (an unknown option, a value
// out of range, a K outside 1 .. n, an output that is the input); a usage error is reported
// before anything is written.
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "apps/anigif-render/render_session.h"
#include "apps/tool_main.h"
#if ANIGIF_TOOL_ADDRESSES
#include "apps/remote/tool_remote.h"
#endif
#include "gifcontrol/decode/bytes_to_picture.h"
#include "platform/atomic_file.h"

using tool::Failure;
using tool::UsageError;

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kProgram = "anigif-render";
constexpr std::string_view kUsage =
    "usage: anigif-render [options] FILE.gif OUTDIR\n"
    "       anigif-render --info FILE.gif\n"
    "       anigif-render --help | --version\n"
    "\n"
    "Paints every frame of FILE.gif through the animated-GIF control and writes them as\n"
    "OUTDIR/frame-NNNN.ppm; prints the GIF's summary and frame table.\n"
    "\n"
    "FILE.gif may be an http://, https:// or file:// address: it is downloaded through the\n"
    "control's remote loading, and the control's RemoteLoadComplete and RemoteLoadFailure\n"
    "events are printed on standard error as they happen. A download that fails\n"
    "(RemoteLoadFailure) exits with status 1.\n"
    "\n"
    "  --size W H            the control's size in pixels (default: the GIF's screen)\n"
    "  --stretch N           stretch mode, 0 to 4\n"
    "  --mirror N            mirroring, 0 to 3\n"
    "  --offset X Y          offset of the picture in pixels\n"
    "  --solid BBGGRR        solid background colour of the control\n"
    "  --background RRGGBB   the host's background colour (default FF00FF)\n"
    "  --snapshot K OUT.gif  also write the GIF the control encodes for frame K\n"
    "  --png                 write the frames as PNG files (frame-NNNN.png)\n"
    "  --info                print the summary and frame table only; write nothing\n"
    "  --deadline S          seconds a download may take before it fails (default 120,\n"
    "                        0 for no limit)\n"
    "\n"
    "Exit status: 0 success, 1 the work failed, 2 usage error.\n";

struct CommandLine {
    anigifrender::Options options;
    std::vector<std::string> positional;
    std::optional<std::pair<int32_t, std::string>> snapshot;
    std::optional<int32_t> deadlineSeconds;
    bool info = false;
    bool png = false;
};

uint32_t hexColour(std::string_view option, std::string_view text, std::string_view form) {
    uint32_t value = 0;
    const char* end = text.data() + text.size();
    const auto r = std::from_chars(text.data(), end, value, 16);
    if (text.size() != 6 || r.ec != std::errc{} || r.ptr != end)
        throw UsageError(std::string(option) + " takes six hexadecimal digits " +
                         std::string(form) + ", not \"" + std::string(text) + "\"");
    return value;
}

// The file an input names: itself, or the file of a file address.
fs::path inputFile(const std::string& input) {
#if ANIGIF_TOOL_ADDRESSES
    if (tool::isAddress(input)) return tool::addressedFile(input);
#endif
    return input;
}

CommandLine parse(int argc, char** argv) {
    constexpr int64_t kMin = INT32_MIN, kMax = INT32_MAX;
    CommandLine cl;
    bool optionsEnd = false;
    for (int k = 1; k < argc; ++k) {
        const std::string_view arg = argv[k];
        const auto value = [&]() -> std::string_view {
            if (k + 1 >= argc) throw UsageError(std::string(arg) + " needs a value");
            return argv[++k];
        };
        if (optionsEnd || arg.size() < 2 || arg[0] != '-') {
            cl.positional.emplace_back(arg);
        } else if (arg == "--") {
            optionsEnd = true;
        } else if (arg == "--size") {
            const int32_t w = tool::wholeNumber(arg, value(), 1, kMax);
            cl.options.size = {{w, tool::wholeNumber(arg, value(), 1, kMax)}};
        } else if (arg == "--stretch") {
            cl.options.stretch = tool::wholeNumber(arg, value(), 0, 4);
        } else if (arg == "--mirror") {
            cl.options.mirror = tool::wholeNumber(arg, value(), 0, 3);
        } else if (arg == "--offset") {
            const int32_t x = tool::wholeNumber(arg, value(), kMin, kMax);
            cl.options.offset = {{x, tool::wholeNumber(arg, value(), kMin, kMax)}};
        } else if (arg == "--solid") {
            cl.options.solid = static_cast<int32_t>(hexColour(arg, value(), "BBGGRR"));
        } else if (arg == "--background") {
            cl.options.background = hexColour(arg, value(), "RRGGBB");
        } else if (arg == "--snapshot") {
            const int32_t frame = tool::wholeNumber(arg, value(), 1, kMax);
            cl.snapshot.emplace(frame, std::string(value()));
        } else if (arg == "--png") {
            cl.png = true;
        } else if (arg == "--info") {
            cl.info = true;
        } else if (arg == "--deadline") {
            cl.deadlineSeconds = tool::wholeNumber(arg, value(), 0, 2000000);
        } else {
            throw UsageError("unknown option \"" + std::string(arg) + "\"");
        }
    }
    if (cl.info) {
        if (cl.snapshot) throw UsageError("--info writes nothing; it takes no --snapshot");
        if (cl.positional.size() != 1) throw UsageError("--info takes one FILE.gif");
    } else if (cl.positional.size() != 2) {
        throw UsageError(cl.positional.size() < 2 ? "FILE.gif and OUTDIR are required"
                                                  : "too many arguments");
    }
    if (cl.snapshot && platform::sameFile(inputFile(cl.positional[0]), cl.snapshot->second))
        throw UsageError("the snapshot output " + cl.snapshot->second + " is the input " +
                         cl.positional[0] + "; choose another output file");
    return cl;
}

// Why a file that did not load failed, as far as can be told from outside the control.
std::string loadFailure(const fs::path& file, std::size_t budget) {
    const std::string problem = tool::fileProblem(file, budget);
    return problem.empty() ? "not a GIF the control can play (no frame loads)" : problem;
}

// Loads `input`, a path or an address, into the session; why it did not load, or empty.
std::string load(anigifrender::RenderSession& session, const std::string& input) {
#if ANIGIF_TOOL_ADDRESSES
    if (tool::isAddress(input)) {
        auto outcome = tool::RemoteOutcome::Failed;
        session.loadWith([&](anigif::ucAniGIF& control) {
            outcome = tool::loadRemote(kProgram, control, session.host(), input, std::cerr);
            return outcome == tool::RemoteOutcome::Loaded;
        });
        if (outcome == tool::RemoteOutcome::Failed)
            return "the download failed (RemoteLoadFailure)";
        if (outcome == tool::RemoteOutcome::NoFrames)
            return "not a GIF the control can play (no frame loads)";
        return {};
    }
#endif
    if (session.load(input)) return {};
    return loadFailure(input, session.control().MemoryBudget());
}

// Steps the session on to frame `frame` and writes the AnimatedGIF bytes of it to `path`.
void writeSnapshot(anigifrender::RenderSession& session, int32_t frame, const fs::path& path) {
    auto& control = session.control();
    // Each step moves on by one and wraps, so at most FrameCount() steps reach any frame.
    for (int32_t steps = 0; control.CurrentFrame() != frame && steps < control.FrameCount();
         ++steps)
        session.paintNext();
    const auto picture = control.AnimatedGIF();
    if (!picture) throw Failure("frame " + std::to_string(frame) + " gives no picture");
    platform::writeFileAtomically(path, picture->bytes());
}

int run(int argc, char** argv) {
    const CommandLine cl = parse(argc, argv);
    const fs::path input = cl.positional[0];

    anigifrender::RenderSession session(cl.options);
    if (cl.deadlineSeconds)
        session.control().remoteDeadlineMs = int64_t{*cl.deadlineSeconds} * 1000;
    if (const std::string problem = load(session, cl.positional[0]); !problem.empty()) {
        std::cout << "gif frames=0\n" << std::flush;
        throw Failure("cannot load " + cl.positional[0] + ": " + problem);
    }
    auto& control = session.control();
    const int32_t frames = control.FrameCount();
    if (cl.snapshot && cl.snapshot->first > frames)
        throw UsageError("--snapshot frame " + std::to_string(cl.snapshot->first) +
                         " is not in 1.." + std::to_string(frames));

    const fs::path outDir = cl.info ? fs::path() : fs::path(cl.positional[1]);
    const auto framePath = [&outDir, png = cl.png](int32_t i) {
        char name[32];
        std::snprintf(name, sizeof name, png ? "frame-%04d.png" : "frame-%04d.ppm", i);
        return outDir / name;
    };
    for (int32_t i = 1; !cl.info && i <= frames; ++i)
        if (platform::sameFile(inputFile(input.string()), framePath(i)))
            throw UsageError("the frame file " + framePath(i).string() + " is the input " +
                             input.string() + "; choose another folder");

    std::cout << session.summaryLine() << '\n';
    for (int32_t i = 1; i <= frames; ++i) std::cout << session.frameLine(i) << '\n';
    std::cout.flush();
    if (cl.info) return 0;

    std::error_code ec;
    fs::create_directories(outDir, ec);
    if (!fs::is_directory(outDir))
        throw Failure("cannot make folder " + outDir.string() +
                      (ec ? ": " + ec.message() : std::string()));
    for (int32_t i = 1; i <= frames; ++i) {
        const anigifrender::PaintedFrame* painted = session.paintNext();
        if (painted == nullptr)
            throw Failure("frame " + std::to_string(i) +
                          " cannot be painted: its pixels pass the memory budget");
        const std::vector<uint8_t> bytes =
            cl.png ? anigifrender::pngBytes(painted) : anigifrender::ppmBytes(painted);
        if (cl.png && bytes.empty())
            throw Failure("frame " + std::to_string(i) + " could not be encoded as PNG");
        platform::writeFileAtomically(framePath(i), bytes);
    }
    if (cl.snapshot) writeSnapshot(session, cl.snapshot->first, cl.snapshot->second);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    return tool::runMain(kProgram, kUsage, argc, argv, [&] { return run(argc, argv); });
}
