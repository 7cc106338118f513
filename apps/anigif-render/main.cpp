// anigif-render [options] FILE.gif OUTDIR
//
// Paints frames 1 .. n of FILE through the control on a headless host and writes each painted
// surface as OUTDIR/frame-NNNN.ppm. Standard output: the GIF summary line, then one line per
// frame of the frame table. A file that does not load prints "gif frames=0" and exits with 1;
// wrong arguments or an unwritable folder exit with 2.
//
// --snapshot K OUT.gif: after the frames, steps on (wrapping to frame 1) until frame K is the
// current frame and writes the GIF that reading AnimatedGIF encodes for it to OUT.gif. A K
// outside 1 .. n or a file that cannot be written exits with 2; no picture exits with 1.
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "apps/anigif-render/render_session.h"
#include "gifcontrol/decode/bytes_to_picture.h"

namespace {

constexpr const char* kUsage =
    "usage: anigif-render [--size W H] [--stretch N] [--mirror N] [--offset X Y]\n"
    "                     [--solid BBGGRR] [--background RRGGBB] [--snapshot K OUT.gif]\n"
    "                     FILE.gif OUTDIR\n";

bool parseInt(std::string_view text, int32_t& value) {
    const char* end = text.data() + text.size();
    const auto r = std::from_chars(text.data(), end, value);
    return r.ec == std::errc{} && r.ptr == end;
}

bool parseHexColour(std::string_view text, uint32_t& value) {
    if (text.size() != 6) return false;
    const char* end = text.data() + text.size();
    const auto r = std::from_chars(text.data(), end, value, 16);
    return r.ec == std::errc{} && r.ptr == end;
}

int usage(const std::string& problem) {
    std::cerr << "anigif-render: " << problem << '\n' << kUsage;
    return 2;
}

// Steps the session on to frame `frame` and writes the AnimatedGIF bytes of it to `path`.
int writeSnapshot(anigifrender::RenderSession& session, int32_t frame, const std::string& path) {
    auto& control = session.control();
    if (frame < 1 || frame > control.FrameCount())
        return usage("--snapshot frame " + std::to_string(frame) + " is not in 1.." +
                     std::to_string(control.FrameCount()));
    // Each step moves on by one and wraps, so at most FrameCount() steps reach any frame.
    for (int32_t steps = 0; control.CurrentFrame() != frame && steps < control.FrameCount();
         ++steps)
        session.paintNext();
    const auto picture = control.AnimatedGIF();
    if (!picture) {
        std::cerr << "anigif-render: frame " << frame << " gives no picture\n";
        return 1;
    }
    const auto& bytes = picture->bytes();
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        std::cerr << "anigif-render: cannot write " << path << '\n';
        return 2;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    anigifrender::Options options;
    std::string positional[2];
    int positionals = 0;
    std::optional<std::pair<int32_t, std::string>> snapshot;
    for (int k = 1; k < argc; ++k) {
        const std::string_view arg = argv[k];
        auto need = [&](int n) { return k + n < argc; };
        int32_t a = 0, b = 0;
        uint32_t colour = 0;
        if (arg == "--size") {
            if (!need(2) || !parseInt(argv[k + 1], a) || !parseInt(argv[k + 2], b) || a < 0 ||
                b < 0)
                return usage("--size needs two whole numbers of pixels");
            options.size = {a, b};
            k += 2;
        } else if (arg == "--stretch" || arg == "--mirror") {
            if (!need(1) || !parseInt(argv[k + 1], a))
                return usage(std::string(arg) + " needs a number");
            (arg == "--stretch" ? options.stretch : options.mirror) = a;
            k += 1;
        } else if (arg == "--offset") {
            if (!need(2) || !parseInt(argv[k + 1], a) || !parseInt(argv[k + 2], b))
                return usage("--offset needs two whole numbers");
            options.offset = {a, b};
            k += 2;
        } else if (arg == "--solid" || arg == "--background") {
            if (!need(1) || !parseHexColour(argv[k + 1], colour))
                return usage(std::string(arg) + " needs six hexadecimal digits");
            if (arg == "--solid")
                options.solid = static_cast<int32_t>(colour);
            else
                options.background = colour;
            k += 1;
        } else if (arg == "--snapshot") {
            if (!need(2) || !parseInt(argv[k + 1], a))
                return usage("--snapshot needs a frame number and a file name");
            snapshot.emplace(a, argv[k + 2]);
            k += 2;
        } else if (arg.size() > 1 && arg[0] == '-' && positionals == 0) {
            return usage("unknown option " + std::string(arg));
        } else {
            if (positionals == 2) return usage("too many arguments");
            positional[positionals++] = std::string(arg);
        }
    }
    if (positionals != 2) return usage("FILE.gif and OUTDIR are required");

    const std::filesystem::path outDir = positional[1];
    std::error_code ec;
    std::filesystem::create_directories(outDir, ec);
    if (!std::filesystem::is_directory(outDir)) return usage("cannot make folder " + positional[1]);

    anigifrender::RenderSession session(options);
    if (!session.load(positional[0])) {
        std::cout << "gif frames=0\n";
        return 1;
    }
    auto& control = session.control();
    const int32_t frames = control.FrameCount();
    std::cout << session.summaryLine() << '\n';
    for (int32_t i = 1; i <= frames; ++i) std::cout << session.frameLine(i) << '\n';

    for (int32_t i = 1; i <= frames; ++i) {
        const platform::Surface* surface = session.paintNext();
        char name[32];
        std::snprintf(name, sizeof name, "frame-%04d.ppm", i);
        const std::string path = (outDir / name).string();
        const bool written = surface ? anigifrender::writePpm(*surface, path) : [&] {
            std::FILE* f = std::fopen(path.c_str(), "wb");
            if (!f) return false;
            const bool ok = std::fputs("P6\n0 0\n255\n", f) >= 0;
            return std::fclose(f) == 0 && ok;
        }();
        if (!written) {
            std::cerr << "anigif-render: cannot write " << path << '\n';
            return 2;
        }
    }
    std::cout.flush();
    if (snapshot) return writeSnapshot(session, snapshot->first, snapshot->second);
    return 0;
}
