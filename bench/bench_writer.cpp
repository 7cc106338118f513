// Encoding one frame as a GIF file: the control's writer against giflib's encoder (EGifPutLine)
// on the same indices, in the same process. Both produce a complete single-image file with a
// 256-entry table in a buffer of memory. Prints the times, both output sizes and the ratios.
#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "gifcontrol/persist/gif_writer.h"

namespace {

using Bytes = std::vector<uint8_t>;

// One frame held like the frame strip: bottom-up rows padded to 4 bytes.
struct Frame {
    std::string name;
    int width = 0, height = 0, stride = 0;
    Bytes bits;
    std::vector<uint32_t> colours;

    uint8_t* rowFromTop(int r) {
        return bits.data() + static_cast<size_t>(height - 1 - r) * stride;
    }

    anigif::FrameGifSource source() const {
        anigif::FrameGifSource s;
        s.stripBits = bits;
        s.stripWidth = width;
        s.stripHeight = height;
        s.stripStride = stride;
        s.width = width;
        s.height = height;
        s.colours = colours;
        return s;
    }
};

Frame makeFrame(const std::string& content, int w, int h) {
    Frame f;
    f.name = content + "_" + std::to_string(w) + "x" + std::to_string(h);
    f.width = w;
    f.height = h;
    f.stride = (w + 3) & ~3;
    f.bits.assign(static_cast<size_t>(f.stride) * h, 0);
    std::mt19937 rng(1234);
    for (int y = 0; y < h; ++y) {
        uint8_t* row = f.rowFromTop(y);
        for (int x = 0; x < w; ++x) {
            if (content == "noisy")
                row[x] = static_cast<uint8_t>(rng());  // every index equally likely
            else  // flat: large areas of one colour, like drawn artwork
                row[x] = static_cast<uint8_t>(((x / 64) + 3 * (y / 48)) % 8);
        }
    }
    for (uint32_t i = 0; i < 256; ++i) f.colours.push_back((i << 16) | ((255 - i) << 8) | (i / 2));
    return f;
}

Bytes encodeOurs(const Frame& f) {
    return anigif::encodeFrameGif(f.source());
}

int appendOutput(GifFileType* gif, const GifByteType* data, int n) {
    auto* out = static_cast<Bytes*>(gif->UserData);
    out->insert(out->end(), data, data + n);
    return n;
}

Bytes encodeGiflib(Frame& f) {
    Bytes out;
    out.reserve(static_cast<size_t>(f.width) * f.height + 801);
    int err = 0;
    GifFileType* gif = EGifOpen(&out, appendOutput, &err);
    if (!gif) return {};
    ColorMapObject* map = GifMakeMapObject(256, nullptr);
    for (int i = 0; i < 256; ++i) {
        map->Colors[i].Red = static_cast<GifByteType>(f.colours[i] >> 16);
        map->Colors[i].Green = static_cast<GifByteType>(f.colours[i] >> 8);
        map->Colors[i].Blue = static_cast<GifByteType>(f.colours[i]);
    }
    bool ok = EGifPutScreenDesc(gif, f.width, f.height, 8, 0, map) == GIF_OK &&
              EGifPutImageDesc(gif, 0, 0, f.width, f.height, false, nullptr) == GIF_OK;
    for (int r = 0; ok && r < f.height; ++r)
        ok = EGifPutLine(gif, f.rowFromTop(r), f.width) == GIF_OK;
    GifFreeMapObject(map);
    EGifCloseFile(gif, &err);
    return ok ? out : Bytes{};
}

double fastest(const std::vector<double>& v) {
    return *std::min_element(v.begin(), v.end());
}

void measureSteadily(benchmark::internal::Benchmark* b) {
    b->Unit(benchmark::kMillisecond)->Repetitions(5)->ComputeStatistics("min", fastest);
}

// CPU time of the calling thread, in milliseconds.
double threadMillis() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// One encoder on one frame. Besides the usual averages it keeps the fastest single encoding
// ("best_ms"): other work on a shared machine only ever adds time, so the minimum is the
// steadiest figure for the ratio table.
template <typename Encode>
void registerEncoder(const std::string& name, size_t outBytes, int64_t pixels, Encode encode) {
    benchmark::RegisterBenchmark(name.c_str(), [=](benchmark::State& st) {
        double best = 1e300;
        for (auto _ : st) {
            const double start = threadMillis();
            Bytes out = encode();
            benchmark::DoNotOptimize(out.data());
            best = std::min(best, threadMillis() - start);
        }
        st.SetBytesProcessed(st.iterations() * pixels);
        st.counters["out_bytes"] = static_cast<double>(outBytes);
        st.counters["best_ms"] = best;
    })->Apply(measureSteadily);
}

struct Case {
    Frame frame;
    size_t oursBytes = 0, giflibBytes = 0;
};

// Keeps the fastest single encoding per benchmark (over all repetitions), for the ratio table.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const auto& r : runs)
            if (!r.error_occurred && r.run_type == Run::RT_Aggregate && r.aggregate_name == "min")
                millis[r.run_name.function_name] = r.counters.at("best_ms").value;
    }
    std::map<std::string, double> millis;  // the runs use milliseconds
};

}  // namespace

int main(int argc, char** argv) {
    std::vector<Case> cases;
    for (const auto& [w, h] : {std::pair{500, 500}, std::pair{1920, 1080}})
        for (const char* content : {"noisy", "flat"}) cases.push_back({makeFrame(content, w, h)});

    for (auto& c : cases) {
        c.oursBytes = encodeOurs(c.frame).size();
        c.giflibBytes = encodeGiflib(c.frame).size();
        const auto pixels = static_cast<int64_t>(c.frame.width) * c.frame.height;
        registerEncoder("writer/" + c.frame.name, c.oursBytes, pixels,
                        [&c] { return encodeOurs(c.frame); });
        registerEncoder("giflib/" + c.frame.name, c.giflibBytes, pixels,
                        [&c] { return encodeGiflib(c.frame); });
    }

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    std::printf("\n%-18s %14s %14s %9s %12s %12s\n", "frame", "writer best ms", "giflib best ms",
                "speed-up", "writer B", "giflib B");
    for (const auto& c : cases) {
        const auto ours = reporter.millis.find("writer/" + c.frame.name);
        const auto theirs = reporter.millis.find("giflib/" + c.frame.name);
        if (ours == reporter.millis.end() || theirs == reporter.millis.end()) continue;
        std::printf("%-18s %14.3f %14.3f %8.2fx %12zu %12zu\n", c.frame.name.c_str(), ours->second,
                    theirs->second, theirs->second / ours->second, c.oursBytes, c.giflibBytes);
    }
    return 0;
}
